#pragma once
// Exports that are only a jump through the module's own import table into
// another module: kernel32's file and process functions under Wine and on
// Windows 8 and later (into kernelbase), user32's thin wrappers under Wine
// (into win32u). A detour placed on such a stub sees only callers that come
// through the stub; the other module's own callers (kernelbase's CreateFileA,
// CopyFileW, GetTempFileNameW...) call the function the stub lands on. That
// function is the one to detour.
#include <windows.h>

// Where the stub at code jumps to, when code is such a stub of module and
// the jump goes through one of module's import slots into the image of the
// module that slot imports from; that module is returned in into. Null when
// code is no stub, or when the jump leads anywhere else (logged by the
// caller as an export that was redirected).
//   8B FF 55 8B EC 5D FF 25 <slot>   (hot-patchable stub: Wine)
//   FF 25 <slot>                      (bare jump: Windows, Wine's user32)
struct StubLanding {
    bool isStub = false;      // code has one of the stub forms
    PVOID target = nullptr;   // where it lands, when that is the imported module's image
    HMODULE into = nullptr;
    PVOID jumpsTo = nullptr;  // where the jump leads, wherever that is
};
StubLanding FollowImportStub(HMODULE module, const void* code);

// Whether [address] lies inside the loaded image of module (bounds inclusive).
bool InModuleImage(HMODULE module, const void* address);
