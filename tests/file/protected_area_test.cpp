// The protected area as the system names it: an installation directory that
// an installer wrote with a trailing separator, or in its short (8.3) form, is
// the same folder as the long one the applications use.
#include <cstring>

#include "support/settings.h"
#include "tests/file/file_fixture.h"
#include "tests/file/ostrum_standin.h"

namespace filetest {
namespace {

class ProtectedAreaNames : public FileGuardTest {};

TEST_F(ProtectedAreaNames, AnInstallationDirectoryWrittenShortWithATrailingSeparatorIsTheSameFolder) {
    // A long name, which has a short form.
    testchild::TempFolder install("files install directory");
    char shortForm[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameA(install.path().c_str(), shortForm, MAX_PATH), 0u);
    ASSERT_NE(Upper(install.path()), Upper(shortForm));
    const std::string area = install.path() + "\\ZELFILETEMP", docs = area + "\\FILESINSTALL",
                      client = install.path() + "\\ZELCLIENTDOC";
    for (const std::string& f : {install.path() + "\\log", area, area + "\\PROTECTPATH", docs, client})
        CreateDirectoryA(f.c_str(), nullptr);
    testchild::MachineKeySandbox machine("files_install");
    machine.SetString("InstallDir", std::string(shortForm) + "\\");
    const std::string setup = machine.SetupKeyPath();
    const std::string machineKey = "--machine-key=" + setup.substr(0, setup.size() - strlen(kSetupKey) - 1);

    const std::string doc = docs + "\\(ZEL-0005)q4.xls", replacement = docs + "\\F00D0003";
    ASSERT_TRUE(testchild::WriteFileBytes(doc, "old"));
    HostClient excel, plain;
    ASSERT_TRUE(excel.Start("excel12", {machineKey}) && excel.LoadGatrel()) << excel.LastError();
    excel.CreateDoc();
    HWND wnd = excel.OpenDoc(doc);
    ASSERT_TRUE(wnd);
    excel.Activate(wnd);
    Register(excel, wnd, "P", 2, doc);
    // The document's own working files stay beside it.
    ASSERT_EQ(1, File(excel, "create", docs + "\\A1B2C3.tmp", {{"text", "beside"}}).Num("opened"));
    EXPECT_EQ("beside", testchild::ReadFileBytes(docs + "\\A1B2C3.tmp"));
    EXPECT_EQ("[]", Joined(List(area + "\\PROTECTPATH")));
    // Its save is the guarded one, reported to Ostrum.
    OstrumStandIn ostrum;
    ASSERT_TRUE(ostrum.Start("--folder=FILESINSTALL"));
    ASSERT_TRUE(testchild::WriteFileBytes(replacement, "new"));
    EXPECT_EQ(1, File(excel, "replace", doc, {{"to", replacement}}).Num("ret"));
    EXPECT_EQ("new", testchild::ReadFileBytes(doc));
    EXPECT_TRUE(ostrum.WaitFor("answered round=1", 10000)) << ostrum.Seen();
    // A move into the client's folder copies, in an ordinary process too.
    ASSERT_TRUE(plain.Start("plain", {machineKey}) && plain.LoadGatrel()) << plain.LastError();
    for (HostClient* host : {&excel, &plain}) {
        const std::string from = install.path() + "\\moved.doc", to = client + "\\moved.doc";
        ASSERT_TRUE(testchild::WriteFileBytes(from, "mine"));
        EXPECT_EQ(1, File(*host, "movex", from, {{"to", to}}).Num("ret"));
        EXPECT_EQ("mine", testchild::ReadFileBytes(from)) << "the application's file stays";
        EXPECT_EQ("mine", testchild::ReadFileBytes(to));
        DeleteFileA(to.c_str());
    }
}

}  // namespace
}  // namespace filetest
