// Screen copies by a capture program on the desktop of a protected word
// processor: the program gets the library through the word processor's own
// desktop hooks, as any program on the desktop does, and then every way it
// has of copying pixels out of the document's window, the screen or the
// display is refused while protected documents are registered, with the
// reason logged; its own window and memory stay its own.
#include "tests/screen/screen_world.h"

namespace screen_test {
namespace {

constexpr DWORD kDocOwner = 0x7A000001;      // the controller process of the document's record
constexpr DWORD kCaptureOwner = 0x7A000002;  // of a record for the capture program itself

class ScreenCopy : public ScreenWorld {
protected:
    // The word processor with a protected document in front, and the capture
    // program beside it.
    void OpenProtectedDocument(bool windowed = true) {
        ASSERT_TRUE(StartApp("word11")) << app->LastError();
        hosts::Reply full;
        doc = app->OpenDoc("C:\\ZELFILETEMP\\(ZEL-0001)plan.doc", &full);
        ASSERT_NE(nullptr, doc);
        frame = full.Wnd("frame");
        Register(app->Pid(), windowed ? doc : nullptr, "P", kDocOwner);
    }
    std::string Target() const { return " wnd=" + Hex(frame); }

    HWND doc = nullptr, frame = nullptr;
};

struct Way {
    const char* args;
    const char* api;
};

TEST_F(ScreenCopy, EveryWayOutOfTheProtectedWindowIsRefusedWithItsReason) {
    OpenProtectedDocument();
    ASSERT_TRUE(StartCapture()) << "the word processor's desktop hooks bring the library into the program";
    LogTail log("ScreenCapture");
    const Way ways[] = {
        {"from=window via=bitblt", "BitBlt"},        {"from=windowdc via=bitblt", "BitBlt"},
        {"from=screen via=bitblt", "BitBlt"},        {"from=window via=stretchblt", "StretchBlt"},
        {"from=window via=maskblt", "MaskBlt"},      {"from=window via=plgblt", "PlgBlt"},
        {"from=window via=transparentblt", "GdiTransparentBlt"},
        {"from=window via=alphablend", "GdiAlphaBlend"},
        {"from=screen via=getpixel", "GetPixel"},    {"from=window via=printwindow", "PrintWindow"},
    };
    for (const Way& w : ways) {
        const std::string reason = std::string("Cancel Call ") + w.api + ". SrcPID Not Equal DestPID.";
        const int before = log.CountEndingWith(reason);
        const Copy c = CopyOut(std::string(w.args) + Target());
        EXPECT_EQ(0, c.pixels) << w.args << ": " << c.line;
        EXPECT_EQ(ERROR_ACCESS_DENIED, c.err) << w.args << ": " << c.line;
        if (std::string(w.api) != "GetPixel") {
            EXPECT_EQ(0, c.ok) << w.args;
        }
        EXPECT_GT(log.CountEndingWith(reason), before) << w.args;
    }
    // Its own memory stays its own.
    const Copy memory = CopyOut("from=memory via=bitblt");
    EXPECT_EQ(1, memory.ok) << memory.line;
    EXPECT_GT(memory.pixels, 0) << memory.line;

    // With nothing protected on the desktop any more, nothing is refused.
    ClearStore();
    const Copy screen = CopyOut("from=screen via=bitblt" + Target());
    EXPECT_EQ(1, screen.ok) << screen.line;
    EXPECT_GT(screen.pixels, 0) << screen.line;
    EXPECT_EQ(1, CopyOut("from=window via=bitblt" + Target()).ok);
    EXPECT_EQ(1, CopyOut("from=own via=bitblt").ok);
}

TEST_F(ScreenCopy, OwnWindowCopiesNeedARecordOfTheProgramsOwn) {
    OpenProtectedDocument();
    ASSERT_TRUE(StartCapture());
    LogTail log("ScreenCapture");
    const Copy refused = CopyOut("from=own via=bitblt");
    EXPECT_EQ(0, refused.ok) << refused.line;
    EXPECT_EQ(0, refused.pixels) << refused.line;
    EXPECT_EQ(1, log.CountEndingWith("Cancel Call BitBlt. Not OwnProcess."));

    Register(capture->Pid(), capture->Wnd(), "A", kCaptureOwner);
    const Copy allowed = CopyOut("from=own via=stretchblt");
    EXPECT_EQ(1, allowed.ok) << allowed.line;
    EXPECT_GT(allowed.pixels, 0) << allowed.line;

    iface.DelHookInfo(kCaptureOwner);
    EXPECT_EQ(0, CopyOut("from=own via=bitblt").ok) << "the record is gone";
}

TEST_F(ScreenCopy, TheDisplayIsRefusedWhileProtectedWindowsExist) {
    OpenProtectedDocument(/*windowed=*/false);
    ASSERT_TRUE(StartCapture());
    const Copy unwindowed = CopyOut("from=display via=bitblt" + Target());
    EXPECT_EQ(1, unwindowed.ok) << "no protected window registered yet: " << unwindowed.line;
    EXPECT_GT(unwindowed.pixels, 0) << unwindowed.line;

    Register(app->Pid(), doc, "P", kDocOwner);
    LogTail log("ScreenCapture");
    // Every display context the program makes, and every operation that
    // reads the source, the capture flag included.
    const char* refusedWays[] = {
        "from=display via=bitblt",
        "from=displayw via=bitblt",
        "from=displaydevice via=bitblt",
        "from=display via=bitblt rop=0x40CC0020",  // SRCCOPY | CAPTUREBLT
        "from=display via=bitblt rop=0x00330008",  // NOTSRCCOPY
        "from=display via=stretchblt",
    };
    for (const char* way : refusedWays) {
        const Copy c = CopyOut(std::string(way) + Target());
        EXPECT_EQ(0, c.ok) << way << ": " << c.line;
        EXPECT_EQ(0, c.pixels) << way << ": " << c.line;
    }
    EXPECT_EQ(5, log.CountEndingWith("Cancel Call BitBlt. Is DisplayDC Handle"));
    EXPECT_EQ(1, log.CountEndingWith("Cancel Call StretchBlt. Is DisplayDC Handle"));
    // An operation that never reads the source copies nothing, and passes.
    EXPECT_EQ(1, CopyOut("from=display via=bitblt rop=0x00F00021" + Target()).ok);  // PATCOPY
}

TEST_F(ScreenCopy, ExceptedProgramsCopyWindowsAndOnlyNotesCopiesTheDisplay) {
    OpenProtectedDocument();
    ASSERT_TRUE(StartCapture("nlnotes.exe"));
    EXPECT_EQ(1, CopyOut("from=window via=bitblt" + Target()).ok);
    const Copy notesDisplay = CopyOut("from=display via=bitblt" + Target());
    EXPECT_EQ(1, notesDisplay.ok) << notesDisplay.line;
    EXPECT_GT(notesDisplay.pixels, 0) << notesDisplay.line;

    ASSERT_TRUE(StartCapture("rapagent.exe"));
    EXPECT_EQ(1, CopyOut("from=window via=bitblt" + Target()).ok);
    EXPECT_EQ(1, CopyOut("from=own via=bitblt").ok);
    const Copy agentDisplay = CopyOut("from=display via=bitblt" + Target());
    EXPECT_EQ(0, agentDisplay.ok) << agentDisplay.line;
    EXPECT_EQ(0, agentDisplay.pixels) << agentDisplay.line;
}

TEST_F(ScreenCopy, ADragImageCopiesUncheckedButBeginningADragOpensNothing) {
    OpenProtectedDocument();
    ASSERT_TRUE(StartCapture());
    LogTail log("ScreenCapture");
    // The image list saves and restores what lies under its drag image.
    EXPECT_EQ("dragshow=1", capture->Ask("dragshow", "dragshow="));
    EXPECT_EQ(0, log.CountContaining("Cancel Call")) << "the image list's own copies pass";
    // A capture program that begins a drag itself gains nothing by it.
    const Copy c = CopyOut("from=screen via=bitblt drag=1" + Target());
    EXPECT_EQ(0, c.ok) << c.line;
    EXPECT_EQ(0, c.pixels) << c.line;
}

}  // namespace
}  // namespace screen_test
