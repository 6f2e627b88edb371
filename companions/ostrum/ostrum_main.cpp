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
        HANDLE h = CreateFileA(file_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
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

// Only what the library needs of each event (wait and set), for everyone: a
// library that asks for more cannot open them.
class TightEvents {
public:
    TightEvents() {
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone_)) return;
        const DWORD size = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(everyone_);
        acl_ = static_cast<ACL*>(LocalAlloc(LPTR, size));
        if (!acl_ || !InitializeAcl(acl_, size, ACL_REVISION) ||
            !AddAccessAllowedAce(acl_, ACL_REVISION, EVENT_MODIFY_STATE | SYNCHRONIZE, everyone_) ||
            !InitializeSecurityDescriptor(&sd_, SECURITY_DESCRIPTOR_REVISION) ||
            !SetSecurityDescriptorDacl(&sd_, TRUE, acl_, FALSE))
            return;
        attributes_ = {sizeof attributes_, &sd_, FALSE};
        ok_ = true;
    }
    ~TightEvents() {
        if (acl_) LocalFree(acl_);
        if (everyone_) FreeSid(everyone_);
    }
    SECURITY_ATTRIBUTES* Attributes() { return ok_ ? &attributes_ : nullptr; }
    bool ok() const { return ok_; }

private:
    PSID everyone_ = nullptr;
    ACL* acl_ = nullptr;
    SECURITY_DESCRIPTOR sd_{};
    SECURITY_ATTRIBUTES attributes_{};
    bool ok_ = false;
};

// Sends to the application's window and waits for it to be handled, as a
// program that talks to the application in the middle of the save would.
void SendToApplication(HWND window, int round, const Recorder& rec) {
    const DWORD start = GetTickCount();
    DWORD_PTR result = 0;
    const bool handled = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 120000, &result) != 0;
    rec.Line("sent round=" + std::to_string(round) + " handled=" + std::to_string(handled ? 1 : 0) +
             " ms=" + std::to_string(GetTickCount() - start));
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
    TightEvents tight;
    if (o.tightEvents && !tight.ok()) {
        rec.Line("events not created error=" + std::to_string(GetLastError()));
        return 1;
    }
    SECURITY_ATTRIBUTES* security = o.tightEvents ? tight.Attributes() : nullptr;
    // Auto-reset: one set by the library is one save. Manual-reset: the
    // library resets the answer once it has seen it.
    HANDLE saved = CreateEventA(security, FALSE, FALSE, savedName.c_str());
    HANDLE answered = CreateEventA(security, TRUE, FALSE, answeredName.c_str());
    if (!saved || !answered) {
        rec.Line("events not created error=" + std::to_string(GetLastError()));
        return 1;
    }
    rec.Line("ready folder=" + o.folder + " pid=" + std::to_string(GetCurrentProcessId()));
    const DWORD start = GetTickCount();
    int status = 0;
    for (int round = 1; o.rounds == 0 || round <= o.rounds; ++round) {
        const DWORD used = GetTickCount() - start;
        if (used >= o.lifetimeMs || WaitForSingleObject(saved, o.lifetimeMs - used) != WAIT_OBJECT_0) {
            rec.Line("lifetime over folder=" + o.folder);
            status = 4;
            break;
        }
        rec.Line("saved folder=" + o.folder + " round=" + std::to_string(round));
        DoWork(o, round, rec);
        if (o.sendTo) SendToApplication(o.sendTo, round, rec);
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
