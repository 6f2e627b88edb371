// The protected applications' watch thread, seen from outside: it takes the
// messages posted to it while it waits, keeps the product's macro-object
// interception (the ZELOfficeCtrl.dll stand-in records every call) in step
// with the policy once a second, and restarts the daemon one process at a
// time whenever its mutex is gone, also after a protected application died
// holding the desktop's turn. Each application runs on a desktop of its own,
// so the hooks its watch thread installs reach nobody else's programs.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "host_client.h"
#include "store/gatrel_interface.h"
#include "tests/hooks/host_window.h"
#include "tests/hooks/log_tail.h"
#include "tests/support/daemons.h"
#include "tests/support/test_child.h"

namespace {

using testing_support::DaemonStart;
using testing_support::Desktop;

constexpr DWORD kOwner = 0x7A000031;

// Takes "ProtectMutex" for the desktop's watch threads (waiting for its turn),
// signals args[0] and holds it until it is ended.
GATREL_CHILD_SCENARIO(holdprotect) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "ProtectMutex");
    HANDLE held = OpenEventA(EVENT_MODIFY_STATE, FALSE, args.at(0).c_str());
    if (!mutex || !held) return 2;
    const DWORD waited = WaitForSingleObject(mutex, 30000);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return 3;
    SetEvent(held);
    Sleep(60000);
    return 4;
}

template <class Pred>
bool WaitFor(Pred pred, DWORD boundMs) {
    const DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start > boundMs) return false;
        Sleep(50);
    }
    return true;
}

// One call the ZELOfficeCtrl.dll stand-in recorded.
struct OfficeCall {
    DWORD pid = 0;
    DWORD tick = 0;
    std::string call, type, addr, object;
};

std::vector<OfficeCall> OfficeCalls(const std::string& file, DWORD pid) {
    std::vector<OfficeCall> calls;
    std::istringstream lines(testchild::ReadFileBytes(file));
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        OfficeCall c;
        std::istringstream fields(line);
        std::string f;
        while (std::getline(fields, f, '\t')) {
            const size_t eq = f.find('=');
            if (eq == std::string::npos) continue;
            const std::string k = f.substr(0, eq), v = f.substr(eq + 1);
            if (k == "pid") c.pid = static_cast<DWORD>(strtoul(v.c_str(), nullptr, 10));
            if (k == "tick") c.tick = static_cast<DWORD>(strtoul(v.c_str(), nullptr, 10));
            if (k == "call") c.call = v;
            if (k == "type") c.type = v;
            if (k == "addr") c.addr = v;
            if (k == "object") c.object = v;
        }
        if (c.pid == pid) calls.push_back(c);
    }
    return calls;
}

int Count(const std::vector<OfficeCall>& calls, const std::string& name) {
    int n = 0;
    for (const OfficeCall& c : calls) n += c.call == name;
    return n;
}

// Each call of that name a pass apart: about a second.
void ExpectOncePerPass(const std::vector<OfficeCall>& calls, const std::string& name) {
    DWORD last = 0;
    for (const OfficeCall& c : calls) {
        if (c.call != name) continue;
        if (last) {
            EXPECT_GE(c.tick - last, 900u) << name << " twice within a pass";
        }
        last = c.tick;
    }
}

