#pragma once
// A print queue of the prefix for tests: Wine's PostScript driver with a PPD,
// a port that is a shell command (run through /bin/sh in the printing
// process's Unix environment; it ends before EndDoc returns). Tests that add
// one hold the "printers" lock and remove it again when they end.
#include <windows.h>
#include <winspool.h>

#include <string>

namespace testing_support {

// Adds the driver (ppd: a Windows path; the driver takes its own copy) and
// the printer, unless a printer of that name exists.
inline bool AddWinePrinter(const char* name, const char* driver, const std::string& ppd,
                           const std::string& port) {
    HANDLE h = nullptr;
    if (OpenPrinterA(const_cast<char*>(name), &h, nullptr)) {
        ClosePrinter(h);
        return true;
    }
    std::string data = ppd;
    DRIVER_INFO_3A di{};
    di.cVersion = 3;
    di.pName = const_cast<char*>(driver);
    di.pDriverPath = const_cast<char*>("wineps.drv");
    di.pDataFile = data.data();
    di.pConfigFile = const_cast<char*>("wineps.drv");
    di.pDefaultDataType = const_cast<char*>("RAW");
    // With APD_COPY_NEW_FILES alone Wine leaves the PPD behind, and the
    // printer's device contexts cannot be made.
    if (!AddPrinterDriverExA(nullptr, 3, reinterpret_cast<BYTE*>(&di),
                             APD_COPY_ALL_FILES | APD_COPY_FROM_DIRECTORY))
        return false;
    std::string command = port;
    PRINTER_INFO_2A pi{};
    pi.pPrinterName = const_cast<char*>(name);
    pi.pPortName = command.data();
    pi.pDriverName = di.pName;
    pi.pPrintProcessor = const_cast<char*>("WinPrint");
    pi.pDatatype = const_cast<char*>("RAW");
    h = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&pi));
    if (!h) return false;
    ClosePrinter(h);
    return true;
}

inline void RemoveWinePrinter(const char* name, const char* driver) {
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSA access{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (OpenPrinterA(const_cast<char*>(name), &printer, &access)) {
        DeletePrinter(printer);
        ClosePrinter(printer);
    }
    DeletePrinterDriverA(nullptr, nullptr, const_cast<char*>(driver));
}

}  // namespace testing_support
