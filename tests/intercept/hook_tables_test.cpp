// The seven hook tables as HookAllApi / UnHookAllApi install and remove
// them: which rows each kind of process gets, in which order, one stop of
// the other threads per run, and the result when everything fails.
#include <gtest/gtest.h>

#include "intercept/hook_slots.h"

#include <set>
#include <string>
#include <vector>

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
    }
    void TearDown() override {
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
        EXPECT_EQ(1, HookAllApi(facts_));
        EXPECT_EQ(freezes + 1, detour::FreezeCount());
        EXPECT_EQ(expected, Hooked());
        for (size_t i = 0; i < kHookCount; ++i) {
            const bool hooked = expected.count(CatalogRow(i).strApiName) != 0;
            if (hooked) {
                EXPECT_EQ(detour::DescribeHook(targets_[i]).trampoline, *CatalogRow(i).ppSlot);
            }
        }
        EXPECT_EQ(1, UnHookAllApi(facts_));
        EXPECT_EQ(freezes + 2, detour::FreezeCount());
        EXPECT_TRUE(Hooked().empty());
        for (size_t i = 0; i < kHookCount; ++i) {
            if (expected.count(CatalogRow(i).strApiName)) {
                EXPECT_EQ(targets_[i], *CatalogRow(i).ppSlot);
            }
        }
    }

    HookFacts Document(int type) {
        HookFacts f;
        f.hasDocObject = true;
        f.docType = type;
        GetOSVersion(f.osCode, sp_);
        return f;
    }

    HookFacts facts_;  // no document object
    int sp_ = -1;
    testcode::CodePage page_;
    std::vector<HookRow> saved_;
    std::vector<PVOID> targets_;
};

const std::set<std::string> kAlways = {
    "TranslateAccelerator", "TranslateAcceleratorW", "GetCursorPos", "EnableMenuItem", "MoveFileW", "MoveFileA",
    "ReplaceFileW", "MoveFileExW", "MoveFileWithProgressW", "GetSaveFileNameW", "GetSaveFileNameA", "RegisterDragDrop",
    "OpenProcess", "BitBlt", "CreateDCA", "CreateDCW", "ImageList_BeginDrag", "ImageList_EndDrag",
    "DoDragDrop", "GetActiveObject", "DdeConnect", "CoCreateInstance", "CoCreateInstanceEx", "CoGetClassObject", "DdeConnectList",
    "OleRun", "OpenClipboard", "CountClipboardFormats", "EmptyClipboard", "GetClipboardData",
    "SetClipboardData", "StretchBlt", "MaskBlt", "PlgBlt", "GdiTransparentBlt",
    "GdiAlphaBlend", "GetPixel", "PrintWindow"};
const std::set<std::string> kPrint = {"StartDocW", "EndDoc",  "StartDocPrinterW", "DocumentPropertiesW",
                                      "StartPage", "EndPage", "OpenPrinterW",     "AbortDoc",
                                      "Escape",    "OpenPrinterA"};
const std::set<std::string> kOfficeFiles = {"CreateFileW", "GetFileAttributesW", "GetFileAttributesExW",
                                            "DeleteFileW", "FindFirstFileW", "FindFirstFileExW",
                                            "CreateHardLinkW"};

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
    EXPECT_EQ(38u, kAlways.size());
    ExpectRows(kAlways);
}

