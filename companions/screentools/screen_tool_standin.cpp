// Stand-in for the screen-capture and screen-recording programs the protected
// applications close: one executable, copied under the names below, each copy
// showing the main window of its program (class and title as that program
// shows them; Chinese titles as code page 936 bytes). It runs until its
// window is closed or its process ended. README.md.
//   --tool=<file name>   the program to be, whatever this copy's name
//   --class=X --title=Y  any other window (the title as bytes)
//   --foreground         brings its window to the front
// Prints "ready pid=<pid> wnd=0x<window>" once the window exists.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Tool {
    const char* file;
    const char* cls;    // null: a class of the stand-in's own
    const char* title;  // null: no title
};

const Tool kTools[] = {
    {"AfxRecorder.exe", "Afx:00400000:8:00010011:00000000:00780739", nullptr},
    {"TmxPanel.exe", "TMXPanel", nullptr},
    {"CamRecorder.exe", "RECORDER_CLASS_90AFD59B-2AD9-4983-826A-C995E51A1EE8", nullptr},
    {"CamEditor.exe", "EDITOR_CLASS_90AFD59B-2AD9-4983-826A-C995E51A1EE8", nullptr},
    {"Captivate.exe", "TMainForm.UnicodeClass", "Macromedia Captivate"},
    {"WxCapture.exe", "WXMDIFrameClassNR", nullptr},
    {"SnagIt32.exe", "SnagIt5UI", nullptr},
    {"AfxCapture.exe", "Afx:00400000:8:00010003:00000000:01470561", nullptr},
    {"ScreenExpert.exe", "TMainForm", "\xC6\xC1\xC4\xBB\xC2\xBC\xCF\xF1\xD7\xA8\xBC\xD2 V7.5"},
    {"SnippingTool.exe", "Microsoft-Windows-Tablet-SnipperToolbar", nullptr},
    {"AtlCapture.exe", "ATL:004C2570", nullptr},
    {"ScreenCam.exe", "ScreenCamMainWndv3", nullptr},
    {"CatchPictures.exe", "TCatchPictures", nullptr},
    {"HprSnap6.exe", nullptr, "HyperSnap 6"},
    {"VarnekSnap.exe", nullptr, "\xD7\xA5\xCD\xBC\xB3\xCC\xD0\xF2 CopyRight By Varnek"},
    {"DesktopCamera.exe", "TMainFrm", "\xD7\xC0\xC3\xE6\xC9\xE3\xD3\xB0\xBB\xFA"},
    // The script editor the office applications end while their document is protected.
    {"mse7.exe", nullptr, "Document1 - Microsoft Script Editor [design]"},
};

std::string OwnFileName() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const char* slash = strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

std::string Option(int argc, char** argv, const char* name, bool* present = nullptr) {
    const size_t n = strlen(name);
    for (int i = 1; i < argc; ++i)
        if (strncmp(argv[i], name, n) == 0 && (argv[i][n] == '=' || argv[i][n] == 0)) {
            if (present) *present = true;
            return argv[i][n] == '=' ? argv[i] + n + 1 : "";
        }
    return {};
}

LRESULT CALLBACK ToolProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(w, m, wp, lp);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string file = Option(argc, argv, "--tool").empty() ? OwnFileName() : Option(argc, argv, "--tool");
    std::string cls = "GatrelScreenToolStandin", title;
    bool hasTitle = false;
    for (const Tool& t : kTools) {
        if (lstrcmpiA(t.file, file.c_str()) != 0) continue;
        if (t.cls) cls = t.cls;
        if (t.title) {
            title = t.title;
            hasTitle = true;
        }
    }
    bool given = false;
    const std::string givenClass = Option(argc, argv, "--class", &given);
    if (given) cls = givenClass;
    given = false;
    const std::string givenTitle = Option(argc, argv, "--title", &given);
    if (given) {
        title = givenTitle;
        hasTitle = true;
    }
    WNDCLASSA wc{};
    wc.lpfnWndProc = ToolProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = cls.c_str();
    RegisterClassA(&wc);
    HWND w = CreateWindowExA(0, cls.c_str(), hasTitle ? title.c_str() : nullptr, WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                             40, 40, 240, 120, nullptr, nullptr, wc.hInstance, nullptr);
    if (!w) {
        printf("error=%lu\n", GetLastError());
        return 2;
    }
    bool foreground = false;
    Option(argc, argv, "--foreground", &foreground);
    if (foreground) SetForegroundWindow(w);
    printf("ready pid=%lu wnd=0x%lx\n", GetCurrentProcessId(), static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(w)));
    fflush(stdout);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}
