// The watermark on a page, measured on its pixels: A4 bitmaps at 150 dpi drawn
// through the same preparation and passes as a printed page.
#include <gtest/gtest.h>
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <string>

#include "companions/zelctl/preview_page.h"
#include "tests/watermark/page_pixels.h"
#include "watermark/water_geometry.h"
#include "watermark/water_job.h"
#include "watermark/water_layout.h"
#include "watermark/water_pass.h"

using watertest::InkBands;
using watertest::InkOf;
using watertest::PagePixels;
using zelctl::PreviewPage;

namespace {

constexpr int kDpi = 150;
constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kBlue = 0xFF0000FF;

struct Job {
    char layout = 'L';
    float size = 50;  // drawn at 35 points
    WORD opacity = 100;
    WORD lines = 1;
    const char* text = "CONFIDENTIAL";
};

// One page: the job prepared for it, then each pass drawn in turn on paper of
// the given colour.
PagePixels Render(const Job& job, std::initializer_list<WaterPass> passes, bool landscape = false,
                  uint32_t paper = kWhite) {
    static WaterInfo info;
    memset(&info, 0, sizeof info);
    info.chLayout = job.layout;
    info.fFontSize = job.size;
    info.wOpacity = job.opacity;
    info.wLineCount = job.lines;
    strcpy(info.szContent, job.text);
    PreviewPage page(kDpi, landscape);
    EXPECT_TRUE(page.ok());
    if (!page.ok()) return {};
    Gdiplus::DllExports::GdipGraphicsClear(page.surface().graphics, paper);
    HDC fonts = CreateCompatibleDC(nullptr);
    const WaterJob prepared = PrepareWaterJob(info, fonts, page.surface(), time(nullptr));
    DeleteDC(fonts);
    WaterPage sheet;
    sheet.surface = page.surface();
    WaterPageCache cache;
    for (WaterPass pass : passes) DrawWaterPass(prepared, sheet, pass, cache);
    return watertest::ReadBitmap(page.bitmap());
}

double Em(float size) { return size * 0.7 / 72 * kDpi; }

// One horizontal line of Arial on an A4 page.
WaterLayoutKey LineOnA4(float size) {
    WaterLayoutKey key;
    key.fontName = L"Arial";
    key.fontSize = size;
    key.layout = 'L';
    key.lineCount = 1;
    key.width = 1240;
    key.height = 1754;
    key.dpi = kDpi;
    key.lineHeight = 1.15f * static_cast<float>(Em(50));
    return key;
}

TEST(WaterRendering, OneHorizontalLineLiesInABandCentredOnHalfThePageHeight) {
    const PagePixels page = Render({}, {WaterPass::kUnderlay, WaterPass::kOverlay});
    const double em = Em(50);
    const auto bands = InkBands(page, static_cast<int>(em));
    ASSERT_EQ(1u, bands.size());
    const watertest::InkBox ink = InkOf(page);
    // Capitals sit a little above the middle of their line box.
    EXPECT_NEAR(page.height / 2.0, ink.CentreY(), 0.15 * em);
    EXPECT_GE(ink.minY, page.height / 2.0 - 0.6 * em);
    EXPECT_LE(ink.maxY, page.height / 2.0 + 0.6 * em);
    // GDI+ sets text a sixth of an em into its box.
    EXPECT_GE(ink.minX, em / 2 - 1) << "the line starts half an em in";
    EXPECT_LE(ink.minX, em / 2 + 0.3 * em);
    EXPECT_LE(ink.maxX, page.width - em / 2);
    EXPECT_GT(ink.maxX, page.width / 2) << "the text runs along the page";
}

TEST(WaterRendering, HorizontalLinesLieAtATenthHalfAndNineTenthsAndAnyOtherCountDrawsThree) {
    const struct {
        WORD lines;
        std::vector<double> centres;
    } cases[] = {{1, {0.5}}, {2, {0.1, 0.9}}, {3, {0.1, 0.5, 0.9}}, {0, {0.1, 0.5, 0.9}}, {5, {0.1, 0.5, 0.9}}};
    const double em = Em(50);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines);
        Job job;
        job.lines = c.lines;
        const PagePixels page = Render(job, {WaterPass::kOverlay});
        const auto bands = InkBands(page, static_cast<int>(em));
        ASSERT_EQ(c.centres.size(), bands.size());
        for (size_t i = 0; i < bands.size(); ++i)
            EXPECT_NEAR(c.centres[i] * page.height, (bands[i].first + bands[i].second) / 2.0, 0.15 * em);
    }
}

TEST(WaterRendering, DiagonalLinesRiseSteeperThan45DegreesOnPortraitFlatterOnLandscape) {
    Job job;
    job.layout = 'D';
    job.size = 40;
    const float em = static_cast<float>(Em(job.size));
    for (WORD lines : {3, 0, 5}) {
        for (bool landscape : {false, true}) {
            SCOPED_TRACE(std::to_string(lines) + (landscape ? " landscape" : " portrait"));
            job.lines = lines;
            const PagePixels page = Render(job, {WaterPass::kUnderlay}, landscape);
            const double slope = watertest::InkSlopeDegrees(page);
            // The box's diagonal, from the page and a line height of 1.15 em.
            WaterGeometry g{float(page.width), float(page.height), em, 1.15f * em};
            EXPECT_NEAR(WaterSlopeDegrees(g), slope, 2.5);
            if (landscape) {
                EXPECT_LT(slope, 45);
            } else {
                EXPECT_GT(slope, 45);
            }
            EXPECT_EQ(3, watertest::InkLinesAcross(page, slope, static_cast<int>(em)));
        }
    }
    job.lines = 1;
    EXPECT_EQ(1, watertest::InkLinesAcross(Render(job, {WaterPass::kOverlay}), 55, static_cast<int>(em)));
}

