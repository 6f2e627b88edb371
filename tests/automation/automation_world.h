#pragma once
// The automation tests' world: the test COM server registered in the prefix
// under the office applications' program ids and class ids and the chart
// server's class id, and the results the tests read.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "host_client.h"

namespace autotest {

constexpr const char* kChartServer = "{00020803-0000-0000-C000-000000000046}";
constexpr const char* kSpreadsheetApp = "{00024500-0000-0000-C000-000000000046}";
constexpr const char* kWordApp = "{000209FF-0000-0000-C000-000000000046}";
constexpr const char* kPowerPointApp = "{91493441-5A91-11CF-8700-00AA0060263B}";

// Results as the hosts write them.
constexpr const char* kOk = "0x00000000";
constexpr const char* kClassNotReg = "0x80040154";  // REGDB_E_CLASSNOTREG
constexpr const char* kNoInterface = "0x80004002";  // E_NOINTERFACE
constexpr const char* kUnexpected = "0x8000ffff";   // E_UNEXPECTED
constexpr const char* kUnavailable = "0x800401e3";  // MK_E_UNAVAILABLE: nothing running
constexpr const char* kDrop = "0x00040100";         // DRAGDROP_S_DROP
constexpr const char* kCancel = "0x00040101";       // DRAGDROP_S_CANCEL
constexpr const char* kNull = "0x00000000";

inline bool SetText(const std::string& key, const char* name, const std::string& value) {
    HKEY k;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr))
        return false;
    const LONG e = RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                  static_cast<DWORD>(value.size() + 1));
    RegCloseKey(k);
    return e == ERROR_SUCCESS;
}

// Registers the server for the four classes and the three program ids.
inline bool RegisterServer() {
    const char* bin = getenv("GATREL_BIN");
    if (!bin) return false;
    const std::string dll = hosts::HostClient::WinPath(bin) + "\\GatrelTestServer.dll";
    bool ok = true;
    for (const char* clsid : {kChartServer, kSpreadsheetApp, kWordApp, kPowerPointApp}) {
        const std::string key = std::string("Software\\Classes\\CLSID\\") + clsid + "\\InprocServer32";
        ok = SetText(key, nullptr, dll) && SetText(key, "ThreadingModel", "Apartment") && ok;
    }
    ok = SetText("Software\\Classes\\Word.Application\\CLSID", nullptr, kWordApp) && ok;
    ok = SetText("Software\\Classes\\Excel.Application\\CLSID", nullptr, kSpreadsheetApp) && ok;
    ok = SetText("Software\\Classes\\PowerPoint.Application\\CLSID", nullptr, kPowerPointApp) && ok;
    return ok;
}

inline void UnregisterServer() {
    for (const char* clsid : {kChartServer, kSpreadsheetApp, kWordApp, kPowerPointApp})
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string("Software\\Classes\\CLSID\\") + clsid).c_str());
    for (const char* progId : {"Word.Application", "Excel.Application", "PowerPoint.Application"})
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string("Software\\Classes\\") + progId).c_str());
}

}  // namespace autotest
