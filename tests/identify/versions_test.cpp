// Version resources of the applications, and the operating system's version
// as Wine reports it for a given executable.
#include <fstream>
#include <sstream>

#include "identify/app_version.h"
#include "identify/os_version.h"
#include "store_fixture.h"

namespace {

using hosts::HostClient;
using hosts::Reply;

std::string ReadAll(const std::string& path) {
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string Root() {
    char root[1024] = {};
    GetEnvironmentVariableA("GATREL_ROOT", root, sizeof root);
    return HostClient::WinPath(root);
}

TEST(AppVersion, ProductVersionOfTheExecutables) {
    EXPECT_EQ("12.0.6425.1000", testlib::Dll().GetAppVersion(HostClient::HostPath("ppt12")));
    EXPECT_EQ("11.0.5529.0", testlib::Dll().GetAppVersion(HostClient::HostPath("ppt11")));
    EXPECT_EQ("11.0.8173.0", testlib::Dll().GetAppVersion(HostClient::HostPath("word11")));
    EXPECT_EQ("9.3.0.148", testlib::Dll().GetAppVersion(HostClient::HostPath("acrobat_nodot")));
}

TEST(AppVersion, FileVersionTextOfTheFirstTranslation) {
    EXPECT_EQ("6.0.1.2003", testlib::Dll().GetFileVersionString(HostClient::HostPath("acrobat6")));
    EXPECT_EQ("9, 3, 0, 148", testlib::Dll().GetFileVersionString(HostClient::HostPath("acrord_nodot")));
    EXPECT_EQ("11.0.8173", testlib::Dll().GetFileVersionString(HostClient::HostPath("word11")));
}

TEST(AppVersion, FilesWithoutVersionGiveEmptyAndTheProductVersionLogsIt) {
    // This test program carries no version resource.
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    EXPECT_EQ("", testlib::Dll().GetAppVersion(""));
    EXPECT_EQ("", testlib::Dll().GetFileVersionString(self));
    const std::string missing = Root() + "\\no-such-file.exe";
    EXPECT_EQ("", testlib::Dll().GetAppVersion(missing));
    EXPECT_EQ("", testlib::Dll().GetFileVersionString(missing));
    const std::string log = ReadAll(Root() + "\\log\\identify_versions_test.log");
    EXPECT_NE(std::string::npos, log.find(std::string("GetFileVersionInfoSize() error,") + self));
    EXPECT_NE(std::string::npos, log.find("GetFileVersionInfoSize() error," + missing));
}

// Wine reports the Windows version configured for an executable's name; the
// two probe programs exist only for this, so setting theirs disturbs nobody.
void SetWineVersionFor(const char* exe, const char* version) {
    const std::string key = std::string("Software\\Wine\\AppDefaults\\") + exe;
    HKEY h = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0,
                                             KEY_SET_VALUE, nullptr, &h, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(h, "Version", 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(version),
                                            static_cast<DWORD>(strlen(version) + 1)));
    RegCloseKey(h);
}

TEST(OsVersion, WindowsSevenIs110AndWindowsEightIsUnknown) {
    SetWineVersionFor("OSPROBE7.EXE", "win7");
    SetWineVersionFor("OSPROBE8.EXE", "win8");
    HostClient seven;
    ASSERT_TRUE(seven.Start("osprobe7")) << seven.LastError();
    ASSERT_TRUE(seven.LoadGatrel()) << seven.LastError();
    Reply r = seven.Send("osversion");
    EXPECT_EQ(1, r.Num("ret"));
    EXPECT_EQ(110, r.Num("code"));
    EXPECT_EQ(1, r.Num("sp"));  // Windows 7 as Wine reports it: 6.1 service pack 1

    HostClient eight;
    ASSERT_TRUE(eight.Start("osprobe8")) << eight.LastError();
    ASSERT_TRUE(eight.LoadGatrel()) << eight.LastError();
    r = eight.Send("osversion");
    EXPECT_EQ(1, r.Num("ret"));
    EXPECT_EQ(-1, r.Num("code"));
    EXPECT_EQ(0, r.Num("sp"));
}

TEST(OsVersion, InProcessAnswerMatchesTheSystemsVersion) {
    int code = 7, sp = 7;
    ASSERT_EQ(1, testlib::Dll().GetOSVersion(code, sp));
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    OSVERSIONINFOEXA v{};
    v.dwOSVersionInfoSize = sizeof v;
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&v)));
#pragma GCC diagnostic pop
    EXPECT_EQ(v.wServicePackMajor, sp);
    int expected = 0;
    if (v.dwMajorVersion == 6 && v.dwMinorVersion == 1) expected = 110;
    else if (v.dwMajorVersion == 5 && v.dwMinorVersion == 1) expected = 106;
    else if ((v.dwMajorVersion == 6 && v.dwMinorVersion >= 2) || v.dwMajorVersion >= 7) expected = -1;
    if (expected != 0) {
        EXPECT_EQ(expected, code);
    }
}

}  // namespace
