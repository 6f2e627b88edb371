// Refusal messages in the processes that show them: test hosts load
// bin/Gatrel.dll and run the message threads' procedures; the recording
// ZELShowMsgBox.dll stand-in beside the library writes down every box it was
// asked for (no window: ZELMSGBOX_MODE=none).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "host_client.h"
#include "tests/support/test_child.h"

namespace {

using hosts::HostClient;
using hosts::Reply;
using testchild::ReadFileBytes;
using testchild::TempFolder;

// The refusal messages, as the host's refusal command names them.
constexpr const char* kVirtualPrinter = "virtual";
constexpr const char* kSaveAs = "saveas";
constexpr const char* kCantPrint = "cantprint";
constexpr const char* kPrintLimit = "limit";

std::string WinPathOfEnv(const char* name) {
    const char* v = getenv(name);
    return v ? HostClient::WinPath(v) : std::string();
}

// The English text of a key as the test world installed it.
std::string Installed(const char* key) {
    char buf[260] = {};
    GetPrivateProfileStringA("String", key, "", buf, sizeof buf,
                             (WinPathOfEnv("GATREL_ROOT") + "\\Language\\Multi_eng.ini").c_str());
    return buf;
}

std::string Hex8(HWND w) {
    char buf[16];
    snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(w)));
    return buf;
}

struct Box {
    std::string owner, flags, caption, text;
};

std::vector<std::string> Split(const std::string& all, const std::string& sep) {
    std::vector<std::string> parts;
    size_t at = 0;
    for (size_t end; (end = all.find(sep, at)) != std::string::npos; at = end + sep.size())
        parts.push_back(all.substr(at, end - at));
    if (at < all.size()) parts.push_back(all.substr(at));
    return parts;
}

// A field of a record line ("name=value" between tabs).
std::string Field(const std::string& line, const std::string& name) {
    for (const auto& f : Split(line, "\t"))
        if (f.compare(0, name.size() + 1, name + "=") == 0) return f.substr(name.size() + 1);
    return {};
}

// A host with the library loaded, whose boxes are recorded in a file of its own.
class MessageHost {
public:
    MessageHost() : folder_("messages"), record_(folder_.path() + "\\boxes.txt") {}

    bool Start(const std::string& variant, const std::string& gatrelPath = "") {
        return host_.Start(variant, {}, {{"ZELMSGBOX_RECORD", record_}, {"ZELMSGBOX_MODE", "none"}}) &&
               host_.LoadGatrel(gatrelPath);
    }

    // Runs a message procedure on the host's UI thread and waits for its end.
    // The tick count of the request lies between before and after.
    struct Request {
        bool ok = false;
        DWORD before = 0, after = 0;
    };
    Request Show(const char* kind, HWND owner) {
        Request r;
        r.before = GetTickCount();
        const Reply reply = host_.Send("refusal", {{"kind", kind}, {"owner", Hex8(owner)}});
        r.after = GetTickCount();
        r.ok = reply.ok && reply.Num("ret") == 0;
        EXPECT_TRUE(r.ok) << kind << ": " << reply.error;
        return r;
    }

    // Boxes this host asked for since the last call.
    std::vector<Box> NewBoxes() {
        std::string all = ReadFileBytes(record_);
        all.resize(all.rfind("\r\n") == std::string::npos ? 0 : all.rfind("\r\n") + 2);
        std::vector<Box> boxes;
        const std::string pid = std::to_string(host_.Pid());
        for (const auto& line : Split(all.substr(std::min(seen_, all.size())), "\r\n"))
            if (Field(line, "pid") == pid)
                boxes.push_back({Field(line, "owner"), Field(line, "flags"), Field(line, "caption"),
                                 Field(line, "text")});
        seen_ = std::max(seen_, all.size());
        return boxes;
    }

    // A hidden window of the host to own the boxes.
    HWND OwnerWindow() {
        return host_.Send("create", {{"class", "HostWindow"}, {"visible", "0"}}).Wnd("wnd");
    }

    HostClient& host() { return host_; }

private:
    TempFolder folder_;
    std::string record_;
    size_t seen_ = 0;
    HostClient host_;  // ends before the folder goes
};

std::vector<std::string> TextsOf(const std::vector<Box>& boxes) {
    std::vector<std::string> texts;
    for (const auto& b : boxes) texts.push_back(b.text);
    return texts;
}

constexpr DWORD kQuietMs = 1000;
constexpr DWORD kMargin = 100;  // beyond the tick count's granularity

// A new request is told apart from the previous one only when the two ticks
// are surely on one side of the second.
bool SurelyWithin(const MessageHost::Request& first, const MessageHost::Request& second) {
    return second.after - first.before + kMargin < kQuietMs;
}
bool SurelyBeyond(const MessageHost::Request& first, const MessageHost::Request& second) {
    return second.before - first.after > kQuietMs + kMargin;
}

