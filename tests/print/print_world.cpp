#include "tests/print/print_world.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "tests/hooks/wine_printer.h"

namespace printworld {

namespace {

constexpr const char* kPostScriptDriver = "Gatrel PostScript Driver";
constexpr const char* kPdfDriver = "Gatrel PDF Writer";

std::string Env(const char* name) {
    const char* v = getenv(name);
    return v ? v : "";
}

std::string WindowsFormOf(const std::string& unix) {
    std::string p = "Z:" + unix;
    std::replace(p.begin(), p.end(), '/', '\\');
    return p;
}

// The port: the script beside the programs, with the default folder.
std::string Port(const char* kind) {
    return "|sh '" + Env("GATREL_BIN") + "/print-port.sh' " + kind + " '" + Env("GATREL_ROOT") + "/print'";
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The file port: a Unix path, which Wine's spooler opens and writes.
std::string FilePortUnixPath() { return Env("GATREL_ROOT") + "/print/fileport.prn"; }

bool g_installed = false;

struct Removal {
    ~Removal() {
        if (g_installed) RemovePrinters();
    }
} g_removal;

}  // namespace

bool InstallPrinters() {
    if (g_installed) return true;
    const std::string ppd = WindowsFormOf(Env("GATREL_BIN")) + "\\water_printer.ppd";
    const struct {
        const char* name;
        const char* driver;
        const char* kind;
        std::string comment;
    } printers[] = {
        {kOfficePrinter, kPostScriptDriver, "ps", ""},
        {kPdfPrinter, kPdfDriver, "pdf", "Writes PDF files"},
        {kArchivePrinter, kPdfDriver, "pdf", std::string(kArchiveCommentBytes, 'c')},
        {kFilePortPrinter, kPostScriptDriver, nullptr, ""},
    };
    g_installed = true;
    CreateDirectoryA(WindowsFormOf(Env("GATREL_ROOT") + "/print").c_str(), nullptr);
    for (const auto& p : printers) {
        const std::string port = p.kind ? Port(p.kind) : FilePortUnixPath();
        if (!testing_support::AddWinePrinter(p.name, p.driver, ppd, port, p.comment)) {
            fprintf(stderr, "cannot install the printer %s (error %lu)\n", p.name, GetLastError());
            return false;
        }
    }
    return true;
}

void RemovePrinters() {
    for (const char* name : {kOfficePrinter, kPdfPrinter, kArchivePrinter, kFilePortPrinter}) {
        HANDLE printer = nullptr;
        PRINTER_DEFAULTSA access{nullptr, nullptr, PRINTER_ALL_ACCESS};
        if (OpenPrinterA(const_cast<char*>(name), &printer, &access)) {
            DeletePrinter(printer);
            ClosePrinter(printer);
        }
    }
    for (const char* driver : {kPostScriptDriver, kPdfDriver})
        DeletePrinterDriverA(nullptr, nullptr, const_cast<char*>(driver));
    g_installed = false;
}

std::string FilePortOutput() { return WindowsFormOf(FilePortUnixPath()); }

OutputFolder::OutputFolder(const std::string& label, bool keep)
    : unix_(Env("GATREL_ROOT") + "/print-out/" + label +
            (keep ? std::string() : "-" + std::to_string(GetCurrentProcessId()))),
      windows_(WindowsFormOf(unix_)),
      keep_(keep) {
    CreateDirectoryA(WindowsFormOf(Env("GATREL_ROOT") + "/print-out").c_str(), nullptr);
    CreateDirectoryA(windows_.c_str(), nullptr);
    Clear();
}

OutputFolder::~OutputFolder() {
    if (keep_) return;
    Clear();
    RemoveDirectoryA(windows_.c_str());
}

std::vector<std::pair<std::string, std::string>> OutputFolder::Environment(int renderDpi, bool png) const {
    std::vector<std::pair<std::string, std::string>> env{{"GATREL_PRINT_DIR", unix_}};
    if (renderDpi > 0) env.emplace_back("GATREL_PRINT_RENDER", std::to_string(renderDpi));
    if (png) env.emplace_back("GATREL_PRINT_PNG", "1");
    return env;
}

std::vector<std::string> OutputFolder::Files() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((windows_ + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

void OutputFolder::Clear() const {
    for (const std::string& name : Files()) DeleteFileA((windows_ + "\\" + name).c_str());
}

std::vector<PrintedJob> OutputFolder::Jobs() const {
    std::vector<PrintedJob> jobs;
    const std::vector<std::string> files = Files();
    for (const std::string& name : files) {
        const size_t dot = name.rfind('.');
        if (dot == std::string::npos) continue;
        const std::string stamp = name.substr(0, dot), ext = name.substr(dot);
        if (ext != ".ps" && ext != ".pdf") continue;
        PrintedJob job;
        job.file = windows_ + "\\" + name;
        job.text = ReadAll(windows_ + "\\" + stamp + ".txt");
        // Wine's PostScript fonts name the glyphs of the hyphen and the space
        // so that text extraction reads a soft hyphen and a no-break space.
        for (size_t at; (at = job.text.find("\xC2\xAD")) != std::string::npos;) job.text.replace(at, 2, "-");
        for (size_t at; (at = job.text.find("\xC2\xA0")) != std::string::npos;) job.text.replace(at, 2, " ");
        // <stamp>-<page>.pgm, pages numbered from 1 (perhaps zero-padded).
        std::map<int, std::string> pages;
        for (const std::string& other : files) {
            if (other.size() > stamp.size() + 5 && other.compare(0, stamp.size() + 1, stamp + "-") == 0 &&
                other.compare(other.size() - 4, 4, ".pgm") == 0)
                pages[atoi(other.c_str() + stamp.size() + 1)] = windows_ + "\\" + other;
        }
        for (const auto& [number, path] : pages) job.pages.push_back(watertest::ReadPgm(path));
        jobs.push_back(std::move(job));
    }
    return jobs;
}

}  // namespace printworld
