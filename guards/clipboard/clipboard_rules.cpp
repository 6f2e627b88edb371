#include "guards/clipboard/clipboard_rules.h"

#include "host/process_context.h"
#include "identify/common_doc.h"
#include "store/clipboard_state.h"
#include "support/ansi_text.h"

namespace {

// "Options", and the same word in code page 936.
constexpr const char kOptionsZh[] = "\xD1\xA1\xCF\xEE";

}  // namespace

ClipboardSource GetClipboardSource() {
    ClipboardSource src;
    if (store::GetAfterEmpty()) {
        CCommonDoc* doc = DocObject();
        _ZEL_HOOK_INFO_ rec{};
        if (!doc || !doc->IsZelDoc(rec) || CopyAllowed(rec)) return src;
        src.isProtected = true;
        src.ownerWnd = DocWndOf(rec);
        src.ownerPid = rec.dwProcessId;
        return src;
    }
    if (store::GetProtectedContent()) {
        src.isProtected = true;
        store::GetClipOwner(src.ownerWnd, src.ownerPid);
    }
    return src;
}

bool CanPasteProtectedData() {
    CCommonDoc* doc = DocObject();
    _ZEL_HOOK_INFO_ rec{};
    if (!doc || !doc->IsZelDoc(rec) || rec.hDocWnd == 0) return false;
    if (!store::IsClipOwner(DocWndOf(rec), rec.dwProcessId)) return false;
    HWND active = GetActiveWindow();
    if (!active) return true;
    if (IsChild(active, DocWndOf(rec))) return true;
    char title[261] = {};
    GetWindowTextA(active, title, 260);
    return !(text::EqualsNoCase(title, kOptionsZh) || text::EqualsNoCase(title, "Options"));
}

bool ThreadHasClipboardOpen() {
    // The system's own test, and one without side effects: listing the
    // formats fails with ERROR_CLIPBOARD_NOT_OPEN on a thread that has not
    // opened the clipboard (GetClipboardData itself would render a format).
    const DWORD error = GetLastError();
    SetLastError(ERROR_SUCCESS);
    const bool open = EnumClipboardFormats(0) != 0 || GetLastError() != ERROR_CLIPBOARD_NOT_OPEN;
    SetLastError(error);
    return open;
}
