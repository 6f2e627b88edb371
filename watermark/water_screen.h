#pragma once
// Translucent ink on a device that cannot blend.
//
// A printer whose driver reports no alpha blending (Wine's PostScript driver
// among them: GDI+ then reads the page back as black and prints an opaque
// box over the content) gets translucent black as a screen instead: opaque
// ink on a fraction of fine stripes, holes between them. Averaged over a
// stripe period the tone is (1 - coverage) times what lies beneath, which is
// what blending black at that alpha gives, and the content shows through the
// holes. Printers render every tone as a pattern of ink dots; this pattern is
// one the device can print.
#include <windows.h>

#include <vector>

namespace Gdiplus {
class GpGraphics;
}

// True when the device blends translucent ink itself (constant or per-pixel
// alpha in SHADEBLENDCAPS).
bool DeviceBlends(HDC hdc);

// The stripes of one screen inside areas (device pixels), as a region: the
// coverage of each stripe period. The period is the device's resolution
// across the stripes over 75 (at least 2 pixels); for lines of text taller
// than 24 such periods, a 24th of a line, up to the resolution over 50. Made
// once for the pages of a job.
// Coverage 1 or more clips nothing, 0 or less clips everything.
//
// A printer's driver sends the clip's every rectangle with each page (Wine's
// PostScript driver as four lines, each its own write to the spool file), and
// one stripe is one rectangle: the stripes run across the areas' shorter
// extent, rows for a horizontal line, columns for turned lines that span a
// portrait page's height.
class ScreenStripes {
public:
    // lineHeight: of the watermark's lines, in device pixels down the page.
    ScreenStripes(int dpiX, int dpiY, float coverage, float lineHeight, std::vector<RECT> areas);
    ~ScreenStripes();
    ScreenStripes(const ScreenStripes&) = delete;
    ScreenStripes& operator=(const ScreenStripes&) = delete;

    // Whether these are the stripes that the same arguments would make.
    bool Fits(int dpiX, int dpiY, float coverage, float lineHeight, const std::vector<RECT>& areas) const;
    // Whether the stripes are columns (else rows), and how many rectangles
    // the region has.
    bool Columns() const { return columns_; }
    size_t RectangleCount() const { return count_; }

private:
    friend class ScreenDoorClip;
    int dpiX_;
    int dpiY_;
    float coverage_;
    float lineHeight_;
    std::vector<RECT> areas_;
    HRGN region_ = nullptr;  // null with coverage below 1: it could not be made
    bool columns_ = false;
    size_t count_ = 0;
};

// While it lives, the page draws only on the stripes (none given: anywhere).
// The clip is added to the page's own, on a device context before GDI+ takes
// it over, or on a bitmap's drawing surface; the state is restored when it
// ends.
class ScreenDoorClip {
public:
    ScreenDoorClip(HDC hdc, const ScreenStripes* stripes);
    ScreenDoorClip(Gdiplus::GpGraphics* graphics, const ScreenStripes* stripes);
    ~ScreenDoorClip();
    ScreenDoorClip(const ScreenDoorClip&) = delete;
    ScreenDoorClip& operator=(const ScreenDoorClip&) = delete;

private:
    HDC hdc_ = nullptr;
    int saved_ = 0;
    Gdiplus::GpGraphics* graphics_ = nullptr;
    unsigned state_ = 0;
};
