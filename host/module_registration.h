#pragma once
#include <windows.h>

// Registers the library's module instance for the rest of the library (its own
// handle and file path). A failed registration refuses the load.
bool RegisterLibraryModule(HINSTANCE instance);
void UnregisterLibraryModule();
HINSTANCE LibraryModule();
