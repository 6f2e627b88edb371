// Desktop-wide window hooks, watched from a separate host process that never
// loads the library itself: the hooks must make the system bring Gatrel.dll
// into it, and removing them must stop that for hosts started afterwards.
// Each test runs on a desktop of its own (this thread, its hosts and its
// zelctl), so its hooks reach nobody else's programs, and a hook the system
// fails to take down goes away with the desktop.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "store/gatrel_interface.h"
#include "tests/support/library_view.h"
#include "tests/hooks/child_process.h"
#include "tests/hooks/host_window.h"
#include "tests/hooks/log_tail.h"
#include "tests/support/section_view.h"

using testing_support::ChildProcess;
using testing_support::Desktop;
using testing_support::ExeDir;
using testing_support::HostWindow;
using testing_support::LogTail;
using testing_support::SharedSectionOf;

namespace {

std::string Hex(const void* p) {
    char buf[32];
    snprintf(buf, sizeof buf, "%x", static_cast<unsigned>(reinterpret_cast<uintptr_t>(p)));
    return buf;
}

std::string OurLibraryPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(GetModuleHandleA("gatrel"), path, MAX_PATH);
    return path;
}

class GlobalHooks : public ::testing::Test {
protected:
    void SetUp() override {
        section = SharedSectionOf(GetModuleHandleA("gatrel"));
        ASSERT_NE(nullptr, section);
        // The view must be the live section: a store write shows through it.
        const DWORD saved = testlib::Dll().GetKORBInfo();
        iface.SetKORBInfo(0x5A17C0DE);
        ASSERT_EQ(0x5A17C0DEu, section->dwKORBInfo);
        iface.SetKORBInfo(saved);
        ClearStore();
        ASSERT_TRUE(desktop.Ready());
        ASSERT_TRUE(standard.Ready());
        home = standard.Handle();
        ASSERT_TRUE(SetThreadDesktop(desktop.Handle())) << GetLastError();
    }
    void TearDown() override {
        for (HHOOK h : installed) UnhookWindowsHookEx(h);
        iface.StopHook();
        if (home) SetThreadDesktop(home);
        ClearStore();
    }
    static std::string NewDesktopName() {
        static int n = 0;
        return "GatrelHooks" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++n);
    }
    std::string Zelctl() const { return "\"" + ExeDir() + "zelctl.exe\""; }
    void ClearStore() {
        unsigned char table[12180];
        iface.GetAllOstrumInfo(table);
        for (int i = 0; i < 15; ++i) {
            _ZEL_HOOK_INFO_ r;
            memcpy(&r, table + i * sizeof r, sizeof r);
            if (r.dwOwnerPid) iface.DelHookInfo(r.dwOwnerPid);
        }
    }
    HHOOK PublishedGetMsgHook() const {
        return reinterpret_cast<HHOOK>(static_cast<uintptr_t>(section->hGetMsgHook));
    }
    // Hooks still installed at the end of a test are removed by TearDown.
    HHOOK Track(HHOOK h) {
        if (h) installed.push_back(h);
        return h;
    }
    void Untrack(HHOOK h) { std::erase(installed, h); }

    // A host started now must end up without the library even though its
    // queue runs: no hook of the desktop names Gatrel.dll.
    void ExpectFreshHostStaysClean(const char* why, const Desktop* on = nullptr) {
        HostWindow host("Gatrel hook host", on ? on : &desktop);
        ASSERT_TRUE(host.Ready()) << why;
        ASSERT_TRUE(host.PingAndWait()) << why;
        EXPECT_EQ("", host.LibraryPath()) << why;
        EXPECT_EQ(0, host.SaysLibraryLoaded()) << why;
    }

    CHookInterface& iface = CHookInterface::instance();
    SharedSection* section = nullptr;
    std::vector<HHOOK> installed;
    // Taken before this thread moves to its own desktop.
    Desktop standard = Desktop::Current();
    testing_support::DesktopKeeper keepStandard{standard.Handle()};
    Desktop desktop = Desktop::Private(NewDesktopName());
    HDESK home = nullptr;
};

