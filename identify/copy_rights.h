#pragma once
// Whether the document in front lets its content be copied out: the clipboard
// guard and the chart-server rule of the automation guard ask the same.
#include "store/hook_info.h"

// The letters allow copying: "A" or "C".
bool CopyAllowed(const _ZEL_HOOK_INFO_& rec);

// The document in front is protected and its letters lack both "A" and "C".
bool IsClipboardCopyDenied();
