// Posted-message round trip without global hooks, with an empty global hook
// library, and with Gatrel.dll's global hooks, for a key press, a click (press
// and release), a pointer move and WM_APP, and the creation of a named child
// window (which the CBT hook sees):
//  - in an ordinary process;
//  - in the word processor (WINWORD.EXE) with a protected document ("P") in
//    front whose copied text the library withholds, so that the message hook's
//    clipboard check does its whole work on every key press and click, and the
//    document's key rules look the document up on every key;
//  - in the PDF application (ACROBAT.EXE, version 9) with a protected
//    document ("P") in front: key rules, button tracking, creation rules.
// One child of each kind lives through the whole run; the desktop's hooks are
// changed between its measurements, in turns, so that drift of the machine
// touches every configuration alike: the figures are medians over the rounds,
// each ratio the median of the ratios measured within one round. All programs
// run on one processor (bench/one_processor.h).
// A hook library, once in a process, stays there; while its hook is removed
// it is not called, and neither library replaces anything on the measured path.
// Everything runs on a desktop of this program's own: its hooks reach only
// these children, and nothing of them outlives the run.
//   argv[1] rounds (default 10), argv[2] round trips per measurement (default 1000)
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
#include "store/gatrel_interface.h"
#include "tests/support/library_view.h"
#include "tests/hooks/host_window.h"

using bench::Field;
using bench::LineChild;
using testing_support::Desktop;
using testing_support::ExeDir;

namespace {

// Owner key of the benchmark's record: the controller's process id in the field.
constexpr DWORD kRecordOwner = 0x7B3E;
constexpr DWORD kPdfRecordOwner = 0x7B3F;

enum Hooking { kNone, kEmpty, kOurs, kHookings };
const char* const kHookingNames[kHookings] = {"no global hooks", "empty hook library",
                                              "Gatrel.dll hooks"};

class HookSet {
public:
    explicit HookSet(HMODULE emptyLib) : emptyLib_(emptyLib) {}
    ~HookSet() { Remove(); }

    bool Install(Hooking kind) {
        Remove();
        if (kind == kNone) return true;
        if (kind == kEmpty) {
            msg_ = SetWindowsHookExA(WH_GETMESSAGE, Proc("EmptyGetMsgProc"), emptyLib_, 0);
            cbt_ = SetWindowsHookExA(WH_CBT, Proc("EmptyCbtProc"), emptyLib_, 0);
        } else {
            msg_ = ::StartHook(GetModuleHandleA("gatrel"));
            cbt_ = CHookInterface::instance().StartCBTHook();
        }
        return msg_ && cbt_;
    }
    void Remove() {
        if (msg_) UnhookWindowsHookEx(msg_);
        if (cbt_) UnhookWindowsHookEx(cbt_);
        msg_ = cbt_ = nullptr;
    }

private:
    HOOKPROC Proc(const char* name) const {
        auto p = reinterpret_cast<HOOKPROC>(
            GetProcAddress(emptyLib_, (std::string(name) + "@12").c_str()));
        return p ? p : reinterpret_cast<HOOKPROC>(GetProcAddress(emptyLib_, name));
    }
    HMODULE emptyLib_;
    HHOOK msg_ = nullptr;
    HHOOK cbt_ = nullptr;
};

using bench::Median;

// Per configuration, the figures of every round.
struct Series {
    std::vector<double> ns[kHookings];

    double Typical(Hooking h) const { return Median(ns[h]); }
    // Median over the rounds of the ratio measured within each round.
    double PairedRatio(Hooking h, Hooking base) const {
        std::vector<double> r;
        for (size_t i = 0; i < ns[h].size() && i < ns[base].size(); ++i)
            if (ns[h][i] > 0 && ns[base][i] > 0) r.push_back(ns[h][i] / ns[base][i]);
        return Median(r);
    }
    void Print(const char* what, const char* goal) const {
        char label[96];
        for (Hooking h : {kNone, kEmpty, kOurs}) {
            snprintf(label, sizeof label, "%s, %s%s", what, kHookingNames[h],
                     h == kNone ? "" : " (vs none)");
            Line(label, Typical(h), PairedRatio(h, kNone));
        }
        snprintf(label, sizeof label, "%s, Gatrel.dll vs empty hook library (goal %s)", what, goal);
        Line(label, Typical(kOurs), PairedRatio(kOurs, kEmpty));
    }
    static void Line(const char* what, double ns, double ratio) {
        printf("  %-62s %10.1f ns   %6.2fx\n", what, ns, ratio);
    }
};

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    const int iters = argc > 2 ? std::max(10, atoi(argv[2])) : 1000;
    const int cpu = bench::KeepOnOneProcessor();
    HMODULE empty = LoadLibraryA((ExeDir() + "EmptyHook.dll").c_str());
    if (!empty) {
        fprintf(stderr, "EmptyHook.dll not found\n");
        return 1;
    }
    testlib::Store store;
    store.DelHookInfo(kRecordOwner);
    store.DelHookInfo(kPdfRecordOwner);

