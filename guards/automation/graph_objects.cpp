#include "guards/automation/graph_objects.h"

#include <windows.h>

#include <set>

#include "support/held_locks.h"
#include "support/process_lifetime.h"

namespace {

// Creation and running happen on any apartment's thread.
SRWLOCK g_lock = SRWLOCK_INIT;
// Set once the first object is recorded: OleRun in a process that never made
// a chart object costs no lock.
volatile LONG g_any = 0;

std::set<const void*>& Objects() {
    static ProcessLifetime<std::set<const void*>> objects;
    return *objects;
}

}  // namespace

void AddGraphObject(const void* object) {
    if (!object) return;
    {
        support::ExclusiveHold hold(g_lock);
        Objects().insert(object);
    }
    __atomic_store_n(&g_any, 1, __ATOMIC_RELEASE);
}

bool IsGraphObject(const void* object) {
    if (!object || !__atomic_load_n(&g_any, __ATOMIC_ACQUIRE)) return false;
    support::ExclusiveHold hold(g_lock);
    return Objects().count(object) != 0;
}
