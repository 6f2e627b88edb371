// Preparing the watermark of a print job: the controller's record in the store
// becomes the text, font and size that every page of the job is drawn with,
// on the test world's 600-dpi printer.
#include <gtest/gtest.h>
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "store/named_lock.h"
#include "store/seq_lock.h"
#include "store/shared_settings.h"
#include "support/wide_text.h"
#include "tests/hooks/log_tail.h"
#include "tests/watermark/page_pixels.h"
#include "tests/watermark/water_printer.h"
#include "watermark/print_water.h"
#include "watermark/water_text.h"

using namespace Gdiplus::DllExports;
using testing_support::LogTail;

// Allocation failures on demand: the next operator new of this thread after
// FailNextAllocation() throws std::bad_alloc, as on a process out of memory.
namespace {
thread_local bool t_failNext = false;
void FailNextAllocation() { t_failNext = true; }
}  // namespace

void* operator new(size_t size) {
    if (t_failNext) {
        t_failNext = false;
        throw std::bad_alloc();
    }
    if (void* p = malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }

namespace {

constexpr float kTable[] = {5, 8, 10, 12, 14, 16, 18, 20, 24, 26, 28, 36, 40, 44, 48, 54, 60, 66, 72};

std::string LocalDate() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char buf[32];
    snprintf(buf, sizeof buf, " %04d-%02d-%02d ", t.wYear, t.wMonth, t.wDay);
    return buf;
}

int CALLBACK NoteSimSun(const LOGFONTA* f, const TEXTMETRICA*, DWORD, LPARAM found) {
    if (strcmp(f->lfFaceName, "\xCB\xCE\xCC\xE5") == 0) *reinterpret_cast<bool*>(found) = true;
    return 1;
}

class PreparedJob : public ::testing::Test {
protected:
    static void SetUpTestSuite() { store::CreateLoadMutexes(); }
    void SetUp() override {
        dc = watertest::CreateWaterPrinterDc(DMPAPER_A4);
        ASSERT_NE(nullptr, dc) << "the test world's watermark printer";
        ASSERT_EQ(600, GetDeviceCaps(dc, LOGPIXELSX));
    }
    void TearDown() override {
        if (dc) DeleteDC(dc);
    }
    // Publishes a record as the controller does and prepares a job for it.
    WaterJob Load(const char* text, float size, char layout = 'L') {
        Publish(text, size, layout);
        const std::shared_ptr<const WaterJob> job = water.LoadWaterInfo(dc);
        EXPECT_NE(nullptr, job);
        return job ? *job : WaterJob{};
    }

    static void Publish(const char* text, float size, char layout = 'L') {
        static WaterInfo info;
        memset(&info, 0, sizeof info);
        info.chLayout = layout;
        info.fFontSize = size;
        info.wOpacity = 80;
        info.wLineCount = 1;
        strcpy(info.szContent, text);
        store::SetWaterInfo(&info);
    }

    HDC dc = nullptr;
    CPrintWater water;
};

TEST(WaterText, DateAndTimeFieldsAreFilledInAndTwoSpacesFollow) {
    const std::string before = LocalDate();
    const std::string date = ExpandWaterContent("${date}");
    const std::string after = LocalDate();
    EXPECT_EQ(14u, date.size());
    EXPECT_TRUE(date == before + "  " || date == after + "  ") << date;

    const std::string time = ExpandWaterContent("${time}");
    int h = -1, m = -1, s = -1;
    ASSERT_EQ(3, sscanf(time.c_str(), " %d:%d:%d", &h, &m, &s)) << time;
    EXPECT_EQ(12u, time.size()) << time;
    EXPECT_TRUE(h >= 0 && h < 24 && m >= 0 && m < 60 && s >= 0 && s < 61) << time;

    EXPECT_EQ("CONFIDENTIAL  ", ExpandWaterContent("CONFIDENTIAL"));
    const std::string both = ExpandWaterContent("${date}|${date}|${time}|${DATE}");
    EXPECT_EQ(std::string::npos, both.find("${date}"));
    EXPECT_EQ(std::string::npos, both.find("${time}"));
    EXPECT_NE(std::string::npos, both.find("${DATE}")) << "fields are matched case-sensitively";
    EXPECT_EQ(0u, both.find(date.substr(0, 12) + "|" + date.substr(0, 12) + "|"));
}

TEST_F(PreparedJob, ShortTextIsRepeatedPastTwoHundredCharactersAndTheJobIsLogged) {
    LogTail log;
    // Ten characters with the two trailing spaces: 21 copies.
    WaterJob p = Load("ABCDEFGH", 36);
    std::wstring expected;
    for (int i = 0; i < 21; ++i) expected += L"ABCDEFGH  ";
    EXPECT_EQ(expected, p.content);
    float logged = 0;
    for (const auto& line : log.NewLines())
        if (line.find("FontName=Arial,FontSize=") != std::string::npos)
            sscanf(line.substr(line.find("FontSize=")).c_str(), "FontSize=%f", &logged);
    EXPECT_NEAR(25.2f, logged, 0.001f);
    EXPECT_EQ(1, log.CountContaining(",WaterContent=ABCDEFGH  ABCDEFGH  ABCDEFGH  "));

    // Two hundred characters after expansion are drawn as they are.
    const std::string long198(198, 'W');
    p = Load(long198.c_str(), 36);
    EXPECT_EQ(std::wstring(198, L'W') + L"  ", p.content);
}

TEST_F(PreparedJob, ConfiguredSizesAreDrawnAtSevenTenthsAndAtMost50Point4) {
    EXPECT_FLOAT_EQ(50.4f, Load("X", 100).fontSize);
    EXPECT_FLOAT_EQ(7.0f, Load("X", 10).fontSize);
    EXPECT_FLOAT_EQ(50.4f, Load("X", 72).fontSize);
}

TEST_F(PreparedJob, SizeZeroIsTheLargestTableSizeThatKeepsTheTextOnOneLineOfThePage) {
    const int w = GetDeviceCaps(dc, HORZRES), h = GetDeviceCaps(dc, VERTRES);
    Gdiplus::GpGraphics* g = nullptr;
    ASSERT_EQ(Gdiplus::Ok, GdipCreateFromHDC(dc, &g));
    GdipSetPageUnit(g, Gdiplus::UnitPixel);
    Gdiplus::GpFontFamily* family = nullptr;
    GdipCreateFontFamilyFromName(L"Arial", nullptr, &family);
    // Width of the text on this printer at a size, measured without a box.
    auto width = [&](const std::wstring& text, float points) {
        Gdiplus::GpFont* font = nullptr;
        GdipCreateFont(family, points, 0, Gdiplus::UnitPoint, &font);
        Gdiplus::RectF none(0, 0, 0, 0), bounds;
        GdipMeasureString(g, text.c_str(), static_cast<INT>(text.size()), font, &none, nullptr, &bounds,
                          nullptr, nullptr);
        GdipDeleteFont(font);
        return bounds.Width;
    };
    struct Case {
        const char* text;
        char layout;
    };
    float fitted[4] = {};
    const Case cases[] = {{"CONFIDENTIAL", 'L'}, {"CONFIDENTIAL", 'D'},
                          {"INTERNAL USE ONLY - DO NOT DISTRIBUTE OUTSIDE THE COMPANY", 'L'},
                          {"INTERNAL USE ONLY - DO NOT DISTRIBUTE OUTSIDE THE COMPANY", 'D'}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(std::string(cases[i].text) + " " + cases[i].layout);
        const float length = cases[i].layout == 'L' ? w : std::sqrt(float(w) * w + float(h) * h);
        const WaterJob p = Load(cases[i].text, 0, cases[i].layout);
        const float size = p.fontSize / 0.7f;
        const float* at = std::find_if(std::begin(kTable), std::end(kTable),
                                       [&](float t) { return std::fabs(t - size) < 0.01f; });
        ASSERT_NE(std::end(kTable), at) << size;
        fitted[i] = size;
        std::wstring text(cases[i].text, cases[i].text + strlen(cases[i].text));
        EXPECT_LE(width(text, size), length);
        // Wine measures a little differently from Windows: a tenth of slack.
        if (at + 1 != std::end(kTable)) {
            EXPECT_GT(width(text, at[1]), length * 0.9f) << at[1];
        }
    }
    EXPECT_LT(fitted[0], fitted[1]) << "the diagonal is longer than the width";
    EXPECT_LT(fitted[2], fitted[0]) << "a longer text gets a smaller size";
    GdipDeleteFontFamily(family);
    GdipDeleteGraphics(g);
}

// A size the controller got wrong is not a size: the job's watermark is
// fitted to the page as for 0, never drawn at a size that fails every line.
TEST_F(PreparedJob, ASizeThatIsNotAFinitePositiveNumberIsFittedToThePage) {
    const char text[] = "INTERNAL USE ONLY - DO NOT DISTRIBUTE OUTSIDE THE COMPANY";
    const float fitted = Load(text, 0).fontSize;
    ASSERT_GT(fitted, 3.4f);
    ASSERT_LT(fitted, 40.0f);
    for (float size : {-12.0f, -0.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                       -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::denorm_min() * -1}) {
        SCOPED_TRACE(size);
        EXPECT_FLOAT_EQ(fitted, Load(text, size).fontSize);
    }
}

// The record cannot be read (no memory for the copy of it): no job is
// prepared, rather than one with a blank or an earlier job's watermark.
TEST_F(PreparedJob, AWatermarkThatCannotBeReadPreparesNoJob) {
    Publish("EARLIER", 36);
    ASSERT_NE(nullptr, water.LoadWaterInfo(dc));
    Publish("LATER", 36);
    LogTail log;
    FailNextAllocation();
    const std::shared_ptr<const WaterJob> job = water.LoadWaterInfo(dc);
    EXPECT_FALSE(t_failNext) << "the failure came";
    EXPECT_EQ(nullptr, job) << (job ? text::WideToAnsi(job->content).substr(0, 20) : std::string());
    EXPECT_EQ(1, log.CountContaining("Read WaterInfo Fail. hdc="));
    ASSERT_NE(nullptr, water.LoadWaterInfo(dc)) << "readable again";
}

// Jobs allowed at the same moment on two threads each get the watermark
// their record gives, never a mix of the two preparations.
TEST_F(PreparedJob, JobsPreparedAtOnceOnTwoThreadsEachGetTheirOwnWatermark) {
    Publish("CONFIDENTIAL ${date}", 0);
    const WaterJob reference = *water.LoadWaterInfo(dc);
    HDC other = watertest::CreateWaterPrinterDc(DMPAPER_A4);
    ASSERT_NE(nullptr, other);
    std::atomic<int> mixed{0};
    auto prepare = [&](HDC device) {
        for (int i = 0; i < 15; ++i) {
            const std::shared_ptr<const WaterJob> job = water.LoadWaterInfo(device);
            if (!job || job->fontSize != reference.fontSize || job->content.size() != reference.content.size())
                ++mixed;
        }
    };
    std::thread a(prepare, dc), b(prepare, other);
    a.join();
    b.join();
    DeleteDC(other);
    EXPECT_EQ(0, mixed);
}

// A job prepared while another prints changes nothing of the running job's
// pages: they keep its lines, its size and its date.
TEST_F(PreparedJob, AJobPreparedWhileAnotherPrintsLeavesTheRunningJobsPagesAlone) {
    Publish("FIRST JOB", 50, 'L');
    const std::shared_ptr<const WaterJob> first = water.LoadWaterInfo(dc);
    ASSERT_NE(nullptr, first);
    ASSERT_TRUE(watertest::StartWaterJob(dc));
    water.AddNeedPrintWaterHDC(dc, first);
    HDC other = watertest::CreateWaterPrinterDc(DMPAPER_A4);
    ASSERT_NE(nullptr, other);
    Publish("SECOND JOB ${date}", 20, 'D');
    ASSERT_NE(nullptr, water.LoadWaterInfo(other));
    DeleteDC(other);
    EXPECT_EQ("", water.PrintStringWater(dc, WaterPass::kUnderlay));
    water.DeleteNeedPrintWaterHDC(dc);
    const watertest::PagePixels page = watertest::EndWaterJob(dc);
    ASSERT_GT(page.width, 0);
    // One horizontal line of the first job's 35 points, centred on the page.
    const double em = 35.0 / 72 * watertest::kPrintedDpi;
    const auto bands = watertest::InkBands(page, static_cast<int>(em));
    ASSERT_EQ(1u, bands.size());
    EXPECT_LT(bands[0].second - bands[0].first, 1.6 * em) << "a horizontal line, not a diagonal one";
}

// Reading a page while another process stalls in a store write must not hold
// up this process's pages: the record is read with no lock of the watermark
// held, so another thread's StartPage and EndPage go on.
TEST_F(PreparedJob, AStoreWriteStalledInAnotherProcessDoesNotHoldUpOtherPages) {
    Publish("STALLED", 36);
    HANDLE stalled = CreateEventA(nullptr, TRUE, FALSE, nullptr), release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread writer([&] {
        store::LockedWrite w;  // "HookMutex" held, the write flag set
        SetEvent(stalled);
        WaitForSingleObject(release, 60000);
    });
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(stalled, 30000));
    std::thread preparing([&] { water.LoadWaterInfo(dc); });
    Sleep(1000);  // the preparation is waiting for the store by now
    HANDLE asked = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread page([&] {
        water.IsNeedPrintWaterHDC(dc);
        water.ClearPageWaterAdded(dc);
        SetEvent(asked);
    });
    const DWORD answered = WaitForSingleObject(asked, 10000);
    SetEvent(release);
    writer.join();
    preparing.join();
    page.join();
    EXPECT_EQ(WAIT_OBJECT_0, answered) << "a page waited for the store write";
    CloseHandle(asked);
    CloseHandle(stalled);
    CloseHandle(release);
}

