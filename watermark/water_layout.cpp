#include "watermark/water_layout.h"

#include <algorithm>
#include <cmath>

namespace {

// The advances of the font at the page's resolution: on a memory device
// context, in pixels, whatever device the page belongs to.
struct Measured {
    std::vector<int> extents;  // extents[k]: width of the first k + 1 characters
    int ascent = 0;
    bool allGlyphs = false;    // the font has a glyph for every character of the first row
};

// Characters that take part in shaping, combining or reordering, which
// placing glyphs one by one would get wrong; the string path lays them out.
constexpr struct {
    wchar_t first, last;
} kShapedRanges[] = {
    {0x0300, 0x036F},  // combining marks
    {0x0590, 0x08FF},  // Hebrew, Arabic, Syriac, Thaana, NKo and their supplements
    {0x0900, 0x0DFF},  // Indic scripts
    {0x0E00, 0x0FFF},  // Thai, Lao, Tibetan
    {0x1000, 0x109F},  // Myanmar
    {0x1100, 0x11FF},  // Hangul jamo
    {0x1780, 0x18AF},  // Khmer, Mongolian
    {0x200B, 0x200F},  // joiners and direction marks
    {0x202A, 0x202E},  // direction embeddings
    {0xD800, 0xDFFF},  // surrogate pairs
    {0xFB1D, 0xFDFF},  // Hebrew and Arabic presentation forms
    {0xFE00, 0xFE0F},  // variation selectors
    {0xFE20, 0xFE2F},  // combining half marks
    {0xFE70, 0xFEFE},  // Arabic presentation forms
};

bool NeedsShaping(const std::wstring& text, size_t end) {
    for (size_t k = 0; k < end; ++k)
        for (const auto& r : kShapedRanges)
            if (text[k] >= r.first && text[k] <= r.last) return true;
    return false;
}

size_t FirstRowEnd(const std::wstring& text) {
    size_t end = text.find(L'\n');
    if (end == std::wstring::npos) return text.size();
    return end > 0 && text[end - 1] == L'\r' ? end - 1 : end;
}

Measured Measure(const std::wstring& text, const std::wstring& fontName, float em) {
    Measured m;
    if (text.empty()) return m;
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return m;
    LOGFONTW lf{};
    lf.lfHeight = -static_cast<LONG>(std::lround(em));
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, fontName.c_str(), LF_FACESIZE);
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    TEXTMETRICW tm{};
    SIZE size{};
    std::vector<int> extents(text.size());
    if (font && GetTextMetricsW(dc, &tm) &&
        GetTextExtentExPointW(dc, text.c_str(), static_cast<int>(text.size()), 0, nullptr, extents.data(), &size)) {
        m.extents.swap(extents);
        m.ascent = tm.tmAscent;
        const size_t end = FirstRowEnd(text);
        std::vector<WORD> glyphs(end + 1);
        m.allGlyphs = GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(end), glyphs.data(),
                                       GGI_MARK_NONEXISTING_GLYPHS) != GDI_ERROR &&
                      std::find(glyphs.begin(), glyphs.begin() + static_cast<long>(end), 0xFFFF) ==
                          glyphs.begin() + static_cast<long>(end);
    }
    if (old) SelectObject(dc, old);
    if (font) DeleteObject(font);
    DeleteDC(dc);
    return m;
}

// How many characters of the text the row shows when at most `room` pixels
// are free, as the string layout breaks it: up to a line break, whole words
// (a word longer than the whole row is cut after its last whole character),
// no spaces at the end.
size_t RowLength(const std::wstring& text, const std::vector<int>& extents, float room) {
    if (room < 0.5f || extents.size() != text.size()) return 0;
    const size_t end = FirstRowEnd(text);
    const int width = static_cast<int>(room + 0.005f);
    size_t fit = std::upper_bound(extents.begin(), extents.begin() + static_cast<long>(end), width) - extents.begin();
    if (fit < end && text[fit] != L' ') {
        size_t wordStart = fit;
        while (wordStart > 0 && text[wordStart - 1] != L' ') --wordStart;
        if (wordStart > 0) fit = wordStart;
    }
    while (fit > 0 && text[fit - 1] == L' ') --fit;
    return fit;
}

}  // namespace

std::shared_ptr<const WaterLayout> LayOutWater(const WaterLayoutKey& key) {
    auto layout = std::make_shared<WaterLayout>();
    layout->key = key;
    WaterGeometry g;
    g.width = static_cast<float>(key.width);
    g.height = static_cast<float>(key.height);
    g.em = key.fontSize / 72 * static_cast<float>(key.dpi);
    g.lineHeight = key.lineHeight;
    layout->lines = WaterLines(g, key.layout, key.lineCount);
    if (!layout->lines.empty() && std::isfinite(layout->lines[0].angle)) layout->angle = layout->lines[0].angle;

    // GDI+ leaves tabs out of the text it lays out.
    std::wstring text;
    for (wchar_t c : key.content)
        if (c != L'\t') text += c;
    const Measured measured = Measure(text, key.fontName, g.em);
    layout->byGlyphs = measured.allGlyphs && !NeedsShaping(text, FirstRowEnd(text));
    if (!layout->byGlyphs) return layout;
    const float margin = g.em / 6;

    const double turn = WaterAngleRadians(layout->angle);
    const double c = std::cos(turn), s = std::sin(turn);
    for (const WaterLine& line : layout->lines) {
        WaterLayout::Row row;
        row.first = layout->glyphs.size();
        row.count = RowLength(text, measured.extents, line.length - 2 * margin);
        // The line's start, in the page turned back by the lines' angle.
        const double startX = line.x * c + line.y * s;
        const double startY = -line.x * s + line.y * c;
        for (size_t k = 0; k < row.count; ++k) {
            const double along = margin + (k ? measured.extents[k - 1] : 0);
            layout->origins.emplace_back(static_cast<float>(startX + along),
                                         static_cast<float>(startY + measured.ascent));
        }
        layout->glyphs.append(text, 0, row.count);
        layout->rows.push_back(row);
    }
    return layout;
}
