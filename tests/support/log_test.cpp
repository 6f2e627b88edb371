// The per-executable log as written by real processes: children of this
// program run with a sandbox as HKEY_LOCAL_MACHINE (their own InstallDir and
// LogLevel), since the level is read once per process.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/log.h"
#include "support/settings.h"
#include "tests/support/test_child.h"

namespace {

using testchild::Child;
using testchild::FileExists;
using testchild::MachineKeySandbox;
using testchild::ReadFileBytes;
using testchild::RunChild;
using testchild::SelfPath;
using testchild::TempFolder;

void Write(int level, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    WriteLog(level, fmt, args);
    va_end(args);
}

bool SetMachineValue(const char* value, const std::string& data) {
    return RegSetKeyValueA(HKEY_LOCAL_MACHINE, kSetupKey, value, REG_SZ, data.c_str(),
                           static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
}

// ---- what the children do -------------------------------------------------

GATREL_CHILD_SCENARIO(log_levels) {
    for (int level : {1, 2, 3, 4, 9}) Write(level, "level=%d", level);
    LogInfo("via %s", "LogInfo");
    LogError("via %s", "LogError");
    return 0;
}

GATREL_CHILD_SCENARIO(log_format) {
    const unsigned long tid = GetCurrentThreadId();
    LogError("format check %s %d tid=%lu", "abc", 42, tid);
    LogInfo("info entry tid=%lu", tid);
    return 0;
}

GATREL_CHILD_SCENARIO(log_line_feed) {
    LogError("two\nlines");
    return 0;
}

GATREL_CHILD_SCENARIO(log_null) {
    Write(kLogError, nullptr);
    return 0;
}

GATREL_CHILD_SCENARIO(log_one) {
    LogError("%s", args.at(0).c_str());
    return 0;
}

GATREL_CHILD_SCENARIO(log_fixed_threshold) {
    LogInfo("first");
    if (!SetMachineValue("LogLevel", "ERROR")) return 2;
    LogInfo("second");
    LogError("third");
    return 0;
}

// 0 as expected, 2 a directory was created before InstallDir existed.
GATREL_CHILD_SCENARIO(log_no_installdir) {
    const std::string folder = args.at(0);
    LogError("before");
    if (FileExists(folder + "\\log")) return 2;
    if (!SetMachineValue("InstallDir", folder)) return 3;
    LogError("after");
    return 0;
}

char PayloadChar(int writer, int n) { return static_cast<char>('a' + (writer * 7 + n) % 26); }
int PayloadLength(int writer, int n) { return (n * 997 + writer * 131) % 3001; }

GATREL_CHILD_SCENARIO(log_hammer) {
    const int writer = std::stoi(args.at(0));
    const int count = std::stoi(args.at(1));
    HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, args.at(2).c_str());
    if (!go || WaitForSingleObject(go, 30000) != WAIT_OBJECT_0) return 2;
    CloseHandle(go);
    for (int n = 0; n < count; ++n) {
        const std::string payload(PayloadLength(writer, n), PayloadChar(writer, n));
        LogError("w=%d n=%d len=%d %s", writer, n, static_cast<int>(payload.size()),
                 payload.c_str());
    }
    return 0;
}

// Three waits for a log lock that another process holds time out; the child
// then writes without waiting until the pause is over, and waits again after.
GATREL_CHILD_SCENARIO(log_lock_pause) {
    HANDLE after = OpenEventA(EVENT_MODIFY_STATE, FALSE, args.at(0).c_str());
    if (!after) return 2;
    for (const char* m : {"a1", "a2", "a3", "b1", "b2"}) LogError("%s", m);
    Sleep(kLogAppendPauseMs + 200);
    SetEvent(after);
    LogError("c1");
    CloseHandle(after);
    return 0;
}

// ---- reading the log back ------------------------------------------------------

struct Line {
    std::string tag;
    SYSTEMTIME time{};
    int tick = 0;
    unsigned long pid = 0;
    unsigned long tid = 0;
    std::string message;
};

// Parses one line (without its line end) strictly: the prefix rebuilt from the
// parsed numbers must equal the text.
bool Parse(const std::string& text, Line& line) {
    static const std::set<std::string> tags = {"[DEBUG] ", "[INFO]  ", "[WARN]  ", "[ERROR] ",
                                               "[OTHER] "};
    if (text.size() < 8 || !tags.count(text.substr(0, 8))) return false;
    line.tag = text.substr(0, 8);
    int y, mo, d, h, mi, s;
    if (sscanf(text.c_str() + 8, "[%d-%d-%d %d:%d:%d] [TK:%d] [PID: %lu] [TID:%lu] ", &y, &mo, &d,
               &h, &mi, &s, &line.tick, &line.pid, &line.tid) != 9)
        return false;
    char prefix[160];
    snprintf(prefix, sizeof prefix, "[%04d-%02d-%02d %02d:%02d:%02d] [TK:%d] [PID: %d] [TID:%d] ",
             y, mo, d, h, mi, s, line.tick, static_cast<int>(line.pid),
             static_cast<int>(line.tid));
    if (text.compare(8, strlen(prefix), prefix) != 0) return false;
    line.time.wYear = static_cast<WORD>(y);
    line.time.wMonth = static_cast<WORD>(mo);
    line.time.wDay = static_cast<WORD>(d);
    line.time.wHour = static_cast<WORD>(h);
    line.time.wMinute = static_cast<WORD>(mi);
    line.time.wSecond = static_cast<WORD>(s);
    line.message = text.substr(8 + strlen(prefix));
    return true;
}

// The file's lines; every line must end in CR LF and no other CR or LF may occur.
std::vector<std::string> SplitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < bytes.size()) {
        const size_t end = bytes.find("\r\n", at);
        if (end == std::string::npos) {
            ADD_FAILURE() << "the file ends inside a line: " << bytes.substr(at, 80);
            break;
        }
        lines.push_back(bytes.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

std::vector<Line> ReadLog(const std::string& path) {
    std::vector<Line> out;
    for (const auto& text : SplitLines(ReadFileBytes(path))) {
        Line line;
        if (!Parse(text, line)) {
            ADD_FAILURE() << "not a whole log line: " << text.substr(0, 120);
            continue;
        }
        if (line.message.find_first_of("\r\n") != std::string::npos)
            ADD_FAILURE() << "stray line break in: " << text.substr(0, 120);
        out.push_back(line);
    }
    return out;
}

std::string BaseNameOf(const std::string& exe) {
    std::string name = exe.substr(exe.find_last_of("\\/") + 1);
    return name.substr(0, name.rfind('.'));
}

std::string LogPathIn(const std::string& installDir) {
    return installDir + "\\log\\" + BaseNameOf(SelfPath()) + ".log";
}

ULONGLONG AsTicks(const SYSTEMTIME& t) {
    FILETIME ft{};
    SystemTimeToFileTime(&t, &ft);
    return (ULONGLONG(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// A child world: a sandbox HKEY_LOCAL_MACHINE whose InstallDir is a fresh folder.
struct ChildWorld {
    explicit ChildWorld(const char* logLevel = "INFO") {
        hklm.SetString("InstallDir", root.path());
        if (logLevel) hklm.SetString("LogLevel", logLevel);
    }
    std::string LogPath() const { return LogPathIn(root.path()); }
    long Run(const std::string& scenario, const std::vector<std::string>& args = {}) {
        return RunChild(scenario, args, hklm.name());
    }
    TempFolder root{"log"};
    MachineKeySandbox hklm{"log"};
};

// ---- tests -----------------------------------------------------------------------

TEST(LogFile, ThisProcessWritesItsExeNamedFileInTheInstallationLogFolder) {
    const std::string marker = "own-process-" + std::to_string(GetTickCount());
    LogError("%s error", marker.c_str());
    LogInfo("%s info", marker.c_str());  // the test world's level is INFO
    const std::string path = GetInstallDir() + "\\log\\log_test.log";
    std::set<std::string> seen;
    for (const auto& line : ReadLog(path)) {
        if (line.message.rfind(marker, 0) != 0) continue;
        EXPECT_EQ(GetCurrentProcessId(), line.pid);
        seen.insert(line.tag + line.message);
    }
    EXPECT_EQ((std::set<std::string>{"[ERROR] " + marker + " error", "[INFO]  " + marker + " info"}),
              seen);
}

TEST(LogFile, NameKeepsTheCaseOfTheExecutable) {
    ChildWorld world;
    TempFolder bin("logexe");
    const std::string copy = bin.path() + "\\MiXed_Log.EXE";
    ASSERT_TRUE(CopyFileA(SelfPath().c_str(), copy.c_str(), FALSE));
    {
        Child child(copy, "log_one", {"from the copy"}, world.hklm.name());
        ASSERT_TRUE(child.started());
        ASSERT_EQ(0, child.Wait());
    }
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((world.root.path() + "\\log\\*.log").c_str(), &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    EXPECT_STREQ("MiXed_Log.log", fd.cFileName);
    EXPECT_FALSE(FindNextFileA(find, &fd)) << "a second log file: " << fd.cFileName;
    FindClose(find);
}

TEST(LogFormat, LineIsTagPrefixMessageAndCrLf) {
    ChildWorld world("Info");
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    const DWORD tickBefore = GetTickCount();
    Child child(SelfPath(), "log_format", {}, world.hklm.name());
    ASSERT_TRUE(child.started());
    ASSERT_EQ(0, child.Wait());
    const DWORD tickAfter = GetTickCount();
    GetLocalTime(&after);

    const auto lines = ReadLog(world.LogPath());
    ASSERT_EQ(2u, lines.size()) << ReadFileBytes(world.LogPath());
    EXPECT_EQ("[ERROR] ", lines[0].tag);
    EXPECT_EQ("[INFO]  ", lines[1].tag);
    EXPECT_EQ("format check abc 42 tid=" + std::to_string(lines[0].tid), lines[0].message);
    EXPECT_EQ("info entry tid=" + std::to_string(lines[1].tid), lines[1].message);
    for (const auto& line : lines) {
        EXPECT_EQ(child.pid(), line.pid);
        EXPECT_LE(AsTicks(before) - 20000000ULL, AsTicks(line.time));  // whole seconds, 2 s slack
        EXPECT_GE(AsTicks(after) + 20000000ULL, AsTicks(line.time));
        EXPECT_LE(static_cast<DWORD>(line.tick) - tickBefore, tickAfter - tickBefore);
    }
}

TEST(LogFormat, LineFeedInsideAMessageIsStoredAsCrLf) {
    ChildWorld world;
    ASSERT_EQ(0, world.Run("log_line_feed"));
    const std::string bytes = ReadFileBytes(world.LogPath());
    const size_t firstEnd = bytes.find("\r\n");
    ASSERT_NE(std::string::npos, firstEnd);
    Line line;
    ASSERT_TRUE(Parse(bytes.substr(0, firstEnd), line)) << bytes;
    EXPECT_EQ("two", line.message);
    EXPECT_EQ("lines\r\n", bytes.substr(firstEnd + 2));
}

TEST(LogThreshold, LevelFromTheRegistryDecidesWhatIsWritten) {
    struct Case {
        const char* value;  // null: no LogLevel value at all
        std::set<std::string> expected;
    };
    const std::set<std::string> errorsOnly = {"[ERROR] level=4", "[OTHER] level=9",
                                              "[ERROR] via LogError"};
    const std::vector<Case> cases = {
        {"DEBUG",
         {"[DEBUG] level=1", "[INFO]  level=2", "[WARN]  level=3", "[ERROR] level=4",
          "[OTHER] level=9", "[INFO]  via LogInfo", "[ERROR] via LogError"}},
        {"info",
         {"[INFO]  level=2", "[WARN]  level=3", "[ERROR] level=4", "[OTHER] level=9",
          "[INFO]  via LogInfo", "[ERROR] via LogError"}},
        {"Warn", {"[WARN]  level=3", "[ERROR] level=4", "[OTHER] level=9", "[ERROR] via LogError"}},
        {"ERROR", errorsOnly},
        {"verbose", errorsOnly},
        {"", errorsOnly},
        {nullptr, errorsOnly},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value ? std::string("LogLevel=\"") + c.value + "\"" : "no LogLevel");
        ChildWorld world(c.value);
        ASSERT_EQ(0, world.Run("log_levels"));
        std::set<std::string> seen;
        for (const auto& line : ReadLog(world.LogPath())) seen.insert(line.tag + line.message);
        EXPECT_EQ(c.expected, seen);
    }
}

TEST(LogThreshold, IsReadOncePerProcess) {
    ChildWorld world("INFO");
    ASSERT_EQ(0, world.Run("log_fixed_threshold"));
    std::vector<std::string> seen;
    for (const auto& line : ReadLog(world.LogPath())) seen.push_back(line.tag + line.message);
    EXPECT_EQ((std::vector<std::string>{"[INFO]  first", "[INFO]  second", "[ERROR] third"}), seen);
}

TEST(LogSetup, NullFormatWritesNothing) {
    ChildWorld world;
    ASSERT_EQ(0, world.Run("log_null"));
    EXPECT_TRUE(FileExists(world.root.path() + "\\log"));
    EXPECT_FALSE(FileExists(world.LogPath()));
}

TEST(LogSetup, WithoutInstallDirNothingIsWrittenUntilTheValueAppears) {
    TempFolder root("log");
    MachineKeySandbox hklm("log");
    hklm.SetString("LogLevel", "INFO");
    ASSERT_EQ(0, RunChild("log_no_installdir", {root.path()}, hklm.name()));
    const auto lines = ReadLog(LogPathIn(root.path()));
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ("after", lines[0].message);
}

TEST(LogSetup, CreatesTheLogFolderButNotAMissingInstallationDirectory) {
    TempFolder parent("log");
    MachineKeySandbox hklm("log");
    const std::string missing = parent.path() + "\\not-there";
    hklm.SetString("InstallDir", missing);
    ASSERT_EQ(0, RunChild("log_one", {"lost"}, hklm.name()));
    EXPECT_FALSE(FileExists(missing));
}

TEST(LogRotation, HappensOnlyAboveTenMebibytes) {
    ChildWorld world;
    const std::string log = world.LogPath();
    const std::string bak = log + "bak";
    CreateDirectoryA((world.root.path() + "\\log").c_str(), nullptr);
    ASSERT_TRUE(testchild::WriteFileBytes(log, std::string(kLogRotateBytes, 'f')));
    ASSERT_TRUE(testchild::WriteFileBytes(bak, "old backup\r\n"));

    // Exactly at the limit: appended to, not rotated.
    ASSERT_EQ(0, world.Run("log_one", {"at the limit"}));
    const std::string grown = ReadFileBytes(log);
    ASSERT_GT(grown.size(), kLogRotateBytes);
    const std::string firstEntry = grown.substr(kLogRotateBytes);
    Line line;
    ASSERT_TRUE(Parse(firstEntry.substr(0, firstEntry.size() - 2), line)) << firstEntry;
    EXPECT_EQ("at the limit", line.message);
    EXPECT_EQ("old backup\r\n", ReadFileBytes(bak));

    // Above the limit: the whole file becomes the backup, replacing the old one.
    ASSERT_EQ(0, world.Run("log_one", {"after rotation"}));
    EXPECT_EQ(grown, ReadFileBytes(bak));
    const auto lines = ReadLog(log);
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ("after rotation", lines[0].message);
}

TEST(LogConcurrency, AStuckLogLockPausesWaitingOnceAndIsWaitedForAgainAfter) {
    ChildWorld world;
    // The lock as another process of the same program would hold it.
    HANDLE lock = CreateMutexA(nullptr, TRUE, LogAppendMutexName(world.LogPath()).c_str());
    ASSERT_NE(nullptr, lock);
    const std::string eventName = "GatrelLogAfterPause_" + std::to_string(GetCurrentProcessId());
    HANDLE after = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
    Child child(SelfPath(), "log_lock_pause", {eventName}, world.hklm.name());
    ASSERT_TRUE(child.started());
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(after, 60000));
    // Past the pause the child waits for the lock again: its entry is not
    // written while the lock is held (a wait lasts up to half a second).
    Sleep(200);
    const std::string during = ReadFileBytes(world.LogPath());
    ReleaseMutex(lock);
    EXPECT_EQ(0, child.Wait());
    CloseHandle(lock);
    CloseHandle(after);
    EXPECT_EQ(std::string::npos, during.find("c1")) << during;
    std::vector<std::string> messages;
    int notes = 0;
    for (const auto& line : ReadLog(world.LogPath())) {
        if (line.message.find("Log lock not obtained 3 times in a row") == 0) {
            ++notes;
            EXPECT_EQ("[WARN]  ", line.tag);
        } else {
            messages.push_back(line.message);
        }
    }
    EXPECT_EQ(1, notes) << "the switch is reported once";
    EXPECT_EQ((std::vector<std::string>{"a1", "a2", "a3", "b1", "b2", "c1"}), messages);
}

TEST(LogConcurrency, TwoProcessesWritingAtOnceLeaveOnlyWholeLines) {
    ChildWorld world;
    const int count = 1500;
    const std::string eventName = "GatrelLogGo_" + std::to_string(GetCurrentProcessId());
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
    ASSERT_NE(nullptr, go);
    std::map<unsigned long, int> writerOfPid;
    {
        Child a(SelfPath(), "log_hammer", {"0", std::to_string(count), eventName}, world.hklm.name());
        Child b(SelfPath(), "log_hammer", {"1", std::to_string(count), eventName}, world.hklm.name());
        ASSERT_TRUE(a.started() && b.started());
        writerOfPid[a.pid()] = 0;
        writerOfPid[b.pid()] = 1;
        SetEvent(go);
        EXPECT_EQ(0, a.Wait(120000));
        EXPECT_EQ(0, b.Wait(120000));
    }
    CloseHandle(go);

    std::vector<std::vector<int>> seen(2, std::vector<int>(count, 0));
    size_t total = 0;
    for (const auto& line : ReadLog(world.LogPath())) {
        ++total;
        int w = -1, n = -1, len = -1, used = 0;
        if (sscanf(line.message.c_str(), "w=%d n=%d len=%d %n", &w, &n, &len, &used) != 3 ||
            w < 0 || w > 1 || n < 0 || n >= count) {
            ADD_FAILURE() << "foreign message: " << line.message.substr(0, 80);
            continue;
        }
        EXPECT_EQ(w, writerOfPid[line.pid]);
        if (line.message.substr(used) != std::string(PayloadLength(w, n), PayloadChar(w, n)))
            ADD_FAILURE() << "torn entry of writer " << w << ": " << line.message.substr(0, 80);
        ++seen[w][n];
    }
    EXPECT_EQ(2u * count, total);
    int notOnce = 0;
    for (int w = 0; w < 2; ++w)
        for (int n = 0; n < count; ++n)
            if (seen[w][n] != 1 && ++notOnce <= 5)
                ADD_FAILURE() << "writer " << w << " entry " << n << " seen " << seen[w][n] << " times";
    EXPECT_EQ(0, notOnce);
}

}  // namespace
