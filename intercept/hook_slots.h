#pragma once
// The trampoline slot of every replaced function, and the declaration of its
// detour. Both take their type from the replaced function's own declaration,
// so a detour, its slot and the function cannot disagree on signature or
// calling convention.
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

#define GATREL_DECLARE_SLOT(table, module, api, slotFunction, condition) \
    extern decltype(&::slotFunction) Trampoline_##api;                   \
    std::remove_pointer_t<decltype(&::slotFunction)> Detour_##api;

GATREL_HOOK_CATALOG(GATREL_DECLARE_SLOT)

#undef GATREL_DECLARE_SLOT
