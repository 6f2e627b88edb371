// The resolver and the one-hook operations against a library whose export
// table is rewritten in memory, against forwarded exports, and along every
// failure path with its log line.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "intercept/api_resolver.h"
#include "intercept/detour.h"
#include "intercept/hook_function.h"
#include "intercept/loaded_modules.h"
#include "tests/intercept/test_code.h"

namespace {

const char* kProbe = "intercept_probe.dll";

using AddFn = int(__cdecl*)(int, int);

int __cdecl Elsewhere(int a, int b) { return a - b; }

// The export address table entry of name in a loaded module.
DWORD* ExportEntry(HMODULE module, const char* name) {
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    auto* exp = reinterpret_cast<IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    auto* names = reinterpret_cast<DWORD*>(base + exp->AddressOfNames);
    auto* ordinals = reinterpret_cast<WORD*>(base + exp->AddressOfNameOrdinals);
    auto* functions = reinterpret_cast<DWORD*>(base + exp->AddressOfFunctions);
    for (DWORD i = 0; i < exp->NumberOfNames; ++i)
        if (strcmp(reinterpret_cast<char*>(base + names[i]), name) == 0) return &functions[ordinals[i]];
    return nullptr;
}

// Rewrites one export table entry for the life of the object.
class Redirect {
public:
    Redirect(HMODULE module, const char* name, DWORD rva) : entry_(ExportEntry(module, name)) {
        if (!entry_) return;
        DWORD old = 0;
        VirtualProtect(entry_, 4, PAGE_READWRITE, &old);
        original_ = *entry_;
        *entry_ = rva;
        VirtualProtect(entry_, 4, old, &old);
    }
    ~Redirect() {
        if (!entry_) return;
        DWORD old = 0;
        VirtualProtect(entry_, 4, PAGE_READWRITE, &old);
        *entry_ = original_;
        VirtualProtect(entry_, 4, old, &old);
    }
    bool Ok() const { return entry_ != nullptr; }
    DWORD Original() const { return original_; }

private:
    DWORD* entry_ = nullptr;
    DWORD original_ = 0;
};

DWORD RvaOf(HMODULE module, const void* p) {
    return static_cast<DWORD>(reinterpret_cast<uintptr_t>(p) - reinterpret_cast<uintptr_t>(module));
}

std::string Hex(const void* p) {
    char buf[16];
    snprintf(buf, sizeof buf, "%x", static_cast<unsigned>(reinterpret_cast<uintptr_t>(p)));
    return buf;
}

AddFn g_addSlot = nullptr;
volatile LONG g_addCalls = 0;
int __cdecl DetourAdd(int a, int b) {
    InterlockedIncrement(&g_addCalls);
    return g_addSlot(a, b) * 10;
}

class Resolver : public ::testing::Test {
protected:
    void SetUp() override {
        probe = LoadLibraryA(kProbe);
        ASSERT_NE(nullptr, probe);
        GetModuleFileNameA(probe, path, MAX_PATH);
    }
    HMODULE probe = nullptr;
    char path[MAX_PATH] = {};
};

TEST_F(Resolver, RedirectedExportIsHookedAtItsCodeOnDisk) {
    const auto original = reinterpret_cast<AddFn>(GetProcAddress(probe, "ProbeAdd"));
    ASSERT_EQ(5, original(2, 3));
    Redirect redirect(probe, "ProbeAdd", RvaOf(probe, reinterpret_cast<void*>(&Elsewhere)));
    ASSERT_TRUE(redirect.Ok());
    const auto loaded = reinterpret_cast<void*>(GetProcAddress(probe, "ProbeAdd"));
    ASSERT_EQ(reinterpret_cast<void*>(&Elsewhere), loaded);

    testcode::LogTail log;
    HookFuntion(kProbe, "ProbeAdd", reinterpret_cast<PVOID*>(&g_addSlot), reinterpret_cast<PVOID>(&DetourAdd));
    const std::string line = std::string("Api Address Modified,strDllName=") + kProbe +
                             ",strApiName=ProbeAdd,pApiAdd=" + Hex(loaded) + ",szDllPath=" + path;
    EXPECT_EQ(1u, log.Count(line)) << log.NewText();
    EXPECT_EQ(1u, log.Count("[ERROR]")) << log.NewText();
    EXPECT_TRUE(detour::DescribeHook(reinterpret_cast<void*>(original)).hooked);
    EXPECT_FALSE(detour::DescribeHook(loaded).hooked);
    // The real code now runs through the replacement; the redirection target does not.
    EXPECT_EQ(50, original(2, 3));
    EXPECT_EQ(1, g_addCalls);
    EXPECT_EQ(-1, Elsewhere(2, 3));
    EXPECT_EQ(5, g_addSlot(2, 3));
    UnHookFuntion("ProbeAdd", reinterpret_cast<PVOID*>(&g_addSlot), reinterpret_cast<PVOID>(&DetourAdd));
    EXPECT_EQ(reinterpret_cast<AddFn>(original), g_addSlot);
    EXPECT_EQ(5, original(2, 3));
}

TEST_F(Resolver, BothEndsOfTheImageCountAsInside) {
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(reinterpret_cast<BYTE*>(probe) +
                                                   reinterpret_cast<IMAGE_DOS_HEADER*>(probe)->e_lfanew);
    const DWORD size = nt->OptionalHeader.SizeOfImage;
    testcode::LogTail log;
    {
        Redirect edge(probe, "ProbeEdge", size);
        EXPECT_EQ(reinterpret_cast<BYTE*>(probe) + size, GetApiSrcAddr(kProbe, "ProbeEdge"));
    }
    {
        Redirect edge(probe, "ProbeEdge", size + 1);
        // One past the end: outside, the code address comes from the file.
        EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(probe, "ProbeEdge")) , reinterpret_cast<void*>(reinterpret_cast<BYTE*>(probe) + size + 1));
        const PVOID fromDisk = GetApiSrcAddr(kProbe, "ProbeEdge");
        EXPECT_EQ(reinterpret_cast<BYTE*>(probe) + edge.Original(), fromDisk);
    }
    EXPECT_EQ(1u, log.Count("Api Address Modified,strDllName=intercept_probe.dll,strApiName=ProbeEdge,"))
        << log.NewText();
}

