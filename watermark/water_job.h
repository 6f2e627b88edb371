#pragma once
// One print job's watermark: the controller's record turned into what every
// page of the job draws, when the job is allowed. It is a value of the job
// alone, made from the record and the job's device: two jobs prepared at once
// on two threads, or a job prepared while another one prints, never see each
// other's text, date or size.
#include <windows.h>

#include <ctime>
#include <string>

#include "store/hook_info.h"
#include "watermark/water_surface.h"

struct WaterJob {
    std::wstring content;   // the template with the job's date and time, repeated
    std::wstring fontName;  // the family chosen for the job's device
    float fontSize = 0;     // points, as drawn
    char layout = 0;        // chLayout of the record
    WORD lineCount = 0;     // wLineCount
    WORD opacity = 0;       // wOpacity
};

// The record's fFontSize as the job reads it: a finite positive size as it
// is, anything else (0, negative, infinite, not a number) 0, which fits the
// size to the page.
float RecordFontSize(float fFontSize);

// The job of info on a page: the families of fontDevice (the printer, or any
// device context for a page that has none of its own), the size fitted to
// the page when the record leaves it open, the date and time of `when`.
WaterJob PrepareWaterJob(const WaterInfo& info, HDC fontDevice, const WaterSurface& page, time_t when);

// The steps, in order.
// The template's fields filled in with `when`, in the ANSI code page's text,
// as a wide string.
std::wstring BuildWaterContent(const WaterInfo& info, time_t when);
// "宋体" (SimSun under its code page 936 name) when the device lists that
// family, else "Arial".
std::wstring SelectWaterFont(HDC hdc);
// The record's size, or the largest size of the fitting table at which the
// whole text stays on one line of the page's width ("L") or diagonal; at most
// 72, drawn at 0.7 times.
float FitWaterFontSize(const WaterSurface& page, const std::wstring& content, const std::wstring& family,
                       float recordSize, char layout);
// Short text repeated to at least 200 characters, which runs past the end of
// every line.
std::wstring RepeatWaterContent(const std::wstring& content);
