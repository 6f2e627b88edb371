#include "store/shared_settings.h"

#include <cstring>

#include "store/seq_lock.h"
#include "store/shared_section.h"
#include "support/ansi_text.h"

namespace store {

void SetWaterInfo(const WaterInfo* info) {
    if (!info) return;
    LockedWrite w;
    if (!w.owned()) return;
    memcpy(&g_shared.waterInfo, info, sizeof(WaterInfo));
}

void GetWaterInfo(WaterInfo* out) {
    if (!out) return;
    // 10 KB: too large for the stack of every thread that may print.
    WaterInfo* copy = new (std::nothrow) WaterInfo;
    if (!copy) return;
    if (ReadConsistent([&] { memcpy(copy, &g_shared.waterInfo, sizeof *copy); }))
        memcpy(out, copy, sizeof *copy);
    delete copy;
}

void SetKORBInfo(DWORD value) {
    LockedWrite w;
    if (!w.owned()) return;
    __atomic_store_n(&g_shared.dwKORBInfo, value, __ATOMIC_RELEASE);
}

// Single aligned words need no retry loop: one load sees the old or the new value.
DWORD GetKORBInfo() { return __atomic_load_n(&g_shared.dwKORBInfo, __ATOMIC_ACQUIRE); }

void SetKORBClassName(const char* cls) {
    LockedWrite w;
    if (!w.owned()) return;
    text::CopyToField(g_shared.szKORBClassName, sizeof g_shared.szKORBClassName, cls);
}

std::string GetKORBClassName() {
    char copy[sizeof g_shared.szKORBClassName];
    if (!ReadConsistent([&] { memcpy(copy, g_shared.szKORBClassName, sizeof copy); })) return {};
    return text::FromField(copy);
}

void SetAltTabFlag(DWORD value) {
    LockedWrite w;
    if (!w.owned()) return;
    __atomic_store_n(&g_shared.bAltTabPressed, value, __ATOMIC_RELEASE);
}

DWORD GetAltTabFlag() { return __atomic_load_n(&g_shared.bAltTabPressed, __ATOMIC_ACQUIRE); }

}  // namespace store
