#pragma once
// The activation rules of the CBT hook: with a protected document in front,
// dialogs that would let its content out are closed or changed as they come
// to the front.
#include <windows.h>

class CCommonDoc;

void ApplyActivationRules(HWND w, CCommonDoc& doc);
