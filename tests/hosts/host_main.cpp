// Entry point and message loop of the test host.
#include "host_app.h"

#include <shellapi.h>
#include "host_protocol.h"

namespace host {

extern volatile LONG g_inFlight;

App& TheApp() {
    static App app;
    return app;
}

void Event(const std::string& e) {
    auto& ev = TheApp().events;
    if (ev.size() < 10000) ev.push_back(e);
}

std::wstring Widen(const std::string& s) {
    if (s.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::string Narrow(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                        nullptr);
    return s;
}

std::string HexOf(HWND w) { return hostproto::Hex(reinterpret_cast<uintptr_t>(w)); }

HWND ParseWnd(const std::string& s) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(hostproto::ParseNumber(s)));
}

namespace {

bool g_ansiLoop = false;

// As the applications do: the frame's accelerators first, then the MDI
// container's, then the ordinary translation.
void DispatchOne(MSG& msg) {
    App& app = TheApp();
    if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST && app.accel) {
        HWND root = GetAncestor(msg.hwnd, GA_ROOT);
        if (IsHostFrame(root)) {
            const int done = g_ansiLoop ? TranslateAcceleratorA(root, app.accel, &msg)
                                        : TranslateAcceleratorW(root, app.accel, &msg);
            if (done) return;
        }
        if (app.container && TranslateMDISysAccel(app.container, &msg)) return;
    }
    TranslateMessage(&msg);
    if (g_ansiLoop) DispatchMessageA(&msg);
    else DispatchMessageW(&msg);
}

bool GetOne(MSG& msg, bool wait) {
    if (wait) return (g_ansiLoop ? GetMessageA(&msg, nullptr, 0, 0) : GetMessageW(&msg, nullptr, 0, 0)) > 0;
    return g_ansiLoop ? PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)
                      : PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
}

// The shortcuts the guards care about, each with a command id of its own.
HACCEL BuildAccelerators() {
    ACCEL a[] = {
        {FVIRTKEY | FCONTROL, 'P', 0x9001},
        {FVIRTKEY, VK_F12, 0x9002},
        {FVIRTKEY | FCONTROL, 'O', 0x9003},
        {FVIRTKEY | FCONTROL, 'N', 0x9004},
        {FVIRTKEY | FCONTROL, VK_F1, 0x9005},
        {FVIRTKEY | FALT, VK_F11, 0x9006},
        {FVIRTKEY | FCONTROL | FSHIFT, VK_F12, 0x9007},
        {FVIRTKEY | FALT | FSHIFT, VK_F11, 0x9008},
        {FVIRTKEY | FALT | FCONTROL, VK_F2, 0x9009},
        {FVIRTKEY | FALT | FCONTROL, 'L', 0x900A},
        {FVIRTKEY | FCONTROL, 'C', 0x900B},
        {FVIRTKEY | FCONTROL, 'V', 0x900C},
        {FVIRTKEY | FCONTROL, 'S', 0x900D},
        {FVIRTKEY, VK_F1, 0x900E},
    };
    return CreateAcceleratorTableW(a, sizeof a / sizeof a[0]);
}

// The key under HKEY_CURRENT_USER that stands for HKEY_LOCAL_MACHINE in this
// process (a test's own installation settings), before the library loads.
bool UseMachineKey(const std::string& subKey) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Widen(subKey).c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return false;
    const bool ok = RegOverridePredefKey(HKEY_LOCAL_MACHINE, key) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

}  // namespace

void PumpPending(DWORD maxMs) {
    // Runs until the queue has stayed empty for a short while (injected input
    // arrives through the server a little after the call that sent it) or the
    // time is up.
    const DWORD start = GetTickCount();
    DWORD lastMessage = start;
    MSG msg;
    for (;;) {
        while (GetOne(msg, false)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            DispatchOne(msg);
            lastMessage = GetTickCount();
        }
        const DWORD now = GetTickCount();
        if (now - start >= maxMs || now - lastMessage >= 40) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

}  // namespace host

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    using namespace host;
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(Narrow(argv[i]));
    LocalFree(argv);

    App& app = TheApp();
    app.instance = instance;
    app.profile = DetectProfile(args);
    std::string pipe = "\\\\.\\pipe\\gatrel-host-" + std::to_string(GetCurrentProcessId());
    for (const auto& a : args) {
        if (a.rfind("--pipe=", 0) == 0) pipe = a.substr(7);
        if (a == "--ansi-loop") g_ansiLoop = true;
        if (a.rfind("--gdi-watch=", 0) == 0 && !ArmGdiWatch(a.substr(12))) return 3;
        if (a.rfind("--affinity-watch", 0) == 0 && !ArmAffinityWatch(a == "--affinity-watch=ok")) return 3;
        if (a.rfind("--machine-key=", 0) == 0 && !UseMachineKey(a.substr(14))) return 4;
    }
    app.accel = BuildAccelerators();
    RegisterClasses();
    if (!StartPipeServer(pipe)) return 2;
    CreateMainFrame();

    MSG msg;
    int code = 0;
    for (;;) {
        if (!GetOne(msg, true)) {
            code = static_cast<int>(msg.wParam);
            break;
        }
        DispatchOne(msg);
    }
    // Let the connection threads hand out the last replies (quit's above all).
    for (int i = 0; i < 300 && g_inFlight > 0; ++i) Sleep(10);
    return code;
}
