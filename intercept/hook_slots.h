#pragma once
// The trampoline slot of every replaced function, and the declaration of the
// detour of every row that is switched on. Both take their type from the
// replaced function's own declaration, so a detour, its slot and the function
// cannot disagree on signature or calling convention.
//
// A slot starts as this module's import of the function; HookFuntion puts the
// resolved address in it, a committed attach the trampoline, a committed
// detach the address again.
#include <windows.h>
// OLE first: the dialog and control headers use its types.
#include <ole2.h>
#include <oleauto.h>
#include <commctrl.h>
#include <commdlg.h>
#include <ddeml.h>
#include <winspool.h>

#include <type_traits>

#include "intercept/hook_catalog.h"

#define GATREL_DECLARE_DETOUR_ON(detourName, slotFunction) \
    std::remove_pointer_t<decltype(&::slotFunction)> detourName;
#define GATREL_DECLARE_DETOUR_OFF(detourName, slotFunction)
#define GATREL_DECLARE_SLOT(table, module, api, slotFunction, condition, state) \
    extern decltype(&::slotFunction) Trampoline_##api;                          \
    GATREL_DECLARE_DETOUR_##state(Detour_##api, slotFunction)

GATREL_HOOK_CATALOG(GATREL_DECLARE_SLOT)

#undef GATREL_DECLARE_SLOT
