#include "support/process_lifetime.h"

#include <windows.h>

namespace {

// Static, without a destructor of its own: the list outlives everything on it.
struct Entry {
    void (*destroy)(void*);
    void* object;
};
constexpr int kMaxEntries = 32;
Entry g_entries[kMaxEntries];
int g_count = 0;
SRWLOCK g_lock = SRWLOCK_INIT;

}  // namespace

void ReleaseAtUnload(void (*destroy)(void*), void* object) {
    AcquireSRWLockExclusive(&g_lock);
    // A full list leaves the object to the process's end: a small leak at
    // unload, never a crash.
    if (g_count < kMaxEntries) g_entries[g_count++] = {destroy, object};
    ReleaseSRWLockExclusive(&g_lock);
}

void ReleaseProcessLifetimeObjects() {
    for (;;) {
        AcquireSRWLockExclusive(&g_lock);
        const Entry e = g_count > 0 ? g_entries[--g_count] : Entry{nullptr, nullptr};
        ReleaseSRWLockExclusive(&g_lock);
        if (!e.destroy) return;
        try {
            e.destroy(e.object);
        } catch (...) {
        }
    }
}
