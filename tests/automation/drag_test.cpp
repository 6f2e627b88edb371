// OLE drag and drop out of a document of the word processor host, between its
// real windows: a real data object, the application's drop source, drop
// targets registered on both documents' views, the press seen by the
// library's message hook, and the system's drag loop driving it all.
#include <gtest/gtest.h>

#include "tests/automation/automation_world.h"
#include "tests/wndctl/window_host.h"

namespace {

using namespace autotest;
using wndtest::Hex;

struct Drag {
    std::string ret;
    long long calls = 0;  // QueryContinueDrag calls that reached the application's source
    long long sourceRefs = 0, dataRefs = 0;
    std::vector<std::string> events;
};

// Two documents side by side: the protected one (view) and another (otherView).
class DragWorld {
public:
    bool Start(bool library = true) {
        if (library) {
            if (!w.Start("word11", "C:\\ZELFILETEMP\\(ZEL-0006)letter.doc") || !w.HookMessages()) return false;
        } else {
            if (!w.host.StartBare("word11")) return false;
            hosts::Reply full;
            w.doc = w.host.OpenDoc("C:\\docs\\first.doc", &full);
            w.view = full.Wnd("view");
            w.frame = full.Wnd("frame");
        }
        hosts::Reply full;
        otherDoc = w.host.OpenDoc("C:\\docs\\other.doc", &full);
        otherView = full.Wnd("view");
        otherFrame = full.Wnd("frame");
        // Apart, so that the pointer finds each view where it is put.
        MoveWindow(w.frame, 0, 0, 380, 300, TRUE);
        MoveWindow(otherFrame, 420, 0, 380, 300, TRUE);
        for (HWND v : {w.view, otherView})
            if (w.host.Send("droptarget", {{"wnd", Hex(v)}}).Str("hr") != kOk) return false;
        return w.host.Activate(w.doc);
    }

    // Presses the left button in the document's view (unless press is
    // false), drags to the middle of dropAt and lets go.
    Drag Run(HWND dropAt, hosts::Params extra = {}, bool press = true) {
        w.host.Activate(w.doc);
        w.host.Events();
        if (press) Mouse("down");
        extra.push_back({"at", Hex(dropAt)});
        const hosts::Reply r = w.host.Send("drag", extra);
        if (press) Mouse("up");
        Drag d;
        EXPECT_TRUE(r.ok) << r.error;
        d.ret = r.Str("ret");
        d.calls = r.Num("calls");
        d.sourceRefs = r.Num("sourcerefs");
        d.dataRefs = r.Num("datarefs");
        d.events = w.host.Events();
        return d;
    }
    // Another program's window below the documents, with a drop target.
    bool StartOtherProgram() {
        if (!other.Start("plain")) return false;
        hosts::Reply full;
        other.OpenDoc("C:\\docs\\elsewhere.txt", &full);
        otherProgramView = full.Wnd("view");
        MoveWindow(full.Wnd("frame"), 0, 340, 380, 240, TRUE);
        return other.Send("droptarget", {{"wnd", Hex(otherProgramView)}}).Str("hr") == kOk;
    }
    bool OtherProgramGotDrop() { return wndtest::HasEvent(other.Events(), "drop:" + Hex(otherProgramView)); }

    bool DroppedOn(const Drag& d, HWND view) const { return wndtest::HasEvent(d.events, "drop:" + Hex(view)); }
    bool DroppedAnywhere(const Drag& d) const { return wndtest::HasEvent(d.events, "drop:"); }

