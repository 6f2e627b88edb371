#include "companions/demo/print_demo.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "companions/demo/demo_steps.h"
#include "tests/print/print_world.h"

namespace {

printworld::OutputFolder& Output() {
    static printworld::OutputFolder folder("demo", true);
    return folder;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(' ') != std::string::npos) lines.push_back(line.substr(line.find_first_not_of(' ')));
    }
    return lines;
}

// Text extraction reads the watermark's two passes, drawn at the same place,
// as every letter twice: shown once.
std::string Undoubled(const std::string& line) {
    std::string once;
    for (size_t i = 0; i + 1 < line.size(); i += 2) {
        if (line[i] != line[i + 1]) return line;
        once += line[i];
    }
    return once;
}

// Where the word processor's refusal boxes are recorded: its own environment says.
std::string BoxRecord(hosts::HostClient& word) {
    return word.Call("kernel32.dll", "GetEnvironmentVariableA", {"s:ZELMSGBOX_RECORD", "b:260", "i:260"}).Str("outs1");
}

size_t BoxCount(const std::string& record) { return record.empty() ? 0 : Lines(ReadAll(record)).size(); }

// The text of the box after the first `before` ones, waiting a moment for the
// message thread that shows it.
std::string NextBox(const std::string& record, size_t before) {
    for (int i = 0; i < 60 && !record.empty(); ++i) {
        const std::vector<std::string> lines = Lines(ReadAll(record));
        if (lines.size() > before) {
            const std::string& line = lines[before];
            const size_t at = line.find("text=");
            return at == std::string::npos ? line : line.substr(at + 5, line.find('\t', at) - at - 5);
        }
        Sleep(50);
    }
    return "";
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

hosts::Params PrintDemoEnvironment(hosts::Params env) {
    for (auto& entry : Output().Environment(100, true)) env.push_back(entry);
    return env;
}

bool DemoPrinting(hosts::HostClient& word, HWND doc, ControllerProcess& zelctl) {
    bool all = true;
    const DWORD owner = word.Pid();
    const std::string boxes = BoxRecord(word);
    const bool printers = printworld::InstallPrinters();
    all &= Record("the test printers are installed",
                  printers ? Quoted(printworld::kOfficePrinter) + ", " + Quoted(printworld::kPdfPrinter) +
                                 " (driver with PDF in its name)"
                           : "not installed",
                  printers);
    if (!printers) return false;
    Output().Clear();
    std::string out = zelctl.Run("water layout=L size=0 opacity=96 lines=3 text=\"CONFIDENTIAL ${date} ${time}\"");
    all &= Record("zelctl sets the watermark", out, out.find("water") != std::string::npos);
    // The controller counts the prints through its event.
    HANDLE counted = CreateEventA(nullptr, FALSE, FALSE, ("PrintEventOfZEL" + std::to_string(owner)).c_str());

    word.Activate(doc);
    const hosts::Reply printed = word.Send("print", {{"printer", printworld::kOfficePrinter}, {"lines", "40"},
                                                     {"text", "Q3 plan: close the Lyon office"}}, 120000);
    const bool count = WaitForSingleObject(counted, 0) == WAIT_OBJECT_0;
    const std::vector<printworld::PrintedJob> jobs = Output().Jobs();
    const bool onePage = jobs.size() == 1 && jobs[0].pages.size() == 1;
    all &= Record("print the document to " + Quoted(printworld::kOfficePrinter),
                  printed.Num("startdoc") > 0 && onePage ? std::string("printed, 1 page") + (count ? ", counted" : "")
                                                         : "not printed: " + printed.error,
                  printed.Num("startdoc") > 0 && onePage && count);
    if (onePage) {
        const std::string png = jobs[0].file.substr(0, jobs[0].file.rfind('.')) + "-1.png";
        const std::string unix = Output().UnixPath() + "/" + png.substr(png.rfind('\\') + 1);
        bool watermarked = false;
        printf("     the page as printed: %s\n     its text (first lines and the watermark's):\n", unix.c_str());
        const std::vector<std::string> lines = Lines(jobs[0].text);
        for (size_t i = 0; i < lines.size(); ++i) {
            const std::string once = Undoubled(lines[i]);
            const bool mark = once != lines[i];
            watermarked |= mark && once.find("CONFIDENTIAL") != std::string::npos;
            if (i < 2 || mark) printf("       %s%s\n", once.c_str(), mark ? "   <- watermark, grey under and black over" : "");
        }
        all &= Record("the page carries the watermark", watermarked ? "yes, over the page's own text" : "no",
                      watermarked);
    }

    // The printed page stays for people to look at; refused jobs add none.
    const size_t printedJobs = Output().Jobs().size();
    // The virtual-printer message shares its once-a-second count with the
    // save-as message of the demo's save part.
    Sleep(1100);
    size_t shown = BoxCount(boxes);
    const hosts::Reply virt = word.Send("print", {{"printer", printworld::kPdfPrinter}}, 120000);
    const bool virtRefused = virt.Num("startdoc") <= 0 && Output().Jobs().size() == printedJobs &&
                             WaitForSingleObject(counted, 0) == WAIT_TIMEOUT;
    all &= Record("print it to " + Quoted(printworld::kPdfPrinter) + " (virtual)",
                  virtRefused ? "refused: " + Quoted(NextBox(boxes, shown)) : "printed", virtRefused);
    shown = BoxCount(boxes);

    out = zelctl.Run("letters owner=" + std::to_string(owner) + " Q");
    const hosts::Reply used = word.Send("print", {{"printer", printworld::kOfficePrinter}}, 120000);
    const bool usedRefused = used.Num("startdoc") <= 0 && Output().Jobs().size() == printedJobs;
    all &= Record("letters \"Q\" (print count used up), print again",
                  usedRefused ? "refused: " + Quoted(NextBox(boxes, shown)) : "printed", usedRefused);
    CloseHandle(counted);
    return all;
}
