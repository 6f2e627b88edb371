// A library that calls replaced functions from its own detach as the process
// ends, as many libraries of an application do. Loaded before Gatrel.dll, it
// is detached after it: its calls come after Gatrel.dll's own detach and after
// the runtime has run Gatrel.dll's static destructors.
//
// Built without a runtime of its own: its DllMain is its entry point.
#include <windows.h>

namespace {

DWORD g_protectedPid = 0;
wchar_t g_resultPath[MAX_PATH];

void Report(const char* text) {
    HANDLE f = CreateFileW(g_resultPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(f, text, lstrlenA(text), &written, nullptr);
    CloseHandle(f);
}

// Replaced in every process but the shell's: the cursor position, a move of
// files that do not exist, and opening a process that holds a protected
// document (which the library refuses while it acts).
void CallReplacedFunctions() {
    POINT p;
    GetCursorPos(&p);
    MoveFileW(L"C:\\gatrel_exit_caller_absent", L"C:\\gatrel_exit_caller_absent2");
    HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, g_protectedPid);
    const DWORD error = h ? 0 : GetLastError();
    if (h) CloseHandle(h);
    char text[64];
    wsprintfA(text, "opened=%d error=%lu", h ? 1 : 0, error);
    Report(text);
}

}  // namespace

// The calls made at the process's end: OpenProcess on protectedPid, with the
// outcome written to resultPath ("opened=<0|1> error=<n>").
extern "C" __declspec(dllexport) void ArmExitCalls(DWORD protectedPid, const wchar_t* resultPath) {
    g_protectedPid = protectedPid;
    lstrcpynW(g_resultPath, resultPath, MAX_PATH);
}

extern "C" BOOL WINAPI ExitCallerMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH && reserved && g_protectedPid) CallReplacedFunctions();
    return TRUE;
}
