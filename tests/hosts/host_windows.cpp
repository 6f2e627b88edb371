// The host's window trees: frames, document containers, document windows,
// dialogs and windows of any class a test asks for.
#include <algorithm>
#include <set>

#include "host_app.h"
#include "host_command.h"

namespace host {
namespace {

constexpr int kFirstMdiChild = 0xFF00;

std::set<std::wstring> g_registered;

void Register(const std::string& cls, WNDPROC proc, int extra = 0) {
    const std::wstring w = Widen(cls);
    if (g_registered.count(w)) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = TheApp().instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = w.c_str();
    wc.cbWndExtra = extra;
    if (RegisterClassExW(&wc)) g_registered.insert(w);
}

// A private class that behaves as the system's MDI container (the spreadsheet's
// desk is one of these).
void RegisterMdiSuperclass(const std::string& cls) {
    const std::wstring w = Widen(cls);
    if (g_registered.count(w)) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExW(nullptr, L"MDIClient", &wc)) return;
    wc.cbSize = sizeof wc;
    wc.hInstance = TheApp().instance;
    wc.lpszClassName = w.c_str();
    if (RegisterClassExW(&wc)) g_registered.insert(w);
}

void RecordInput(HWND hwnd, UINT msg, WPARAM wp) {
    switch (msg) {
        case WM_RENDERFORMAT:
            RenderClipboard(static_cast<UINT>(wp));
            break;
        case WM_KEYDOWN: case WM_KEYUP: case WM_SYSKEYDOWN: case WM_SYSKEYUP: case WM_CHAR:
        case WM_SYSCHAR: {
            char buf[96];
            snprintf(buf, sizeof buf, "key:%s:0x%x:0x%x", HexOf(hwnd).c_str(), msg,
                     static_cast<unsigned>(wp));
            Event(buf);
            break;
        }
        case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK: case WM_RBUTTONDOWN:
        case WM_RBUTTONUP: case WM_RBUTTONDBLCLK: {
            char buf[96];
            snprintf(buf, sizeof buf, "mouse:%s:0x%x", HexOf(hwnd).c_str(), msg);
            Event(buf);
            break;
        }
        default:
            break;
    }
}

HWND ViewOf(HWND doc) {
    for (auto& d : TheApp().docs)
        if (d.doc == doc || d.frame == doc) return d.view ? d.view : d.doc;
    return doc;
}

void Forget(HWND gone) {
    auto& docs = TheApp().docs;
    docs.erase(std::remove_if(docs.begin(), docs.end(),
                              [&](const Document& d) {
                                  return d.doc == gone || d.frame == gone || !IsWindow(d.doc);
                              }),
               docs.end());
    auto& dl = TheApp().dialogs;
    dl.erase(std::remove(dl.begin(), dl.end(), gone), dl.end());
    if (TheApp().mainFrame == gone) TheApp().mainFrame = TheApp().container = nullptr;
}

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    App& app = TheApp();
    HWND mdi = (hwnd == app.mainFrame) ? app.container : nullptr;
    switch (msg) {
        case WM_COMMAND: {
            char buf[96];
            snprintf(buf, sizeof buf, "command:%s:%u", HexOf(hwnd).c_str(), LOWORD(wp));
            Event(buf);
            break;
        }
        case WM_ACTIVATE:
            if (LOWORD(wp) != WA_INACTIVE && !mdi) {
                HWND v = ViewOf(hwnd);
                if (v && v != hwnd) SetFocus(v);
                return 0;
            }
            break;
        case WM_CLOSE:
            Event("close:" + HexOf(hwnd));
            DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            Forget(hwnd);
            break;
        case WM_SIZE:
            if (!mdi) {
                // Top-level documents: the first child bar on top, the rest below.
                RECT rc;
                GetClientRect(hwnd, &rc);
                int y = 0;
                for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                    const bool bar = GetWindow(c, GW_HWNDNEXT) != nullptr;
                    const int h = bar ? 24 : rc.bottom - y;
                    MoveWindow(c, 0, y, rc.right, h, TRUE);
                    y += h;
                }
                return 0;
            }
            break;
        default:
            RecordInput(hwnd, msg, wp);
            break;
    }
    return mdi ? DefFrameProcW(hwnd, mdi, msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

// Children that fill their parent (document containers and documents of
// top-level document windows).
LRESULT CALLBACK FillProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SIZE: {
            RECT rc;
            GetClientRect(hwnd, &rc);
            for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
                MoveWindow(c, 0, 0, rc.right, rc.bottom, TRUE);
            return 0;
        }
        case WM_CLOSE:
            Event("close:" + HexOf(hwnd));
            break;
        default:
            RecordInput(hwnd, msg, wp);
            break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK MdiDocProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SIZE: {
            RECT rc;
            GetClientRect(hwnd, &rc);
            for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
                MoveWindow(c, 0, 0, rc.right, rc.bottom, TRUE);
            break;
        }
        case WM_SETFOCUS: {
            HWND v = ViewOf(hwnd);
            if (v && v != hwnd) SetFocus(v);
            return 0;
        }
        case WM_CLOSE:
            Event("close:" + HexOf(hwnd));
            break;
        case WM_DESTROY:
            Forget(hwnd);
            break;
        default:
            RecordInput(hwnd, msg, wp);
            break;
    }
    return DefMDIChildProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK GenericProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CLOSE:
            Event("close:" + HexOf(hwnd));
            DestroyWindow(hwnd);
            return 0;
        case WM_COMMAND: {
            char buf[96];
            snprintf(buf, sizeof buf, "command:%s:%u", HexOf(hwnd).c_str(), LOWORD(wp));
            Event(buf);
            break;
        }
        default:
            RecordInput(hwnd, msg, wp);
            break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND MakeWindow(DWORD exStyle, const std::string& cls, const std::string& title, DWORD style,
                int x, int y, int w, int h, HWND parent, UINT_PTR id = 0) {
    return CreateWindowExW(exStyle, Widen(cls).c_str(), Widen(title).c_str(), style, x, y, w, h,
                           parent, reinterpret_cast<HMENU>(id), TheApp().instance, nullptr);
}

