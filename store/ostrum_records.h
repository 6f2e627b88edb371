#pragma once
// The Ostrum process's operations on the hook-info table. They take
// "DllShareMem", which exists only in a process that built the control
// interface; without it they answer as if the lock had failed.
#include "store/hook_info.h"

namespace store {

int AddOstrumInfo(const _ZEL_HOOK_INFO_* rec);
void DelGuardInfo(const _ZEL_HOOK_INFO_* rec);
void DelGuardInfo1(const _ZEL_HOOK_INFO_* rec);
void GetAllOstrumInfo(void* table12180);
int GetOstrumCount();

}  // namespace store
