// ZELShowMsgBox.dll stand-in: ZELMessageBox shows a standard message box with
// MessageBoxA's arguments, and records every call (README.md).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "companions/record_line.h"

namespace {

constexpr const char* kSettingsKey = "Software\\Varnek\\ZELShowMsgBox";

// Environment first (tests start their processes with it), then the
// registry (processes the desktop's hooks reach).
std::string Setting(const char* envName, const char* valueName) {
    char buf[1024] = {};
    const DWORD n = GetEnvironmentVariableA(envName, buf, sizeof buf);
    if (n > 0 && n < sizeof buf) return buf;
    DWORD size = sizeof buf - 1;
    if (RegGetValueA(HKEY_CURRENT_USER, kSettingsKey, valueName, RRF_RT_REG_SZ, nullptr, buf,
                     &size) == ERROR_SUCCESS)
        return buf;
    return {};
}

std::string Escaped(const char* s) {
    std::string out;
    if (!s) return "(null)";
    for (; *s; ++s) {
        switch (*s) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            default: out += *s;
        }
    }
    return out;
}

std::string ExeName() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const char* slash = strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

std::string Hex(DWORD v) {
    char buf[16];
    snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(v));
    return buf;
}

// One line per call. Appends from several processes are serialised by a
// named mutex: under Wine an append is not atomic (the end is taken, then
// written at), so two unserialised writers overwrite each other.
void Record(HWND owner, LPCSTR text, LPCSTR caption, UINT flags) {
    const std::string file = Setting("ZELMSGBOX_RECORD", "RecordFile");
    if (file.empty()) return;
    const std::string line = "pid=" + std::to_string(GetCurrentProcessId()) + "\texe=" + ExeName() +
                             "\ttid=" + std::to_string(GetCurrentThreadId()) +
                             "\towner=" + Hex(static_cast<DWORD>(reinterpret_cast<UINT_PTR>(owner))) +
                             "\tflags=" + Hex(flags) + "\tcaption=" + Escaped(caption) +
                             "\ttext=" + Escaped(text) + "\r\n";
    standin::AppendRecordLine(file, line, "ZELShowMsgBoxRecord");
}

BOOL CALLBACK EndBoxOfThread(HWND wnd, LPARAM) {
    char cls[16] = {};
    GetClassNameA(wnd, cls, sizeof cls);
    if (strcmp(cls, "#32770") == 0) EndDialog(wnd, IDOK);
    return TRUE;
}

// Runs inside the box's modal loop, on the thread that shows it.
void CALLBACK CloseBoxTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    EnumThreadWindows(GetCurrentThreadId(), EndBoxOfThread, 0);
}

}  // namespace

extern "C" int WINAPI ZELMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT flags) {
    Record(owner, text, caption, flags);
    const std::string mode = Setting("ZELMSGBOX_MODE", "Mode");
    if (mode == "none") return IDOK;
    UINT_PTR timer = 0;
    if (mode.rfind("close:", 0) == 0)
        timer = SetTimer(nullptr, 0, static_cast<UINT>(strtoul(mode.c_str() + 6, nullptr, 10)),
                         CloseBoxTimer);
    const int result = MessageBoxA(owner, text, caption, flags);
    if (timer) KillTimer(nullptr, timer);
    return result;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}
