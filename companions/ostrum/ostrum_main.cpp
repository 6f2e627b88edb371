// Stand-in for the product's Ostrum process: the other side of the library's
// save handshake. For its folder D it creates "SaveZELOfficeDoc"+D (set by the
// library when a document in ...\ZELFILETEMP\D\ has been replaced) and
// "HOOKSaveZELOfficeDoc"+D (set here when the work on the saved file is done),
// and records what it saw. See README.md.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "companions/ostrum/ostrum_options.h"

namespace {

class Recorder {
public:
    explicit Recorder(const std::string& file) : file_(file) {}
    // One line, written whole and flushed, so a reader never waits on a buffer.
    void Line(const std::string& text) const {
        printf("%s\n", text.c_str());
        fflush(stdout);
        if (file_.empty()) return;
        HANDLE h = CreateFileA(file_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return;
        const std::string line = text + "\r\n";
        DWORD written = 0;
        WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(h);
    }

private:
    std::string file_;
};

std::string OwnFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    folder.resize(folder.find_last_of("\\/") + 1);
    return folder;
}

void DoWork(const OstrumOptions& o, int round, const Recorder& rec) {
    const DWORD slow = SlowMsOfRound(o, round);
    if (slow) Sleep(slow);
    const std::string r = " round=" + std::to_string(round);
    if (o.copyFrom.empty()) {
        rec.Line("work none" + r);
    } else if (o.failCopy) {
        rec.Line("copy failed error=told" + r);
    } else if (CopyFileA(o.copyFrom.c_str(), o.copyTo.c_str(), FALSE)) {
        rec.Line("copy ok" + r + " to=" + o.copyTo);
    } else {
        rec.Line("copy failed error=" + std::to_string(GetLastError()) + r);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    OstrumOptions o;
    std::string reason;
    if (!ParseOstrumOptions(args, o, reason)) {
        fprintf(stderr, "Ostrum: %s\n", reason.c_str());
        return 3;
    }
    const Recorder rec(o.recordFile);
    if (o.loadGatrel && !LoadLibraryA((OwnFolder() + "Gatrel.dll").c_str())) {
        rec.Line("gatrel not loaded error=" + std::to_string(GetLastError()));
        return 2;
    }
    const std::string savedName = "SaveZELOfficeDoc" + o.folder;
    const std::string answeredName = "HOOKSaveZELOfficeDoc" + o.folder;
    // Auto-reset: one set by the library is one save. Manual-reset: the
    // library resets the answer once it has seen it.
    HANDLE saved = CreateEventA(nullptr, FALSE, FALSE, savedName.c_str());
    HANDLE answered = CreateEventA(nullptr, TRUE, FALSE, answeredName.c_str());
    if (!saved || !answered) {
        rec.Line("events not created error=" + std::to_string(GetLastError()));
        return 1;
    }
    rec.Line("ready folder=" + o.folder + " pid=" + std::to_string(GetCurrentProcessId()));
    const DWORD start = GetTickCount();
    int status = 0;
    for (int round = 1; o.rounds == 0 || round <= o.rounds; ++round) {
        const DWORD used = GetTickCount() - start;
        if (used >= o.lifetimeMs ||
            WaitForSingleObject(saved, o.lifetimeMs - used) != WAIT_OBJECT_0) {
            rec.Line("lifetime over folder=" + o.folder);
            status = 4;
            break;
        }
        rec.Line("saved folder=" + o.folder + " round=" + std::to_string(round));
        DoWork(o, round, rec);
        if (!o.answer) {
            rec.Line("not answering round=" + std::to_string(round));
            continue;
        }
        // Recorded first: whoever the answer wakes finds the line.
        rec.Line("answered round=" + std::to_string(round));
        SetEvent(answered);
    }
    CloseHandle(saved);
    CloseHandle(answered);
    return status;
}
