// The detour component on hand-assembled functions: relocation of each kind
// of position-relative entry, refusals, transaction rules, threads caught in
// the patched bytes, and a caller running while the hook comes and goes.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>

#include "intercept/detour.h"
#include "tests/intercept/test_code.h"

namespace {

using Fn = int(__fastcall*)(int);
using testcode::CodePage;
using testcode::Put32;

Fn g_slot = nullptr;
volatile LONG g_calls = 0;

int __fastcall Detour(int x) {
    InterlockedIncrement(&g_calls);
    return g_slot(x);
}

void SetRel32(uint8_t* insn, size_t length, const void* target) {
    Put32(insn + length - 4, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(target) -
                                                   reinterpret_cast<uintptr_t>(insn + length)));
}

LONG Attach(Fn fn) {
    g_slot = fn;
    EXPECT_EQ(NO_ERROR, DetourTransactionBegin());
    EXPECT_EQ(NO_ERROR, DetourUpdateThread(GetCurrentThread()));
    const LONG a = DetourAttach(reinterpret_cast<PVOID*>(&g_slot), reinterpret_cast<PVOID>(&Detour));
    const LONG c = DetourTransactionCommit();
    EXPECT_EQ(a, c);
    return c;
}

LONG Detach() {
    EXPECT_EQ(NO_ERROR, DetourTransactionBegin());
    const LONG a = DetourDetach(reinterpret_cast<PVOID*>(&g_slot), reinterpret_cast<PVOID>(&Detour));
    const LONG c = DetourTransactionCommit();
    EXPECT_EQ(a, c);
    return c;
}

// Attaches, checks that every input runs through the detour with the result
// of the original, detaches, checks the original is back untouched.
void ExpectHookedRunsLikeOriginal(Fn fn, std::initializer_list<int> inputs) {
    uint8_t before[16];
    memcpy(before, reinterpret_cast<void*>(fn), sizeof before);
    std::vector<int> expected;
    for (int x : inputs) expected.push_back(fn(x));
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(NO_ERROR, Attach(fn));
        EXPECT_NE(reinterpret_cast<void*>(fn), reinterpret_cast<void*>(g_slot));
        EXPECT_TRUE(detour::DescribeHook(reinterpret_cast<void*>(fn)).hooked);
        const LONG calls = g_calls;
        size_t i = 0;
        for (int x : inputs) EXPECT_EQ(expected[i++], fn(x)) << "input " << x;
        EXPECT_EQ(calls + static_cast<LONG>(inputs.size()), g_calls);
        // The trampoline alone runs the original.
        i = 0;
        for (int x : inputs) EXPECT_EQ(expected[i++], g_slot(x));
        ASSERT_EQ(NO_ERROR, Detach());
        EXPECT_EQ(reinterpret_cast<void*>(fn), reinterpret_cast<void*>(g_slot));
        EXPECT_EQ(0, memcmp(before, reinterpret_cast<void*>(fn), sizeof before));
        const LONG after = g_calls;
        for (int x : inputs) fn(x);
        EXPECT_EQ(after, g_calls);
    }
}

DWORD WINAPI BeginElsewhere(LPVOID p) {
    *static_cast<LONG*>(p) = DetourTransactionBegin();
    return 0;
}

DWORD WINAPI IdleThread(LPVOID) { return 0; }

class DetourEngine : public ::testing::Test {
protected:
    CodePage page;
};

TEST_F(DetourEngine, ShortConditionalJumpInTheFirstBytes) {
    // test ecx,ecx; jz +6; mov eax,1; ret; mov eax,2; ret
    auto f = reinterpret_cast<Fn>(page.Place(
        {0x85, 0xC9, 0x74, 0x06, 0xB8, 0x01, 0, 0, 0, 0xC3, 0xB8, 0x02, 0, 0, 0, 0xC3}));
    ExpectHookedRunsLikeOriginal(f, {0, 5, -1});
    EXPECT_EQ(2, f(0));
    EXPECT_EQ(1, f(5));
}

TEST_F(DetourEngine, CallRel32AtTheEntry) {
    uint8_t* helper = page.Place({0xB8, 0x07, 0, 0, 0, 0xC3});  // mov eax,7; ret
    uint8_t* f = page.Place({0xE8, 0, 0, 0, 0, 0x01, 0xC8, 0xC3});  // call helper; add eax,ecx; ret
    SetRel32(f, 5, helper);
    ExpectHookedRunsLikeOriginal(reinterpret_cast<Fn>(f), {0, 10, 100});
    EXPECT_EQ(17, reinterpret_cast<Fn>(f)(10));
}

