// The API calls that later guard tests make the host perform, exactly as an
// application would make them: on its UI thread, with its own windows.
#include "host_app.h"

#include <commdlg.h>
#include <winspool.h>

#include <cstring>
#include "host_command.h"

namespace host {
namespace {

HWND DefaultOwner(const Args& a) {
    if (a.Has("wnd")) return a.Wnd("wnd");
    HWND focus = GetFocus();
    return focus ? focus : GetActiveWindow();
}

void SetLastErr(Reply& r, DWORD err) { r.Set("err", static_cast<long long>(err)); }

HGLOBAL GlobalText(const void* data, size_t bytes) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!h) return nullptr;
    memcpy(GlobalLock(h), data, bytes);
    GlobalUnlock(h);
    return h;
}

// Holds the thread's keyboard state with the given modifiers (and, while its
// key-down message is taken from the queue, the key itself) down, as the
// keyboard would: posted messages change no key state.
class ModifierState {
public:
    explicit ModifierState(const std::string& mods) : mods_(mods) {
        GetKeyboardState(saved_);
        Press(0);
    }
    ~ModifierState() { SetKeyboardState(saved_); }
    // The modifiers down, and key too unless it is 0.
    void Press(BYTE key) {
        BYTE state[256];
        memcpy(state, saved_, sizeof state);
        if (mods_.find("ctrl") != std::string::npos) state[VK_CONTROL] = state[VK_LCONTROL] = 0x80;
        if (mods_.find("shift") != std::string::npos) state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
        if (mods_.find("alt") != std::string::npos) state[VK_MENU] = state[VK_LMENU] = 0x80;
        if (key) state[key] = 0x80;
        SetKeyboardState(state);
    }

private:
    std::string mods_;
    BYTE saved_[256];
};

std::vector<BYTE> ModifierKeys(const std::string& mods) {
    std::vector<BYTE> keys;
    if (mods.find("ctrl") != std::string::npos) keys.push_back(VK_CONTROL);
    if (mods.find("shift") != std::string::npos) keys.push_back(VK_SHIFT);
    if (mods.find("alt") != std::string::npos) keys.push_back(VK_MENU);
    return keys;
}

}  // namespace

void RenderClipboard(UINT format) {
    App& app = TheApp();
    HGLOBAL h = nullptr;
    if (format == CF_UNICODETEXT)
        h = GlobalText(app.pendingClipWide.c_str(), (app.pendingClipWide.size() + 1) * 2);
    else if (format == CF_TEXT)
        h = GlobalText(app.pendingClipText.c_str(), app.pendingClipText.size() + 1);
    if (h && !SetClipboardData(format, h)) GlobalFree(h);
    Event("render:" + std::to_string(format));
}

// A small bitmap on the clipboard: a GDI object the clipboard owns once set.
void CopyBitmap(HWND owner, Reply& r) {
    r.SetWnd("owner", owner);
    const BOOL opened = OpenClipboard(owner);
    r.Set("open", opened);
    if (!opened) return SetLastErr(r, GetLastError());
    r.Set("empty", EmptyClipboard());
    HBITMAP bmp = CreateBitmap(8, 8, 1, 32, nullptr);
    SetLastError(0);
    HANDLE set = SetClipboardData(CF_BITMAP, bmp);
    if (!set && bmp) DeleteObject(bmp);
    r.Set("set", set != nullptr);
    r.SetWnd("handle", reinterpret_cast<HWND>(set));
    const DWORD err = GetLastError();
    r.Set("close", CloseClipboard());
    SetLastErr(r, err);
}

void DoCopy(const Args& a, Reply& r) {
    App& app = TheApp();
    HWND owner = DefaultOwner(a);
    if (a.Str("format") == "bitmap") return CopyBitmap(owner, r);
    const bool wide = a.Str("format", "text") == "unicode";
    const UINT format = wide ? CF_UNICODETEXT : CF_TEXT;
    app.pendingClipText = a.Str("text");
    app.pendingClipWide = Widen(app.pendingClipText);
    r.SetWnd("owner", owner);
    const BOOL opened = OpenClipboard(owner);
    r.Set("open", opened);
    if (!opened) return SetLastErr(r, GetLastError());
    r.Set("empty", EmptyClipboard());
    HANDLE set = nullptr;
    if (a.Flag("delayed")) {
        set = SetClipboardData(format, nullptr);
        r.Set("set", set == nullptr && GetLastError() != 0 ? 0 : 1);
    } else {
        HGLOBAL h = wide ? GlobalText(app.pendingClipWide.c_str(), (app.pendingClipWide.size() + 1) * 2)
                         : GlobalText(app.pendingClipText.c_str(), app.pendingClipText.size() + 1);
        SetLastError(0);
        set = SetClipboardData(format, h);
        if (!set && h) GlobalFree(h);
        r.Set("set", set != nullptr);
        r.SetWnd("handle", reinterpret_cast<HWND>(set));
    }
    const DWORD err = GetLastError();
    r.Set("close", CloseClipboard());
    SetLastErr(r, err);
}

