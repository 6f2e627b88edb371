#pragma once
// Where a print job's output goes: the printer, the system's print-to-file
// port, or a file. Names are read in their wide form, as the caller wrote
// them: a name converted to the ANSI code page may name another folder, or
// none.
#include <windows.h>

#include <string>

enum class PrintOutput {
    kPrinter,  // no output name, or a port ("LPT1:", "USB001", "IP_10.0.0.5", "Ne00:")
    kToFile,   // the print-to-file port: "FILE:" in any case
    kToFolder  // a file whose folder exists
};

struct PrintOutputCheck {
    PrintOutput where = PrintOutput::kPrinter;
    std::wstring folder;  // kToFolder: the folder
};

// A job's output name (DOCINFO's lpszOutput, may be null). "FILE:" anywhere
// in it, ignoring case, is the print-to-file port. A name with a path
// separator or a drive names a file: its folder is that of the full path
// (relative names lie in the current folder), and a folder that exists makes
// the job a print into a file. Any other name is a port and is left to the
// spooler (JobOutputWritesFile).
PrintOutputCheck CheckPrintOutput(const wchar_t* output);

// Whether a printer's port writes a file: "FILE:", or a path (a name with a
// separator or a drive) that is neither a command ("|...") nor a printer
// share ("\\server\printer"). A list of ports ("LPT1:,LPT2:") writes a file
// when one of them does.
bool PortWritesFile(const std::wstring& ports);

// Whether a spooler job's output name (DOC_INFO_1W's pOutputFile, may be
// null) writes a file: a command ("|...") does not, a port that the spooler
// knows is judged as a port, any other name is a file.
bool JobOutputWritesFile(const wchar_t* output);
