// CreateFileW + CloseHandle in the word processor through the file guard's
// replacement against the unhooked pair, which a word processor without the
// library makes:
//  - an ordinary file, the protected document in front (its process has a
//    record): the guard must let the call pass at next to no cost;
//  - the same with no record for the process;
//  - a working file of the document (~WRL0001.tmp), which the replacement
//    opens under its redirected name in the protected area, against the
//    unhooked open of that name in a user's folder (another one: a file
//    already there under the name would be the one the replacement opens),
//    and against the unhooked open of the redirected name itself: under Wine
//    an upper-case path (the protected area's names are upper case) costs a
//    case-blind search of every folder on the way, which Windows does not pay.
// Both programs live through the whole run; each ratio is the median over the
// rounds of the ratio to the unhooked pair measured in the same round. All
// programs run on one processor (bench/one_processor.h).
//   argv[1] rounds (default 15), argv[2] pairs per measurement (default 400)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "bench/doc_record.h"
#include "bench/line_child.h"
#include "bench/one_processor.h"
#include "tests/support/library_view.h"

using bench::Field;
using bench::LineChild;
using bench::Median;
using Row = bench::RoundRow;

namespace {

constexpr DWORD kRecordOwner = 0x7B41;

std::string UserFolder() {
    char tmp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, tmp);
    const std::string dir = std::string(tmp) + "gatrel_file_bench";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 15;
    const int pairs = argc > 2 ? std::max(10, atoi(argv[2])) : 400;
    const std::string measure = "measure " + std::to_string(pairs) + " 3 ";
    const int cpu = bench::KeepOnOneProcessor();
    const std::string user = UserFolder();
    const std::string ordinary = user + "\\plan-notes.txt", working = user + "\\~WRL0001.tmp";
    const std::string bareFolder = user + "\\bare", bareWorking = bareFolder + "\\~WRL0001.tmp";
    CreateDirectoryA(bareFolder.c_str(), nullptr);
    testlib::Store store;
    store.DelHookInfo(kRecordOwner);

    Row unhooked{"unhooked pair, ordinary file"};
    Row withRecord{"replacement, ordinary file, protected document in front"};
    Row noRecord{"replacement, ordinary file, process without a record"};
    Row redirected{"replacement, working file opened in the protected area"};
    Row redirectedPlain{"  the same against the unhooked open of the redirected name"};
    std::string problem, redirectedName, redirectedPath;
    int rows = -1;
    {
        LineChild bare, word;
        if (!bare.Start("bench\\file\\WINWORD.EXE", "") || !word.Start("bench\\file\\WINWORD.EXE", "")) {
            fprintf(stderr, "a probe did not start\n");
            return 1;
        }
        rows = static_cast<int>(Field(word.Ask("load " + testing_support::ExeDir() + "Gatrel.dll"), "rows"));
        const HWND doc = bench::WindowField(word.ReadyLine(), "doc");
        const _ZEL_HOOK_INFO_ rec =
            bench::DocRecord(word.Pid(), kRecordOwner, doc, 1, "P", "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
        char root[MAX_PATH] = {};
        GetEnvironmentVariableA("GATREL_ROOT", root, sizeof root);
        std::string area = "Z:" + std::string(root) + "\\ZELFILETEMP\\";
        std::replace(area.begin(), area.end(), '/', '\\');
        CharUpperBuffA(&area[0], static_cast<DWORD>(area.size()));
        // The working file's name in PROTECTPATH, once the first open made it.
        auto findRedirected = [&] {
            const std::string tail = std::to_string(word.Pid()) + ".WTM";
            WIN32_FIND_DATAA fd;
            HANDLE h = FindFirstFileA((area + "PROTECTPATH\\~WRL0001*").c_str(), &fd);
            if (h == INVALID_HANDLE_VALUE) return;
            do {
                const std::string n = fd.cFileName;
                if (n.size() > tail.size() && n.compare(n.size() - tail.size(), tail.size(), tail) == 0)
                    redirectedName = "PROTECTPATH\\" + n;
            } while (FindNextFileA(h, &fd));
            FindClose(h);
            redirectedPath = area + redirectedName;
        };

        for (int r = 0; r < rounds && problem.empty(); ++r) {
            store.AddHookInfo(&rec);
            const std::string b = bare.Ask(measure + ordinary);
            const std::string w = word.Ask(measure + ordinary);
            const std::string wt = word.Ask(measure + working);
            if (redirectedName.empty()) findRedirected();
            const std::string bt = bare.Ask(measure + bareWorking);
            const std::string br = bare.Ask(measure + redirectedPath);
            store.DelHookInfo(kRecordOwner);
            const std::string wn = word.Ask(measure + ordinary);
            for (const std::string* a : {&b, &w, &bt, &wt, &br, &wn})
                if (Field(*a, "ok") != 1) problem = "an open failed: " + *a;
            // The word processor's desktop hooks may bring the library into
            // any program that handles messages; the baseline must not have it.
            for (const std::string* a : {&b, &bt, &br})
                if (Field(*a, "library") != 0) problem = "the baseline probe got the library";
            if (redirectedName.empty()) problem = "the working file is not in PROTECTPATH";
            const double base = Field(b, "ns");
            unhooked.Add(base, base);
            withRecord.Add(Field(w, "ns"), base);
            noRecord.Add(Field(wn, "ns"), base);
            redirected.Add(Field(wt, "ns"), Field(bt, "ns"));
            redirectedPlain.Add(Field(wt, "ns"), Field(br, "ns"));
        }
        bare.Quit();
        word.Quit();
    }
    DeleteFileA(ordinary.c_str());
    DeleteFileA(working.c_str());
    DeleteFileA(bareWorking.c_str());
    RemoveDirectoryA(bareFolder.c_str());
    if (!redirectedPath.empty()) DeleteFileA(redirectedPath.c_str());
    RemoveDirectoryA(user.c_str());
    if (!problem.empty()) {
        fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    printf(
        "CreateFileW(OPEN_ALWAYS) + CloseHandle in WINWORD.EXE; ns: median of %d rounds (best of\n"
        "3 runs of %d pairs); ratio: median over the rounds of the ratio to the unhooked pair of\n"
        "the round (the working file: to the unhooked open of its own name)\n",
        rounds, pairs);
    bench::PrintProcessorNote(cpu);
    printf("rows attached at load: %d; the working file went to ...\\ZELFILETEMP\\%s\n", rows,
           redirectedName.c_str());
    for (const Row* row : {&unhooked, &withRecord, &noRecord, &redirected, &redirectedPlain}) row->Print();
    return 0;
}
