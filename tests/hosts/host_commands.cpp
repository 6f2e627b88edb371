// The host's command table. Each command runs on the UI thread.
#include <cstring>
#include <functional>

#include "host_app.h"
#include "host_command.h"
#include "host_library.h"

namespace host {

Args::Args(const std::vector<std::string>& fields) {
    for (size_t i = 1; i < fields.size(); ++i) {
        const size_t eq = fields[i].find('=');
        if (eq == std::string::npos) values_[fields[i]] = "";
        else values_[fields[i].substr(0, eq)] = fields[i].substr(eq + 1);
    }
}

std::string Args::Str(const std::string& k, const std::string& def) const {
    auto it = values_.find(k);
    return it == values_.end() ? def : it->second;
}

long long Args::Num(const std::string& k, long long def) const {
    auto it = values_.find(k);
    return it == values_.end() ? def : hostproto::ParseNumber(it->second);
}

HWND Args::Wnd(const std::string& k) const { return ParseWnd(Str(k)); }

void Reply::SetWnd(const std::string& k, HWND w) { Set(k, HexOf(w)); }

std::vector<std::string> Reply::Fields() const {
    if (!error_.empty()) return {"err", error_};
    std::vector<std::string> out{"ok"};
    out.insert(out.end(), fields_.begin(), fields_.end());
    return out;
}

namespace {

using Handler = std::function<void(const Args&, Reply&)>;

std::string KindName(AppKind k) {
    switch (k) {
        case AppKind::Word: return "word";
        case AppKind::Excel: return "excel";
        case AppKind::PowerPoint: return "powerpoint";
        case AppKind::Pdf: return "pdf";
        case AppKind::Korb: return "korb";
        default: return "plain";
    }
}

std::string HandleList(const std::vector<HWND>& v) {
    std::string s;
    for (HWND w : v) {
        if (!s.empty()) s += ",";
        s += HexOf(w);
    }
    return s;
}

std::string IdList(const std::vector<uint32_t>& v) {
    std::string s;
    for (uint32_t id : v) {
        if (!s.empty()) s += ",";
        s += std::to_string(id);
    }
    return s;
}

std::string HexBytes(const std::string& s) {
    std::string out;
    char two[3];
    for (unsigned char c : s) {
        snprintf(two, sizeof two, "%02x", c);
        out += two;
    }
    return out;
}

void ReportDocument(const Document& d, Reply& r) {
    r.SetWnd("doc", d.doc);
    r.SetWnd("frame", d.frame);
    r.SetWnd("container", d.container);
    r.SetWnd("view", d.view);
}

bool NeedLibrary(Reply& r) {
    if (TheLibrary().module) return true;
    r.Fail("Gatrel.dll is not loaded (command gatrel)");
    return false;
}

bool NeedDoc(Reply& r) {
    if (!NeedLibrary(r)) return false;
    if (!TheLibrary().DocObject) {
        r.Fail("export DocObject missing");
        return false;
    }
    if (!TheLibrary().DocObject()) {
        r.Fail("no document object");
        return false;
    }
    return true;
}

void ReportDocObject(Reply& r) {
    CCommonDoc* doc = TheLibrary().DocObject ? TheLibrary().DocObject() : nullptr;
    r.Set("exists", doc != nullptr);
    if (!doc) return;
    r.Set("type", doc->nDocType);
    r.Set("version", doc->strVersion);
}

void ReportRecord(bool answer, const _ZEL_HOOK_INFO_& rec, Reply& r) {
    r.Set("answer", answer);
    r.Set("pid", static_cast<long long>(rec.dwProcessId));
    r.Set("path", std::string(rec.szFilePath, strnlen(rec.szFilePath, sizeof rec.szFilePath)));
    r.Set("perm", std::string(rec.szPermission, strnlen(rec.szPermission, sizeof rec.szPermission)));
    r.Set("zelname",
          std::string(rec.szZelFileName, strnlen(rec.szZelFileName, sizeof rec.szZelFileName)));
    r.Set("type", rec.byDocType);
    r.Set("wnd", hostproto::Hex(rec.hDocWnd));
    r.Set("owner", static_cast<long long>(rec.dwOwnerPid));
}

// A window on a thread of its own takes the foreground: the UI thread then has
// no active window, as when the user works in another application.
DWORD WINAPI BackgroundThread(LPVOID ready) {
    HWND w = CreateWindowExW(0, L"HostBar", L"host background window", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                             900, 600, 200, 150, nullptr, nullptr, TheApp().instance, nullptr);
    SetForegroundWindow(w);
    SetActiveWindow(w);
    SetEvent(static_cast<HANDLE>(ready));
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}

HWND g_backgroundWnd = nullptr;

// "threadpost": whether another thread of the process takes a message posted
// to it within ms. A message hook of that thread alone sees the message when
// the thread retrieves it; the host's own thread keeps handling its messages
// meanwhile.
constexpr UINT kThreadPostMessage = WM_APP + 0x51;
volatile LONG g_threadPostSeen = 0;

LRESULT CALLBACK ThreadPostHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code >= 0 && lParam && reinterpret_cast<const MSG*>(lParam)->message == kThreadPostMessage)
        InterlockedExchange(&g_threadPostSeen, 1);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void DoThreadPost(const Args& a, Reply& r) {
    const DWORD tid = static_cast<DWORD>(a.Num("tid"));
    const DWORD ms = static_cast<DWORD>(a.Num("ms", 3000));
    HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, ThreadPostHook, nullptr, tid);
    if (!hook) return r.Fail("SetWindowsHookEx failed: " + std::to_string(GetLastError()));
    InterlockedExchange(&g_threadPostSeen, 0);
    const DWORD start = GetTickCount();
    const BOOL posted = PostThreadMessageW(tid, kThreadPostMessage, 0, 0);
    while (posted && !g_threadPostSeen && GetTickCount() - start < ms) PumpPending(10);
    const DWORD elapsed = GetTickCount() - start;
    UnhookWindowsHookEx(hook);
    r.Set("posted", posted);
    r.Set("seen", static_cast<long long>(g_threadPostSeen));
    r.Set("ms", static_cast<long long>(elapsed));
}

