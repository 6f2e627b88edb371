#include "host_client.h"

#include <cstring>

#include "host_protocol.h"

namespace hosts {
namespace {

std::wstring Widen(const std::string& s) {
    if (s.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::string Hex(HWND w) { return hostproto::Hex(reinterpret_cast<uintptr_t>(w)); }

std::string Env(const char* name) {
    char buf[2048] = {};
    const DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return n && n < sizeof buf ? std::string(buf, n) : std::string();
}

// This process's environment with the given entries added or replaced, as a
// wide environment block.
std::vector<wchar_t> EnvironmentBlock(const Params& extra) {
    std::vector<std::wstring> entries;
    if (wchar_t* env = GetEnvironmentStringsW()) {
        for (const wchar_t* p = env; *p; p += wcslen(p) + 1) entries.emplace_back(p);
        FreeEnvironmentStringsW(env);
    }
    for (const auto& [k, v] : extra) {
        const std::wstring key = Widen(k) + L"=";
        bool replaced = false;
        for (auto& e : entries) {
            if (e.size() >= key.size() && _wcsnicmp(e.c_str(), key.c_str(), key.size()) == 0) {
                e = key + Widen(v);
                replaced = true;
            }
        }
        if (!replaced) entries.push_back(key + Widen(v));
    }
    std::vector<wchar_t> block;
    for (const auto& e : entries) {
        block.insert(block.end(), e.begin(), e.end());
        block.push_back(0);
    }
    block.push_back(0);
    return block;
}

bool WaitIo(HANDLE file, OVERLAPPED& ov, HANDLE process, DWORD timeoutMs, DWORD& bytes,
            bool& moreData) {
    moreData = false;
    HANDLE waits[2] = {ov.hEvent, process};
    const DWORD r = WaitForMultipleObjects(process ? 2 : 1, waits, FALSE, timeoutMs);
    if (r != WAIT_OBJECT_0) {
        CancelIo(file);
        GetOverlappedResult(file, &ov, &bytes, TRUE);
        return false;
    }
    if (GetOverlappedResult(file, &ov, &bytes, FALSE)) return true;
    if (GetLastError() == ERROR_MORE_DATA) {
        moreData = true;
        return true;
    }
    return false;
}

bool WriteMessage(HANDLE pipe, HANDLE process, const std::string& msg, DWORD timeoutMs) {
    OVERLAPPED ov{};
    ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD bytes = 0;
    bool ok = WriteFile(pipe, msg.data(), static_cast<DWORD>(msg.size()), &bytes, &ov) != FALSE;
    if (!ok && GetLastError() == ERROR_IO_PENDING) {
        bool more;
        ok = WaitIo(pipe, ov, process, timeoutMs, bytes, more);
    }
    CloseHandle(ov.hEvent);
    return ok && bytes == msg.size();
}

bool ReadReply(HANDLE pipe, HANDLE process, DWORD timeoutMs, std::string& out) {
    out.clear();
    OVERLAPPED ov{};
    ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<char> buf(1 << 16);
    bool ok = false;
    for (;;) {
        ResetEvent(ov.hEvent);
        DWORD bytes = 0;
        bool more = false;
        if (ReadFile(pipe, buf.data(), static_cast<DWORD>(buf.size()), &bytes, &ov)) {
            ok = true;
        } else if (GetLastError() == ERROR_MORE_DATA) {
            more = true;
            ok = true;
        } else if (GetLastError() == ERROR_IO_PENDING) {
            ok = WaitIo(pipe, ov, process, timeoutMs, bytes, more);
        } else {
            ok = false;
        }
        if (!ok) break;
        out.append(buf.data(), bytes);
        if (!more) break;
    }
    CloseHandle(ov.hEvent);
    return ok;
}

// Fixed record fields: at most the field's width, NUL padded.
template <size_t N>
void CopyField(char (&dst)[N], const std::string& src) {
    memset(dst, 0, N);
    memcpy(dst, src.data(), src.size() < N ? src.size() : N);
}

std::string FieldsMessage(const std::string& command, const Params& params) {
    std::vector<std::string> f{command};
    for (const auto& [k, v] : params) f.push_back(k + "=" + v);
    return hostproto::Join(f);
}

}  // namespace

std::string Reply::Str(const std::string& k) const {
    auto it = values.find(k);
    return it == values.end() ? std::string() : it->second;
}
long long Reply::Num(const std::string& k) const { return hostproto::ParseNumber(Str(k)); }
HWND Reply::Wnd(const std::string& k) const {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(hostproto::ParseNumber(Str(k))));
}
std::vector<HWND> Reply::WndList(const std::string& k) const {
    std::vector<HWND> out;
    for (uint32_t v : IdList(k)) out.push_back(reinterpret_cast<HWND>(static_cast<uintptr_t>(v)));
    return out;
}
std::vector<uint32_t> Reply::IdList(const std::string& k) const {
    std::vector<uint32_t> out;
    const std::string s = Str(k);
    size_t start = 0;
    while (start < s.size()) {
        size_t end = s.find(',', start);
        if (end == std::string::npos) end = s.size();
        out.push_back(static_cast<uint32_t>(hostproto::ParseNumber(s.substr(start, end - start))));
        start = end + 1;
    }
    return out;
}

Reply ParseReply(const std::string& msg) {
    Reply r;
    const auto f = hostproto::Split(msg);
    if (f.empty() || (f[0] != "ok" && f[0] != "err")) {
        r.error = "malformed reply";
        return r;
    }
    if (f[0] == "err") {
        r.error = f.size() > 1 ? f[1] : "error";
        return r;
    }
    r.ok = true;
    for (size_t i = 1; i < f.size(); ++i) {
        const size_t eq = f[i].find('=');
        if (eq != std::string::npos) r.values[f[i].substr(0, eq)] = f[i].substr(eq + 1);
    }
    return r;
}

// --- PendingReply ---

PendingReply::~PendingReply() {
    if (pipe_ != INVALID_HANDLE_VALUE) {
        if (started_ && !done_) {
            CancelIo(pipe_);
            DWORD b;
            GetOverlappedResult(pipe_, &ov_, &b, TRUE);
        }
        CloseHandle(pipe_);
    }
    if (event_) CloseHandle(event_);
}

void PendingReply::StartRead() {
    ResetEvent(event_);
    ov_ = OVERLAPPED{};
    ov_.hEvent = event_;
    buf_.resize(1 << 16);
    started_ = true;
    DWORD bytes = 0;
    if (ReadFile(pipe_, buf_.data(), static_cast<DWORD>(buf_.size()), &bytes, &ov_)) {
        data_.append(buf_.data(), bytes);
        done_ = true;
    } else if (GetLastError() == ERROR_MORE_DATA) {
        data_.append(buf_.data(), bytes);
        StartRead();
    } else if (GetLastError() != ERROR_IO_PENDING) {
        failed_ = done_ = true;
    }
}

bool PendingReply::Ready(DWORD waitMs) {
    if (done_) return true;
    HANDLE waits[2] = {event_, process_};
    const DWORD r = WaitForMultipleObjects(process_ ? 2 : 1, waits, FALSE, waitMs);
    if (r == WAIT_OBJECT_0 + 1) {
        // The host ended; a reply may still be in the pipe.
        if (WaitForSingleObject(event_, 100) != WAIT_OBJECT_0) {
            failed_ = done_ = true;
            return true;
        }
    } else if (r != WAIT_OBJECT_0) {
        return false;
    }
    DWORD bytes = 0;
    if (GetOverlappedResult(pipe_, &ov_, &bytes, FALSE)) {
        data_.append(buf_.data(), bytes);
        done_ = true;
    } else if (GetLastError() == ERROR_MORE_DATA) {
        data_.append(buf_.data(), bytes);
        StartRead();
        return Ready(waitMs);
    } else {
        failed_ = done_ = true;
    }
    return true;
}

Reply PendingReply::Get(DWORD timeoutMs) {
    if (!Ready(timeoutMs)) {
        Reply r;
        r.error = "timeout";
        return r;
    }
    if (failed_) {
        Reply r;
        r.error = "connection lost";
        return r;
    }
    return ParseReply(data_);
}

// --- HostClient ---

HostClient::~HostClient() { End(); }

void HostClient::End() {
    if (process_) {
        if (Running() && !Quit(5000)) TerminateProcess(process_, 1);
        CloseHandle(process_);
        process_ = nullptr;
    }
    if (pipe_ != INVALID_HANDLE_VALUE) CloseHandle(pipe_);
    pipe_ = INVALID_HANDLE_VALUE;
    pid_ = 0;
}

bool HostClient::StartBare(const std::string& variant, const Params& env) {
    // A protected application hooks its desktop from its watch thread and
    // takes the hooks away as it ends; one that was ended by force leaves
    // them on the desktop, and a host started there gets the library through
    // them (on its first message, which the start's own exchange is). Such a
    // start is ended (a protected variant takes its own hooks with it) and
    // made again.
    for (int attempt = 0; attempt < 30; ++attempt) {
        if (attempt) Sleep(1000);
        if (!Start(variant, {}, env)) return false;
        if (Call("kernel32.dll", "GetModuleHandleA", {"s:Gatrel.dll"}).Num("uret") == 0) return true;
        End();
    }
    lastError_ = "every start of " + variant + " got the library through lingering desktop hooks";
    return false;
}

Params ChineseLocale() {
    char bin[1024] = {};
    GetEnvironmentVariableA("GATREL_BIN", bin, sizeof bin);
    std::string tree = bin;
    const size_t slash = tree.find_last_of('/');
    if (slash != std::string::npos) tree.resize(slash);
    return {{"LOCPATH", tree + "/locale"}, {"LANG", "zh_CN.UTF-8"}, {"LC_ALL", "zh_CN.UTF-8"}};
}

std::string HostClient::WinPath(const std::string& p) {
    if (p.empty() || p[0] != '/') return p;
    std::string out = "Z:" + p;
    for (auto& c : out)
        if (c == '/') c = '\\';
    return out;
}

std::string HostClient::ExeOf(const std::string& variant) {
    const std::string dir = WinPath(Env("GATREL_BIN")) + "\\hosts\\" + variant + "\\";
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "*.EXE").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return {};
    FindClose(h);
    return fd.cFileName;
}

std::string HostClient::HostPath(const std::string& variant) {
    const std::string exe = ExeOf(variant);
    if (exe.empty()) return {};
    return WinPath(Env("GATREL_BIN")) + "\\hosts\\" + variant + "\\" + exe;
}

bool HostClient::Running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool HostClient::Start(const std::string& variant, const std::vector<std::string>& args,
                       const Params& env) {
    const std::string path = HostPath(variant);
    if (path.empty()) {
        lastError_ = "no host executable for variant " + variant + " (GATREL_BIN set?)";
        return false;
    }
    return StartExe(path, args, env);
}

bool HostClient::StartExe(const std::string& exePath, const std::vector<std::string>& args,
                          const Params& env) {
    static LONG counter = 0;
    pipeName_ = "\\\\.\\pipe\\gatrel-host-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(InterlockedIncrement(&counter)) + "-" + std::to_string(GetTickCount());
    // Wine takes the locale (and with it the ANSI code page) from the Unix
    // environment, which a Windows child inherits from its parent's Unix side,
    // not from the environment block; the commands of printer ports run in it
    // too. A host that needs its own locale or print settings (GATREL_PRINT_*)
    // is started through the Unix loader, which does receive the block.
    bool viaLoader = false;
    for (const auto& kv : env)
        if (kv.first == "LANG" || kv.first == "LOCPATH" || kv.first.rfind("LC_", 0) == 0 ||
            kv.first.rfind("GATREL_PRINT_", 0) == 0)
            viaLoader = true;
    std::wstring cmd;
    if (viaLoader) {
        const std::string loader = Env("GATREL_WINE_LOADER");
        cmd = Widen(loader.empty() ? "/usr/bin/wine" : loader) + L" ";
    }
    cmd += L"\"" + Widen(exePath) + L"\" --pipe=" + Widen(pipeName_);
    for (const auto& a : args) cmd += L" \"" + Widen(a) + L"\"";
    std::vector<wchar_t> cmdBuf(cmd.begin(), cmd.end());
    cmdBuf.push_back(0);
    std::vector<wchar_t> block = EnvironmentBlock(env);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring desktop = Widen(desktop_);
    if (!desktop.empty()) si.lpDesktop = desktop.data();
    // The host's standard streams are the null device. Under Wine a process
    // inherits the streams of the process that starts it, and what a host
    // starts may outlive it (the daemon, which a protected application starts
    // whenever it is gone): it must not hold this test's output open.
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             &inheritable, OPEN_EXISTING, 0, nullptr);
    if (nul != INVALID_HANDLE_VALUE) {
        si.dwFlags |= STARTF_USESTDHANDLES;
        si.hStdInput = si.hStdOutput = si.hStdError = nul;
    }
    PROCESS_INFORMATION pi{};
    const BOOL created = CreateProcessW(nullptr, cmdBuf.data(), nullptr, nullptr, nul != INVALID_HANDLE_VALUE,
                                        CREATE_UNICODE_ENVIRONMENT, block.data(), nullptr, &si, &pi);
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    if (!created) {
        lastError_ = "CreateProcess failed: " + std::to_string(GetLastError()) + " " + exePath;
        return false;
    }
    CloseHandle(pi.hThread);
    if (viaLoader) {
        // The handle is the loader's, not the host's: the host's own is taken
        // once it has said who it is.
        CloseHandle(pi.hProcess);
    } else {
        process_ = pi.hProcess;
        pid_ = pi.dwProcessId;
    }
    pipe_ = Connect(20000);
    if (pipe_ == INVALID_HANDLE_VALUE) return false;
    Reply r = Send("ping");
    if (!r.ok) {
        lastError_ = "host does not answer: " + r.error;
        return false;
    }
    if (viaLoader) {
        pid_ = static_cast<DWORD>(r.Num("pid"));
        process_ = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION,
                               FALSE, pid_);
        if (!process_) {
            lastError_ = "cannot open the host process " + std::to_string(pid_);
            return false;
        }
    }
    return true;
}

