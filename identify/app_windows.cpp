#include "identify/app_windows.h"

#include "support/ansi_text.h"
#include "support/process_utils.h"

HWND g_hLastFrameWnd = nullptr;

namespace {

bool IsEmpty(const char* s) { return !s || !*s; }

// Class names are read into fixed buffers; a longer class is cut, which can only
// make a comparison fail.
bool ClassIs(HWND hwnd, const char* className, int bufferSize) {
    char cls[260] = {};
    if (bufferSize > static_cast<int>(sizeof cls)) bufferSize = sizeof cls;
    if (!GetClassNameA(hwnd, cls, bufferSize)) return false;
    return text::EqualsNoCase(cls, className);
}

// The frame as found by name counts only while its top-level window is the one
// the user works in (the foreground window is its last active pop-up) and the
// frame is visible.
bool IsUsableFoundFrame(HWND frame) {
    HWND top = GetAncestor(frame, GA_ROOTOWNER);
    if (!top) top = frame;
    if (GetForegroundWindow() != GetLastActivePopup(top)) return false;
    return IsWindowVisible(frame) != FALSE;
}

bool IsThisProcessWindow(HWND hwnd) { return ProcessOfWindow(hwnd) == GetCurrentProcessId(); }

// Only a frame of this process counts: another instance of the application
// in front is not this one's document, and its letters must never decide
// here. (A client that shows the application inside its own frame is found
// from the active window, or as the frame seen last.)
bool IsUsableFrameOfThisProcess(HWND frame) { return IsThisProcessWindow(frame) && IsUsableFoundFrame(frame); }

// The first top-level window of the class, in Z order, that meets the test.
// The walk is bounded: windows come and go while it runs.
template <class Test>
HWND FirstTopLevelOfClass(const char* className, Test test) {
    HWND w = nullptr;
    for (int n = 0; n < 256; ++n) {
        w = FindWindowExA(nullptr, w, className, nullptr);
        if (!w || test(w)) return w;
    }
    return nullptr;
}

HWND FindDocUnderFrame(HWND frame, const char* containerClass, const char* docClass) {
    // Windows may be destroyed by their own threads during the walk: every
    // handle is tested before it is used and a dead one simply ends its level.
    for (HWND c = GetWindow(frame, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (!IsWindowVisible(c) || !ClassIs(c, containerClass, 260)) continue;
        HWND d = GetWindow(c, GW_CHILD);
        if (!d) continue;
        if (IsEmpty(docClass)) return d;
        for (; d; d = GetWindow(d, GW_HWNDNEXT)) {
            if (IsWindowVisible(d) && ClassIs(d, docClass, 260)) return d;
        }
    }
    return nullptr;
}

}  // namespace

HWND FindAncestorByClass(HWND hwnd, const char* className) {
    if (!hwnd) return nullptr;
    const bool anyClass = IsEmpty(className);
    HWND last = nullptr;
    // A parent chain is finite, but a window destroyed and its handle reused
    // mid-walk could in theory loop; the bound costs nothing.
    for (int depth = 0; hwnd && depth < 4096; ++depth) {
        if (!anyClass && ClassIs(hwnd, className, 260)) return hwnd;
        last = hwnd;
        hwnd = GetParent(hwnd);
    }
    return anyClass ? last : nullptr;
}

BOOL CALLBACK EnumChildByClassProc(HWND hwnd, LPARAM param) {
    auto* p = reinterpret_cast<EnumChildByClassParam*>(param);
    if (!p) return TRUE;
    const char* want = nullptr;
    if (!IsEmpty(p->docClass)) want = p->docClass;
    else if (!IsEmpty(p->containerClass)) want = p->containerClass;
    else if (!IsEmpty(p->frameClass)) want = p->frameClass;
    if (want && ClassIs(hwnd, want, 100)) p->result = hwnd;
    return TRUE;
}

HWND FindOwnTopLevel(const char* className) { return FirstTopLevelOfClass(className, IsThisProcessWindow); }

HWND FindAppWindow(const char* frameClass, const char* containerClass, const char* docClass) {
    HWND active = GetActiveWindow();
    HWND frame = FindAncestorByClass(active, frameClass);
    if (!frame && !IsEmpty(frameClass)) {
        frame = FirstTopLevelOfClass(frameClass, IsUsableFrameOfThisProcess);
    }
    if (frame) {
        g_hLastFrameWnd = frame;
    } else if (!active || ClassIs(active, "#32770", 260)) {
        // The application's own Save or Print dialog is in front, or the
        // application is in the background: answer for the frame seen last,
        // unless it has been destroyed since (a closed document is not in front).
        if (IsWindow(g_hLastFrameWnd)) frame = g_hLastFrameWnd;
    }
    if (IsEmpty(containerClass)) return frame;
    if (!frame) {
        if (!active) return nullptr;
        EnumChildByClassParam param{frameClass, containerClass, docClass, nullptr};
        EnumChildWindows(active, EnumChildByClassProc, reinterpret_cast<LPARAM>(&param));
        return param.result ? active : nullptr;
    }
    return FindDocUnderFrame(frame, containerClass, docClass);
}
