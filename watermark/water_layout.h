#pragma once
// The watermark's lines as glyphs: which characters each line shows and where
// each of them sits on the page. Laid out once for a prepared watermark on a
// page of a given size, then drawn page after page without measuring again.
//
// A line shows the text from its beginning up to a line break or to the last
// whole word that fits in the line's box less GDI+'s margin of a sixth of an
// em at each end, without the spaces it would end on, as GDI+'s string
// layout breaks it (a single word longer than the line is cut after its last
// whole character). Each glyph's
// origin is on the baseline, the font's ascent below the top of the box, and
// the glyphs follow one another by the font's advances at the page's
// resolution.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>
#include <string>
#include <vector>

#include "watermark/water_geometry.h"

// What a layout is made from.
struct WaterLayoutKey {
    std::wstring content;   // as drawn: expanded and repeated
    std::wstring fontName;
    float fontSize = 0;     // points
    char layout = 0;        // chLayout
    unsigned lineCount = 0; // wLineCount
    int width = 0;          // page pixels (HORZRES)
    int height = 0;         // (VERTRES)
    int dpi = 0;            // horizontal resolution
    float lineHeight = 0;   // GDI+ line height of the font on the page
    bool operator==(const WaterLayoutKey&) const = default;
};

struct WaterLayout {
    WaterLayoutKey key;
    std::vector<WaterLine> lines;  // in drawing order
    // Whether the lines are drawn glyph by glyph from the rows below: only
    // when the font has every character of the row and none of them needs
    // shaping. Otherwise each line is drawn as a string, which lets GDI+ find
    // another font for a missing character and shape complex scripts, and the
    // rows are empty.
    bool byGlyphs = false;
    // Every line has the same rotation; the origins are in the page's pixels
    // turned by it about the page's corner, so that all of them can be drawn
    // with one world transform.
    float angle = 0;
    struct Row {
        size_t first = 0;  // into glyphs and origins
        size_t count = 0;
    };
    std::vector<Row> rows;                 // one per line
    std::wstring glyphs;                   // the rows' characters, one row after another
    std::vector<Gdiplus::PointF> origins;  // one per character
};

std::shared_ptr<const WaterLayout> LayOutWater(const WaterLayoutKey& key);
