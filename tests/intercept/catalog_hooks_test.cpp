// Every function of the hook catalog, in a real Wine process: resolved, hooked
// with a counting replacement, called the way an application calls it (the
// count rises and the real result comes back), unhooked; twice in a row.
#include <gtest/gtest.h>

#include "intercept/hook_slots.h"  // Windows, OLE, dialog, DDE and spooler headers
#include <shellapi.h>
#include <shlobj.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "intercept/api_resolver.h"
#include "intercept/detour.h"
#include "intercept/hook_function.h"
#include "intercept/hook_tables.h"
#include "tests/hooks/wine_printer.h"
#include "tests/intercept/test_code.h"

namespace {

std::wstring g_dir;  // private scratch folder
const char* kPrinter = "Gatrel Intercept Test";
const char* kDriver = "Gatrel Intercept Driver";

std::wstring Path(const wchar_t* name) { return g_dir + L"\\" + name; }

void WriteFileW(const std::wstring& path, const char* text) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    ::WriteFile(h, text, static_cast<DWORD>(strlen(text)), &n, nullptr);
    CloseHandle(h);
}

std::string ReadFileW(const std::wstring& path) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    char buf[256] = {};
    DWORD n = 0;
    ::ReadFile(h, buf, sizeof buf - 1, &n, nullptr);
    CloseHandle(h);
    return std::string(buf, n);
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// ---- small COM objects -----------------------------------------------------

template <class... I>
class Object : public I... {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || ((iid == __uuidof(I)) || ...)) {
            *out = static_cast<typename std::tuple_element<0, std::tuple<I...>>::type*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }

private:
    ULONG refs_ = 1;
};

class DropTarget : public Object<IDropTarget> {
public:
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* e) override { *e = DROPEFFECT_NONE; return S_OK; }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* e) override { *e = DROPEFFECT_NONE; return S_OK; }
    HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject*, DWORD, POINTL, DWORD* e) override { *e = DROPEFFECT_NONE; return S_OK; }
};

class DropSource : public Object<IDropSource> {
public:
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL, DWORD) override { return DRAGDROP_S_CANCEL; }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

class DataObject : public Object<IDataObject> {
public:
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC*, STGMEDIUM*) override { return DV_E_FORMATETC; }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return DV_E_FORMATETC; }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* o) override { o->ptd = nullptr; return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }
};

class Plain : public Object<IPersist> {
public:
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* c) override { *c = CLSID_NULL; return S_OK; }
};

// ---- a window of our own ---------------------------------------------------

UINT g_lastCommand = 0;

LRESULT CALLBACK WndProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_COMMAND) g_lastCommand = LOWORD(w);
    return DefWindowProcW(h, m, w, l);
}

// The protected applications of other tests hook the default desktop from
// their watch threads, and the system takes a hook away only a second or two
// after its process ended: a window of this program there would bring the
// library in, whose rows would hold the functions this program detours. The
// program's thread works on a desktop of its own, taken before its first
// window.
const bool g_onOwnDesktop = [] {
    char name[64];
    snprintf(name, sizeof name, "gatrel_catalog_%lu", GetCurrentProcessId());
    HDESK desktop = CreateDesktopA(name, nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    return desktop && SetThreadDesktop(desktop);
}();

HWND Window() {
    static HWND wnd = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = WndProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"GatrelCatalogTest";
        RegisterClassW(&wc);
        return CreateWindowW(L"GatrelCatalogTest", L"catalog", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                             nullptr, nullptr, wc.hInstance, nullptr);
    }();
    return wnd;
}

UINT_PTR CALLBACK CancelDialog(HWND dlg, UINT msg, WPARAM, LPARAM l) {
    if (msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(l)->code == CDN_INITDONE)
        PostMessageW(GetParent(dlg), WM_COMMAND, IDCANCEL, 0);
    return 0;
}

int WINAPI Add3(int a, int b) { return a + b + 3; }

HDDEDATA CALLBACK DdeServer(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return reinterpret_cast<HDDEDATA>(type == XTYP_CONNECT ? TRUE : FALSE);
}

// A Wine printer whose port is a pipe into nowhere.
bool EnsurePrinter() {
    return testing_support::AddWinePrinter(kPrinter, kDriver,
                                           "Z:\\usr\\share\\ghostscript\\10.00.0\\lib\\ghostpdf.ppd",
                                           "|cat >/dev/null");
}

std::wstring PrinterW() {
    wchar_t w[64];
    MultiByteToWideChar(CP_ACP, 0, kPrinter, -1, w, 64);
    return w;
}

// The printer goes when the program ends: other tests of the prefix see its
// printers as they were.
class PrinterRemoval : public ::testing::Environment {
public:
    void TearDown() override { testing_support::RemoveWinePrinter(kPrinter, kDriver); }
};
const auto* const g_printerRemoval = ::testing::AddGlobalTestEnvironment(new PrinterRemoval);

// ---- how an application calls each function --------------------------------

using Call = std::function<std::string()>;

