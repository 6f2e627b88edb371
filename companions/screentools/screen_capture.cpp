// A screen-capture program for the tests and the demo: copies the pixels of a
// window (a protected document's, say) the ways capture programs do, and says
// whether it got any. It never loads Gatrel.dll itself unless told to: the
// desktop's hooks bring the library in, as into any program.
//
// Shows a window of its own (solid colour) and prints
//   ready pid=<pid> wnd=0x<its window>
// then takes one command per line on its standard input:
//   library <ms>       pumps messages up to ms until Gatrel.dll is in the
//                      process: "library=<1|0>"
//   load <path>        LoadLibrary: "load=<1|0>"
//   copy <key>=<value> ...
//       from=window|windowdc|screen|display|displayw|displaydevice|own|memory
//            the source: the target window's client or window device
//            context, the screen's (GetDC(0)), a display context made by
//            CreateDCA("DISPLAY"), CreateDCW(L"DISPLAY") or for the device
//            "\\.\DISPLAY1", this program's own window, or a memory context
//       wnd=0x..       the target window (for window, windowdc, screen and
//                      display sources: its place on the screen)
//       via=bitblt|stretchblt|maskblt|plgblt|transparentblt|alphablend|getpixel|printwindow
//       rop=0x..       BitBlt's raster operation (default SRCCOPY)
//       drag=1         inside ImageList_BeginDrag / ImageList_EndDrag
//     prints "copy ok=<result> err=<last error> pixels=<changed> total=<n>":
//     how many pixels of the destination (or samples, for getpixel) the copy
//     changed.
//   dragshow           shows a drag image over its own window with the image
//                      list (ImageList_DragEnter/Move/Leave): "dragshow=<1|0>"
//   quit
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>

namespace {

constexpr UINT kCommand = WM_APP + 1;
constexpr int kWidth = 64, kHeight = 48;
constexpr COLORREF kOwnColour = RGB(30, 160, 60);
constexpr DWORD kSentinel = 0x00010203;  // the destination's pixels before a copy

HWND g_own = nullptr;

LRESULT CALLBACK OwnProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(w, &ps);
        HBRUSH b = CreateSolidBrush(kOwnColour);
        FillRect(dc, &ps.rcPaint, b);
        DeleteObject(b);
        EndPaint(w, &ps);
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

void Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

std::map<std::string, std::string> Fields(std::istringstream& in) {
    std::map<std::string, std::string> f;
    std::string word;
    while (in >> word) {
        const size_t eq = word.find('=');
        if (eq != std::string::npos) f[word.substr(0, eq)] = word.substr(eq + 1);
    }
    return f;
}

HWND WindowArg(const std::map<std::string, std::string>& f) {
    auto it = f.find("wnd");
    return it == f.end() ? nullptr
                         : reinterpret_cast<HWND>(static_cast<UINT_PTR>(strtoul(it->second.c_str(), nullptr, 0)));
}

// The source device context and where in it the copy starts; release says
// how to give it back.
struct Source {
    HDC dc = nullptr;
    POINT at{0, 0};
    HWND released = nullptr;  // ReleaseDC(released, dc)
    bool deleteDC = false;
    HBITMAP bitmap = nullptr;
};

Source OpenSource(const std::string& from, HWND target) {
    Source s;
    POINT origin{0, 0};
    if (target) ClientToScreen(target, &origin);
    if (from == "window") {
        s.dc = GetDC(target);
        s.released = target;
    } else if (from == "windowdc") {
        s.dc = GetWindowDC(target);
        s.released = target;
    } else if (from == "own") {
        s.dc = GetDC(g_own);
        s.released = g_own;
    } else if (from == "screen") {
        s.dc = GetDC(nullptr);
        s.at = origin;
    } else if (from == "display" || from == "displayw" || from == "displaydevice") {
        s.dc = from == "display"    ? CreateDCA("DISPLAY", nullptr, nullptr, nullptr)
               : from == "displayw" ? CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr)
                                    : CreateDCA(nullptr, "\\\\.\\DISPLAY1", nullptr, nullptr);
        s.deleteDC = true;
        s.at = origin;
    } else if (from == "memory") {
        HDC screen = GetDC(nullptr);
        s.dc = CreateCompatibleDC(screen);
        s.bitmap = CreateCompatibleBitmap(screen, kWidth, kHeight);
        ReleaseDC(nullptr, screen);
        SelectObject(s.dc, s.bitmap);
        RECT r{0, 0, kWidth, kHeight};
        HBRUSH b = CreateSolidBrush(kOwnColour);
        FillRect(s.dc, &r, b);
        DeleteObject(b);
        s.deleteDC = true;
    }
    return s;
}

