#include "intercept/hook_slots.h"

#define GATREL_DEFINE_SLOT(table, module, api, slotFunction, condition) \
    decltype(&::slotFunction) Trampoline_##api = ::slotFunction;

GATREL_HOOK_CATALOG(GATREL_DEFINE_SLOT)

#undef GATREL_DEFINE_SLOT
