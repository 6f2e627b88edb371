#pragma once
// The PDF application: the right button does nothing in a protected document
// without the all-rights letter (its context menu copies and exports).
#include <windows.h>

class CCommonDoc;

// True when the message is to be refused.
bool RefusePdfRightClick(const MSG& msg, const CCommonDoc& doc);
