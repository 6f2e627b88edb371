// The automation guard's DDE replacement: no conversation with an office
// application about a file in the client's temporary directory.
#include <cstring>

#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"

namespace {

constexpr DWORD kNameChars = 260;

bool IsOfficeService(const char* service) {
    for (const char* name : {"WINWORD", "EXCEL", "POWERPNT"})
        if (lstrcmpiA(service, name) == 0) return true;
    return false;
}

// The name of the string handle, empty when DDEML cannot tell it.
void QueryName(DWORD idInst, HSZ hsz, char (&text)[kNameChars]) {
    text[0] = 0;
    if (hsz && DdeQueryStringA(idInst, hsz, text, kNameChars, CP_WINANSI) == 0) text[0] = 0;
    text[kNameChars - 1] = 0;
}

}  // namespace

HCONV WINAPI Detour_DdeConnect(DWORD idInst, HSZ hszService, HSZ hszTopic, PCONVCONTEXT pCC) {
    return RunReplacement(
        HookId::kDdeConnect, Trampoline_DdeConnect,
        [&]() -> HCONV {
            char text[kNameChars];
            QueryName(idInst, hszService, text);
            if (IsOfficeService(text)) {
                QueryName(idInst, hszTopic, text);
                CharUpperBuffA(text, lstrlenA(text));
                if (strstr(text, "ZELFILETEMP")) return nullptr;
            }
            return intercept::CallReal(Trampoline_DdeConnect, idInst, hszService, hszTopic, pCC);
        },
        [&]() -> HCONV { return intercept::CallReal(Trampoline_DdeConnect, idInst, hszService, hszTopic, pCC); },
        idInst, hszService, hszTopic, pCC);
}
