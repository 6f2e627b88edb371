// The shape every replacement follows, on real file functions and on a real
// function that calls the application back: pass-through before the library
// is attached, re-entry through its own work, calls into another guarded
// function, the caller's last error, exceptions and faults of its own work,
// an application's handler unwinding through it, and the mark lifted while
// the real function runs.
#include <gtest/gtest.h>

#include "intercept/hook_slots.h"

#include <cstdio>
#include <stdexcept>
#include <string>

#include "intercept/hook_function.h"
#include "intercept/hook_tables.h"
#include "intercept/replacement_guard.h"
#include "store/seq_lock.h"
#include "support/log.h"
#include "support/contained_run.h"
#include "support/held_locks.h"
#include "support/thread_marks.h"
#include "tests/support/test_child.h"

namespace {

// The thread's mark of a row as the system's TLS calls see it: a wrong slot
// or offset in the shape's fast path shows here.
bool MarkSeen(HookId id) {
    const int row = static_cast<int>(id);
    const DWORD index = marks::SlotIndex(row / 32);
    if (index == TLS_OUT_OF_INDEXES) return false;
    const auto word = reinterpret_cast<uintptr_t>(TlsGetValue(index));
    return (word >> (row % 32)) & 1u;
}

// Another thread can take "HookMutex" now: the test thread does not hold it.
bool HookMutexFree() {
    struct Probe {
        static DWORD WINAPI Take(LPVOID) {
            HANDLE m = CreateMutexA(nullptr, FALSE, "HookMutex");
            if (!m) return 2;
            const DWORD r = WaitForSingleObject(m, 5000);
            if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED) ReleaseMutex(m);
            CloseHandle(m);
            return r == WAIT_OBJECT_0 ? 0 : 1;
        }
    };
    HANDLE t = CreateThread(nullptr, 0, Probe::Take, nullptr, 0, nullptr);
    WaitForSingleObject(t, 10000);
    DWORD code = 3;
    GetExitCodeThread(t, &code);
    CloseHandle(t);
    return code == 0;
}

void Fault() { *static_cast<volatile int*>(nullptr) = 1; }

// --- Real file functions: own re-entry, another guard, last error, C++ throws.

std::wstring g_file;
int g_attrBodies = 0, g_deleteBodies = 0;
DWORD g_errorSeenByBody = 0;
bool g_markInBody = false;
enum class Mode { kPass, kThrow, kThrowTwice } g_mode = Mode::kPass;

DWORD WINAPI TestDetourGetFileAttributesW(LPCWSTR name) {
    return RunReplacement(
        HookId::kGetFileAttributesW, Trampoline_GetFileAttributesW,
        [&]() -> DWORD {
            ++g_attrBodies;
            g_errorSeenByBody = GetLastError();
            g_markInBody = MarkSeen(HookId::kGetFileAttributesW);
            if (g_mode != Mode::kPass) throw std::runtime_error("guard failed");
            // Its own work calls the same function: passes straight through.
            GetFileAttributesW(name);
            // A function another replacement guards: goes through that one.
            DeleteFileW((g_file + L".none").c_str());
            SetLastError(g_errorSeenByBody);
            return intercept::CallReal(Trampoline_GetFileAttributesW, name);
        },
        [&]() -> DWORD {
            if (g_mode == Mode::kThrowTwice) throw 1;
            return 0x4242;
        },
        name);
}

BOOL WINAPI TestDetourDeleteFileW(LPCWSTR name) {
    return RunReplacement(
        HookId::kDeleteFileW, Trampoline_DeleteFileW,
        [&]() -> BOOL {
            ++g_deleteBodies;
            return intercept::CallReal(Trampoline_DeleteFileW, name);
        },
        []() -> BOOL { return FALSE; }, name);
}

int g_createBodies = 0;

HANDLE WINAPI TestDetourCreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                                    DWORD disposition, DWORD flags, HANDLE tmpl) {
    return RunReplacement(
        HookId::kCreateFileW, Trampoline_CreateFileW,
        [&]() -> HANDLE {
            ++g_createBodies;
            return intercept::CallReal(Trampoline_CreateFileW, name, access, share, sa, disposition, flags, tmpl);
        },
        []() -> HANDLE { return INVALID_HANDLE_VALUE; }, name, access, share, sa, disposition, flags, tmpl);
}

// --- A real function that calls the application back (a dialog's hook, a
// copy's progress routine), replaced under a catalog row of its own.

using Callback = int(WINAPI*)(int);

__attribute__((noinline)) int WINAPI RealWithCallback(Callback callback, int depth) {
    volatile int padding = depth;  // an entry long enough for the jump
    return callback(padding) + 1;
}

