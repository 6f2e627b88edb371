// Costs of the interception engine, printed as figures and ratios:
//  - a pass-through replacement against the direct call (a trivial function
//    and real Win32 functions), and the window control's replacements;
//  - one attach and one detach (jump form and hot-patch form, with and
//    without other threads to stop);
//  - installing and removing every hook table, batched (one stop) against
//    one stop per hook;
//  - loading a library that installs all tables against a trivial library,
//    in a process with 8 other threads.
//   argv[1] a section's name ("pass-through", "automation", "window",
//   "attach", "tables", "screen", "load"): that section alone
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/bench_util.h"
#include "bench/intercept/automation_detour_costs.h"
#include "bench/intercept/window_detour_costs.h"
#include "host/process_context.h"
#include "identify/common_doc.h"
#include "intercept/api_resolver.h"
#include "intercept/detour.h"
#include "intercept/module_file_cache.h"
#include "intercept/hook_function.h"
#include "intercept/hook_slots.h"
#include "intercept/hook_tables.h"
#include "intercept/replacement_guard.h"
#include "store/hook_records.h"
#include "support/thread_marks.h"

namespace {

using Fn = int(__fastcall*)(int);

BYTE* g_page = static_cast<BYTE*>(
    VirtualAlloc(nullptr, 65536, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE));
size_t g_used = 0;

BYTE* Place(std::initializer_list<BYTE> bytes, BYTE pad) {
    BYTE* at = g_page + g_used + 16;
    memset(g_page + g_used, pad, 16);
    memcpy(at, bytes.begin(), bytes.size());
    g_used += 64;
    return at;
}

Fn g_trivialSlot = nullptr;
int __fastcall TrivialDetour(int x) {
    return RunReplacement(
        HookId::kOpenProcess, g_trivialSlot,
        [&](contained::Frame& run) { return intercept::CallReal(run, g_trivialSlot, x); }, [] { return 0; }, x);
}
// The same, with the real call looking its frame up on the exception chain
// (the form for code that is not a replacement's body).
Fn g_lookupSlot = nullptr;
int __fastcall LookupDetour(int x) {
    return RunReplacement(HookId::kOpenProcess, g_lookupSlot,
                          [&] { return intercept::CallReal(g_lookupSlot, x); }, [] { return 0; }, x);
}

// The floor: a detour that only calls on, without the replacement's shape.
Fn g_bareSlot = nullptr;
int __fastcall BareDetour(int x) { return g_bareSlot(x); }

// The shape's parts one by one, to show where its time goes: the re-entry
// mark alone; the mark and the contained frame; all of it is TrivialDetour
// (the frame flagged as the application's around the real call besides).
Fn g_markSlot = nullptr;
int __fastcall MarkOnlyDetour(int x) {
    const int row = static_cast<int>(HookId::kOpenProcess);
    if (!intercept::detail::g_attached || marks::Enter(row) != marks::Entry::kOwn) return g_markSlot(x);
    const int r = g_markSlot(x);
    marks::Leave(row);
    return r;
}
Fn g_frameSlot = nullptr;
int __fastcall MarkAndFrameDetour(int x) {
    return RunReplacement(HookId::kOpenProcess, g_frameSlot, [&] { return g_frameSlot(x); }, [] { return 0; },
                          x);
}

int(WINAPI* g_lstrlenSlot)(LPCSTR) = nullptr;
int WINAPI LstrlenDetour(LPCSTR s) {
    return RunReplacement(
        HookId::kLoadLibraryA, g_lstrlenSlot,
        [&](contained::Frame& run) { return intercept::CallReal(run, g_lstrlenSlot, s); }, [] { return 0; }, s);
}

BOOL WINAPI CursorDetour(LPPOINT p) {
    return RunReplacement(
        HookId::kGetCursorPos, Trampoline_GetCursorPos,
        [&](contained::Frame& run) { return intercept::CallReal(run, Trampoline_GetCursorPos, p); },
        [] { return FALSE; }, p);
}

template <class T>
LONG Attach(T* slot, void* detour) {
    DetourTransactionBegin();
    DetourAttach(reinterpret_cast<PVOID*>(slot), detour);
    return DetourTransactionCommit();
}
template <class T>
LONG Detach(T* slot, void* detour) {
    DetourTransactionBegin();
    DetourDetach(reinterpret_cast<PVOID*>(slot), detour);
    return DetourTransactionCommit();
}

// Threads that wait all the time, like the idle threads of an application.
class IdleThreads {
public:
    explicit IdleThreads(int n) : stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        for (int i = 0; i < n; ++i) threads_.push_back(CreateThread(nullptr, 0, Wait, stop_, 0, nullptr));
        Sleep(20);
    }
    ~IdleThreads() {
        SetEvent(stop_);
        WaitForMultipleObjects(static_cast<DWORD>(threads_.size()), threads_.data(), TRUE, INFINITE);
        for (HANDLE t : threads_) CloseHandle(t);
        CloseHandle(stop_);
    }

private:
    static DWORD WINAPI Wait(LPVOID e) { return WaitForSingleObject(e, INFINITE); }
    HANDLE stop_;
    std::vector<HANDLE> threads_;
};

