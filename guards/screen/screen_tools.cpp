#include "guards/screen/screen_tools.h"

#include <string>

#include "host/process_context.h"
#include "identify/common_doc.h"
#include "support/ansi_text.h"
#include "support/log.h"
#include "support/process_utils.h"

namespace {

// The programs closed, by their main windows: a null member matches any.
struct ScreenTool {
    const char* cls;
    const char* title;
};

// Chinese titles as code page 936 bytes, as FindWindowA receives them.
const ScreenTool kScreenTools[] = {
    {"Afx:00400000:8:00010011:00000000:00780739", nullptr},
    {"TMXPanel", nullptr},
    {"RECORDER_CLASS_90AFD59B-2AD9-4983-826A-C995E51A1EE8", nullptr},
    {"EDITOR_CLASS_90AFD59B-2AD9-4983-826A-C995E51A1EE8", nullptr},
    {"TMainForm.UnicodeClass", "Macromedia Captivate"},
    {"WXMDIFrameClassNR", nullptr},
    {"SnagIt5UI", nullptr},
    {"Afx:00400000:8:00010003:00000000:01470561", nullptr},
    {"TMainForm", "\xC6\xC1\xC4\xBB\xC2\xBC\xCF\xF1\xD7\xA8\xBC\xD2 V7.5"},  // 屏幕录像专家 V7.5
    {"Microsoft-Windows-Tablet-SnipperToolbar", nullptr},
    {"ATL:004C2570", nullptr},
    {"ScreenCamMainWndv3", nullptr},
    {"TCatchPictures", nullptr},
    {nullptr, "HyperSnap 6"},
    {nullptr, "\xD7\xA5\xCD\xBC\xB3\xCC\xD0\xF2 CopyRight By Varnek"},  // 抓图程序 CopyRight By Varnek
    {"TMainFrm", "\xD7\xC0\xC3\xE6\xC9\xE3\xD3\xB0\xBB\xFA"},          // 桌面摄影机
};
static_assert(sizeof kScreenTools / sizeof kScreenTools[0] == 16);

constexpr const char kHyperSnapTitle[] = "HYPERSNAP 6";
constexpr const char kScriptEditorTitle[] = "MICROSOFT SCRIPT EDITOR";

// An office document of this process is protected.
bool ProtectedOffice() {
    const CCommonDoc* doc = DocObject();
    if (!doc || (doc->nDocType != kDocWord && doc->nDocType != kDocExcel && doc->nDocType != kDocPowerPoint))
        return false;
    _ZEL_HOOK_INFO_ rec{};
    return IsProcessProtected(GetCurrentProcessId(), rec);
}

void EndForegroundTool(bool protectedOffice) {
    const HWND fg = GetForegroundWindow();
    if (!fg) return;
    const DWORD pid = ProcessOfWindow(fg);
    if (pid == 0 || pid == GetCurrentProcessId()) return;
    char title[512] = {};
    GetWindowTextA(fg, title, sizeof title);
    const std::string upper = text::ToUpper(title);
    // The capture program's own window: its title begins with the product's
    // name. A window that merely mentions it (a browser page, a document
    // named after it) is not the program.
    if (upper.rfind(kHyperSnapTitle, 0) == 0) KillWindowProcess(fg);
    else if (protectedOffice && text::Contains(upper, kScriptEditorTitle)) KillWindowProcess(fg);
}

// The first top-level window of the entry that belongs to another process.
HWND FindToolWindow(const ScreenTool& tool) {
    HWND after = nullptr;
    for (int i = 0; i < 64; ++i) {
        const HWND w = FindWindowExA(nullptr, after, tool.cls, tool.title);
        if (!w || ProcessOfWindow(w) != GetCurrentProcessId()) return w;
        after = w;
    }
    return nullptr;
}

}  // namespace

void CloseScreenTools() {
    const bool protectedOffice = ProtectedOffice();
    if (protectedOffice) {
        const int editor = FindProcessIdByName("mse7.exe");
        if (editor > 0) KillProcess(static_cast<DWORD>(editor));
    }
    EndForegroundTool(protectedOffice);
    for (const ScreenTool& tool : kScreenTools) {
        const HWND w = FindToolWindow(tool);
        if (!w) continue;
        const DWORD pid = ProcessOfWindow(w);
        PostMessageA(w, WM_CLOSE, 0, 0);
        KillWindowProcess(w);
        LogError("Close Screen Application, Pid=%d,ClassName=%s,WndName=%s", static_cast<int>(pid),
                 tool.cls ? tool.cls : "(null)", tool.title ? tool.title : "(null)");
    }
}