constexpr HookId kCallbackRow = HookId::kEnableMenuItem;
decltype(&RealWithCallback) g_callbackSlot = &RealWithCallback;

enum class Work {
    kPass,
    kFault,
    kRaise,
    kFaultHoldingStore,
    kLockAcrossReal,
    kCallsItself,  // its own work calls the function it replaces, then waits as a modal box does
} g_work = Work::kPass;
// How the body hands the thread over for its real call: with the run's frame
// it was given, or looking the frame up on the exception chain.
enum class RealForm { kGivenFrame, kLookedUp } g_realForm = RealForm::kGivenFrame;
int g_callbackBodies = 0;
bool g_markInOwnWork = false;
int g_bodiesSeenInWait = 0;

int WINAPI CallsAgain(int depth);

int WINAPI TestDetourWithCallback(Callback callback, int depth) {
    return RunReplacement(
        kCallbackRow, g_callbackSlot,
        [&](contained::Frame& run) -> int {
            ++g_callbackBodies;
            g_markInOwnWork = MarkSeen(kCallbackRow);
            switch (g_work) {
                case Work::kFault: Fault(); break;
                case Work::kRaise: RaiseException(0xE0474154, 0, 0, nullptr); break;
                case Work::kFaultHoldingStore: {
                    store::LockedWrite write;
                    Fault();
                    break;
                }
                case Work::kLockAcrossReal: {
                    // What a replacement must not do, and must survive all the same.
                    store::NamedLock lock(store::LockId::Hook);
                    return intercept::CallReal(g_callbackSlot, callback, depth);
                }
                case Work::kCallsItself: {
                    g_work = Work::kPass;
                    const int before = g_callbackBodies;
                    RealWithCallback(CallsAgain, 0);  // own work: straight through
                    intercept::Unmarked([] { return RealWithCallback(CallsAgain, 0); });
                    g_bodiesSeenInWait = g_callbackBodies - before;
                    break;
                }
                case Work::kPass: break;
            }
            SetLastError(0);
            return g_realForm == RealForm::kGivenFrame ? intercept::CallReal(run, g_callbackSlot, callback, depth)
                                                       : intercept::CallReal(g_callbackSlot, callback, depth);
        },
        []() -> int { return -7; }, callback, depth);
}

// Calls the function again from inside the real call, as a dialog hook does.
int WINAPI CallsAgain(int depth) { return depth > 0 ? RealWithCallback(CallsAgain, depth - 1) : 0; }

int WINAPI Raises(int) {
    RaiseException(0xE0474155, 0, 0, nullptr);
    return 0;
}

// The application's own structured handler around its call: it catches what
// the callback raised and unwinds the frames in between, replacement included.
bool ApplicationCatches(Callback callback) {
    volatile int result = 0;
    return contained::Run([&] { result = RealWithCallback(callback, 0); }) == contained::Outcome::kFaulted;
}

class ReplacementShape : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        g_file = std::wstring(tmp) + L"gatrel_shape_" + std::to_wstring(GetCurrentProcessId()) + L".txt";
        HANDLE h = CreateFileW(g_file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(h);
        HookFuntion("Kernel32.dll", "GetFileAttributesW", reinterpret_cast<PVOID*>(&Trampoline_GetFileAttributesW),
                    reinterpret_cast<PVOID>(&TestDetourGetFileAttributesW));
        HookFuntion("Kernel32.dll", "DeleteFileW", reinterpret_cast<PVOID*>(&Trampoline_DeleteFileW),
                    reinterpret_cast<PVOID>(&TestDetourDeleteFileW));
        HookFuntion("Kernel32.dll", "CreateFileW", reinterpret_cast<PVOID*>(&Trampoline_CreateFileW),
                    reinterpret_cast<PVOID>(&TestDetourCreateFileW));
        HookFuntion("", "RealWithCallback", reinterpret_cast<PVOID*>(&g_callbackSlot),
                    reinterpret_cast<PVOID>(&TestDetourWithCallback));
    }
    static void TearDownTestSuite() {
        UnHookFuntion("GetFileAttributesW", reinterpret_cast<PVOID*>(&Trampoline_GetFileAttributesW),
                      reinterpret_cast<PVOID>(&TestDetourGetFileAttributesW));
        UnHookFuntion("DeleteFileW", reinterpret_cast<PVOID*>(&Trampoline_DeleteFileW),
                      reinterpret_cast<PVOID>(&TestDetourDeleteFileW));
        UnHookFuntion("CreateFileW", reinterpret_cast<PVOID*>(&Trampoline_CreateFileW),
                      reinterpret_cast<PVOID>(&TestDetourCreateFileW));
        UnHookFuntion("RealWithCallback", reinterpret_cast<PVOID*>(&g_callbackSlot),
                      reinterpret_cast<PVOID>(&TestDetourWithCallback));
        intercept::SetLibraryAttached(false);
        DeleteFileW(g_file.c_str());
    }
    void SetUp() override {
        g_attrBodies = g_deleteBodies = g_callbackBodies = g_createBodies = 0;
        g_mode = Mode::kPass;
        g_work = Work::kPass;
        g_realForm = RealForm::kGivenFrame;
        intercept::SetLibraryAttached(true);
    }
    // The row decides again on this thread, with its mark only in its own work.
    void ExpectTheRowStillDecides() {
        const int before = g_callbackBodies;
        EXPECT_EQ(1, RealWithCallback(CallsAgain, 0));
        EXPECT_EQ(before + 1, g_callbackBodies);
        EXPECT_TRUE(g_markInOwnWork);
        EXPECT_FALSE(MarkSeen(kCallbackRow));
    }
};