void PassThroughCosts() {
    printf("Pass-through replacement against the direct call (ns per call, ratio):\n");
    intercept::SetLibraryAttached(true);
    // One copy of the trivial function per variant, all hooked at once and
    // measured in turns: the machine's noise then falls on every variant alike.
    Fn copies[6];
    for (Fn& c : copies) c = reinterpret_cast<Fn>(Place({0x55, 0x89, 0xE5, 0x8D, 0x41, 0x01, 0x5D, 0xC3}, 0xC3));
    g_bareSlot = copies[1];
    g_markSlot = copies[2];
    g_frameSlot = copies[3];
    g_trivialSlot = copies[4];
    g_lookupSlot = copies[5];
    Attach(&g_bareSlot, reinterpret_cast<void*>(&BareDetour));
    Attach(&g_markSlot, reinterpret_cast<void*>(&MarkOnlyDetour));
    Attach(&g_frameSlot, reinterpret_cast<void*>(&MarkAndFrameDetour));
    Attach(&g_trivialSlot, reinterpret_cast<void*>(&TrivialDetour));
    Attach(&g_lookupSlot, reinterpret_cast<void*>(&LookupDetour));
    volatile int sink = 0;
    double best[6] = {1e300, 1e300, 1e300, 1e300, 1e300, 1e300};
    for (int round = 0; round < 40; ++round)
        for (int v = 0; v < 6; ++v) {
            const Fn f = copies[v];
            best[v] = std::min(best[v], bench::NsPerCall([&] { sink = sink + f(sink); }, 50000, 1));
        }
    Detach(&g_bareSlot, reinterpret_cast<void*>(&BareDetour));
    Detach(&g_markSlot, reinterpret_cast<void*>(&MarkOnlyDetour));
    Detach(&g_frameSlot, reinterpret_cast<void*>(&MarkAndFrameDetour));
    Detach(&g_trivialSlot, reinterpret_cast<void*>(&TrivialDetour));
    Detach(&g_lookupSlot, reinterpret_cast<void*>(&LookupDetour));
    const double direct = best[0], bare = best[1], markOnly = best[2], markFrame = best[3], hooked = best[4],
                 lookedUp = best[5];
    bench::Row("trivial function, direct", direct, direct);
    bench::Row("trivial function, through a bare detour (patch, trampoline)", bare, direct);
    bench::Row("trivial function, bare detour + re-entry mark", markOnly, direct);
    bench::Row("trivial function, + contained frame", markFrame, direct);
    bench::Row("trivial function, through a pass-through replacement", hooked, direct);
    bench::Row("trivial function, the same, its frame looked up on the chain", lookedUp, direct);
    printf("  added per call: %.1f ns; where it goes: detour and trampoline %.1f ns, re-entry mark %.1f ns,\n"
           "  contained frame (exception registration, the way back kept) %.1f ns,\n"
           "  the real call handed to the application %.1f ns (%+.1f ns more where the frame is looked up)\n",
           hooked - direct, bare - direct, markOnly - bare, markFrame - markOnly, hooked - markFrame,
           lookedUp - hooked);

    const char* text = "a protected document";
    const double lenDirect = bench::NsPerCall([&] { sink = sink + lstrlenA(text); }, 1000000);
    g_lstrlenSlot = &lstrlenA;
    Attach(&g_lstrlenSlot, reinterpret_cast<void*>(&LstrlenDetour));
    const double lenHooked = bench::NsPerCall([&] { sink = sink + lstrlenA(text); }, 1000000);
    Detach(&g_lstrlenSlot, reinterpret_cast<void*>(&LstrlenDetour));
    bench::Row("lstrlenA, direct", lenDirect, lenDirect);
    bench::Row("lstrlenA, through a pass-through replacement", lenHooked, lenDirect);

    POINT p;
    const double curDirect = bench::NsPerCall([&] { GetCursorPos(&p); }, 20000);
    HookFuntion("user32.dll", "GetCursorPos", reinterpret_cast<PVOID*>(&Trampoline_GetCursorPos),
                reinterpret_cast<PVOID>(&CursorDetour));
    const double curHooked = bench::NsPerCall([&] { GetCursorPos(&p); }, 20000);
    UnHookFuntion("GetCursorPos", reinterpret_cast<PVOID*>(&Trampoline_GetCursorPos),
                  reinterpret_cast<PVOID>(&CursorDetour));
    bench::Row("GetCursorPos, direct", curDirect, curDirect);
    bench::Row("GetCursorPos, through a pass-through replacement", curHooked, curDirect);
}

