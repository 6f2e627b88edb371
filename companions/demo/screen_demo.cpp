#include "companions/demo/screen_demo.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "companions/demo/demo_steps.h"
#include "tests/hooks/child_process.h"

namespace {

using testing_support::ChildProcess;

std::string Tools() { return hosts::HostClient::WinPath(Env("GATREL_BIN")) + "\\screentools\\"; }

// The value of "name=" in a reply line; -1 when absent.
long long Field(const std::string& line, const std::string& name) {
    const size_t at = (" " + line).find(" " + name + "=");
    return at == std::string::npos ? -1 : strtoll(line.c_str() + at + name.size() + 1, nullptr, 0);
}

// The line of out that starts with prefix, after from; empty when none yet.
std::string LineOf(const std::string& out, size_t from, const std::string& prefix) {
    const size_t at = out.find(prefix, from);
    const size_t end = at == std::string::npos ? at : out.find('\n', at);
    if (end == std::string::npos) return {};
    std::string line = out.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// Sends a command to the capture program and waits for its reply line.
std::string Ask(ChildProcess& p, const std::string& cmd, const std::string& prefix) {
    const size_t from = p.Output().size();
    if (!p.WriteLine(cmd)) return {};
    for (int i = 0; i < 600; ++i) {
        const std::string line = LineOf(p.Output(), from, prefix);
        if (!line.empty()) return line;
        Sleep(50);
    }
    return {};
}

}  // namespace

bool DemoScreen(hosts::HostClient& word, HWND doc) {
    bool all = true;
    word.Activate(doc);

    // A screen recorder's main window; the word processor's screen-tool
    // thread looks for it five times a second, and may end it before it says
    // it is ready: the log at the end names it.
    ChildProcess tool;
    const DWORD started = GetTickCount();
    bool up = tool.Start("\"" + Tools() + "SnagIt32.exe\"");
    const bool ended = up && tool.Wait(10000) != -1;
    char took[64];
    snprintf(took, sizeof took, "closed and ended after %lu ms", static_cast<unsigned long>(GetTickCount() - started));
    all &= Record("a screen recorder (SnagIt5UI window) starts", !up ? "did not start" : ended ? took : "still running",
                  up && ended);

    ChildProcess capture;
    up = capture.Start("\"" + Tools() + "ScreenCapture.exe\"") && capture.WaitForOutput("ready", 30000) &&
         Ask(capture, "library 30000", "library=") == "library=1";
    char args[64];
    snprintf(args, sizeof args, "copy from=window wnd=0x%lx via=bitblt",
             static_cast<unsigned long>(reinterpret_cast<uintptr_t>(doc)));
    const std::string reply = up ? Ask(capture, args, "copy ok=") : "";
    const bool refused = Field(reply, "ok") == 0 && Field(reply, "pixels") == 0;
    all &= Record("a capture program copies the document's window (BitBlt)",
                  !up ? "did not start" : refused ? "refused, no pixels" : "got: " + reply, up && refused);
    if (up) capture.WriteLine("quit");
    capture.Wait(10000);
    return all;
}
