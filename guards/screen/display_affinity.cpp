#include "guards/screen/display_affinity.h"

#include <algorithm>
#include <vector>

#include "store/hook_records.h"
#include "support/log.h"
#include "support/process_lifetime.h"

namespace {

using SetAffinityFn = BOOL(WINAPI*)(HWND, DWORD);

constexpr DWORD kAffinityNone = 0;     // WDA_NONE
constexpr DWORD kAffinityMonitor = 1;  // WDA_MONITOR

// The top-level windows asked for WDA_MONITOR and not yet set back: the
// watch thread's own.
std::vector<HWND>& Asked() {
    static NeverDestroyed<std::vector<HWND>> asked;
    return *asked;
}

SetAffinityFn SetAffinity() {
    static const SetAffinityFn fn = reinterpret_cast<SetAffinityFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "SetWindowDisplayAffinity")));
    return fn;
}

void Ask(HWND root, DWORD affinity) {
    const BOOL ok = SetAffinity()(root, affinity);
    const DWORD code = ok ? 0 : GetLastError();
    LogError("SetWindowDisplayAffinity hWnd=%x, dwAffinity=%u, ret=%d, code=%u", HandleWord(root),
             static_cast<unsigned>(affinity), ok, static_cast<unsigned>(code));
}

bool Holds(const std::vector<HWND>& list, HWND w) { return std::find(list.begin(), list.end(), w) != list.end(); }

// The top-level windows of this process that hold a protected document whose
// letters lack "A" and "C".
std::vector<HWND> MonitorOnlyWindows() {
    std::vector<HWND> windows;
    _ZEL_HOOK_INFO_ table[kHookInfoSlots];
    if (!store::CopyHookInfoTable(table)) return windows;
    const DWORD self = GetCurrentProcessId();
    for (const _ZEL_HOOK_INFO_& rec : table) {
        if (!rec.dwOwnerPid || rec.dwProcessId != self || !rec.hDocWnd) continue;
        if (HasPermission(rec, 'A') || HasPermission(rec, 'C')) continue;
        const HWND root = GetAncestor(DocWndOf(rec), GA_ROOT);
        DWORD pid = 0;
        if (root && GetWindowThreadProcessId(root, &pid) && pid == self && !Holds(windows, root))
            windows.push_back(root);
    }
    return windows;
}

}  // namespace

void UpdateDisplayAffinity() {
    if (!SetAffinity()) return;
    std::vector<HWND>& asked = Asked();
    const std::vector<HWND> wanted = MonitorOnlyWindows();
    for (HWND w : wanted) {
        if (Holds(asked, w)) continue;
        Ask(w, kAffinityMonitor);
        asked.push_back(w);
    }
    // Set back what no record wants any more, while its window lives.
    for (size_t i = 0; i < asked.size();) {
        if (Holds(wanted, asked[i])) {
            ++i;
            continue;
        }
        if (IsWindow(asked[i])) Ask(asked[i], kAffinityNone);
        asked.erase(asked.begin() + static_cast<std::ptrdiff_t>(i));
    }
}
