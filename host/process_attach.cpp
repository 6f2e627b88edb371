#include "host/process_attach.h"

#include <windows.h>

#include "host/process_context.h"
#include "identify/common_doc.h"
#include "identify/doc_classes.h"
#include "intercept/hook_tables.h"
#include "intercept/replacement_guard.h"
#include "support/ansi_text.h"
#include "support/process_utils.h"

namespace {

bool IsProtectedApplication(const std::string& name) {
    return name == "POWERPNT" || name == "WINWORD" || name == "EXCEL" || name == "ACROBAT" ||
           name == "ACRORD32";
}

bool IsKORBClient(const std::string& name) { return name.find("KORBDO") != std::string::npos; }

}  // namespace

std::string UpperExeBaseName() { return text::ToUpper(ProcessExeBaseName()); }

void ProcessAttach() {
    ProcessContext& ctx = GetProcessContext();
    const DWORD pid = GetCurrentProcessId();
    ctx.strExeName = GetProcessExeName(pid);
    ctx.dwProcessId = pid;
    const std::string name = UpperExeBaseName();

    if (IsProtectedApplication(name)) {
        char tmp[MAX_PATH + 1] = {};
        GetTempPathA(MAX_PATH, tmp);
        ProcessTempDir() = tmp;
        // Our code keeps running in this process (detours, and later the
        // background threads): the library stays until the process ends.
        LoadLibraryA("Gatrel.dll");
    }
    CreateDocObject(name);
    if (IsKORBClient(name)) CreateKORBDocObject();
    if (name == "OSTRUM" || name == "DEZIVIRE") ctx.bIsProductTool = 1;
    if (name == "ZELDAEMON") ctx.bIsDaemon = 1;
    if (name != "EXPLORER") {
        try {
            HookAllApi();
        } catch (...) {
        }
        // Replacements act only from here on: before, every table must be in place.
        intercept::SetLibraryAttached(true);
    }
}

void ProcessDetach() {
    if (UpperExeBaseName() != "EXPLORER") {
        intercept::SetLibraryAttached(false);
        try {
            UnHookAllApi();
        } catch (...) {
        }
    }
    if (CCommonDoc*& doc = DocObject()) {
        delete doc;
        doc = nullptr;
    }
}