std::string BaseName(const std::string& path) {
    const size_t p = path.find_last_of("\\/");
    return p == std::string::npos ? path : path.substr(p + 1);
}

std::string FrameTitle(const std::string& name) {
    switch (TheApp().profile.kind) {
        case AppKind::Word: return name + " - Microsoft Word";
        case AppKind::Excel: return "Microsoft Excel";
        case AppKind::PowerPoint: return "Microsoft PowerPoint";
        case AppKind::Pdf: return name.empty() ? "Adobe Acrobat" : name + " - Adobe Acrobat";
        case AppKind::Korb: return "KORB Client";
        default: return name + " - Plain";
    }
}

int g_cascade = 0;

HWND NewTopLevel(const std::string& cls, const std::string& title) {
    const int off = 30 * (g_cascade++ % 8);
    return MakeWindow(0, cls, title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 40 + off, 40 + off,
                      800, 600, nullptr);
}

// Focus changes of the display arrive as events some time after the calls
// that caused them; a late one for a window shown earlier can take the
// foreground back. Pump until the wanted window has stayed in front.
bool InFront(HWND top, HWND focus) {
    return GetForegroundWindow() == top && GetActiveWindow() == top && (!focus || GetFocus() == focus);
}

void BringToFront(HWND top, HWND focus) {
    if (IsWindowVisible(top) && InFront(top, focus)) return;
    ShowWindow(top, SW_SHOW);
    for (int attempt = 0; attempt < 20; ++attempt) {
        SetForegroundWindow(top);
        SetActiveWindow(top);
        if (focus) SetFocus(focus);
        PumpPending(30);
        if (InFront(top, focus)) return;
    }
}

}  // namespace

INT_PTR CALLBACK HostDialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND: {
            char buf[96];
            snprintf(buf, sizeof buf, "dialog-command:%s:%u", HexOf(dlg).c_str(), LOWORD(wp));
            Event(buf);
            if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) DestroyWindow(dlg);
            return TRUE;
        }
        case WM_CLOSE:
            Event("close:" + HexOf(dlg));
            DestroyWindow(dlg);
            return TRUE;
        case WM_DESTROY:
            Forget(dlg);
            return FALSE;
        default:
            return FALSE;
    }
}

bool IsHostFrame(HWND w) {
    if (!w) return false;
    if (w == TheApp().mainFrame) return true;
    for (auto& d : TheApp().docs)
        if (d.frame == w) return true;
    return false;
}