void DoPaste(const Args& a, Reply& r) {
    HWND owner = DefaultOwner(a);
    const bool wide = a.Str("format", "text") == "unicode";
    const UINT format = wide ? CF_UNICODETEXT : CF_TEXT;
    r.Set("available", IsClipboardFormatAvailable(format));
    const BOOL opened = OpenClipboard(owner);
    r.Set("open", opened);
    if (!opened) return SetLastErr(r, GetLastError());
    SetLastError(0);
    HANDLE h = GetClipboardData(format);
    const DWORD err = GetLastError();
    r.Set("data", h != nullptr);
    if (h) {
        const void* p = GlobalLock(h);
        if (p) {
            r.Set("text", wide ? Narrow(static_cast<const wchar_t*>(p))
                               : std::string(static_cast<const char*>(p)));
            GlobalUnlock(h);
        }
    }
    r.Set("close", CloseClipboard());
    SetLastErr(r, err);
}

void DoPrintDialog(const Args& a, Reply& r) {
    PRINTDLGW pd{};
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = DefaultOwner(a) ? GetAncestor(DefaultOwner(a), GA_ROOT) : nullptr;
    pd.Flags = PD_RETURNDC;
    const BOOL ok = PrintDlgW(&pd);
    r.Set("ret", ok);
    r.Set("err", static_cast<long long>(CommDlgExtendedError()));
    if (pd.hDC) DeleteDC(pd.hDC);
    if (pd.hDevMode) GlobalFree(pd.hDevMode);
    if (pd.hDevNames) GlobalFree(pd.hDevNames);
}

// A save dialog whose hook opens a second one from inside the first, once
// the named event is set: a dialog opened from a dialog's own hook.
struct NestedSave {
    HANDLE go = nullptr;
    bool done = false;
    BOOL ret = FALSE;
    std::wstring title;
} g_nested;

UINT_PTR CALLBACK NestingHook(HWND dlg, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_INITDIALOG) SetTimer(dlg, 1, 50, nullptr);
    if (msg == WM_TIMER && !g_nested.done && WaitForSingleObject(g_nested.go, 0) == WAIT_OBJECT_0) {
        KillTimer(dlg, 1);
        g_nested.done = true;
        wchar_t buf[MAX_PATH] = {};
        OPENFILENAMEW inner{};
        inner.lStructSize = sizeof inner;
        inner.hwndOwner = GetParent(dlg);
        inner.lpstrFile = buf;
        inner.nMaxFile = MAX_PATH;
        inner.lpstrTitle = g_nested.title.c_str();
        inner.Flags = OFN_EXPLORER;
        g_nested.ret = GetSaveFileNameW(&inner);
        PostMessageW(GetParent(dlg), WM_COMMAND, IDCANCEL, 0);
    }
    return 0;
}

// GetSaveFileNameA or W on buf (the proposed name in, the one taken out),
// titled unless title is empty.
template <class Ofn, class Char>
BOOL ShowSaveDialog(BOOL(WINAPI* show)(Ofn*), HWND owner, Char (&buf)[MAX_PATH], const Char* title,
                    LPOFNHOOKPROC hook = nullptr) {
    Ofn ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFile = buf;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = title && *title ? title : nullptr;
    ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | (hook ? OFN_ENABLEHOOK : 0);
    ofn.lpfnHook = hook;
    return show(&ofn);
}