TEST_F(Resolver, ForwardedExportsAreFollowedNotReported) {
    // ole32 forwards CoCreateInstance to combase: the loader lands there, and
    // so does the resolver, silently.
    HMODULE ole32 = LoadLibraryA("ole32.dll");
    HMODULE combase = GetModuleHandleA("combase.dll");
    ASSERT_NE(nullptr, combase);
    testcode::LogTail log;
    const PVOID address = GetApiSrcAddr("ole32.dll", "CoCreateInstance");
    EXPECT_EQ(reinterpret_cast<PVOID>(GetProcAddress(combase, "CoCreateInstance")), address);
    EXPECT_EQ(0u, log.Count("[ERROR]")) << log.NewText();

    // A forwarder redirected elsewhere: reported, and the forward's code used.
    {
        Redirect redirect(ole32, "CoCreateInstance", RvaOf(ole32, reinterpret_cast<void*>(&Elsewhere)));
        ASSERT_TRUE(redirect.Ok());
        EXPECT_EQ(address, GetApiSrcAddr("ole32.dll", "CoCreateInstance"));
    }
    EXPECT_EQ(1u, log.Count("Api Address Modified,strDllName=ole32.dll,strApiName=CoCreateInstance,pApiAdd=" +
                            Hex(reinterpret_cast<void*>(&Elsewhere))))
        << log.NewText();
}

TEST_F(Resolver, FailuresAreLoggedAndGiveNull) {
    testcode::LogTail log;
    EXPECT_EQ(nullptr, GetApiSrcAddr("not_loaded_anywhere.dll", "Nothing"));
    EXPECT_EQ(1u, log.Count("GetModuleHandle Error:126,strDllName=not_loaded_anywhere.dll,strApiName=Nothing"))
        << log.NewText();
    // Names match case-sensitively.
    EXPECT_EQ(nullptr, GetApiSrcAddr(kProbe, "probeadd"));
    EXPECT_EQ(1u, log.Count("GetProcAddress Error:127,strDllName=intercept_probe.dll,strApiName=probeadd"))
        << log.NewText();
    // The resolver never loads a module, and gives back every reference it took.
    EXPECT_EQ(nullptr, GetModuleHandleA("not_loaded_anywhere.dll"));
}

