#pragma once
// The test world's printers, for the print tests and the demo: Wine print
// queues without a print server, whose port (scripts/print-port.sh, copied
// beside the programs) writes every job into a folder that the printing
// process names in its environment.
//   an ordinary PostScript printer        kOfficePrinter   writes <stamp>.ps
//   a printer whose DRIVER name contains  kPdfPrinter      writes <stamp>.pdf
//     "PDF" (a virtual printer; its own name does not)
//   the same driver, a comment longer than kArchivePrinter writes <stamp>.pdf
//     8,400 bytes
//   an ordinary driver whose port is a  kFilePortPrinter writes FilePortOutput()
//     file's path (a printer that writes a file)
// Installed on first use, removed when the program ends; programs that print
// hold the "printers" lock.
#include <string>
#include <utility>
#include <vector>

#include "tests/watermark/page_pixels.h"

namespace printworld {

constexpr const char* kOfficePrinter = "Gatrel Office Printer";
constexpr const char* kPdfPrinter = "Gatrel Document Writer";
constexpr const char* kArchivePrinter = "Gatrel Archive Writer";
constexpr size_t kArchiveCommentBytes = 9000;
constexpr const char* kFilePortPrinter = "Gatrel File Port Printer";

// The file kFilePortPrinter's port writes, as a Windows path.
std::string FilePortOutput();

// False when the prefix refuses a printer; the reason goes to stderr.
bool InstallPrinters();
// Also at the program's end, when this program installed them.
void RemovePrinters();

// One job's output as the port wrote it.
struct PrintedJob {
    std::string file;                          // Windows path of the .ps or .pdf
    std::string text;                          // its text, UTF-8 (rendered jobs only)
    std::vector<watertest::PagePixels> pages;  // its pages (rendered jobs only)
};

// A folder of its own for the jobs of one printing process, emptied when
// made and removed when it goes; one that is kept is named label alone and
// stays with the last jobs in it.
class OutputFolder {
public:
    explicit OutputFolder(const std::string& label, bool keep = false);
    ~OutputFolder();
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    const std::string& UnixPath() const { return unix_; }
    const std::string& WindowsPath() const { return windows_; }
    // Environment of a process whose jobs land here; renderDpi > 0 has every
    // job's text and pages written too, png adds PNG pages.
    std::vector<std::pair<std::string, std::string>> Environment(int renderDpi, bool png = false) const;
    // The jobs written so far, oldest first.
    std::vector<PrintedJob> Jobs() const;
    // Names of all files in the folder.
    std::vector<std::string> Files() const;
    void Clear() const;

private:
    std::string unix_, windows_;
    bool keep_;
};

}  // namespace printworld
