#include "host/process_context.h"

#include "store/hook_records.h"
#include "support/ansi_text.h"
#include "support/process_lifetime.h"
#include "support/settings.h"

ProcessContext::ProcessContext() {
    // Built during process attach: an exception here would abort the loader,
    // so a failed read leaves the paths as they would be without InstallDir.
    std::string dir;
    try {
        dir = GetInstallDir();
    } catch (...) {
        dir.clear();
    }
    try {
        strClientDocPath = text::ToUpper(dir + "\\ZELCLIENTDOC");
        strFileTempPath = text::ToUpper(dir + "\\ZELFILETEMP");
    } catch (...) {
    }
}

ProcessContext& GetProcessContext() {
    // First use happens in process attach, before the library starts threads
    // of its own; the compiler's guarded initialisation covers the rest.
    static ProcessLifetime<ProcessContext> context;
    return *context;
}

volatile LONG g_nGraphErrorBoxes = 0;

void*& AppObject() {
    static void* appObject = nullptr;
    return appObject;
}

std::string& ProcessTempDir() {
    static ProcessLifetime<std::string> dir;
    return *dir;
}

bool IsProcessProtected(DWORD pid, _ZEL_HOOK_INFO_& rec) {
    bool found = false;
    // Free slots carry process id 0: id 0 never names a protected process.
    if (pid != 0) {
        try {
            found = store::GetHookInfoByPid(pid, &rec) >= 0;
        } catch (...) {
            found = false;
        }
    }
    GetProcessContext().bHasHookInfo = found ? 1 : 0;
    return found;
}
