#pragma once
// The display device contexts this process created (CreateDCA/W for the
// driver "DISPLAY" or a display device such as "\\.\DISPLAY1"): copies out of
// them read the screen. Several are remembered, not only the last; a handle
// value that comes back for another kind of device context after the display
// context was deleted no longer counts.
#include <windows.h>

// Remembers dc when it is a display context (driver "DISPLAY", or a raster
// display by its technology).
void RememberIfDisplayDC(HDC dc, bool driverIsDisplay);
bool IsRememberedDisplayDC(HDC dc);