HANDLE HostClient::Connect(DWORD timeoutMs) {
    const std::wstring name = Widen(pipeName_);
    const DWORD start = GetTickCount();
    for (;;) {
        HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            DWORD mode = PIPE_READMODE_MESSAGE;
            SetNamedPipeHandleState(h, &mode, nullptr, nullptr);
            return h;
        }
        const DWORD err = GetLastError();
        if (process_ && !Running()) {
            lastError_ = "host ended before it answered";
            return INVALID_HANDLE_VALUE;
        }
        if (GetTickCount() - start > timeoutMs) {
            lastError_ = "cannot connect to the host: " + std::to_string(err);
            return INVALID_HANDLE_VALUE;
        }
        if (err == ERROR_PIPE_BUSY) WaitNamedPipeW(name.c_str(), 100);
        else Sleep(10);
    }
}

Reply HostClient::Transact(HANDLE pipe, const std::string& msg, DWORD timeoutMs) {
    Reply r;
    if (pipe == INVALID_HANDLE_VALUE) {
        r.error = "not connected";
        return r;
    }
    if (!WriteMessage(pipe, process_, msg, timeoutMs)) {
        r.error = "write failed";
        return r;
    }
    std::string data;
    if (!ReadReply(pipe, process_, timeoutMs, data)) {
        r.error = Running() ? "no reply in time" : "host ended";
        return r;
    }
    return ParseReply(data);
}

