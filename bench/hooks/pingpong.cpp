// A GUI program that measures posted-message round trips on its own thread:
// post a message to its window, take it from the queue, dispatch it. It does
// what the lines on its standard input say and answers each with one line, so
// that the benchmark can change the desktop's hooks between measurements
// while the process lives on.
//   no argument    an ordinary program with one window
//   --word         (built as WINWORD.EXE) the word processor's window chain
//                  with the document in front
//   --pdf          (built as ACROBAT.EXE, version 9) the PDF application's
//                  document window with its view in front
// At start it prints "ready doc=0x.. pid=..". Commands:
//   warm           2000 WM_APP round trips, through which a newly installed
//                  hook library comes in; answers "gatrel=0|1"
//   copy           brings the document to the front and copies a text from it (withheld by the library
//                  when the document may not be copied from); answers
//                  "set=0|1 formats=<CountClipboardFormats afterwards>"
//   measure N R    the best of R rounds of N round trips of each message: a
//                  key press, a left click (press and release) and a pointer
//                  move on the editing pane (the messages on which the message
//                  hook's rules look at the document), and WM_APP; and the
//                  creation and destruction of a named child window (which the
//                  CBT hook sees); answers
//                  "key=<ns> click=<ns> move=<ns> app=<ns> create=<ns>"
//   quit, or the end of the input: ends the program
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/bench_util.h"
#include "bench/word_windows.h"

namespace {

LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_APP || m == WM_KEYDOWN || m == WM_LBUTTONDOWN || m == WM_LBUTTONUP || m == WM_MOUSEMOVE) return 0;
    return DefWindowProcA(w, m, wp, lp);
}

void RoundTrip(HWND wnd, UINT message, WPARAM wp, LPARAM lp) {
    MSG msg;
    PostMessageA(wnd, message, wp, lp);
    GetMessageA(&msg, nullptr, 0, 0);
    DispatchMessageA(&msg);
}

bool CopyText(HWND owner, const char* text) {
    if (!OpenClipboard(owner)) return false;
    EmptyClipboard();
    const size_t n = strlen(text) + 1;
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, n);
    if (void* p = GlobalLock(mem)) {
        memcpy(p, text, n);
        GlobalUnlock(mem);
    }
    const bool set = SetClipboardData(CF_TEXT, mem) != nullptr;
    CloseClipboard();
    return set;
}

struct Windows {
    HWND top = nullptr;     // destroyed at the end
    HWND doc = nullptr;     // named in the ready line
    HWND target = nullptr;  // receives the measured messages
};

// Version 9 of the PDF application: one "AcrobatSDIWindow" per document
// (the window a record names) with its view inside, in front.
Windows MakePdfWindows() {
    HINSTANCE inst = GetModuleHandleA(nullptr);
    bench::RegisterWindowClasses(Proc, {"AcrobatSDIWindow", "AVL_AVView"});
    Windows w;
    w.top = w.doc = CreateWindowExA(0, "AcrobatSDIWindow", "(ZEL-0002)terms.pdf - Adobe Acrobat",
                                    WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 400, 300, nullptr, nullptr, inst, nullptr);
    if (!w.top) return w;
    w.target = CreateWindowExA(0, "AVL_AVView", "", WS_CHILD | WS_VISIBLE, 0, 0, 380, 260, w.top, nullptr, inst,
                               nullptr);
    bench::SettleInFront(w.top, w.target);
    return w;
}

Windows MakeWindows(bool word, bool pdf) {
    Windows w;
    if (word) {
        bench::WordWindows ww = bench::CreateWordWindows(Proc, "(ZEL-0001)plan.doc - Microsoft Word");
        if (ww.ok()) w = {ww.frame, ww.doc, ww.pane};
        return w;
    }
    if (pdf) return MakePdfWindows();
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "GatrelPingPong";
    RegisterClassA(&wc);
    w.top = CreateWindowExA(0, wc.lpszClassName, "pingpong", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                            nullptr, wc.hInstance, nullptr);
    w.doc = w.target = w.top;
    return w;
}

void Answer(const char* fmt, double a = 0, double b = 0, double c = 0, double d = 0, double e = 0) {
    printf(fmt, a, b, c, d, e);
    printf("\n");
    fflush(stdout);
}

// A child control made and destroyed, as dialogs and toolbars do all the time.
void CreateAndDestroy(HWND parent) {
    HWND c = CreateWindowExA(0, "Button", "OK", WS_CHILD, 0, 0, 60, 20, parent, nullptr, GetModuleHandleA(nullptr),
                             nullptr);
    DestroyWindow(c);
}

}  // namespace

int main(int argc, char** argv) {
    const bool word = argc > 1 && strcmp(argv[1], "--word") == 0;
    const bool pdf = argc > 1 && strcmp(argv[1], "--pdf") == 0;
    const Windows w = MakeWindows(word, pdf);
    if (!w.target) return 2;
    printf("ready doc=0x%lx pid=%lu\n", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(w.doc)),
           static_cast<unsigned long>(GetCurrentProcessId()));
    fflush(stdout);
    char line[128];
    while (fgets(line, sizeof line, stdin)) {
        if (strncmp(line, "warm", 4) == 0) {
            for (int i = 0; i < 2000; ++i) RoundTrip(w.target, WM_APP, 0, 0);
            Answer("gatrel=%.0f", GetModuleHandleA("gatrel") != nullptr ? 1 : 0);
        } else if (strncmp(line, "copy", 4) == 0) {
            if (word || pdf) bench::SettleInFront(w.top, w.target);
            const bool set = CopyText(w.doc, "quarterly figures");
            Answer("set=%.0f formats=%.0f", set, CountClipboardFormats());
        } else if (strncmp(line, "measure", 7) == 0) {
            int iters = 2000, rounds = 3;
            sscanf(line + 7, "%d %d", &iters, &rounds);
            // The programs are measured in turns: each brings its document to
            // the front first, as the user works in one at a time.
            if (word || pdf) bench::SettleInFront(w.top, w.target);
            const LPARAM at = MAKELPARAM(40, 30);
            const double key = bench::NsPerCall(
                [&] { RoundTrip(w.target, WM_KEYDOWN, 'A', 1); }, iters, rounds);
            const double click = bench::NsPerCall(
                [&] {
                    RoundTrip(w.target, WM_LBUTTONDOWN, MK_LBUTTON, at);
                    RoundTrip(w.target, WM_LBUTTONUP, 0, at);
                },
                iters, rounds);
            const double move = bench::NsPerCall(
                [&] { RoundTrip(w.target, WM_MOUSEMOVE, 0, at); }, iters, rounds);
            const double app =
                bench::NsPerCall([&] { RoundTrip(w.target, WM_APP, 0, 0); }, iters, rounds);
            const double create = bench::NsPerCall([&] { CreateAndDestroy(w.target); }, iters / 10 + 1, rounds);
            Answer("key=%.1f click=%.1f move=%.1f app=%.1f create=%.1f", key, click, move, app, create);
        } else {
            break;
        }
    }
    DestroyWindow(w.top);
    return 0;
}
