#pragma once
// The two window-hook procedures the control interface installs. They belong
// to the message-control layer above the store; the library's entry hands
// them over when the library is loaded.
#include <windows.h>

namespace store {

void SetHookProcedures(HOOKPROC getMessage, HOOKPROC cbt);

}  // namespace store
