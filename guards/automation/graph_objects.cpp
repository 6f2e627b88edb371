#include "guards/automation/graph_objects.h"

#include <windows.h>

#include <set>

#include "support/held_locks.h"
#include "support/process_lifetime.h"

namespace {

// Creation and running happen on any apartment's thread.
SRWLOCK g_lock = SRWLOCK_INIT;

std::set<const void*>& Objects() {
    static ProcessLifetime<std::set<const void*>> objects;
    return *objects;
}

}  // namespace

void AddGraphObject(const void* object) {
    if (!object) return;
    support::ExclusiveHold hold(g_lock);
    Objects().insert(object);
}

bool IsGraphObject(const void* object) {
    if (!object) return false;
    support::ExclusiveHold hold(g_lock);
    return Objects().count(object) != 0;
}
