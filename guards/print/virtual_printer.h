#pragma once
// Virtual printers: drivers that write the page image to a file.
#include <windows.h>

#include <string>

// True when the driver name, upper-cased, contains an entry of the virtual
// printer list (the first match decides; "PDF" alone makes any driver name
// with PDF in it virtual). Writes the upper-cased name to the log.
bool IsVirtualPrinterDriver(const std::string& driverName);

// What the spooler says of a printer (level-2 information, in a buffer as
// large as it says it needs); empty names when it cannot be read.
struct PrinterFacts {
    std::string driver;  // ANSI, as the virtual printer list reads it
    std::wstring port;   // the printer's port, or its ports separated by commas
};
PrinterFacts ReadPrinterFacts(HANDLE printer);

bool IsVirtualPrinter(HANDLE printer);