    Desktop home = Desktop::Current();
    Desktop desk = Desktop::Private("GatrelRoundTrip" + std::to_string(GetCurrentProcessId()));
    if (!home.Ready() || !desk.Ready() || !SetThreadDesktop(desk.Handle())) {
        fprintf(stderr, "no private desktop (%lu)\n", GetLastError());
        return 1;
    }

    // Per process and message kind.
    enum Kind { kKey, kClick, kMove, kApp, kCreate, kKinds };
    const char* const kKindFields[kKinds] = {"key", "click", "move", "app", "create"};
    const char* const kKindNames[kKinds] = {"key press", "left click (press, release)", "pointer move", "WM_APP",
                                            "child window made and destroyed"};
    Series ordinary[kKinds], wordDoc[kKinds], pdfDoc[kKinds];
    bool keptBefore = false, keptAfter = false;
    std::string problem;
    {
        HookSet hooks(empty);
        LineChild ordinaryChild, word, pdf;
        if (!ordinaryChild.Start("hook_pingpong.exe", "", &desk) ||
            !word.Start("bench\\hooks\\WINWORD.EXE", "--word", &desk) ||
            !pdf.Start("bench\\hooks\\ACROBAT.EXE", "--pdf", &desk)) {
            problem = "a ping-pong child did not start";
        }
        const HWND doc = bench::WindowField(word.ReadyLine(), "doc");
        if (problem.empty()) {
            auto record = [&](LineChild& child, DWORD owner, uint8_t type, const char* path) {
                const _ZEL_HOOK_INFO_ rec =
                    bench::DocRecord(child.Pid(), owner, bench::WindowField(child.ReadyLine(), "doc"), type, "P", path);
                store.AddHookInfo(&rec);
            };
            record(word, kRecordOwner, 1, "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc");
            record(pdf, kPdfRecordOwner, 4, "C:\\ZELFILETEMP\\(ZEL-0002)terms.pdf");
            // Both libraries come into every child before anything is timed.
            for (Hooking h : {kEmpty, kOurs}) {
                if (!hooks.Install(h)) problem = "hooks not installed";
                for (LineChild* c : {&ordinaryChild, &word, &pdf}) c->Ask("warm");
            }
            for (LineChild* c : {&ordinaryChild, &word, &pdf})
                if (Field(c->Ask("warm"), "gatrel") != 1) problem = "Gatrel.dll did not come in through the hooks";
            const std::string copy = word.Ask("copy");
            keptBefore = store.GetProtectedContent() && store.IsClipOwner(doc, word.Pid());
            if (Field(copy, "set") != 1 || Field(copy, "formats") != 0 || !keptBefore)
                problem = "the document's copy was not withheld (" + copy + ")";
        }
        const std::string measure = "measure " + std::to_string(iters) + " 1";
        for (int r = 0; r < rounds && problem.empty(); ++r) {
            // The configurations take turns starting a round.
            for (int k = 0; k < kHookings; ++k) {
                const Hooking h = static_cast<Hooking>((r + k) % kHookings);
                if (!hooks.Install(h)) {
                    problem = "hooks not installed";
                    break;
                }
                const std::string o = ordinaryChild.Ask(measure.c_str());
                const std::string w = word.Ask(measure.c_str());
                const std::string p = pdf.Ask(measure.c_str());
                for (int k = 0; k < kKinds; ++k) {
                    ordinary[k].ns[h].push_back(Field(o, kKindFields[k]));
                    wordDoc[k].ns[h].push_back(Field(w, kKindFields[k]));
                    pdfDoc[k].ns[h].push_back(Field(p, kKindFields[k]));
                }
            }
        }
        hooks.Remove();
        keptAfter = store.GetProtectedContent() && store.IsClipOwner(doc, word.Pid());
        ordinaryChild.Quit();
        word.Quit();
        pdf.Quit();
        store.DelHookInfo(kRecordOwner);
        store.DelHookInfo(kPdfRecordOwner);
        // Through this process's replacement: drops the withheld state too.
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            CloseClipboard();
        }
    }
    SetThreadDesktop(home.Handle());
    if (!problem.empty()) {
        fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }

    printf("posted-message round trip; ns: median of %d measurements of %d round trips;\n"
           "ratio: median over the %d rounds of the ratio within each round\n",
           rounds, iters, rounds);
    bench::PrintProcessorNote(cpu);
    printf("ordinary process:\n");
    for (int k = 0; k < kKinds; ++k) ordinary[k].Print(kKindNames[k], "1.05x");
    printf("word processor, protected document \"P\" in front, its copy withheld:\n");
    for (int k = 0; k < kKinds; ++k) wordDoc[k].Print(kKindNames[k], "1.2x");
    printf("PDF application, protected document \"P\" in front:\n");
    for (int k = 0; k < kKinds; ++k) pdfDoc[k].Print(kKindNames[k], "1.2x");
    printf("  withheld copy owned by the document: before the rounds %s, after them %s\n",
           keptBefore ? "yes" : "no", keptAfter ? "yes" : "no");
    return 0;
}
