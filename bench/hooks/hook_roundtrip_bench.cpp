// Posted-message round trip in an ordinary process (a fresh child each time):
// without global hooks, with an empty global hook library, and with
// Gatrel.dll's global hooks. Hook libraries are never unloaded from a process,
// so every measurement runs in a new child. Prints ratios.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_util.h"
#include "host/global_hooks.h"
#include "store/hook_interface.h"

namespace {

std::string ExeDir() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir = path;
    dir.resize(dir.find_last_of("\\/") + 1);
    return dir;
}

// Runs the ping-pong child; its nanoseconds per round trip, or -1.
double MeasureInChild() {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE rd = nullptr, wr = nullptr;
    if (!CreatePipe(&rd, &wr, &sa, 0)) return -1;
    SetHandleInformation(rd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = wr;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::string cmd = "\"" + ExeDir() + "hook_pingpong.exe\" 20000 5";
    PROCESS_INFORMATION pi{};
    const BOOL ok =
        CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(wr);
    if (!ok) {
        CloseHandle(rd);
        return -1;
    }
    std::string out;
    char buf[256];
    DWORD n = 0;
    while (ReadFile(rd, buf, sizeof buf, &n, nullptr) && n > 0) out.append(buf, n);
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(rd);
    const size_t at = out.find("ns=");
    return at == std::string::npos ? -1 : atof(out.c_str() + at + 3);
}

struct Hooks {
    HHOOK msg = nullptr;
    HHOOK cbt = nullptr;
    bool ok() const { return msg && cbt; }
};

Hooks InstallEmpty(HMODULE lib) {
    Hooks h;
    auto getMsg = reinterpret_cast<HOOKPROC>(GetProcAddress(lib, "EmptyGetMsgProc@12"));
    if (!getMsg) getMsg = reinterpret_cast<HOOKPROC>(GetProcAddress(lib, "EmptyGetMsgProc"));
    auto cbt = reinterpret_cast<HOOKPROC>(GetProcAddress(lib, "EmptyCbtProc@12"));
    if (!cbt) cbt = reinterpret_cast<HOOKPROC>(GetProcAddress(lib, "EmptyCbtProc"));
    if (!getMsg || !cbt) return h;
    h.msg = SetWindowsHookExA(WH_GETMESSAGE, getMsg, lib, 0);
    h.cbt = SetWindowsHookExA(WH_CBT, cbt, lib, 0);
    return h;
}

Hooks InstallOurs() {
    Hooks h;
    h.msg = ::StartHook(GetModuleHandleA("gatrel"));
    h.cbt = CHookInterface::instance().StartCBTHook();
    return h;
}

void Remove(Hooks& h) {
    if (h.msg) UnhookWindowsHookEx(h.msg);
    if (h.cbt) UnhookWindowsHookEx(h.cbt);
    h = Hooks{};
}

}  // namespace

int main() {
    HMODULE empty = LoadLibraryA((ExeDir() + "EmptyHook.dll").c_str());
    if (!empty) {
        fprintf(stderr, "EmptyHook.dll not found\n");
        return 1;
    }
    CHookInterface::instance();
    // Interleaved, best of several children each, so that drift of the machine
    // touches all three alike.
    double plain = 1e300, withEmpty = 1e300, withOurs = 1e300;
    for (int r = 0; r < 5; ++r) {
        const double p = MeasureInChild();
        if (p > 0) plain = std::min(plain, p);

        Hooks e = InstallEmpty(empty);
        if (!e.ok()) {
            fprintf(stderr, "empty hooks not installed\n");
            return 1;
        }
        const double pe = MeasureInChild();
        Remove(e);
        if (pe > 0) withEmpty = std::min(withEmpty, pe);

        Hooks o = InstallOurs();
        if (!o.ok()) {
            fprintf(stderr, "Gatrel hooks not installed\n");
            return 1;
        }
        const double po = MeasureInChild();
        Remove(o);
        if (po > 0) withOurs = std::min(withOurs, po);
    }
    printf("posted-message round trip in an ordinary process (best of 5 children)\n");
    bench::Row("no global hooks", plain, plain);
    bench::Row("empty global hook library (vs no hooks)", withEmpty, plain);
    bench::Row("Gatrel.dll global hooks (vs no hooks)", withOurs, plain);
    bench::Row("Gatrel.dll global hooks (vs empty hook library; goal 1.05x)", withOurs, withEmpty);
    return 0;
}
