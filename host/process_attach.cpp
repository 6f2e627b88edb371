#include "host/process_attach.h"

#include <windows.h>

#include "host/background_threads.h"
#include "host/guard_detours.h"
#include "host/process_context.h"
#include "host/table_modules.h"
#include "identify/common_doc.h"
#include "identify/doc_classes.h"
#include "identify/os_version.h"
#include "intercept/hook_tables.h"
#include "intercept/replacement_guard.h"
#include "support/ansi_text.h"
#include "support/process_utils.h"
#include "support/refusal_messages.h"

namespace {

bool IsProtectedApplication(const std::string& name) {
    return name == "POWERPNT" || name == "WINWORD" || name == "EXCEL" || name == "ACROBAT" ||
           name == "ACRORD32";
}

bool IsKORBClient(const std::string& name) { return name.find("KORBDO") != std::string::npos; }

// The library stays in the process until the process ends. Pinned by its own
// address: loading it again by name could load another file of that name.
void PinLibrary() {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCSTR>(&PinLibrary), &self);
}

// What the hook tables' conditions test in this process. The protected
// processes (a document object) have every module of their rows loaded
// before the tables run; elsewhere a row waits for its module.
HookFacts FactsOfThisProcess() {
    HookFacts facts;
    const CCommonDoc* doc = DocObject();
    facts.hasDocObject = doc != nullptr;
    facts.docType = doc ? doc->nDocType : kDocNone;
    facts.waitForModules = doc == nullptr;
    if (facts.docType == kDocWord || facts.docType == kDocExcel || facts.docType == kDocPowerPoint) {
        int servicePack = -1;
        GetOSVersion(facts.osCode, servicePack);
    }
    return facts;
}

// The background threads of the role table. They run the library's code for
// the life of the process: the library is pinned first.
void StartThreadsOfRole(const std::string& name) {
    if (IsProtectedApplication(name)) {
        StartScreenToolThread();
        StartWatchThread();
    } else if (IsKORBClient(name)) {
        PinLibrary();
        StartWatchThread();
    }
}

}  // namespace

std::string UpperExeBaseName() { return text::ToUpper(ProcessExeBaseName()); }

void ProcessAttach() {
    ProcessContext& ctx = GetProcessContext();
    const DWORD pid = GetCurrentProcessId();
    ctx.strExeName = OwnExeName();
    ctx.dwProcessId = pid;
    const std::string name = UpperExeBaseName();

    if (IsProtectedApplication(name)) {
        char tmp[MAX_PATH + 1] = {};
        GetTempPathA(MAX_PATH, tmp);
        ProcessTempDir() = tmp;
        // The background threads run the library's code for the life of the process.
        PinLibrary();
    }
    CreateDocObject(name);
    if (IsKORBClient(name)) CreateKORBDocObject();
    SetRefusalsUnowned(IsProcessDocType(kDocPowerPoint));
    if (name == "OSTRUM" || name == "DEZIVIRE") ctx.bIsProductTool = 1;
    if (name == "ZELDAEMON") ctx.bIsDaemon = 1;
    if (name != "EXPLORER") {
        try {
            UseGuardDetours();
            const HookFacts facts = FactsOfThisProcess();
            if (!facts.waitForModules) LoadTableModules(facts);
            HookAllApi(facts);
            if (facts.waitForModules) WatchModuleLoads(facts);
        } catch (...) {
        }
        // A thread of the application may be inside a replacement at any time
        // (waiting in the store, on a mutex, in the real function): unloading
        // the library under it would return it into unmapped code.
        if (AnyRowAttached()) PinLibrary();
        // Replacements act only from here on: before, every table must be in place.
        intercept::SetLibraryAttached(true);
    }
    // Last: the threads read the document object and meet the replacements.
    StartThreadsOfRole(name);
}

void ProcessDetach() {
    RemoveOwnHooks();
    if (UpperExeBaseName() != "EXPLORER") {
        StopWatchingModuleLoads();
        intercept::SetLibraryAttached(false);
        try {
            UnHookAllApi(FactsOfThisProcess());
        } catch (...) {
        }
    }
    if (CCommonDoc*& doc = DocObject()) {
        delete doc;
        doc = nullptr;
    }
}
