#include "guards/file/ostrum_handshake.h"

#include "guards/file/message_wait.h"
#include "intercept/replacement_guard.h"
#include "support/log.h"
#include "support/wide_text.h"

namespace {

// The rights the handshake uses: an Ostrum that grants no more still works.
constexpr DWORD kEventRights = EVENT_MODIFY_STATE | SYNCHRONIZE;

void Report(const std::wstring& savedName, const std::wstring& answeredName) {
    HANDLE saved = OpenEventW(kEventRights, FALSE, savedName.c_str());
    if (!saved) {
        const DWORD error = GetLastError();
        LogError(
            "[Detour_ReplaceFileW]: OpenOstrumEvent Failed! The LastErr is :%d ,The EventName is "
            ":%s",
            static_cast<int>(error), text::WideToAnsi(savedName).c_str());
        return;
    }
    HANDLE answered = OpenEventW(kEventRights, FALSE, answeredName.c_str());
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
    const DWORD waited =
        intercept::Unmarked([&] { return WaitHandlingSentMessages(answered, kOstrumAnswerWaitMs); });
    if (waited != WAIT_OBJECT_0)
        LogError("[Detour_ReplaceFileW]: no answer on %s within %lu ms, the save goes on",
                 text::WideToAnsi(answeredName).c_str(), static_cast<unsigned long>(kOstrumAnswerWaitMs));
    ResetEvent(answered);
    CloseHandle(answered);
}

}  // namespace

std::wstring SaveFolderOf(const std::wstring& replacedUpper) {
    const size_t last = replacedUpper.rfind(L'\\');
    if (last == std::wstring::npos || last == 0) return {};
    const size_t before = replacedUpper.rfind(L'\\', last - 1);
    if (before == std::wstring::npos) return {};
    return replacedUpper.substr(before + 1, last - before - 1);
}

void ReportSaveToOstrum(const std::wstring& folder) {
    // Runs after the save succeeded: nothing here may turn it into a failure.
    try {
        Report(kOstrumSavedEventPrefix + folder, kOstrumAnsweredEventPrefix + folder);
    } catch (...) {
    }
}