class WatchThread : public ::testing::Test {
protected:
    static std::string NewDesktopName() {
        static int n = 0;
        return "GatrelWatch" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++n);
    }
    void SetUp() override {
        ASSERT_TRUE(desktop.Ready());
        iface.DelHookInfo(kOwner);
    }
    void TearDown() override {
        apps.clear();
        iface.DelHookInfo(kOwner);
    }
    // A protected application (a host variant) with the library loaded, on
    // the test's desktop; env entries go into its environment (and its
    // daemon's).
    hosts::HostClient* StartApp(const std::string& variant, const hosts::Params& env = {},
                                const std::string& library = "") {
        auto app = std::make_unique<hosts::HostClient>();
        app->SetDesktop(desktop.StartupName());
        if (!app->Start(variant, {}, env) || !app->LoadGatrel(library)) return nullptr;
        apps.push_back(std::move(app));
        return apps.back().get();
    }
    void RegisterDocumentOf(DWORD pid, int type) {
        _ZEL_HOOK_INFO_ rec{};
        rec.dwProcessId = pid;
        rec.dwOwnerPid = kOwner;
        rec.byDocType = static_cast<uint8_t>(type);
        strcpy(rec.szFilePath, "C:\\ZELFILETEMP\\(ZEL-0031)watch.ppt");
        strcpy(rec.szPermission, "P");
        iface.AddHookInfo(&rec);
    }

    CHookInterface& iface = CHookInterface::instance();
    Desktop desktop = Desktop::Private(NewDesktopName());
    std::vector<std::unique_ptr<hosts::HostClient>> apps;
};

TEST_F(WatchThread, TakesAMessagePostedToItWithinAboutASecond) {
    hosts::HostClient* word = StartApp("word11");
    ASSERT_NE(nullptr, word);
    const long long tid = word->Send("threads").Num("watch");
    ASSERT_NE(0, tid);
    for (int i = 0; i < 3; ++i) {
        const hosts::Reply r = word->Send("threadpost", {{"tid", std::to_string(tid)}, {"ms", "5000"}});
        ASSERT_EQ(1, r.Num("posted")) << r.error;
        EXPECT_EQ(1, r.Num("seen")) << "the watch thread let the message lie";
        EXPECT_LE(r.Num("ms"), 2500);
    }
}

TEST_F(WatchThread, ItsDesktopHooksBringTheLibraryToOtherProgramsOnlyWhileTheApplicationRuns) {
    auto hasLibrary = [](hosts::HostClient& h) {
        return h.Call("kernel32.dll", "GetModuleHandleA", {"s:Gatrel.dll"}).Num("uret") != 0;
    };
    hosts::HostClient* word = StartApp("word11");
    ASSERT_NE(nullptr, word);
    ASSERT_TRUE(WaitFor([&] { return word->Send("threads").Str("cbthook") != "0x0"; }, 5000));

    hosts::HostClient during;
    during.SetDesktop(desktop.StartupName());
    ASSERT_TRUE(during.Start("plain"));
    EXPECT_TRUE(hasLibrary(during)) << "the hooks did not reach a program of the desktop";

    ASSERT_TRUE(word->Quit());
    Sleep(3000);
    hosts::HostClient after;
    after.SetDesktop(desktop.StartupName());
    ASSERT_TRUE(after.Start("plain"));
    EXPECT_FALSE(hasLibrary(after)) << "the hooks of the ended application still load the library";
}

