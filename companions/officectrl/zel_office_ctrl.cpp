// ZELOfficeCtrl.dll stand-in: the product's macro-object interception, as far
// as Gatrel.dll meets it. Its three functions only record each call
// (README.md); they tolerate any number and any order of calls, and a null or
// unreadable object address.
#include <windows.h>

#include <cstdio>
#include <string>

#include "companions/record_line.h"

namespace {

constexpr const char* kSettingsKey = "Software\\Varnek\\ZELOfficeCtrl";

// Environment first (tests start their processes with it), then the
// registry (processes the desktop's hooks reach).
std::string RecordFile() {
    char buf[1024] = {};
    const DWORD n = GetEnvironmentVariableA("ZELOFFICECTRL_RECORD", buf, sizeof buf);
    if (n > 0 && n < sizeof buf) return buf;
    DWORD size = sizeof buf - 1;
    if (RegGetValueA(HKEY_CURRENT_USER, kSettingsKey, "RecordFile", RRF_RT_REG_SZ, nullptr, buf, &size) ==
        ERROR_SUCCESS)
        return buf;
    return {};
}

std::string ExeName() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const char* slash = strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

std::string Hex(const void* p) {
    char buf[16];
    snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(p)));
    return buf;
}

// The object the address holds, or null when it cannot be read.
void* ObjectAt(void** address) {
    void* value = nullptr;
    if (!address || !ReadProcessMemory(GetCurrentProcess(), address, &value, sizeof value, nullptr)) return nullptr;
    return value;
}

// One line per call, appended under a named mutex (appends are not atomic
// under Wine):
//   pid=<pid>\texe=<file>\ttick=<ms>\tcall=<function>[\ttype=<n>\taddr=0x..\tobject=0x..]
void Record(const std::string& call) {
    const std::string file = RecordFile();
    if (file.empty()) return;
    const std::string line = "pid=" + std::to_string(GetCurrentProcessId()) + "\texe=" + ExeName() +
                             "\ttick=" + std::to_string(GetTickCount()) + "\tcall=" + call + "\r\n";
    standin::AppendRecordLine(file, line, "ZELOfficeCtrlRecord");
}

std::string ObjectCall(const char* name, int docType, void** address) {
    return std::string(name) + "\ttype=" + std::to_string(docType) + "\taddr=" + Hex(address) +
           "\tobject=" + Hex(ObjectAt(address));
}

}  // namespace

extern "C" int WINAPI HookVBAOleObject(int docType, void** appObject) {
    Record(ObjectCall("HookVBAOleObject", docType, appObject));
    return 1;
}

extern "C" int WINAPI GetHookVBAFuncAddr(int docType, void** appObject) {
    Record(ObjectCall("GetHookVBAFuncAddr", docType, appObject));
    return 1;
}

extern "C" int WINAPI UnHookVBAOleObject() {
    Record("UnHookVBAOleObject");
    return 1;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}
