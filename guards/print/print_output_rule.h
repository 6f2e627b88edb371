#pragma once
// Where a print job's output goes, as the job's description names it: the
// printer, the system's print-to-file port, or a file in a folder.
#include <string>

enum class PrintOutput {
    kPrinter,  // no output name, or a port ("LPT1:", "Ne00:")
    kToFile,   // the print-to-file port: "file:" in any case
    kToFolder  // a file whose folder exists
};

struct PrintOutputCheck {
    PrintOutput where = PrintOutput::kPrinter;
    std::string folder;  // kToFolder: the folder
};

// "file:" anywhere in the name, ignoring case, is the print-to-file port.
// Any other name that is not a port names a file: its folder is that of the
// full path (relative names lie in the current folder, either slash
// separates), and a folder that exists makes the job a print into a file.
PrintOutputCheck CheckPrintOutput(const std::string& strOutput);
