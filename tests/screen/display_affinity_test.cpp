// A protected document whose letters lack "A" and "C" is kept out of screen
// capture by the system's display affinity, where the system has it: the
// word processor's watch thread asks for it on the document's top-level
// window once, and sets it back when the letters allow copying or the record
// goes. Under Wine the call fails, and nothing else changes.
#include "tests/screen/screen_world.h"

namespace screen_test {
namespace {

constexpr DWORD kOwner = 0x7A000021;
constexpr DWORD kOtherOwner = 0x7A000022;

class DisplayAffinity : public ScreenWorld {
protected:
    std::vector<std::string> Calls() {
        const std::string all = app->Send("affinity").Str("calls");
        std::vector<std::string> calls;
        for (size_t start = 0; start < all.size();) {
            size_t end = all.find(',', start);
            if (end == std::string::npos) end = all.size();
            calls.push_back(all.substr(start, end - start));
            start = end + 1;
        }
        return calls;
    }
    bool CallsBecome(const std::vector<std::string>& want) {
        return WaitFor([&] { return Calls() == want; }, 10000);
    }
    // Long enough for several passes of the watch thread.
    static void SeveralPasses() { Sleep(3500); }
};

TEST_F(DisplayAffinity, AskedOnceOnTheDocumentsTopLevelWindowAndAFailureChangesNothing) {
    ASSERT_TRUE(StartApp("word11", {"--affinity-watch"})) << app->LastError();
    hosts::Reply full;
    const HWND doc = app->OpenDoc("C:\\ZELFILETEMP\\(ZEL-0021)monitor.doc", &full);
    const std::string frame = Hex(full.Wnd("frame"));
    // Records that want nothing: letters that allow copying, a window of
    // another process.
    Register(app->Pid(), GetDesktopWindow(), "P", kOtherOwner);
    Register(app->Pid(), doc, "CP", kOwner);
    SeveralPasses();
    EXPECT_TRUE(Calls().empty());

    LogTail log("WINWORD");
    iface.SetHookInfo(kOwner, "P");
    ASSERT_TRUE(CallsBecome({frame + ":1:0"})) << "the system's own answer under Wine: failure";
    SeveralPasses();
    EXPECT_EQ(std::vector<std::string>{frame + ":1:0"}, Calls()) << "asked once, not every pass";
    EXPECT_EQ(1, log.CountContaining("SetWindowDisplayAffinity hWnd=" + frame.substr(2) + ", dwAffinity=1, ret=0"));
    // The document and its window are as before.
    EXPECT_EQ(1, app->Info(full.Wnd("frame")).Num("visible"));
    EXPECT_TRUE(app->IsZelDoc(doc).answer);

    iface.SetHookInfo(kOwner, "CP");
    EXPECT_TRUE(CallsBecome({frame + ":1:0", frame + ":0:0"})) << "set back once copying is allowed";
}

TEST_F(DisplayAffinity, SetBackWhenTheRecordGoes) {
    ASSERT_TRUE(StartApp("word11", {"--affinity-watch=ok"})) << app->LastError();
    hosts::Reply full;
    const HWND doc = app->OpenDoc("C:\\ZELFILETEMP\\(ZEL-0022)monitor.doc", &full);
    const std::string frame = Hex(full.Wnd("frame"));
    Register(app->Pid(), doc, "R", kOwner);
    ASSERT_TRUE(CallsBecome({frame + ":1:1"}));
    iface.DelHookInfo(kOwner);
    EXPECT_TRUE(CallsBecome({frame + ":1:1", frame + ":0:1"}));
}

}  // namespace
}  // namespace screen_test
