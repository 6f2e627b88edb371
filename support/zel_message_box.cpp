#include "support/zel_message_box.h"

#include <mutex>
#include <string>

#include "support/log.h"

namespace {

using ZelMessageBoxProc = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);

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

// Loaded by full path only: a name alone would be searched for in the
// application's folder and the current directory first, where any file of that
// name would be taken. The library stays loaded for the life of the process.
ZelMessageBoxProc LoadZelMessageBox(std::string& failure) {
    const std::wstring folder = OwnFolder();
    if (folder.empty()) {
        failure = "own folder unknown";
        return nullptr;
    }
    const std::wstring path = folder + kZelMessageBoxLibrary;
    HMODULE lib = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!lib) {
        failure = "LoadLibrary failed, GetLastError=" + std::to_string(GetLastError());
        return nullptr;
    }
    auto proc = reinterpret_cast<ZelMessageBoxProc>(
        reinterpret_cast<void*>(GetProcAddress(lib, "ZELMessageBox")));
    if (!proc) failure = "no export ZELMessageBox";
    return proc;
}

}  // namespace

int ShowZelMessageBox(HWND owner, const char* text, const char* caption, UINT flags) {
    static std::once_flag once;
    static ZelMessageBoxProc proc = nullptr;
    std::string failure;
    std::call_once(once, [&] { proc = LoadZelMessageBox(failure); });
    // Logged outside the once: another thread's first call does not wait on
    // the log file.
    if (!failure.empty()) LogError("ZELShowMsgBox.dll not usable: %s", failure.c_str());
    if (!proc) return 0;
    return proc(owner, text, caption, flags);
}