Reply HostClient::Send(const std::string& command, const Params& params, DWORD timeoutMs) {
    Reply r = Transact(pipe_, FieldsMessage(command, params), timeoutMs);
    if (!r.ok) lastError_ = command + ": " + r.error;
    return r;
}

std::unique_ptr<PendingReply> HostClient::SendAsync(const std::string& command, const Params& params) {
    auto p = std::make_unique<PendingReply>();
    p->process_ = process_;
    p->event_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    p->pipe_ = Connect(10000);
    if (p->pipe_ == INVALID_HANDLE_VALUE ||
        !WriteMessage(p->pipe_, process_, FieldsMessage(command, params), 10000)) {
        p->failed_ = p->done_ = true;
        return p;
    }
    p->StartRead();
    return p;
}

bool HostClient::Quit(DWORD timeoutMs) {
    if (!Running()) return true;
    Send("quit", {}, timeoutMs);
    if (pipe_ != INVALID_HANDLE_VALUE) {
        CloseHandle(pipe_);
        pipe_ = INVALID_HANDLE_VALUE;
    }
    return WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
}

bool HostClient::LoadGatrel(const std::string& path) {
    Params p;
    if (!path.empty()) p.push_back({"path", path});
    Reply r = Send("gatrel", p);
    if (r.ok && !r.Str("missing").empty()) lastError_ = "missing exports: " + r.Str("missing");
    return r.ok && r.Str("missing").empty();
}

