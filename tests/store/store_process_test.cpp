// The store as several processes see it: one shared section, consistent
// records under concurrent writers, and no hang after a writer died.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "store/gatrel_interface.h"
#include "store/ostrum_records.h"
#include "tests/support/section_view.h"
#include "tests/support/library_view.h"
#include "tests/store/store_test_util.h"

using storetest::SpawnSelf;
using storetest::WaitExit;

namespace {

// ---- Records whose every byte follows from (owner, generation) ----

// Four workers with four owners each: sixteen owners for fifteen slots, so the
// table keeps filling up and adds keep being refused.
constexpr DWORD kOwnersPerWorker = 4;
const char* const kLetterSets[] = {"P", "CP", "A", "ACPNQ", "RW"};

DWORD OwnerOf(int worker, int k) { return 0x10000 + worker * 16 + k; }
uint32_t WndOf(DWORD owner) { return owner * 4; }
std::string FlagOf(DWORD owner) { return "(ZEL-" + std::to_string(owner) + ")"; }

_ZEL_HOOK_INFO_ Patterned(DWORD owner, uint32_t gen) {
    _ZEL_HOOK_INFO_ r{};
    r.dwProcessId = owner + 1;
    r.dwOwnerPid = owner;
    r.hDocWnd = WndOf(owner);
    r.byDocType = static_cast<uint8_t>(1 + owner % 4);
    r.dwExtra = gen;
    r.byExtra = static_cast<uint8_t>(gen);
    std::string path = "C:\\DOCS\\" + FlagOf(owner) + "g" + std::to_string(gen) + "-";
    path.append(200 - path.size(), static_cast<char>('a' + gen % 26));
    strncpy(r.szFilePath, path.c_str(), sizeof r.szFilePath);
    // The protected file name is the owner's own: the Ostrum writers key on it.
    const std::string zel = "Z" + std::to_string(owner) + ".doc";
    strncpy(r.szZelFileName, zel.c_str(), sizeof r.szZelFileName);
    memset(r.szOfficeTempPath, 'a' + (gen + 7) % 26, 259);
    strncpy(r.szPermission, kLetterSets[gen % 5], sizeof r.szPermission);
    return r;
}

// A record read back is whole when it equals the pattern of its own
// generation, up to the letters (which SetHookInfo changes on its own).
bool IsWhole(const _ZEL_HOOK_INFO_& r) {
    _ZEL_HOOK_INFO_ want = Patterned(r.dwOwnerPid, r.dwExtra);
    bool lettersOk = false;
    for (const char* set : kLetterSets)
        lettersOk = lettersOk || strncmp(r.szPermission, set, sizeof r.szPermission) == 0;
    memcpy(want.szPermission, r.szPermission, sizeof want.szPermission);
    return lettersOk && memcmp(&want, &r, sizeof r) == 0;
}

bool IsFree(const _ZEL_HOOK_INFO_& r) {
    static const _ZEL_HOOK_INFO_ zero{};
    return memcmp(&r, &zero, sizeof r) == 0;
}

// ---- Child programs ----

// Runs `ops` mixed operations on this worker's owners, through both kinds of
// writers (the controller's and the Ostrum process's), and look-ups on every
// worker's owners. Only this worker changes its owners' records, so it knows
// what the table must hold for them at the end; it writes that to a file.
int StressWorker(int worker, int workers, int ops, const char* resultFile) {
    CHookInterface::instance();  // as the controller: its Ostrum operations' lock
    testlib::Store store;
    uint32_t gens[kOwnersPerWorker] = {};
    bool present[kOwnersPerWorker] = {};
    unsigned seed = 12345u + worker * 7919u;
    auto rnd = [&] { seed = seed * 1103515245u + 12345u; return (seed >> 16) & 0x7FFF; };
    int torn = 0;
    for (int i = 0; i < ops; ++i) {
        const int k = rnd() % kOwnersPerWorker;
        const DWORD owner = OwnerOf(worker, k);
        _ZEL_HOOK_INFO_ out{};
        switch (rnd() % 10) {
            case 0:
            case 1: {
                ++gens[k];
                auto r = Patterned(owner, gens[k]);
                store.AddHookInfo(&r);
                // A full table drops the record: ask the store what it kept.
                present[k] = store.GetHookInfoByWnd(reinterpret_cast<HWND>(WndOf(owner)), &out) >= 0 &&
                             out.dwExtra == gens[k];
                if (present[k] && !IsWhole(out)) ++torn;
                break;
            }
            case 2: {
                auto r = Patterned(owner, gens[k] + 1);
                const int code = store.AddOstrumInfo(&r);
                if (code == kOstrumStored) {
                    ++gens[k];
                    present[k] = true;
                } else if (code != kOstrumNameTaken && code != kOstrumTableFull) {
                    return 200 + code % 100;
                }
                break;
            }
            case 3:
                store.DelHookInfo(owner);
                present[k] = false;
                break;
            case 4: {
                auto r = Patterned(owner, gens[k]);
                store.DelGuardInfo1(&r);
                present[k] = false;
                break;
            }
            case 5:
                store.SetHookInfo(owner, kLetterSets[rnd() % 5]);
                break;
            default: {
                const DWORD other = OwnerOf(rnd() % workers, rnd() % kOwnersPerWorker);
                const int how = rnd() % 3;
                bool found = false;
                if (how == 0) found = store.GetHookInfoByPid(other + 1, &out) >= 0;
                else if (how == 1)
                    found = store.GetHookInfoByWnd(reinterpret_cast<HWND>(WndOf(other)), &out) >= 0;
                else found = store.GetHookInfoByFlag(FlagOf(other).c_str(), &out);
                if (found && (out.dwOwnerPid != other || !IsWhole(out))) ++torn;
                break;
            }
        }
    }
    FILE* f = fopen(resultFile, "w");
    if (!f) return 100;
    for (int k = 0; k < static_cast<int>(kOwnersPerWorker); ++k)
        fprintf(f, "%lu %d %u\n", static_cast<unsigned long>(OwnerOf(worker, k)), present[k] ? 1 : 0,
                gens[k]);
    fclose(f);
    return torn;
}

// One owner, added and removed again and again for ms milliseconds through one
// kind of writer: with the table otherwise empty, the two kinds keep picking
// the same free slot.
int Duel(bool ostrum, DWORD ms) {
    CHookInterface::instance();
    testlib::Store store;
    const DWORD owner = OwnerOf(ostrum ? 12 : 13, 0);
    const DWORD end = GetTickCount() + ms;
    for (uint32_t gen = 1; static_cast<LONG>(GetTickCount() - end) < 0; ++gen) {
        auto r = Patterned(owner, gen);
        if (ostrum) {
            store.AddOstrumInfo(&r);
            store.DelGuardInfo1(&r);
        } else {
            store.AddHookInfo(&r);
            store.DelHookInfo(owner);
        }
    }
    return 0;
}

// Takes "HookMutex" and dies without releasing it.
int DieHoldingHookMutex() {
    HANDLE m = CreateMutexA(nullptr, FALSE, "HookMutex");
    if (!m || WaitForSingleObject(m, 5000) != WAIT_OBJECT_0) return 2;
    TerminateProcess(GetCurrentProcess(), 0);
    return 3;
}

// Takes "HookMutex", sets the event named held, and keeps the mutex until the
// event named release is set.
int HoldHookMutex(const char* held, const char* release) {
    HANDLE m = CreateMutexA(nullptr, FALSE, "HookMutex");
    HANDLE heldEvent = OpenEventA(EVENT_MODIFY_STATE, FALSE, held);
    HANDLE releaseEvent = OpenEventA(SYNCHRONIZE, FALSE, release);
    if (!m || !heldEvent || !releaseEvent) return 2;
    if (WaitForSingleObject(m, 30000) != WAIT_OBJECT_0) return 3;
    SetEvent(heldEvent);
    WaitForSingleObject(releaseEvent, 60000);
    ReleaseMutex(m);
    return 0;
}

// ---- Bad pointers handed to the exported interface ----

// An access violation inside Faults' call ends the call there, as the
// application's own structured handler would: the frames it leaves run no
// destructor, so a lock they held stays held.
void* g_landing[5];
volatile LONG g_catching = 0;

[[noreturn]] void Land() { __builtin_longjmp(g_landing, 1); }

LONG CALLBACK CatchFault(EXCEPTION_POINTERS* ep) {
    if (ep->ExceptionRecord->ExceptionCode != EXCEPTION_ACCESS_VIOLATION || !InterlockedExchange(&g_catching, 0))
        return EXCEPTION_CONTINUE_SEARCH;
    ep->ContextRecord->Eip = static_cast<DWORD>(reinterpret_cast<uintptr_t>(&Land));
    return EXCEPTION_CONTINUE_EXECUTION;
}

__attribute__((noinline)) bool Faults(const std::function<void()>& call) {
    if (__builtin_setjmp(g_landing)) return true;
    InterlockedExchange(&g_catching, 1);
    call();
    InterlockedExchange(&g_catching, 0);
    return false;
}

const char kBadPath[] = "C:\\DOCS\\(ZEL-99)bad.doc";
constexpr DWORD kBadOwner = 0x10990;
constexpr DWORD kNoOwner = 0x10991;

// Each exported operation that reads or writes through a caller's pointer,
// with a pointer to memory that cannot be read. A record of kBadOwner at
// kBadPath is in place, so that every call reaches its pointer.
std::vector<std::pair<const char*, std::function<void()>>> BadCalls(void* bad) {
    CHookInterface& ctl = CHookInterface::instance();
    const char* text = static_cast<const char*>(bad);
    auto path = std::make_shared<std::string>(kBadPath);
    return {
        {"AddHookInfo", [&ctl, bad] { ctl.AddHookInfo(bad); }},
        {"SetHookInfo(owner, letters)", [&ctl, text] { ctl.SetHookInfo(kBadOwner, text); }},
        {"SetHookInfo(path, letters)", [&ctl, text, path] { ctl.SetHookInfo(*path, text); }},
        {"SetWaterInfo", [&ctl, bad] { ctl.SetWaterInfo(bad); }},
        {"SetKORBClassName", [&ctl, text] { ctl.SetKORBClassName(text); }},
        {"SetOfficeTempPath(path)", [&ctl, text] { ctl.SetOfficeTempPath(text, "C:\\TEMP"); }},
        {"SetOfficeTempPath(temp path)", [&ctl, text] { ctl.SetOfficeTempPath(kBadPath, text); }},
        {"AddOstrumInfo", [&ctl, bad] { ctl.AddOstrumInfo(bad); }},
        {"DelGuardInfo", [&ctl, bad] { ctl.DelGuardInfo(bad); }},
        {"DelGuardInfo1", [&ctl, bad] { ctl.DelGuardInfo1(bad); }},
        {"FindZELFileName", [&ctl, text] {
             _ZEL_HOOK_INFO_ out{};
             ctl.FindZELFileName(text, out);
         }},
        {"GetOfficeTempPath", [&ctl, text] { ctl.GetOfficeTempPath(text); }},
        {"GetAllOstrumInfo", [&ctl, bad] { ctl.GetAllOstrumInfo(bad); }},
    };
}

// Makes bad call number `which`, recovering from its fault, sets the event
// named step and waits for the one named next. 0: the call faulted, as it
// must (the pointer cannot be read).
int BadPointer(int which, const char* step, const char* next) {
    AddVectoredExceptionHandler(1, CatchFault);
    void* bad = VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS);
    HANDLE stepEvent = OpenEventA(EVENT_MODIFY_STATE, FALSE, step);
    HANDLE nextEvent = OpenEventA(SYNCHRONIZE, FALSE, next);
    const auto calls = BadCalls(bad);
    if (!bad || !stepEvent || !nextEvent || which < 0 || which >= static_cast<int>(calls.size())) return 100;
    _ZEL_HOOK_INFO_ r{};
    r.dwProcessId = r.dwOwnerPid = kBadOwner;
    strcpy(r.szFilePath, kBadPath);
    CHookInterface::instance().AddHookInfo(&r);
    const bool faulted = Faults(calls[which].second);
    SetEvent(stepEvent);
    WaitForSingleObject(nextEvent, 60000);
    return faulted ? 0 : 1;
}

