#pragma once
// Reads what a program appended to its log file (<InstallDir>\log\<exe>.log)
// since the tail was taken.
#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

inline std::string InstallDirFromRegistry() {
    char buf[MAX_PATH] = {};
    DWORD size = sizeof buf;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Varnek\\ZELClient\\1.0\\Setup", "InstallDir",
                     RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS)
        return {};
    return buf;
}

class LogTail {
public:
    // exeBase: the program's file name without extension; empty for this program.
    explicit LogTail(std::string exeBase = {}) {
        if (exeBase.empty()) {
            char path[MAX_PATH] = {};
            GetModuleFileNameA(nullptr, path, MAX_PATH);
            exeBase = path;
            exeBase.erase(0, exeBase.find_last_of("\\/") + 1);
            exeBase.resize(exeBase.rfind('.'));
        }
        path_ = InstallDirFromRegistry() + "\\log\\" + exeBase + ".log";
        start_ = ReadAll().size();
    }

    // Whole lines written since construction, prefixes included.
    std::vector<std::string> NewLines() const {
        const std::string all = ReadAll();
        std::vector<std::string> lines;
        size_t at = start_ < all.size() ? start_ : all.size();
        while (at < all.size()) {
            size_t end = all.find("\r\n", at);
            if (end == std::string::npos) end = all.size();
            lines.push_back(all.substr(at, end - at));
            at = end + 2;
        }
        return lines;
    }

    // How many new lines end with message.
    int CountEndingWith(const std::string& message) const {
        int n = 0;
        for (const auto& l : NewLines())
            if (l.size() >= message.size() &&
                l.compare(l.size() - message.size(), message.size(), message) == 0)
                ++n;
        return n;
    }

    // How many new lines contain text.
    int CountContaining(const std::string& text) const {
        int n = 0;
        for (const auto& l : NewLines())
            if (l.find(text) != std::string::npos) ++n;
        return n;
    }

    const std::string& Path() const { return path_; }

private:
    std::string ReadAll() const {
        std::string data;
        HANDLE h = CreateFileA(path_.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return data;
        char buf[65536];
        DWORD n = 0;
        while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) data.append(buf, n);
        CloseHandle(h);
        return data;
    }

    std::string path_;
    size_t start_ = 0;
};

}  // namespace testing_support
