// The seven hook tables as HookAllApi / UnHookAllApi install and remove
// them: which rows each kind of process gets, in which order, one stop of
// the other threads per run, and the result when everything fails.
#include <gtest/gtest.h>

#include "intercept/hook_slots.h"

#include <set>
#include <string>
#include <vector>

#include "host/process_context.h"
#include "identify/common_doc.h"
#include "identify/os_version.h"
#include "intercept/api_resolver.h"
#include "intercept/detour.h"
#include "intercept/hook_tables.h"
#include "tests/intercept/test_code.h"

namespace {

volatile LONG g_counts[kHookCount];

class HookTables : public ::testing::Test {
protected:
    void SetUp() override {
        for (size_t i = 0; i < kHookCount; ++i) {
            HookRow& row = CatalogRow(i);
            saved_.push_back(row);
            row.pDetour = testcode::CountingThunk(page_, &g_counts[i], row.ppSlot);
            targets_.push_back(GetApiSrcAddr(row.strDllName, row.strApiName));
            ASSERT_NE(nullptr, targets_.back()) << row.strApiName;
        }
        DocObject() = nullptr;
    }
    void TearDown() override {
        DocObject() = nullptr;
        for (size_t i = 0; i < kHookCount; ++i) CatalogRow(i) = saved_[i];
    }
    std::set<std::string> Hooked() const {
        std::set<std::string> names;
        for (size_t i = 0; i < kHookCount; ++i)
            if (detour::DescribeHook(targets_[i]).hooked) names.insert(CatalogRow(i).strApiName);
        return names;
    }
    // Installs, checks the hooked set, removes, checks nothing is left.
    void ExpectRows(const std::set<std::string>& expected) {
        const size_t freezes = detour::FreezeCount();
        EXPECT_EQ(1, HookAllApi());
        EXPECT_EQ(freezes + 1, detour::FreezeCount());
        EXPECT_EQ(expected, Hooked());
        for (size_t i = 0; i < kHookCount; ++i) {
            const bool hooked = expected.count(CatalogRow(i).strApiName) != 0;
            if (hooked) EXPECT_EQ(detour::DescribeHook(targets_[i]).trampoline, *CatalogRow(i).ppSlot);
        }
        EXPECT_EQ(1, UnHookAllApi());
        EXPECT_EQ(freezes + 2, detour::FreezeCount());
        EXPECT_TRUE(Hooked().empty());
        for (size_t i = 0; i < kHookCount; ++i)
            if (expected.count(CatalogRow(i).strApiName)) EXPECT_EQ(targets_[i], *CatalogRow(i).ppSlot);
    }

