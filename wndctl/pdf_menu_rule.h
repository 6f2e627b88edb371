#pragma once
// The PDF application's menu commands of the detected version (its print
// commands among them without "P") stay greyed while a protected document
// without "A" is in front.
#include <windows.h>

// The uEnable that EnableMenuItem is called with instead of the caller's.
// Calls by position test the command of the item at that position and
// become 0x403 (greyed) or 0x400 (enabled) by position; calls by command test
// the command itself and stay by command. limitedFront is set when the call is
// made while a limited document is in front.
UINT PdfMenuItemState(HMENU hMenu, UINT uIDEnableItem, UINT uEnable, bool& limitedFront);
