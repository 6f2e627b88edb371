// Stand-in for the product's daemon. The library relies on one thing from it:
// the named mutex "ZEL_DAEMON_MUTEX" exists while it runs. For tests it also
// writes the command line it was started with to
// "<its folder>\ZELDaemon.<pid>.cmdline" (the bytes of GetCommandLineA, no
// line end), and a second copy started while one runs exits at once with 1.
//
// It runs until it is ended. GATREL_DAEMON_LIFETIME (seconds, in its
// environment) bounds its life, so a test that fails before ending it leaves
// no process behind for long. Two more settings make a daemon that is slow or
// fails to start: GATREL_DAEMON_START_DELAY (milliseconds it waits before it
// creates its mutex) and GATREL_DAEMON_FAIL=1 (it ends at once with 2,
// without the mutex). Either way its command line is recorded as it starts.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

std::string OwnFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    const size_t slash = folder.find_last_of("\\/");
    folder.resize(slash == std::string::npos ? 0 : slash);
    return folder;
}

void RecordCommandLine() {
    const std::string file =
        OwnFolder() + "\\ZELDaemon." + std::to_string(GetCurrentProcessId()) + ".cmdline";
    const std::string line = GetCommandLineA();
    // Written under a temporary name and renamed, so a reader never sees half a line.
    const std::string temp = file + ".part";
    HANDLE h = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(h);
    MoveFileExA(temp.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING);
}

DWORD LifetimeMs() {
    char value[32] = {};
    if (!GetEnvironmentVariableA("GATREL_DAEMON_LIFETIME", value, sizeof value)) return INFINITE;
    const long seconds = strtol(value, nullptr, 10);
    return seconds > 0 ? static_cast<DWORD>(seconds) * 1000 : INFINITE;
}

DWORD EnvironmentNumber(const char* name) {
    char value[32] = {};
    if (!GetEnvironmentVariableA(name, value, sizeof value)) return 0;
    return static_cast<DWORD>(strtoul(value, nullptr, 10));
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const DWORD startDelay = EnvironmentNumber("GATREL_DAEMON_START_DELAY");
    const bool fail = EnvironmentNumber("GATREL_DAEMON_FAIL") == 1;
    if (startDelay || fail) {
        RecordCommandLine();
        if (fail) return 2;
        Sleep(startDelay);
    }
    // Otherwise created before the command line is recorded: a test that has
    // read the record may rely on the mutex.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "ZEL_DAEMON_MUTEX");
    const bool second = mutex && GetLastError() == ERROR_ALREADY_EXISTS;
    if (!startDelay) RecordCommandLine();
    if (!mutex || second) return 1;
    Sleep(LifetimeMs());
    CloseHandle(mutex);
    return 0;
}
