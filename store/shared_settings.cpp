#include "store/shared_settings.h"

#include <cstring>

#include "store/caller_text.h"
#include "store/seq_lock.h"
#include "store/shared_section.h"
#include "support/ansi_text.h"

namespace store {

void SetWaterInfo(const WaterInfo* info) {
    if (!info) return;
    // Copied before the lock is taken: a bad record faults in the caller's
    // call, not with "HookMutex" and the write flag held. Only the controller
    // calls this: 10 KB on its stack, nothing to leak when the read faults.
    WaterInfo copy;
    memcpy(&copy, info, sizeof copy);
    LockedWrite w;
    if (!w.owned()) return;
    memcpy(&g_shared.waterInfo, &copy, sizeof copy);
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

bool ReadWaterInfo(WaterInfo* out) {
    return out && ReadConsistent([&] { memcpy(out, &g_shared.waterInfo, sizeof *out); });
}

void SetKORBInfo(DWORD value) {
    LockedWrite w;
    if (!w.owned()) return;
    __atomic_store_n(&g_shared.dwKORBInfo, value, __ATOMIC_RELEASE);
}

// Single aligned words need no retry loop: one load sees the old or the new value.
DWORD GetKORBInfo() { return __atomic_load_n(&g_shared.dwKORBInfo, __ATOMIC_ACQUIRE); }

void SetKORBClassName(const char* cls) {
    const CallerText copy(cls, sizeof g_shared.szKORBClassName);
    LockedWrite w;
    if (!w.owned()) return;
    text::CopyToField(g_shared.szKORBClassName, sizeof g_shared.szKORBClassName, copy.get());
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
