#include "support/sibling_library.h"

#include <string>

#include "support/log.h"
#include "support/wide_text.h"

namespace {

// Folder of the module that holds this code, with a trailing backslash; empty
// when it cannot be told.
std::wstring OwnFolder() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&OwnFolder), &self))
        return {};
    std::wstring path(1024, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(self, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

HMODULE LoadFromOwnFolder(const wchar_t* fileName, std::string& failure) {
    const std::wstring folder = OwnFolder();
    if (folder.empty()) {
        failure = "own folder unknown";
        return nullptr;
    }
    const std::wstring path = folder + fileName;
    HMODULE lib = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!lib) failure = "LoadLibrary failed, GetLastError=" + std::to_string(GetLastError());
    return lib;
}

}  // namespace

bool SiblingLibrary::Load() {
    std::string failure;
    std::call_once(once_, [&] { module_ = LoadFromOwnFolder(fileName_, failure); });
    // Logged outside the once: another thread's first call does not wait on
    // the log file.
    if (!failure.empty() && !missLogged_.exchange(true))
        LogError("%s not usable: %s", text::WideToAnsi(fileName_).c_str(), failure.c_str());
    return module_ != nullptr;
}

FARPROC SiblingLibrary::Proc(const char* exportName) {
    if (!Load()) return nullptr;
    FARPROC proc = GetProcAddress(module_, exportName);
    if (!proc && !missLogged_.exchange(true))
        LogError("%s not usable: no export %s", text::WideToAnsi(fileName_).c_str(), exportName);
    return proc;
}
