// zelctl: a controller for Gatrel.dll. Loads the library, takes its control
// interface and runs commands, one per line, from a script, standard input or
// its own command line. See README.md.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "companions/zelctl/command_error.h"
#include "companions/zelctl/controller.h"
#include "companions/zelctl/tokenizer.h"
#include "store/gatrel_interface.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;        // some command failed (standard input, command line)
constexpr int kExitScriptStopped = 2; // a script stopped at its first failing command
constexpr int kExitUsage = 3;

bool ReadLine(FILE* in, std::string& line) {
    line.clear();
    char buf[4096];
    while (fgets(buf, sizeof buf, in)) {
        line += buf;
        if (!line.empty() && line.back() == '\n') return true;
    }
    return !line.empty();
}

// Runs every line of in. stopOnError: a script ends at its first failing
// command; standard input goes on.
int RunLines(zelctl::Controller& ctl, FILE* in, const char* source, bool stopOnError) {
    bool failed = false;
    std::string line;
    for (int number = 1; ReadLine(in, line); ++number) {
        try {
            const std::vector<std::string> words = zelctl::Tokenize(line);
            if (words.empty()) continue;
            if (!ctl.Run(words)) break;
        } catch (const std::exception& e) {
            fprintf(stderr, "zelctl: %s line %d: %s\n", source, number, e.what());
            fflush(stderr);
            failed = true;
            if (stopOnError) return kExitScriptStopped;
        }
    }
    return failed ? kExitFailed : kExitOk;
}

zelctl::Controller* g_controller = nullptr;

// Ctrl+C, Ctrl+Break, closing the console, logoff, shutdown: take the hooks
// down before the process goes.
BOOL WINAPI OnConsoleControl(DWORD) {
    if (g_controller) g_controller->DropHooks();
    ExitProcess(kExitFailed);
    return TRUE;
}

int Usage() {
    fputs("usage: zelctl                 commands from standard input\n"
          "       zelctl -f SCRIPT       commands from a file, stopping at the first error\n"
          "       zelctl COMMAND ARGS... one command\n",
          stderr);
    return kExitUsage;
}

int RunArguments(zelctl::Controller& ctl, int argc, char** argv) {
    if (argc == 1 || (argc == 2 && strcmp(argv[1], "-") == 0))
        return RunLines(ctl, stdin, "stdin", false);
    if (strcmp(argv[1], "-h") == 0 || strcmp(argv[1], "--help") == 0) return Usage();
    if (strcmp(argv[1], "-f") == 0) {
        if (argc != 3) return Usage();
        FILE* script = fopen(argv[2], "rb");
        if (!script) {
            fprintf(stderr, "zelctl: cannot open %s\n", argv[2]);
            return kExitUsage;
        }
        const int rc = RunLines(ctl, script, argv[2], true);
        fclose(script);
        return rc;
    }
    std::vector<std::string> words(argv + 1, argv + argc);
    try {
        ctl.Run(words);
    } catch (const std::exception& e) {
        fprintf(stderr, "zelctl: %s\n", e.what());
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        // The first call builds the interface and, with it, the "DllShareMem"
        // mutex of this process; it comes before anything else touches the store.
        CHookInterface& iface = CHookInterface::instance();
        zelctl::Controller ctl(iface, stdout);
        g_controller = &ctl;
        SetConsoleCtrlHandler(OnConsoleControl, TRUE);
        const int rc = RunArguments(ctl, argc, argv);
        fflush(stdout);
        // Leaving takes the hooks down (the controller's destructor).
        return rc;
    } catch (...) {
        fprintf(stderr, "zelctl: unexpected failure\n");
        return kExitFailed;
    }
}
