// The word processor (built as WINWORD.EXE, its window chain with the document
// in front) timing CreateFileW + CloseHandle in its own process, with or
// without Gatrel.dll loaded, as the lines on its standard input say; each
// command is answered with one line.
// At start it prints "ready doc=0x.. pid=..". Commands:
//   load <path>           loads the library; answers "module=0x.. rows=<rows attached>"
//   measure N R <path>    the best of R rounds of N opens (OPEN_ALWAYS) and
//                         closes of path; answers "ns=<per pair> ok=<1 when
//                         every open succeeded> library=<1 when Gatrel.dll
//                         was in the process>"
//   quit, or the end of the input: ends the program
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "bench/bench_util.h"
#include "bench/word_windows.h"
#include "host/diagnostics.h"

namespace {

LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

unsigned long Hex(const void* p) {
    return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p));
}

int AttachedRows(HMODULE lib) {
    const GatrelDiagnostics* table = DiagnosticTableOf(lib);
    return table ? table->HookReport(nullptr, 0) : -1;
}

std::wstring Wide(const char* s) {
    std::wstring w(strlen(s) + 1, L'\0');
    w.resize(MultiByteToWideChar(CP_ACP, 0, s, -1, &w[0], static_cast<int>(w.size())) - 1);
    return w;
}

}  // namespace

int main() {
    const bench::WordWindows w =
        bench::CreateWordWindows(Proc, "(ZEL-0001)plan.doc - Microsoft Word");
    if (!w.ok()) return 2;
    printf("ready doc=0x%lx pid=%lu\n", Hex(w.doc),
           static_cast<unsigned long>(GetCurrentProcessId()));
    fflush(stdout);
    char line[MAX_PATH * 2];
    char answer[128];
    while (fgets(line, sizeof line, stdin)) {
        line[strcspn(line, "\r\n")] = 0;
        if (strncmp(line, "load ", 5) == 0) {
            HMODULE lib = LoadLibraryA(line + 5);
            snprintf(answer, sizeof answer, "module=0x%lx rows=%d", Hex(lib),
                     lib ? AttachedRows(lib) : -1);
        } else if (strncmp(line, "measure ", 8) == 0) {
            int iters = 0, rounds = 0, used = 0;
            sscanf(line + 8, "%d %d %n", &iters, &rounds, &used);
            const std::wstring path = Wide(line + 8 + used);
            bool ok = true;
            const double ns = bench::NsPerCall(
                [&] {
                    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
                    if (h == INVALID_HANDLE_VALUE)
                        ok = false;
                    else
                        CloseHandle(h);
                },
                iters, rounds);
            snprintf(answer, sizeof answer, "ns=%.1f ok=%d library=%d", ns, ok ? 1 : 0,
                     GetModuleHandleA("Gatrel.dll") ? 1 : 0);
        } else {
            break;
        }
        printf("%s\n", answer);
        fflush(stdout);
    }
    DestroyWindow(w.frame);
    return 0;
}
