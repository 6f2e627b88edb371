// What the window-control tests meet in the hosts: the applications' dialogs
// by their real classes and titles, the PDF application's print dialog with
// its print-to-file box and advanced setup (made with the ANSI API, as the
// application makes them), message boxes, and mouse input.
#include <cstring>
#include <vector>

#include "host_app.h"
#include "host_command.h"
#include "host_library.h"

namespace host {
namespace {

// ---- dialog templates -------------------------------------------------------

// A dialog template in memory: its texts are wide, as in a resource.
class Template {
public:
    Template(const std::wstring& title, short cx, short cy, DWORD visible = WS_VISIBLE) {
        DLGTEMPLATE t{};
        t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | visible;
        t.cx = cx;
        t.cy = cy;
        t.x = 40;
        t.y = 40;
        Append(&t, sizeof t);
        Word(0);  // menu
        Word(0);  // class
        Text(title);
    }
    // A control of a predefined class: 0x0080 button, 0x0081 edit, 0x0082 static.
    void Item(WORD id, DWORD style, short x, short y, short cx, short cy, const std::wstring& text,
              WORD atom = 0x0080) {
        Align();
        DLGITEMTEMPLATE item{};
        item.style = style | WS_CHILD | WS_VISIBLE | WS_TABSTOP;
        item.x = x;
        item.y = y;
        item.cx = cx;
        item.cy = cy;
        item.id = id;
        Append(&item, sizeof item);
        Word(0xFFFF);
        Word(atom);
        Text(text);
        Word(0);
        reinterpret_cast<DLGTEMPLATE*>(bytes_.data())->cdit++;
    }
    const DLGTEMPLATE* Get() {
        Align();
        return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data());
    }

private:
    void Append(const void* p, size_t n) {
        const auto* b = static_cast<const BYTE*>(p);
        bytes_.insert(bytes_.end(), b, b + n);
    }
    void Word(WORD w) { Append(&w, sizeof w); }
    void Text(const std::wstring& s) { Append(s.c_str(), (s.size() + 1) * sizeof(wchar_t)); }
    void Align() {
        while (bytes_.size() % 4) bytes_.push_back(0);
    }
    std::vector<BYTE> bytes_;
};

// ---- the office applications' dialogs ---------------------------------------

struct OfficeDialog {
    const char* name;
    const char* title;
    // The office applications make it as one of their own dialogs
    // ("bosa_sdm_..."); elsewhere, and when false, it is a "#32770" dialog.
    bool ownClass;
};

const OfficeDialog kOfficeDialogs[] = {
    {"saveas", "Save As", true},
    {"recordmacro", "Record Macro", true},
    {"assignmacro", "Assign Macro", true},
    {"autocorrect", "AutoCorrect: English (U.S.)", true},
    {"autotext", "Create AutoText", true},
    {"templates", "Templates and Add-ins", true},
    {"compare", "Compare and Merge Documents", true},
    {"autosummarize", "AutoSummarize", true},
    {"emailoptions", "E-mail Options", true},
    {"moveorcopy", "Move or Copy", true},
    {"addins", "Add-Ins", true},
    {"importlists", "Import Custom Lists", true},
    {"find", "Find and Replace", true},
    {"signin", "Sign In - Acrobat.com", false},
    {"meeting", "Start Meeting", false},
};

std::string ClassOf(const OfficeDialog& d) {
    if (!d.ownClass) return "#32770";
    switch (TheApp().profile.kind) {
        case AppKind::Word: return "bosa_sdm_Microsoft Office Word 11.0";
        case AppKind::Excel: return "bosa_sdm_XL9";
        default: return "#32770";
    }
}

// The PDF application's online dialogs hold their buttons in a pane in a
// pane, and stay until a button is pressed: WM_CLOSE is seen but ends nothing.
INT_PTR CALLBACK OnlineProc(HWND dlg, UINT msg, WPARAM, LPARAM lp) {
    if (msg == WM_INITDIALOG) {
        auto* controls = reinterpret_cast<std::vector<HWND>*>(lp);
        auto make = [&](const wchar_t* cls, const wchar_t* text, HWND parent, int id, int y) {
            HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE, 0, y, 300, 160, parent,
                                     reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), TheApp().instance, nullptr);
            controls->push_back(c);
            return c;
        };
        HWND outer = make(L"HostPanel", L"", dlg, 0, 0);
        HWND inner = make(L"HostPanel", L"", outer, 0, 0);
        make(L"Button", L"Sign In", inner, 1101, 0);
        make(L"Button", L"Cancel", inner, 1102, 40);
        return TRUE;
    }
    if (msg == WM_CLOSE) {
        Event("close:" + HexOf(dlg));
        return TRUE;
    }
    return FALSE;
}

