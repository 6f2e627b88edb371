#pragma once
// Where the watermark's lines lie on a page, in device pixels.
//
// Horizontal layout ("L"): each line's box starts half an em in from the left,
// runs to half an em before the right edge, one line high, centred on a tenth,
// half or nine tenths of the page height. Any other layout runs diagonally
// from the lower left to the upper right of the box A x B (A = W - em,
// B = H - line height): the centre line along its diagonal, the other two
// parallel to it a third of the box away, two thirds as long.
#include <windows.h>

#include <vector>

struct WaterGeometry {
    float width = 0;       // W
    float height = 0;      // H
    float em = 0;          // s: the font size in pixels
    float lineHeight = 0;  // fh
};

struct WaterLine {
    float x = 0;           // upper-left corner of the line's box before rotation
    float y = 0;
    float length = 0;      // the box's width along the line
    float angle = 0;       // rotation in degrees, negative rises to the right
    int callNumber = 0;    // names the line in the failure log
};

// How many lines a page gets: 1 or 2 as the record says, anything else 3.
unsigned WaterLineRows(unsigned lineCount);

// The lines of one page in drawing order.
std::vector<WaterLine> WaterLines(const WaterGeometry& g, char layout, unsigned lineCount);

// The rise of the diagonal lines in degrees: atan(B / A) with the angle
// converted at 3.14159 to the half turn.
float WaterSlopeDegrees(const WaterGeometry& g);

// The device-pixel box that a line's glyphs can reach, with a margin for
// glyphs that overhang their layout box.
RECT WaterLineBounds(const WaterLine& line, float lineHeight);

// A line's angle as GDI+ turns it (degrees) in radians, for placing its
// points by hand.
inline double WaterAngleRadians(float degrees) { return static_cast<double>(degrees) * 3.14159265358979323846 / 180; }