void RegisterClasses() {
    const Profile& p = TheApp().profile;
    Register(p.frameClass, FrameProc);
    Register("HostBar", FillProc);
    Register("HostPanel", GenericProc);
    switch (p.kind) {
        case AppKind::Word:
            Register("MsoCommandBarDock", FillProc);
            Register(p.containerClass, FillProc);
            Register(p.docClass, FillProc);
            Register(p.viewClass, FillProc);
            break;
        case AppKind::Excel:
            Register("EXCEL<", FillProc);
            RegisterMdiSuperclass(p.containerClass);
            Register(p.docClass, MdiDocProc);
            break;
        default:
            if (p.topLevelDocs) Register(p.docClass, FrameProc);
            else Register(p.docClass, MdiDocProc);
            if (!p.viewClass.empty()) Register(p.viewClass, FillProc);
            break;
    }
}

void CreateMainFrame() {
    App& app = TheApp();
    const Profile& p = app.profile;
    if (p.topLevelDocs || app.mainFrame) return;
    HWND frame = NewTopLevel(p.frameClass, FrameTitle(""));
    if (!frame) return;
    app.mainFrame = frame;
    if (p.kind == AppKind::Excel)
        MakeWindow(0, "EXCEL<", "", WS_CHILD | WS_VISIBLE, 0, 0, 780, 24, frame);
    CLIENTCREATESTRUCT ccs{};
    ccs.idFirstChild = kFirstMdiChild;
    RECT rc;
    GetClientRect(frame, &rc);
    const int top = p.kind == AppKind::Excel ? 24 : 0;
    app.container = CreateWindowExW(
        WS_EX_CLIENTEDGE, Widen(p.containerClass).c_str(), nullptr,
        WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL, 0, top, rc.right,
        rc.bottom - top, frame, nullptr, app.instance, &ccs);
    BringToFront(frame, nullptr);
}

Document* OpenDocument(const std::string& path) {
    App& app = TheApp();
    const Profile& p = app.profile;
    const std::string name = BaseName(path);
    Document d;
    d.path = path;
    if (p.kind == AppKind::Word) {
        d.frame = NewTopLevel(p.frameClass, FrameTitle(name));
        if (!d.frame) return nullptr;
        MakeWindow(0, "MsoCommandBarDock", "MsoDockTop", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, d.frame);
        d.container = MakeWindow(0, p.containerClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                                 0, 0, 0, 0, d.frame);
        d.doc = MakeWindow(0, p.docClass, name, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0,
                           0, d.container);
        d.view = MakeWindow(0, p.viewClass, "Microsoft Word Document", WS_CHILD | WS_VISIBLE, 0, 0,
                            0, 0, d.doc);
    } else if (p.topLevelDocs) {
        d.frame = NewTopLevel(p.docClass, FrameTitle(name));
        if (!d.frame) return nullptr;
        d.doc = d.frame;
        if (!p.viewClass.empty())
            d.view = MakeWindow(0, p.viewClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, d.frame);
    } else {
        CreateMainFrame();
        if (!app.container) return nullptr;
        d.frame = app.mainFrame;
        d.container = app.container;
        const std::wstring cls = Widen(p.docClass), title = Widen(name);
        MDICREATESTRUCTW mcs{};
        mcs.szClass = cls.c_str();
        mcs.szTitle = title.c_str();
        mcs.hOwner = app.instance;
        mcs.x = mcs.y = mcs.cx = mcs.cy = CW_USEDEFAULT;
        mcs.style = WS_CLIPCHILDREN;
        d.doc = reinterpret_cast<HWND>(
            SendMessageW(app.container, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&mcs)));
        if (!d.doc) return nullptr;
        if (!p.viewClass.empty())
            d.view = MakeWindow(0, p.viewClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, d.doc);
    }
    app.docs.push_back(d);
    Document* stored = &app.docs.back();
    if (stored->frame != app.mainFrame) {
        RECT rc;
        GetClientRect(stored->frame, &rc);
        SendMessageW(stored->frame, WM_SIZE, 0, MAKELPARAM(rc.right, rc.bottom));
    }
    ActivateWindow(stored->doc);
    return &app.docs.back();
}

