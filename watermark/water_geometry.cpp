#include "watermark/water_geometry.h"

#include <algorithm>
#include <cmath>

namespace {

// Horizontal lines: centre of each as a fraction of the page height.
struct HorizontalRow {
    unsigned lines;
    float centre;
    int callNumber;
};
constexpr HorizontalRow kHorizontalLines[] = {
    {1, 0.5f, 1568},
    {2, 0.1f, 1579}, {2, 0.9f, 1588},
    {3, 0.1f, 1600}, {3, 0.5f, 1609}, {3, 0.9f, 1618},
};

enum class Diagonal { kUpperLeft, kCentre, kLowerRight };
struct DiagonalRow {
    unsigned lines;
    Diagonal line;
    int callNumber;
};
constexpr DiagonalRow kDiagonalLines[] = {
    {1, Diagonal::kCentre, 1657},
    {2, Diagonal::kUpperLeft, 1675}, {2, Diagonal::kLowerRight, 1690},
    {3, Diagonal::kUpperLeft, 1708}, {3, Diagonal::kCentre, 1723}, {3, Diagonal::kLowerRight, 1738},
};

}  // namespace

unsigned WaterLineRows(unsigned lineCount) { return lineCount == 1 || lineCount == 2 ? lineCount : 3; }

float WaterSlopeDegrees(const WaterGeometry& g) {
    const float a = g.width - g.em;
    const float b = g.height - g.lineHeight;
    return static_cast<float>(std::atan(b / a) * 90 * 2 / 3.14159);
}

std::vector<WaterLine> WaterLines(const WaterGeometry& g, char layout, unsigned lineCount) {
    const unsigned rows = WaterLineRows(lineCount);
    std::vector<WaterLine> lines;
    if (layout == 'L') {
        for (const auto& row : kHorizontalLines) {
            if (row.lines != rows) continue;
            lines.push_back({g.em / 2, row.centre * g.height - g.lineHeight / 2, g.width - g.em, 0,
                             row.callNumber});
        }
        return lines;
    }
    const float a = g.width - g.em;
    const float b = g.height - g.lineHeight;
    const float full = std::sqrt(a * a + b * b);
    const float twoThirds = std::sqrt((2 * a / 3) * (2 * a / 3) + (2 * b / 3) * (2 * b / 3));
    const float angle = -WaterSlopeDegrees(g);
    for (const auto& row : kDiagonalLines) {
        if (row.lines != rows) continue;
        switch (row.line) {
            case Diagonal::kUpperLeft: lines.push_back({0, 2 * b / 3, twoThirds, angle, row.callNumber}); break;
            case Diagonal::kCentre: lines.push_back({0, b, full, angle, row.callNumber}); break;
            case Diagonal::kLowerRight:
                lines.push_back({a - 2 * a / 3, b, twoThirds, angle, row.callNumber});
                break;
        }
    }
    return lines;
}

RECT WaterLineBounds(const WaterLine& line, float lineHeight) {
    const double turn = WaterAngleRadians(line.angle);
    const double c = std::cos(turn), s = std::sin(turn);
    const double xs[] = {0, line.length, 0, line.length};
    const double ys[] = {0, 0, lineHeight, lineHeight};
    double left = 1e30, top = 1e30, right = -1e30, bottom = -1e30;
    for (int i = 0; i < 4; ++i) {
        const double x = line.x + xs[i] * c - ys[i] * s;
        const double y = line.y + xs[i] * s + ys[i] * c;
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    const double margin = lineHeight / 4 + 2;
    return RECT{static_cast<LONG>(std::floor(left - margin)), static_cast<LONG>(std::floor(top - margin)),
                static_cast<LONG>(std::ceil(right + margin)), static_cast<LONG>(std::ceil(bottom + margin))};
}