TEST_F(GlobalHooks, MessageHookBringsTheLibraryIntoAHostThatNeverLoadedIt) {
    HostWindow host("Gatrel hook host", &desktop);
    ASSERT_TRUE(host.Ready());
    ASSERT_TRUE(host.PingAndWait());
    EXPECT_EQ("", host.LibraryPath());
    EXPECT_EQ(0, host.SaysLibraryLoaded());
    EXPECT_EQ(-1, host.AttachedRows());

    ASSERT_EQ(1, iface.StartHook());
    const HHOOK hook = Track(PublishedGetMsgHook());
    ASSERT_NE(nullptr, hook) << "StartHook keeps its handle in the shared section";

    const std::string path = host.PingUntilLibraryLoaded();
    ASSERT_NE("", path) << "the next message the host takes loads the library";
    EXPECT_EQ(0, lstrcmpiA(path.c_str(), OurLibraryPath().c_str()))
        << "the same file, hence the same shared section: " << path;
    // The library's entry ran in the host and accepted the load, and process
    // attach installed the hook tables of an ordinary program there.
    EXPECT_EQ(1, host.SaysLibraryLoaded());
    EXPECT_GT(host.AttachedRows(), 0);
    // Every message is passed on: the host still receives what is posted to it,
    // and windows are still created.
    const int pings = host.Pings();
    ASSERT_TRUE(host.PingAndWait());
    EXPECT_EQ(pings + 1, host.Pings());
    EXPECT_EQ(1, host.CanMakeWindow());

    EXPECT_EQ(1, iface.StopHookEx(hook));
    Untrack(hook);
    ExpectFreshHostStaysClean("after StopHookEx");
}

TEST_F(GlobalHooks, CbtHookAloneLoadsTheLibraryWhenAHostCreatesItsWindow) {
    const HHOOK cbt = Track(iface.StartCBTHook());
    ASSERT_NE(nullptr, cbt);
    EXPECT_EQ(nullptr, PublishedGetMsgHook()) << "the CBT handle is not kept";

    HostWindow host("Gatrel hook host", &desktop);
    ASSERT_TRUE(host.Ready());
    EXPECT_EQ(1, host.SaysLibraryLoaded()) << "creating the window ran the CBT hook";
    EXPECT_NE("", host.LibraryPath());
    EXPECT_EQ(1, host.CanMakeWindow()) << "window creation is not refused";

    EXPECT_EQ(1, iface.StopHookEx(cbt));
    Untrack(cbt);
    EXPECT_EQ(0, iface.StopHookEx(cbt)) << "a removed hook cannot be removed twice";
    ExpectFreshHostStaysClean("after the CBT hook was removed");
}

TEST_F(GlobalHooks, StopHookOnlyForgetsTheHandleAndTheHookKeepsWorking) {
    ASSERT_EQ(1, iface.StartHook());
    const HHOOK hook = Track(PublishedGetMsgHook());
    ASSERT_NE(nullptr, hook);

    EXPECT_EQ(0, iface.StopHook());
    EXPECT_EQ(nullptr, PublishedGetMsgHook());
    EXPECT_EQ(0, iface.StopHook()) << "nothing left to forget";

    {
        HostWindow host("Gatrel hook host", &desktop);
        ASSERT_TRUE(host.Ready());
        EXPECT_NE("", host.PingUntilLibraryLoaded())
            << "the hook is still installed, and passes on with a null handle";
        const int pings = host.Pings();
        ASSERT_TRUE(host.PingAndWait());
        EXPECT_EQ(pings + 1, host.Pings());
    }

    EXPECT_EQ(1, iface.StopHookEx(hook));
    Untrack(hook);
    ExpectFreshHostStaysClean("after the forgotten hook was removed by its handle");
}

TEST_F(GlobalHooks, PlainStartAndStopLogEveryOutcomeAndKeepNoHandle) {
    LogTail log;
    const HHOOK published = PublishedGetMsgHook();

    EXPECT_EQ(nullptr, ::StartHook(nullptr));
    const DWORD nullModuleCode = GetLastError();
    EXPECT_NE(0u, nullModuleCode);
    const HMODULE bogus = reinterpret_cast<HMODULE>(0x1234);
    EXPECT_EQ(nullptr, ::StartHook(bogus));
    const DWORD bogusCode = GetLastError();
    EXPECT_NE(0u, bogusCode);
    EXPECT_EQ(1, log.CountEndingWith("SetWindowsHookEx failed, hHookDLL: 0, code: " +
                                     std::to_string(nullModuleCode)));
    EXPECT_EQ(1, log.CountEndingWith("SetWindowsHookEx failed, hHookDLL: 1234, code: " +
                                     std::to_string(bogusCode)));
    EXPECT_EQ(0, log.CountContaining("SetWindowsHookEx ok"));
    ExpectFreshHostStaysClean("after two failed installs");

    const HMODULE module = GetModuleHandleA("gatrel");
    const HHOOK hook = Track(::StartHook(module));
    ASSERT_NE(nullptr, hook);
    EXPECT_EQ(1, log.CountEndingWith("SetWindowsHookEx ok, hHookDLL: " + Hex(module)));
    EXPECT_EQ(published, PublishedGetMsgHook()) << "the plain function keeps no handle";
    {
        HostWindow host("Gatrel hook host", &desktop);
        ASSERT_TRUE(host.Ready());
        EXPECT_NE("", host.PingUntilLibraryLoaded());
    }

    EXPECT_EQ(1, ::StopHook(hook));
    Untrack(hook);
    EXPECT_EQ(1, log.CountEndingWith("UnhookWindowsHookEx ok, lhHook: " + Hex(hook)));
    // A handle no hook has: the same handle again could be another process's
    // hook by now (the system hands hook handles out again).
    const HHOOK none = nullptr;
    EXPECT_EQ(0, ::StopHook(none));
    const DWORD secondCode = GetLastError();
    EXPECT_NE(0u, secondCode);
    EXPECT_EQ(1, log.CountEndingWith("UnhookWindowsHookEx failed, lhHook: " + Hex(none) +
                                     ", code: " + std::to_string(secondCode)));
    ExpectFreshHostStaysClean("after the plain StopHook");
}