TEST_F(HookTables, EachDocumentTypeGetsItsRows) {
    const std::set<std::string> copy = IsSeven() ? std::set<std::string>{"CopyFileExW"} : std::set<std::string>{};
    const std::set<std::string> office = kAlways + kOfficeFiles + copy + kPrint + std::set<std::string>{"RevokeDragDrop"};
    struct Case { int type; std::set<std::string> rows; };
    const Case cases[] = {
        {kDocWord, office},
        {kDocExcel, office + std::set<std::string>{"RegisterActiveObject"}},
        {kDocPowerPoint, office + std::set<std::string>{"DispCallFunc"}},
        {kDocPdf, kAlways + kPrint + std::set<std::string>{"LoadLibraryA", "LoadLibraryExW", "RevokeDragDrop"}},
        {kDocKORB, kAlways + std::set<std::string>{"RevokeDragDrop"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        facts_ = Document(c.type);
        testcode::LogTail log;
        ExpectRows(c.rows);
        // Nothing failed, and GDI+ is left to the watermark: never started here,
        // under the loader lock of process attach.
        EXPECT_EQ(0u, log.Count("[ERROR]")) << log.NewText();
    }
}

TEST_F(HookTables, HookedRowsAreReachedThroughTheRealCallPath) {
    HookAllApi(facts_);
    const LONG before = g_counts[static_cast<size_t>(HookId::kGetCursorPos)];
    POINT p;
    EXPECT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(before + 1, g_counts[static_cast<size_t>(HookId::kGetCursorPos)]);
    UnHookAllApi(facts_);
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
    facts_ = Document(kDocPdf);
    testcode::LogTail log;
    UnHookFileApi(facts_);
    std::vector<std::string> order;
    for (const std::string& line : log.Lines("DetourAttach Fail, lRet=9,strApiName="))
        order.push_back(line.substr(line.find("strApiName=") + 11, line.find_last_not_of("\r") - line.find("strApiName=") - 10));
    const std::vector<std::string> expected = {"MoveFileW", "MoveFileA", "ReplaceFileW", "MoveFileExW",
                                               "MoveFileWithProgressW", "LoadLibraryA", "OpenProcess",
                                               "LoadLibraryExW", "GetSaveFileNameW", "GetSaveFileNameA",
                                               "RegisterDragDrop"};
    EXPECT_EQ(expected, order) << log.NewText();

    testcode::LogTail install;
    for (size_t i = 0; i < kHookCount; ++i)
        if (CatalogRow(i).table == HookTable::File) CatalogRow(i).strDllName = "missing_module.dll";
    HookFileApi(facts_);
    order.clear();
    for (const std::string& line : install.Lines("GetModuleHandle Error:126,strDllName=missing_module.dll,strApiName="))
        order.push_back(line.substr(line.find("strApiName=") + 11, line.find_last_not_of("\r") - line.find("strApiName=") - 10));
    const std::vector<std::string> installOrder = {"MoveFileW", "MoveFileA", "ReplaceFileW", "MoveFileExW",
                                                   "MoveFileWithProgressW", "LoadLibraryA", "LoadLibraryExW",
                                                   "GetSaveFileNameW", "GetSaveFileNameA", "RegisterDragDrop",
                                                   "OpenProcess"};
    EXPECT_EQ(installOrder, order) << install.NewText();
}

TEST_F(HookTables, RowsThatFailToResolveLeaveCallableSlots) {
    std::vector<PVOID> imported;
    for (size_t i = 0; i < kHookCount; ++i) {
        CatalogRow(i).strDllName = "missing_module.dll";
        imported.push_back(*CatalogRow(i).ppSlot);
    }
    testcode::LogTail log;
    EXPECT_EQ(1, HookAllApi(facts_));
    EXPECT_TRUE(Hooked().empty());
    EXPECT_EQ(kAlways.size(), log.Count("GetModuleHandle Error:126,strDllName=missing_module.dll"));
    EXPECT_EQ(kAlways.size(), log.Count("HookFuntion(): pApiSrcAddr Is NULL, strDllName=missing_module.dll"));
    // Code outside the detours calls the real function through the slots
    // (the message hook empties the clipboard through OpenClipboard's): a
    // slot the resolver left empty goes back to the function as imported.
    for (size_t i = 0; i < kHookCount; ++i) {
        EXPECT_NE(nullptr, *CatalogRow(i).ppSlot) << CatalogRow(i).strApiName;
        EXPECT_EQ(imported[i], *CatalogRow(i).ppSlot) << CatalogRow(i).strApiName;
    }
    POINT p;
    EXPECT_TRUE(Trampoline_GetCursorPos(&p));
    if (Trampoline_OpenClipboard(nullptr)) CloseClipboard();
    // Removal reports them as never resolved, and leaves them callable.
    EXPECT_EQ(1, UnHookAllApi(facts_));
    EXPECT_EQ(kAlways.size(), log.Count("UnHookFuntion():pApiSrcAddr Is NULL, strApiName="));
    EXPECT_TRUE(Trampoline_GetCursorPos(&p));
    for (size_t i = 0; i < kHookCount; ++i) *CatalogRow(i).ppSlot = targets_[i];
}

}  // namespace
