#include "intercept/api_resolver.h"

#include "intercept/hook_log.h"
#include "intercept/import_stub.h"
#include "intercept/module_file_cache.h"
#include "intercept/pe_export_reader.h"

namespace {

constexpr int kMaxForwardDepth = 4;
constexpr int kMaxStubDepth = 4;

// The code address that a forwarder text names, read from the named module's
// file (following further forwarders). Null when it cannot be found.
PVOID FollowForward(const std::string& text, int depth) {
    pe::ForwardTarget target;
    if (depth > kMaxForwardDepth || !pe::ParseForwarder(text, target)) return nullptr;
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN, target.module.c_str(), &module) ||
        !module)
        return nullptr;
    PVOID result = nullptr;
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    ModuleFileView file;
    DWORD error = 0;
    if (file.Open(path, error) == ModuleFileView::kNone) {
        pe::ExportReader reader;
        if (reader.Open(file.Data(), file.Size())) {
            const pe::Export e = target.name.empty() ? reader.FindByOrdinal(target.ordinal)
                                                     : reader.FindByName(target.name.c_str());
            if (e.kind == pe::Export::kCode && e.rva < reader.SizeOfImage())
                result = reinterpret_cast<BYTE*>(module) + e.rva;
            else if (e.kind == pe::Export::kForward)
                result = FollowForward(e.forwarder, depth + 1);
        }
    }
    file.ReleaseView();
    FreeLibrary(module);
    file.ReleaseMappingAndFile();
    return result;
}

// The function that code lands on when code is a stub jumping through its
// module's import table into the module it imports from (followed further
// when that is a stub too), pinned there; code itself otherwise. A stub
// whose jump leads anywhere else is reported as redirected and kept.
PVOID FollowStubs(PVOID code, const char* dll, const char* api, const char* szDllPath) {
    for (int depth = 0; code && depth < kMaxStubDepth; ++depth) {
        HMODULE owner = nullptr;
        if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                    GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                static_cast<LPCSTR>(code), &owner))
            break;
        const StubLanding landing = FollowImportStub(owner, code);
        if (!landing.isStub) break;
        if (!landing.target) {
            HookLogError("Api Address Modified,strDllName=%s,strApiName=%s,pApiAdd=%x,szDllPath=%s", dll, api,
                         static_cast<unsigned>(reinterpret_cast<uintptr_t>(landing.jumpsTo)), szDllPath);
            break;
        }
        HMODULE pinned = nullptr;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                           static_cast<LPCSTR>(landing.target), &pinned);
        code = landing.target;
    }
    return code;
}

}  // namespace

PVOID GetApiSrcAddr(const std::string& strDllName, const std::string& strApiName) {
    const char* dll = strDllName.c_str();
    const char* api = strApiName.c_str();
    // Pinned: never loaded here, and never unloaded once hooked.
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN, dll, &module) || !module) {
        HookLogError("GetModuleHandle Error:%d,strDllName=%s,strApiName=%s",
                     static_cast<int>(GetLastError()), dll, api);
        return nullptr;
    }
    FARPROC proc = GetProcAddress(module, api);
    if (!proc) {
        HookLogError("GetProcAddress Error:%d,strDllName=%s,strApiName=%s",
                     static_cast<int>(GetLastError()), dll, api);
        FreeLibrary(module);
        return nullptr;
    }
    char szDllPath[MAX_PATH] = {};
    GetModuleFileNameA(module, szDllPath, MAX_PATH);

    ModuleFileView file;
    DWORD error = 0;
    switch (file.Open(szDllPath, error)) {
        case ModuleFileView::kNone:
            break;
        case ModuleFileView::kCreateFile:
            HookLogError("CreateFile Error:%d,strDllName=%s,strApiName=%s,szDllPath=%s",
                         static_cast<int>(error), dll, api, szDllPath);
            FreeLibrary(module);
            return nullptr;
        case ModuleFileView::kCreateFileMapping:
            HookLogError("CreateFileMapping Error:%d,strDllName=%s,strApiName=%s,szDllPath=%s",
                         static_cast<int>(error), dll, api, szDllPath);
            FreeLibrary(module);
            return nullptr;
        case ModuleFileView::kMapViewOfFile:
            HookLogError("MapViewOfFile Error:%d,strDllName=%s,strApiName=%s,szDllPath=%s",
                         static_cast<int>(error), dll, api, szDllPath);
            FreeLibrary(module);
            return nullptr;
    }

    pe::ExportReader reader;
    const bool parsed = reader.Open(file.Data(), file.Size());
    const uintptr_t base = reinterpret_cast<uintptr_t>(module);
    const uintptr_t address = reinterpret_cast<uintptr_t>(proc);
    const uintptr_t end = base + (parsed ? reader.SizeOfImage() : 0);
    PVOID result = nullptr;
    if (base <= address && address <= end) {
        result = reinterpret_cast<PVOID>(proc);
    } else {
        // Outside the image: either a forwarder that the loader followed, or
        // an export that someone redirected. The file tells which.
        const pe::Export e = parsed ? reader.FindByName(api) : pe::Export{};
        if (e.kind == pe::Export::kCode && e.rva < reader.SizeOfImage())
            result = reinterpret_cast<BYTE*>(module) + e.rva;
        else if (e.kind == pe::Export::kForward)
            result = FollowForward(e.forwarder, 1);
        const bool forwardAsLoaded = e.kind == pe::Export::kForward && result == proc;
        if (!forwardAsLoaded)
            HookLogError("Api Address Modified,strDllName=%s,strApiName=%s,pApiAdd=%x,szDllPath=%s",
                         dll, api, static_cast<unsigned>(address), szDllPath);
        if (!result)
            HookLogError("Not Find Org Api Address.strDllName=%s,strApiName=%s,szDllPath=%s", dll,
                         api, szDllPath);
    }
    file.ReleaseView();
    FreeLibrary(module);
    file.ReleaseMappingAndFile();
    return FollowStubs(result, dll, api, szDllPath);
}