TEST_F(DetourEngine, JumpRel32AtTheEntry) {
    uint8_t* body = page.Place({0x8D, 0x41, 0x03, 0xC3});  // lea eax,[ecx+3]; ret
    uint8_t* f = page.Place({0xE9, 0, 0, 0, 0, 0xCC, 0xCC});
    SetRel32(f, 5, body);
    ExpectHookedRunsLikeOriginal(reinterpret_cast<Fn>(f), {1, 2});
    EXPECT_EQ(4, reinterpret_cast<Fn>(f)(1));
}

TEST_F(DetourEngine, ImportStubJumpThroughPointer) {
    static void* target = nullptr;
    target = page.Place({0x8D, 0x41, 0x05, 0xC3});  // lea eax,[ecx+5]; ret
    uint8_t* f = page.Place({0xFF, 0x25, 0, 0, 0, 0, 0x90, 0x90});
    Put32(f + 2, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&target)));
    ExpectHookedRunsLikeOriginal(reinterpret_cast<Fn>(f), {1, 2});
    EXPECT_EQ(6, reinterpret_cast<Fn>(f)(1));
}

TEST_F(DetourEngine, CallToNextInstructionStillReadsTheOriginalAddress) {
    // call $+5; pop eax; sub eax,<own address+5>; add eax,ecx; ret  ->  x
    uint8_t* f = page.Place({0xE8, 0, 0, 0, 0, 0x58, 0x2D, 0, 0, 0, 0, 0x01, 0xC8, 0xC3});
    Put32(f + 7, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(f + 5)));
    ExpectHookedRunsLikeOriginal(reinterpret_cast<Fn>(f), {3, 9});
    EXPECT_EQ(9, reinterpret_cast<Fn>(f)(9));
}

TEST_F(DetourEngine, HotPatchPrologueIsPatchedInPlace) {
    // mov edi,edi; push ebp; mov ebp,esp; lea eax,[ecx+9]; pop ebp; ret
    auto f = reinterpret_cast<Fn>(
        page.Place({0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x8D, 0x41, 0x09, 0x5D, 0xC3}, 0x90));
    ASSERT_EQ(NO_ERROR, Attach(f));
    const detour::HookState s = detour::DescribeHook(reinterpret_cast<void*>(f));
    EXPECT_TRUE(s.hotPatch);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(f) + 2, s.trampoline);
    EXPECT_EQ(0xEB, reinterpret_cast<uint8_t*>(f)[0]);
    EXPECT_EQ(0xF9, reinterpret_cast<uint8_t*>(f)[1]);
    ASSERT_EQ(NO_ERROR, Detach());
    ExpectHookedRunsLikeOriginal(f, {0, 1});
    EXPECT_EQ(10, f(1));
}

TEST_F(DetourEngine, StackRealigningPrologue) {
    // lea ecx,[esp+4]; and esp,-16; push [ecx-4]; push ebp; mov ebp,esp; push ecx;
    // mov eax,[ecx]; ... here simply: lea eax,[ecx+0]-free body using the caller's ecx is
    // gone, so compute from the stack-passed arg of a cdecl function instead.
    using Cdecl = int(__cdecl*)(int);
    uint8_t* f = page.Place({0x8D, 0x4C, 0x24, 0x04, 0x83, 0xE4, 0xF0, 0xFF, 0x71, 0xFC, 0x55,
                             0x89, 0xE5, 0x51, 0x8B, 0x01, 0x83, 0xC0, 0x0B, 0x59, 0x5D, 0x8D,
                             0x61, 0xFC, 0xC3});
    static Cdecl slot = nullptr;
    static volatile LONG calls = 0;
    struct D {
        static int __cdecl Run(int x) {
            InterlockedIncrement(&calls);
            return slot(x);
        }
    };
    slot = reinterpret_cast<Cdecl>(f);
    EXPECT_EQ(15, slot(4));
    ASSERT_EQ(NO_ERROR, DetourTransactionBegin());
    ASSERT_EQ(NO_ERROR, DetourAttach(reinterpret_cast<PVOID*>(&slot), reinterpret_cast<PVOID>(&D::Run)));
    ASSERT_EQ(NO_ERROR, DetourTransactionCommit());
    EXPECT_EQ(7, detour::DescribeHook(f).patchLength);
    EXPECT_EQ(15, reinterpret_cast<Cdecl>(f)(4));
    EXPECT_EQ(1, calls);
    ASSERT_EQ(NO_ERROR, DetourTransactionBegin());
    ASSERT_EQ(NO_ERROR, DetourDetach(reinterpret_cast<PVOID*>(&slot), reinterpret_cast<PVOID>(&D::Run)));
    ASSERT_EQ(NO_ERROR, DetourTransactionCommit());
    EXPECT_EQ(reinterpret_cast<Cdecl>(f), slot);
}

