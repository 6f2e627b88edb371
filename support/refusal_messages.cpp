#include "support/refusal_messages.h"

#include <atomic>

#include "support/lang_strings.h"
#include "support/log.h"
#include "support/zel_message_box.h"

namespace {

constexpr DWORD kQuietMs = 1000;
constexpr UINT kUnownedFlags = MB_SYSTEMMODAL | MB_SETFOREGROUND;  // 0x11000

// Tick counts of the last request, per count.
std::atomic<DWORD> g_lastVirtualOrSaveAs{0};
std::atomic<DWORD> g_lastCantPrint{0};
std::atomic<DWORD> g_lastPrintLimit{0};

std::atomic<bool> g_refusalsUnowned{false};

void ShowThrottled(std::atomic<DWORD>& lastShown, const char* key, HWND owner) {
    const DWORD now = GetTickCount();
    // Every request restarts the quiet second, shown or not; the exchange
    // lets only one of two requests of the same instant through.
    const DWORD previous = lastShown.exchange(now);
    if (now - previous < kQuietMs) return;
    const std::string caption = GetLangString("ZEL_PRODUCT_NAME", "Not found");
    const std::string text = GetLangString(key, "Not found");
    if (g_refusalsUnowned.load()) ShowZelMessageBox(nullptr, text.c_str(), caption.c_str(), kUnownedFlags);
    else ShowZelMessageBox(owner, text.c_str(), caption.c_str(), 0);
}

DWORD RunMessage(std::atomic<DWORD>& lastShown, const char* key, LPVOID owner) {
    // An exception leaving a thread procedure would end the application.
    try {
        ShowThrottled(lastShown, key, static_cast<HWND>(owner));
    } catch (...) {
    }
    return 0;
}

}  // namespace

DWORD WINAPI ShowVirtualPrinterMsg(LPVOID owner) {
    return RunMessage(g_lastVirtualOrSaveAs, "D_DCTRL_VIRTUAL_ERROR", owner);
}

DWORD WINAPI ShowSaveAsMsg(LPVOID owner) {
    return RunMessage(g_lastVirtualOrSaveAs, "D_DCTRL_SAVEAS_ERROR", owner);
}

DWORD WINAPI ShowCantPrintMsg(LPVOID owner) {
    return RunMessage(g_lastCantPrint, "D_DCTRL_CANTPRINT_ERROR", owner);
}

DWORD WINAPI ShowPrintLimitMsg(LPVOID owner) {
    return RunMessage(g_lastPrintLimit, "D_DCTRL_CANTPRINT_TIMES_LIMIT", owner);
}

void StartMessageThread(LPTHREAD_START_ROUTINE showMsg, HWND owner) {
    if (!showMsg) return;
    // Callers are refusing a call: the application must find the last error
    // that the refusal leaves, not one of ours.
    const DWORD savedError = GetLastError();
    HANDLE thread = CreateThread(nullptr, 0, showMsg, owner, 0, nullptr);
    if (thread) CloseHandle(thread);
    else LogError("CreateThread for a message failed. GetLastError=%lu", GetLastError());
    SetLastError(savedError);
}

void SetRefusalsUnowned(bool unowned) { g_refusalsUnowned.store(unowned); }

bool RefusalsUnowned() { return g_refusalsUnowned.load(); }
