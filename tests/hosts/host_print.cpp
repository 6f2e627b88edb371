// Print jobs as the applications run them: the printer set up through the
// spooler when asked, the document name that each application gives its
// jobs, pages of the host's own text, and two jobs on two device contexts at
// once.
#include "host_app.h"

#include <winspool.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "host_command.h"
#include "host_library.h"

namespace host {
namespace {

// The document whose name a job carries: the given window's, else the one in
// front, else the last opened.
const Document* JobDocument(const Args& a) {
    const auto& docs = TheApp().docs;
    const HWND wanted = a.Wnd("doc");
    const HWND active = GetActiveWindow();
    const Document* front = nullptr;
    for (const auto& d : docs) {
        if (wanted && d.doc == wanted) return &d;
        if (!wanted && active && (d.frame == active || d.doc == active)) front = &d;
    }
    if (wanted) return nullptr;
    return front ? front : docs.empty() ? nullptr : &docs.back();
}

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The name under which the application prints a document: the word
// processor writes the flag's parentheses as underscores after its own name,
// the presentation program puts its name in front, the others print under
// the file name.
std::string ApplicationJobName(const std::string& fileName) {
    switch (TheApp().profile.kind) {
        case AppKind::Word: {
            std::string name = fileName;
            const size_t open = name.find('('), close = name.find(')');
            if (open != std::string::npos) name[open] = '_';
            if (close != std::string::npos) name[close] = '_';
            return "Microsoft Word - " + name;
        }
        case AppKind::PowerPoint: return "Microsoft PowerPoint - " + fileName;
        default: return fileName;
    }
}

std::string JobName(const Args& a) {
    if (a.Has("job")) return a.Str("job");
    const Document* d = JobDocument(a);
    return ApplicationJobName(d ? FileNameOf(d->path) : "Document1");
}

std::wstring PrinterOf(const Args& a, const char* key) {
    std::wstring printer = Widen(a.Str(key));
    if (printer.empty()) {
        wchar_t name[512] = {};
        DWORD n = 512;
        if (GetDefaultPrinterW(name, &n)) printer = name;
    }
    return printer;
}

// As an application sets a printer up before it prints: the spooler's
// printer, its document properties (the printer's DEVMODE), then a device
// context with them.
struct PrinterSetup {
    BOOL opened = FALSE;
    LONG props = -1;
    std::vector<BYTE> devmode;
};

PrinterSetup SetUpPrinter(const std::wstring& printer, HWND owner) {
    PrinterSetup s;
    HANDLE h = nullptr;
    s.opened = OpenPrinterW(const_cast<wchar_t*>(printer.c_str()), &h, nullptr);
    if (!s.opened) return s;
    std::wstring device = printer;
    const LONG size = DocumentPropertiesW(owner, h, device.data(), nullptr, nullptr, 0);
    if (size > 0) {
        s.devmode.assign(static_cast<size_t>(size), 0);
        s.props = DocumentPropertiesW(owner, h, device.data(), reinterpret_cast<DEVMODEW*>(s.devmode.data()),
                                      nullptr, DM_OUT_BUFFER);
        if (s.props != IDOK) s.devmode.clear();
    } else {
        s.props = size;
    }
    ClosePrinter(h);
    return s;
}

// One job on a device context of its own; its reply fields carry prefix.
struct Job {
    std::string prefix;
    std::wstring printer;
    std::string name, output;
    HDC dc = nullptr;
    int started = 0;
    DWORD startError = 0;
};

// How a job is paged and ended (via=):
//   (default)  StartDocW (ansi=1: StartDocA), StartPage, EndPage, EndDoc (end=abort: AbortDoc)
//   escape     Escape STARTDOC (which begins the first page), NEWFRAME ends each page (the next
//              begins with its first drawing), ENDDOC (end=abort: ABORTDOC)
//   extescape  the same escapes through ExtEscape
//   band       StartDocW, each page as one band: Escape NEXTBAND gives the band, the page is
//              drawn, NEXTBAND again ends the page; EndDoc
//   extband    the same bands through ExtEscape
enum class Via { kCalls, kEscape, kExtEscape, kBand, kExtBand };

Via ViaOf(const Args& a) {
    const std::string v = a.Str("via");
    if (v == "escape") return Via::kEscape;
    if (v == "extescape") return Via::kExtEscape;
    if (v == "band") return Via::kBand;
    if (v == "extband") return Via::kExtBand;
    return Via::kCalls;
}

int JobEscape(Via via, HDC dc, int escape, int inSize, const char* in, void* out) {
    if (via == Via::kExtEscape || via == Via::kExtBand) return ExtEscape(dc, escape, inSize, in, 0, static_cast<LPSTR>(out));
    return Escape(dc, escape, inSize, in, out);
}

// The document name in a page that faults once when first read
// (guardname=1), as a name whose memory the system pages in on demand.
class GuardedName {
public:
    explicit GuardedName(const std::wstring& name) {
        mem_ = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (!mem_) return;
        const size_t n = std::min<size_t>(name.size(), 2000);
        memcpy(mem_, name.c_str(), n * sizeof(wchar_t));
        static_cast<wchar_t*>(mem_)[n] = L'\0';
        DWORD old = 0;
        VirtualProtect(mem_, 4096, PAGE_READWRITE | PAGE_GUARD, &old);
    }
    ~GuardedName() {
        if (mem_) VirtualFree(mem_, 0, MEM_RELEASE);
    }
    const wchar_t* get() const { return static_cast<const wchar_t*>(mem_); }

private:
    void* mem_ = nullptr;
};

// A device context whose handle is wanted. Handles are a table slot (low
// word) with a count of the slot's reuses: device contexts are made and kept
// until one lands in the slot, which is then deleted and made again until its
// count comes round.
HDC WithHandle(HDC dc, HDC wanted, const std::wstring& printer, const DEVMODEW* dm) {
    const auto slot = [](HDC h) { return reinterpret_cast<uintptr_t>(h) & 0xFFFF; };
    std::vector<HDC> held;
    for (int i = 0; i < 4096 && dc && slot(dc) != slot(wanted); ++i) {
        held.push_back(dc);
        dc = CreateDCW(nullptr, printer.c_str(), nullptr, dm);
    }
    for (int i = 0; i < 1024 && dc && dc != wanted && slot(dc) == slot(wanted); ++i) {
        DeleteDC(dc);
        dc = CreateDCW(nullptr, printer.c_str(), nullptr, dm);
    }
    for (HDC h : held) DeleteDC(h);
    return dc;
}

HFONT BodyFont(HDC dc) {
    const int points = 12;
    return CreateFontW(-MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, 0, 0, 0,
                       DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial");
}

class JobRunner {
public:
    JobRunner(const Args& a, Reply& r) : a_(a), r_(r) {}

    bool Create(Job& job) {
        std::vector<BYTE> devmode;
        if (a_.Flag("props")) {
            const PrinterSetup s = SetUpPrinter(job.printer, GetActiveWindow());
            r_.Set(job.prefix + "opened", s.opened);
            r_.Set(job.prefix + "props", s.props);
            devmode = s.devmode;
        }
        r_.Set(job.prefix + "printer", Narrow(job.printer));
        const DEVMODEW* dm = devmode.empty() ? nullptr : reinterpret_cast<DEVMODEW*>(devmode.data());
        job.dc = CreateDCW(nullptr, job.printer.c_str(), nullptr, dm);
        // reuse=0x..: a device context with that handle value, as an
        // application gets one some time after an earlier one was deleted.
        if (a_.Has("reuse") && job.dc) {
            job.dc = WithHandle(job.dc, reinterpret_cast<HDC>(a_.Wnd("reuse")), job.printer, dm);
            r_.Set(job.prefix + "reused", job.dc == reinterpret_cast<HDC>(a_.Wnd("reuse")));
        }
        r_.Set(job.prefix + "createdc", job.dc != nullptr);
        r_.Set(job.prefix + "dc", HexOf(reinterpret_cast<HWND>(job.dc)));
        if (!job.dc) r_.Set(job.prefix + "err", static_cast<long long>(GetLastError()));
        return job.dc != nullptr;
    }

    void Start(Job& job) {
        SetLastError(0);
        const Via via = ViaOf(a_);
        if (via == Via::kEscape || via == Via::kExtEscape) {
            // The name is the escape's input; the output name travels in a
            // DOCINFOA as its output data.
            DOCINFOA di{};
            di.cbSize = sizeof di;
            di.lpszOutput = job.output.empty() ? nullptr : job.output.c_str();
            job.started = JobEscape(via, job.dc, STARTDOC, static_cast<int>(job.name.size()), job.name.c_str(),
                                    job.output.empty() ? nullptr : &di);
        } else if (a_.Flag("nulldoc")) {
            job.started = StartDocW(job.dc, nullptr);
        } else if (a_.Flag("ansi")) {
            DOCINFOA di{};
            di.cbSize = sizeof di;
            di.lpszDocName = a_.Flag("nullname") ? nullptr : job.name.c_str();
            di.lpszOutput = job.output.empty() ? nullptr : job.output.c_str();
            job.started = StartDocA(job.dc, &di);
        } else {
            const std::wstring wname = Widen(job.name), wout = Widen(job.output);
            const GuardedName guarded(wname);
            DOCINFOW di{};
            di.cbSize = sizeof di;
            di.lpszDocName = a_.Flag("nullname") ? nullptr : a_.Flag("guardname") ? guarded.get() : wname.c_str();
            di.lpszOutput = job.output.empty() ? nullptr : wout.c_str();
            job.started = StartDocW(job.dc, &di);
        }
        job.startError = GetLastError();
        r_.Set(job.prefix + "job", job.name);
        r_.Set(job.prefix + "startdoc", job.started);
        r_.Set(job.prefix + "err", static_cast<long long>(job.started > 0 ? 0 : job.startError));
        if (job.started > 0 && a_.Flag("again")) {
            // A second start while the job runs, as a confused application might.
            DOCINFOW again{};
            again.cbSize = sizeof again;
            const std::wstring wname = Widen(job.name);
            again.lpszDocName = wname.c_str();
            SetLastError(0);
            r_.Set(job.prefix + "startdoc2", StartDocW(job.dc, &again));
            r_.Set(job.prefix + "err2", static_cast<long long>(GetLastError()));
        }
    }

    void BeginPage(Job& job, int page) {
        if (job.started <= 0) return;
        const Via via = ViaOf(a_);
        if (via == Via::kCalls) {
            r_.Set(job.prefix + "startpage" + std::to_string(page), StartPage(job.dc));
        } else if (via == Via::kBand || via == Via::kExtBand) {
            RECT band{};
            r_.Set(job.prefix + "band" + std::to_string(page), JobEscape(via, job.dc, NEXTBAND, 0, nullptr, &band));
        }
        // The escapes' pages begin by themselves.
    }

    void DrawPage(Job& job, int page) {
        if (job.started <= 0) return;
        HFONT font = BodyFont(job.dc);
        HGDIOBJ old = SelectObject(job.dc, font);
        SetBkMode(job.dc, TRANSPARENT);
        const std::wstring body = Widen(a_.Str("text", "Printed by the test host"));
        const int lineHeight = MulDiv(18, GetDeviceCaps(job.dc, LOGPIXELSY), 72);
        const int lines = static_cast<int>(a_.Num("lines", 1));
        for (int i = 0; i < lines; ++i) {
            const std::wstring line =
                lines == 1 ? body : body + L" (page " + std::to_wstring(page + 1) + L", line " + std::to_wstring(i + 1) + L")";
            TextOutW(job.dc, 200, 200 + i * lineHeight, line.c_str(), static_cast<int>(line.size()));
        }
        SelectObject(job.dc, old);
        DeleteObject(font);
    }

    void FinishPage(Job& job, int page) {
        if (job.started <= 0) return;
        const Via via = ViaOf(a_);
        int ended;
        if (via == Via::kCalls) {
            ended = EndPage(job.dc);
        } else if (via == Via::kBand || via == Via::kExtBand) {
            RECT band{};  // the empty band after the page's one: the page ends
            ended = JobEscape(via, job.dc, NEXTBAND, 0, nullptr, &band);
        } else {
            ended = JobEscape(via, job.dc, NEWFRAME, 0, nullptr, nullptr);
        }
        r_.Set(job.prefix + "endpage" + std::to_string(page), ended);
    }

    // enddoc (default), deletedc (the device context goes without EndDoc),
    // abort (AbortDoc, then the device context goes) or keep (the job stays
    // open on its device context, for jobstep).
    void Finish(Job& job) {
        const std::string end = a_.Str("end", "enddoc");
        if (end == "keep") return;
        const Via via = ViaOf(a_);
        const bool escapes = via == Via::kEscape || via == Via::kExtEscape;
        if (job.started > 0) {
            if (end == "abort")
                r_.Set(job.prefix + "abortdoc",
                       escapes ? JobEscape(via, job.dc, ABORTDOC, 0, nullptr, nullptr) : AbortDoc(job.dc));
            else if (end != "deletedc")
                r_.Set(job.prefix + "enddoc",
                       escapes ? JobEscape(via, job.dc, ENDDOC, 0, nullptr, nullptr) : EndDoc(job.dc));
        }
        DeleteDC(job.dc);
    }

private:
    const Args& a_;
    Reply& r_;
};

void PrintOnce(const Args& a, Reply& r) {
    // The second job of pair=1 prints the same pages under job2 (default:
    // the first job's name) on printer2 (default: the first printer), its
    // reply fields prefixed "b.": the two jobs' calls alternate on one thread.
    std::vector<Job> jobs(a.Flag("pair") ? 2 : 1);
    jobs[0].printer = PrinterOf(a, "printer");
    jobs[0].name = JobName(a);
    jobs[0].output = a.Str("output");
    if (jobs.size() == 2) {
        jobs[1].prefix = "b.";
        jobs[1].printer = a.Has("printer2") ? PrinterOf(a, "printer2") : jobs[0].printer;
        jobs[1].name = a.Has("job2") ? a.Str("job2") : jobs[0].name;
        jobs[1].output = a.Str("output2");
    }
    JobRunner run(a, r);
    for (Job& job : jobs)
        if (!run.Create(job)) return;
    for (Job& job : jobs) run.Start(job);
    const int pages = static_cast<int>(a.Num("pages", 1));
    for (int i = 0; i < pages; ++i) {
        for (Job& job : jobs) run.BeginPage(job, i);
        for (Job& job : jobs) run.DrawPage(job, i);
        for (Job& job : jobs) run.FinishPage(job, i);
    }
    for (Job& job : jobs) run.Finish(job);
}

}  // namespace

void DoPrint(const Args& a, Reply& r) {
    // repeat=N: the whole job N times; the reply is the last one's.
    const long long repeat = std::max<long long>(1, a.Num("repeat", 1));
    for (long long n = 0; n < repeat; ++n) {
        Reply once;
        PrintOnce(a, once);
        if (n + 1 == repeat) r = once;
    }
}

// jobstep dc=0x.. op=startdoc|startpage|endpage|enddoc|abortdoc|deletedc|draw (name=): one call
// on a device context kept by print end=keep.
void DoJobStep(const Args& a, Reply& r) {
    HDC dc = reinterpret_cast<HDC>(a.Wnd("dc"));
    const std::string op = a.Str("op");
    SetLastError(0);
    int ret = 0;
    if (op == "startdoc") {
        const std::wstring name = Widen(a.Str("name", "step job"));
        DOCINFOW di{};
        di.cbSize = sizeof di;
        di.lpszDocName = name.c_str();
        ret = StartDocW(dc, &di);
    } else if (op == "startpage") {
        ret = StartPage(dc);
    } else if (op == "endpage") {
        ret = EndPage(dc);
    } else if (op == "enddoc") {
        ret = EndDoc(dc);
    } else if (op == "abortdoc") {
        ret = AbortDoc(dc);
    } else if (op == "deletedc") {
        ret = DeleteDC(dc);
    } else {
        return r.Fail("jobstep: op startdoc, startpage, endpage, enddoc, abortdoc or deletedc");
    }
    r.Set("err", static_cast<long long>(GetLastError()));
    r.Set("ret", ret);
}

// spooljob printer= output= datatype=: a job of the application's own through the spooler:
// OpenPrinterW, StartDocPrinterW (DOC_INFO_1W with the output name), a few bytes, EndDocPrinter.
void DoSpoolJob(const Args& a, Reply& r) {
    std::wstring printer = PrinterOf(a, "printer");
    HANDLE h = nullptr;
    const BOOL opened = OpenPrinterW(printer.data(), &h, nullptr);
    r.Set("opened", opened);
    if (!opened) return;
    std::wstring name = Widen(a.Str("job", "spooled by the test host")), output = Widen(a.Str("output"));
    std::wstring type = Widen(a.Str("datatype", "RAW"));
    DOC_INFO_1W di{name.data(), a.Has("output") ? output.data() : nullptr, type.data()};
    SetLastError(0);
    const DWORD job = StartDocPrinterW(h, 1, reinterpret_cast<BYTE*>(&di));
    r.Set("job", static_cast<long long>(job));
    r.Set("err", static_cast<long long>(job ? 0 : GetLastError()));
    if (job) {
        const char data[] = "%!PS\n/Helvetica findfont 12 scalefont setfont 72 720 moveto (spooled) show showpage\n";
        DWORD written = 0;
        WritePrinter(h, const_cast<char*>(data), sizeof data - 1, &written);
        r.Set("written", static_cast<long long>(written));
        r.Set("enddoc", EndDocPrinter(h));
    }
    ClosePrinter(h);
}

// printstate: the need-watermark set's size and the bytes the process's heaps hold.
void DoPrintState(const Args&, Reply& r) {
    const GatrelDiagnostics* t = TheLibrary().table;
    if (!t) return r.Fail("Gatrel.dll or its diagnostic table is missing (command gatrel)");
    r.Set("need", static_cast<long long>(t->NeedPrintWaterCount()));
    HANDLE heaps[256];
    const DWORD n = std::min<DWORD>(GetProcessHeaps(256, heaps), 256);
    long long busy = 0;
    for (DWORD i = 0; i < n; ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY e{};
        while (HeapWalk(heaps[i], &e))
            if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) busy += e.cbData;
        HeapUnlock(heaps[i]);
    }
    r.Set("heap", busy);
}

void DoPrinterSetup(const Args& a, Reply& r) {
    const PrinterSetup s = SetUpPrinter(PrinterOf(a, "printer"), a.Has("wnd") ? a.Wnd("wnd") : GetActiveWindow());
    r.Set("opened", s.opened);
    r.Set("props", s.props);
}

void DoPrintFlag(const Args& a, Reply& r) {
    const GatrelDiagnostics* t = TheLibrary().table;
    if (!t) return r.Fail("Gatrel.dll or its diagnostic table is missing (command gatrel)");
    r.Set("flag", t->GetPrintDocZelFlag(a.Str("name")));
    r.Set("job", JobName(a));
}

}  // namespace host