// Requests of one message every 600 ms: the first is shown, the others not,
// since every request, shown or not, starts the second again (the third
// comes more than a second after the first shown one).
TEST(RefusalMessages, EveryRequestRestartsTheQuietSecond) {
    MessageHost app;
    ASSERT_TRUE(app.Start("plain")) << app.host().LastError();
    HWND owner = app.OwnerWindow();
    ASSERT_NE(nullptr, owner);
    const std::string text = Installed("D_DCTRL_CANTPRINT_ERROR");
    for (int attempt = 0; attempt < 5; ++attempt) {
        Sleep(kQuietMs + 2 * kMargin);
        app.NewBoxes();
        const auto r1 = app.Show(kCantPrint, owner);
        Sleep(600);
        const auto r2 = app.Show(kCantPrint, owner);
        Sleep(600);
        const auto r3 = app.Show(kCantPrint, owner);
        if (!SurelyWithin(r1, r2) || !SurelyWithin(r2, r3) || !SurelyBeyond(r1, r3)) continue;
        const auto boxes = app.NewBoxes();
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(text, boxes[0].text);
        EXPECT_EQ(Installed("ZEL_PRODUCT_NAME"), boxes[0].caption);
        EXPECT_EQ(Hex8(owner), boxes[0].owner);
        EXPECT_EQ("0x00000000", boxes[0].flags);
        return;
    }
    GTEST_SKIP() << "the requests never fell on both sides of the second in five attempts";
}

// The virtual-printer and the save-as message share one count; the can't-print
// and print-limit messages have one each. Later, a virtual-printer request on
// its own is shown again.
TEST(RefusalMessages, VirtualPrinterAndSaveAsShareTheirSecond) {
    MessageHost app;
    ASSERT_TRUE(app.Start("plain")) << app.host().LastError();
    HWND owner = app.OwnerWindow();
    for (int attempt = 0; attempt < 5; ++attempt) {
        Sleep(kQuietMs + 2 * kMargin);
        app.NewBoxes();
        const auto saveAs = app.Show(kSaveAs, owner);
        const auto virtualPrinter = app.Show(kVirtualPrinter, owner);
        app.Show(kCantPrint, owner);
        app.Show(kPrintLimit, owner);
        if (!SurelyWithin(saveAs, virtualPrinter)) continue;
        EXPECT_EQ((std::vector<std::string>{Installed("D_DCTRL_SAVEAS_ERROR"),
                                            Installed("D_DCTRL_CANTPRINT_ERROR"),
                                            Installed("D_DCTRL_CANTPRINT_TIMES_LIMIT")}),
                  TextsOf(app.NewBoxes()));
        Sleep(kQuietMs + 2 * kMargin);
        app.Show(kVirtualPrinter, owner);
        EXPECT_EQ(std::vector<std::string>{Installed("D_DCTRL_VIRTUAL_ERROR")},
                  TextsOf(app.NewBoxes()));
        return;
    }
    GTEST_SKIP() << "two requests in a row never fell within one second in five attempts";
}

// The presentation program shows its refusals without an owner, system-modal
// and in front; the word processor gives the box its document window.
TEST(RefusalMessages, PresentationProgramShowsThemUnownedAndSystemModal) {
    struct Case {
        const char* variant;
        bool unowned;
    } cases[] = {{"ppt11", true}, {"ppt12", true}, {"word11", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.variant);
        MessageHost app;
        ASSERT_TRUE(app.Start(c.variant)) << app.host().LastError();
        HWND owner = app.OwnerWindow();
        ASSERT_NE(nullptr, owner);
        app.Show(kSaveAs, owner);
        const auto boxes = app.NewBoxes();
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(Installed("D_DCTRL_SAVEAS_ERROR"), boxes[0].text);
        EXPECT_EQ(c.unowned ? "0x00000000" : Hex8(owner), boxes[0].owner);
        EXPECT_EQ(c.unowned ? "0x00011000" : "0x00000000", boxes[0].flags);
    }
}

// Gatrel.dll alone in a folder, without the message-box library: it loads, and
// a refusal message returns at once without a box; the miss is logged once.
TEST(RefusalMessages, MissingMessageBoxLibraryNeitherStopsNorHangsTheCaller) {
    TempFolder alone("gatrel_alone");
    const std::string dll = alone.path() + "\\Gatrel.dll";
    // Process ids come round again: only what this run adds to the log counts.
    const std::string logPath = WinPathOfEnv("GATREL_ROOT") + "\\log\\PLAINAPP.log";
    const size_t logBefore = ReadFileBytes(logPath).size();
    ASSERT_TRUE(CopyFileA((WinPathOfEnv("GATREL_BIN") + "\\Gatrel.dll").c_str(), dll.c_str(), FALSE));
    MessageHost app;
    ASSERT_TRUE(app.Start("plain", dll)) << app.host().LastError();
    HWND owner = app.OwnerWindow();
    app.Show(kSaveAs, owner);
    app.Show(kCantPrint, owner);
    EXPECT_TRUE(app.NewBoxes().empty());
    EXPECT_TRUE(app.host().Send("ping").ok);
    const std::string all = ReadFileBytes(logPath);
    const std::string log = all.substr(std::min(logBefore, all.size()));
    const std::string pidTag = "[PID: " + std::to_string(app.host().Pid()) + "]";
    int misses = 0;
    for (const auto& line : Split(log, "\r\n"))
        if (line.find(pidTag) != std::string::npos &&
            line.find("ZELShowMsgBox.dll not usable") != std::string::npos)
            ++misses;
    EXPECT_EQ(1, misses);
    EXPECT_TRUE(app.host().Quit());
}

}  // namespace