std::map<std::string, Call> Calls() {
    std::map<std::string, Call> c;
    // F5 through a table of its own, to the window's WM_COMMAND.
    auto translate = [](bool wide) {
        ACCEL a{FVIRTKEY, VK_F5, 4242};
        HACCEL table = wide ? CreateAcceleratorTableW(&a, 1) : CreateAcceleratorTableA(&a, 1);
        MSG msg{Window(), WM_KEYDOWN, VK_F5, 0};
        g_lastCommand = 0;
        const int r = wide ? TranslateAcceleratorW(Window(), table, &msg) : TranslateAcceleratorA(Window(), table, &msg);
        DestroyAcceleratorTable(table);
        EXPECT_EQ(4242u, g_lastCommand);
        return std::to_string(r != 0) + "/" + std::to_string(g_lastCommand);
    };
    c["TranslateAccelerator"] = [translate] { return translate(false); };
    c["TranslateAcceleratorW"] = [translate] { return translate(true); };
    c["GetCursorPos"] = [] {
        POINT p{-1, -1};
        const BOOL r = ::GetCursorPos(&p);
        EXPECT_TRUE(r);
        return std::to_string(r);
    };
    c["EnableMenuItem"] = [] {
        HMENU m = CreateMenu();
        AppendMenuA(m, MF_STRING, 5, "Item");
        const UINT first = ::EnableMenuItem(m, 5, MF_BYCOMMAND | MF_GRAYED);
        const UINT second = ::EnableMenuItem(m, 5, MF_BYCOMMAND | MF_ENABLED);
        DestroyMenu(m);
        EXPECT_EQ(static_cast<UINT>(MF_ENABLED), first);
        EXPECT_EQ(static_cast<UINT>(MF_GRAYED), second);
        return std::to_string(first) + "/" + std::to_string(second);
    };
    c["CreateFileW"] = [] {
        HANDLE h = ::CreateFileW(Path(L"create.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        const bool ok = h != INVALID_HANDLE_VALUE;
        if (ok) CloseHandle(h);
        EXPECT_TRUE(ok);
        EXPECT_TRUE(Exists(Path(L"create.txt")));
        return std::to_string(ok);
    };
    c["GetFileAttributesW"] = [] {
        WriteFileW(Path(L"attr.txt"), "a");
        const DWORD a = ::GetFileAttributesW(Path(L"attr.txt").c_str());
        const DWORD none = ::GetFileAttributesW(Path(L"none.txt").c_str());
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, a);
        EXPECT_FALSE(a & FILE_ATTRIBUTE_DIRECTORY);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, none);
        return std::to_string(a) + "/" + std::to_string(none);
    };
    c["GetFileAttributesExW"] = [] {
        WriteFileW(Path(L"attrex.txt"), "abc");
        WIN32_FILE_ATTRIBUTE_DATA data{};
        const BOOL r = ::GetFileAttributesExW(Path(L"attrex.txt").c_str(), GetFileExInfoStandard, &data);
        EXPECT_TRUE(r);
        EXPECT_EQ(3u, data.nFileSizeLow);
        return std::to_string(r) + "/" + std::to_string(data.nFileSizeLow);
    };
    c["DeleteFileW"] = [] {
        WriteFileW(Path(L"delete.txt"), "d");
        const BOOL r = ::DeleteFileW(Path(L"delete.txt").c_str());
        EXPECT_TRUE(r);
        EXPECT_FALSE(Exists(Path(L"delete.txt")));
        return std::to_string(r);
    };
    c["FindFirstFileW"] = [] {
        WriteFileW(Path(L"findme.txt"), "f");
        WIN32_FIND_DATAW fd{};
        HANDLE h = ::FindFirstFileW(Path(L"findm*.txt").c_str(), &fd);
        EXPECT_NE(INVALID_HANDLE_VALUE, h);
        if (h != INVALID_HANDLE_VALUE) FindClose(h);
        EXPECT_STREQ(L"findme.txt", fd.cFileName);
        char name[MAX_PATH];
        WideCharToMultiByte(CP_ACP, 0, fd.cFileName, -1, name, MAX_PATH, nullptr, nullptr);
        return std::string(name);
    };
    c["FindFirstFileExW"] = [] {
        WriteFileW(Path(L"findex.txt"), "f");
        WIN32_FIND_DATAW fd{};
        HANDLE h = ::FindFirstFileExW(Path(L"findex.txt").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch,
                                      nullptr, 0);
        EXPECT_NE(INVALID_HANDLE_VALUE, h);
        if (h != INVALID_HANDLE_VALUE) FindClose(h);
        EXPECT_STREQ(L"findex.txt", fd.cFileName);
        return std::to_string(h != INVALID_HANDLE_VALUE) + std::to_string(fd.nFileSizeLow);
    };
    c["CopyFileExW"] = [] {
        WriteFileW(Path(L"copy_src.txt"), "copy");
        ::DeleteFileW(Path(L"copy_dst.txt").c_str());
        const BOOL r = ::CopyFileExW(Path(L"copy_src.txt").c_str(), Path(L"copy_dst.txt").c_str(),
                                     nullptr, nullptr, nullptr, 0);
        EXPECT_TRUE(r);
        return std::to_string(r) + ReadFileW(Path(L"copy_dst.txt"));
    };
    c["CreateHardLinkW"] = [] {
        WriteFileW(Path(L"link_src.txt"), "link");
        ::DeleteFileW(Path(L"link_dst.txt").c_str());
        const BOOL r = ::CreateHardLinkW(Path(L"link_dst.txt").c_str(), Path(L"link_src.txt").c_str(), nullptr);
        EXPECT_TRUE(r);
        return std::to_string(r) + ReadFileW(Path(L"link_dst.txt"));
    };
    c["MoveFileW"] = [] {
        WriteFileW(Path(L"mw_src.txt"), "mw");
        ::DeleteFileW(Path(L"mw_dst.txt").c_str());
        const BOOL r = ::MoveFileW(Path(L"mw_src.txt").c_str(), Path(L"mw_dst.txt").c_str());
        EXPECT_TRUE(r);
        EXPECT_FALSE(Exists(Path(L"mw_src.txt")));
        return std::to_string(r) + ReadFileW(Path(L"mw_dst.txt"));
    };
    c["MoveFileA"] = [] {
        WriteFileW(Path(L"ma_src.txt"), "ma");
        ::DeleteFileW(Path(L"ma_dst.txt").c_str());
        char src[MAX_PATH], dst[MAX_PATH];
        WideCharToMultiByte(CP_ACP, 0, Path(L"ma_src.txt").c_str(), -1, src, MAX_PATH, nullptr, nullptr);
        WideCharToMultiByte(CP_ACP, 0, Path(L"ma_dst.txt").c_str(), -1, dst, MAX_PATH, nullptr, nullptr);
        const BOOL r = ::MoveFileA(src, dst);
        EXPECT_TRUE(r);
        return std::to_string(r) + ReadFileW(Path(L"ma_dst.txt"));
    };
    c["ReplaceFileW"] = [] {
        WriteFileW(Path(L"rep_old.txt"), "old");
        WriteFileW(Path(L"rep_new.txt"), "new");
        const BOOL r = ::ReplaceFileW(Path(L"rep_old.txt").c_str(), Path(L"rep_new.txt").c_str(),
                                      nullptr, 0, nullptr, nullptr);
        EXPECT_TRUE(r);
        return std::to_string(r) + ReadFileW(Path(L"rep_old.txt"));
    };
    c["MoveFileExW"] = [] {
        WriteFileW(Path(L"mx_src.txt"), "mx");
        WriteFileW(Path(L"mx_dst.txt"), "stale");
        const BOOL r = ::MoveFileExW(Path(L"mx_src.txt").c_str(), Path(L"mx_dst.txt").c_str(),
                                     MOVEFILE_REPLACE_EXISTING);
        EXPECT_TRUE(r);
        return std::to_string(r) + ReadFileW(Path(L"mx_dst.txt"));
    };
    c["MoveFileWithProgressW"] = [] {
        WriteFileW(Path(L"mp_src.txt"), "mp");
        ::DeleteFileW(Path(L"mp_dst.txt").c_str());
        const BOOL r = ::MoveFileWithProgressW(Path(L"mp_src.txt").c_str(), Path(L"mp_dst.txt").c_str(), nullptr,
                                               nullptr, MOVEFILE_COPY_ALLOWED);
        EXPECT_TRUE(r);
        EXPECT_FALSE(Exists(Path(L"mp_src.txt")));
        return std::to_string(r) + ReadFileW(Path(L"mp_dst.txt"));
    };
    c["LoadLibraryExW"] = [] {
        HMODULE m = ::LoadLibraryExW(L"version.dll", nullptr, 0);
        EXPECT_NE(nullptr, m);
        HMODULE missing = ::LoadLibraryExW(L"no_such_library_here.dll", nullptr, 0);
        EXPECT_EQ(nullptr, missing);
        return std::to_string(m != nullptr) + std::to_string(missing != nullptr);
    };
    c["LoadLibraryA"] = [] {
        HMODULE m = ::LoadLibraryA("version.dll");
        EXPECT_NE(nullptr, m);
        EXPECT_NE(nullptr, GetProcAddress(m, "GetFileVersionInfoSizeA"));
        HMODULE missing = ::LoadLibraryA("no_such_library_here.dll");
        EXPECT_EQ(nullptr, missing);
        return std::to_string(m != nullptr) + std::to_string(missing != nullptr);
    };
    c["GetSaveFileNameW"] = [] {
        wchar_t file[MAX_PATH] = L"out.txt";
        OPENFILENAMEW ofn{};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = Window();
        ofn.lpstrFile = file;
        ofn.nMaxFile = MAX_PATH;
        ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK;
        ofn.lpfnHook = CancelDialog;
        const BOOL r = ::GetSaveFileNameW(&ofn);
        EXPECT_FALSE(r);  // cancelled by the hook, as a user would
        EXPECT_EQ(0u, CommDlgExtendedError());
        return std::to_string(r) + "/" + std::to_string(CommDlgExtendedError());
    };
    c["GetSaveFileNameA"] = [] {
        char file[MAX_PATH] = "out.txt";
        OPENFILENAMEA ofn{};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = Window();
        ofn.lpstrFile = file;
        ofn.nMaxFile = MAX_PATH;
        ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK;
        ofn.lpfnHook = CancelDialog;
        const BOOL r = ::GetSaveFileNameA(&ofn);
        EXPECT_FALSE(r);
        EXPECT_EQ(0u, CommDlgExtendedError());
        return std::to_string(r) + "/" + std::to_string(CommDlgExtendedError());
    };
    c["RegisterDragDrop"] = [] {
        static DropTarget target;
        const HRESULT r = ::RegisterDragDrop(Window(), &target);
        const HRESULT again = ::RegisterDragDrop(Window(), &target);
        RevokeDragDrop(Window());
        EXPECT_EQ(S_OK, r);
        EXPECT_EQ(DRAGDROP_E_ALREADYREGISTERED, again);
        return std::to_string(r) + "/" + std::to_string(again);
    };
    c["OpenProcess"] = [] {
        HANDLE h = ::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, GetCurrentProcessId());
        EXPECT_NE(nullptr, h);
        const DWORD pid = h ? GetProcessId(h) : 0;
        if (h) CloseHandle(h);
        EXPECT_EQ(GetCurrentProcessId(), pid);
        return std::to_string(pid == GetCurrentProcessId());
    };
    // Printing: a whole one-page job on a real (pipe) printer.
    // The call made on a device context of the printer, deleted after it.
    auto onPrinterDc = [](const std::function<std::string(HDC)>& use) {
        HDC dc = CreateDCW(L"WINSPOOL", PrinterW().c_str(), nullptr, nullptr);
        EXPECT_NE(nullptr, dc);
        if (!dc) return std::string("no dc");
        const std::string result = use(dc);
        DeleteDC(dc);
        return result;
    };
    auto startJob = [](HDC dc) {
        DOCINFOW di{sizeof di, L"catalog test", nullptr, nullptr, 0};
        return ::StartDocW(dc, &di);
    };
    auto printJob = [=](const char*) {
        return onPrinterDc([&](HDC dc) {
            const int job = startJob(dc);
            const int page = ::StartPage(dc);
            TextOutW(dc, 100, 100, L"gatrel", 6);
            const int endPage = ::EndPage(dc);
            const int endDoc = ::EndDoc(dc);
            EXPECT_GT(job, 0);
            EXPECT_GT(page, 0);
            EXPECT_GT(endPage, 0);
            EXPECT_GT(endDoc, 0);
            return std::to_string(job > 0) + std::to_string(page > 0) + std::to_string(endPage > 0) +
                   std::to_string(endDoc > 0);
        });
    };
    c["StartDocW"] = [=] { return printJob("StartDocW"); };
    c["EndDoc"] = [=] { return printJob("EndDoc"); };
    c["StartPage"] = [=] { return printJob("StartPage"); };
    c["EndPage"] = [=] { return printJob("EndPage"); };
    c["AbortDoc"] = [=] {
        return onPrinterDc([&](HDC dc) {
            const int job = startJob(dc);
            // Wine's PostScript driver answers 0 and leaves the job running:
            // through the row it answers what it answers without it.
            const int aborted = ::AbortDoc(dc);
            ::EndDoc(dc);
            EXPECT_GT(job, 0);
            return std::to_string(job > 0) + std::to_string(aborted);
        });
    };
    c["Escape"] = [=] {
        return onPrinterDc([](HDC dc) {
            const char name[] = "catalog test";
            const int job = ::Escape(dc, STARTDOC, sizeof name - 1, name, nullptr);
            TextOutW(dc, 100, 100, L"gatrel", 6);
            const int frame = ::Escape(dc, NEWFRAME, 0, nullptr, nullptr);
            const int end = ::Escape(dc, ENDDOC, 0, nullptr, nullptr);
            EXPECT_GT(job, 0);
            EXPECT_GT(frame, 0);
            EXPECT_GT(end, 0);
            return std::to_string(job > 0) + std::to_string(frame > 0) + std::to_string(end > 0);
        });
    };
    c["OpenPrinterA"] = [] {
        HANDLE h = nullptr;
        const BOOL r = ::OpenPrinterA(const_cast<char*>(kPrinter), &h, nullptr);
        HANDLE none = nullptr;
        const BOOL missing = ::OpenPrinterA(const_cast<char*>("No Such Printer"), &none, nullptr);
        if (h) ClosePrinter(h);
        EXPECT_TRUE(r);
        EXPECT_FALSE(missing);
        return std::to_string(r) + std::to_string(missing);
    };
    c["OpenPrinterW"] = [] {
        HANDLE h = nullptr;
        const BOOL r = ::OpenPrinterW(const_cast<wchar_t*>(PrinterW().c_str()), &h, nullptr);
        HANDLE none = nullptr;
        const BOOL missing = ::OpenPrinterW(const_cast<wchar_t*>(L"No Such Printer"), &none, nullptr);
        if (h) ClosePrinter(h);
        EXPECT_TRUE(r);
        EXPECT_FALSE(missing);
        return std::to_string(r) + std::to_string(missing);
    };
    c["StartDocPrinterW"] = [] {
        HANDLE h = nullptr;
        EXPECT_TRUE(OpenPrinterW(const_cast<wchar_t*>(PrinterW().c_str()), &h, nullptr));
        DOC_INFO_1W di{const_cast<wchar_t*>(L"raw job"), nullptr, const_cast<wchar_t*>(L"RAW")};
        const DWORD job = ::StartDocPrinterW(h, 1, reinterpret_cast<BYTE*>(&di));
        EXPECT_NE(0u, job);
        if (job) EndDocPrinter(h);
        ClosePrinter(h);
        return std::to_string(job != 0);
    };
    c["DocumentPropertiesW"] = [] {
        HANDLE h = nullptr;
        EXPECT_TRUE(OpenPrinterW(const_cast<wchar_t*>(PrinterW().c_str()), &h, nullptr));
        const LONG size = ::DocumentPropertiesW(nullptr, h, const_cast<wchar_t*>(PrinterW().c_str()),
                                                nullptr, nullptr, 0);
        ClosePrinter(h);
        EXPECT_GE(size, static_cast<LONG>(sizeof(DEVMODEW)));
        return std::to_string(size);
    };
    // The copies out of a device context: a marked pixel of a memory context
    // arrives in another one.
    auto copy = [](auto&& how) {
        HDC screen = GetDC(nullptr);
        HDC src = CreateCompatibleDC(screen), dst = CreateCompatibleDC(screen);
        HBITMAP b1 = CreateCompatibleBitmap(screen, 4, 4), b2 = CreateCompatibleBitmap(screen, 4, 4);
        SelectObject(src, b1);
        SelectObject(dst, b2);
        SetPixel(src, 1, 1, RGB(10, 200, 30));
        const BOOL r = how(dst, src);
        const COLORREF px = GetPixel(dst, 1, 1);
        DeleteDC(src);
        DeleteDC(dst);
        DeleteObject(b1);
        DeleteObject(b2);
        ReleaseDC(nullptr, screen);
        EXPECT_TRUE(r);
        EXPECT_EQ(RGB(10, 200, 30), px);
        return std::to_string(r) + "/" + std::to_string(px);
    };
    c["BitBlt"] = [=] {
        return copy([](HDC d, HDC s) { return ::BitBlt(d, 0, 0, 4, 4, s, 0, 0, SRCCOPY); });
    };
    c["CreateDCA"] = [] {
        HDC dc = ::CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
        EXPECT_NE(nullptr, dc);
        const int bits = dc ? GetDeviceCaps(dc, BITSPIXEL) : 0;
        if (dc) DeleteDC(dc);
        return std::to_string(bits);
    };
    c["CreateDCW"] = [] {
        HDC dc = ::CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
        EXPECT_NE(nullptr, dc);
        const int bits = dc ? GetDeviceCaps(dc, BITSPIXEL) : 0;
        if (dc) DeleteDC(dc);
        return std::to_string(bits);
    };
    auto drag = [](bool begin) {
        HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32, 1, 1);
        HDC screen = GetDC(nullptr);
        HBITMAP bmp = CreateCompatibleBitmap(screen, 16, 16);
        ReleaseDC(nullptr, screen);
        ImageList_Add(list, bmp, nullptr);
        const BOOL r = begin ? ::ImageList_BeginDrag(list, 0, 0, 0) : ImageList_BeginDrag(list, 0, 0, 0);
        EXPECT_TRUE(r);
        HIMAGELIST dragging = ImageList_GetDragImage(nullptr, nullptr);
        EXPECT_NE(nullptr, dragging);
        ::ImageList_EndDrag();
        EXPECT_EQ(nullptr, ImageList_GetDragImage(nullptr, nullptr));
        ImageList_Destroy(list);
        DeleteObject(bmp);
        return std::to_string(r);
    };
    c["ImageList_BeginDrag"] = [=] { return drag(true); };
    c["ImageList_EndDrag"] = [=] { return drag(false); };
    c["StretchBlt"] = [=] {
        return copy([](HDC d, HDC s) { return ::StretchBlt(d, 0, 0, 4, 4, s, 0, 0, 4, 4, SRCCOPY); });
    };
    c["MaskBlt"] = [=] {
        return copy([](HDC d, HDC s) { return ::MaskBlt(d, 0, 0, 4, 4, s, 0, 0, nullptr, 0, 0, MAKEROP4(SRCCOPY, SRCCOPY)); });
    };
    c["PlgBlt"] = [=] {
        return copy([](HDC d, HDC s) {
            const POINT p[3] = {{0, 0}, {4, 0}, {0, 4}};
            return ::PlgBlt(d, p, s, 0, 0, 4, 4, nullptr, 0, 0);
        });
    };
    c["GdiTransparentBlt"] = [=] {
        return copy([](HDC d, HDC s) { return ::GdiTransparentBlt(d, 0, 0, 4, 4, s, 0, 0, 4, 4, RGB(255, 0, 255)); });
    };
    c["GdiAlphaBlend"] = [=] {
        return copy([](HDC d, HDC s) {
            const BLENDFUNCTION opaque{AC_SRC_OVER, 0, 255, 0};
            return ::GdiAlphaBlend(d, 0, 0, 4, 4, s, 0, 0, 4, 4, opaque);
        });
    };
    c["GetPixel"] = [] {
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP b = CreateCompatibleBitmap(screen, 4, 4);
        SelectObject(dc, b);
        SetPixel(dc, 2, 2, RGB(10, 200, 30));
        const COLORREF px = ::GetPixel(dc, 2, 2);
        DeleteDC(dc);
        DeleteObject(b);
        ReleaseDC(nullptr, screen);
        EXPECT_EQ(RGB(10, 200, 30), px);
        return std::to_string(px);
    };
    c["PrintWindow"] = [] {
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP b = CreateCompatibleBitmap(screen, 200, 100);
        SelectObject(dc, b);
        const BOOL r = ::PrintWindow(Window(), dc, 0);
        DeleteDC(dc);
        DeleteObject(b);
        ReleaseDC(nullptr, screen);
        EXPECT_TRUE(r);
        return std::to_string(r);
    };
    c["DoDragDrop"] = [] {
        static DataObject data;
        static DropSource source;
        DWORD effect = 0;
        const HRESULT r = ::DoDragDrop(&data, &source, DROPEFFECT_COPY, &effect);
        EXPECT_EQ(DRAGDROP_S_CANCEL, r);
        return std::to_string(r);
    };
    // Registered and found again by class id, through the running object table.
    static const CLSID kTestClass = {0x6b1f0e2a, 0x58c1, 0x4d3e, {0x9a, 0x11, 0x2c, 0x7e, 0x40, 0x1d, 0x5b, 0x33}};
    c["GetActiveObject"] = [] {
        static Plain object;
        DWORD reg = 0;
        EXPECT_EQ(S_OK, RegisterActiveObject(&object, kTestClass, ACTIVEOBJECT_STRONG, &reg));
        IUnknown* found = nullptr;
        const HRESULT r = ::GetActiveObject(kTestClass, nullptr, &found);
        RevokeActiveObject(reg, nullptr);
        EXPECT_EQ(S_OK, r);
        EXPECT_NE(nullptr, found);
        if (found) found->Release();
        return std::to_string(r);
    };
    c["RegisterActiveObject"] = [] {
        static Plain object;
        DWORD reg = 0;
        const HRESULT r = ::RegisterActiveObject(&object, kTestClass, ACTIVEOBJECT_STRONG, &reg);
        IUnknown* found = nullptr;
        const HRESULT g = GetActiveObject(kTestClass, nullptr, &found);
        if (found) found->Release();
        RevokeActiveObject(reg, nullptr);
        EXPECT_EQ(S_OK, r);
        EXPECT_EQ(S_OK, g);
        return std::to_string(r) + "/" + std::to_string(g);
    };
    c["DdeConnect"] = [] {
        DWORD inst = 0;
        EXPECT_EQ(DMLERR_NO_ERROR, DdeInitializeW(&inst, DdeServer, 0, 0));
        HSZ service = DdeCreateStringHandleW(inst, L"GatrelCatalog", CP_WINUNICODE);
        HSZ topic = DdeCreateStringHandleW(inst, L"System", CP_WINUNICODE);
        DdeNameService(inst, service, nullptr, DNS_REGISTER);
        HCONV conv = ::DdeConnect(inst, service, topic, nullptr);
        HSZ nobody = DdeCreateStringHandleW(inst, L"NoSuchService", CP_WINUNICODE);
        HCONV none = ::DdeConnect(inst, nobody, topic, nullptr);
        const UINT error = DdeGetLastError(inst);
        if (conv) DdeDisconnect(conv);
        DdeNameService(inst, service, nullptr, DNS_UNREGISTER);
        DdeFreeStringHandle(inst, service);
        DdeFreeStringHandle(inst, topic);
        DdeFreeStringHandle(inst, nobody);
        DdeUninitialize(inst);
        EXPECT_NE(nullptr, conv);
        EXPECT_EQ(nullptr, none);
        EXPECT_EQ(static_cast<UINT>(DMLERR_NO_CONV_ESTABLISHED), error);
        return std::to_string(conv != nullptr) + "/" + std::to_string(error);
    };
    c["CoCreateInstance"] = [] {
        IGlobalInterfaceTable* git = nullptr;
        const HRESULT r = ::CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                             IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&git));
        EXPECT_EQ(S_OK, r);
        if (git) git->Release();
        return std::to_string(r);
    };
    c["CoCreateInstanceEx"] = [] {
        MULTI_QI qi{&IID_IGlobalInterfaceTable, nullptr, 0};
        const HRESULT r = ::CoCreateInstanceEx(CLSID_StdGlobalInterfaceTable, nullptr,
                                               CLSCTX_INPROC_SERVER, nullptr, 1, &qi);
        EXPECT_EQ(S_OK, r);
        EXPECT_EQ(S_OK, qi.hr);
        if (qi.pItf) qi.pItf->Release();
        return std::to_string(r);
    };
    c["CoGetClassObject"] = [] {
        IClassFactory* factory = nullptr;
        const HRESULT r = ::CoGetClassObject(CLSID_StdGlobalInterfaceTable, CLSCTX_INPROC_SERVER, nullptr,
                                             IID_IClassFactory, reinterpret_cast<void**>(&factory));
        EXPECT_EQ(S_OK, r);
        if (factory) factory->Release();
        return std::to_string(r);
    };
    c["DdeConnectList"] = [] {
        // A stub in Wine that answers no list; the answer comes back as it is.
        DWORD inst = 0;
        EXPECT_EQ(DMLERR_NO_ERROR, DdeInitializeW(&inst, DdeServer, APPCMD_CLIENTONLY, 0));
        HSZ topic = DdeCreateStringHandleW(inst, L"System", CP_WINUNICODE);
        HCONVLIST list = ::DdeConnectList(inst, nullptr, topic, nullptr, nullptr);
        if (list) DdeDisconnectList(list);
        DdeFreeStringHandle(inst, topic);
        DdeUninitialize(inst);
        return std::to_string(list != nullptr);
    };
    c["OleRun"] = [] {
        static Plain object;
        const HRESULT r = ::OleRun(&object);
        EXPECT_EQ(S_OK, r);
        return std::to_string(r);
    };
    c["RevokeDragDrop"] = [] {
        static DropTarget target;
        EXPECT_EQ(S_OK, RegisterDragDrop(Window(), &target));
        const HRESULT r = ::RevokeDragDrop(Window());
        const HRESULT again = ::RevokeDragDrop(Window());
        EXPECT_EQ(S_OK, r);
        EXPECT_EQ(DRAGDROP_E_NOTREGISTERED, again);
        return std::to_string(r) + "/" + std::to_string(again);
    };
    c["DispCallFunc"] = [] {
        VARTYPE types[2] = {VT_I4, VT_I4};
        VARIANT a, b, result;
        VariantInit(&a);
        VariantInit(&b);
        VariantInit(&result);
        V_VT(&a) = VT_I4;
        V_I4(&a) = 20;
        V_VT(&b) = VT_I4;
        V_I4(&b) = 19;
        VARIANTARG* args[2] = {&a, &b};
        const HRESULT r = ::DispCallFunc(nullptr, reinterpret_cast<ULONG_PTR>(&Add3), CC_STDCALL,
                                         VT_I4, 2, types, args, &result);
        EXPECT_EQ(S_OK, r);
        EXPECT_EQ(42, V_I4(&result));
        return std::to_string(r) + "/" + std::to_string(V_I4(&result));
    };
    // The clipboard: copy a text and read it back.
    auto clip = [] {
        EXPECT_TRUE(::OpenClipboard(Window()));
        EXPECT_TRUE(::EmptyClipboard());
        HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, 16);
        strcpy(static_cast<char*>(GlobalLock(mem)), "catalog");
        GlobalUnlock(mem);
        const bool set = ::SetClipboardData(CF_TEXT, mem) != nullptr;
        const int formats = ::CountClipboardFormats();
        HANDLE got = ::GetClipboardData(CF_TEXT);
        const std::string text = got ? static_cast<const char*>(GlobalLock(got)) : "";
        if (got) GlobalUnlock(got);
        CloseClipboard();
        EXPECT_TRUE(set);
        EXPECT_GE(formats, 1);
        EXPECT_EQ("catalog", text);
        return std::to_string(set) + "/" + text;
    };
    for (const char* name : {"OpenClipboard", "CountClipboardFormats", "EmptyClipboard",
                             "GetClipboardData", "SetClipboardData"})
        c[name] = clip;
    return c;
}

