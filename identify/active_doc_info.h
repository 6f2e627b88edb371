#pragma once
// The protection record of the document in front of the user.
#include "store/hook_info.h"

// True with rec filled when the active document window is registered, or when
// no document window is found but the process itself has a record (then with
// window 0 and the letters "W"). KORB records get "R" outside the client's
// recorded document window, and end their owner process unless the document's
// process is the word processor.
bool GetActiveDocInfo(_ZEL_HOOK_INFO_& rec);
