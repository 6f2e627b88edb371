// The registry settings as the library reads them: raw reads through
// ReadRegString on a private key, GetInstallDir in the test world and in
// children that see a sandbox as HKEY_LOCAL_MACHINE.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "support/settings.h"
#include "tests/support/test_child.h"

namespace {

using testchild::MachineKeySandbox;
using testchild::RunChild;

std::string Raw(const char* bytes, size_t n) { return std::string(bytes, n); }

class RegRead : public ::testing::Test {
protected:
    int Read(const char* value, std::string& out, DWORD max) {
        return ReadRegString(HKEY_CURRENT_USER, key.SetupKeyPath().c_str(), value, out, max);
    }
    MachineKeySandbox key{"settings"};
};

TEST_F(RegRead, StringValueWithinTheLimit) {
    key.SetString("Language", "Chinese");
    std::string out = "stale";
    EXPECT_EQ(0, Read("Language", out, 100));
    EXPECT_EQ("Chinese", out);
}

TEST_F(RegRead, ValueLongerThanTheLimitFailsWithEmptyResult) {
    key.SetString("Value", "abcdef");  // 7 bytes with its terminator
    std::string out = "stale";
    EXPECT_EQ(-1, Read("Value", out, 6));
    EXPECT_EQ("", out);
    EXPECT_EQ(0, Read("Value", out, 7));
    EXPECT_EQ("abcdef", out);
}

TEST_F(RegRead, OtherTypesAreReturnedAsTheirBytesUpToTheFirstNul) {
    const DWORD number = 0x00434241;  // "ABC\0"
    key.SetRaw("Number", REG_DWORD, Raw(reinterpret_cast<const char*>(&number), 4));
    key.SetRaw("Binary", REG_BINARY, Raw("ab\0cd", 5));
    key.SetRaw("Full", REG_BINARY, "abcde");  // fills the limit, no terminator
    std::string out;
    EXPECT_EQ(0, Read("Number", out, 260));
    EXPECT_EQ("ABC", out);
    EXPECT_EQ(0, Read("Binary", out, 260));
    EXPECT_EQ("ab", out);
    EXPECT_EQ(0, Read("Full", out, 5));
    EXPECT_EQ("abcde", out);
}

TEST_F(RegRead, MissingValueKeyOrRootFail) {
    std::string out = "stale";
    EXPECT_EQ(-1, Read("NoSuchValue", out, 260));
    EXPECT_EQ("", out);
    out = "stale";
    EXPECT_EQ(-1, ReadRegString(HKEY_CURRENT_USER, "Software\\GatrelTests\\NoSuchKey\\Setup",
                                "InstallDir", out, 260));
    EXPECT_EQ("", out);
    out = "stale";
    EXPECT_EQ(-1, ReadRegString(nullptr, kSetupKey, "InstallDir", out, 260));
    EXPECT_EQ("", out);
}

TEST(InstallDir, IsTheTestWorldsInstallationDirectory) {
    const char* root = getenv("GATREL_ROOT");
    ASSERT_NE(nullptr, root) << "run through CTest: GATREL_ROOT names the installation directory";
    std::string expected = std::string("Z:") + root;
    for (auto& c : expected)
        if (c == '/') c = '\\';
    EXPECT_EQ(expected, GetInstallDir());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((GetInstallDir() + "\\log").c_str()));
}

// Exit codes: 0 as expected, 1 first read wrong, 2 second read wrong.
GATREL_CHILD_SCENARIO(install_dir_twice) {
    if (GetInstallDir() != args.at(0)) return 1;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSetupKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return 3;
    RegSetValueExA(key, "InstallDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(args.at(1).c_str()),
                   static_cast<DWORD>(args.at(1).size() + 1));
    RegCloseKey(key);
    return GetInstallDir() == args.at(1) ? 0 : 2;
}

GATREL_CHILD_SCENARIO(install_dir_missing) { return GetInstallDir().empty() ? 0 : 1; }

TEST(InstallDir, IsReadAfreshOnEveryCall) {
    MachineKeySandbox hklm("installdir");
    hklm.SetString("InstallDir", "C:\\First Place");
    EXPECT_EQ(0, RunChild("install_dir_twice", {"C:\\First Place", "D:\\Second"}, hklm.name()));
}

TEST(InstallDir, MissingValueGivesEmptyString) {
    MachineKeySandbox hklm("installdir");
    hklm.SetString("LogLevel", "INFO");
    EXPECT_EQ(0, RunChild("install_dir_missing", {}, hklm.name()));
}

TEST(InstallDir, ValueAtTheLimitIsReadAndLongerIsNot) {
    MachineKeySandbox hklm("installdir");
    const std::string at259(259, 'd');  // 260 bytes with its terminator
    hklm.SetString("InstallDir", at259);
    EXPECT_EQ(0, RunChild("install_dir_twice", {at259, "C:\\x"}, hklm.name()));
    hklm.SetString("InstallDir", std::string(260, 'd'));
    EXPECT_EQ(0, RunChild("install_dir_missing", {}, hklm.name()));
}

}  // namespace