TEST(WaterRendering, OpacityZeroLeavesThePageWhite) {
    Job job;
    job.opacity = 0;
    job.layout = 'D';
    job.lines = 3;
    const PagePixels page = Render(job, {WaterPass::kUnderlay, WaterPass::kOverlay, WaterPass::kPdfOverlay});
    EXPECT_EQ(0, InkOf(page, 255).count) << "not one pixel off white";
}

TEST(WaterRendering, UnderlayIsOpaqueGreyOverlayIsTranslucentBlack) {
    // Blue paper stands for the page's content: the underlay covers it, the
    // overlay lets it through.
    const uint32_t under = watertest::CommonInkColour(Render({}, {WaterPass::kUnderlay}, false, kBlue), kBlue);
    EXPECT_NEAR(155, watertest::Red(under), 3);
    EXPECT_NEAR(155, watertest::Green(under), 3);
    EXPECT_NEAR(155, watertest::Blue(under), 3);
    const uint32_t over = watertest::CommonInkColour(Render({}, {WaterPass::kOverlay}, false, kBlue), kBlue);
    EXPECT_EQ(0, watertest::Red(over));
    EXPECT_EQ(0, watertest::Green(over));
    EXPECT_NEAR(155, watertest::Blue(over), 3);
}

TEST(WaterRendering, PdfOverlayIsTwiceAsOpaqueAndNoStrengthWrapsRoundToFaint) {
    const auto ink = [](WaterPass pass, WORD opacity) {
        Job job;
        job.opacity = opacity;
        return watertest::Red(watertest::CommonInkColour(Render(job, {pass}), kWhite));
    };
    EXPECT_NEAR(155, ink(WaterPass::kOverlay, 100), 3);
    EXPECT_NEAR(55, ink(WaterPass::kPdfOverlay, 100), 3);
    // Twice 128 and twice 200 are past full strength, and so is anything above
    // 255 in every pass: black, not a faint grey.
    EXPECT_LE(ink(WaterPass::kPdfOverlay, 128), 3);
    EXPECT_LE(ink(WaterPass::kPdfOverlay, 200), 3);
    for (WaterPass pass : {WaterPass::kUnderlay, WaterPass::kOverlay, WaterPass::kPdfOverlay})
        EXPECT_LE(ink(pass, 300), 3) << static_cast<int>(pass);
}

// Lines are laid out glyph by glyph only for text the font shows as it is;
// anything else (a character the font lacks, a script that needs shaping) is
// drawn as a string, in the same place.
TEST(WaterRendering, TextTheGlyphRowsCannotShowIsDrawnAsAString) {
    WaterLayoutKey key = LineOnA4(35);
    const struct {
        const wchar_t* content;
        bool byGlyphs;
    } cases[] = {
        {L"CONFIDENTIAL 2026-12-07 ", true},
        {L"CONFIDENTIAL\n\x0627\x0644\x0633", true},  // only the first row is drawn
        {L"\x0633\x0631\x064A CONFIDENTIAL", false},   // Arabic is shaped
        {L"CONFIDENTIAL \xD83D\xDD12", false},          // a surrogate pair
        {L"CONFIDENTIAL \xE000", false},                 // no glyph in the font
    };
    for (const auto& c : cases) {
        key.content = c.content;
        const auto layout = LayOutWater(key);
        EXPECT_EQ(c.byGlyphs, layout->byGlyphs) << static_cast<int>(&c - cases);
        EXPECT_EQ(1u, layout->lines.size());
        EXPECT_EQ(c.byGlyphs ? 1u : 0u, layout->rows.size());
    }

    // A code-page byte without a character becomes a control character that
    // no font draws.
    Job plain, odd;
    odd.text = "CONFIDENTIAL\x81";
    const watertest::InkBox a = InkOf(Render(plain, {WaterPass::kUnderlay}));
    const watertest::InkBox b = InkOf(Render(odd, {WaterPass::kUnderlay}));
    ASSERT_GT(b.count, a.count / 2) << "the string is drawn";
    EXPECT_NEAR(a.CentreY(), b.CentreY(), 0.1 * Em(50));
    EXPECT_NEAR(a.minX, b.minX, 0.1 * Em(50));
    EXPECT_NEAR(a.maxY - a.minY, b.maxY - b.minY, 0.1 * Em(50));
}

// A glyph row breaks where the string layout breaks it: after the last whole
// word that fits, not in the middle of one; a single word longer than the row
// is cut after its last whole character.
TEST(WaterRendering, GlyphRowsEndAtTheLastWholeWordThatFits) {
    WaterLayoutKey key = LineOnA4(20);
    std::wstring words;
    while (words.size() < 200) words += L"CONFIDENTIAL 2026-12-07 ";
    // Pages of every width up to A4: wherever the line ends.
    for (int width = 600; width <= 1240; width += 10) {
        SCOPED_TRACE(width);
        key.width = width;
        key.content = words;
        const auto layout = LayOutWater(key);
        ASSERT_TRUE(layout->byGlyphs);
        ASSERT_EQ(1u, layout->rows.size());
        const size_t n = layout->rows[0].count;
        ASSERT_GT(n, words.find(L' ')) << "more than one word fits";
        EXPECT_EQ(L' ', words[n]) << "ends inside \"" << std::string(words.begin() + n - 5, words.begin() + n + 5).c_str()
                                  << "\"";
        EXPECT_NE(L' ', words[n - 1]);

        key.content = std::wstring(300, L'W');
        const auto word = LayOutWater(key);
        ASSERT_EQ(1u, word->rows.size());
        EXPECT_GT(word->rows[0].count, 10u) << "one long word is cut, not dropped";
        EXPECT_LT(word->rows[0].count, 300u);
    }
}

}  // namespace