int AddOne(DWORD owner) {
    testlib::Store store;
    auto r = Patterned(owner, 1);
    store.AddHookInfo(&r);
    return 0;
}

std::string TempFile(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

class StoreProcesses : public ::testing::Test {
protected:
    void SetUp() override { storetest::ClearTable(store); }
    void TearDown() override { storetest::ClearTable(store); }
    testlib::Store store;
};

TEST_F(StoreProcesses, RecordAddedInOneProcessIsFoundInAnother) {
    const DWORD owner = OwnerOf(9, 1);
    HANDLE child = SpawnSelf("--add " + std::to_string(owner));
    ASSERT_TRUE(child);
    ASSERT_EQ(0u, WaitExit(child));
    CloseHandle(child);
    _ZEL_HOOK_INFO_ out{};
    EXPECT_GE(store.GetHookInfoByPid(owner + 1, &out), 0);
    EXPECT_GE(store.GetHookInfoByWnd(reinterpret_cast<HWND>(WndOf(owner)), &out), 0);
    EXPECT_TRUE(store.GetHookInfoByFlag(FlagOf(owner).c_str(), &out));
    EXPECT_GE(store.FindZELFileName(("z" + std::to_string(owner) + ".DOC").c_str(), &out), 0);
    EXPECT_TRUE(IsWhole(out));
}

TEST_F(StoreProcesses, FourWritersOfBothKindsFillingTheTableLeaveNoTornRecord) {
    constexpr int kWorkers = 4;
    constexpr int kOps = 10000;
    std::vector<HANDLE> children;
    std::vector<std::string> files;
    for (int w = 0; w < kWorkers; ++w) {
        files.push_back(TempFile(("gatrel_stress_" + std::to_string(w) + ".txt").c_str()));
        DeleteFileA(files.back().c_str());
        HANDLE h = SpawnSelf("--stress " + std::to_string(w) + " " + std::to_string(kWorkers) + " " +
                             std::to_string(kOps) + " \"" + files.back() + "\"");
        ASSERT_TRUE(h);
        children.push_back(h);
    }
    // Look-ups and whole-table copies (what `zelctl list` shows) from this
    // process while the workers run.
    int tornHere = 0;
    unsigned char snapshot[12180];
    for (int i = 0; i < 3000; ++i) {
        _ZEL_HOOK_INFO_ out{};
        const DWORD owner = OwnerOf(i % kWorkers, i % kOwnersPerWorker);
        if (store.GetHookInfoByFlag(FlagOf(owner).c_str(), &out) && !IsWhole(out)) ++tornHere;
        if (i % 10) continue;
        store.GetAllOstrumInfo(snapshot);
        for (int slot = 0; slot < 15; ++slot) {
            _ZEL_HOOK_INFO_ r;
            memcpy(&r, snapshot + slot * 812, 812);
            if (!IsFree(r) && !IsWhole(r)) ++tornHere;
        }
    }
    for (HANDLE h : children) {
        EXPECT_EQ(0u, WaitExit(h, 170000)) << "a worker saw torn records";
        CloseHandle(h);
    }
    EXPECT_EQ(0, tornHere);

    int expectedCount = 0;
    for (const auto& f : files) {
        FILE* in = fopen(f.c_str(), "r");
        ASSERT_TRUE(in) << f;
        unsigned long owner;
        int present;
        unsigned gen;
        while (fscanf(in, "%lu %d %u", &owner, &present, &gen) == 3) {
            _ZEL_HOOK_INFO_ out{};
            const int idx = store.GetHookInfoByWnd(reinterpret_cast<HWND>(WndOf(owner)), &out);
            if (present) {
                ++expectedCount;
                ASSERT_GE(idx, 0) << owner;
                EXPECT_EQ(gen, out.dwExtra);
                EXPECT_TRUE(IsWhole(out));
            } else {
                EXPECT_EQ(-1, idx) << owner;
            }
        }
        fclose(in);
        DeleteFileA(f.c_str());
    }
    unsigned char table[12180];
    store.GetAllOstrumInfo(table);
    int used = 0;
    for (int i = 0; i < 15; ++i) {
        _ZEL_HOOK_INFO_ r;
        memcpy(&r, table + i * 812, 812);
        if (IsFree(r)) continue;
        ++used;
        EXPECT_TRUE(IsWhole(r)) << "slot " << i;
    }
    EXPECT_EQ(expectedCount, used);
    EXPECT_EQ(expectedCount, store.GetHookInfoCount());
}

TEST_F(StoreProcesses, TheTwoKindsOfWritersNeverShareASlot) {
    HANDLE hook = SpawnSelf("--duel hook 2500");
    HANDLE ostrum = SpawnSelf("--duel ostrum 2500");
    ASSERT_TRUE(hook && ostrum);
    int torn = 0, seen = 0;
    unsigned char snapshot[12180];
    while (WaitForSingleObject(ostrum, 0) == WAIT_TIMEOUT) {
        store.GetAllOstrumInfo(snapshot);
        for (int slot = 0; slot < 15; ++slot) {
            _ZEL_HOOK_INFO_ r;
            memcpy(&r, snapshot + slot * 812, 812);
            if (IsFree(r)) continue;
            ++seen;
            if (!IsWhole(r)) ++torn;
        }
    }
    EXPECT_EQ(0u, WaitExit(hook));
    EXPECT_EQ(0u, WaitExit(ostrum));
    CloseHandle(hook);
    CloseHandle(ostrum);
    EXPECT_GT(seen, 0);
    EXPECT_EQ(0, torn) << "rows mixed from two records";
    store.GetAllOstrumInfo(snapshot);
    EXPECT_EQ(0, memcmp(snapshot, std::string(12180, '\0').data(), 12180)) << "a mixed slot stayed behind";
}

TEST_F(StoreProcesses, ProcessDyingWithHookMutexDoesNotBlockTheStore) {
    HANDLE child = SpawnSelf("--die-holding");
    ASSERT_TRUE(child);
    EXPECT_EQ(0u, WaitExit(child)) << "the child got the mutex and died holding it";
    CloseHandle(child);
    auto r = Patterned(OwnerOf(8, 0), 3);
    store.AddHookInfo(&r);  // would wait forever without the abandoned-wait rule
    _ZEL_HOOK_INFO_ out{};
    EXPECT_EQ(0, store.GetHookInfoByPid(r.dwProcessId, &out));
    EXPECT_EQ(1, store.GetHookInfoCount());
}

// A caller's bad pointer faults in the caller's own call, never while the
// store holds "HookMutex", the write flag or "DllShareMem": another process
// can take both locks after each call, and readers see no write in progress.
TEST_F(StoreProcesses, ABadPointerFromTheCallerLeavesNoLockHeldAndNoWriteFlagSet) {
    CHookInterface::instance();
    const SharedSection* section = testing_support::SharedSectionOf(GetModuleHandleA("gatrel"));
    ASSERT_TRUE(section);
    const std::string tag = std::to_string(GetCurrentProcessId());
    const std::string stepName = "GatrelBadPointerStep" + tag, nextName = "GatrelBadPointerNext" + tag;
    HANDLE step = CreateEventA(nullptr, FALSE, FALSE, stepName.c_str());
    HANDLE next = CreateEventA(nullptr, FALSE, FALSE, nextName.c_str());
    HANDLE hook = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "HookMutex");
    HANDLE share = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "DllShareMem");
    ASSERT_TRUE(step && next && hook && share);
    const auto calls = BadCalls(nullptr);
    for (size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(calls[i].first);
        HANDLE child = SpawnSelf("--bad-pointer " + std::to_string(i) + " " + stepName + " " + nextName);
        ASSERT_TRUE(child);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(step, 60000));
        const DWORD hookWait = WaitForSingleObject(hook, 3000);
        EXPECT_EQ(WAIT_OBJECT_0, hookWait) << "\"HookMutex\" stays held";
        if (hookWait == WAIT_OBJECT_0) ReleaseMutex(hook);
        const DWORD shareWait = WaitForSingleObject(share, 3000);
        EXPECT_EQ(WAIT_OBJECT_0, shareWait) << "\"DllShareMem\" stays held";
        if (shareWait == WAIT_OBJECT_0) ReleaseMutex(share);
        EXPECT_EQ(0u, section->writing) << "the write flag stays set";
        SetEvent(next);
        EXPECT_EQ(0u, WaitExit(child)) << "the call did not fault";
        CloseHandle(child);
        // A child that ended holding a lock left it abandoned: the next write
        // takes it over and clears the flag, so each call is judged alone.
        store.DelHookInfo(kNoOwner);
        if (WaitForSingleObject(share, 3000) != WAIT_TIMEOUT) ReleaseMutex(share);
    }
    for (HANDLE h : {step, next, hook, share}) CloseHandle(h);
}

