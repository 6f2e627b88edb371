// The mail library is refused to the PDF application while a restricted
// document is in front: it could send the document by mail. Every way of
// naming it by itself counts ("mapi32", "MAPI32.DLL", "mapi32.dll."), in every
// form of the load (the ANSI and wide forms meet in LoadLibraryExW).
#include <cwchar>

#include "guards/file/file_names.h"
#include "host/process_context.h"
#include "identify/common_doc.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"

namespace {

// The module the name loads, by the loader's rules: without an extension
// ".dll" is added; trailing dots and spaces name the same file. A path is a
// file of the caller's choosing and does not match.
bool NamesMailLibrary(const wchar_t* name) {
    if (wcschr(name, L'\\') || wcschr(name, L'/')) return false;
    std::wstring module = name;
    while (!module.empty() && (module.back() == L'.' || module.back() == L' ')) module.pop_back();
    if (module.find(L'.') == std::wstring::npos) module += L".dll";
    return _wcsicmp(module.c_str(), L"mapi32.dll") == 0;
}

// True when the load must be refused; keeps the last error.
bool RefuseLoad(const wchar_t* name) {
    if (!intercept::IsName(name) || !NamesMailLibrary(name)) return false;
    const intercept::LastErrorKeeper keep;
    CCommonDoc* doc = DocObject();
    _ZEL_HOOK_INFO_ rec{};
    return doc && doc->IsLimitedZelDoc(rec);
}

HMODULE Refused() {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
}

}  // namespace

HMODULE WINAPI Detour_LoadLibraryA(LPCSTR lpLibFileName) {
    return RunReplacement(
        HookId::kLoadLibraryA, Trampoline_LoadLibraryA,
        [&](contained::Frame& run) -> HMODULE {
            std::wstring name;
            if (WidenFileApiName(lpLibFileName, name) && RefuseLoad(name.c_str())) return Refused();
            return intercept::CallReal(run, Trampoline_LoadLibraryA, lpLibFileName);
        },
        [&]() -> HMODULE { return intercept::CallReal(Trampoline_LoadLibraryA, lpLibFileName); },
        lpLibFileName);
}

HMODULE WINAPI Detour_LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE hFile, DWORD dwFlags) {
    return RunReplacement(
        HookId::kLoadLibraryExW, Trampoline_LoadLibraryExW,
        [&](contained::Frame& run) -> HMODULE {
            if (RefuseLoad(lpLibFileName)) return Refused();
            return intercept::CallReal(run, Trampoline_LoadLibraryExW, lpLibFileName, hFile, dwFlags);
        },
        [&]() -> HMODULE {
            return intercept::CallReal(Trampoline_LoadLibraryExW, lpLibFileName, hFile, dwFlags);
        },
        lpLibFileName, hFile, dwFlags);
}