TEST_F(ReplacementShape, PassesStraightThroughUntilAttached) {
    intercept::SetLibraryAttached(false);
    SetLastError(0x1234);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(g_file.c_str()));
    EXPECT_EQ(0x1234u, GetLastError());
    EXPECT_EQ(0, g_attrBodies);
    intercept::SetLibraryAttached(true);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(g_file.c_str()));
    EXPECT_EQ(1, g_attrBodies);
}

TEST_F(ReplacementShape, OwnReentryPassesOtherGuardsStillApply) {
    SetLastError(0x1234);
    const DWORD attrs = GetFileAttributesW(g_file.c_str());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, attrs);
    EXPECT_EQ(1, g_attrBodies);    // the inner call did not run the body again
    EXPECT_EQ(1, g_deleteBodies);  // the call into DeleteFileW went through its guard
    EXPECT_EQ(0x1234u, g_errorSeenByBody);
    EXPECT_EQ(0x1234u, GetLastError());
    EXPECT_TRUE(g_markInBody);
    // Marks are per thread and cleared on the way out.
    EXPECT_FALSE(MarkSeen(HookId::kGetFileAttributesW));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(g_file.c_str()));
    EXPECT_EQ(2, g_attrBodies);
    // The library's own work passes every replacement: its log (whose ANSI
    // open reaches the wide one inside the system), and any other.
    g_createBodies = 0;
    CloseHandle(CreateFileA("NUL", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(1, g_createBodies) << "the application's ANSI open meets the replacement";
    LogError("the library's own line");
    {
        const marks::OwnWork own;
        GetFileAttributesW(g_file.c_str());
        DeleteFileW((g_file + L".none").c_str());
    }
    EXPECT_EQ(1, g_createBodies);
    EXPECT_EQ(2, g_attrBodies);
    EXPECT_EQ(2, g_deleteBodies);
}

TEST_F(ReplacementShape, ReentryMarksArePerThread) {
    struct Run {
        static DWORD WINAPI Thread(LPVOID) {
            return GetFileAttributesW(g_file.c_str()) != INVALID_FILE_ATTRIBUTES;
        }
    };
    HANDLE threads[4];
    for (HANDLE& t : threads) t = CreateThread(nullptr, 0, Run::Thread, nullptr, 0, nullptr);
    WaitForMultipleObjects(4, threads, TRUE, INFINITE);
    for (HANDLE t : threads) {
        DWORD code = 0;
        GetExitCodeThread(t, &code);
        EXPECT_EQ(1u, code);
        CloseHandle(t);
    }
    EXPECT_EQ(4, g_attrBodies);
}

TEST_F(ReplacementShape, NoExceptionLeaves) {
    g_mode = Mode::kThrow;
    SetLastError(0x77);
    EXPECT_EQ(0x4242u, GetFileAttributesW(g_file.c_str()));
    EXPECT_EQ(0x77u, GetLastError());
    g_mode = Mode::kThrowTwice;
    EXPECT_EQ(0u, GetFileAttributesW(g_file.c_str()));
    g_mode = Mode::kPass;
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(g_file.c_str()));
    EXPECT_EQ(3, g_attrBodies);
}