void CloseSource(Source& s) {
    if (!s.dc) return;
    if (s.deleteDC) DeleteDC(s.dc);
    else ReleaseDC(s.released, s.dc);
    if (s.bitmap) DeleteObject(s.bitmap);
}

std::string Copy(const std::map<std::string, std::string>& f) {
    const std::string from = f.count("from") ? f.at("from") : "window";
    const std::string via = f.count("via") ? f.at("via") : "bitblt";
    const DWORD rop = f.count("rop") ? strtoul(f.at("rop").c_str(), nullptr, 0) : SRCCOPY;
    const HWND target = WindowArg(f);
    Source src = OpenSource(from, target);

    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = kWidth;
    bi.bmiHeader.biHeight = -kHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dst = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dst, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dst, dib);
    DWORD* px = static_cast<DWORD*>(bits);
    for (int i = 0; i < kWidth * kHeight; ++i) px[i] = kSentinel;
    GdiFlush();

    HIMAGELIST drag = nullptr;
    if (f.count("drag") && f.at("drag") == "1") {
        drag = ImageList_Create(16, 16, ILC_COLOR32, 1, 1);
        ImageList_BeginDrag(drag, 0, 0, 0);
    }
    const int x = src.at.x, y = src.at.y;
    long long result = 0;
    int samples = 0, read = 0;
    SetLastError(0);
    if (via == "bitblt") {
        result = BitBlt(dst, 0, 0, kWidth, kHeight, src.dc, x, y, rop);
    } else if (via == "stretchblt") {
        result = StretchBlt(dst, 0, 0, kWidth, kHeight, src.dc, x, y, kWidth, kHeight, SRCCOPY);
    } else if (via == "maskblt") {
        result = MaskBlt(dst, 0, 0, kWidth, kHeight, src.dc, x, y, nullptr, 0, 0, MAKEROP4(SRCCOPY, SRCCOPY));
    } else if (via == "plgblt") {
        POINT p[3] = {{0, 0}, {kWidth, 0}, {0, kHeight}};
        result = PlgBlt(dst, p, src.dc, x, y, kWidth, kHeight, nullptr, 0, 0);
    } else if (via == "transparentblt") {
        result = GdiTransparentBlt(dst, 0, 0, kWidth, kHeight, src.dc, x, y, kWidth, kHeight, RGB(255, 0, 255));
    } else if (via == "alphablend") {
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, 0};
        result = GdiAlphaBlend(dst, 0, 0, kWidth, kHeight, src.dc, x, y, kWidth, kHeight, blend);
    } else if (via == "printwindow") {
        result = PrintWindow(target ? target : g_own, dst, 0);
    } else if (via == "getpixel") {
        for (int sy = 0; sy < kHeight; sy += 8)
            for (int sx = 0; sx < kWidth; sx += 8, ++samples)
                if (GetPixel(src.dc, x + sx, y + sy) != CLR_INVALID) ++read;
        result = read;
    }
    const DWORD err = GetLastError();
    if (drag) {
        ImageList_EndDrag();
        ImageList_Destroy(drag);
    }
    GdiFlush();
    int changed = 0;
    for (int i = 0; i < kWidth * kHeight; ++i) changed += px[i] != kSentinel;
    SelectObject(dst, old);
    DeleteObject(dib);
    DeleteDC(dst);
    CloseSource(src);
    char line[160];
    if (via == "getpixel")
        snprintf(line, sizeof line, "copy ok=%lld err=%lu pixels=%d total=%d", result, err, read, samples);
    else
        snprintf(line, sizeof line, "copy ok=%lld err=%lu pixels=%d total=%d", result, err, changed,
                 kWidth * kHeight);
    return line;
}