// The Ostrum process's writers change the table under "HookMutex" like every
// other writer: held by another process, it keeps each of them waiting until
// it is released, and then the call completes.
TEST_F(StoreProcesses, OstrumWritersWaitForHookMutexHeldByAnotherProcess) {
    CHookInterface& ctl = CHookInterface::instance();
    const DWORD owner = OwnerOf(10, 0);
    const _ZEL_HOOK_INFO_ rec = Patterned(owner, 1);
    const HWND wnd = reinterpret_cast<HWND>(WndOf(owner));
    _ZEL_HOOK_INFO_ out{};
    struct Case {
        const char* name;
        std::function<void()> before;  // unheld
        std::function<void()> call;
        std::function<bool()> done;    // the call's change is in the table
    };
    const Case cases[] = {
        {"AddOstrumInfo", [] {}, [&] { ctl.AddOstrumInfo(const_cast<_ZEL_HOOK_INFO_*>(&rec)); },
         [&] { return store.GetHookInfoByPid(rec.dwProcessId, &out) >= 0; }},
        {"DelGuardInfo", [] {}, [&] { ctl.DelGuardInfo(const_cast<_ZEL_HOOK_INFO_*>(&rec)); },
         [&] { return store.GetHookInfoByPid(rec.dwProcessId, &out) < 0 && store.GetHookInfoByWnd(wnd, &out) >= 0; }},
        {"DelGuardInfo1", [&] { ctl.AddOstrumInfo(const_cast<_ZEL_HOOK_INFO_*>(&rec)); },
         [&] { ctl.DelGuardInfo1(const_cast<_ZEL_HOOK_INFO_*>(&rec)); },
         [&] { return store.GetHookInfoByPid(rec.dwProcessId, &out) < 0; }},
    };
    const std::string tag = std::to_string(GetCurrentProcessId());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.before();
        ASSERT_FALSE(c.done()) << "already done before the call";
        const std::string heldName = "GatrelHookMutexHeld" + tag, releaseName = "GatrelHookMutexRelease" + tag;
        HANDLE held = CreateEventA(nullptr, TRUE, FALSE, heldName.c_str());
        HANDLE release = CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str());
        HANDLE holder = SpawnSelf("--hold-hook-mutex " + heldName + " " + releaseName);
        ASSERT_TRUE(held && release && holder);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(held, 30000));

        std::atomic<bool> returned{false};
        std::thread caller([&] {
            c.call();
            returned = true;
        });
        Sleep(1500);
        EXPECT_FALSE(returned) << "returned while another process held \"HookMutex\"";
        EXPECT_FALSE(c.done()) << "changed the table while another process held \"HookMutex\"";
        SetEvent(release);
        for (int i = 0; i < 300 && !returned; ++i) Sleep(50);
        EXPECT_TRUE(returned) << "still waiting after the release";
        caller.join();
        EXPECT_TRUE(c.done());
        EXPECT_EQ(0u, WaitExit(holder));
        for (HANDLE h : {holder, held, release}) CloseHandle(h);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && !strcmp(argv[1], "--stress") && argc >= 6)
        return StressWorker(atoi(argv[2]), atoi(argv[3]), atoi(argv[4]), argv[5]);
    if (argc >= 2 && !strcmp(argv[1], "--die-holding")) return DieHoldingHookMutex();
    if (argc >= 4 && !strcmp(argv[1], "--duel"))
        return Duel(!strcmp(argv[2], "ostrum"), strtoul(argv[3], nullptr, 10));
    if (argc >= 3 && !strcmp(argv[1], "--add")) return AddOne(strtoul(argv[2], nullptr, 10));
    if (argc >= 4 && !strcmp(argv[1], "--hold-hook-mutex")) return HoldHookMutex(argv[2], argv[3]);
    if (argc >= 5 && !strcmp(argv[1], "--bad-pointer")) return BadPointer(atoi(argv[2]), argv[3], argv[4]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