// Nothing the font enumeration's callback raises may cross the system's
// frames: an allocation that fails there ends the enumeration, not the
// application.
TEST_F(PreparedJob, AnAllocationThatFailsInTheFontEnumerationEndsOnlyTheEnumeration) {
    FailNextAllocation();
    const std::wstring chosen = SelectWaterFont(dc);
    EXPECT_FALSE(t_failNext) << "the failure came";
    EXPECT_EQ(L"Arial", chosen);
    EXPECT_EQ(L"Arial", SelectWaterFont(dc));
}

TEST_F(PreparedJob, ADeviceWithoutSimSunGetsArial) {
    bool simSun = false;
    LOGFONTA all{};
    all.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExA(dc, &all, NoteSimSun, reinterpret_cast<LPARAM>(&simSun), 0);
    ASSERT_FALSE(simSun) << "this code page names no family with the SimSun bytes";
    EXPECT_EQ(L"Arial", Load("X", 20).fontName);
}

TEST_F(PreparedJob, ContentFillingTheWholeFieldIsReadToTheFieldsEndOnly) {
    Load("X", 36);  // the object now holds a size, the bytes after the record
    static WaterInfo info;
    memset(&info, 0, sizeof info);
    info.chLayout = 'L';
    info.fFontSize = 36;
    info.wLineCount = 1;
    memset(info.szContent, 'Z', sizeof info.szContent);  // no terminator
    store::SetWaterInfo(&info);
    const std::shared_ptr<const WaterJob> job = water.LoadWaterInfo(dc);
    ASSERT_NE(nullptr, job);
    EXPECT_EQ(std::wstring(sizeof info.szContent, L'Z') + L"  ", job->content);
}

}  // namespace
