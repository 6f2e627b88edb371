#include "wndctl/hook_procs.h"

#include <cstdint>

#include "guards/clipboard/clipboard_memory.h"
#include "host/process_context.h"
#include "identify/common_doc.h"
#include "store/shared_section.h"
#include "support/contained_run.h"
#include "support/log.h"
#include "wndctl/activation_rules.h"
#include "wndctl/alt_tab_rule.h"
#include "identify/button_tracking.h"
#include "wndctl/clipboard_leave_rule.h"
#include "wndctl/creation_rules.h"
#include "wndctl/cursor_pinning.h"
#include "wndctl/document_key_rules.h"
#include "wndctl/pdf_right_click_rule.h"
#include "wndctl/presentation_click_rule.h"
#include "wndctl/print_screen_rule.h"

namespace {

// The handles given to CallNextHookEx come from the shared section, where the
// controller's StartHook published them. Single aligned words: read without a
// lock, they are either the old or the new value.
HHOOK NextGetMsgHook() {
    return reinterpret_cast<HHOOK>(
        static_cast<uintptr_t>(__atomic_load_n(&g_shared.hGetMsgHook, __ATOMIC_RELAXED)));
}

HHOOK NextCBTHook() {
    return reinterpret_cast<HHOOK>(
        static_cast<uintptr_t>(__atomic_load_n(&g_shared.hCBTHook, __ATOMIC_RELAXED)));
}

// A refused message reaches the application as WM_NULL for no window.
void Swallow(MSG& msg) {
    msg.message = WM_NULL;
    msg.hwnd = nullptr;
}

enum class After { kNothing, kEmptyClipboard };

// The message hook's rules, in order. Every message of every GUI thread of
// the desktop passes here: the rules of every process first, then, in the
// protected applications only, the rules that ask about the document.
After ApplyMessageRules(MSG& msg) {
    ReleaseOrphanedClipboardHandles();
    wndctl::KeyStates keys;
    if (PrintScreenDown(msg, keys)) return After::kEmptyClipboard;  // and nothing else
    RecordAltTab(msg, keys);
    CCommonDoc* doc = DocObject();
    if (!doc) return After::kNothing;
    TrackMouseButtons(msg);
    if (msg.message == WM_MOUSEMOVE) PinCursorPos(msg.pt);
    if (RefusePdfRightClick(msg, *doc) || RefusePresentationClick(msg, *doc)) {
        Swallow(msg);
        return After::kNothing;
    }
    DropClipboardIfOwnerLeft(msg);
    if (RefuseDocumentKey(msg, *doc, keys)) Swallow(msg);
    return After::kNothing;
}

// The CBT hook's rules: creation and activation, in the protected
// applications only. Returns -1 to refuse a window's creation.
LRESULT ApplyWindowRules(int code, WPARAM wParam, LPARAM lParam) {
    CCommonDoc* doc = DocObject();
    if (!doc) return 0;
    if (code == HCBT_CREATEWND) {
        auto* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
        if (!create || !create->lpcs) return 0;
        CREATESTRUCTA& cs = *create->lpcs;
        // A window without a name, or named by a resource number, concerns no rule.
        if (!cs.lpszName || IS_INTRESOURCE(cs.lpszName) || !*cs.lpszName) return 0;
        ApplyPdfPrintCreationRule(reinterpret_cast<HWND>(wParam), cs, cs.lpszName, *doc);
        if (ApplyChartErrorRule(cs.lpszName, *doc) == CreationVerdict::kRefuse) return -1;
    } else if (code == HCBT_ACTIVATE) {
        ApplyActivationRules(reinterpret_cast<HWND>(wParam), *doc);
    }
    return 0;
}

// The library's procedures can sit in a thread's hook chain twice: the
// controller's hooks and the desktop-wide hooks of a protected application's
// watch thread. CallNextHookEx runs the next instance inside this one; an
// event an outer instance is handling is passed on untouched, so its rules act
// once (a key refused once, a window closed and logged once). Another event
// met meanwhile (a modal loop inside a rule) gets its rules as usual.
enum class HookKind { kGetMessage, kCbt };

struct HookEvent {
    HookKind kind;
    int code;
    WPARAM wParam;
    LPARAM lParam;
    const HookEvent* outer;
};

// Allocated at load; without a slot every instance applies the rules.
const DWORD g_eventSlot = TlsAlloc();

class EventInHand {
public:
    EventInHand(HookKind kind, int code, WPARAM wParam, LPARAM lParam) : event_{kind, code, wParam, lParam, nullptr} {
        if (g_eventSlot == TLS_OUT_OF_INDEXES) return;
        const DWORD error = GetLastError();
        event_.outer = static_cast<const HookEvent*>(TlsGetValue(g_eventSlot));
        for (const HookEvent* e = event_.outer; e; e = e->outer)
            if (e->kind == kind && e->code == code && e->wParam == wParam && e->lParam == lParam) repeated_ = true;
        pushed_ = TlsSetValue(g_eventSlot, &event_) != FALSE;
        SetLastError(error);
    }
    ~EventInHand() {
        if (!pushed_) return;
        const DWORD error = GetLastError();
        TlsSetValue(g_eventSlot, const_cast<HookEvent*>(event_.outer));
        SetLastError(error);
    }
    EventInHand(const EventInHand&) = delete;
    EventInHand& operator=(const EventInHand&) = delete;
    bool Repeated() const { return repeated_; }

private:
    HookEvent event_;
    bool pushed_ = false;
    bool repeated_ = false;
};

void LogContained(contained::Outcome outcome, const char* procedure) {
    if (outcome != contained::Outcome::kDone) LogError("In %s():Exception", procedure);
}

}  // namespace

LRESULT CALLBACK CallWndProc(int code, WPARAM wParam, LPARAM lParam) {
    After after = After::kNothing;
    const EventInHand event(HookKind::kGetMessage, code, wParam, lParam);
    // A negative code must be passed on untouched.
    if (code >= 0 && lParam && !event.Repeated()) {
        MSG& msg = *reinterpret_cast<MSG*>(lParam);
        LogContained(contained::Run([&] { after = ApplyMessageRules(msg); }), "CallWndProc");
    }
    const LRESULT result = CallNextHookEx(NextGetMsgHook(), code, wParam, lParam);
    // PrintScreen: the clipboard is emptied once the next hooks have seen the key.
    if (after == After::kEmptyClipboard)
        LogContained(contained::Run([] { EmptyClipboardAfterPrintScreen(); }), "CallWndProc");
    return result;
}

LRESULT CALLBACK CallControlWndProc(int code, WPARAM wParam, LPARAM lParam) {
    LRESULT verdict = 0;
    const EventInHand event(HookKind::kCbt, code, wParam, lParam);
    if (code >= 0 && !event.Repeated())
        LogContained(contained::Run([&] { verdict = ApplyWindowRules(code, wParam, lParam); }),
                     "CallControlWndProc");
    if (verdict == -1) return -1;
    return CallNextHookEx(NextCBTHook(), code, wParam, lParam);
}