bool HostClient::CreateDoc() { return Send("createdoc").Num("exists") == 1; }

HWND HostClient::OpenDoc(const std::string& path, Reply* full) {
    Reply r = Send("open", {{"path", path}});
    if (full) *full = r;
    return r.Wnd("doc");
}

bool HostClient::Activate(HWND w) { return Send("activate", {{"wnd", Hex(w)}}).Num("done") == 1; }

bool HostClient::Background() {
    Reply r = Send("background");
    return r.ok && r.Wnd("active") == nullptr;
}

HWND HostClient::Dialog(const std::string& title, HWND owner, bool unowned,
                        const std::string& controls, Reply* full) {
    Params p{{"title", title}};
    if (unowned) p.push_back({"owner", "none"});
    else if (owner) p.push_back({"owner", Hex(owner)});
    if (!controls.empty()) p.push_back({"controls", controls});
    Reply r = Send("dialog", p);
    if (full) *full = r;
    return r.Wnd("dlg");
}

HWND HostClient::CreateWindowOf(const std::string& cls, HWND parent, bool child, bool activate,
                                const std::string& title) {
    Params p{{"class", cls}, {"child", child ? "1" : "0"}, {"activate", activate ? "1" : "0"},
             {"title", title}};
    if (parent) p.push_back({child ? "parent" : "owner", Hex(parent)});
    return Send("create", p).Wnd("wnd");
}