TEST_F(Resolver, UnreadableModuleFileLeavesTheSlotNull) {
    // A copy of the library whose file is gone once it is loaded.
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    const std::string copy = std::string(tmp) + "intercept_probe_gone.dll";
    const std::string moved = copy + "." + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CopyFileA(path, copy.c_str(), FALSE));
    HMODULE gone = LoadLibraryA(copy.c_str());
    ASSERT_NE(nullptr, gone);
    // A loaded image cannot be deleted, but it can be renamed away.
    ASSERT_TRUE(MoveFileExA(copy.c_str(), moved.c_str(), MOVEFILE_REPLACE_EXISTING));
    testcode::LogTail log;
    PVOID slot = reinterpret_cast<PVOID>(0x1234);
    HookFuntion("intercept_probe_gone.dll", "ProbeAdd", &slot, reinterpret_cast<PVOID>(&DetourAdd));
    EXPECT_EQ(nullptr, slot);
    EXPECT_EQ(1u, log.Count("CreateFile Error:2,strDllName=intercept_probe_gone.dll,strApiName=ProbeAdd,szDllPath="))
        << log.NewText();
    EXPECT_EQ(1u, log.Count("HookFuntion(): pApiSrcAddr Is NULL, strDllName=intercept_probe_gone.dll,strApiName=ProbeAdd"));
    UnHookFuntion("ProbeAdd", &slot, reinterpret_cast<PVOID>(&DetourAdd));
    EXPECT_EQ(1u, log.Count("UnHookFuntion():pApiSrcAddr Is NULL, strApiName=ProbeAdd"));
    // Deleted when the process ends and the image is unmapped.
    MoveFileExA(moved.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

void __cdecl TinyDetour() {}

TEST_F(Resolver, RefusedAttachStillCommitsAndKeepsTheTarget) {
    using Tiny = void(__cdecl*)();
    Tiny slot = nullptr;
    const auto target = reinterpret_cast<Tiny>(GetProcAddress(probe, "ProbeTiny"));
    testcode::LogTail log;
    HookFuntion(kProbe, "ProbeTiny", reinterpret_cast<PVOID*>(&slot), reinterpret_cast<PVOID>(&TinyDetour));
    EXPECT_EQ(target, slot);
    EXPECT_EQ(1u, log.Count("DetourAttach Fail, lRet=9,strDllName=intercept_probe.dll,strApiName=ProbeTiny"));
    EXPECT_EQ(1u, log.Count("DetourTransactionCommit Fail, lRet=9,strDllName=intercept_probe.dll,strApiName=ProbeTiny"));
    slot();  // still the target, unhooked
    EXPECT_EQ(0xC3, reinterpret_cast<BYTE*>(target)[0]);
    UnHookFuntion("ProbeTiny", reinterpret_cast<PVOID*>(&slot), reinterpret_cast<PVOID>(&TinyDetour));
    EXPECT_EQ(1u, log.Count("DetourAttach Fail, lRet=9,strApiName=ProbeTiny")) << log.NewText();
    EXPECT_EQ(1u, log.Count("DetourTransactionCommit Fail, lRet=9,strApiName=ProbeTiny"));
    EXPECT_EQ(target, slot);
}

TEST_F(Resolver, EmptyModuleNameHooksTheSlotAsItIs) {
    g_addSlot = reinterpret_cast<AddFn>(GetProcAddress(probe, "ProbeAdd"));
    const AddFn target = g_addSlot;
    HookFuntion("", "ProbeAdd", reinterpret_cast<PVOID*>(&g_addSlot), reinterpret_cast<PVOID>(&DetourAdd));
    EXPECT_NE(target, g_addSlot);
    EXPECT_EQ(70, target(3, 4));
    UnHookFuntion("ProbeAdd", reinterpret_cast<PVOID*>(&g_addSlot), reinterpret_cast<PVOID>(&DetourAdd));
    EXPECT_EQ(target, g_addSlot);
    EXPECT_EQ(7, target(3, 4));
}

}  // namespace

TEST(LoadedModules, FoundByFileNameInAnyCaseOnlyWhileLoaded) {
    EXPECT_TRUE(IsModuleLoaded("kernel32.dll"));
    EXPECT_TRUE(IsModuleLoaded("KERNEL32.DLL"));
    EXPECT_FALSE(IsModuleLoaded("kernel32"));
    EXPECT_FALSE(IsModuleLoaded("ernel32.dll"));
    EXPECT_FALSE(IsModuleLoaded(nullptr));
    // A module this program does not import: there after its load, gone after its unload.
    ASSERT_EQ(nullptr, GetModuleHandleA("msimg32.dll"));
    EXPECT_FALSE(IsModuleLoaded("msimg32.dll"));
    HMODULE m = LoadLibraryA("msimg32.dll");
    ASSERT_NE(nullptr, m);
    EXPECT_TRUE(IsModuleLoaded("MsImg32.dll"));
    FreeLibrary(m);
    EXPECT_EQ(GetModuleHandleA("msimg32.dll") != nullptr, IsModuleLoaded("msimg32.dll"));
}