// Where a call of the export ends up: through any jump-through-import stubs
// (kernel32 into kernelbase, user32 into win32u) to the function itself.
PVOID WhereTheExportLands(const char* dll, const char* api) {
    auto* code = reinterpret_cast<const BYTE*>(GetProcAddress(GetModuleHandleA(dll), api));
    static const BYTE kHotPatchJump[] = {0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x5D, 0xFF, 0x25};
    for (int depth = 0; code && depth < 4; ++depth) {
        const BYTE* slot = nullptr;
        if (memcmp(code, kHotPatchJump, sizeof kHotPatchJump) == 0) memcpy(&slot, code + 8, 4);
        else if (code[0] == 0xFF && code[1] == 0x25) memcpy(&slot, code + 2, 4);
        else break;
        memcpy(&code, slot, 4);
    }
    return const_cast<BYTE*>(code);
}

class CatalogHook : public ::testing::TestWithParam<size_t> {
public:
    static void SetUpTestSuite() {
        // The library imports the modules of some rows delay-loaded, and the
        // resolver never loads a module: load them, as the protected
        // applications have them.
        ASSERT_TRUE(g_onOwnDesktop) << GetLastError();
        for (size_t i = 0; i < kHookCount; ++i) LoadLibraryA(CatalogRow(i).strDllName);
        OleInitialize(nullptr);
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        g_dir = std::wstring(tmp) + L"gatrel_catalog_" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(g_dir.c_str(), nullptr);
        ASSERT_TRUE(EnsurePrinter());
        Window();
    }
    static void TearDownTestSuite() {
        SHFILEOPSTRUCTW op{};
        std::wstring from = g_dir + L'\0';
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = FOF_NO_UI;
        SHFileOperationW(&op);
    }

protected:
    testcode::CodePage page;
};

