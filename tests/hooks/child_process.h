#pragma once
// A child process for tests, optionally with its standard streams on pipes so
// that a test can type commands into it and read what it prints. Ended (by its
// own handle) when the object goes away.
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace testing_support {

// Folder of the running test program, with a trailing backslash. Every program
// of the build lands in the same bin folder.
inline std::string ExeDir() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir = path;
    dir.resize(dir.find_last_of("\\/") + 1);
    return dir;
}

class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() {
        CloseInput();
        if (pi_.hProcess) {
            if (WaitForSingleObject(pi_.hProcess, 5000) != WAIT_OBJECT_0)
                TerminateProcess(pi_.hProcess, 99);
            WaitForSingleObject(pi_.hProcess, 5000);
            CloseHandle(pi_.hProcess);
        }
        if (pi_.hThread) CloseHandle(pi_.hThread);
    }

    // cmdLine is a whole command line; the program is searched as CreateProcess
    // does. desktop: "WinSta0\<name>" to start the process on another desktop.
    // pipes: false leaves the child without standard streams.
    bool Start(const std::string& cmdLine, const std::string& desktop = {}, bool pipes = true) {
        STARTUPINFOA si{};
        si.cb = sizeof si;
        std::string desk = desktop;
        if (!desk.empty()) si.lpDesktop = &desk[0];
        HANDLE inRead = nullptr, outWrite = nullptr, errWrite = nullptr;
        HANDLE outRead = nullptr, errRead = nullptr;
        if (pipes) {
            SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
            if (!CreatePipe(&inRead, &inWrite_, &sa, 0) || !CreatePipe(&outRead, &outWrite, &sa, 0) ||
                !CreatePipe(&errRead, &errWrite, &sa, 0))
                return false;
            SetHandleInformation(inWrite_, HANDLE_FLAG_INHERIT, 0);
            SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
            SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
            si.dwFlags = STARTF_USESTDHANDLES;
            si.hStdInput = inRead;
            si.hStdOutput = outWrite;
            si.hStdError = errWrite;
        }
        std::string line = cmdLine;
        const BOOL ok = CreateProcessA(nullptr, &line[0], nullptr, nullptr, pipes, 0, nullptr,
                                       nullptr, &si, &pi_);
        if (pipes) {
            CloseHandle(inRead);
            CloseHandle(outWrite);
            CloseHandle(errWrite);
        }
        if (!ok) {
            if (outRead) CloseHandle(outRead);
            if (errRead) CloseHandle(errRead);
            return false;
        }
        if (pipes) {
            // The readers own what they fill: a grandchild that inherited the
            // pipe (the system may start helpers from the child) can keep a
            // reader blocked after this object is gone.
            std::thread(Drain, outRead, out_).detach();
            std::thread(Drain, errRead, err_).detach();
        }
        return true;
    }

    bool WriteLine(const std::string& text) {
        if (!inWrite_) return false;
        const std::string line = text + "\r\n";
        DWORD written = 0;
        return WriteFile(inWrite_, line.data(), static_cast<DWORD>(line.size()), &written,
                         nullptr) &&
               written == line.size();
    }

    void CloseInput() {
        if (inWrite_) CloseHandle(inWrite_);
        inWrite_ = nullptr;
    }

    // Waits until the standard output holds text after what earlier calls
    // consumed. False if the output ended or the generous bound passed first.
    bool WaitForOutput(const std::string& text, DWORD boundMs = 20000) {
        std::unique_lock<std::mutex> lock(out_->m);
        out_->cv.wait_for(lock, std::chrono::milliseconds(boundMs), [&] {
            return out_->text.find(text, seen_) != std::string::npos || out_->closed;
        });
        const size_t at = out_->text.find(text, seen_);
        if (at == std::string::npos) return false;
        seen_ = at + text.size();
        return true;
    }

    // Waits until the standard error holds text. Output and errors come by
    // separate pipes: a marker seen on the output says nothing of the errors.
    bool WaitForErrors(const std::string& text, DWORD boundMs = 20000) {
        std::unique_lock<std::mutex> lock(err_->m);
        return err_->cv.wait_for(lock, std::chrono::milliseconds(boundMs), [&] {
            return err_->text.find(text) != std::string::npos || err_->closed;
        }) && err_->text.find(text) != std::string::npos;
    }

    // Exit code, or -1 if the process did not end within the bound. The
    // output the process wrote is complete afterwards.
    int Wait(DWORD boundMs = 30000) {
        if (!pi_.hProcess || WaitForSingleObject(pi_.hProcess, boundMs) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 0;
        GetExitCodeProcess(pi_.hProcess, &code);
        out_->WaitClosed();
        err_->WaitClosed();
        return static_cast<int>(code);
    }

    std::string Output() { return out_->Text(); }
    std::string Errors() { return err_->Text(); }
    DWORD Pid() const { return pi_.dwProcessId; }

private:
    struct Stream {
        std::mutex m;
        std::condition_variable cv;
        std::string text;
        bool closed = false;
        std::string Text() {
            std::lock_guard<std::mutex> lock(m);
            return text;
        }
        // Bounded: a grandchild may hold the pipe open after the child ended.
        void WaitClosed() {
            std::unique_lock<std::mutex> lock(m);
            cv.wait_for(lock, std::chrono::seconds(2), [&] { return closed; });
        }
    };

    static void Drain(HANDLE pipe, std::shared_ptr<Stream> into) {
        char buf[4096];
        DWORD n = 0;
        while (ReadFile(pipe, buf, sizeof buf, &n, nullptr) && n > 0) {
            std::lock_guard<std::mutex> lock(into->m);
            into->text.append(buf, n);
            into->cv.notify_all();
        }
        CloseHandle(pipe);
        std::lock_guard<std::mutex> lock(into->m);
        into->closed = true;
        into->cv.notify_all();
    }

    PROCESS_INFORMATION pi_{};
    HANDLE inWrite_ = nullptr;
    std::shared_ptr<Stream> out_ = std::make_shared<Stream>();
    std::shared_ptr<Stream> err_ = std::make_shared<Stream>();
    size_t seen_ = 0;
};

// Runs a command line to its end; returns the exit code (-1 if it hung).
inline int RunToEnd(const std::string& cmdLine, std::string* out = nullptr,
                    std::string* err = nullptr) {
    ChildProcess p;
    if (!p.Start(cmdLine)) return -2;
    p.CloseInput();
    const int code = p.Wait();
    if (out) *out = p.Output();
    if (err) *err = p.Errors();
    return code;
}

}  // namespace testing_support
