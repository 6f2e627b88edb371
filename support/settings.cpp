#include "support/settings.h"

#include <vector>

#include "support/thread_marks.h"

int ReadRegString(HKEY root, const char* subKey, const char* valueName, std::string& out,
                  DWORD maxBytes) {
    out.clear();
    if (!root) return -1;
    const marks::OwnWork own;  // the library's settings: no replacement acts on them
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return -1;
    int result = -1;
    try {
        std::vector<char> buf(static_cast<size_t>(maxBytes) + 1, 0);
        DWORD size = maxBytes;
        if (RegQueryValueExA(key, valueName, nullptr, nullptr,
                             reinterpret_cast<BYTE*>(buf.data()), &size) == ERROR_SUCCESS) {
            out = buf.data();  // up to the first NUL
            result = 0;
        }
    } catch (...) {
        out.clear();
        result = -1;
    }
    RegCloseKey(key);
    return result;
}

std::string GetInstallDir() {
    std::string dir;
    ReadRegString(HKEY_LOCAL_MACHINE, kSetupKey, "InstallDir", dir, 260);
    return dir;
}
