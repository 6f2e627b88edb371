#include "host/module_registration.h"

namespace {
HINSTANCE g_instance = nullptr;
}

bool RegisterLibraryModule(HINSTANCE instance) {
    if (!instance) return false;
    char path[MAX_PATH];
    // An instance the loader cannot name is not a module we can serve from.
    if (GetModuleFileNameA(instance, path, MAX_PATH) == 0) return false;
    g_instance = instance;
    return true;
}

void UnregisterLibraryModule() { g_instance = nullptr; }

HINSTANCE LibraryModule() { return g_instance; }