void DoOfficeDialog(const Args& a, Reply& r) {
    const std::string name = a.Str("name");
    const OfficeDialog* d = nullptr;
    for (const OfficeDialog& o : kOfficeDialogs)
        if (name == o.name) d = &o;
    if (!d) return r.Fail("unknown dialog " + name);
    const std::string cls = a.Str("class", ClassOf(*d));
    const std::string title = a.Str("title", d->title);
    HWND owner = GetActiveWindow();
    HWND w;
    std::vector<HWND> controls;
    if (cls == "#32770") {
        const bool online = !d->ownClass;
        Template t(Widen(title), 240, 140);
        if (!online) {
            t.Item(1000, WS_BORDER, 8, 8, 150, 12, L"", 0x0081);
            t.Item(IDOK, BS_DEFPUSHBUTTON, 8, 110, 50, 14, L"OK");
            t.Item(IDCANCEL, BS_PUSHBUTTON, 64, 110, 50, 14, L"Cancel");
        }
        // The title in the template, as the applications' resources hold it:
        // it is there when the dialog first comes to the front, which happens
        // while it is made.
        w = CreateDialogIndirectParamW(TheApp().instance, t.Get(), owner, online ? OnlineProc : HostDialogProc,
                                       reinterpret_cast<LPARAM>(&controls));
        if (w && !online)
            for (HWND c = GetWindow(w, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) controls.push_back(c);
    } else {
        w = CreateAnyWindow(cls, nullptr, owner, title, true, false);
        if (w) ActivateWindow(w);
    }
    if (!w) return r.Fail("cannot create the dialog");
    PumpPending(100);
    r.SetWnd("wnd", w);
    r.Set("class", cls);
    r.Set("title", title);
    for (size_t i = 0; i < controls.size(); ++i) r.SetWnd("c" + std::to_string(i), controls[i]);
}

// A system message box, modal, over the active window (or wnd).
void DoMessageBox(const Args& a, Reply& r) {
    HWND owner = a.Has("wnd") ? a.Wnd("wnd") : GetActiveWindow();
    const int ret = MessageBoxW(owner, Widen(a.Str("text", "message")).c_str(), Widen(a.Str("title")).c_str(),
                                MB_OK | MB_ICONERROR);
    r.Set("ret", ret);
    r.SetWnd("owner", owner);
    r.Set("ownerenabled", owner ? IsWindowEnabled(owner) : 1);
}

// ---- the PDF application's print dialogs --------------------------------------

constexpr WORD kPrintToFileId = 1001;
constexpr WORD kAdvancedId = 1002;
constexpr WORD kPrintAsImageId = 1101;

struct PdfPrintState {
    bool chinese = false;
    bool fileChecked = false;
    bool imageChecked = false;
    bool printButton = false;  // a "Print" button is made once the advanced setup is done
    int advancedOpened = 0;
    HWND dialog = nullptr;
} g_pdfPrint;

int AcrobatMajor() { return atoi(TheApp().profile.fileVersion.c_str()); }

std::wstring W(const char* english, const wchar_t* chinese) {
    return g_pdfPrint.chinese ? std::wstring(chinese) : Widen(english);
}

// The pane of the advanced setup in versions other than 7: a child window
// that hands its controls' commands to the dialog.
LRESULT CALLBACK PaneProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND) return SendMessageW(GetParent(w), msg, wp, lp);
    return DefWindowProcW(w, msg, wp, lp);
}

HWND ImageBoxOf(HWND dlg) {
    if (HWND direct = GetDlgItem(dlg, kPrintAsImageId)) return direct;
    HWND pane = GetWindow(dlg, GW_CHILD);
    return pane ? GetDlgItem(pane, kPrintAsImageId) : nullptr;
}

