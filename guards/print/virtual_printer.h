#pragma once
// Virtual printers: drivers that write the page image to a file.
#include <windows.h>

#include <string>

// True when the driver name, upper-cased, contains an entry of the virtual
// printer list (the first match decides; "PDF" alone makes any driver name
// with PDF in it virtual). Writes the upper-cased name to the log.
bool IsVirtualPrinterDriver(const std::string& driverName);

// The driver name of the printer (level-2 information, in a buffer as large
// as the spooler says it needs); empty when it cannot be read.
std::string ReadPrinterDriver(HANDLE printer);

bool IsVirtualPrinter(HANDLE printer);
