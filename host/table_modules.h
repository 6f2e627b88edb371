#pragma once
// The modules the hook tables attach rows in, and the library's light
// footprint: the system libraries that only the protected applications need
// are imported delay-loaded (cmake/GatrelDelayImports.cmake), so an ordinary
// process loads none of them with the library. The resolver never loads a
// module itself:
//  - a process with a document object (the protected applications) loads the
//    modules of every row that applies to it before the tables are installed,
//    so that every row is attached at once, as the library's imports did;
//  - elsewhere a row whose module is not loaded waits for it, and is attached
//    when the process loads that module (a load notification of the system),
//    so the rules of an ordinary process hold for modules it loads later.
#include "intercept/hook_tables.h"

// Before HookAllApi in a process with a document object. Under the loader
// lock, as the imports were loaded before.
void LoadTableModules(const HookFacts& facts);

// After HookAllApi where rows may wait for their module; Stop at detach.
void WatchModuleLoads(const HookFacts& facts);
void StopWatchingModuleLoads();
