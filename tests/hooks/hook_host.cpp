// A plain GUI program that never loads Gatrel.dll itself: the library can only
// reach it through the desktop's window hooks. It answers questions about
// itself through its window so that tests can watch from outside.
//   argv[1]  window title (default "Gatrel hook host")
//   argv[2]  window class (default host_protocol::kWindowClass)
#include <windows.h>

#include "host/diagnostics.h"

#include "tests/hooks/host_protocol.h"

namespace {

LONG g_pings = 0;
HWND g_main = nullptr;
const char* g_class = host_protocol::kWindowClass;

LRESULT CALLBACK HostProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case host_protocol::kAskLibraryLoaded:
            return GetModuleHandleA("gatrel") != nullptr ? 1 : 0;
        case host_protocol::kPing:
            ++g_pings;
            return 0;
        case host_protocol::kAskPings:
            return g_pings;
        case host_protocol::kMakeWindow: {
            HWND extra = CreateWindowExA(0, g_class, "extra", WS_OVERLAPPED, 0,
                                         0, 50, 50, nullptr, nullptr, GetModuleHandleA(nullptr),
                                         nullptr);
            if (!extra) return 0;
            DestroyWindow(extra);
            return 1;
        }
        case host_protocol::kAskAttachedRows: {
            const GatrelDiagnostics* table = DiagnosticTableOf(GetModuleHandleA("gatrel"));
            return table ? table->HookReport(nullptr, 0) : -1;
        }
        case WM_DESTROY:
            if (wnd == g_main) PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(wnd, msg, wParam, lParam);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const char* title = argc > 1 ? argv[1] : "Gatrel hook host";
    if (argc > 2) g_class = argv[2];
    WNDCLASSA wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = g_class;
    if (!RegisterClassA(&wc)) return 2;
    g_main = CreateWindowExA(0, g_class, title, WS_OVERLAPPEDWINDOW, 10, 10,
                             200, 100, nullptr, nullptr, wc.hInstance, nullptr);
    if (!g_main) return 3;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
