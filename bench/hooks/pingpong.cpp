// An ordinary GUI program that measures a posted-message round trip on its own
// thread: post a message to its window, take it from the queue, dispatch it.
// Prints "ns=<best nanoseconds per round trip>".
//   argv[1] round trips per round, argv[2] rounds
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "bench/bench_util.h"

namespace {

LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_APP) return 0;
    return DefWindowProcA(w, m, wp, lp);
}

}  // namespace

int main(int argc, char** argv) {
    const int iters = argc > 1 ? atoi(argv[1]) : 20000;
    const int rounds = argc > 2 ? atoi(argv[2]) : 5;
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "GatrelPingPong";
    RegisterClassA(&wc);
    HWND wnd = CreateWindowExA(0, wc.lpszClassName, "pingpong", WS_OVERLAPPED, 0, 0, 10, 10,
                               nullptr, nullptr, wc.hInstance, nullptr);
    if (!wnd) return 2;
    MSG msg;
    auto roundTrip = [&] {
        PostMessageA(wnd, WM_APP, 0, 0);
        GetMessageA(&msg, nullptr, 0, 0);
        DispatchMessageA(&msg);
    };
    // Whatever hook library is installed comes in with the first messages.
    for (int i = 0; i < 2000; ++i) roundTrip();
    const double ns = bench::NsPerCall(roundTrip, iters, rounds);
    printf("ns=%.1f\n", ns);
    fflush(stdout);
    DestroyWindow(wnd);
    return 0;
}
