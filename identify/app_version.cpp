#include "identify/app_version.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "support/log.h"

namespace {

std::string OwnExecutable() {
    char path[260] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    path[sizeof path - 1] = 0;
    return path;
}

// The version block, with one spare zero byte: VerQueryValue on a block from a
// damaged file must still find a terminator inside the buffer.
bool ReadVersionBlock(const std::string& path, DWORD size, std::vector<char>& block) {
    block.assign(static_cast<size_t>(size) + 1, 0);
    return GetFileVersionInfoA(path.c_str(), 0, size, block.data()) != FALSE;
}

}  // namespace

std::string GetAppVersion(const std::string& pathIn) {
    try {
        const std::string path = pathIn.empty() ? OwnExecutable() : pathIn;
        DWORD handle = 0;
        const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
        if (size == 0) {
            LogError("GetFileVersionInfoSize() error,%s", path.c_str());
            return {};
        }
        std::vector<char> block;
        if (!ReadVersionBlock(path, size, block)) return {};
        VS_FIXEDFILEINFO* info = nullptr;
        UINT len = 0;
        if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&info), &len) || !info ||
            len < sizeof(VS_FIXEDFILEINFO))
            return {};
        char text[64];
        snprintf(text, sizeof text, "%d.%d.%d.%d", static_cast<int>(HIWORD(info->dwProductVersionMS)),
                 static_cast<int>(LOWORD(info->dwProductVersionMS)),
                 static_cast<int>(HIWORD(info->dwProductVersionLS)),
                 static_cast<int>(LOWORD(info->dwProductVersionLS)));
        return text;
    } catch (...) {
        return {};
    }
}

std::string GetFileVersionString(const std::string& path) {
    try {
        DWORD handle = 0;
        const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
        if (size == 0) return {};
        std::vector<char> block;
        if (!ReadVersionBlock(path, size, block)) return {};
        WORD* translation = nullptr;
        UINT len = 0;
        if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                            reinterpret_cast<void**>(&translation), &len) ||
            !translation || len <= 3)
            return {};
        char key[80];
        snprintf(key, sizeof key, "\\StringFileInfo\\%04x%04x\\%s", translation[0], translation[1],
                 "FileVersion");
        char* value = nullptr;
        if (!VerQueryValueA(block.data(), key, reinterpret_cast<void**>(&value), &len) || !value)
            return {};
        // The value lies inside the block; bound it by the block's end.
        const char* end = block.data() + block.size();
        size_t n = 0;
        while (value + n < end && value[n]) ++n;
        return std::string(value, n);
    } catch (...) {
        return {};
    }
}
