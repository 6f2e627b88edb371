// The PDF application: version detection, menu-id lists and the window search
// each version's main class chooses.
#include <fstream>
#include <sstream>

#include "store_fixture.h"

namespace {

using hosts::HostClient;
using hosts::Reply;
using idtest::StartWithLibrary;

const char* const kPair = "AcrobatSDIWindow|AcrobatMDIWindow";

struct PdfCase {
    const char* variant;
    int major;
    const char* mainClass;
    std::vector<uint32_t> ids;
    std::vector<uint32_t> printIds;
};

void PrintTo(const PdfCase& c, std::ostream* os) { *os << c.variant; }

std::vector<uint32_t> Without(const std::vector<uint32_t>& all, const std::vector<uint32_t>& drop) {
    std::vector<uint32_t> out;
    for (uint32_t id : all)
        if (std::find(drop.begin(), drop.end(), id) == drop.end()) out.push_back(id);
    return out;
}

const std::vector<uint32_t> kIds6 = {6006, 6287, 6014, 6015, 6163, 6289, 6288, 6176, 6331, 6332, 6009, 6333};
const std::vector<uint32_t> kIds7 = {6423, 6418, 6419, 6007, 6018, 6183, 6019, 6021, 6205, 6145, 6454,
                                     6455, 6377, 6378, 6379, 6380, 6053, 6208, 6209, 6210, 6211};
const std::vector<uint32_t> kIds8 = {6006, 6337, 6332, 6333, 6017, 6018, 6186, 6222, 6397,
                                     6404, 6140, 6308, 6052, 6326, 6327, 6328, 6329, 6330};
const std::vector<uint32_t> kIds9 = {6012, 6013, 6016, 6027, 6028, 6271, 6346, 6353, 6186, 6187, 6101, 6131,
                                     6140, 6148, 6170, 6171, 6142, 6143, 6144, 6145, 6146, 6025, 6062};

class PdfVersions : public idtest::StoreTest, public ::testing::WithParamInterface<PdfCase> {};

TEST_P(PdfVersions, DetectionFillsTheVersionsMenuTable) {
    const PdfCase& c = GetParam();
    HostClient pdf;
    ASSERT_TRUE(StartWithLibrary(pdf, c.variant));
    Reply ctx = pdf.Context();
    EXPECT_EQ(c.major, ctx.Num("acrobat"));
    EXPECT_EQ(c.mainClass, ctx.Str("pdfclass"));
    EXPECT_EQ(c.ids, ctx.IdList("noprint"));
    EXPECT_EQ(Without(c.ids, c.printIds), ctx.IdList("print"));
    EXPECT_EQ("none", ctx.Str("active"));
    // The PDF application's version string is not its object's version.
    EXPECT_EQ("", pdf.Send("doc").Str("version"));
}

INSTANTIATE_TEST_SUITE_P(
    Versions, PdfVersions,
    ::testing::Values(PdfCase{"acrobat6", 6, "AdobeAcrobat", kIds6, {6014, 6015}},
                      PdfCase{"acrord6", 6, "AdobeAcrobat", kIds6, {6014, 6015}},
                      PdfCase{"acrobat7", 7, "AdobeAcrobat", kIds7, {6018, 6183, 6019}},
                      PdfCase{"acrord7", 7, "AdobeAcrobat", kIds7, {6018, 6183, 6019}},
                      PdfCase{"acrobat8", 8, kPair, kIds8, {6017, 6018}},
                      PdfCase{"acrord8", 8, kPair, kIds8, {6017, 6018}},
                      PdfCase{"acrobat9", 9, "AcrobatSDIWindow", kIds9, {6027, 6028}},
                      PdfCase{"acrord9", 9, "AcrobatSDIWindow", kIds9, {6027, 6028}},
                      PdfCase{"acrobat10", 10, "AdobeAcrobat", {}, {}},
                      PdfCase{"acrord10", 10, "AdobeAcrobat", {}, {}},
                      PdfCase{"acrobat_nodot", 0, "", {}, {}},
                      PdfCase{"acrord_nodot", 0, "", {}, {}}),
    [](const auto& info) { return std::string(info.param.variant); });

class PdfSearch : public idtest::StoreTest {};

TEST_F(PdfSearch, TablesHoldTheirSizes) {
    EXPECT_EQ(12u, kIds6.size());
    EXPECT_EQ(21u, kIds7.size());
    EXPECT_EQ(18u, kIds8.size());
    EXPECT_EQ(23u, kIds9.size());
}

TEST_F(PdfSearch, VersionWithoutDotSearchesOnlySdiWindowsAndLogs) {
    HostClient sdi;
    ASSERT_TRUE(StartWithLibrary(sdi, "acrobat_nodot", {"--layout=sdi"}));
    HWND doc = sdi.OpenDoc("C:\\p\\a.pdf");
    EXPECT_EQ(doc, sdi.FindDoc(doc));

    HostClient mdi;
    ASSERT_TRUE(StartWithLibrary(mdi, "acrobat_nodot", {"--layout=mdi"}));
    HWND mdiDoc = mdi.OpenDoc("C:\\p\\a.pdf");
    EXPECT_EQ(nullptr, mdi.FindDoc(mdiDoc));

    char root[1024] = {};
    ASSERT_TRUE(GetEnvironmentVariableA("GATREL_ROOT", root, sizeof root));
    std::ifstream log(HostClient::WinPath(root) + "\\log\\ACROBAT.log");
    std::stringstream all;
    all << log.rdbuf();
    EXPECT_NE(std::string::npos, all.str().find("PDF GetVersion Failed!"));
}

TEST_F(PdfSearch, VersionTenSearchesTheMainWindowsContainer) {
    HostClient mdi;
    ASSERT_TRUE(StartWithLibrary(mdi, "acrobat10", {"--layout=mdi"}));
    HWND doc = mdi.OpenDoc("C:\\p\\a.pdf");
    EXPECT_EQ(doc, mdi.FindDoc(doc));
    HostClient sdi;
    ASSERT_TRUE(StartWithLibrary(sdi, "acrobat10", {"--layout=sdi"}));
    HWND sdiDoc = sdi.OpenDoc("C:\\p\\a.pdf");
    EXPECT_EQ(nullptr, sdi.FindDoc(sdiDoc));
}

TEST_F(PdfSearch, VersionEightFollowsTheLayoutOnShow) {
    HostClient pdf;
    ASSERT_TRUE(StartWithLibrary(pdf, "acrobat8", {"--layout=mdi"}));
    HWND mdiDoc = pdf.OpenDoc("C:\\p\\a.pdf");
    EXPECT_EQ(mdiDoc, pdf.FindDoc(mdiDoc));
    // Once any document window of its own exists, only those are searched.
    HWND sdi = pdf.CreateWindowOf("AcrobatSDIWindow", nullptr, false, false);
    ASSERT_NE(nullptr, sdi);
    EXPECT_EQ(nullptr, pdf.FindDoc(mdiDoc));
    EXPECT_EQ(sdi, pdf.FindDoc(sdi));
}

TEST_F(PdfSearch, RightsChooseTheMenuList) {
    HostClient pdf;
    ASSERT_TRUE(StartWithLibrary(pdf, "acrobat7"));
    HWND doc = pdf.OpenDoc("C:\\ZELFILETEMP\\(ZEL-3)a.pdf");
    const DWORD owner = NextOwner();
    Add(pdf.Pid(), doc, "P", 4, "C:\\ZELFILETEMP\\(ZEL-3)a.pdf", owner);
    EXPECT_TRUE(pdf.IsLimitedZelDoc(doc).answer);
    EXPECT_EQ("print", pdf.Context().Str("active"));

    store.SetHookInfo(owner, "C");
    EXPECT_TRUE(pdf.IsLimitedZelDoc(doc).answer);
    EXPECT_EQ("noprint", pdf.Context().Str("active"));

    // All rights: not limited, and the list stays as it was.
    store.SetHookInfo(owner, "AP");
    EXPECT_FALSE(pdf.IsLimitedZelDoc(doc).answer);
    EXPECT_TRUE(pdf.IsZelDoc(doc).answer);
    EXPECT_EQ("noprint", pdf.Context().Str("active"));

    // "P" and "R" together still print.
    store.SetHookInfo(owner, "RP");
    EXPECT_TRUE(pdf.IsLimitedZelDoc(doc).answer);
    EXPECT_EQ("print", pdf.Context().Str("active"));

    // An unprotected document in front leaves the list alone.
    HWND other = pdf.OpenDoc("C:\\p\\b.pdf");
    EXPECT_FALSE(pdf.IsLimitedZelDoc(other).answer);
    EXPECT_EQ("print", pdf.Context().Str("active"));
}

}  // namespace
