#include "guards/print/print_dialog_close.h"

#include <string>

#include "support/wide_text.h"

namespace {

// "Print" in code page 936.
constexpr const char kPrintZh[] = "\xB4\xF2\xD3\xA1";

struct Search {
    std::wstring title;
    DWORD pid;
    HWND found;
};

BOOL CALLBACK MatchTitle(HWND wnd, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    if (pid != search->pid) return TRUE;
    // The title as the window manager keeps it: asking the window itself
    // would wait on whichever thread of the process owns it.
    wchar_t title[64] = {};
    if (InternalGetWindowText(wnd, title, 64) <= 0 || lstrcmpiW(title, search->title.c_str()) != 0) return TRUE;
    search->found = wnd;
    return FALSE;
}

HWND FindOwnTopLevel(const std::wstring& title) {
    if (title.empty()) return nullptr;
    Search search{title, GetCurrentProcessId(), nullptr};
    EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

HWND FindOwnPrintDialog() {
    // The ANSI title as FindWindowA would read it in this code page.
    if (HWND chinese = FindOwnTopLevel(text::AnsiToWide(kPrintZh))) return chinese;
    return FindOwnTopLevel(L"Print");
}