TEST_P(CatalogHook, ResolvesHooksCountsAndUnhooks) {
    HookRow& row = CatalogRow(GetParam());
    static const std::map<std::string, Call> calls = Calls();
    auto it = calls.find(row.strApiName);
    ASSERT_NE(calls.end(), it) << "no caller for " << row.strApiName;
    const Call& call = it->second;

    // Resolves to the code that a call of the export runs: the loader's own
    // look-up, and past a stub into the module it imports from, so that that
    // module's own callers meet the hook too.
    const PVOID resolved = GetApiSrcAddr(row.strDllName, row.strApiName);
    ASSERT_NE(nullptr, resolved);
    EXPECT_EQ(WhereTheExportLands(row.strDllName, row.strApiName), resolved);

    const std::string baseline = call();
    static volatile LONG count = 0;
    PVOID thunk = testcode::CountingThunk(page, &count, row.ppSlot);
    for (int round = 0; round < 2; ++round) {
        testcode::LogTail log;
        HookFuntion(row.strDllName, row.strApiName, row.ppSlot, thunk);
        EXPECT_EQ(0u, log.Count("[ERROR]")) << log.NewText();
        const detour::HookState state = detour::DescribeHook(resolved);
        ASSERT_TRUE(state.hooked);
        EXPECT_EQ(state.trampoline, *row.ppSlot);
        const LONG before = count;
        EXPECT_EQ(baseline, call());
        EXPECT_GT(count, before) << row.strApiName << " was not reached through the hook";

        UnHookFuntion(row.strApiName, row.ppSlot, thunk);
        EXPECT_EQ(resolved, *row.ppSlot);
        EXPECT_FALSE(detour::DescribeHook(resolved).hooked);
        const LONG after = count;
        EXPECT_EQ(baseline, call());
        EXPECT_EQ(after, count);
        EXPECT_EQ(0u, log.Count("[ERROR]")) << log.NewText();
    }
}

