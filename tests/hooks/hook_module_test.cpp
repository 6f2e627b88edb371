// The hook members find the library's module by its name. Linked statically,
// away from Gatrel.dll, they have no module to give the system: nothing may be
// installed and nothing is logged.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "store/gatrel_interface.h"
#include "store/shared_section.h"
#include "tests/hooks/host_window.h"
#include "tests/hooks/log_tail.h"

using testing_support::Desktop;
using testing_support::HostWindow;
using testing_support::LogTail;

TEST(HookModule, WithoutTheLibraryModuleNoHookIsInstalled) {
    ASSERT_EQ(nullptr, GetModuleHandleA("gatrel"));
    // Other programs' protected applications hook the default desktop: the
    // check works on a desktop of its own, where only what this program
    // installs could reach the host.
    Desktop desktop = Desktop::Private("gatrel_hook_module_" + std::to_string(GetCurrentProcessId()));
    ASSERT_TRUE(desktop.Ready());
    ASSERT_TRUE(SetThreadDesktop(desktop.Handle())) << GetLastError();
    LogTail log;
    CHookInterface& iface = CHookInterface::instance();

    g_shared.hGetMsgHook = 0x4321;
    EXPECT_EQ(0, iface.StartHook());
    EXPECT_EQ(0x4321u, g_shared.hGetMsgHook) << "no module: the handle is left alone";
    EXPECT_EQ(nullptr, iface.StartCBTHook());

    _ZEL_HOOK_INFO_ rec{};
    rec.dwProcessId = rec.dwOwnerPid = 5150;
    strcpy(rec.szFilePath, "C:\\Docs\\(ZEL-0002)sheet.xls");
    iface.AddHookInfo(&rec);
    EXPECT_EQ(0u, iface.RestartHook());
    iface.DelHookInfo(5150);

    EXPECT_EQ(0, iface.StopHook());
    EXPECT_EQ(0u, g_shared.hGetMsgHook);
    EXPECT_EQ(0u, log.NewLines().size()) << "the member operations report only by result";

    HostWindow host("Gatrel hook host", &desktop);
    ASSERT_TRUE(host.Ready());
    ASSERT_TRUE(host.PingAndWait());
    EXPECT_EQ("", host.LibraryPath());
}
