#include "guards/file/ostrum_handshake.h"

#include "support/log.h"

std::string SaveFolderOf(const std::string& replacedUpper) {
    const size_t last = replacedUpper.rfind('\\');
    if (last == std::string::npos || last == 0) return {};
    const size_t before = replacedUpper.rfind('\\', last - 1);
    if (before == std::string::npos) return {};
    return replacedUpper.substr(before + 1, last - before - 1);
}

void ReportSaveToOstrum(const std::string& folder) {
    // Runs after the save succeeded: nothing here may turn it into a failure.
    std::string savedName, answeredName;
    try {
        savedName = kOstrumSavedEventPrefix + folder;
        answeredName = kOstrumAnsweredEventPrefix + folder;
    } catch (...) {
        return;
    }
    HANDLE saved = OpenEventA(EVENT_ALL_ACCESS, FALSE, savedName.c_str());
    if (!saved) {
        LogError(
            "[Detour_ReplaceFileW]: OpenOstrumEvent Failed! The LastErr is :%d ,The EventName is "
            ":%s",
            static_cast<int>(GetLastError()), savedName.c_str());
        return;
    }
    HANDLE answered = OpenEventA(EVENT_ALL_ACCESS, FALSE, answeredName.c_str());
    const DWORD answeredError = answered ? 0 : GetLastError();
    // An answer that came after an earlier save had stopped waiting must not
    // count for this save.
    if (answered) ResetEvent(answered);
    SetEvent(saved);
    CloseHandle(saved);
    if (!answered) {
        LogError("[Detour_ReplaceFileW]: OpenHookEvent Failed! The LastErr is :%d",
                 static_cast<int>(answeredError));
        return;
    }
    if (WaitForSingleObject(answered, kOstrumAnswerWaitMs) != WAIT_OBJECT_0)
        LogError("[Detour_ReplaceFileW]: no answer on %s within %lu ms, the save goes on",
                 answeredName.c_str(), static_cast<unsigned long>(kOstrumAnswerWaitMs));
    ResetEvent(answered);
    CloseHandle(answered);
}
