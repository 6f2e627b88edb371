#pragma once
// Whether a module is loaded, by its file name ("ole32.dll"), without the
// system's look-up: asked for a module it does not hold, that searches the
// library path for the file (under Wine, round trips to the server each).
// Reads the loader's own list of modules under the loader lock (which the
// process's attach and the load notifications already hold); where the lock
// cannot be taken it asks the system.
bool IsModuleLoaded(const char* fileName);
