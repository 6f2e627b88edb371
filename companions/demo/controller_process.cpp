#include "companions/demo/controller_process.h"

ControllerProcess::~ControllerProcess() { Stop(); }

bool ControllerProcess::Start(const std::string& zelctlPath) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE childIn = nullptr, childOut = nullptr;
    if (!CreatePipe(&childIn, &in_, &sa, 0)) return false;
    if (!CreatePipe(&out_, &childOut, &sa, 0)) return false;
    SetHandleInformation(in_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(out_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = childIn;
    si.hStdOutput = childOut;
    si.hStdError = childOut;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + zelctlPath + "\" -";
    const BOOL ok = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                   nullptr, &si, &pi);
    CloseHandle(childIn);
    CloseHandle(childOut);
    if (!ok) return false;
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    return true;
}

std::string ControllerProcess::ReadLine(DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        const size_t nl = pending_.find('\n');
        if (nl != std::string::npos) {
            std::string line = pending_.substr(0, nl);
            pending_.erase(0, nl + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        DWORD avail = 0;
        if (!PeekNamedPipe(out_, nullptr, 0, nullptr, &avail, nullptr)) return "<controller ended>";
        if (avail) {
            char buf[512];
            DWORD got = 0;
            if (!ReadFile(out_, buf, sizeof buf < avail ? sizeof buf : avail, &got, nullptr))
                return "<controller ended>";
            pending_.append(buf, got);
            continue;
        }
        if (GetTickCount() - start > timeoutMs) return "<no answer>";
        Sleep(5);
    }
}

std::string ControllerProcess::Run(const std::string& command, DWORD timeoutMs) {
    if (!in_) return "<not started>";
    // A marker after the command tells where its output ends, whether it
    // printed one line, several or none.
    static const char kMarker[] = "@@end-of-command";
    const std::string lines = command + "\necho " + kMarker + "\n";
    DWORD written = 0;
    WriteFile(in_, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
    std::string out;
    for (;;) {
        std::string line = ReadLine(timeoutMs);
        if (line == kMarker) break;
        if (!line.empty() && line[0] == '<') return out + line;
        if (!out.empty()) out += " | ";
        out += line;
    }
    return out;
}

void ControllerProcess::Stop() {
    if (in_) {
        DWORD written = 0;
        WriteFile(in_, "quit\n", 5, &written, nullptr);
        CloseHandle(in_);
        in_ = nullptr;
    }
    if (process_) {
        if (WaitForSingleObject(process_, 10000) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
        CloseHandle(process_);
        process_ = nullptr;
    }
    if (out_) {
        CloseHandle(out_);
        out_ = nullptr;
    }
}