void AttachDetachCosts() {
    printf("One attach and one detach (ns each; ratio to one protect-write-protect-flush):\n");
    BYTE* scratch = Place({0x90, 0x90, 0x90, 0x90, 0x90, 0xC3}, 0xC3);
    const double write = bench::NsPerCall([&] {
        DWORD old = 0;
        VirtualProtect(scratch, 5, PAGE_EXECUTE_READWRITE, &old);
        scratch[0] = 0x90;
        VirtualProtect(scratch, 5, old, &old);
        FlushInstructionCache(GetCurrentProcess(), scratch, 5);
    }, 2000);
    bench::Row("protect-write-protect-flush", write, write);
    auto jump = reinterpret_cast<Fn>(Place({0x55, 0x89, 0xE5, 0x8D, 0x41, 0x01, 0x5D, 0xC3}, 0xC3));
    auto hot = reinterpret_cast<Fn>(Place({0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x8D, 0x41, 0x01, 0x5D, 0xC3}, 0xCC));
    for (int others : {0, 8}) {
        IdleThreads idle(others);
        for (auto [name, fn] : {std::pair<const char*, Fn>{"jump form", jump}, {"hot-patch form", hot}}) {
            g_trivialSlot = fn;
            double attach = 0, detach = 0;
            const int n = 200;
            for (int i = 0; i < n; ++i) {
                const double t0 = bench::NowNs();
                Attach(&g_trivialSlot, reinterpret_cast<void*>(&TrivialDetour));
                const double t1 = bench::NowNs();
                Detach(&g_trivialSlot, reinterpret_cast<void*>(&TrivialDetour));
                attach += t1 - t0;
                detach += bench::NowNs() - t1;
            }
            char label[96];
            snprintf(label, sizeof label, "attach, %s, %d other threads", name, others);
            bench::Row(label, attach / n, write);
            snprintf(label, sizeof label, "detach, %s, %d other threads", name, others);
            bench::Row(label, detach / n, write);
        }
    }
}

volatile LONG g_counts[kHookCount];

