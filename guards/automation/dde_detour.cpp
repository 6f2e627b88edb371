// The automation guard's DDE replacements: no conversation with an office
// application about a file in the client's temporary directory, alone or in
// a list of conversations. A refusal leaves the caller's string handles (and
// list) as they were: they are the caller's to free.
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

// Without a service name the call reaches every server that knows the topic,
// the office applications among them.
bool IsRefusedConversation(DWORD idInst, HSZ hszService, HSZ hszTopic) {
    char text[kNameChars];
    QueryName(idInst, hszService, text);
    if (hszService && !IsOfficeService(text)) return false;
    QueryName(idInst, hszTopic, text);
    CharUpperBuffA(text, lstrlenA(text));
    return strstr(text, "ZELFILETEMP") != nullptr;
}

}  // namespace

HCONV WINAPI Detour_DdeConnect(DWORD idInst, HSZ hszService, HSZ hszTopic, PCONVCONTEXT pCC) {
    return RunReplacement(
        HookId::kDdeConnect, Trampoline_DdeConnect,
        [&](contained::Frame& run) -> HCONV {
            if (IsRefusedConversation(idInst, hszService, hszTopic)) return nullptr;
            return intercept::CallReal(run, Trampoline_DdeConnect, idInst, hszService, hszTopic, pCC);
        },
        [&]() -> HCONV { return intercept::CallReal(Trampoline_DdeConnect, idInst, hszService, hszTopic, pCC); },
        idInst, hszService, hszTopic, pCC);
}

// A list is asked for by service and topic as one conversation is.
HCONVLIST WINAPI Detour_DdeConnectList(DWORD idInst, HSZ hszService, HSZ hszTopic, HCONVLIST hConvList,
                                       PCONVCONTEXT pCC) {
    return RunReplacement(
        HookId::kDdeConnectList, Trampoline_DdeConnectList,
        [&](contained::Frame& run) -> HCONVLIST {
            if (IsRefusedConversation(idInst, hszService, hszTopic)) return nullptr;
            return intercept::CallReal(run, Trampoline_DdeConnectList, idInst, hszService, hszTopic, hConvList, pCC);
        },
        [&]() -> HCONVLIST {
            return intercept::CallReal(Trampoline_DdeConnectList, idInst, hszService, hszTopic, hConvList, pCC);
        },
        idInst, hszService, hszTopic, hConvList, pCC);
}
