#include "store/withheld_handles.h"

namespace store {
namespace {

struct Withheld {
    UINT format;
    HANDLE mem;
};

// A slim lock needs no set-up, so the list works from the first clipboard
// call on, whatever the order of static construction.
SRWLOCK g_lock = SRWLOCK_INIT;
Withheld g_list[kWithheldHandleCapacity];
int g_count = 0;

int FindLocked(UINT format, HANDLE mem) {
    for (int i = 0; i < g_count; ++i)
        if (g_list[i].format == format && g_list[i].mem == mem) return i;
    return -1;
}

}  // namespace

bool AddWithheldHandle(UINT format, HANDLE mem) {
    AcquireSRWLockExclusive(&g_lock);
    const bool added = g_count < kWithheldHandleCapacity;
    if (added) g_list[g_count++] = {format, mem};
    ReleaseSRWLockExclusive(&g_lock);
    return added;
}

bool TakeWithheldHandle(UINT format, HANDLE mem) {
    AcquireSRWLockExclusive(&g_lock);
    const int i = FindLocked(format, mem);
    if (i >= 0) g_list[i] = g_list[--g_count];
    ReleaseSRWLockExclusive(&g_lock);
    return i >= 0;
}

bool IsWithheldHandle(UINT format, HANDLE mem) {
    AcquireSRWLockShared(&g_lock);
    const bool found = FindLocked(format, mem) >= 0;
    ReleaseSRWLockShared(&g_lock);
    return found;
}

}  // namespace store
