// The KORB client: its document is known by the client's main window; its
// second document window is read-only; a KORB record outside the word
// processor ends its owner.
#include "store_fixture.h"

namespace {

using hosts::DocAnswer;
using hosts::HostClient;
using hosts::Reply;
using idtest::H;
using idtest::StartWithLibrary;

constexpr const char* kKorbClass = "KORBClientFrame";

class Korb : public idtest::StoreTest {};

TEST_F(Korb, SecondDocumentWindowIsReadOnly) {
    store.SetKORBClassName(kKorbClass);
    // The document's application process is a word processor: nobody is ended.
    HostClient word;
    ASSERT_TRUE(word.Start("word11")) << word.LastError();
    HostClient korb;
    ASSERT_TRUE(StartWithLibrary(korb, "korb"));
    EXPECT_EQ(6, korb.Send("doc").Num("type"));
    Reply first;
    HWND doc1 = korb.OpenDoc("C:\\k\\one.doc", &first);
    HWND frame = first.Wnd("frame");
    const DWORD owner = NextOwner();
    Add(word.Pid(), frame, "CP", 6, "C:\\k\\(ZEL-9)one.doc", owner);

    EXPECT_EQ(frame, korb.FindDoc(doc1));
    DocAnswer q = korb.IsZelDoc(doc1);
    EXPECT_TRUE(q.answer);
    EXPECT_EQ("CP", q.perm);
    EXPECT_EQ(H(frame), q.rec.hDocWnd);
    EXPECT_EQ(idtest::Hex(doc1), korb.Context().Str("mdiclient"));

    HWND doc2 = korb.OpenDoc("C:\\k\\two.doc");
    ASSERT_NE(nullptr, doc2);
    q = korb.IsZelDoc(doc2);
    EXPECT_TRUE(q.answer);
    EXPECT_EQ("R", q.perm);
    EXPECT_TRUE(korb.IsLimitedZelDoc(doc2).answer);
    // The recorded window stays the first one while it is visible.
    EXPECT_EQ(idtest::Hex(doc1), korb.Context().Str("mdiclient"));

    q = korb.IsZelDoc(doc1);
    EXPECT_EQ("CP", q.perm);
    // The letters in the store are not changed, only the caller's copy.
    _ZEL_HOOK_INFO_ stored{};
    ASSERT_GE(store.GetHookInfoByWnd(frame, &stored), 0);
    EXPECT_STREQ("CP", stored.szPermission);
    EXPECT_TRUE(word.Running());
}

// The client is known only by its class name: without one, the KORB client's
// search finds no document window, as the word processor's skips the client.
TEST_F(Korb, WithoutAClassNameNoClientWindowIsTakenForTheDocument) {
    store.SetKORBClassName(kKorbClass);
    HostClient word;
    ASSERT_TRUE(word.Start("word11")) << word.LastError();
    HostClient korb;
    ASSERT_TRUE(StartWithLibrary(korb, "korb"));
    Reply first;
    HWND doc1 = korb.OpenDoc("C:\\k\\one.doc", &first);
    Add(word.Pid(), first.Wnd("frame"), "CP", 6, "C:\\k\\(ZEL-9)one.doc", NextOwner());
    EXPECT_EQ("CP", korb.IsZelDoc(doc1).perm);
    store.SetKORBClassName("");
    EXPECT_EQ(nullptr, korb.FindDoc(doc1));
    EXPECT_FALSE(korb.IsZelDoc(doc1).answer) << "the frame is not taken for the document";
    EXPECT_TRUE(word.Running());
}

TEST_F(Korb, RecordedWindowMovesOnWhenItIsHidden) {
    store.SetKORBClassName(kKorbClass);
    HostClient korb;
    ASSERT_TRUE(StartWithLibrary(korb, "korb"));
    auto update = [&](HWND front) {
        return korb.Send("korbupdate", {{"front", idtest::Hex(front)}}).Str("mdiclient");
    };
    HWND doc1 = korb.OpenDoc("C:\\k\\one.doc");
    EXPECT_EQ(idtest::Hex(doc1), update(doc1));
    HWND doc2 = korb.OpenDoc("C:\\k\\two.doc");
    EXPECT_EQ(idtest::Hex(doc1), update(doc2));
    ASSERT_TRUE(korb.Show(doc1, SW_HIDE));
    EXPECT_EQ(idtest::Hex(doc2), update(doc2));
}

TEST_F(Korb, ForeignApplicationProcessEndsTheRecordsOwner) {
    store.SetKORBClassName(kKorbClass);
    HostClient owner;  // a real process standing for the record's owner
    ASSERT_TRUE(owner.Start("plain")) << owner.LastError();
    HostClient korb;
    ASSERT_TRUE(StartWithLibrary(korb, "korb"));
    Reply first;
    HWND doc = korb.OpenDoc("C:\\k\\one.doc", &first);
    // The record names the KORB client itself as the document's process.
    Add(korb.Pid(), first.Wnd("frame"), "CP", 6, "C:\\k\\(ZEL-9)one.doc", owner.Pid());
    DocAnswer q = korb.IsZelDoc(doc);
    EXPECT_TRUE(q.answer);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(owner.Process(), 10000));
    EXPECT_TRUE(korb.Send("ping").ok);
}

TEST_F(Korb, WordProcessorWithKorbHandlingFindsTheKorbWindowFirst) {
    store.SetKORBClassName(kKorbClass);
    HostClient word;
    ASSERT_TRUE(StartWithLibrary(word, "word11"));
    HWND doc = word.OpenDoc("C:\\w\\a.doc");
    HWND korbWnd = word.CreateWindowOf(kKorbClass, nullptr, false, true);
    ASSERT_NE(nullptr, korbWnd);
    // Handling off: the KORB window is not a document of the word processor.
    EXPECT_EQ(nullptr, word.FindDoc(korbWnd));
    store.SetKORBInfo(1);
    EXPECT_EQ(korbWnd, word.FindDoc(korbWnd));
    Add(word.Pid(), korbWnd, "C", 1);
    DocAnswer q = word.IsZelDoc(korbWnd);
    EXPECT_TRUE(q.answer);
    EXPECT_EQ(H(korbWnd), q.rec.hDocWnd);
    // With a word document in front the ordinary search follows.
    EXPECT_EQ(doc, word.FindDoc(doc));
}

// The client may show the word processor inside its own frame: that frame,
// another process's, is the word processor's document while it is in front.
TEST_F(Korb, AClientFrameHoldingTheWordProcessorsWindowIsItsDocument) {
    store.SetKORBClassName(kKorbClass);
    store.SetKORBInfo(1);
    HostClient word, client;
    ASSERT_TRUE(StartWithLibrary(word, "word11"));
    ASSERT_TRUE(client.Start("plain")) << client.LastError();
    HWND frame = client.CreateWindowOf(kKorbClass, nullptr, false, true);
    ASSERT_NE(nullptr, frame);
    Add(word.Pid(), frame, "C", 1);
    ASSERT_TRUE(word.Background());
    ASSERT_TRUE(client.Activate(frame));
    // A frame of another process with nothing of the word processor in it.
    EXPECT_NE(frame, word.FindDoc());
    ASSERT_NE(nullptr, word.CreateWindowOf("HostWindow", frame, /*child=*/true));
    ASSERT_TRUE(client.Activate(frame));
    EXPECT_EQ(frame, word.FindDoc());
    EXPECT_EQ("C", word.IsZelDoc().perm);
}

}  // namespace
