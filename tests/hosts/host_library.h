#pragma once
// Gatrel.dll as the host meets it: loaded with LoadLibrary (as the system's
// hooks would load it) and reached through its diagnostic table. The host does
// not link the import library, so a host that never loads the library stays
// an ordinary program.
#include <windows.h>

#include <string>

#include "host/diagnostics.h"
#include "host/process_context.h"
#include "identify/common_doc.h"
#include "store/hook_info.h"

namespace host {

struct Library {
    HMODULE module = nullptr;
    CCommonDoc*& (*DocObject)() = nullptr;
    ProcessContext& (*GetProcessContext)() = nullptr;
    void (*CreateDocObject)(const std::string&) = nullptr;
    void (*CreateKORBDocObject)() = nullptr;
    HWND (*FindActiveDocWnd)() = nullptr;
    void (*UpdateKORBDocWnd)() = nullptr;
    int (*GetOSVersion)(int&, int&) = nullptr;
    bool (*IsSaveDlgTitle)(const char*) = nullptr;
    const GatrelDiagnostics* table = nullptr;  // everything else the commands use
    std::string missing;  // what was not found, comma separated
};

Library& TheLibrary();
// Loads the library from path (default: %GATREL_BIN%\Gatrel.dll) and takes
// its diagnostic table; false when the module cannot be loaded.
bool LoadLibraryExports(const std::string& path, std::string& error);

}  // namespace host
