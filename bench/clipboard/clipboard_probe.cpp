// A GUI program that times GetClipboardData(CF_TEXT) in its own process, with
// or without Gatrel.dll loaded, as the lines on its standard input say; each
// command is answered with one line.
//   no argument    an ordinary program with one window
//   --word         (built as WINWORD.EXE) the word processor's window chain
//                  with the document in front
// At start it prints "ready doc=0x.. pid=..". Commands:
//   put            copies a text from the document window (withheld by the
//                  library when the document may not be copied from); answers
//                  "set=0x<handle SetClipboardData returned>"
//   load <path>    loads the library; answers "module=0x.. rows=<rows its
//                  process attach attached>"
//   measure N R    opens the clipboard, then the best of R rounds of N calls;
//                  answers "ns=<per call> ret=0x<handle the call returned>
//                  library=<1 when Gatrel.dll was in the process>"
//   formats        answers "formats=<CountClipboardFormats>"
//   quit, or the end of the input: ends the program
#include <windows.h>

#include "host/diagnostics.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "bench/bench_util.h"
#include "bench/word_windows.h"

namespace {

LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

unsigned long Hex(const void* p) { return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p)); }

HWND MakeDocWindow(bool word) {
    if (word) return bench::CreateWordWindows(Proc, "(ZEL-0001)plan.doc - Microsoft Word").doc;
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "GatrelClipboardProbe";
    RegisterClassA(&wc);
    return CreateWindowExA(0, wc.lpszClassName, "clipboard probe", WS_OVERLAPPED, 0, 0, 10, 10,
                           nullptr, nullptr, wc.hInstance, nullptr);
}

HANDLE Put(HWND owner) {
    static const char text[] = "quarterly figures";
    if (!OpenClipboard(owner)) return nullptr;
    EmptyClipboard();
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, sizeof text);
    if (void* p = GlobalLock(mem)) {
        memcpy(p, text, sizeof text);
        GlobalUnlock(mem);
    }
    HANDLE set = SetClipboardData(CF_TEXT, mem);
    CloseClipboard();
    return set;
}

int AttachedRows(HMODULE lib) {
    const GatrelDiagnostics* table = DiagnosticTableOf(lib);
    return table ? table->HookReport(nullptr, 0) : -1;
}

void Answer(const char* line) {
    printf("%s\n", line);
    fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const bool word = argc > 1 && strcmp(argv[1], "--word") == 0;
    HWND doc = MakeDocWindow(word);
    if (!doc) return 2;
    printf("ready doc=0x%lx pid=%lu\n", Hex(doc), static_cast<unsigned long>(GetCurrentProcessId()));
    fflush(stdout);
    char line[MAX_PATH + 32];
    char answer[128];
    while (fgets(line, sizeof line, stdin)) {
        line[strcspn(line, "\r\n")] = 0;
        if (strcmp(line, "put") == 0) {
            snprintf(answer, sizeof answer, "set=0x%lx", Hex(Put(doc)));
        } else if (strncmp(line, "load ", 5) == 0) {
            HMODULE lib = LoadLibraryA(line + 5);
            snprintf(answer, sizeof answer, "module=0x%lx rows=%d", Hex(lib), lib ? AttachedRows(lib) : -1);
        } else if (strncmp(line, "measure", 7) == 0) {
            int iters = 2000, rounds = 3;
            sscanf(line + 7, "%d %d", &iters, &rounds);
            if (!OpenClipboard(doc)) {
                snprintf(answer, sizeof answer, "ns=-1 open=0");
            } else {
                HANDLE got = GetClipboardData(CF_TEXT);
                const double ns = bench::NsPerCall([&] { got = GetClipboardData(CF_TEXT); }, iters, rounds);
                CloseClipboard();
                snprintf(answer, sizeof answer, "ns=%.1f ret=0x%lx library=%d", ns, Hex(got),
                         GetModuleHandleA("Gatrel.dll") ? 1 : 0);
            }
        } else if (strcmp(line, "formats") == 0) {
            snprintf(answer, sizeof answer, "formats=%d", CountClipboardFormats());
        } else {
            break;
        }
        Answer(answer);
    }
    DestroyWindow(GetAncestor(doc, GA_ROOT));
    return 0;
}
