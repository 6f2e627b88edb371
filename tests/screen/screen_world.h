#pragma once
// A desktop of a test's own with a protected application on it and the
// programs a user runs beside it: capture programs, capture-tool stand-ins.
// The application's watch thread hooks that desktop only, and its screen-tool
// thread closes tools on that desktop only; the desktop goes away with the
// test. Records go into bin/Gatrel.dll's store, as the controller writes them.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "host_client.h"
#include "store/gatrel_interface.h"
#include "tests/hooks/child_process.h"
#include "tests/hooks/host_window.h"
#include "tests/hooks/log_tail.h"
#include "tests/store/store_test_util.h"

namespace screen_test {

using testing_support::ChildProcess;
using testing_support::Desktop;
using testing_support::LogTail;

inline std::string Bin() { return hosts::HostClient::WinPath(getenv("GATREL_BIN")); }
inline std::string ScreenTools() { return Bin() + "\\screentools\\"; }

inline std::string Hex(const void* p) {
    char buf[24];
    snprintf(buf, sizeof buf, "0x%lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p)));
    return buf;
}

// A number written as "name=<value>" in a line; -1 when absent.
inline long long FieldOf(const std::string& line, const std::string& name) {
    const std::string key = " " + name + "=";
    const std::string padded = " " + line;
    const size_t at = padded.find(key);
    return at == std::string::npos ? -1 : strtoll(padded.c_str() + at + key.size(), nullptr, 0);
}

// Waits up to boundMs for pred, polling.
template <class Pred>
bool WaitFor(Pred pred, DWORD boundMs = 15000) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (pred()) return true;
        if (GetTickCount() - start > boundMs) return false;
        Sleep(50);
    }
}

// A program on the desktop driven through its standard streams: it prints
// "ready pid=<pid> wnd=0x<window>", then answers each command with one line.
class LineProgram {
public:
    bool Start(const std::string& exe, const std::string& args, const Desktop& desktop) {
        if (!child_.Start("\"" + exe + "\" " + args, desktop.StartupName())) return false;
        if (!child_.WaitForOutput("ready", 30000)) return false;
        const std::string line = NextLine(0);
        pid_ = static_cast<DWORD>(FieldOf(line, "pid"));
        wnd_ = reinterpret_cast<HWND>(static_cast<uintptr_t>(FieldOf(line, "wnd")));
        return pid_ != 0;
    }
    // The reply line to cmd, starting with prefix; empty after the bound.
    std::string Ask(const std::string& cmd, const std::string& prefix, DWORD boundMs = 30000) {
        const size_t from = child_.Output().size();
        if (!child_.WriteLine(cmd)) return {};
        std::string line;
        WaitFor([&] {
            line = LineAfter(from, prefix);
            return !line.empty();
        }, boundMs);
        return line;
    }
    DWORD Pid() const { return pid_; }
    HWND Wnd() const { return wnd_; }
    ChildProcess& Process() { return child_; }

private:
    std::string NextLine(size_t from) {
        std::string line;
        WaitFor([&] {
            line = LineAfter(from, "ready");
            return !line.empty();
        });
        return line;
    }
    std::string LineAfter(size_t from, const std::string& prefix) {
        const std::string out = child_.Output();
        const size_t at = out.find(prefix, from);
        if (at == std::string::npos) return {};
        const size_t end = out.find('\n', at);
        if (end == std::string::npos) return {};
        std::string line = out.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
    }
    ChildProcess child_;
    DWORD pid_ = 0;
    HWND wnd_ = nullptr;
};

// What a copy got: its result, last error and changed pixels.
struct Copy {
    long long ok = -1, err = -1, pixels = -1;
    std::string line;
};

class ScreenWorld : public ::testing::Test {
protected:
    void SetUp() override {
        ClearStore();
        ASSERT_TRUE(desktop.Ready());
    }
    void TearDown() override {
        capture.reset();
        app.reset();
        ClearStore();
    }

    static std::string NewDesktopName() {
        static int n = 0;
        return "GatrelScreen" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++n);
    }
    void ClearStore() { storetest::ClearTable(iface); }

    // The protected application (a host variant) on the desktop, with the
    // library loaded: its background threads start.
    bool StartApp(const std::string& variant, const std::vector<std::string>& args = {},
                  const hosts::Params& env = {}) {
        app = std::make_unique<hosts::HostClient>();
        app->SetDesktop(desktop.StartupName());
        return app->Start(variant, args, env) && app->LoadGatrel();
    }

    // A record as the controller writes it: the document of process pid in
    // window wnd (0: no window yet), with letters, under a controller process
    // of its own (owner).
    void Register(DWORD pid, HWND wnd, const char* letters, DWORD owner) {
        _ZEL_HOOK_INFO_ rec{};
        rec.dwProcessId = pid;
        rec.dwOwnerPid = owner;
        rec.hDocWnd = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(wnd));
        rec.byDocType = 1;
        snprintf(rec.szFilePath, sizeof rec.szFilePath, "C:\\ZELFILETEMP\\(ZEL-%lu)screen.doc",
                 static_cast<unsigned long>(owner));
        snprintf(rec.szPermission, sizeof rec.szPermission, "%s", letters);
        iface.AddHookInfo(&rec);
    }

    // The capture program on the desktop, once the hooks brought the library in.
    bool StartCapture(const std::string& exeName = "ScreenCapture.exe") {
        capture = std::make_unique<LineProgram>();
        return capture->Start(ScreenTools() + exeName, "", desktop) &&
               capture->Ask("library 30000", "library=") == "library=1";
    }

    Copy CopyOut(const std::string& args) {
        Copy c;
        c.line = capture->Ask("copy " + args, "copy ok=");
        c.ok = FieldOf(c.line, "ok");
        c.err = FieldOf(c.line, "err");
        c.pixels = FieldOf(c.line, "pixels");
        return c;
    }

    CHookInterface& iface = CHookInterface::instance();
    Desktop desktop = Desktop::Private(NewDesktopName());
    std::unique_ptr<hosts::HostClient> app;
    std::unique_ptr<LineProgram> capture;
};

}  // namespace screen_test