    wndtest::WindowHost w;
    HWND otherDoc = nullptr, otherView = nullptr, otherFrame = nullptr;
    hosts::HostClient other;
    HWND otherProgramView = nullptr;

private:
    void Mouse(const char* action) {
        w.host.Send("mouse", {{"action", action}, {"button", "left"}, {"wnd", Hex(w.view)}, {"mode", "post"}});
    }
};

TEST(DragGuard, ReadOnlyDocumentIsNotDraggedAndDragsNeedATrackedPress) {
    DragWorld world;
    ASSERT_TRUE(world.Start());
    world.w.Protect("R", 0x7B01);
    Drag d = world.Run(world.w.view);
    EXPECT_EQ(kCancel, d.ret);
    EXPECT_EQ(0, d.calls) << "the application's drop source was asked";
    EXPECT_FALSE(world.DroppedAnywhere(d));

    // A drag the message hook saw no press for, in a document application.
    world.w.Protect("A", 0x7B01);
    d = world.Run(world.w.view, {}, false);
    EXPECT_EQ(kCancel, d.ret);
    EXPECT_EQ(0, d.calls);
}

TEST(DragGuard, WithinDocumentLettersADropStaysInsideTheDocument) {
    DragWorld world;
    ASSERT_TRUE(world.Start());
    world.w.Protect("W", 0x7B02);

    Drag d = world.Run(world.w.view);
    EXPECT_EQ(kDrop, d.ret);
    EXPECT_TRUE(world.DroppedOn(d, world.w.view));

    d = world.Run(world.otherView);
    EXPECT_EQ(kCancel, d.ret) << "dropped over another document";
    EXPECT_FALSE(world.DroppedAnywhere(d));

    ASSERT_TRUE(world.StartOtherProgram());
    world.other.Events();
    d = world.Run(world.otherProgramView);
    EXPECT_EQ(kCancel, d.ret) << "dropped into another program";
    EXPECT_FALSE(world.OtherProgramGotDrop());

    // The user switches to the other document during the drag.
    d = world.Run(world.w.view, {{"activate", Hex(world.otherDoc)}});
    EXPECT_EQ(kCancel, d.ret);
    EXPECT_FALSE(world.DroppedAnywhere(d));

    // Alt+Tab during the drag ends it at the next step.
    d = world.Run(world.w.view, {{"alttab", "1"}, {"steps", "3"}});
    EXPECT_EQ(kCancel, d.ret);
    EXPECT_EQ(1, d.calls);
    EXPECT_FALSE(world.DroppedAnywhere(d));

    // An Alt+Tab made before a drag does not end the next one.
    world.w.Key(VK_TAB, "alt");
    d = world.Run(world.w.view);
    EXPECT_EQ(kDrop, d.ret) << "an earlier Alt+Tab cancelled the drag";
    EXPECT_TRUE(world.DroppedOn(d, world.w.view));
}

TEST(DragGuard, UnrestrictedDragsPassWithTheApplicationsAnswersAndReferences) {
    // The same drags without the library.
    DragWorld bare;
    ASSERT_TRUE(bare.Start(false));
    const Drag plain = bare.Run(bare.otherView, {{"steps", "2"}}, false);
    ASSERT_EQ(kDrop, plain.ret);

    DragWorld world;
    ASSERT_TRUE(world.Start());
    world.w.Protect("AW", 0x7B03);
    Drag d = world.Run(world.otherView, {{"steps", "2"}});
    EXPECT_EQ(kDrop, d.ret);
    EXPECT_EQ(plain.calls, d.calls);
    EXPECT_TRUE(world.DroppedOn(d, world.otherView));
    EXPECT_EQ(plain.sourceRefs, d.sourceRefs);
    EXPECT_EQ(plain.dataRefs, d.dataRefs);

    // Into another program, through its drop target.
    ASSERT_TRUE(world.StartOtherProgram());
    world.other.Events();
    d = world.Run(world.otherProgramView, {{"steps", "2"}});
    EXPECT_EQ(kDrop, d.ret);
    EXPECT_TRUE(world.OtherProgramGotDrop());

    world.w.Unprotect();
    d = world.Run(world.otherView, {{"steps", "2"}});
    EXPECT_EQ(kDrop, d.ret);
    EXPECT_TRUE(world.DroppedOn(d, world.otherView));
    EXPECT_EQ(plain.sourceRefs, d.sourceRefs);
    EXPECT_EQ(plain.dataRefs, d.dataRefs);

    // An ordinary program drags without any press the library saw.
    hosts::HostClient plainApp;
    ASSERT_TRUE(plainApp.Start("plain"));
    ASSERT_TRUE(plainApp.LoadGatrel());
    hosts::Reply opened;
    plainApp.OpenDoc("C:\\docs\\list.txt", &opened);
    const HWND plainView = opened.Wnd("view");
    ASSERT_EQ(kOk, plainApp.Send("droptarget", {{"wnd", Hex(plainView)}}).Str("hr"));
    const hosts::Reply r = plainApp.Send("drag", {{"at", Hex(plainView)}, {"steps", "2"}});
    EXPECT_EQ(kDrop, r.Str("ret"));
    EXPECT_EQ(plain.calls, r.Num("calls"));
    EXPECT_TRUE(wndtest::HasEvent(plainApp.Events(), "drop:" + Hex(plainView)));

    // Refused drags leave the references as they were too.
    world.w.Protect("W", 0x7B03);
    d = world.Run(world.otherView);
    EXPECT_EQ(kCancel, d.ret);
    EXPECT_EQ(plain.sourceRefs, d.sourceRefs);
    EXPECT_EQ(plain.dataRefs, d.dataRefs);
}

}  // namespace
