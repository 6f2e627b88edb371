// The library at work on a desktop: the controller installs the global hooks,
// an application that never loaded the library gets it through them, and text
// copied from a protected document pastes only back into that document until
// the controller grants the copy right; saving the document under another
// name is refused with the product's message, and the word processor's working
// files land in the protected area instead of the user's folder; a capture
// program is closed, and another's copy of the document's window refused.
//
// Prints each step with its outcome, then the log lines the library wrote.
// Exit code 0 when every step had the expected outcome. GATREL_FAST=1 skips
// the pauses between steps.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "companions/demo/automation_demo.h"
#include "companions/demo/controller_process.h"
#include "companions/demo/demo_steps.h"
#include "companions/demo/print_demo.h"
#include "companions/demo/readonly_demo.h"
#include "companions/demo/save_demo.h"
#include "companions/demo/screen_demo.h"
#include "host_client.h"

namespace {

struct Step {
    std::string what;
    std::string outcome;
    bool ok;
};

std::vector<Step> g_steps;
bool g_fast = false;

}  // namespace

bool Record(const std::string& what, const std::string& outcome, bool ok) {
    g_steps.push_back({what, outcome, ok});
    printf("  %-2zu %-52s %s%s\n", g_steps.size(), what.c_str(), outcome.c_str(), ok ? "" : "   <-- unexpected");
    fflush(stdout);
    if (!g_fast) Sleep(700);
    return ok;
}

bool FastDemo() { return g_fast; }