std::map<std::string, Handler>& Table() {
    static std::map<std::string, Handler> t = {
        {"ping",
         [](const Args&, Reply& r) {
             const Profile& p = TheApp().profile;
             r.Set("pid", static_cast<long long>(GetCurrentProcessId()));
             r.Set("exe", p.exeBase);
             r.Set("kind", KindName(p.kind));
             r.Set("product", p.productVersion);
             r.Set("file", p.fileVersion);
             r.Set("frameclass", p.frameClass);
             r.Set("containerclass", p.containerClass);
             r.Set("docclass", p.docClass);
         }},
        {"open",
         [](const Args& a, Reply& r) {
             Document* d = OpenDocument(a.Str("path", "Document1"));
             if (!d) return r.Fail("cannot create the document window");
             ReportDocument(*d, r);
             r.SetWnd("active", GetActiveWindow());
         }},
        {"activate",
         [](const Args& a, Reply& r) {
             r.Set("done", ActivateWindow(a.Wnd("wnd")));
             PumpPending(50);
             r.SetWnd("active", GetActiveWindow());
             r.SetWnd("foreground", GetForegroundWindow());
         }},
        {"background",
         [](const Args&, Reply& r) {
             if (!g_backgroundWnd || !IsWindow(g_backgroundWnd)) {
                 HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
                 CloseHandle(CreateThread(nullptr, 0, BackgroundThread, ready, 0, nullptr));
                 WaitForSingleObject(ready, 5000);
                 CloseHandle(ready);
                 g_backgroundWnd = FindWindowW(L"HostBar", L"host background window");
             }
             // Late focus events of the display can hand the foreground back.
             for (int i = 0; i < 20; ++i) {
                 SetForegroundWindow(g_backgroundWnd);
                 PumpPending(30);
                 if (!GetActiveWindow() && GetForegroundWindow() == g_backgroundWnd) break;
             }
             r.SetWnd("background", g_backgroundWnd);
             r.SetWnd("active", GetActiveWindow());
             r.SetWnd("foreground", GetForegroundWindow());
         }},
        {"dialog",
         [](const Args& a, Reply& r) {
             HWND owner = nullptr;
             const std::string o = a.Str("owner", "active");
             if (o == "active") owner = GetActiveWindow();
             else if (o != "none") owner = ParseWnd(o);
             std::vector<HWND> controls;
             HWND dlg = CreateHostDialog(a.Str("title"), owner, a.Str("controls"), controls);
             r.SetWnd("dlg", dlg);
             if (!dlg) return;
             r.SetWnd("owner", owner);
             for (size_t i = 0; i < controls.size(); ++i) r.SetWnd("c" + std::to_string(i), controls[i]);
             r.SetWnd("active", GetActiveWindow());
         }},
        {"create",
         [](const Args& a, Reply& r) {
             const bool child = a.Flag("child");
             HWND w = CreateAnyWindow(a.Str("class", "HostWindow"), a.Wnd("parent"), a.Wnd("owner"),
                                      a.Str("title"), a.Num("visible", 1) != 0, child);
             r.SetWnd("wnd", w);
             if (!w) return r.Set("err", static_cast<long long>(GetLastError()));
             if (a.Flag("activate")) ActivateWindow(w);
             r.SetWnd("active", GetActiveWindow());
         }},
        {"show",
         [](const Args& a, Reply& r) {
             r.Set("ret", ShowWindow(a.Wnd("wnd"), static_cast<int>(a.Num("cmd", SW_SHOW))));
             r.Set("visible", IsWindowVisible(a.Wnd("wnd")));
         }},
        {"close",
         [](const Args& a, Reply& r) {
             CloseWindowOf(a.Wnd("wnd"));
             r.Set("exists", IsWindow(a.Wnd("wnd")));
             r.SetWnd("active", GetActiveWindow());
         }},
        {"windows",
         [](const Args&, Reply& r) {
             App& app = TheApp();
             r.SetWnd("active", GetActiveWindow());
             r.SetWnd("foreground", GetForegroundWindow());
             r.SetWnd("focus", GetFocus());
             r.SetWnd("main", app.mainFrame);
             r.SetWnd("container", app.container);
             std::vector<HWND> docs, frames;
             for (auto& d : app.docs) {
                 docs.push_back(d.doc);
                 frames.push_back(d.frame);
             }
             r.Set("docs", HandleList(docs));
             r.Set("frames", HandleList(frames));
             r.Set("dialogs", HandleList(app.dialogs));
         }},
        {"info",
         [](const Args& a, Reply& r) {
             HWND w = a.Wnd("wnd");
             r.Set("exists", IsWindow(w));
             if (!IsWindow(w)) return;
             wchar_t cls[260] = {}, text[1024] = {};
             GetClassNameW(w, cls, 260);
             GetWindowTextW(w, text, 1024);
             r.Set("class", Narrow(cls));
             r.Set("text", Narrow(text));
             r.Set("visible", IsWindowVisible(w));
             r.Set("enabled", IsWindowEnabled(w));
             r.SetWnd("parent", GetParent(w));
             r.SetWnd("owner", GetWindow(w, GW_OWNER));
             r.SetWnd("root", GetAncestor(w, GA_ROOT));
             DWORD pid = 0;
             r.Set("tid", static_cast<long long>(GetWindowThreadProcessId(w, &pid)));
             r.Set("pid", static_cast<long long>(pid));
             if (_wcsicmp(cls, L"Button") == 0) r.Set("check", SendMessageW(w, BM_GETCHECK, 0, 0));
             RECT rc{};
             GetWindowRect(w, &rc);
             r.Set("rect", std::to_string(rc.left) + "," + std::to_string(rc.top) + "," +
                               std::to_string(rc.right) + "," + std::to_string(rc.bottom));
         }},
        {"events",
         [](const Args& a, Reply& r) {
             auto& ev = TheApp().events;
             r.Set("count", static_cast<long long>(ev.size()));
             for (size_t i = 0; i < ev.size(); ++i) r.Set("e" + std::to_string(i), ev[i]);
             if (!a.Has("keep")) ev.clear();
         }},
        {"pump",
         [](const Args& a, Reply& r) {
             PumpPending(static_cast<DWORD>(a.Num("ms", 100)));
             r.Set("done", 1);
         }},
        {"menu",
         [](const Args& a, Reply& r) {
             HWND w = a.Has("wnd") ? a.Wnd("wnd") : GetActiveWindow();
             HMENU bar = CreateMenu(), popup = CreatePopupMenu();
             const std::string ids = a.Str("ids");
             size_t start = 0;
             while (start < ids.size()) {
                 size_t end = ids.find(',', start);
                 if (end == std::string::npos) end = ids.size();
                 const UINT id = static_cast<UINT>(hostproto::ParseNumber(ids.substr(start, end - start)));
                 AppendMenuW(popup, MF_STRING, id, Widen("Item " + std::to_string(id)).c_str());
                 start = end + 1;
             }
             // grayed: ids whose items start greyed (set directly, as a menu resource would).
             const std::string grayed = "," + a.Str("grayed") + ",";
             for (int i = 0, n = GetMenuItemCount(popup); i < n; ++i) {
                 const UINT id = GetMenuItemID(popup, i);
                 if (grayed.find("," + std::to_string(id) + ",") == std::string::npos) continue;
                 MENUITEMINFOW mii{};
                 mii.cbSize = sizeof mii;
                 mii.fMask = MIIM_STATE;
                 mii.fState = MFS_GRAYED;
                 SetMenuItemInfoW(popup, static_cast<UINT>(i), TRUE, &mii);
             }
             AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), L"&File");
             r.Set("set", SetMenu(w, bar));
             r.Set("menu", hostproto::Hex(reinterpret_cast<uintptr_t>(bar)));
             r.Set("popup", hostproto::Hex(reinterpret_cast<uintptr_t>(popup)));
         }},
        {"copy", DoCopy},
        {"paste", DoPaste},
        {"print", DoPrint},
        {"printdlg", DoPrintDialog},
        {"savedlg", DoSaveDialog},
        {"writefile", DoWriteFile},
        {"file", DoFileOp},
        {"call", DoCall},
        {"key", DoKey},
        {"click", DoClick},
        {"load",
         [](const Args& a, Reply& r) {
             HMODULE m = LoadLibraryW(Widen(a.Str("path")).c_str());
             r.Set("module", hostproto::Hex(reinterpret_cast<uintptr_t>(m)));
             r.Set("err", static_cast<long long>(m ? 0 : GetLastError()));
         }},
        {"gatrel",
         [](const Args& a, Reply& r) {
             std::string error;
             if (!LoadLibraryExports(a.Str("path"), error)) return r.Fail(error);
             r.Set("module", hostproto::Hex(reinterpret_cast<uintptr_t>(TheLibrary().module)));
             r.Set("missing", TheLibrary().missing);
             ReportDocObject(r);
         }},
        {"createdoc",
         [](const Args&, Reply& r) {
             Library& lib = TheLibrary();
             if (!NeedLibrary(r)) return;
             if (!lib.DocObject || !lib.CreateDocObject) return r.Fail("exports missing: " + lib.missing);
             // Process attach may already have made the object; never make a second.
             if (!lib.DocObject()) {
                 const std::string& name = TheApp().profile.exeBase;
                 if (name.find("KORBDO") != std::string::npos) {
                     if (!lib.CreateKORBDocObject) return r.Fail("export CreateKORBDocObject missing");
                     lib.CreateKORBDocObject();
                 } else {
                     lib.CreateDocObject(name);
                 }
             }
             ReportDocObject(r);
         }},
        {"doc",
         [](const Args&, Reply& r) {
             if (NeedLibrary(r)) ReportDocObject(r);
         }},
        {"iszeldoc",
         [](const Args& a, Reply& r) {
             BringFront(a);
             if (!NeedDoc(r)) return;
             _ZEL_HOOK_INFO_ rec{};
             const bool answer = TheLibrary().DocObject()->IsZelDoc(rec);
             ReportRecord(answer, rec, r);
         }},
        {"islimited",
         [](const Args& a, Reply& r) {
             BringFront(a);
             if (!NeedDoc(r)) return;
             _ZEL_HOOK_INFO_ rec{};
             const bool answer = TheLibrary().DocObject()->IsLimitedZelDoc(rec);
             ReportRecord(answer, rec, r);
         }},
        {"finddoc",
         [](const Args& a, Reply& r) {
             BringFront(a);
             if (!NeedLibrary(r)) return;
             if (!TheLibrary().FindActiveDocWnd) return r.Fail("export FindActiveDocWnd missing");
             r.SetWnd("wnd", TheLibrary().FindActiveDocWnd());
             r.SetWnd("active", GetActiveWindow());
         }},
        {"korbupdate",
         [](const Args& a, Reply& r) {
             BringFront(a);
             if (!NeedLibrary(r)) return;
             if (!TheLibrary().UpdateKORBDocWnd || !TheLibrary().GetProcessContext)
                 return r.Fail("exports missing: " + TheLibrary().missing);
             TheLibrary().UpdateKORBDocWnd();
             r.Set("mdiclient", hostproto::Hex(TheLibrary().GetProcessContext().hMDIClient));
         }},
        {"context",
         [](const Args&, Reply& r) {
             if (!NeedLibrary(r)) return;
             if (!TheLibrary().GetProcessContext) return r.Fail("export GetProcessContext missing");
             ProcessContext& c = TheLibrary().GetProcessContext();
             r.Set("acrobat", static_cast<long long>(c.dwAcrobatVersion));
             r.Set("pdfclass", c.strPdfWndClass);
             r.Set("noprint", IdList(c.NoPrintMenuIds));
             r.Set("print", IdList(c.PrintMenuIds));
             r.Set("active", c.pActiveMenuIds == nullptr             ? "none"
                             : c.pActiveMenuIds == &c.PrintMenuIds   ? "print"
                             : c.pActiveMenuIds == &c.NoPrintMenuIds ? "noprint"
                                                                     : "other");
             r.Set("mdiclient", hostproto::Hex(c.hMDIClient));
             r.Set("exename", c.strExeName);
             r.Set("filetemp", c.strFileTempPath);
             r.Set("hashookinfo", c.bHasHookInfo);
         }},
        {"osversion",
         [](const Args&, Reply& r) {
             if (!NeedLibrary(r)) return;
             if (!TheLibrary().GetOSVersion) return r.Fail("export GetOSVersion missing");
             int code = 0, sp = 0;
             r.Set("ret", TheLibrary().GetOSVersion(code, sp));
             r.Set("code", code);
             r.Set("sp", sp);
         }},
        {"savetitle",
         [](const Args& a, Reply& r) {
             if (!NeedLibrary(r)) return;
             if (!TheLibrary().IsSaveDlgTitle) return r.Fail("export IsSaveDlgTitle missing");
             char text[512] = {};
             GetWindowTextA(a.Wnd("wnd"), text, sizeof text);
             std::string upper = text;
             if (!upper.empty()) CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
             r.Set("text", HexBytes(text));
             r.Set("upper", HexBytes(upper));
             r.Set("answer", TheLibrary().IsSaveDlgTitle(upper.c_str()));
         }},
        {"gdiwatch",
         [](const Args&, Reply& r) {
             const GdiWatchCounts c = GdiWatch();
             r.Set("armed", c.armed ? 1LL : 0LL);
             r.Set("startups", static_cast<long long>(c.startups));
             r.Set("locked", static_cast<long long>(c.underLoaderLock));
             r.Set("lockednames", c.lockedNames);
         }},
        {"hookreport",
         [](const Args&, Reply& r) {
             // Also after a plain load command: whatever library is loaded.
             const GatrelDiagnostics* t = DiagnosticTableOf(GetModuleHandleA("gatrel"));
             if (!t) return r.Fail("Gatrel.dll or its diagnostic table is missing");
             char names[4096] = {};
             r.Set("count", t->HookReport(names, sizeof names));
             r.Set("names", std::string(names));
             char modules[8192] = {};
             t->HookModules(modules, sizeof modules);
             r.Set("modules", std::string(modules));
         }},
        {"refusal",
         [](const Args& a, Reply& r) {
             if (!NeedLibrary(r)) return;
             const GatrelDiagnostics* t = TheLibrary().table;
             if (!t) return r.Fail("diagnostic table missing");
             const std::string kind = a.Str("kind");
             LPTHREAD_START_ROUTINE show = kind == "virtual"     ? t->ShowVirtualPrinterMsg
                                           : kind == "saveas"    ? t->ShowSaveAsMsg
                                           : kind == "cantprint" ? t->ShowCantPrintMsg
                                           : kind == "limit"     ? t->ShowPrintLimitMsg
                                                                 : nullptr;
             if (!show) return r.Fail("kind: virtual, saveas, cantprint or limit");
             r.Set("ret", static_cast<long long>(show(a.Wnd("owner"))));
         }},
        {"threads",
         [](const Args&, Reply& r) {
             if (!NeedLibrary(r)) return;
             const GatrelDiagnostics* t = TheLibrary().table;
             if (!t) return r.Fail("diagnostic table missing");
             r.Set("screentool", static_cast<long long>(t->ScreenToolThreadId()));
             r.Set("watch", static_cast<long long>(t->WatchThreadId()));
             const ProcessContext& c = t->GetProcessContext();
             r.Set("getmsghook", hostproto::Hex(reinterpret_cast<uintptr_t>(c.hGetMsgHookLocal)));
             r.Set("cbthook", hostproto::Hex(reinterpret_cast<uintptr_t>(c.hCBTHookLocal)));
         }},
        {"appobject",
         [](const Args& a, Reply& r) {
             if (!NeedLibrary(r)) return;
             const GatrelDiagnostics* t = TheLibrary().table;
             if (!t) return r.Fail("diagnostic table missing");
             void*& object = t->AppObject();
             if (a.Has("value"))
                 object = reinterpret_cast<void*>(static_cast<uintptr_t>(a.Num("value")));
             r.Set("value", hostproto::Hex(reinterpret_cast<uintptr_t>(object)));
             r.Set("address", hostproto::Hex(reinterpret_cast<uintptr_t>(&object)));
         }},
        {"threadpost", DoThreadPost},
        {"affinity",
         [](const Args&, Reply& r) {
             std::string calls;
             for (const std::string& c : AffinityCalls()) calls += (calls.empty() ? "" : ",") + c;
             r.Set("calls", calls);
         }},
        {"officedlg", [](const Args& a, Reply& r) { DoWindowControlCommand("officedlg", a, r); }},
        {"msgbox", [](const Args& a, Reply& r) { DoWindowControlCommand("msgbox", a, r); }},
        {"pdfprint", [](const Args& a, Reply& r) { DoWindowControlCommand("pdfprint", a, r); }},
        {"pdfprintcontrols", [](const Args& a, Reply& r) { DoWindowControlCommand("pdfprintcontrols", a, r); }},
        {"mouse", [](const Args& a, Reply& r) { DoWindowControlCommand("mouse", a, r); }},
        {"cbtcreate", [](const Args& a, Reply& r) { DoWindowControlCommand("cbtcreate", a, r); }},
        {"grapherrors", [](const Args& a, Reply& r) { DoWindowControlCommand("grapherrors", a, r); }},
        {"com", [](const Args& a, Reply& r) { DoAutomationCommand("com", a, r); }},
        {"dde", [](const Args& a, Reply& r) { DoAutomationCommand("dde", a, r); }},
        {"droptarget", [](const Args& a, Reply& r) { DoAutomationCommand("droptarget", a, r); }},
        {"drag", [](const Args& a, Reply& r) { DoAutomationCommand("drag", a, r); }},
        {"printersetup", DoPrinterSetup},
        {"printflag", DoPrintFlag},
        {"jobstep", DoJobStep},
        {"spooljob", DoSpoolJob},
        {"printstate", DoPrintState},
        {"acp",
         [](const Args&, Reply& r) {
             r.Set("acp", static_cast<long long>(GetACP()));
             r.Set("oemcp", static_cast<long long>(GetOEMCP()));
         }},
        {"quit",
         [](const Args& a, Reply& r) {
             g_quitRequested = true;
             PostQuitMessage(static_cast<int>(a.Num("code", 0)));
             r.Set("quitting", 1);
         }},
    };
    return t;
}

}  // namespace

std::vector<std::string> RunCommand(const std::vector<std::string>& request) {
    Reply r;
    if (request.empty() || request[0].empty()) {
        r.Fail("empty request");
        return r.Fields();
    }
    auto& t = Table();
    auto it = t.find(request[0]);
    if (it == t.end()) {
        r.Fail("unknown command " + request[0]);
        return r.Fields();
    }
    try {
        it->second(Args(request), r);
    } catch (const std::exception& e) {
        r.Fail(std::string("exception: ") + e.what());
    } catch (...) {
        r.Fail("exception");
    }
    return r.Fields();
}

void BringFront(const Args& a) {
    if (a.Has("front")) ActivateWindow(a.Wnd("front"));
}

}  // namespace host
