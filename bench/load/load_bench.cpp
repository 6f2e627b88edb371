// Time to load Gatrel.dll into a program while 8 other threads of the process
// work, against loading a trivial DLL into the same program, in two programs:
//  - the word processor (WINWORD.EXE): process attach makes the document
//    object and installs every row of the hook tables, loading the modules
//    those rows live in;
//  - an ordinary program (PLAINAPP.EXE, the same probe under another name):
//    what every other GUI process of the desktop pays when the global hooks
//    bring the library in.
// Each load runs in a new process (Gatrel.dll pins itself); the DLLs take
// turns.
//  - cold: the process holds only what a program with windows needs (the
//    window manager's libraries), so loading Gatrel.dll also loads the
//    modules it needs at load;
//  - warm: the process already holds every module the library may load
//    (imported or delay-loaded), as the word processor does.
// Times are medians over the rounds; each difference is the median of the
// differences within a round. All programs run on one processor
// (bench/one_processor.h).
//   argv[1] rounds (default 10)
#include <windows.h>

#include "bench/bench_util.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/line_child.h"
#include "bench/one_processor.h"

using bench::Field;
using testing_support::ChildProcess;
using testing_support::ExeDir;

namespace {

using bench::Median;

// The system libraries the library imports delay-loaded (from the build).
#ifndef GATREL_DELAY_DLLS
#define GATREL_DELAY_DLLS ""
#endif

struct Load {
    double ms = -1;
    int rows = -1;
    int doc = -1;
};

Load LoadInNewProcess(const std::string& program, const std::string& dll, bool warm) {
    Load l;
    ChildProcess child;
    std::string cmd = "\"" + ExeDir() + program + "\" \"" + dll + "\" --threads=8";
    if (warm) cmd += " \"--preload=" + ExeDir() + "Gatrel.dll\" \"--preload-also=" GATREL_DELAY_DLLS "\"";
    if (!child.Start(cmd)) return l;
    child.CloseInput();
    if (child.Wait(60000) != 0) return l;
    const std::string out = child.Output();
    l.ms = Field(out, "ms");
    l.rows = static_cast<int>(Field(out, "rows"));
    l.doc = static_cast<int>(Field(out, "doc"));
    return l;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    const int cpu = bench::KeepOnOneProcessor();
    const std::string trivial = ExeDir() + "InterceptBenchTrivial.dll";
    const std::string gatrel = ExeDir() + "Gatrel.dll";
    struct Program {
        const char* name;
        const char* path;
    } programs[] = {{"word processor (WINWORD.EXE)", "bench\\load\\WINWORD.EXE"},
                    {"ordinary program (PLAINAPP.EXE)", "bench\\load\\plain\\PLAINAPP.EXE"}};

    printf("LoadLibraryA with 8 other threads working; ms: median of %d loads, each in a new\n"
           "process; added: median over the rounds of the difference within a round\n",
           rounds);
    bench::PrintProcessorNote(cpu);
    for (const Program& program : programs) {
        for (bool warm : {false, true}) {
            std::vector<double> tr, ga, diff;
            int rows = -1, doc = -1;
            for (int r = 0; r < rounds; ++r) {
                // The DLLs take turns going first.
                Load t, g;
                if (r % 2) {
                    g = LoadInNewProcess(program.path, gatrel, warm);
                    t = LoadInNewProcess(program.path, trivial, warm);
                } else {
                    t = LoadInNewProcess(program.path, trivial, warm);
                    g = LoadInNewProcess(program.path, gatrel, warm);
                }
                if (t.ms < 0 || g.ms < 0) {
                    fprintf(stderr, "a load failed\n");
                    return 1;
                }
                tr.push_back(t.ms);
                ga.push_back(g.ms);
                diff.push_back(g.ms - t.ms);
                rows = g.rows;
                doc = g.doc;
            }
            printf("%s, %s:\n", program.name,
                   warm ? "warm (every module the library may load already loaded)"
                        : "cold (only the program's own modules loaded)");
            printf("  %-52s %9.3f ms\n", "trivial DLL", Median(tr));
            printf("  %-52s %9.3f ms   (document object %s, %d rows attached)\n", "Gatrel.dll", Median(ga),
                   doc == 1 ? "made" : "none", rows);
            printf("  %-52s %9.3f ms   (%.1fx the trivial DLL)\n", "added by Gatrel.dll", Median(diff),
                   Median(tr) > 0 ? Median(ga) / Median(tr) : 0.0);
        }
    }
    return 0;
}