TEST_F(WatchThread, KeepsTheMacroObjectsInStepWithThePolicyOnceASecond) {
    testchild::TempFolder folder("watch_office");
    const std::string record = folder.path() + "\\calls.txt";
    hosts::HostClient* ppt = StartApp("ppt12", {{"ZELOFFICECTRL_RECORD", record}});
    hosts::HostClient* word = StartApp("word11", {{"ZELOFFICECTRL_RECORD", record}});
    ASSERT_NE(nullptr, ppt);
    ASSERT_NE(nullptr, word);
    const std::string address = ppt->Send("appobject").Str("address");

    // Passes of a thread that runs once a second are waited for with a bound:
    // a busy machine may delay a pass by more than a second. Each wait leaves
    // the presentation program's calls in calls.
    std::vector<OfficeCall> calls;
    auto passesOf = [&](size_t from, const char* name, int passes) {
        return WaitFor(
            [&] {
                calls = OfficeCalls(record, ppt->Pid());
                const std::vector<OfficeCall> later(calls.begin() + static_cast<std::ptrdiff_t>(from), calls.end());
                return Count(later, name) >= passes;
            },
            15000);
    };
    // No record, no automation object yet: unhooked every pass.
    EXPECT_TRUE(passesOf(0, "UnHookVBAOleObject", 2));
    EXPECT_EQ(0, Count(calls, "GetHookVBAFuncAddr"));
    EXPECT_EQ(0, Count(calls, "HookVBAOleObject"));
    ExpectOncePerPass(calls, "UnHookVBAOleObject");

    // Once the automation object is captured, the presentation program hands
    // it over before unhooking; the word processor does not.
    ASSERT_TRUE(ppt->Send("appobject", {{"value", "0x5A5A0"}}).ok);
    ASSERT_TRUE(word->Send("appobject", {{"value", "0x5A5A0"}}).ok);
    const size_t seen = calls.size();
    EXPECT_TRUE(passesOf(seen, "GetHookVBAFuncAddr", 2));
    std::vector<OfficeCall> later(calls.begin() + static_cast<std::ptrdiff_t>(seen), calls.end());
    for (size_t i = 0; i < later.size(); ++i) {
        if (later[i].call != "GetHookVBAFuncAddr") continue;
        EXPECT_EQ("3", later[i].type);
        EXPECT_EQ(strtoul(address.c_str(), nullptr, 16), strtoul(later[i].addr.c_str(), nullptr, 16))
            << "the address of the variable, every time";
        EXPECT_EQ("0x0005A5A0", later[i].object);
        if (i + 1 < later.size()) {
            EXPECT_EQ("UnHookVBAOleObject", later[i + 1].call);
        }
    }
    EXPECT_EQ(0, Count(OfficeCalls(record, word->Pid()), "GetHookVBAFuncAddr"));

    // A protected document: hooked every pass, not once only.
    // Counted from the first pass that saw the record.
    const size_t registered = OfficeCalls(record, ppt->Pid()).size();
    RegisterDocumentOf(ppt->Pid(), 3);
    ASSERT_TRUE(passesOf(registered, "HookVBAOleObject", 1));
    const size_t before = calls.size();
    EXPECT_TRUE(passesOf(before, "HookVBAOleObject", 2));
    later.assign(calls.begin() + static_cast<std::ptrdiff_t>(before), calls.end());
    EXPECT_EQ(static_cast<int>(later.size()), Count(later, "HookVBAOleObject"));
    ExpectOncePerPass(later, "HookVBAOleObject");
    for (const OfficeCall& c : later) EXPECT_EQ("3", c.type);
}

TEST_F(WatchThread, AMissingOfficeLibraryIsLoggedOnceAndTheThreadGoesOn) {
    // A copy of the library in a folder without its sibling libraries.
    testchild::TempFolder folder("watch_alone");
    const std::string bin = hosts::HostClient::WinPath(getenv("GATREL_BIN"));
    const std::string copy = folder.path() + "\\Gatrel.dll";
    ASSERT_TRUE(CopyFileA((bin + "\\Gatrel.dll").c_str(), copy.c_str(), FALSE));
    testing_support::LogTail log("KORBDOC");
    hosts::HostClient* korb = StartApp("korb", {}, copy);
    ASSERT_NE(nullptr, korb);
    const long long tid = korb->Send("threads").Num("watch");
    ASSERT_NE(0, tid);
    Sleep(3500);
    EXPECT_EQ(1, log.CountContaining("ZELOfficeCtrl.dll not usable: LoadLibrary failed"));
    EXPECT_EQ(1, korb->Send("threadpost", {{"tid", std::to_string(tid)}, {"ms", "5000"}}).Num("seen"))
        << "the thread still runs its passes";
}