TEST_F(DetourEngine, RefusesFunctionsThatCannotBeMoved) {
    struct Case {
        std::initializer_list<uint8_t> bytes;
        LONG error;
    };
    const Case cases[] = {
        {{0xC3}, ERROR_INVALID_BLOCK},                                   // ret
        {{0x33, 0xC0, 0xC3}, ERROR_INVALID_BLOCK},                       // xor eax,eax; ret
        {{0x40, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC}, ERROR_INVALID_BLOCK},     // int3 padding
        {{0xE3, 0x03, 0x90, 0x90, 0x90, 0xC3}, ERROR_NOT_SUPPORTED},     // jecxz
        {{0x31, 0xC0, 0x40, 0x83, 0xF8, 0x05, 0x75, 0xFA, 0xC3}, ERROR_INVALID_ADDRESS},  // loop into patch
        {{0xC4, 0xE2, 0x79, 0x18, 0xC0, 0xC3}, ERROR_INVALID_DATA},      // VEX
    };
    for (const Case& c : cases) {
        uint8_t* f = page.Place(c.bytes, 0xC3);
        uint8_t before[8];
        memcpy(before, f, sizeof before);
        g_slot = reinterpret_cast<Fn>(f);
        ASSERT_EQ(NO_ERROR, DetourTransactionBegin());
        EXPECT_EQ(c.error, DetourAttach(reinterpret_cast<PVOID*>(&g_slot), reinterpret_cast<PVOID>(&Detour)));
        EXPECT_EQ(c.error, DetourTransactionCommit());
        EXPECT_EQ(reinterpret_cast<Fn>(f), g_slot);
        EXPECT_EQ(0, memcmp(before, f, sizeof before));
        EXPECT_FALSE(detour::DescribeHook(f).hooked);
    }
}

TEST_F(DetourEngine, OneTransactionPerProcess) {
    g_slot = reinterpret_cast<Fn>(page.Place({0x55, 0x89, 0xE5, 0x8D, 0x41, 0x07, 0x5D, 0xC3}));
    EXPECT_EQ(ERROR_INVALID_OPERATION,
              DetourAttach(reinterpret_cast<PVOID*>(&g_slot), reinterpret_cast<PVOID>(&Detour)));
    EXPECT_EQ(ERROR_INVALID_OPERATION, DetourTransactionCommit());
    ASSERT_EQ(NO_ERROR, DetourTransactionBegin());
    EXPECT_EQ(ERROR_INVALID_OPERATION, DetourTransactionBegin());
    LONG other = -1;
    HANDLE t = CreateThread(nullptr, 0, BeginElsewhere, &other, 0, nullptr);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EXPECT_EQ(ERROR_INVALID_OPERATION, other);
    EXPECT_EQ(ERROR_INVALID_HANDLE, DetourAttach(reinterpret_cast<PVOID*>(&(g_slot = nullptr)),
                                                 reinterpret_cast<PVOID>(&Detour)));
    EXPECT_EQ(ERROR_INVALID_HANDLE, DetourTransactionCommit());
    // Closed by the failed commit: a new one opens.
    ASSERT_EQ(NO_ERROR, DetourTransactionBegin());
    EXPECT_EQ(NO_ERROR, DetourTransactionAbort());
}

// Threads stopped inside the bytes being overwritten continue in the
// trampoline, and come back out of it at detach.
TEST_F(DetourEngine, ThreadsInsideThePatchAreMoved) {
    // Five one-byte nops, then jmp $ (the thread ends up spinning there).
    uint8_t* f = page.Place({0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0xEB, 0xFE}, 0xC3);
    HANDLE t = CreateThread(nullptr, 0, IdleThread, nullptr,
                            CREATE_SUSPENDED, nullptr);
    CONTEXT c{};
    c.ContextFlags = CONTEXT_FULL;
    ASSERT_TRUE(GetThreadContext(t, &c));
    c.Eip = static_cast<DWORD>(reinterpret_cast<uintptr_t>(f + 3));
    ASSERT_TRUE(SetThreadContext(t, &c));

    ASSERT_EQ(NO_ERROR, Attach(reinterpret_cast<Fn>(f)));
    const auto* tramp = static_cast<const uint8_t*>(detour::DescribeHook(f).trampoline);
    c.ContextFlags = CONTEXT_CONTROL;
    ASSERT_TRUE(GetThreadContext(t, &c));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(tramp + 3), c.Eip);

    // Detach while it is inside the trampoline: back to the original place.
    ASSERT_EQ(NO_ERROR, Detach());
    ASSERT_TRUE(GetThreadContext(t, &c));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(f + 3), c.Eip);

    // Running from there reaches the spin loop of the original.
    ResumeThread(t);
    for (int i = 0; i < 2000; ++i) {
        Sleep(5);
        SuspendThread(t);
        GetThreadContext(t, &c);
        ResumeThread(t);
        if (c.Eip == reinterpret_cast<uintptr_t>(f + 6)) break;
    }
    EXPECT_EQ(reinterpret_cast<uintptr_t>(f + 6), c.Eip);
    TerminateThread(t, 0);
    CloseHandle(t);
}