INSTANTIATE_TEST_SUITE_P(Catalog, CatalogHook, ::testing::Range<size_t>(0, kHookCount),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                             return std::string(CatalogRow(info.param).strApiName);
                         });

// A call made another way than through the row's own export, and the row it
// must reach.
struct Reach {
    HookId row;
    const char* via;
    std::function<void()> call;
};

void ExpectEachReachesItsRow(const std::vector<Reach>& cases) {
    testcode::CodePage page;
    for (const Reach& c : cases) {
        HookRow& row = CatalogRow(c.row);
        static volatile LONG count = 0;
        PVOID thunk = testcode::CountingThunk(page, &count, row.ppSlot);
        ASSERT_NE(nullptr, HookFuntion(row.strDllName, row.strApiName, row.ppSlot, thunk)) << row.strApiName;
        const LONG before = count;
        c.call();
        EXPECT_GT(count, before) << c.via << " did not reach " << row.strApiName;
        UnHookFuntion(row.strApiName, row.ppSlot, thunk);
    }
}

// The file rows are hooked where kernel32's exports land, so the system's own
// callers of those functions meet them: the ANSI forms, the temporary-file
// name, the plain copy, the searches and moves that the system builds on
// FindFirstFileExW and MoveFileWithProgressW, every form of the library load.
TEST(Catalog, TheSystemsOwnCallersReachTheFileRows) {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    const std::wstring dir = std::wstring(tmp) + L"gatrel_reach_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);
    const std::string dirA(dir.begin(), dir.end());
    ExpectEachReachesItsRow({
        {HookId::kCreateFileW, "CreateFileA",
         [&] { CloseHandle(CreateFileA((dirA + "\\a.tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)); }},
        {HookId::kCreateFileW, "GetTempFileNameW",
         [&] {
             wchar_t name[MAX_PATH];
             GetTempFileNameW(dir.c_str(), L"gat", 0, name);
         }},
        {HookId::kCopyFileExW, "CopyFileW",
         [&] { CopyFileW((dir + L"\\a.tmp").c_str(), (dir + L"\\b.tmp").c_str(), FALSE); }},
        {HookId::kCreateHardLinkW, "CreateHardLinkA",
         [&] { CreateHardLinkA((dirA + "\\e.tmp").c_str(), (dirA + "\\a.tmp").c_str(), nullptr); }},
        {HookId::kGetFileAttributesW, "GetFileAttributesA", [&] { GetFileAttributesA((dirA + "\\a.tmp").c_str()); }},
        {HookId::kDeleteFileW, "DeleteFileA", [&] { DeleteFileA((dirA + "\\b.tmp").c_str()); }},
        {HookId::kGetFileAttributesExW, "GetFileAttributesExA",
         [&] {
             WIN32_FILE_ATTRIBUTE_DATA data;
             GetFileAttributesExA((dirA + "\\a.tmp").c_str(), GetFileExInfoStandard, &data);
         }},
        {HookId::kFindFirstFileExW, "FindFirstFileA",
         [&] {
             WIN32_FIND_DATAA fd;
             FindClose(FindFirstFileA((dirA + "\\a.tmp").c_str(), &fd));
         }},
        {HookId::kFindFirstFileExW, "FindFirstFileW",
         [&] {
             WIN32_FIND_DATAW fd;
             FindClose(FindFirstFileW((dir + L"\\a.tmp").c_str(), &fd));
         }},
        {HookId::kMoveFileWithProgressW, "MoveFileExA",
         [&] { MoveFileExA((dirA + "\\a.tmp").c_str(), (dirA + "\\c.tmp").c_str(), 0); }},
        {HookId::kMoveFileWithProgressW, "MoveFileA",
         [&] { MoveFileA((dirA + "\\c.tmp").c_str(), (dirA + "\\a.tmp").c_str()); }},
        {HookId::kMoveFileWithProgressW, "MoveFileExW",
         [&] { MoveFileExW((dir + L"\\a.tmp").c_str(), (dir + L"\\c.tmp").c_str(), 0); }},
        {HookId::kReplaceFileW, "ReplaceFileA",
         [&] {
             CopyFileA((dirA + "\\c.tmp").c_str(), (dirA + "\\d.tmp").c_str(), FALSE);
             ReplaceFileA((dirA + "\\c.tmp").c_str(), (dirA + "\\d.tmp").c_str(), nullptr, 0, nullptr, nullptr);
         }},
        {HookId::kLoadLibraryExW, "LoadLibraryA", [&] { LoadLibraryA("version.dll"); }},
        {HookId::kLoadLibraryExW, "LoadLibraryW", [&] { LoadLibraryW(L"version.dll"); }},
        {HookId::kLoadLibraryExW, "LoadLibraryExA", [&] { LoadLibraryExA("version.dll", nullptr, 0); }},
    });
    SHFILEOPSTRUCTW op{};
    std::wstring from = dir + L'\0';
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
}

// The window rows: user32's TranslateAcceleratorW lands in win32u, where the
// ANSI form's translation ends too; GetPhysicalCursorPos asks GetCursorPos.
// (On Windows the two accelerator forms are functions of their own, hence a
// row for each.)
TEST(Catalog, TheSystemsOwnCallersReachTheWindowRows) {
    ACCEL a{FVIRTKEY, VK_F7, 4244};
    HACCEL table = CreateAcceleratorTableA(&a, 1);
    ExpectEachReachesItsRow({
        {HookId::kTranslateAcceleratorW, "TranslateAcceleratorA",
         [&] {
             MSG msg{Window(), WM_KEYDOWN, VK_F7, 0};
             TranslateAcceleratorA(Window(), table, &msg);
         }},
        {HookId::kGetCursorPos, "GetPhysicalCursorPos",
         [] {
             POINT p;
             GetPhysicalCursorPos(&p);
         }},
    });
    DestroyAcceleratorTable(table);
}

// The print rows are met by the other ways an application prints the same:
// the ANSI forms go through the wide ones, the old escape STARTDOC through
// StartDocA, and a driver ends a band's page through EndPage.
TEST(Catalog, TheSystemsOwnCallersReachThePrintRows) {
    // Kept for the program's other tests: a printer deleted and added again
    // in one process leaves its device contexts unmade.
    ASSERT_TRUE(EnsurePrinter());
    auto withDc = [](const std::function<void(HDC)>& use) {
        HDC dc = CreateDCW(L"WINSPOOL", PrinterW().c_str(), nullptr, nullptr);
        if (!dc) return;
        use(dc);
        DeleteDC(dc);
    };
    const std::vector<Reach> cases = {
        {HookId::kStartDocW, "StartDocA",
         [&] {
             withDc([](HDC dc) {
                 DOCINFOA di{sizeof di, "catalog reach", nullptr, nullptr, 0};
                 if (StartDocA(dc, &di) > 0) AbortDoc(dc);
             });
         }},
        {HookId::kStartDocW, "Escape STARTDOC",
         [&] {
             withDc([](HDC dc) {
                 if (Escape(dc, STARTDOC, 5, "reach", nullptr) > 0) AbortDoc(dc);
             });
         }},
        {HookId::kEndPage, "ExtEscape NEXTBAND",
         [&] {
             withDc([](HDC dc) {
                 DOCINFOW di{sizeof di, L"catalog reach", nullptr, nullptr, 0};
                 if (StartDocW(dc, &di) <= 0) return;
                 RECT band{};
                 ExtEscape(dc, NEXTBAND, 0, nullptr, sizeof band, reinterpret_cast<char*>(&band));
                 TextOutW(dc, 100, 100, L"gatrel", 6);
                 ExtEscape(dc, NEXTBAND, 0, nullptr, sizeof band, reinterpret_cast<char*>(&band));
                 EndDoc(dc);
             });
         }},
        {HookId::kStartDocPrinterW, "StartDocPrinterA",
         [&] {
             HANDLE h = nullptr;
             if (!OpenPrinterA(const_cast<char*>(kPrinter), &h, nullptr)) return;
             DOC_INFO_1A di{const_cast<char*>("raw job"), nullptr, const_cast<char*>("RAW")};
             if (StartDocPrinterA(h, 1, reinterpret_cast<BYTE*>(&di))) EndDocPrinter(h);
             ClosePrinter(h);
         }},
        {HookId::kDocumentPropertiesW, "DocumentPropertiesA",
         [&] {
             HANDLE h = nullptr;
             if (!OpenPrinterA(const_cast<char*>(kPrinter), &h, nullptr)) return;
             DocumentPropertiesA(nullptr, h, const_cast<char*>(kPrinter), nullptr, nullptr, 0);
             ClosePrinter(h);
         }},
    };
    ExpectEachReachesItsRow(cases);
}

TEST(Catalog, HoldsItsRowsInTableOrder) {
    EXPECT_EQ(61u, kHookCount);
    int perTable[7] = {};
    int last = 0;
    for (size_t i = 0; i < kHookCount; ++i) {
        const int t = static_cast<int>(CatalogRow(i).table);
        EXPECT_GE(t, last) << CatalogRow(i).strApiName;
        last = t;
        ++perTable[t];
    }
    const int expected[7] = {3, 1, 19, 10, 12, 11, 5};
    for (int t = 0; t < 7; ++t) EXPECT_EQ(expected[t], perTable[t]) << "table " << t;
    EXPECT_STREQ("TranslateAccelerator", CatalogRow(HookId::kTranslateAccelerator).strApiName);
    // The slot of TranslateAccelerator starts as this module's import of the
    // ANSI variant: the export itself, or a stub jumping through the import cell.
    auto* start = static_cast<const BYTE*>(*CatalogRow(HookId::kTranslateAccelerator).ppSlot);
    if (start[0] == 0xFF && start[1] == 0x25) start = **reinterpret_cast<BYTE* const* const*>(start + 2);
    EXPECT_EQ(reinterpret_cast<const BYTE*>(GetProcAddress(GetModuleHandleA("user32.dll"), "TranslateAcceleratorA")),
              start);
}

}  // namespace
