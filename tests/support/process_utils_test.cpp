// Process look-ups, ending processes and starting the daemon, against real
// processes: copies of this program under chosen names.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "support/ansi_text.h"
#include "support/process_utils.h"
#include "support/settings.h"
#include "tests/support/daemons.h"
#include "tests/support/test_child.h"

namespace {

using testchild::Child;
using testchild::SelfPath;
using testchild::TempFolder;

// ---- what the children do -------------------------------------------------

// Signals args[0] when running, then idles; exit code 3 if nobody ends it.
GATREL_CHILD_SCENARIO(idle) {
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, args.at(0).c_str());
    if (!ready) return 2;
    SetEvent(ready);
    CloseHandle(ready);
    Sleep(60000);
    return 3;
}

// Shows a window titled args[0], signals args[1], and pumps messages; exit
// code 3 if nobody ends it.
GATREL_CHILD_SCENARIO(window) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "GatrelKillTarget";
    RegisterClassA(&wc);
    HWND wnd = CreateWindowA("GatrelKillTarget", args.at(0).c_str(), WS_OVERLAPPEDWINDOW, 0, 0,
                             200, 100, nullptr, nullptr, wc.hInstance, nullptr);
    if (!wnd) return 2;
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, args.at(1).c_str());
    if (!ready) return 2;
    SetEvent(ready);
    CloseHandle(ready);
    const ULONGLONG end = GetTickCount64() + 60000;
    while (GetTickCount64() < end) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    return 3;
}

// ---- helpers ---------------------------------------------------------------------

std::string Unique(const char* label) {
    static int n = 0;
    return std::string(label) + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++n);
}

// A running child that has signalled that it is up.
struct Running {
    Running(const std::string& exe, const char* scenario, std::vector<std::string> args = {}) {
        const std::string eventName = Unique("GatrelReady_");
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
        args.push_back(eventName);
        child = std::make_unique<Child>(exe, scenario, args);
        HANDLE both[2] = {ready, child->handle()};
        up = child->started() && WaitForMultipleObjects(2, both, FALSE, 30000) == WAIT_OBJECT_0;
        CloseHandle(ready);
    }
    std::unique_ptr<Child> child;
    bool up = false;
};

// This program copied under a name of its own, in a folder removed afterwards.
struct CopyOfSelf {
    explicit CopyOfSelf(const std::string& fileName) : path(folder.path() + "\\" + fileName) {
        copied = CopyFileA(SelfPath().c_str(), path.c_str(), FALSE) != 0;
    }
    TempFolder folder{"procs"};
    std::string path;
    bool copied = false;
};