// The application calls the same function again while the real one runs (a
// second dialog from a dialog's hook), or while a modal wait of the
// replacement runs: the inner call meets the replacement; the replacement's
// own call passes straight through.
TEST_F(ReplacementShape, OwnWorkPassesTheRealCallAndModalWaitsDoNot) {
    for (RealForm form : {RealForm::kGivenFrame, RealForm::kLookedUp}) {
        SCOPED_TRACE(static_cast<int>(form));
        g_realForm = form;
        g_callbackBodies = 0;
        EXPECT_EQ(3, RealWithCallback(CallsAgain, 2));
        EXPECT_EQ(3, g_callbackBodies);
        EXPECT_TRUE(g_markInOwnWork);
        EXPECT_FALSE(MarkSeen(kCallbackRow));
        g_callbackBodies = 0;
        g_work = Work::kCallsItself;
        RealWithCallback(CallsAgain, 0);
        EXPECT_EQ(2, g_callbackBodies);
        EXPECT_EQ(1, g_bodiesSeenInWait) << "only the call made during the wait ran the replacement";
        EXPECT_FALSE(MarkSeen(kCallbackRow));
    }
    g_realForm = RealForm::kGivenFrame;
}

// A hardware fault or a raised exception in the replacement's own work gives
// the fallback's result and the caller's last error, and nothing stays held.
TEST_F(ReplacementShape, FaultsOfItsOwnWorkAreContained) {
    for (Work w : {Work::kFault, Work::kRaise, Work::kFaultHoldingStore}) {
        SCOPED_TRACE(static_cast<int>(w));
        g_work = w;
        SetLastError(0x5150);
        EXPECT_EQ(-7, RealWithCallback(CallsAgain, 0));
        EXPECT_EQ(0x5150u, GetLastError());
        EXPECT_FALSE(MarkSeen(kCallbackRow));
        EXPECT_EQ(0, support::HeldLockCount());
        EXPECT_TRUE(HookMutexFree());
        EXPECT_FALSE(store::WriterActive()) << "the write flag of a contained write";
        g_work = Work::kPass;
        ExpectTheRowStillDecides();
    }
}

// The application's callback raises inside the real function and the
// application's own handler, outside, catches it and unwinds.
TEST_F(ReplacementShape, AnUnwindThroughItLeavesNoMarkAndNoLock) {
    struct Case {
        Work work;
        RealForm form;
    };
    for (Case c : {Case{Work::kPass, RealForm::kGivenFrame}, Case{Work::kPass, RealForm::kLookedUp},
                   Case{Work::kLockAcrossReal, RealForm::kLookedUp}}) {
        SCOPED_TRACE(static_cast<int>(c.work) * 10 + static_cast<int>(c.form));
        g_work = c.work;
        g_realForm = c.form;
        EXPECT_TRUE(ApplicationCatches(Raises)) << "the application's exception reaches its handler";
        EXPECT_FALSE(MarkSeen(kCallbackRow));
        EXPECT_EQ(0, support::HeldLockCount());
        EXPECT_TRUE(HookMutexFree());
        g_work = Work::kPass;
        ExpectTheRowStillDecides();
    }
    g_realForm = RealForm::kGivenFrame;
}

GATREL_CHILD_SCENARIO(AttachWithoutTlsSlots) {
    // Every TLS index taken before the library attaches.
    while (TlsAlloc() != TLS_OUT_OF_INDEXES) {
    }
    intercept::SetLibraryAttached(true);
    intercept::SetLibraryAttached(false);
    intercept::SetLibraryAttached(true);
    return marks::Available() ? 1 : 0;
}

std::string ReadTestLog() {
    const char* root = getenv("GATREL_ROOT");
    std::string log;
    if (FILE* f = root ? fopen((std::string(root) + "/log/replacement_guard_test.log").c_str(), "rb") : nullptr) {
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) log.append(buf, n);
        fclose(f);
    }
    return log;
}

TEST(ReplacementMarks, AMissingTlsSlotIsLoggedOnce) {
    ASSERT_NE(nullptr, getenv("GATREL_ROOT"));
    // Process ids come round again: only this run's lines count.
    const size_t before = ReadTestLog().size();
    testchild::Child child(testchild::SelfPath(), "AttachWithoutTlsSlots", {});
    ASSERT_TRUE(child.started());
    const DWORD pid = child.pid();
    ASSERT_EQ(0, child.Wait());
    const std::string log = ReadTestLog().substr(before);
    const std::string ofChild = "[PID: " + std::to_string(pid) + "]";
    int lines = 0;
    for (size_t at = 0; (at = log.find(ofChild, at)) != std::string::npos; ++at) {
        const size_t end = log.find('\n', at);
        if (log.substr(at, end - at).find("TlsAlloc Error") != std::string::npos) ++lines;
    }
    EXPECT_EQ(1, lines);
}

}  // namespace
