#pragma once
// The test host: one small Win32 program built as several executables whose
// names, version resources and window trees are those of the applications the
// library protects. Everything here runs on the host's UI thread unless said.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace host {

enum class AppKind { Word, Excel, PowerPoint, Pdf, Korb, Plain };

// What the executable is, decided from its own file name and version resource
// (as the library decides), with command-line overrides for odd layouts.
struct Profile {
    AppKind kind = AppKind::Plain;
    std::string exeBase;         // upper-case base name of the executable
    std::string productVersion;  // "a.b.c.d" of the fixed version block
    std::string fileVersion;     // the "FileVersion" text
    std::string frameClass;      // main window class
    std::string containerClass;  // "" when documents are top-level windows
    std::string docClass;        // document window class
    std::string viewClass;       // focus-taking child of the document window ("" for none)
    bool topLevelDocs = false;   // one top-level window per document (Word, PDF SDI, Plain)
};

Profile DetectProfile(const std::vector<std::string>& args);

// One open document.
struct Document {
    std::string path;
    HWND frame = nullptr;      // its top-level window
    HWND container = nullptr;  // the document container (0 for top-level documents)
    HWND doc = nullptr;        // the document window
    HWND view = nullptr;       // the child that takes the keyboard focus
};

struct App {
    Profile profile;
    HINSTANCE instance = nullptr;
    HWND cmdWnd = nullptr;      // message-only window that runs commands
    HWND mainFrame = nullptr;   // the frame of container applications
    HWND container = nullptr;   // its document container
    std::vector<Document> docs;
    std::vector<HWND> dialogs;
    std::vector<std::string> events;  // what reached the host's windows
    HACCEL accel = nullptr;
    std::string pendingClipText;       // for delayed clipboard rendering
    std::wstring pendingClipWide;
};

App& TheApp();
void Event(const std::string& e);

// Windows (host_windows.cpp).
void RegisterClasses();
void CreateMainFrame();
Document* OpenDocument(const std::string& path);
void CloseWindowOf(HWND w);
bool ActivateWindow(HWND w);
HWND CreateHostDialog(const std::string& title, HWND owner, const std::string& controls,
                      std::vector<HWND>& controlsOut);
HWND CreateAnyWindow(const std::string& cls, HWND parent, HWND owner, const std::string& title,
                     bool visible, bool child);
// The host's dialogs: records dialog-command and close events; OK, Cancel and
// WM_CLOSE destroy the dialog.
INT_PTR CALLBACK HostDialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
bool IsHostFrame(HWND w);

// Commands (host_commands.cpp): fields in, reply fields out (first "ok"/"err").
std::vector<std::string> RunCommand(const std::vector<std::string>& request);

// Pipe server (host_pipe.cpp); runs its own threads.
bool StartPipeServer(const std::string& pipeName);
extern bool g_quitRequested;

// Helpers.
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);
std::string HexOf(HWND w);
HWND ParseWnd(const std::string& s);
void PumpPending(DWORD maxMs);

// The library's GDI+ and GDI calls (host_gdi_watch.cpp), watched from the
// host's start (--gdi-watch=<file>) when armed before the library is loaded.
struct GdiWatchCounts {
    bool armed = false;
    long startups = 0;         // GdiplusStartup calls
    long underLoaderLock = 0;  // watched calls made while holding the loader lock
    std::string lockedNames;   // their names, comma separated
};
bool ArmGdiWatch(const std::string& file);
GdiWatchCounts GdiWatch();

// Makes the export name of module point at standIn (the real function in
// *real), so that modules loaded afterwards, and GetProcAddress, get the
// stand-in. False when the export is missing.
bool PutInExportTable(HMODULE module, const char* name, void* standIn, void** real);

// SetWindowDisplayAffinity as Gatrel.dll calls it (host_affinity_watch.cpp),
// watched from the host's start (--affinity-watch, or --affinity-watch=ok to
// answer success without calling the system). Each call from the library:
// "<window>:<affinity>:<result>".
bool ArmAffinityWatch(bool answerOk);
std::vector<std::string> AffinityCalls();

}  // namespace host