void AllTablesCosts() {
    printf("Installing and removing all tables with pass-through replacements (word processor, 8 other threads):\n");
    BYTE* thunks = static_cast<BYTE*>(VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE));
    for (size_t i = 0; i < kHookCount; ++i) {
        BYTE* t = thunks + 16 * i;
        const BYTE code[] = {0xF0, 0xFF, 0x05, 0, 0, 0, 0, 0xFF, 0x25, 0, 0, 0, 0};
        memcpy(t, code, sizeof code);
        const DWORD c = static_cast<DWORD>(reinterpret_cast<uintptr_t>(&g_counts[i]));
        const DWORD s = static_cast<DWORD>(reinterpret_cast<uintptr_t>(CatalogRow(i).ppSlot));
        memcpy(t + 3, &c, 4);
        memcpy(t + 9, &s, 4);
        CatalogRow(i).pDetour = t;
    }
    const HookFacts word{true, kDocWord, -1};
    IdleThreads idle(8);
    size_t rows = 0;
    for (size_t i = 0; i < kHookCount; ++i) rows += ConditionHolds(CatalogRow(i).condition, word);
    const int n = 10;
    double install = 0, remove = 0;
    for (int i = 0; i < n; ++i) {
        const double t0 = bench::NowNs();
        HookAllApi(word);
        const double t1 = bench::NowNs();
        UnHookAllApi(word);
        install += t1 - t0;
        remove += bench::NowNs() - t1;
    }
    // The same rows, each hook in its own stop of the threads.
    double oneByOne = 0;
    for (int i = 0; i < n; ++i) {
        const double t0 = bench::NowNs();
        HookAccelCursorApi(word); HookMenuApi(word); HookFileApi(word); HookPrintApi(word);
        HookScreenApi(word); HookOleApi(word); HookClipboardApi(word);
        oneByOne += bench::NowNs() - t0;
        UnHookAllApi(word);
    }
    // Resolution alone: each file mapped per look-up, or once per module.
    const double resolveEach = bench::NsPerCall([&] {
        for (size_t i = 0; i < kHookCount; ++i)
            if (ConditionHolds(CatalogRow(i).condition, word)) GetApiSrcAddr(CatalogRow(i).strDllName, CatalogRow(i).strApiName);
    }, 3, 3);
    const double resolveKept = bench::NsPerCall([&] {
        KeptModuleFiles kept;
        for (size_t i = 0; i < kHookCount; ++i)
            if (ConditionHolds(CatalogRow(i).condition, word)) GetApiSrcAddr(CatalogRow(i).strDllName, CatalogRow(i).strApiName);
    }, 3, 3);
    printf("  rows installed: %zu\n", rows);
    bench::Row("resolving the rows, each file mapped per look-up", resolveEach, install / n);
    bench::Row("resolving the rows, each file mapped once", resolveKept, install / n);
    bench::Row("HookAllApi (one stop)", install / n, install / n);
    bench::Row("UnHookAllApi (one stop)", remove / n, install / n);
    bench::Row("the seven tables one hook at a time (a stop per hook)", oneByOne / n, install / n);
    for (size_t i = 0; i < kHookCount; ++i) CatalogRow(i).pDetour = nullptr;
}

// A window of this program's own, for copies out of a window.
HWND BenchWindow() {
    static HWND wnd = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"GatrelInterceptBench";
        RegisterClassW(&wc);
        return CreateWindowW(L"GatrelInterceptBench", L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 150,
                             nullptr, nullptr, wc.hInstance, nullptr);
    }();
    return wnd;
}

