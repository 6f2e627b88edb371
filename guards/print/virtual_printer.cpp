#include "guards/print/virtual_printer.h"

#include <winspool.h>

#include <vector>

#include "support/ansi_text.h"
#include "support/log.h"
#include "support/wide_text.h"

namespace {

// Driver names of programs that print into files, upper case, in test order.
const char* const kVirtualDrivers[] = {
    "PDFFACTORY",
    "SNAGIT 9 PRINTER",
    "MICROSOFT SHARED FAX DRIVER",
    "ADOBE PDF CONVERTER",
    "MICROSOFT OFFICE DOCUMENT IMAGE WRITER DRIVER",
    "MICROSOFT XPS DOCUMENT WRITER",
    "SMART PRINT",
    "BULLZIP PDF PRINTER",
    "PDF",
    "NET-IT-NOW",
    "SOLID PDF",
    "SEND TO MICROSOFT ONENOTE DRIVER",
};

// The printer's information may grow between the size query and the read
// (another program renames it or changes its comment): a few tries.
constexpr int kReadTries = 3;

}  // namespace

bool IsVirtualPrinterDriver(const std::string& driverName) {
    const std::string upper = text::ToUpper(driverName);
    LogInfo("%s", upper.c_str());
    for (const char* entry : kVirtualDrivers)
        if (text::Contains(upper, entry)) return true;
    return false;
}

PrinterFacts ReadPrinterFacts(HANDLE printer) {
    PrinterFacts facts;
    if (!printer) return facts;
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    for (int i = 0; i < kReadTries && needed > 0; ++i) {
        std::vector<BYTE> info(needed, 0);
        if (GetPrinterW(printer, 2, info.data(), needed, &needed)) {
            const auto* pi = reinterpret_cast<const PRINTER_INFO_2W*>(info.data());
            if (pi->pDriverName) facts.driver = text::WideToAnsi(pi->pDriverName);
            if (pi->pPortName) facts.port = pi->pPortName;
            return facts;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    }
    return facts;
}

bool IsVirtualPrinter(HANDLE printer) { return IsVirtualPrinterDriver(ReadPrinterFacts(printer).driver); }
