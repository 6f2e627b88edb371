#pragma once
// The file guard's tests: test hosts with bin/Gatrel.dll, records in its
// shared section, real files in the installation's protected area and in a
// user's folder of the prefix. Every test holds the gatrel_section and
// protected_area locks.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host_client.h"
#include "tests/store/store_test_util.h"
#include "tests/support/library_view.h"
#include "tests/support/test_child.h"

namespace filetest {

using hosts::HostClient;
using hosts::Reply;

inline std::string Root() {
    const char* v = getenv("GATREL_ROOT");
    return v ? HostClient::WinPath(v) : std::string();
}
inline std::string Upper(std::string s) {
    CharUpperBuffA(s.data(), static_cast<DWORD>(s.size()));
    return s;
}
inline std::string FileTemp() { return Root() + "\\ZELFILETEMP"; }
inline std::string ProtectPath() { return FileTemp() + "\\PROTECTPATH"; }
inline std::string ClientDoc() { return Root() + "\\ZELCLIENTDOC"; }

// The names in a folder (no "." and "..").
inline std::vector<std::string> List(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        if (strcmp(fd.cFileName, ".") && strcmp(fd.cFileName, "..")) names.push_back(fd.cFileName);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

inline std::string Joined(const std::vector<std::string>& v) {
    std::string s;
    for (const auto& n : v) s += (s.empty() ? "" : ", ") + n;
    return "[" + s + "]";
}

// A UTF-8 text (as the hosts take names) in UTF-16.
inline std::wstring Widen(const std::string& utf8) {
    std::wstring w(utf8.size() + 1, L'\0');
    w.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, w.data(), static_cast<int>(w.size())) - 1);
    return w;
}

inline bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::string ReadLog(const char* exeBase) {
    return testchild::ReadFileBytes(Root() + "\\log\\" + exeBase + ".log");
}

inline size_t Count(const std::string& hay, const std::string& needle) {
    size_t n = 0;
    for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1)) ++n;
    return n;
}

inline std::string Hex(const void* p) {
    char b[24];
    snprintf(b, sizeof b, "0x%lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p)));
    return b;
}

class FileGuardTest : public ::testing::Test {
protected:
    void SetUp() override {
        storetest::ClearTable(store);
        store.SetKORBInfo(0);
        store.SetKORBClassName("");
        CreateDirectoryA(FileTemp().c_str(), nullptr);
        CreateDirectoryA(ProtectPath().c_str(), nullptr);
        CreateDirectoryA(ClientDoc().c_str(), nullptr);
        protectBefore_ = List(ProtectPath());
    }
    void TearDown() override {
        storetest::ClearTable(store);
        store.SetKORBInfo(0);
        // What a test left in the shared folders goes with it.
        for (const auto& n : NewInProtectPath()) DeleteFileA((ProtectPath() + "\\" + n).c_str());
        for (const auto& f : cleanup_) DeleteFileA(f.c_str());
    }

    // A host of the variant with the library loaded and a document open in front.
    HWND StartDoc(HostClient& host, const std::string& variant, const std::string& path,
                  const hosts::Params& env = {}) {
        if (!host.Start(variant, {}, env) || !host.LoadGatrel()) return nullptr;
        host.CreateDoc();
        HWND doc = host.OpenDoc(path);
        if (doc) host.Activate(doc);
        return doc;
    }

    // The word processor with a protected document ("P") in front.
    HWND StartProtectedWord(HostClient& word) {
        HWND doc = StartDoc(word, "word11", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
        if (doc) Register(word, doc, "P", 1);
        return doc;
    }

    void Register(HostClient& host, HWND doc, const char* letters, uint8_t type,
                  const std::string& path = "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc", DWORD owner = 0) {
        _ZEL_HOOK_INFO_ r{};
        r.dwProcessId = host.Pid();
        r.dwOwnerPid = owner ? owner : host.Pid();
        r.hDocWnd = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(doc));
        r.byDocType = type;
        memcpy(r.szPermission, letters, strnlen(letters, sizeof r.szPermission));
        strncpy(r.szFilePath, path.c_str(), sizeof r.szFilePath - 1);
        store.AddHookInfo(&r);
    }

    // Files that appeared in PROTECTPATH since the test began.
    std::vector<std::string> NewInProtectPath() const {
        std::vector<std::string> now = List(ProtectPath()), added;
        for (const auto& n : now)
            if (std::find(protectBefore_.begin(), protectBefore_.end(), n) == protectBefore_.end())
                added.push_back(n);
        return added;
    }

    // The file that came into PROTECTPATH for a working file of process pid
    // whose name, upper case and without its extension, is base: named
    // base-<eight hexadecimal digits of its folder>-<pid><ext>; "" when none.
    std::string MovedName(const std::string& base, DWORD pid, const std::string& ext) const {
        const std::string tail = "-" + std::to_string(pid) + ext;
        for (const auto& n : NewInProtectPath()) {
            if (n.size() != base.size() + 9 + tail.size() || n.compare(0, base.size(), base) != 0 ||
                n[base.size()] != '-' || n.compare(base.size() + 9, std::string::npos, tail) != 0)
                continue;
            if (n.find_first_not_of("0123456789ABCDEF", base.size() + 1) == base.size() + 9) return n;
        }
        return {};
    }

    static Reply File(HostClient& host, const std::string& op, const std::string& path,
                      hosts::Params more = {}) {
        more.insert(more.begin(), {{"op", op}, {"path", path}});
        return host.Send("file", more);
    }

    void RemoveLater(const std::string& path) { cleanup_.push_back(path); }

    testlib::Store store;
    std::vector<std::string> protectBefore_;
    std::vector<std::string> cleanup_;
};

}  // namespace filetest