bool Contains(const std::vector<DWORD>& ids, DWORD id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// ---- tests -----------------------------------------------------------------------

TEST(ProcessNames, NameAWordProcessorAndEndIt) {
    const std::string stem = Unique("WinWord_");
    CopyOfSelf word(stem + ".exe");
    ASSERT_TRUE(word.copied);
    Running run(word.path, "idle");
    ASSERT_TRUE(run.up);
    const DWORD pid = run.child->pid();

    EXPECT_EQ(text::ToUpper(stem) + ".EXE", GetProcessExeName(pid));
    EXPECT_EQ(stem + ".exe", GetProcessName(pid));
    EXPECT_EQ(static_cast<int>(pid), FindProcessIdByName(text::ToUpper(stem).c_str()));
    EXPECT_EQ(static_cast<int>(pid), FindProcessIdByName(("ord_" + stem.substr(8)).c_str()));

    // "word" is a case-insensitive substring: it finds this copy among any
    // other word processors of the desktop.
    std::vector<DWORD> words;
    FindProcessIdsByName("word", words, {});
    EXPECT_TRUE(Contains(words, pid));
    const int first = FindProcessIdByName("word");
    ASSERT_GT(first, 0);
    EXPECT_NE(std::string::npos, GetProcessExeName(static_cast<DWORD>(first)).find("WORD"));

    KillProcess(pid);
    EXPECT_EQ(0, run.child->Wait(10000)) << "ended by KillProcess with exit code 0";
    EXPECT_EQ("", GetProcessExeName(pid));
    EXPECT_EQ(-1, FindProcessIdByName(stem.c_str()));
}

TEST(ProcessNames, OwnProcessAndIdsThatNameNothing) {
    EXPECT_EQ("PROCESS_UTILS_TEST.EXE", GetProcessExeName(GetCurrentProcessId()));
    EXPECT_EQ("process_utils_test.exe", GetProcessName(GetCurrentProcessId()));
    EXPECT_EQ("", GetProcessExeName(0));
    EXPECT_EQ("", GetProcessName(0));
    EXPECT_EQ("", GetProcessExeName(0xFFFFFFF0));
    EXPECT_EQ(-1, FindProcessIdByName("no_such_process_anywhere"));
    EXPECT_EQ(-1, FindProcessIdByName(nullptr));
    KillProcess(0);           // nothing to end
    KillWindowProcess(nullptr);
}

TEST(ProcessIds, ExclusionListAndItsSingleIdFallback) {
    const std::string stem = Unique("WinWord_");
    CopyOfSelf word(stem + ".exe");
    ASSERT_TRUE(word.copied);
    Running a(word.path, "idle");
    Running b(word.path, "idle");
    ASSERT_TRUE(a.up && b.up);
    const DWORD pa = a.child->pid(), pb = b.child->pid();
    const std::string upper = text::ToUpper(stem);  // any case matches

    std::vector<DWORD> out;
    FindProcessIdsByName(upper.c_str(), out, {});
    std::sort(out.begin(), out.end());
    EXPECT_EQ((std::vector<DWORD>{std::min(pa, pb), std::max(pa, pb)}), out);

    out.clear();
    FindProcessIdsByName(stem.c_str(), out, {pa});
    EXPECT_EQ(std::vector<DWORD>{pb}, out);

    out.clear();
    FindProcessIdsByName(stem.c_str(), out, {pa, pb});
    EXPECT_TRUE(out.empty()) << "both excluded and no fallback with two exclusions";

    out.clear();
    FindProcessIdsByName("no_such_process_anywhere", out, {pa});
    EXPECT_EQ(std::vector<DWORD>{pa}, out) << "nothing found: the single excluded id";

    out = {42};
    FindProcessIdsByName("no_such_process_anywhere", out, {pa});
    EXPECT_EQ(std::vector<DWORD>{42}, out) << "appends, and the fallback needs an empty list";

    out = {42};
    FindProcessIdsByName(stem.c_str(), out, {pb});
    EXPECT_EQ((std::vector<DWORD>{42, pa}), out);
}

TEST(ProcessEnd, KillWindowProcessEndsTheWindowsOwner) {
    const std::string title = Unique("Gatrel kill target ");
    Running run(SelfPath(), "window", {title});
    ASSERT_TRUE(run.up);
    HWND wnd = FindWindowA("GatrelKillTarget", title.c_str());
    ASSERT_NE(nullptr, wnd);
    KillWindowProcess(wnd);
    EXPECT_EQ(0, run.child->Wait(10000)) << "ended by KillWindowProcess with exit code 0";
}

using testing_support::DaemonMutexExists;

TEST(Daemon, StartDaemonRunsTheInstalledDaemonWithOnlyTheUnauthSwitch) {
    const std::string installDir = GetInstallDir();
    ASSERT_TRUE(testchild::FileExists(installDir + "\\ZELDaemon.exe"))
        << "the build places the stand-in in the installation directory";
    // The protected applications of earlier tests start it whenever it is gone.
    ASSERT_TRUE(testing_support::EndRunningDaemons()) << "a daemon is already running";
    // Bounds the stand-in's life should this test fail before ending it.
    SetEnvironmentVariableA("GATREL_DAEMON_LIFETIME", "120");

    StartDaemon();
    int pid = -1;
    std::string record;
    for (int i = 0; i < 300 && record.empty(); ++i) {
        Sleep(50);
        pid = FindProcessIdByName("ZELDaemon.exe");
        if (pid > 0)
            record = testchild::ReadFileBytes(installDir + "\\ZELDaemon." + std::to_string(pid) +
                                              ".cmdline");
    }
    SetEnvironmentVariableA("GATREL_DAEMON_LIFETIME", nullptr);
    ASSERT_GT(pid, 0) << "no ZELDaemon.exe process";
    HANDLE daemon = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    ASSERT_NE(nullptr, daemon);

    EXPECT_EQ("\"" + installDir + "\\ZELDaemon.exe\" -UNAUTH", record);
    EXPECT_EQ(" -UNAUTH", record.substr(record.rfind('"') + 1));
    EXPECT_TRUE(DaemonMutexExists());
    EXPECT_EQ("ZELDAEMON.EXE", GetProcessExeName(static_cast<DWORD>(pid)));

    KillProcess(static_cast<DWORD>(pid));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(daemon, 10000));
    CloseHandle(daemon);
    EXPECT_FALSE(DaemonMutexExists()) << "the mutex lives only as long as the daemon";
    DeleteFileA((installDir + "\\ZELDaemon." + std::to_string(pid) + ".cmdline").c_str());
}

TEST(Filelock, MissingDriverGivesZero) {
    HANDLE probe = CreateFileA("\\\\.\\Filelock", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) CloseHandle(probe);
    ASSERT_EQ(INVALID_HANDLE_VALUE, probe) << "this world has no file-lock driver";
    EXPECT_EQ(0, FilelockAllowProcess(GetCurrentProcessId(), nullptr));
    EXPECT_EQ(0, FilelockAllowProcess(GetCurrentProcessId(), "C:\\Docs\\(ZEL-1)a.doc"));
}

}  // namespace