struct Spinner {
    Fn fn = nullptr;
    int offset = 0;
    std::atomic<bool> stop{false};
    std::atomic<long long> calls{0};
    std::atomic<long long> wrong{0};
};

DWORD WINAPI SpinCalls(LPVOID p) {
    auto* s = static_cast<Spinner*>(p);
    for (int i = 0; !s->stop.load(std::memory_order_relaxed); ++i) {
        if (s->fn(i) != i + s->offset) s->wrong++;
        s->calls++;
    }
    return 0;
}

void AttachDetachUnderLoad(Fn fn, int offset, bool hotPatch) {
    Spinner s;
    s.fn = fn;
    s.offset = offset;
    HANDLE t = CreateThread(nullptr, 0, SpinCalls, &s, 0, nullptr);
    while (s.calls < 1000) Sleep(0);
    const size_t freezes = detour::FreezeCount();
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(NO_ERROR, Attach(fn)) << "round " << i;
        if (i == 0) ASSERT_EQ(hotPatch, detour::DescribeHook(reinterpret_cast<void*>(fn)).hotPatch);
        ASSERT_EQ(NO_ERROR, Detach()) << "round " << i;
    }
    const long long seen = s.calls;
    while (s.calls < seen + 1000) Sleep(0);
    s.stop = true;
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EXPECT_EQ(0, s.wrong.load());
    EXPECT_GT(s.calls.load(), 2000);
    // Jump form: every write stops the threads. Hot patch with the same
    // detour every time: the jump above the entry is written once, while
    // nothing can run it, and the entry store needs no stop.
    EXPECT_EQ(freezes + (hotPatch ? 0 : 2000), detour::FreezeCount());
}

TEST_F(DetourEngine, CallerKeepsRunningWhileHookComesAndGoesJumpForm) {
    // push ebp; mov ebp,esp; lea eax,[ecx+7]; pop ebp; ret: threads stop at 1 and 3 too.
    auto f = reinterpret_cast<Fn>(page.Place({0x55, 0x89, 0xE5, 0x8D, 0x41, 0x07, 0x5D, 0xC3}, 0xC3));
    AttachDetachUnderLoad(f, 7, false);
}

TEST_F(DetourEngine, CallerKeepsRunningWhileHookComesAndGoesHotPatch) {
    auto f = reinterpret_cast<Fn>(
        page.Place({0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x8D, 0x41, 0x09, 0x5D, 0xC3}, 0xCC));
    AttachDetachUnderLoad(f, 9, true);
}

struct LstrlenSpin {
    std::atomic<bool>* stop;
    std::atomic<long>* wrong;
    std::atomic<long>* calls;
};

DWORD WINAPI SpinLstrlen(LPVOID p) {
    auto* c = static_cast<LstrlenSpin*>(p);
    while (!c->stop->load()) {
        if (lstrlenA("gatrel") != 6) (*c->wrong)++;
        (*c->calls)++;
    }
    return 0;
}

int(WINAPI* g_lstrlen)(LPCSTR) = nullptr;
volatile LONG g_lstrlenCalls = 0;
int WINAPI DetourLstrlen(LPCSTR s) {
    InterlockedIncrement(&g_lstrlenCalls);
    return g_lstrlen(s);
}

