// Capture programs on the desktop of a protected application: the
// application's screen-tool thread closes their windows and ends them, pass
// after pass, while it runs; nothing closes them where none runs; the
// foreground rules end HyperSnap and, while an office document is protected,
// the script editor, and nothing that merely mentions them; the application's
// own windows are never touched.
#include "tests/screen/screen_world.h"

namespace screen_test {
namespace {

constexpr DWORD kDocOwner = 0x7A000011;

// A capture-tool stand-in on the desktop.
class Tool {
public:
    Tool(const std::string& file, const std::string& args, const Desktop& desktop) {
        // A tool the application closes at once may end before it says it
        // is ready: started is having run.
        program_.Start(ScreenTools() + file, args, desktop);
        if (program_.Process().Pid())
            process_ = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, program_.Process().Pid());
    }
    ~Tool() {
        if (!process_) return;
        TerminateProcess(process_, 0);
        CloseHandle(process_);
    }
    bool Started() const { return process_ != nullptr; }
    bool EndsWithin(DWORD ms) const { return WaitForSingleObject(process_, ms) == WAIT_OBJECT_0; }
    DWORD Pid() { return program_.Process().Pid(); }

private:
    LineProgram program_;
    HANDLE process_ = nullptr;
};

// The sixteen programs the applications close, as their stand-ins' copies
// are named, with the window each shows (companions/screentools/README.md).
struct Listed {
    const char* file;
    const char* cls;
    const char* title;
};
const Listed kListed[] = {
    {"AfxRecorder.exe", "Afx:00400000:8:00010011:00000000:00780739", "(null)"},
    {"TmxPanel.exe", "TMXPanel", "(null)"},
    {"CamRecorder.exe", "RECORDER_CLASS_90AFD59B-2AD9-4983-826A-C995E51A1EE8", "(null)"},
    {"CamEditor.exe", "EDITOR_CLASS_90AFD59B-2AD9-4983-826A-C995E51A1EE8", "(null)"},
    {"Captivate.exe", "TMainForm.UnicodeClass", "Macromedia Captivate"},
    {"WxCapture.exe", "WXMDIFrameClassNR", "(null)"},
    {"SnagIt32.exe", "SnagIt5UI", "(null)"},
    {"AfxCapture.exe", "Afx:00400000:8:00010003:00000000:01470561", "(null)"},
    {"ScreenExpert.exe", "TMainForm", "\xC6\xC1\xC4\xBB\xC2\xBC\xCF\xF1\xD7\xA8\xBC\xD2 V7.5"},
    {"SnippingTool.exe", "Microsoft-Windows-Tablet-SnipperToolbar", "(null)"},
    {"AtlCapture.exe", "ATL:004C2570", "(null)"},
    {"ScreenCam.exe", "ScreenCamMainWndv3", "(null)"},
    {"CatchPictures.exe", "TCatchPictures", "(null)"},
    {"HprSnap6.exe", "(null)", "HyperSnap 6"},
    {"VarnekSnap.exe", "(null)", "\xD7\xA5\xCD\xBC\xB3\xCC\xD0\xF2 CopyRight By Varnek"},
    {"DesktopCamera.exe", "TMainFrm", "\xD7\xC0\xC3\xE6\xC9\xE3\xD3\xB0\xBB\xFA"},
};

// Long enough for ten passes of the screen-tool thread.
constexpr DWORD kSeveralPassesMs = 2000;

class ScreenTools : public ScreenWorld {};

TEST_F(ScreenTools, ListedProgramsAreClosedWhileAProtectedApplicationRunsAndLeftAloneOtherwise) {
    // The library in an ordinary program only: nothing closes them.
    hosts::HostClient plain;
    plain.SetDesktop(desktop.StartupName());
    ASSERT_TRUE(plain.Start("plain") && plain.LoadGatrel()) << plain.LastError();
    std::vector<std::unique_ptr<Tool>> tools;
    for (const Listed& l : kListed) {
        tools.push_back(std::make_unique<Tool>(l.file, "", desktop));
        ASSERT_TRUE(tools.back()->Started()) << l.file;
    }
    Sleep(kSeveralPassesMs);
    for (size_t i = 0; i < tools.size(); ++i) EXPECT_FALSE(tools[i]->EndsWithin(0)) << kListed[i].file;

    LogTail log("EXCEL");
    ASSERT_TRUE(StartApp("excel11")) << app->LastError();
    for (size_t i = 0; i < tools.size(); ++i) {
        EXPECT_TRUE(tools[i]->EndsWithin(15000)) << kListed[i].file << " still runs";
        const std::string line = "Close Screen Application, Pid=" + std::to_string(tools[i]->Pid()) +
                                 ",ClassName=" + kListed[i].cls + ",WndName=" + kListed[i].title;
        EXPECT_TRUE(WaitFor([&] { return log.CountEndingWith(line) >= 1; }, 5000)) << line;
    }
}

TEST_F(ScreenTools, ASecondWindowOfAProgramIsClosedOnALaterPass) {
    ASSERT_TRUE(StartApp("word11")) << app->LastError();
    LogTail log("WINWORD");
    Tool first("SnagIt32.exe", "", desktop), second("SnagIt32.exe", "", desktop);
    ASSERT_TRUE(first.Started() && second.Started());
    EXPECT_TRUE(first.EndsWithin(15000));
    EXPECT_TRUE(second.EndsWithin(15000));
    for (DWORD pid : {first.Pid(), second.Pid()}) {
        const std::string line = "Close Screen Application, Pid=" + std::to_string(pid) + ",ClassName=SnagIt5UI";
        EXPECT_TRUE(WaitFor([&] { return log.CountContaining(line) >= 1; }, 5000)) << line;
    }
}

TEST_F(ScreenTools, ForegroundRulesEndHyperSnapAndTheScriptEditorAndNothingThatMentionsThem) {
    ASSERT_TRUE(StartApp("word11")) << app->LastError();
    const HWND doc = app->OpenDoc("C:\\ZELFILETEMP\\(ZEL-0011)tools.doc");
    ASSERT_NE(nullptr, doc);

    Tool mention("ScreenToolStandin.exe", "--class=GatrelNotes \"--title=Notes on HyperSnap 6 shortcuts\" --foreground",
                 desktop);
    ASSERT_TRUE(mention.Started());
    EXPECT_FALSE(mention.EndsWithin(kSeveralPassesMs)) << "a window that only mentions the program";
    Tool hyperSnap("ScreenToolStandin.exe", "--class=GatrelSnapFrame \"--title=HyperSnap 6 - [Snap1]\" --foreground",
                   desktop);
    ASSERT_TRUE(hyperSnap.Started());
    EXPECT_TRUE(hyperSnap.EndsWithin(15000)) << "HyperSnap in front";

    // The script editor runs as long as no office document here is protected.
    Tool editor("mse7.exe", "", desktop);
    ASSERT_TRUE(editor.Started());
    Tool editorTitle("ScreenToolStandin.exe",
                     "--class=GatrelEditorFrame \"--title=Module1 - Microsoft Script Editor [break]\" --foreground",
                     desktop);
    ASSERT_TRUE(editorTitle.Started());
    EXPECT_FALSE(editor.EndsWithin(kSeveralPassesMs));
    EXPECT_FALSE(editorTitle.EndsWithin(0));
    Register(app->Pid(), doc, "P", kDocOwner);
    EXPECT_TRUE(editor.EndsWithin(15000)) << "mse7.exe while the document is protected";
    EXPECT_TRUE(editorTitle.EndsWithin(15000)) << "a script editor window in front";
}

TEST_F(ScreenTools, TheApplicationsOwnWindowsAreNeverClosed) {
    ASSERT_TRUE(StartApp("word11")) << app->LastError();
    const HWND own = app->CreateWindowOf("SnagIt5UI");
    ASSERT_NE(nullptr, own);
    Tool tool("SnagIt32.exe", "", desktop);
    ASSERT_TRUE(tool.Started());
    EXPECT_TRUE(tool.EndsWithin(15000)) << "the program's window of the same class is closed";
    Sleep(kSeveralPassesMs);
    EXPECT_TRUE(app->Running());
    EXPECT_EQ(1, app->Info(own).Num("exists"));
}

}  // namespace
}  // namespace screen_test
