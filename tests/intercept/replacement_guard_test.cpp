// The shape every replacement follows, on real file functions: pass-through
// before the library is attached, re-entry through its own work, calls into
// another guarded function, the caller's last error, and exceptions.
#include <gtest/gtest.h>

#include "intercept/hook_slots.h"

#include <stdexcept>
#include <string>

#include "intercept/hook_function.h"
#include "intercept/hook_tables.h"
#include "intercept/replacement_guard.h"

namespace {

std::wstring g_file;
int g_attrBodies = 0, g_deleteBodies = 0;
DWORD g_errorSeenByBody = 0;
enum class Mode { kPass, kThrow, kThrowTwice } g_mode = Mode::kPass;

DWORD WINAPI TestDetourGetFileAttributesW(LPCWSTR name) {
    return RunReplacement(
        HookId::kGetFileAttributesW, Trampoline_GetFileAttributesW,
        [&]() -> DWORD {
            ++g_attrBodies;
            g_errorSeenByBody = GetLastError();
            if (g_mode != Mode::kPass) throw std::runtime_error("guard failed");
            // Its own work calls the same function: passes straight through.
            GetFileAttributesW(name);
            // A function another replacement guards: goes through that one.
            DeleteFileW((g_file + L".none").c_str());
            SetLastError(g_errorSeenByBody);
            return Trampoline_GetFileAttributesW(name);
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
            return Trampoline_DeleteFileW(name);
        },
        []() -> BOOL { return FALSE; }, name);
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
    }
    static void TearDownTestSuite() {
        UnHookFuntion("GetFileAttributesW", reinterpret_cast<PVOID*>(&Trampoline_GetFileAttributesW),
                      reinterpret_cast<PVOID>(&TestDetourGetFileAttributesW));
        UnHookFuntion("DeleteFileW", reinterpret_cast<PVOID*>(&Trampoline_DeleteFileW),
                      reinterpret_cast<PVOID>(&TestDetourDeleteFileW));
        intercept::SetLibraryAttached(false);
        DeleteFileW(g_file.c_str());
    }
    void SetUp() override {
        g_attrBodies = g_deleteBodies = 0;
        g_mode = Mode::kPass;
        intercept::SetLibraryAttached(true);
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
    // Marks are per thread and cleared on the way out.
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(g_file.c_str()));
    EXPECT_EQ(2, g_attrBodies);
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
    EXPECT_EQ(0x4242u, GetFileAttributesW(g_file.c_str()));
    g_mode = Mode::kThrowTwice;
    EXPECT_EQ(0u, GetFileAttributesW(g_file.c_str()));
    g_mode = Mode::kPass;
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(g_file.c_str()));
    EXPECT_EQ(3, g_attrBodies);
}

}  // namespace
