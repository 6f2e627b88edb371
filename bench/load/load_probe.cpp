// Built as WINWORD.EXE (and copied as an ordinary program): times one LoadLibraryA of the DLL named on its command
// line while other threads of the process keep working, then prints
// "ms=<load time> rows=<hook-table rows attached, -1 without the report
// export> doc=<1 if the library made a document object, -1 if it cannot say>
// threads=<other threads>".
//   argv[1]           the DLL
//   --preload=<dll>   first loads the modules that DLL imports (an application
//                     that already holds them, as the word processor does)
//   --preload-also=<a.dll;b.dll>  and these modules (those it delay-loads)
//   --threads=<n>     other threads (default 8)
#include <windows.h>

#include "host/diagnostics.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "bench/import_preload.h"

namespace {

std::atomic<bool> g_stop{false};
volatile unsigned g_work;

// An application thread: a little work, a short sleep, over and over.
DWORD WINAPI Worker(LPVOID) {
    while (!g_stop.load()) {
        const double until = bench::NowNs() + 20000;
        unsigned x = 0;
        while (bench::NowNs() < until) x = x * 1664525u + 1013904223u;
        g_work = x;
        Sleep(1);
    }
    return 0;
}

int AttachedRows(HMODULE lib) {
    const GatrelDiagnostics* table = DiagnosticTableOf(lib);
    return table ? table->HookReport(nullptr, 0) : -1;
}

// The library's document object, through its diagnostic table.
int HasDocObject(HMODULE lib) {
    const GatrelDiagnostics* table = DiagnosticTableOf(lib);
    return table ? (table->DocObject() != nullptr ? 1 : 0) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const char* dll = argv[1];
    std::string preload, also;
    int threads = 8;
    for (int i = 2; i < argc; ++i) {
        if (strncmp(argv[i], "--preload=", 10) == 0) preload = argv[i] + 10;
        if (strncmp(argv[i], "--preload-also=", 15) == 0) also = argv[i] + 15;
        if (strncmp(argv[i], "--threads=", 10) == 0) threads = atoi(argv[i] + 10);
    }
    // The global hooks bring the library only into programs with windows,
    // which hold the window manager's libraries, initialised, before any
    // hook runs; their start-up is not the library's to pay.
    for (const char* gui : {"user32.dll", "gdi32.dll", "imm32.dll"}) LoadLibraryA(gui);
    if (!preload.empty()) bench::PreloadImportsOf(preload);
    for (size_t start = 0; start < also.size();) {
        size_t end = also.find(';', start);
        if (end == std::string::npos) end = also.size();
        if (end > start) LoadLibraryA(also.substr(start, end - start).c_str());
        start = end + 1;
    }
    std::vector<HANDLE> workers;
    for (int i = 0; i < threads; ++i) workers.push_back(CreateThread(nullptr, 0, Worker, nullptr, 0, nullptr));
    Sleep(50);

    const double t0 = bench::NowNs();
    HMODULE lib = LoadLibraryA(dll);
    const double t1 = bench::NowNs();

    g_stop = true;
    WaitForMultipleObjects(static_cast<DWORD>(workers.size()), workers.data(), TRUE, INFINITE);
    for (HANDLE h : workers) CloseHandle(h);
    if (!lib) {
        printf("error=%lu\n", GetLastError());
        return 3;
    }
    printf("ms=%.3f rows=%d doc=%d threads=%d\n", (t1 - t0) / 1e6, AttachedRows(lib), HasDocObject(lib),
           threads);
    fflush(stdout);
    return 0;
}
