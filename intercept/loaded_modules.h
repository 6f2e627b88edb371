#pragma once
// Whether a module is loaded, by its file name ("ole32.dll"), without the
// system's look-up: asked for a module it does not hold, that searches the
// library path for the file (under Wine, round trips to the server each).
// Reads the loader's own list of modules under the loader lock (which the
// process's attach and the load notifications already hold); where the lock
// cannot be taken it asks the system. Lock order: the loader lock comes
// before the engine's batch (the library installs its tables under the
// loader lock); an installation made outside it (a test's) takes the loader
// lock here while holding the batch, so no module may load meanwhile on
// another thread whose load notification installs rows.
bool IsModuleLoaded(const char* fileName);
