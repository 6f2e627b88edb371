#include "watermark/water_layout.h"

#include <algorithm>
#include <cmath>

namespace {

// The advances of the font at the page's resolution: on a memory device
// context, in pixels, whatever device the page belongs to.
struct Measured {
    std::vector<int> extents;  // extents[k]: width of the first k + 1 characters
    int ascent = 0;
};

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
    }
    if (old) SelectObject(dc, old);
    if (font) DeleteObject(font);
    DeleteDC(dc);
    return m;
}

// How many characters of the text the row shows when at most `room` pixels
// are free: up to a line break, whole characters, no spaces at the end.
size_t RowLength(const std::wstring& text, const std::vector<int>& extents, float room) {
    if (room < 0.5f || extents.size() != text.size()) return 0;
    size_t end = text.find(L'\n');
    if (end == std::wstring::npos) end = text.size();
    else if (end > 0 && text[end - 1] == L'\r') --end;
    const int width = static_cast<int>(room + 0.005f);
    size_t fit = std::upper_bound(extents.begin(), extents.begin() + static_cast<long>(end), width) - extents.begin();
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
    const float margin = g.em / 6;

    const double turn = static_cast<double>(layout->angle) * 3.14159265358979323846 / 180;
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