void DoSaveDialog(const Args& a, Reply& r) {
    BringFront(a);
    HWND owner = DefaultOwner(a) ? GetAncestor(DefaultOwner(a), GA_ROOT) : nullptr;
    const bool nesting = a.Has("nested");
    if (nesting) {
        g_nested = NestedSave{};
        g_nested.go = OpenEventW(SYNCHRONIZE, FALSE, Widen(a.Str("nested")).c_str());
        g_nested.title = Widen(a.Str("nestedtitle"));
    }
    const std::string file = a.Str("file");
    BOOL ok;
    std::string chosen;
    if (a.Flag("ansi")) {
        char buf[MAX_PATH] = {};
        lstrcpynA(buf, file.c_str(), MAX_PATH);
        ok = ShowSaveDialog(GetSaveFileNameA, owner, buf, a.Str("title").c_str());
        chosen = buf;
    } else {
        wchar_t buf[MAX_PATH] = {};
        lstrcpynW(buf, Widen(file).c_str(), MAX_PATH);
        ok = ShowSaveDialog(GetSaveFileNameW, owner, buf, Widen(a.Str("title")).c_str(),
                            nesting ? NestingHook : nullptr);
        chosen = Narrow(buf);
    }
    r.Set("ret", ok);
    r.Set("path", chosen);
    r.Set("err", static_cast<long long>(CommDlgExtendedError()));
    if (a.Flag("again")) {
        // At once, in the same command: no round trip between the two.
        char buf[MAX_PATH] = {};
        lstrcpynA(buf, file.c_str(), MAX_PATH);
        r.Set("againret", ShowSaveDialog(GetSaveFileNameA, owner, buf, ""));
    }
    if (nesting) {
        r.Set("nested", g_nested.done);
        r.Set("nestedret", g_nested.ret);
        if (g_nested.go) CloseHandle(g_nested.go);
    }
}

void DoWriteFile(const Args& a, Reply& r) {
    const std::string path = a.Str("path"), body = a.Str("text");
    SetLastError(0);
    HANDLE h = a.Flag("ansi") ? CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr)
                              : CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    r.Set("opened", h != INVALID_HANDLE_VALUE);
    if (h == INVALID_HANDLE_VALUE) return SetLastErr(r, GetLastError());
    DWORD written = 0;
    r.Set("write", WriteFile(h, body.data(), static_cast<DWORD>(body.size()), &written, nullptr));
    r.Set("written", static_cast<long long>(written));
    r.Set("close", CloseHandle(h));
    SetLastErr(r, 0);
}

