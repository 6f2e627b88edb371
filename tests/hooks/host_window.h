#pragma once
// Starts the test host (a program that never loads Gatrel.dll itself) and
// watches it from outside: its window, the modules in its process, and the
// answers it gives through its window.
#include <windows.h>
#include <tlhelp32.h>

#include <string>

#include "tests/hooks/child_process.h"
#include "tests/hooks/host_protocol.h"

namespace testing_support {

// Full path of the module named `name` (for instance "Gatrel.dll") in process
// pid, from the process's module list; empty when the process has no such module.
inline std::string ModulePathIn(DWORD pid, const char* name) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (snap == INVALID_HANDLE_VALUE) return "<no module list>";
    std::string path;
    MODULEENTRY32 me{};
    me.dwSize = sizeof me;
    for (BOOL ok = Module32First(snap, &me); ok; ok = Module32Next(snap, &me)) {
        if (lstrcmpiA(me.szModule, name) == 0) {
            path = me.szExePath;
            break;
        }
    }
    CloseHandle(snap);
    return path;
}

struct WindowSearch {
    const char* cls;
    DWORD pid;
    HWND found;
};

inline BOOL CALLBACK MatchWindowOfProcess(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<WindowSearch*>(p);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    char name[256] = {};
    GetClassNameA(w, name, sizeof name);
    if (owner == s->pid && lstrcmpA(name, s->cls) == 0) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

// desktop: null for the caller's own desktop.
inline HWND FindWindowOfProcess(const char* cls, DWORD pid, HDESK desktop = nullptr) {
    WindowSearch s{cls, pid, nullptr};
    if (desktop) EnumDesktopWindows(desktop, MatchWindowOfProcess, reinterpret_cast<LPARAM>(&s));
    else EnumWindows(MatchWindowOfProcess, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// A desktop, named for STARTUPINFO.lpDesktop and opened for enumerating its
// windows. Window hooks set for "all threads" by a thread on a desktop reach
// only the threads on that desktop.
class Desktop {
public:
    // The calling thread's desktop (the one a test program starts on).
    static Desktop Current() {
        HDESK h = GetThreadDesktop(GetCurrentThreadId());
        char name[256] = {};
        DWORD needed = 0;
        if (!h || !GetUserObjectInformationA(h, UOI_NAME, name, sizeof name, &needed))
            return Desktop({}, nullptr, false);
        return Desktop(name, h, false);
    }
    // A new desktop of the caller's own: what is hooked there goes away with it.
    static Desktop Private(const std::string& name) {
        return Desktop(name, CreateDesktopA(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr),
                       true);
    }

    Desktop(Desktop&& o) noexcept
        : name_(std::move(o.name_)), handle_(o.handle_), owned_(o.owned_) {
        o.handle_ = nullptr;
    }
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;
    ~Desktop() {
        if (handle_ && owned_) CloseDesktop(handle_);
    }
    bool Ready() const { return handle_ != nullptr; }
    HDESK Handle() const { return handle_; }
    std::string StartupName() const { return "WinSta0\\" + name_; }

private:
    Desktop(const std::string& name, HDESK handle, bool owned)
        : name_(name), handle_(handle), owned_(owned) {}
    std::string name_;
    HDESK handle_;
    bool owned_;
};

// Keeps the desktop a test program started on in use while the program's own
// thread works on a private one: the system closes a desktop shortly after its
// last thread outside the desktop's manager leaves it, and a host started
// there meanwhile waits on a desktop that is going away.
class DesktopKeeper {
public:
    explicit DesktopKeeper(HDESK desktop) {
        stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        Start start{desktop, stop_, CreateEventA(nullptr, TRUE, FALSE, nullptr)};
        thread_ = CreateThread(nullptr, 0, Keep, &start, 0, nullptr);
        if (thread_) WaitForSingleObject(start.ready, 10000);
        CloseHandle(start.ready);
    }
    DesktopKeeper(const DesktopKeeper&) = delete;
    DesktopKeeper& operator=(const DesktopKeeper&) = delete;
    ~DesktopKeeper() {
        SetEvent(stop_);
        if (thread_) {
            WaitForSingleObject(thread_, 10000);
            CloseHandle(thread_);
        }
        CloseHandle(stop_);
    }

private:
    struct Start {
        HDESK desktop;
        HANDLE stop;
        HANDLE ready;
    };
    static DWORD WINAPI Keep(void* p) {
        const Start s = *static_cast<Start*>(p);
        SetThreadDesktop(s.desktop);
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // joins the desktop's input
        SetEvent(s.ready);
        while (MsgWaitForMultipleObjects(1, &s.stop, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0)
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        return 0;
    }
    HANDLE stop_ = nullptr;
    HANDLE thread_ = nullptr;
};

class HostWindow {
public:
    // desktop: where the host runs; null for the caller's own desktop.
    // cls: the window class, for tests that look the host up by class.
    explicit HostWindow(const std::string& title = "Gatrel hook host",
                        const Desktop* desktop = nullptr,
                        const std::string& cls = host_protocol::kWindowClass) {
        started_ = proc_.Start("\"" + ExeDir() + host_protocol::kExeName + "\" \"" + title +
                                   "\" \"" + cls + "\"",
                               desktop ? desktop->StartupName() : std::string(), false);
        // Up to 30 s: a busy two-processor machine starts a Wine process slowly.
        for (int i = 0; started_ && i < 1200 && !wnd_; ++i) {
            wnd_ = FindWindowOfProcess(cls.c_str(), proc_.Pid(),
                                       desktop ? desktop->Handle() : nullptr);
            if (!wnd_) Sleep(25);
        }
    }
    ~HostWindow() {
        if (wnd_) PostMessageA(wnd_, WM_CLOSE, 0, 0);
    }

    bool Ready() const { return wnd_ != nullptr; }
    HWND Wnd() const { return wnd_; }
    DWORD Pid() const { return proc_.Pid(); }

    // Full path of Gatrel.dll in the host's module list; empty if not loaded.
    std::string LibraryPath() const { return ModulePathIn(proc_.Pid(), "Gatrel.dll"); }

    // The host's own answer (GetModuleHandle in its process): 1 or 0; -1 if it
    // did not answer.
    int SaysLibraryLoaded() const { return Ask(host_protocol::kAskLibraryLoaded); }

    int Pings() const { return Ask(host_protocol::kAskPings); }
    int CanMakeWindow() const { return Ask(host_protocol::kMakeWindow); }
    int AttachedRows() const { return Ask(host_protocol::kAskAttachedRows); }

    // Posts one message through the host's queue and waits until the host has
    // taken it: the host's thread then has run the WH_GETMESSAGE hooks once.
    bool PingAndWait() {
        const int before = Pings();
        if (before < 0 || !PostMessageA(wnd_, host_protocol::kPing, 0, 0)) return false;
        for (int i = 0; i < 400; ++i) {
            if (Pings() > before) return true;
            Sleep(25);
        }
        return false;
    }

    // Pings until the library shows up in the host's module list (or a
    // generous bound passes). Returns the module's path, empty if it never came.
    std::string PingUntilLibraryLoaded() {
        for (int i = 0; i < 100; ++i) {
            PingAndWait();
            const std::string path = LibraryPath();
            if (!path.empty()) return path;
            Sleep(50);
        }
        return {};
    }

private:
    int Ask(UINT msg) const {
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutA(wnd_, msg, 0, 0, SMTO_ABORTIFHUNG, 10000, &result)) return -1;
        return static_cast<int>(result);
    }

    ChildProcess proc_;
    bool started_ = false;
    HWND wnd_ = nullptr;
};

}  // namespace testing_support
