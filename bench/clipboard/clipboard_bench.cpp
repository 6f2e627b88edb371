// GetClipboardData(CF_TEXT) through the clipboard guard's replacement against
// the unhooked call, which a process without the library makes:
//  - an ordinary process: ordinary content (the call passes on), and content
//    withheld from a protected document (the refusal: a null handle, the
//    system not asked);
//  - the word processor (WINWORD.EXE) holding the document in front: ordinary
//    content, and its own withheld content (the kept handle comes back).
// The document's letters alternate between "CP" (its copy is ordinary content)
// and "P" (its copy is withheld) from round to round, the three programs live
// through the whole run, and each ratio is the median over the rounds of the
// ratio to the unhooked call measured in the same round. All programs run on
// one processor (bench/one_processor.h).
//   argv[1] rounds (default 15), argv[2] calls per measurement (default 500)
#include <windows.h>

#include "bench/bench_util.h"
#include "bench/doc_record.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/line_child.h"
#include "bench/one_processor.h"
#include "tests/support/library_view.h"

using bench::Field;
using bench::LineChild;

namespace {

constexpr DWORD kRecordOwner = 0x7B3F;

using bench::Median;
using Row = bench::RoundRow;

void DropClipboard() {
    // Through this process's replacement: drops any withheld state too.
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 15;
    const int calls = argc > 2 ? std::max(10, atoi(argv[2])) : 500;
    const std::string measure = "measure " + std::to_string(calls) + " 3";
    const std::string load = "load " + testing_support::ExeDir() + "Gatrel.dll";
    const int cpu = bench::KeepOnOneProcessor();
    testlib::Store store;
    store.DelHookInfo(kRecordOwner);
    DropClipboard();

    Row plain{"unhooked call (a process without the library)"};
    Row ordPass{"ordinary process, replacement, ordinary content"};
    Row ordRefused{"ordinary process, replacement, withheld content (refused)"};
    Row wordPass{"word processor, replacement, ordinary content"};
    Row wordKept{"word processor, replacement, its own withheld content (kept)"};
    std::string problem;
    int rowsOrd = -1, rowsWord = -1;
    {
        LineChild bare, ord, word;
        if (!bare.Start("clipboard_probe.exe", "") || !ord.Start("clipboard_probe.exe", "") ||
            !word.Start("bench\\clipboard\\WINWORD.EXE", "--word")) {
            fprintf(stderr, "a probe did not start\n");
            return 1;
        }
        rowsOrd = static_cast<int>(Field(ord.Ask(load), "rows"));
        rowsWord = static_cast<int>(Field(word.Ask(load), "rows"));
        const HWND doc = bench::WindowField(word.ReadyLine(), "doc");
        const _ZEL_HOOK_INFO_ rec =
            bench::DocRecord(word.Pid(), kRecordOwner, doc, 1, "CP", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
        store.AddHookInfo(&rec);

        for (int r = 0; r < rounds && problem.empty(); ++r) {
            // Ordinary content: the document may be copied from.
            store.SetHookInfo(kRecordOwner, "CP");
            const double set = Field(word.Ask("put"), "set");
            if (set <= 0 || store.GetProtectedContent()) {
                problem = "the copy with the copy right was withheld";
                break;
            }
            const std::string b = bare.Ask(measure);
            const std::string o = ord.Ask(measure);
            const std::string w = word.Ask(measure);
            if (Field(b, "ret") <= 0 || Field(o, "ret") <= 0 || Field(w, "ret") <= 0) {
                problem = "ordinary content did not paste";
                break;
            }
            // The word processor's desktop hooks may bring the library into
            // any program that handles messages; the baseline must not have it.
            if (Field(b, "library") != 0) {
                problem = "the baseline probe got the library";
                break;
            }
            const double base = Field(b, "ns");
            plain.Add(base, base);
            ordPass.Add(Field(o, "ns"), base);
            wordPass.Add(Field(w, "ns"), base);

            // Withheld content: without the copy right.
            store.SetHookInfo(kRecordOwner, "P");
            const double kept = Field(word.Ask("put"), "set");
            if (!store.GetProtectedContent() || !store.IsClipOwner(doc, word.Pid()) ||
                Field(word.Ask("formats"), "formats") != 0) {
                problem = "the copy without the copy right was not withheld";
                break;
            }
            const std::string wk = word.Ask(measure);
            const std::string oref = ord.Ask(measure);
            if (Field(wk, "ret") != kept) problem = "the owner did not get its kept handle (" + wk + ")";
            if (Field(oref, "ret") != 0) problem = "another process got withheld content (" + oref + ")";
            wordKept.Add(Field(wk, "ns"), base);
            ordRefused.Add(Field(oref, "ns"), base);
        }
        bare.Quit();
        ord.Quit();
        word.Quit();
        store.DelHookInfo(kRecordOwner);
        DropClipboard();
    }
    if (!problem.empty()) {
        fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }

    printf("GetClipboardData(CF_TEXT); ns: median of %d rounds (best of 3 runs of %d calls);\n"
           "ratio: median over the rounds of the ratio to the unhooked call of the round\n",
           rounds, calls);
    bench::PrintProcessorNote(cpu);
    printf("rows attached at load: ordinary process %d, word processor %d\n", rowsOrd, rowsWord);
    for (const Row* row : {&plain, &ordPass, &ordRefused, &wordPass, &wordKept}) row->Print();
    return 0;
}
