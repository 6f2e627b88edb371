#include "guards/screen/screen_copy_rule.h"

#include <string>

#include "guards/screen/display_dcs.h"
#include "host/process_context.h"
#include "intercept/replacement_guard.h"
#include "store/hook_records.h"
#include "support/ansi_text.h"
#include "support/log.h"
#include "support/process_utils.h"

namespace {

// Programs whose copies out of windows are always allowed; only the first is
// also allowed to copy out of the display.
const char* const kWindowCopyExceptions[] = {"nlnotes.exe", "korbadss.src", "rapagent.exe",
                                             "rapclient.exe"};
const char* const kDisplayCopyException = "nlnotes.exe";

volatile LONG bImageListDragging = 0;

// This process's executable file name with extension, as the process context
// holds it; from the module's own path when the process list did not tell.
std::string ExeFileName() {
    const std::string& name = GetProcessContext().strExeName;
    if (!name.empty()) return name;
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const char* slash = strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

bool IsWindowCopyException(const std::string& exe) {
    for (const char* name : kWindowCopyExceptions)
        if (text::EqualsNoCase(exe.c_str(), name)) return true;
    return false;
}

// While an image-list drag runs, the image list draws the drag image with
// copies out of the window under it; only those pass unchecked. Anybody can
// begin a drag: the flag alone would lift the rule for every copy.
bool IsDragImageCopy(const void* caller) {
    if (!__atomic_load_n(&bImageListDragging, __ATOMIC_RELAXED) || !caller) return false;
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(caller), &module))
        return false;
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    const char* slash = strrchr(path, '\\');
    return text::EqualsNoCase(slash ? slash + 1 : path, "comctl32.dll");
}

const char* ReasonText(ScreenCopyRefusal r) {
    switch (r) {
        case ScreenCopyRefusal::kOtherProcess: return "SrcPID Not Equal DestPID.";
        case ScreenCopyRefusal::kNotOwnProcess: return "Not OwnProcess.";
        case ScreenCopyRefusal::kDisplayDC: return "Is DisplayDC Handle";
        case ScreenCopyRefusal::kNone: break;
    }
    return "";
}

}  // namespace

bool RopReadsSource(DWORD rop) {
    // A ternary operation reads the source when its result differs between
    // source bit 0 and 1 for some pattern and destination: bits 2-3 and 6-7
    // of the index against bits 0-1 and 4-5.
    const DWORD index = (rop >> 16) & 0xFF;
    return ((index >> 2) ^ index) & 0x33;
}

void SetImageListDragging(bool dragging) {
    __atomic_store_n(&bImageListDragging, dragging ? 1 : 0, __ATOMIC_RELAXED);
}

ScreenCopyRefusal DecideScreenCopy(HDC dest, const ScreenCopySource& source, const void* caller) {
    if ((!source.dc && !source.window) || DocObject() || IsDragImageCopy(caller))
        return ScreenCopyRefusal::kNone;
    // Nothing to keep off the screen while no protected document is registered.
    if (store::GetHookInfoCount() == 0) return ScreenCopyRefusal::kNone;
    const HWND srcWnd = source.window ? source.window : WindowFromDC(source.dc);
    if (srcWnd) {
        const DWORD srcPid = ProcessOfWindow(srcWnd);
        if (srcPid == 0) return ScreenCopyRefusal::kNone;
        DWORD destPid = GetCurrentProcessId();
        if (const HWND destWnd = dest ? WindowFromDC(dest) : nullptr) destPid = ProcessOfWindow(destWnd);
        ScreenCopyRefusal refusal = ScreenCopyRefusal::kNone;
        _ZEL_HOOK_INFO_ rec{};
        if (srcPid != destPid) refusal = ScreenCopyRefusal::kOtherProcess;
        else if (!IsProcessProtected(srcPid, rec)) refusal = ScreenCopyRefusal::kNotOwnProcess;
        if (refusal != ScreenCopyRefusal::kNone && IsWindowCopyException(ExeFileName()))
            refusal = ScreenCopyRefusal::kNone;
        return refusal;
    }
    if (IsRememberedDisplayDC(source.dc) && store::GetWindowedHookInfoCount() > 0 &&
        !text::EqualsNoCase(ExeFileName().c_str(), kDisplayCopyException))
        return ScreenCopyRefusal::kDisplayDC;
    return ScreenCopyRefusal::kNone;
}

bool RefuseScreenCopy(const char* api, HDC dest, const ScreenCopySource& source, const void* caller) {
    const intercept::LastErrorKeeper keep;
    const ScreenCopyRefusal refusal = DecideScreenCopy(dest, source, caller);
    if (refusal == ScreenCopyRefusal::kNone) return false;
    LogError("Cancel Call %s. %s", api, ReasonText(refusal));
    return true;
}