// The hooks of RestartHook are kept nowhere, so nobody can remove them; they
// live as long as the process that called it (under Wine, as long as the
// desktop: a global hook outlives its process there). The controller tool
// calls it here in a process of its own.
TEST_F(GlobalHooks, RestartHookInstallsBothHooksOnlyWhileTheStoreHasRecords) {
    ChildProcess ctl;
    ASSERT_TRUE(ctl.Start(Zelctl(), desktop.StartupName()));
    ASSERT_TRUE(ctl.WriteLine("del all"));
    ASSERT_TRUE(ctl.WriteLine("restart"));
    ASSERT_TRUE(ctl.WaitForOutput("restart: 0")) << ctl.Output() << ctl.Errors();
    ExpectFreshHostStaysClean("RestartHook with an empty table");

    ASSERT_TRUE(ctl.WriteLine(
        "add pid=4001 owner=4001 type=1 letters=P path=\"C:\\Docs\\(ZEL-0001)plan.doc\""));
    ASSERT_TRUE(ctl.WriteLine("restart"));
    ASSERT_TRUE(ctl.WaitForOutput("restart: 0")) << ctl.Output() << ctl.Errors();
    {
        HostWindow host("Gatrel hook host", &desktop);
        ASSERT_TRUE(host.Ready());
        EXPECT_EQ(1, host.SaysLibraryLoaded()) << "the CBT hook loaded it at window creation";
        EXPECT_NE("", host.PingUntilLibraryLoaded());
    }
    ASSERT_TRUE(standard.Ready());
    ExpectFreshHostStaysClean("a desktop's hooks reach only that desktop", &standard);

    ASSERT_TRUE(ctl.WriteLine("restart"));
    ASSERT_TRUE(ctl.WaitForOutput("restart: 0")) << "a second call installs them again";
    ASSERT_TRUE(ctl.WriteLine("del all"));
    ASSERT_TRUE(ctl.WriteLine("quit"));
    EXPECT_EQ(0, ctl.Wait()) << ctl.Errors();
}

TEST_F(GlobalHooks, ControllerToolInstallsAndRemovesTheHooks) {
    ChildProcess ctl;
    ASSERT_TRUE(ctl.Start(Zelctl(), desktop.StartupName()));
    ASSERT_TRUE(ctl.WriteLine("install"));
    ASSERT_TRUE(ctl.WaitForOutput("install: ok")) << ctl.Output() << ctl.Errors();
    {
        HostWindow host("Gatrel hook host", &desktop);
        ASSERT_TRUE(host.Ready());
        EXPECT_NE("", host.PingUntilLibraryLoaded());
        EXPECT_EQ(1, host.SaysLibraryLoaded());
    }
    ASSERT_TRUE(ctl.WriteLine("remove"));
    ASSERT_TRUE(ctl.WaitForOutput("remove: ok")) << ctl.Output() << ctl.Errors();
    ExpectFreshHostStaysClean("after zelctl removed its hooks");
    ASSERT_TRUE(ctl.WriteLine("remove"));
    ASSERT_TRUE(ctl.WriteLine("install"));
    ASSERT_TRUE(ctl.WaitForOutput("install: ok")) << ctl.Output() << ctl.Errors();
    {
        HostWindow host("Gatrel hook host", &desktop);
        ASSERT_TRUE(host.Ready());
        EXPECT_NE("", host.PingUntilLibraryLoaded()) << "installed again";
    }
    // The end of its input ends zelctl, and it takes its hooks with it.
    ctl.CloseInput();
    EXPECT_EQ(1, ctl.Wait()) << "removing hooks that are not installed was an error";
    EXPECT_NE(std::string::npos, ctl.Errors().find("not installed")) << ctl.Errors();
    ExpectFreshHostStaysClean("after zelctl ended with its hooks installed");
}

}  // namespace