    testcode::CodePage page_;
    std::vector<HookRow> saved_;
    std::vector<PVOID> targets_;
};

const std::set<std::string> kAlways = {
    "TranslateAccelerator", "GetCursorPos", "EnableMenuItem", "MoveFileW", "MoveFileA",
    "ReplaceFileW", "MoveFileExW", "GetSaveFileNameW", "GetSaveFileNameA", "RegisterDragDrop",
    "OpenProcess", "BitBlt", "CreateDCA", "CreateDCW", "ImageList_BeginDrag", "ImageList_EndDrag",
    "DoDragDrop", "GetActiveObject", "DdeConnect", "CoCreateInstance", "CoCreateInstanceEx",
    "OleRun", "OpenClipboard", "CountClipboardFormats", "EmptyClipboard", "GetClipboardData",
    "SetClipboardData"};
const std::set<std::string> kPrint = {"StartDocW", "EndDoc", "StartDocPrinterW", "DocumentPropertiesW",
                                      "StartPage", "EndPage", "OpenPrinterW"};
const std::set<std::string> kOfficeFiles = {"CreateFileW", "GetFileAttributesW", "DeleteFileW",
                                            "FindFirstFileW"};

std::set<std::string> operator+(std::set<std::string> a, const std::set<std::string>& b) {
    a.insert(b.begin(), b.end());
    return a;
}

bool IsSeven() {
    int code = -1, sp = -1;
    GetOSVersion(code, sp);
    return code == 110;
}

TEST_F(HookTables, ProcessWithoutDocumentGetsTheUnconditionalRows) {
    EXPECT_EQ(27u, kAlways.size());
    ExpectRows(kAlways);
}

TEST_F(HookTables, EachDocumentTypeGetsItsRows) {
    CCommonDoc doc;
    DocObject() = &doc;
    const std::set<std::string> copy = IsSeven() ? std::set<std::string>{"CopyFileExW"} : std::set<std::string>{};
    const std::set<std::string> office = kAlways + kOfficeFiles + copy + kPrint + std::set<std::string>{"RevokeDragDrop"};
    struct Case { int type; std::set<std::string> rows; };
    const Case cases[] = {
        {kDocWord, office},
        {kDocExcel, office + std::set<std::string>{"RegisterActiveObject"}},
        {kDocPowerPoint, office + std::set<std::string>{"DispCallFunc"}},
        {kDocPdf, kAlways + kPrint + std::set<std::string>{"LoadLibraryA", "RevokeDragDrop"}},
        {kDocKORB, kAlways + std::set<std::string>{"RevokeDragDrop"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        doc.nDocType = c.type;
        testcode::LogTail log;
        ExpectRows(c.rows);
        EXPECT_EQ(0u, log.Count("[ERROR]")) << log.NewText();  // GDI+ started, nothing failed
    }
}

TEST_F(HookTables, HookedRowsAreReachedThroughTheRealCallPath) {
    HookAllApi();
    const LONG before = g_counts[static_cast<size_t>(HookId::kGetCursorPos)];
    POINT p;
    EXPECT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(before + 1, g_counts[static_cast<size_t>(HookId::kGetCursorPos)]);
    UnHookAllApi();
    EXPECT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(before + 1, g_counts[static_cast<size_t>(HookId::kGetCursorPos)]);
}

TEST_F(HookTables, RowsWithoutReplacementAreLeftAlone) {
    for (size_t i = 0; i < kHookCount; ++i)
        if (CatalogRow(i).table != HookTable::Clipboard) CatalogRow(i).pDetour = nullptr;
    ExpectRows({"OpenClipboard", "CountClipboardFormats", "EmptyClipboard", "GetClipboardData",
                "SetClipboardData"});
}

TEST_F(HookTables, FileTableComesOutInItsOwnOrder) {
    // Nothing installed: every removal is refused and logged, in walk order.
    CCommonDoc doc;
    doc.nDocType = kDocPdf;
    DocObject() = &doc;
    testcode::LogTail log;
    UnHookFileApi();
    std::vector<std::string> order;
    for (const std::string& line : log.Lines("DetourAttach Fail, lRet=9,strApiName="))
        order.push_back(line.substr(line.find("strApiName=") + 11, line.find_last_not_of("\r") - line.find("strApiName=") - 10));
    const std::vector<std::string> expected = {"MoveFileW", "MoveFileA", "ReplaceFileW", "MoveFileExW",
                                               "LoadLibraryA", "OpenProcess", "GetSaveFileNameW",
                                               "GetSaveFileNameA", "RegisterDragDrop"};
    EXPECT_EQ(expected, order) << log.NewText();

    testcode::LogTail install;
    for (size_t i = 0; i < kHookCount; ++i)
        if (CatalogRow(i).table == HookTable::File) CatalogRow(i).strDllName = "missing_module.dll";
    HookFileApi();
    order.clear();
    for (const std::string& line : install.Lines("GetModuleHandle Error:126,strDllName=missing_module.dll,strApiName="))
        order.push_back(line.substr(line.find("strApiName=") + 11, line.find_last_not_of("\r") - line.find("strApiName=") - 10));
    const std::vector<std::string> installOrder = {"MoveFileW", "MoveFileA", "ReplaceFileW", "MoveFileExW",
                                                   "LoadLibraryA", "GetSaveFileNameW", "GetSaveFileNameA",
                                                   "RegisterDragDrop", "OpenProcess"};
    EXPECT_EQ(installOrder, order) << install.NewText();
}

TEST_F(HookTables, AllApiAnswersOneWhenEverythingFails) {
    for (size_t i = 0; i < kHookCount; ++i) CatalogRow(i).strDllName = "missing_module.dll";
    testcode::LogTail log;
    EXPECT_EQ(1, HookAllApi());
    EXPECT_TRUE(Hooked().empty());
    EXPECT_EQ(kAlways.size(), log.Count("GetModuleHandle Error:126,strDllName=missing_module.dll"));
    EXPECT_EQ(kAlways.size(), log.Count("HookFuntion(): pApiSrcAddr Is NULL, strDllName=missing_module.dll"));
    // The slots were overwritten with null; removal skips them.
    EXPECT_EQ(1, UnHookAllApi());
    EXPECT_EQ(kAlways.size(), log.Count("UnHookFuntion():pApiSrcAddr Is NULL, strApiName="));
    for (size_t i = 0; i < kHookCount; ++i) *CatalogRow(i).ppSlot = targets_[i];
}

}  // namespace
