// The host's end of the command channel. Every client connection gets a thread
// of its own, so a test can keep talking to the host while one command (a
// modal dialog, say) is still running on the UI thread.
#include "host_app.h"
#include "host_command.h"
#include "host_protocol.h"

namespace host {

bool g_quitRequested = false;
volatile LONG g_inFlight = 0;

namespace {

constexpr UINT WM_HOST_RUN = WM_APP + 0x41;

struct Job {
    std::vector<std::string> request;
    std::vector<std::string> reply;
    HANDLE done = nullptr;
};

std::wstring g_pipeName;

bool ReadMessage(HANDLE pipe, std::string& out) {
    out.clear();
    char buf[4096];
    for (;;) {
        DWORD got = 0;
        if (ReadFile(pipe, buf, sizeof buf, &got, nullptr)) {
            out.append(buf, got);
            return true;
        }
        if (GetLastError() != ERROR_MORE_DATA) return false;
        out.append(buf, got);
        if (out.size() > hostproto::kMaxMessage) return false;
    }
}

DWORD WINAPI ConnectionThread(LPVOID param) {
    HANDLE pipe = static_cast<HANDLE>(param);
    std::string msg;
    while (ReadMessage(pipe, msg)) {
        Job job;
        job.request = hostproto::Split(msg);
        job.done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        InterlockedIncrement(&g_inFlight);
        if (!PostMessageW(TheApp().cmdWnd, WM_HOST_RUN, 0, reinterpret_cast<LPARAM>(&job))) {
            job.reply = {"err", "host UI thread is gone"};
        } else {
            WaitForSingleObject(job.done, INFINITE);
        }
        CloseHandle(job.done);
        const std::string out = hostproto::Join(job.reply);
        DWORD written = 0;
        const bool ok = WriteFile(pipe, out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
        if (job.request[0] == "quit") FlushFileBuffers(pipe);
        InterlockedDecrement(&g_inFlight);
        if (!ok) break;
    }
    DisconnectNamedPipe(pipe);
    CloseHandle(pipe);
    return 0;
}

HANDLE NewInstance() {
    return CreateNamedPipeW(g_pipeName.c_str(), PIPE_ACCESS_DUPLEX,
                            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                            PIPE_UNLIMITED_INSTANCES, 1 << 16, 1 << 16, 0, nullptr);
}

DWORD WINAPI ListenThread(LPVOID first) {
    HANDLE pipe = static_cast<HANDLE>(first);
    while (pipe != INVALID_HANDLE_VALUE) {
        const BOOL connected = ConnectNamedPipe(pipe, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED;
        if (connected) {
            HANDLE t = CreateThread(nullptr, 0, ConnectionThread, pipe, 0, nullptr);
            if (t) CloseHandle(t);
            else CloseHandle(pipe);
        } else {
            CloseHandle(pipe);
        }
        pipe = NewInstance();
    }
    return 0;
}

LRESULT CALLBACK CommandWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_HOST_RUN) {
        Job* job = reinterpret_cast<Job*>(lp);
        job->reply = RunCommand(job->request);
        SetEvent(job->done);
        return 0;
    }
    if (msg == WM_RENDERFORMAT) {
        RenderClipboard(static_cast<UINT>(wp));
        return 0;
    }
    if (msg == WM_RENDERALLFORMATS || msg == WM_DESTROYCLIPBOARD) return 0;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

bool StartPipeServer(const std::string& name) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = CommandWndProc;
    wc.hInstance = TheApp().instance;
    wc.lpszClassName = L"GatrelTestHostCommands";
    RegisterClassExW(&wc);
    TheApp().cmdWnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                      nullptr, TheApp().instance, nullptr);
    if (!TheApp().cmdWnd) return false;
    g_pipeName = Widen(name);
    // The first instance exists before this returns: a client that sees the
    // process running can connect at once.
    HANDLE first = NewInstance();
    if (first == INVALID_HANDLE_VALUE) return false;
    HANDLE t = CreateThread(nullptr, 0, ListenThread, first, 0, nullptr);
    if (!t) return false;
    CloseHandle(t);
    return true;
}

}  // namespace host