std::string WndHex(HWND w) {
    char b[24];
    snprintf(b, sizeof b, "0x%lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(w)));
    return b;
}

std::string Env(const char* name) {
    const char* v = getenv(name);
    return v ? v : "";
}

namespace {

std::string LogPath(const std::string& base) { return Env("GATREL_ROOT") + "/log/" + base + ".log"; }

size_t FileSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    return in ? static_cast<size_t>(in.tellg()) : 0;
}

std::string ReadFrom(const std::string& path, size_t offset) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    in.seekg(static_cast<std::streamoff>(offset));
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string Hex(uintptr_t v) {
    char b[24];
    snprintf(b, sizeof b, "0x%lx", static_cast<unsigned long>(v));
    return b;
}

// The hooks load the library into a thread the first time it takes a
// message; every command the host runs is one.
bool WaitForLibrary(hosts::HostClient& host, long long* module) {
    for (int i = 0; i < 100; ++i) {
        *module = host.Call("kernel32.dll", "GetModuleHandleA", {"s:Gatrel.dll"}).Num("uret");
        if (*module) return true;
        host.Send("pump", {{"ms", "20"}});
    }
    return false;
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

int main() {
    g_fast = Env("GATREL_FAST") == "1";
    setvbuf(stdout, nullptr, _IONBF, 0);
    const std::string bin = hosts::HostClient::WinPath(Env("GATREL_BIN"));
    const char* kLogs[] = {"WINWORD", "PLAINAPP", "zelctl", "ScreenCapture"};
    size_t logStart[4];
    for (int i = 0; i < 4; ++i) logStart[i] = FileSize(LogPath(kLogs[i]));

    printf("Gatrel.dll demo%s\n\n", g_fast ? " (fast)" : "");
    ControllerProcess zelctl;
    hosts::HostClient word, plain;
    const std::string docPath = "C:\\ZELFILETEMP\\(ZEL-0001)plan.doc";
    const std::string secret = "Q3 plan: close the Lyon office";
    bool all = true;

    const bool zelctlUp = zelctl.Start(bin + "\\zelctl.exe");
    all &= Record("the controller starts (zelctl)", zelctlUp ? "running" : "failed", zelctlUp);
    std::string out = zelctl.Run("install");
    all &= Record("zelctl installs the global hooks", out, out.find("ok") != std::string::npos);

    const bool wordUp = word.Start("word11", {}, PrintDemoEnvironment(SaveDemoEnvironment()));
    all &= Record("WINWORD.EXE starts; it never loads the library itself",
                  wordUp ? "pid " + std::to_string(word.Pid()) : word.LastError(), wordUp);
    long long module = 0;
    bool loaded = WaitForLibrary(word, &module);
    all &= Record("the hooks bring Gatrel.dll into it",
                  loaded ? "Gatrel.dll at " + Hex(static_cast<uintptr_t>(module)) : "not loaded", loaded);
    word.LoadGatrel();  // binds the host's query commands to the loaded copy
    hosts::Reply docObj = word.Send("doc");
    all &= Record("process attach made its document object",
                  docObj.Num("exists") ? "word processor (type " + docObj.Str("type") + ")" : "none",
                  docObj.Num("exists") == 1 && docObj.Num("type") == 1);

    HWND doc = word.OpenDoc(docPath);
    word.Activate(doc);
    out = zelctl.Run("add pid=" + std::to_string(word.Pid()) + " owner=" + std::to_string(word.Pid()) +
                     " wnd=" + Hex(reinterpret_cast<uintptr_t>(doc)) +
                     " type=1 letters=P zelname=plan.doc path=" + Quoted(docPath));
    hosts::DocAnswer ans = word.IsZelDoc();
    all &= Record("\"(ZEL-0001)plan.doc\" registered with letters \"P\"",
                  ans.answer ? "protected, letters " + Quoted(ans.perm) : "not recognised: " + out,
                  ans.answer && ans.perm == "P");

    const bool plainUp = plain.Start("plain");
    all &= Record("PLAINAPP.EXE (an ordinary program) starts",
                  plainUp ? "pid " + std::to_string(plain.Pid()) : plain.LastError(), plainUp);
    long long plainModule = 0;
    const bool plainLoaded = WaitForLibrary(plain, &plainModule);
    all &= Record("the hooks reach it too", plainLoaded ? "Gatrel.dll loaded" : "not loaded", plainLoaded);

    hosts::Reply copy = word.Send("copy", {{"text", secret}});
    all &= Record("copy text in the protected document", copy.Num("set") ? "copied" : "copy failed",
                  copy.Num("set") == 1);
    hosts::Reply p1 = plain.Send("paste");
    all &= Record("paste into the ordinary program",
                  p1.Num("data") ? "pasted " + Quoted(p1.Str("text")) : "nothing pasted", p1.Num("data") == 0);
    word.Activate(doc);
    hosts::Reply p2 = word.Send("paste");
    all &= Record("paste back into the document",
                  p2.Num("data") ? "pasted " + Quoted(p2.Str("text")) : "nothing pasted",
                  p2.Str("text") == secret);

    out = zelctl.Run("letters owner=" + std::to_string(word.Pid()) + " CP");
    ans = word.IsZelDoc();
    all &= Record("the controller changes the letters to \"CP\"", "letters " + Quoted(ans.perm), ans.perm == "CP");
    copy = word.Send("copy", {{"text", secret}});
    hosts::Reply p3 = plain.Send("paste");
    all &= Record("copy again and paste into the ordinary program",
                  p3.Num("data") ? "pasted " + Quoted(p3.Str("text")) : "nothing pasted",
                  p3.Str("text") == secret);

    all &= DemoSaving(word, doc, zelctl);
    all &= DemoPrinting(word, doc, zelctl);
    all &= DemoReadOnly(word, plain, zelctl);
    all &= DemoScreen(word, doc);
    all &= DemoAutomation(word, plain, zelctl);

    printf("\nThe store as the controller sees it (zelctl list):\n");
    const std::string table = zelctl.Run("list");
    for (size_t s = 0, e; s < table.size(); s = e + 3) {
        e = table.find(" | ", s);
        if (e == std::string::npos) e = table.size();
        printf("    %s\n", table.substr(s, e - s).c_str());
    }

    out = zelctl.Run("del owner=" + std::to_string(word.Pid()));
    out = zelctl.Run("remove");
    all &= Record("zelctl removes its hooks", out, out.find("ok") != std::string::npos);
    zelctl.Stop();
    plain.Quit();
    word.Quit();

    printf("\nLog lines the library wrote during the demo:\n");
    for (int i = 0; i < 4; ++i) {
        const std::string text = ReadFrom(LogPath(kLogs[i]), logStart[i]);
        printf("  %s.log:%s\n", kLogs[i], text.empty() ? " (nothing)" : "");
        std::istringstream lines(text);
        std::string line;
        while (std::getline(lines, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            printf("    %s\n", line.c_str());
        }
    }
    int bad = 0;
    for (const Step& s : g_steps) bad += !s.ok;
    printf("\n%zu steps, %d with an unexpected outcome\n", g_steps.size(), bad);
    return all && bad == 0 ? 0 : 1;
}
