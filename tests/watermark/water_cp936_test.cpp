// The watermark under the Chinese ANSI code page: a record's text in code page
// 936 bytes is drawn in the SimSun family. Runs as watermark_cp936_test, with
// the build tree's zh_CN locale.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <ctime>

#include "companions/zelctl/preview_page.h"
#include "tests/watermark/page_pixels.h"
#include "watermark/water_job.h"
#include "watermark/water_pass.h"

namespace {

TEST(CodePage936, ChineseTextIsPreparedAndDrawnInSimSun) {
    ASSERT_EQ(936u, GetACP()) << "run with LOCPATH and LANG of the zh_CN locale";
    static WaterInfo info;
    memset(&info, 0, sizeof info);
    info.chLayout = 'L';
    info.fFontSize = 60;
    info.wOpacity = 200;
    info.wLineCount = 1;
    strcpy(info.szContent, "\xBB\xFA\xC3\xDC${date}");  // "confidential" in code page 936

    zelctl::PreviewPage page(150, false);
    ASSERT_TRUE(page.ok());
    HDC fonts = CreateCompatibleDC(nullptr);
    const WaterJob p = PrepareWaterJob(info, fonts, page.surface(), time(nullptr));
    DeleteDC(fonts);
    EXPECT_EQ(L"\x5B8B\x4F53", p.fontName);
    EXPECT_EQ(0u, p.content.find(L"\x673A\x5BC6 ")) << "the two characters, then the date";
    EXPECT_EQ(16u * 13, p.content.size()) << "16 characters, repeated 13 times";
    EXPECT_NEAR(42.0f, p.fontSize, 0.001f);

    WaterPage sheet;
    sheet.surface = page.surface();
    WaterPageCache cache;
    EXPECT_EQ("", DrawWaterPass(p, sheet, WaterPass::kOverlay, cache));
    const watertest::PagePixels pixels = watertest::ReadBitmap(page.bitmap());
    const watertest::InkBox ink = watertest::InkOf(pixels);
    // The two characters at 42 points are solid shapes, not empty boxes.
    EXPECT_GT(ink.count, 5000);
    EXPECT_NEAR(pixels.height / 2.0, ink.CentreY(), 0.2 * 42 / 72 * 150);
}

}  // namespace