// One file API call, wide unless the operation says otherwise. A path field
// that is absent is passed as a null pointer.
void DoFileOp(const Args& a, Reply& r) {
    const std::string op = a.Str("op");
    const std::wstring path = Widen(a.Str("path")), to = Widen(a.Str("to")),
                       backup = Widen(a.Str("backup"));
    const wchar_t* p = a.Has("path") ? path.c_str() : nullptr;
    const wchar_t* t = a.Has("to") ? to.c_str() : nullptr;
    const wchar_t* b = a.Has("backup") ? backup.c_str() : nullptr;
    const DWORD flags = static_cast<DWORD>(a.Num("flags", 0));
    SetLastError(0);
    long long ret = 0;
    if (op == "create" || op == "read") {
        const std::string how = a.Str("disposition", op == "read" ? "existing" : "always");
        const DWORD disposition = how == "new" ? CREATE_NEW : how == "existing" ? OPEN_EXISTING
                                  : how == "openalways" ? OPEN_ALWAYS : CREATE_ALWAYS;
        const bool reading = op == "read";
        HANDLE h = CreateFileW(p, reading ? GENERIC_READ : GENERIC_WRITE,
                               reading ? FILE_SHARE_READ : 0, nullptr, disposition,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        const DWORD err = GetLastError();
        r.Set("opened", h != INVALID_HANDLE_VALUE);
        if (h != INVALID_HANDLE_VALUE) {
            if (reading) {
                std::string body(65536, '\0');
                DWORD got = 0;
                ReadFile(h, &body[0], static_cast<DWORD>(body.size()), &got, nullptr);
                body.resize(got);
                r.Set("text", body);
            } else {
                const std::string body = a.Str("text");
                DWORD written = 0;
                WriteFile(h, body.data(), static_cast<DWORD>(body.size()), &written, nullptr);
                r.Set("written", static_cast<long long>(written));
            }
            CloseHandle(h);
        }
        return SetLastErr(r, err);
    }
    if (op == "attr") {
        ret = GetFileAttributesW(p);
    } else if (op == "attrex" || op == "attra") {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        const std::string pa = a.Str("path");
        ret = op == "attra" ? GetFileAttributesExA(a.Has("path") ? pa.c_str() : nullptr, GetFileExInfoStandard, &data)
                            : GetFileAttributesExW(p, GetFileExInfoStandard, &data);
        const DWORD err = GetLastError();
        r.Set("ret", ret);
        r.Set("attrs", static_cast<long long>(ret ? data.dwFileAttributes : INVALID_FILE_ATTRIBUTES));
        return SetLastErr(r, err);
    } else if (op == "find" || op == "findex" || op == "finda") {
        WIN32_FIND_DATAW fd{};
        WIN32_FIND_DATAA fda{};
        const std::string pa = a.Str("path");
        HANDLE h = op == "finda"    ? FindFirstFileA(a.Has("path") ? pa.c_str() : nullptr, &fda)
                   : op == "findex" ? FindFirstFileExW(p, FindExInfoStandard, &fd, FindExSearchNameMatch, nullptr, 0)
                                    : FindFirstFileW(p, &fd);
        ret = h != INVALID_HANDLE_VALUE;
        const DWORD err = GetLastError();
        if (ret) {
            r.Set("name", op == "finda" ? std::string(fda.cFileName) : Narrow(fd.cFileName));
            r.Set("alt", op == "finda" ? std::string(fda.cAlternateFileName) : Narrow(fd.cAlternateFileName));
            FindClose(h);
        }
        r.Set("ret", ret);
        return SetLastErr(r, err);
    } else if (op == "delete") {
        ret = DeleteFileW(p);
    } else if (op == "copy") {
        ret = CopyFileW(p, t, flags != 0);
    } else if (op == "copyex") {
        ret = CopyFileExW(p, t, nullptr, nullptr, nullptr, flags);
    } else if (op == "move") {
        ret = MoveFileW(p, t);
    } else if (op == "movea") {
        const std::string pa = a.Str("path"), ta = a.Str("to");
        ret = MoveFileA(a.Has("path") ? pa.c_str() : nullptr, a.Has("to") ? ta.c_str() : nullptr);
    } else if (op == "movex") {
        ret = MoveFileExW(p, t, flags);
    } else if (op == "moveexa") {
        const std::string pa = a.Str("path"), ta = a.Str("to");
        ret = MoveFileExA(a.Has("path") ? pa.c_str() : nullptr, a.Has("to") ? ta.c_str() : nullptr, flags);
    } else if (op == "replace") {
        ret = ReplaceFileW(p, t, b, flags, nullptr, nullptr);
    } else {
        return r.Fail("unknown file operation " + op);
    }
    const DWORD err = GetLastError();
    r.Set("ret", ret);
    SetLastErr(r, err);
}

// Calls any exported function with up to 12 arguments, whatever its calling
// convention: the stack pointer is restored from a callee-saved register, so a
// cdecl and a stdcall function both return to a balanced stack.
// One stdcall or cdecl call with up to 12 32-bit arguments.
struct CallFrame {
    void* proc;
    const DWORD* args;
    int count;
    DWORD result = 0;
    DWORD error = 0;

    void Run() {
        SetLastError(0);
        int n = count;
        const DWORD* argp = args;
        asm volatile(
            "movl %%esp, %%esi\n\t"
            "1:\n\t"
            "testl %%ecx, %%ecx\n\t"
            "jz 2f\n\t"
            "pushl -4(%%edx,%%ecx,4)\n\t"
            "decl %%ecx\n\t"
            "jmp 1b\n\t"
            "2:\n\t"
            "call *%%eax\n\t"
            "movl %%esi, %%esp\n\t"
            : "=a"(result), "+c"(n), "+d"(argp)
            : "a"(proc)
            : "esi", "memory", "cc");
        error = GetLastError();
    }
    static DWORD WINAPI OnThread(LPVOID self) {
        static_cast<CallFrame*>(self)->Run();
        return 0;
    }
};

void DoCall(const Args& a, Reply& r) {
    const std::string dll = a.Str("dll"), fn = a.Str("fn");
    HMODULE m = GetModuleHandleW(Widen(dll).c_str());
    if (!m) m = LoadLibraryW(Widen(dll).c_str());
    if (!m) return r.Fail("cannot load " + dll);
    void* proc = reinterpret_cast<void*>(GetProcAddress(m, fn.c_str()));
    if (!proc) return r.Fail("no export " + fn + " in " + dll);
    std::vector<std::string> strs;
    std::vector<std::wstring> wstrs;
    std::vector<std::vector<char>> bufs;
    strs.reserve(12);
    wstrs.reserve(12);
    bufs.reserve(12);
    std::vector<int> bufArg;
    DWORD args[12] = {};
    int n = 0;
    for (; n < 12 && a.Has("a" + std::to_string(n)); ++n) {
        const std::string v = a.Str("a" + std::to_string(n));
        const std::string kind = v.substr(0, 2), body = v.size() > 2 ? v.substr(2) : "";
        if (kind == "s:") {
            strs.push_back(body);
            args[n] = reinterpret_cast<DWORD>(strs.back().c_str());
        } else if (kind == "w:") {
            wstrs.push_back(Widen(body));
            args[n] = reinterpret_cast<DWORD>(wstrs.back().c_str());
        } else if (kind == "b:") {
            bufs.emplace_back(static_cast<size_t>(hostproto::ParseNumber(body)) + 2, 0);
            bufArg.push_back(n);
            args[n] = reinterpret_cast<DWORD>(bufs.back().data());
        } else if (kind == "i:") {
            args[n] = static_cast<DWORD>(hostproto::ParseNumber(body));
        } else {
            args[n] = static_cast<DWORD>(hostproto::ParseNumber(v));
        }
    }
    CallFrame frame{proc, args, n};
    if (a.Str("thread") == "new") {
        // On a thread of its own, which has nothing open or owned.
        HANDLE t = CreateThread(nullptr, 0, CallFrame::OnThread, &frame, 0, nullptr);
        if (!t) return r.Fail("cannot start a thread");
        WaitForSingleObject(t, INFINITE);
        CloseHandle(t);
    } else {
        frame.Run();
    }
    const DWORD result = frame.result, err = frame.error;
    r.Set("ret", static_cast<long long>(static_cast<int>(result)));
    r.Set("uret", static_cast<long long>(result));
    r.Set("err", static_cast<long long>(err));
    for (size_t i = 0; i < bufArg.size(); ++i) {
        const auto& b = bufs[i];
        std::string hex;
        char two[3];
        for (size_t k = 0; k + 2 < b.size(); ++k) {
            snprintf(two, sizeof two, "%02x", static_cast<unsigned char>(b[k]));
            hex += two;
        }
        r.Set("out" + std::to_string(bufArg[i]), hex);
        r.Set("outs" + std::to_string(bufArg[i]), std::string(b.data()));
    }
}

void DoKey(const Args& a, Reply& r) {
    const BYTE vk = static_cast<BYTE>(a.Num("vk"));
    const std::string mods = a.Str("mods");
    const std::vector<BYTE> modKeys = ModifierKeys(mods);
    if (a.Str("mode", "input") == "post") {
        HWND target = a.Has("wnd") ? a.Wnd("wnd") : GetFocus();
        if (!target) target = GetActiveWindow();
        r.SetWnd("target", target);
        ModifierState state(mods);
        // Alt makes system keys, unless Ctrl is down too (as the keyboard does).
        const bool alt = mods.find("alt") != std::string::npos;
        const bool sys = alt && mods.find("ctrl") == std::string::npos;
        const UINT down = sys ? WM_SYSKEYDOWN : WM_KEYDOWN, up = sys ? WM_SYSKEYUP : WM_KEYUP;
        const UINT scan = MapVirtualKeyW(vk, 0);
        state.Press(vk);
        PostMessageW(target, down, vk, 1 | (scan << 16) | (alt ? 1u << 29 : 0));
        PumpPending(500);
        state.Press(0);
        PostMessageW(target, up, vk, 1 | (scan << 16) | (alt ? 1u << 29 : 0) | 0xC0000000u);
        PumpPending(500);
    } else {
        r.SetWnd("target", GetFocus());
        for (BYTE m : modKeys) keybd_event(m, 0, 0, 0);
        keybd_event(vk, 0, 0, 0);
        keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
        for (auto it = modKeys.rbegin(); it != modKeys.rend(); ++it)
            keybd_event(*it, 0, KEYEVENTF_KEYUP, 0);
        PumpPending(1000);
    }
    r.Set("sent", 1);
}

void DoClick(const Args& a, Reply& r) {
    HWND w = a.Wnd("wnd");
    if (!IsWindow(w)) return r.Fail("no such window");
    const bool right = a.Str("button", "left") == "right";
    const bool dbl = a.Flag("double");
    RECT rc;
    GetClientRect(w, &rc);
    POINT pt{rc.right / 2, rc.bottom / 2};
    if (a.Str("mode", "post") == "post") {
        const LPARAM lp = MAKELPARAM(pt.x, pt.y);
        const UINT down = right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN;
        const UINT up = right ? WM_RBUTTONUP : WM_LBUTTONUP;
        PostMessageW(w, down, right ? MK_RBUTTON : MK_LBUTTON, lp);
        PostMessageW(w, up, 0, lp);
        if (dbl) {
            PostMessageW(w, right ? WM_RBUTTONDBLCLK : WM_LBUTTONDBLCLK, 0, lp);
            PostMessageW(w, up, 0, lp);
        }
        PumpPending(300);
    } else {
        ClientToScreen(w, &pt);
        SetCursorPos(pt.x, pt.y);
        const DWORD down = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
        const DWORD up = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
        for (int i = 0; i < (dbl ? 2 : 1); ++i) {
            mouse_event(down, 0, 0, 0, 0);
            mouse_event(up, 0, 0, 0, 0);
        }
        PumpPending(1000);
    }
    r.Set("x", pt.x);
    r.Set("y", pt.y);
}

}  // namespace host