// A drag image shown over this program's window, as list views and tree
// views show one: the image list saves and restores what lies under it.
std::string DragShow() {
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32, 1, 1);
    HDC screen = GetDC(nullptr);
    HBITMAP image = CreateCompatibleBitmap(screen, 16, 16);
    ReleaseDC(nullptr, screen);
    ImageList_Add(list, image, nullptr);
    bool ok = ImageList_BeginDrag(list, 0, 0, 0);
    ok = ImageList_DragEnter(g_own, 10, 10) && ok;
    ok = ImageList_DragMove(30, 20) && ok;
    ok = ImageList_DragLeave(g_own) && ok;
    ImageList_EndDrag();
    ImageList_Destroy(list);
    DeleteObject(image);
    return std::string("dragshow=") + (ok ? "1" : "0");
}

std::string Run(const std::string& line) {
    std::istringstream in(line);
    std::string verb;
    in >> verb;
    if (verb == "library") {
        DWORD ms = 0;
        in >> ms;
        const DWORD start = GetTickCount();
        while (!GetModuleHandleA("gatrel.dll") && GetTickCount() - start < ms) Pump(20);
        return std::string("library=") + (GetModuleHandleA("gatrel.dll") ? "1" : "0");
    }
    if (verb == "load") {
        std::string path;
        std::getline(in >> std::ws, path);
        return std::string("load=") + (LoadLibraryA(path.c_str()) ? "1" : "0");
    }
    if (verb == "copy") return Copy(Fields(in));
    if (verb == "dragshow") return DragShow();
    return "unknown=" + verb;
}

// Standard input is read on a thread of its own; the commands run on the
// window's thread, between its messages.
DWORD WINAPI ReadCommands(LPVOID mainThread) {
    char buf[1024];
    while (fgets(buf, sizeof buf, stdin)) {
        std::string* line = new std::string(buf);
        while (!line->empty() && (line->back() == '\n' || line->back() == '\r')) line->pop_back();
        PostThreadMessageA(static_cast<DWORD>(reinterpret_cast<UINT_PTR>(mainThread)), kCommand, 0,
                           reinterpret_cast<LPARAM>(line));
    }
    PostThreadMessageA(static_cast<DWORD>(reinterpret_cast<UINT_PTR>(mainThread)), WM_QUIT, 0, 0);
    return 0;
}

}  // namespace

int main() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSA wc{};
    wc.lpfnWndProc = OwnProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "GatrelScreenCapture";
    RegisterClassA(&wc);
    g_own = CreateWindowExA(0, wc.lpszClassName, "Screen capture", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 700, 60,
                            kWidth + 60, kHeight + 60, nullptr, nullptr, wc.hInstance, nullptr);
    // Make sure the thread has a message queue before the reader posts to it.
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    Pump(50);
    printf("ready pid=%lu wnd=0x%lx\n", GetCurrentProcessId(), static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(g_own)));
    fflush(stdout);
    CloseHandle(CreateThread(nullptr, 0, ReadCommands,
                             reinterpret_cast<LPVOID>(static_cast<UINT_PTR>(GetCurrentThreadId())), 0, nullptr));
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == kCommand && !msg.hwnd) {
            std::string* line = reinterpret_cast<std::string*>(msg.lParam);
            const std::string reply = *line == "quit" ? "" : Run(*line);
            const bool quit = *line == "quit";
            delete line;
            if (quit) break;
            printf("%s\n", reply.c_str());
            fflush(stdout);
            continue;
        }
        DispatchMessageA(&msg);
    }
    return 0;
}