bool ActivateWindow(HWND w) {
    if (!IsWindow(w)) return false;
    App& app = TheApp();
    Document* d = nullptr;
    for (auto& doc : app.docs)
        if (doc.doc == w || doc.view == w || (doc.frame == w && doc.frame != app.mainFrame)) d = &doc;
    if (d && d->container && d->frame == app.mainFrame) {
        SendMessageW(app.container, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(d->doc), 0);
        BringToFront(app.mainFrame, d->view ? d->view : d->doc);
    } else if (d) {
        BringToFront(d->frame, d->view ? d->view : d->doc);
    } else {
        HWND root = GetAncestor(w, GA_ROOT);
        BringToFront(root ? root : w, nullptr);
    }
    return GetActiveWindow() == GetAncestor(w, GA_ROOT);
}

void CloseWindowOf(HWND w) {
    App& app = TheApp();
    for (auto& d : app.docs) {
        if (d.doc != w && d.frame != w) continue;
        if (d.container && d.frame == app.mainFrame && d.doc == w) {
            SendMessageW(app.container, WM_MDIDESTROY, reinterpret_cast<WPARAM>(w), 0);
        } else {
            DestroyWindow(d.frame);
        }
        Forget(w);
        return;
    }
    DestroyWindow(w);
    Forget(w);
}

HWND CreateHostDialog(const std::string& title, HWND owner, const std::string& controls,
                      std::vector<HWND>& controlsOut) {
    // An in-memory template without items: the controls are added afterwards,
    // so any text and nesting can be built.
    struct {
        DLGTEMPLATE t;
        WORD menu, cls, title;
    } tpl{};
    tpl.t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    tpl.t.cx = 240;
    tpl.t.cy = 140;
    tpl.t.x = 60;
    tpl.t.y = 60;
    HWND dlg = CreateDialogIndirectParamW(TheApp().instance, &tpl.t, owner, HostDialogProc, 0);
    if (!dlg) return nullptr;
    SetWindowTextW(dlg, Widen(title).c_str());
    std::vector<HWND> parents{dlg};
    int y = 8, next = 1000;
    size_t start = 0;
    while (start < controls.size()) {
        size_t end = controls.find('|', start);
        if (end == std::string::npos) end = controls.size();
        const std::string item = controls.substr(start, end - start);
        start = end + 1;
        if (item == "end") {
            if (parents.size() > 1) parents.pop_back();
            continue;
        }
        const size_t colon = item.find(':');
        std::string kind = item.substr(0, colon);
        const std::string text = colon == std::string::npos ? "" : item.substr(colon + 1);
        int id = next++;
        const size_t hash = kind.find('#');
        if (hash != std::string::npos) {
            id = atoi(kind.c_str() + hash + 1);
            kind.resize(hash);
        } else if (kind == "button" && text == "OK") {
            id = IDOK;
        } else if (kind == "button" && text == "Cancel") {
            id = IDCANCEL;
        }
        std::string cls = "Button";
        DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
        if (kind == "button") style |= BS_PUSHBUTTON;
        else if (kind == "check") style |= BS_AUTOCHECKBOX;
        else if (kind == "static") cls = "Static";
        else if (kind == "edit") cls = "Edit", style |= WS_BORDER;
        else if (kind == "panel") cls = "HostPanel", style |= WS_CLIPCHILDREN;
        HWND c = MakeWindow(0, cls, text, style, 8, y, 300, kind == "panel" ? 200 : 22,
                            parents.back(), id);
        y += 26;
        controlsOut.push_back(c);
        if (kind == "panel" && c) parents.push_back(c);
    }
    TheApp().dialogs.push_back(dlg);
    BringToFront(dlg, nullptr);
    return dlg;
}

HWND CreateAnyWindow(const std::string& cls, HWND parent, HWND owner, const std::string& title,
                     bool visible, bool child) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    const std::wstring w = Widen(cls);
    if (!GetClassInfoExW(TheApp().instance, w.c_str(), &wc) &&
        !GetClassInfoExW(nullptr, w.c_str(), &wc))
        Register(cls, GenericProc);
    DWORD style = child ? (WS_CHILD | WS_CLIPSIBLINGS) : (WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN);
    if (visible) style |= WS_VISIBLE;
    const int off = 30 * (g_cascade++ % 8);
    return MakeWindow(0, cls, title, style, child ? 0 : 100 + off, child ? 0 : 100 + off,
                      child ? 400 : 600, child ? 300 : 400, child ? parent : owner);
}

}  // namespace host