// The screen guard's replacements in an ordinary program (no document
// object): copies between memory contexts (what painting does all the time)
// and out of the program's own window, with nothing protected on the desktop
// and with a protected document window registered (the copy out of the window
// is then refused and logged).
void ScreenCopyCosts() {
    printf("Screen copies through the screen guard's replacements, ordinary program (ns per call, ratio):\n");
    intercept::SetLibraryAttached(true);
    HDC screen = GetDC(nullptr);
    HDC src = CreateCompatibleDC(screen), dst = CreateCompatibleDC(screen);
    HBITMAP b1 = CreateCompatibleBitmap(screen, 64, 48), b2 = CreateCompatibleBitmap(screen, 64, 48);
    SelectObject(src, b1);
    SelectObject(dst, b2);
    HDC own = GetDC(BenchWindow());
    volatile COLORREF sink = 0;
    auto memory = [&] { BitBlt(dst, 0, 0, 64, 48, src, 0, 0, SRCCOPY); };
    auto window = [&] { BitBlt(dst, 0, 0, 64, 48, own, 0, 0, SRCCOPY); };
    auto pixel = [&] { sink = sink + GetPixel(src, 3, 3); };
    const double memDirect = bench::NsPerCall(memory, 2000);
    const double winDirect = bench::NsPerCall(window, 2000);
    const double pixDirect = bench::NsPerCall(pixel, 20000);
    HookFuntion("gdi32.dll", "BitBlt", reinterpret_cast<PVOID*>(&Trampoline_BitBlt), reinterpret_cast<PVOID>(&Detour_BitBlt));
    HookFuntion("gdi32.dll", "GetPixel", reinterpret_cast<PVOID*>(&Trampoline_GetPixel),
                reinterpret_cast<PVOID>(&Detour_GetPixel));
    const double memNone = bench::NsPerCall(memory, 2000);
    const double winNone = bench::NsPerCall(window, 2000);
    const double pixNone = bench::NsPerCall(pixel, 20000);
    _ZEL_HOOK_INFO_ rec{};
    rec.dwProcessId = 0x7B000001;
    rec.dwOwnerPid = 0x7B000001;
    rec.hDocWnd = 0x10010;
    strcpy(rec.szPermission, "P");
    store::AddHookInfo(&rec);
    const double memProtected = bench::NsPerCall(memory, 2000);
    const double winProtected = bench::NsPerCall(window, 200, 3);
    const double pixProtected = bench::NsPerCall(pixel, 20000);
    store::DelHookInfo(rec.dwOwnerPid);
    UnHookFuntion("BitBlt", reinterpret_cast<PVOID*>(&Trampoline_BitBlt), reinterpret_cast<PVOID>(&Detour_BitBlt));
    UnHookFuntion("GetPixel", reinterpret_cast<PVOID*>(&Trampoline_GetPixel), reinterpret_cast<PVOID>(&Detour_GetPixel));
    bench::Row("BitBlt memory to memory, direct", memDirect, memDirect);
    bench::Row("BitBlt memory to memory, nothing protected", memNone, memDirect);
    bench::Row("BitBlt memory to memory, a protected window registered", memProtected, memDirect);
    bench::Row("BitBlt out of its own window, direct", winDirect, winDirect);
    bench::Row("BitBlt out of its own window, nothing protected", winNone, winDirect);
    bench::Row("BitBlt out of its own window, refused and logged", winProtected, winDirect);
    bench::Row("GetPixel of a memory context, direct", pixDirect, pixDirect);
    bench::Row("GetPixel of a memory context, nothing protected", pixNone, pixDirect);
    bench::Row("GetPixel of a memory context, a protected window registered", pixProtected, pixDirect);
    ReleaseDC(BenchWindow(), own);
    DeleteDC(src);
    DeleteDC(dst);
    DeleteObject(b1);
    DeleteObject(b2);
    ReleaseDC(nullptr, screen);
}

void LoadCosts() {
    printf("Loading and freeing a library, 8 other threads (ns per load+free, ratio):\n");
    IdleThreads idle(8);
    auto cycle = [](const char* name) {
        HMODULE m = LoadLibraryA(name);
        if (!m) printf("  cannot load %s (%lu)\n", name, GetLastError());
        FreeLibrary(m);
    };
    cycle("InterceptBenchTrivial.dll");
    cycle("InterceptBenchHooks.dll");
    // Load and unload timed apart: the load is what every starting application pays.
    auto time = [](const char* name, double& load, double& unload) {
        load = unload = 1e300;
        for (int i = 0; i < 10; ++i) {
            const double t0 = bench::NowNs();
            HMODULE m = LoadLibraryA(name);
            const double t1 = bench::NowNs();
            FreeLibrary(m);
            const double t2 = bench::NowNs();
            if (t1 - t0 < load) load = t1 - t0;
            if (t2 - t1 < unload) unload = t2 - t1;
        }
    };
    double trivialLoad, trivialUnload, hooksLoad, hooksUnload;
    time("InterceptBenchTrivial.dll", trivialLoad, trivialUnload);
    time("InterceptBenchHooks.dll", hooksLoad, hooksUnload);
    bench::Row("load, trivial library", trivialLoad, trivialLoad);
    bench::Row("load, library installing all tables (word processor)", hooksLoad, trivialLoad);
    bench::Row("unload, trivial library", trivialUnload, trivialUnload);
    bench::Row("unload, library removing all tables", hooksUnload, trivialUnload);
    printf("  added by the hooks at load: %.2f ms (goal: at most 15 ms)\n", (hooksLoad - trivialLoad) / 1e6);
}

}  // namespace

// With an argument, only the section it names runs.
int main(int argc, char** argv) {
    const struct {
        const char* name;
        void (*run)();
    } sections[] = {{"pass-through", PassThroughCosts}, {"automation", AutomationReplacementCosts},
                    {"window", WindowReplacementCosts}, {"attach", AttachDetachCosts},
                    {"tables", AllTablesCosts},         {"screen", ScreenCopyCosts},
                    {"load", LoadCosts}};
    const char* only = argc > 1 ? argv[1] : nullptr;
    for (const auto& section : sections)
        if (!only || !strcmp(only, section.name)) section.run();
    return 0;
}