INT_PTR CALLBACK AdvancedProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG: {
            HWND parent = dlg;
            if (AcrobatMajor() != 7) {
                WNDCLASSA wc{};
                wc.lpfnWndProc = PaneProc;
                wc.hInstance = TheApp().instance;
                wc.lpszClassName = "PdfSetupPane";
                RegisterClassA(&wc);
                parent = CreateWindowExA(0, "PdfSetupPane", "", WS_CHILD | WS_VISIBLE, 0, 0, 300, 200, dlg, nullptr,
                                         TheApp().instance, nullptr);
            }
            // Made with the ANSI API, as the application makes its controls.
            const std::string image = g_pdfPrint.chinese ? "\xD7\xF7\xCE\xAA\xCD\xBC\xCF\xF1\xB4\xF2\xD3\xA1"
                                                         : "Print As &Image";
            const std::string ok = g_pdfPrint.chinese ? "\xC8\xB7\xB6\xA8" : "OK";
            HWND box = CreateWindowExA(0, "Button", image.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX,
                                       10, 10, 200, 22, parent, reinterpret_cast<HMENU>(kPrintAsImageId),
                                       TheApp().instance, nullptr);
            CreateWindowExA(0, "Button", ok.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 10, 50, 80,
                            24, parent, reinterpret_cast<HMENU>(IDOK), TheApp().instance, nullptr);
            SendMessageW(box, BM_SETCHECK, g_pdfPrint.imageChecked ? BST_CHECKED : BST_UNCHECKED, 0);
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
                const LRESULT image = SendMessageW(ImageBoxOf(dlg), BM_GETCHECK, 0, 0);
                Event("advanced-end:" + std::to_string(LOWORD(wp)) + ":image=" + std::to_string(image));
                EndDialog(dlg, LOWORD(wp));
            }
            return TRUE;
        case WM_CLOSE:
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK PrintProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            g_pdfPrint.dialog = dlg;
            CheckDlgButton(dlg, kPrintToFileId, g_pdfPrint.fileChecked ? BST_CHECKED : BST_UNCHECKED);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wp)) {
                case kAdvancedId: {
                    ++g_pdfPrint.advancedOpened;
                    Event("advanced-open:" + HexOf(dlg));
                    Template t(W("Advanced Print Setup", L"\x9AD8\x7EA7\x6253\x5370\x8BBE\x7F6E"), 200, 100);
                    DialogBoxIndirectParamA(TheApp().instance, t.Get(), dlg, AdvancedProc, 0);
                    if (g_pdfPrint.printButton)
                        CreateWindowExA(0, "Button", "Print", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 140, 150, 80, 24,
                                        dlg, nullptr, TheApp().instance, nullptr);
                    return TRUE;
                }
                case IDOK:
                case IDCANCEL:
                    Event("pdfprint-end:" + std::to_string(LOWORD(wp)) +
                          ":file=" + std::to_string(IsDlgButtonChecked(dlg, kPrintToFileId)));
                    EndDialog(dlg, LOWORD(wp));
                    return TRUE;
                default:
                    return FALSE;
            }
        case WM_CLOSE:
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
    }
}

// The print dialog, modal, until the test ends it (posting IDOK or IDCANCEL).
void DoPdfPrint(const Args& a, Reply& r) {
    g_pdfPrint = PdfPrintState{};
    g_pdfPrint.chinese = a.Flag("chinese");
    g_pdfPrint.fileChecked = a.Flag("filechecked");
    g_pdfPrint.imageChecked = a.Flag("imagechecked");
    g_pdfPrint.printButton = a.Flag("printbutton");
    Template t(W("Print", L"\x6253\x5370"), 260, 120);
    t.Item(kPrintToFileId, BS_AUTOCHECKBOX, 10, 10, 120, 14, W("Print to &file", L"\x6253\x5370\x5230\x6587\x4EF6"));
    t.Item(kAdvancedId, BS_PUSHBUTTON, 10, 30, 60, 14, W("A&dvanced", L"\x9AD8\x7EA7(&D)"));
    t.Item(IDOK, BS_DEFPUSHBUTTON, 10, 90, 50, 14, W("OK", L"\x786E\x5B9A"));
    t.Item(IDCANCEL, BS_PUSHBUTTON, 70, 90, 50, 14, W("Cancel", L"\x53D6\x6D88"));
    HWND owner = a.Has("wnd") ? a.Wnd("wnd") : GetActiveWindow();
    // wide=1: made with the wide functions instead, as the application does not.
    const INT_PTR ret = a.Flag("wide") ? DialogBoxIndirectParamW(TheApp().instance, t.Get(), owner, PrintProc, 0)
                                       : DialogBoxIndirectParamA(TheApp().instance, t.Get(), owner, PrintProc, 0);
    r.Set("ret", static_cast<long long>(ret));
    r.Set("advanced", g_pdfPrint.advancedOpened);
}

