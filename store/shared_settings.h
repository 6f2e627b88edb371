#pragma once
// The settings words of the shared section: watermark record, KORB client
// settings, the Alt+Tab flag.
#include <windows.h>

#include <string>

#include "store/hook_info.h"

namespace store {

void SetWaterInfo(const WaterInfo* info);
void GetWaterInfo(WaterInfo* out);
// The same into out, whole: false when the record could not be read (out is
// then of no use).
bool ReadWaterInfo(WaterInfo* out);
void SetKORBInfo(DWORD value);
DWORD GetKORBInfo();
void SetKORBClassName(const char* cls);
std::string GetKORBClassName();
void SetAltTabFlag(DWORD value);
DWORD GetAltTabFlag();

}  // namespace store
