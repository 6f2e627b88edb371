// The store as several processes see it: one shared section, consistent
// records under concurrent writers, and no hang after a writer died.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "store/gatrel_interface.h"
#include "store/ostrum_records.h"
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

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && !strcmp(argv[1], "--stress") && argc >= 6)
        return StressWorker(atoi(argv[2]), atoi(argv[3]), atoi(argv[4]), argv[5]);
    if (argc >= 2 && !strcmp(argv[1], "--die-holding")) return DieHoldingHookMutex();
    if (argc >= 4 && !strcmp(argv[1], "--duel"))
        return Duel(!strcmp(argv[2], "ostrum"), strtoul(argv[3], nullptr, 10));
    if (argc >= 3 && !strcmp(argv[1], "--add")) return AddOne(strtoul(argv[2], nullptr, 10));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
