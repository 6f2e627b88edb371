#pragma once
// A benchmark's helper program, driven one line at a time: it prints a line
// starting with "ready" when it has started, then answers every command line
// written to its standard input with one line of "name=value" fields.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "tests/hooks/child_process.h"
#include "tests/hooks/host_window.h"

namespace bench {

// A number written as "name=<value>" in text (hexadecimal after "0x"); -1
// when absent.
inline double Field(const std::string& text, const char* name) {
    const std::string key = std::string(name) + "=";
    size_t at = 0;
    // The key must start a field, so that "ns=" does not match inside "owns=".
    while ((at = text.find(key, at)) != std::string::npos && at > 0 && text[at - 1] != ' ') ++at;
    if (at == std::string::npos) return -1;
    const char* v = text.c_str() + at + key.size();
    if (v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) return static_cast<double>(strtoul(v, nullptr, 16));
    return strtod(v, nullptr);
}

inline HWND WindowField(const std::string& text, const char* name) {
    const double v = Field(text, name);
    return v < 0 ? nullptr : reinterpret_cast<HWND>(static_cast<uintptr_t>(v));
}

class LineChild {
public:
    // exe is relative to the benchmark's own folder. desk: null for the
    // caller's desktop.
    bool Start(const std::string& exe, const std::string& args,
               const testing_support::Desktop* desk = nullptr) {
        const std::string cmd = "\"" + testing_support::ExeDir() + exe + "\" " + args;
        if (!proc_.Start(cmd, desk ? desk->StartupName() : std::string())) return false;
        ready_ = NextLine();
        return ready_.rfind("ready", 0) == 0;
    }
    // The answer line; empty when the program did not answer within the bound.
    std::string Ask(const std::string& command, DWORD boundMs = 120000) {
        if (!proc_.WriteLine(command)) return {};
        return NextLine(boundMs);
    }
    const std::string& ReadyLine() const { return ready_; }
    DWORD Pid() const { return proc_.Pid(); }
    void Quit() {
        proc_.WriteLine("quit");
        proc_.CloseInput();
        proc_.Wait(10000);
    }

private:
    std::string NextLine(DWORD boundMs = 120000) {
        if (!proc_.WaitForOutput("\n", boundMs)) return {};
        const std::string out = proc_.Output();
        const size_t end = out.find('\n', read_);
        std::string line = out.substr(read_, end - read_);
        read_ = end + 1;
        return line;
    }
    testing_support::ChildProcess proc_;
    size_t read_ = 0;
    std::string ready_;
};

}  // namespace bench