// Where the print dialog's controls are: for a test that reads them while the
// dialog is up.
void DoPdfPrintControls(const Args&, Reply& r) {
    HWND dlg = g_pdfPrint.dialog;
    r.SetWnd("dialog", IsWindow(dlg) ? dlg : nullptr);
    if (!IsWindow(dlg)) return;
    r.SetWnd("file", GetDlgItem(dlg, kPrintToFileId));
    r.SetWnd("advancedbutton", GetDlgItem(dlg, kAdvancedId));
    r.Set("opened", g_pdfPrint.advancedOpened);
}

// ---- mouse input --------------------------------------------------------------

// One button or pointer action at a screen point (default: the middle of wnd):
// post: the pointer is put there and the message posted to wnd;
// input: the pointer is put there and the action injected, as the mouse does.
void DoMouse(const Args& a, Reply& r) {
    HWND w = a.Wnd("wnd");
    POINT pt{static_cast<LONG>(a.Num("x", 0)), static_cast<LONG>(a.Num("y", 0))};
    if (!a.Has("x")) {
        if (!IsWindow(w)) return r.Fail("no point and no window");
        RECT rc;
        GetClientRect(w, &rc);
        pt = POINT{rc.right / 2, rc.bottom / 2};
        ClientToScreen(w, &pt);
    }
    const std::string action = a.Str("action", "move");
    const bool right = a.Str("button", "left") == "right";
    SetCursorPos(pt.x, pt.y);
    if (a.Str("mode", "input") == "input") {
        DWORD flags = MOUSEEVENTF_MOVE;
        if (action == "down") flags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
        if (action == "up") flags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
        mouse_event(flags, 0, 0, 0, 0);
    } else {
        if (!IsWindow(w)) return r.Fail("no such window");
        UINT msg = WM_MOUSEMOVE;
        if (action == "down") msg = right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN;
        if (action == "up") msg = right ? WM_RBUTTONUP : WM_LBUTTONUP;
        if (action == "dblclk") msg = right ? WM_RBUTTONDBLCLK : WM_LBUTTONDBLCLK;
        POINT client = pt;
        ScreenToClient(w, &client);
        PostMessageW(w, msg, action == "down" ? (right ? MK_RBUTTON : MK_LBUTTON) : 0,
                     MAKELPARAM(client.x, client.y));
    }
    PumpPending(static_cast<DWORD>(a.Num("pump", 300)));
    // capture: as an application that drags, the window keeps the pointer
    // from the press to the release.
    if (a.Flag("capture") && action == "down") SetCapture(w);
    if (a.Flag("capture") && action == "up") ReleaseCapture();
    r.Set("x", pt.x);
    r.Set("y", pt.y);
}

// The library's CBT procedure called directly with a window's creation, for
// what real creation cannot bring under Wine: CreateWindowEx there reads any
// window name as a string, so a name given by number (which Windows allows
// and hands to the hook as it is) never reaches the hook.
void DoCbtCreate(const Args& a, Reply& r) {
    const GatrelDiagnostics* t = TheLibrary().table;
    if (!t) return r.Fail("Gatrel.dll is not loaded (command gatrel)");
    const std::string name = a.Str("name");
    CREATESTRUCTA cs{};
    cs.lpszName = a.Has("nameid") ? MAKEINTRESOURCEA(a.Num("nameid")) : a.Has("name") ? name.c_str() : nullptr;
    cs.lpszClass = "Static";
    cs.style = WS_CHILD;
    cs.cx = cs.cy = 16;
    CBT_CREATEWNDA create{&cs, HWND_TOP};
    r.Set("ret", static_cast<long long>(t->CallControlWndProc(HCBT_CREATEWND, 0, reinterpret_cast<LPARAM>(&create))));
    r.Set("cx", cs.cx);
}

}  // namespace

void DoWindowControlCommand(const std::string& command, const Args& a, Reply& r) {
    if (command == "officedlg") return DoOfficeDialog(a, r);
    if (command == "msgbox") return DoMessageBox(a, r);
    if (command == "pdfprint") return DoPdfPrint(a, r);
    if (command == "pdfprintcontrols") return DoPdfPrintControls(a, r);
    if (command == "mouse") return DoMouse(a, r);
    if (command == "cbtcreate") return DoCbtCreate(a, r);
    if (command == "grapherrors") {
        const GatrelDiagnostics* t = TheLibrary().table;
        if (!t) return r.Fail("Gatrel.dll is not loaded (command gatrel)");
        if (a.Has("set")) InterlockedExchange(t->GraphErrorBoxes, static_cast<LONG>(a.Num("set")));
        return r.Set("count", static_cast<long long>(*t->GraphErrorBoxes));
    }
    r.Fail("unknown command " + command);
}

}  // namespace host