class DaemonRestart : public WatchThread {
protected:
    void SetUp() override {
        WatchThread::SetUp();
        installDir = testing_support::InstallDirFromRegistry();
        ASSERT_TRUE(testing_support::EndRunningDaemons()) << "a daemon of an earlier test would not end";
        before = testing_support::DaemonStarts(installDir);
    }
    void TearDown() override {
        apps.clear();
        testing_support::EndRunningDaemons();
        for (const DaemonStart& s : testing_support::NewDaemonStarts(installDir, before))
            DeleteFileA((installDir + "\\" + s.file).c_str());
        WatchThread::TearDown();
    }
    std::vector<DaemonStart> Starts() { return testing_support::NewDaemonStarts(installDir, before); }

    std::string installDir;
    std::vector<DaemonStart> before;
};

TEST_F(DaemonRestart, OneProcessStartsTheDaemonUntilItsMutexExistsAndAgainWhenItDies) {
    // A daemon that takes three seconds to create its mutex.
    const hosts::Params env = {{"GATREL_DAEMON_START_DELAY", "3000"}, {"GATREL_DAEMON_LIFETIME", "120"}};
    ASSERT_NE(nullptr, StartApp("word11", env));
    ASSERT_NE(nullptr, StartApp("excel11", env));
    ASSERT_NE(nullptr, StartApp("acrord8", env));
    ASSERT_TRUE(WaitFor([] { return testing_support::DaemonMutexExists(); }, 20000));
    Sleep(2500);
    EXPECT_EQ(1u, Starts().size()) << "started once while it was starting";
    ASSERT_EQ(1u, testing_support::RunningDaemons().size());

    ASSERT_TRUE(testing_support::EndRunningDaemons());
    ASSERT_TRUE(WaitFor([] { return testing_support::DaemonMutexExists(); }, 20000)) << "it comes back";
    Sleep(2500);
    EXPECT_EQ(2u, Starts().size());
    EXPECT_EQ(1u, testing_support::RunningDaemons().size());
}

TEST_F(DaemonRestart, ADaemonThatFailsIsStartedAgainAtMostOnceASecond) {
    const hosts::Params env = {{"GATREL_DAEMON_FAIL", "1"}};
    ASSERT_NE(nullptr, StartApp("word11", env));
    ASSERT_NE(nullptr, StartApp("ppt12", env));
    Sleep(5000);
    const std::vector<DaemonStart> starts = Starts();
    EXPECT_GE(starts.size(), 2u) << "started again after it failed";
    EXPECT_LE(starts.size(), 7u);
    for (size_t i = 1; i < starts.size(); ++i)
        EXPECT_GE(starts[i].created - starts[i - 1].created, 9000000u) << "two starts within a second";
}

TEST_F(DaemonRestart, AnApplicationKilledDuringItsTurnLeavesTheTurnToTheOthers) {
    ASSERT_NE(nullptr, StartApp("word11"));
    ASSERT_TRUE(WaitFor([] { return testing_support::DaemonMutexExists(); }, 20000));
    ASSERT_TRUE(testing_support::EndRunningDaemons());
    const std::string heldName = "GatrelProtectHeld" + std::to_string(GetCurrentProcessId());
    HANDLE held = CreateEventA(nullptr, TRUE, FALSE, heldName.c_str());
    {
        testchild::Child holder(testchild::SelfPath(), "holdprotect", {heldName});
        ASSERT_TRUE(holder.started());
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(held, 30000));
        TerminateProcess(holder.handle(), 9);
        holder.Wait(10000);
    }
    CloseHandle(held);
    // The word processor's watch thread takes the abandoned turn: it starts
    // the daemon and gives the turn back.
    EXPECT_TRUE(WaitFor([] { return testing_support::DaemonMutexExists(); }, 20000));
    HANDLE protect = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "ProtectMutex");
    ASSERT_NE(nullptr, protect);
    const DWORD waited = WaitForSingleObject(protect, 10000);
    EXPECT_EQ(WAIT_OBJECT_0, waited) << "the turn stayed taken";
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ReleaseMutex(protect);
    CloseHandle(protect);
}

}  // namespace