TEST_F(DetourEngine, RealSystemFunctionUnderLoad) {
    g_lstrlen = &lstrlenA;
    auto* target = reinterpret_cast<void*>(g_lstrlen);
    std::atomic<bool> stop{false};
    std::atomic<long> wrong{0}, calls{0};
    LstrlenSpin ctx{&stop, &wrong, &calls};
    HANDLE t = CreateThread(nullptr, 0, SpinLstrlen, &ctx, 0, nullptr);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(NO_ERROR, DetourTransactionBegin());
        ASSERT_EQ(NO_ERROR, DetourAttach(reinterpret_cast<PVOID*>(&g_lstrlen), reinterpret_cast<PVOID>(&DetourLstrlen)));
        ASSERT_EQ(NO_ERROR, DetourTransactionCommit());
        // On a busy machine the spinner may not get a time slice during the
        // whole loop; every hundredth round keeps the hook in place until the
        // spinner has been through it, so the detour is known to run while
        // the other thread is between calls.
        if (i % 100 == 0) {
            const LONG before = g_lstrlenCalls;
            for (DWORD start = GetTickCount(); g_lstrlenCalls == before && GetTickCount() - start < 5000;) Sleep(1);
        }
        ASSERT_EQ(NO_ERROR, DetourTransactionBegin());
        ASSERT_EQ(NO_ERROR, DetourDetach(reinterpret_cast<PVOID*>(&g_lstrlen), reinterpret_cast<PVOID>(&DetourLstrlen)));
        ASSERT_EQ(NO_ERROR, DetourTransactionCommit());
    }
    stop = true;
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EXPECT_EQ(target, reinterpret_cast<void*>(g_lstrlen));
    EXPECT_EQ(0, wrong.load());
    EXPECT_GT(calls.load(), 0);
    EXPECT_GE(g_lstrlenCalls, 10);
}

TEST_F(DetourEngine, BatchWritesOnceForAllCommits) {
    static Fn slots[3];
    static volatile LONG counts[3];
    uint8_t* fns[3] = {
        page.Place({0x55, 0x89, 0xE5, 0x8D, 0x41, 0x01, 0x5D, 0xC3}, 0xC3),
        page.Place({0x55, 0x89, 0xE5, 0x8D, 0x41, 0x02, 0x5D, 0xC3}, 0xC3),
        page.Place({0x55, 0x89, 0xE5, 0x8D, 0x41, 0x03, 0x5D, 0xC3}, 0xC3),
    };
    uint8_t* thunks[3];
    for (int i = 0; i < 3; ++i) {
        slots[i] = reinterpret_cast<Fn>(fns[i]);
        thunks[i] = testcode::CountingThunk(page, &counts[i], reinterpret_cast<PVOID*>(&slots[i]));
    }
    const size_t freezes = detour::FreezeCount();
    ASSERT_TRUE(detour::BeginBatch());
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(NO_ERROR, DetourTransactionBegin());
        ASSERT_EQ(NO_ERROR, DetourAttach(reinterpret_cast<PVOID*>(&slots[i]), thunks[i]));
        ASSERT_EQ(NO_ERROR, DetourTransactionCommit());
        // Prepared, not yet written.
        EXPECT_EQ(0x55, fns[i][0]);
    }
    // Another thread cannot begin while the batch is open.
    LONG other = -1;
    HANDLE t = CreateThread(nullptr, 0, BeginElsewhere, &other, 0, nullptr);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EXPECT_EQ(ERROR_INVALID_OPERATION, other);
    detour::EndBatch();
    EXPECT_EQ(freezes + 1, detour::FreezeCount());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(10 + i + 1, reinterpret_cast<Fn>(fns[i])(10));
        EXPECT_EQ(1, counts[i]);
    }
    ASSERT_TRUE(detour::BeginBatch());
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(NO_ERROR, DetourTransactionBegin());
        ASSERT_EQ(NO_ERROR, DetourDetach(reinterpret_cast<PVOID*>(&slots[i]), thunks[i]));
        ASSERT_EQ(NO_ERROR, DetourTransactionCommit());
    }
    detour::EndBatch();
    EXPECT_EQ(freezes + 2, detour::FreezeCount());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(reinterpret_cast<Fn>(fns[i]), slots[i]);
        EXPECT_EQ(0x55, fns[i][0]);
    }
}

TEST_F(DetourEngine, TrampolinesStayOutOfTheSystemRange) {
    auto f = reinterpret_cast<Fn>(page.Place({0x55, 0x89, 0xE5, 0x8D, 0x41, 0x07, 0x5D, 0xC3}, 0xC3));
    ASSERT_EQ(NO_ERROR, Attach(f));
    const auto tramp = reinterpret_cast<uintptr_t>(detour::DescribeHook(reinterpret_cast<void*>(f)).trampoline);
    EXPECT_TRUE(tramp < 0x70000000 || tramp >= 0x80000000) << std::hex << tramp;
    MEMORY_BASIC_INFORMATION mbi{};
    VirtualQuery(reinterpret_cast<void*>(tramp), &mbi, sizeof mbi);
    EXPECT_EQ(static_cast<DWORD>(PAGE_EXECUTE_READ), mbi.Protect);
    ASSERT_EQ(NO_ERROR, Detach());
}

}  // namespace
