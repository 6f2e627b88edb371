#pragma once
// Drives a test host from a test: starts one of the host executables, sends it
// commands over its pipe and reads the answers.
//
//   hosts::HostClient word;
//   ASSERT_TRUE(word.Start("word11"));          // bin/hosts/word11/WINWORD.EXE
//   word.LoadGatrel(); word.CreateDoc();
//   HWND doc = word.OpenDoc("C:\\docs\\(ZEL-1)a.doc");
//   auto answer = word.IsZelDoc();              // answer.answer, answer.rec
//
// Every command is also reachable generically: word.Send("key", {{"vk", "0x50"},
// {"mods", "ctrl"}}). See host_protocol.h for the wire format.
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "store/hook_info.h"

namespace hosts {

using Params = std::vector<std::pair<std::string, std::string>>;

struct Reply {
    bool ok = false;
    std::string error;  // transport failure or the host's "err" text
    std::map<std::string, std::string> values;

    bool Has(const std::string& k) const { return values.count(k) != 0; }
    std::string Str(const std::string& k) const;
    long long Num(const std::string& k) const;
    HWND Wnd(const std::string& k) const;
    std::vector<HWND> WndList(const std::string& k) const;  // comma-separated handles
    std::vector<uint32_t> IdList(const std::string& k) const;
};

// Answer of IsZelDoc / IsLimitedZelDoc run inside the host.
struct DocAnswer {
    bool ok = false;  // the host ran the query
    bool answer = false;
    _ZEL_HOOK_INFO_ rec{};  // the record as the query left it (text fields cut at their NUL)
    std::string perm;
    std::string error;
};

// A reply that is still being worked on (a modal dialog, for instance).
class PendingReply {
public:
    ~PendingReply();
    bool Ready(DWORD waitMs = 0);  // true once the reply has arrived
    Reply Get(DWORD timeoutMs = 30000);

private:
    friend class HostClient;
    HANDLE pipe_ = INVALID_HANDLE_VALUE;
    HANDLE event_ = nullptr;
    HANDLE process_ = nullptr;
    OVERLAPPED ov_{};
    std::vector<char> buf_;
    std::string data_;
    bool started_ = false, done_ = false, failed_ = false;
    void StartRead();
};

class HostClient {
public:
    HostClient() = default;
    ~HostClient();  // quits the host (or ends it) if it still runs
    HostClient(const HostClient&) = delete;
    HostClient& operator=(const HostClient&) = delete;

    // Windows path of bin/hosts/<variant>/<exe> (from GATREL_BIN).
    static std::string HostPath(const std::string& variant);
    // Executable file name of a variant ("word11" -> "WINWORD.EXE"); "" if unknown.
    static std::string ExeOf(const std::string& variant);
    // Windows form of a path given in the environment as a Unix path.
    static std::string WinPath(const std::string& unixOrWin);

    // Starts the variant and waits until it answers. args go on its command line
    // ("--frame-class=X", "--layout=sdi", "--ansi-loop"); env entries are added
    // to (or replace those of) this process's environment.
    bool Start(const std::string& variant, const std::vector<std::string>& args = {},
               const Params& env = {});
    bool StartExe(const std::string& exePath, const std::vector<std::string>& args = {},
                  const Params& env = {});
    // Starts the variant as a program the library has not reached: one that
    // got it through desktop hooks that outlive their process is started again.
    bool StartBare(const std::string& variant, const Params& env = {});
    // The desktop the host is started on ("WinSta0\\<name>"); empty (the
    // default): the caller's. Window hooks installed in the host reach only
    // that desktop.
    void SetDesktop(const std::string& startupName) { desktop_ = startupName; }

    Reply Send(const std::string& command, const Params& params = {}, DWORD timeoutMs = 30000);
    // Sends on a connection of its own and returns at once.
    std::unique_ptr<PendingReply> SendAsync(const std::string& command, const Params& params = {});

    DWORD Pid() const { return pid_; }
    HANDLE Process() const { return process_; }
    bool Running() const;
    // Sends quit and waits for the process to end; true when it ended.
    bool Quit(DWORD timeoutMs = 10000);
    const std::string& LastError() const { return lastError_; }

    // Conveniences over Send.
    bool LoadGatrel(const std::string& path = "");
    bool CreateDoc();
    HWND OpenDoc(const std::string& path, Reply* full = nullptr);
    bool Activate(HWND w);
    bool Background();  // the host's UI thread loses its active window
    HWND Dialog(const std::string& title, HWND owner = nullptr, bool unowned = false,
                const std::string& controls = "", Reply* full = nullptr);
    HWND CreateWindowOf(const std::string& cls, HWND parent = nullptr, bool child = false,
                        bool activate = false, const std::string& title = "");
    bool Show(HWND w, int cmd);
    bool Close(HWND w);
    Reply Windows();
    Reply Info(HWND w);
    std::vector<std::string> Events();
    // front: the window brought to front right before the query, in the
    // same turn of the host's UI thread (0: leave the windows as they are).
    DocAnswer IsZelDoc(HWND front = nullptr);
    DocAnswer IsLimitedZelDoc(HWND front = nullptr);
    HWND FindDoc(HWND front = nullptr);
    Reply Context();
    Reply Call(const std::string& dll, const std::string& fn, const std::vector<std::string>& args);

private:
    HANDLE Connect(DWORD timeoutMs);
    Reply Transact(HANDLE pipe, const std::string& msg, DWORD timeoutMs);
    DocAnswer Query(const std::string& command, HWND front);
    void End();  // quits the host (or ends it) and forgets it

    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    std::string pipeName_;
    HANDLE pipe_ = INVALID_HANDLE_VALUE;
    std::string lastError_;
    std::string desktop_;
};

// The environment that starts a host under the Chinese ANSI code page (936):
// the build tree's private zh_CN locale (made by scripts/wine-world.sh), which
// lies beside the bin folder of GATREL_BIN; glibc reads LOCPATH as a Unix path.
Params ChineseLocale();

// Parses a reply message (exposed for the protocol's own tests).
Reply ParseReply(const std::string& msg);

}  // namespace hosts