bool HostClient::Show(HWND w, int cmd) {
    return Send("show", {{"wnd", Hex(w)}, {"cmd", std::to_string(cmd)}}).ok;
}

bool HostClient::Close(HWND w) {
    Reply r = Send("close", {{"wnd", Hex(w)}});
    return r.ok && r.Num("exists") == 0;
}

Reply HostClient::Windows() { return Send("windows"); }
Reply HostClient::Info(HWND w) { return Send("info", {{"wnd", Hex(w)}}); }

std::vector<std::string> HostClient::Events() {
    Reply r = Send("events");
    std::vector<std::string> out;
    const long long n = r.Num("count");
    for (long long i = 0; i < n; ++i) out.push_back(r.Str("e" + std::to_string(i)));
    return out;
}

DocAnswer HostClient::Query(const std::string& command, HWND front) {
    DocAnswer a;
    Params p;
    if (front) p.push_back({"front", Hex(front)});
    Reply r = Send(command, p);
    a.ok = r.ok;
    a.error = r.error;
    if (!r.ok) return a;
    a.answer = r.Num("answer") == 1;
    a.rec.dwProcessId = static_cast<uint32_t>(r.Num("pid"));
    CopyField(a.rec.szFilePath, r.Str("path"));
    a.perm = r.Str("perm");
    CopyField(a.rec.szPermission, a.perm);
    CopyField(a.rec.szZelFileName, r.Str("zelname"));
    a.rec.byDocType = static_cast<uint8_t>(r.Num("type"));
    a.rec.hDocWnd = static_cast<uint32_t>(r.Num("wnd"));
    a.rec.dwOwnerPid = static_cast<uint32_t>(r.Num("owner"));
    return a;
}

DocAnswer HostClient::IsZelDoc(HWND front) { return Query("iszeldoc", front); }
DocAnswer HostClient::IsLimitedZelDoc(HWND front) { return Query("islimited", front); }
HWND HostClient::FindDoc(HWND front) {
    Params p;
    if (front) p.push_back({"front", Hex(front)});
    return Send("finddoc", p).Wnd("wnd");
}
Reply HostClient::Context() { return Send("context"); }

Reply HostClient::Call(const std::string& dll, const std::string& fn,
                       const std::vector<std::string>& args) {
    Params p{{"dll", dll}, {"fn", fn}};
    for (size_t i = 0; i < args.size(); ++i) p.push_back({"a" + std::to_string(i), args[i]});
    return Send("call", p);
}

}  // namespace hosts
