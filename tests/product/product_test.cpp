// The binaries as an administrator and a controller developer meet them: the
// version block of each, and the library's export table.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "intercept/pe_export_reader.h"

namespace {

std::string Bin(const std::string& file) { return std::string(getenv("GATREL_BIN")) + "\\" + file; }

struct VersionBlock {
    bool found = false;
    std::string fixed;  // file version from the fixed part, "a.b.c.d"
    std::string company, product, description, fileVersion, productVersion;
};

VersionBlock ReadVersion(const std::string& path) {
    VersionBlock v;
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (!size) return v;
    std::vector<char> data(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return v;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &len) || !fixed) return v;
    v.found = true;
    v.fixed = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
              std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
              std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
              std::to_string(LOWORD(fixed->dwFileVersionLS));
    auto text = [&](const char* name) {
        char* s = nullptr;
        UINT n = 0;
        const std::string key = std::string("\\StringFileInfo\\040904b0\\") + name;
        return VerQueryValueA(data.data(), key.c_str(), reinterpret_cast<void**>(&s), &n) && s
                   ? std::string(s)
                   : std::string();
    };
    v.company = text("CompanyName");
    v.product = text("ProductName");
    v.description = text("FileDescription");
    v.fileVersion = text("FileVersion");
    v.productVersion = text("ProductVersion");
    return v;
}

TEST(Product, EveryBinaryCarriesTheProductsVersionBlock) {
    struct Binary {
        const char* file;
        bool standIn;
    };
    for (const Binary b : {Binary{"Gatrel.dll", false}, Binary{"zelctl.exe", true},
                           Binary{"ZELDaemon.exe", true}, Binary{"ZELShowMsgBox.dll", true},
                           Binary{"Ostrum.exe", true},
                           Binary{"gatrel_demo.exe", false}}) {
        SCOPED_TRACE(b.file);
        const VersionBlock v = ReadVersion(Bin(b.file));
        ASSERT_TRUE(v.found);
        EXPECT_EQ(GATREL_VERSION, v.fixed);
        EXPECT_EQ(GATREL_VERSION, v.fileVersion);
        EXPECT_EQ(GATREL_VERSION, v.productVersion);
        // The names of the registry key the library reads its settings from.
        EXPECT_EQ("Varnek", v.company);
        EXPECT_EQ("ZELClient", v.product);
        EXPECT_FALSE(v.description.empty());
        EXPECT_EQ(b.standIn, v.description.find("stand-in") != std::string::npos) << v.description;
    }
}

TEST(Product, TheExportTableIsTheControllersInterface) {
    std::ifstream dll(Bin("Gatrel.dll"), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(dll)), std::istreambuf_iterator<char>());
    pe::ExportReader reader;
    ASSERT_TRUE(reader.Open(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    std::set<std::string> exported;
    reader.ForEachNamed([&](const char* name, const pe::Export&) { exported.insert(name); });

    std::ifstream list(GATREL_EXPORTS_LIST);
    ASSERT_TRUE(list.good()) << GATREL_EXPORTS_LIST;
    std::set<std::string> expected;
    for (std::string line; std::getline(list, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] != '#') expected.insert(line);
    }
    for (const auto& name : exported)
        EXPECT_TRUE(expected.count(name)) << "exported but not in the list: " << name;
    for (const auto& name : expected)
        EXPECT_TRUE(exported.count(name)) << "in the list but not exported: " << name;
}

}  // namespace
