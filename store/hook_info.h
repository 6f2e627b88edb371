#pragma once
// The records as the library works with them: their layouts (the controller's
// contract) are in the interface header; here the codes and helpers around them.
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "store/gatrel_interface.h"

// Document type codes: the record's byDocType and the document object's nDocType.
enum DocType : int {
    kDocNone = 0,
    kDocWord = 1,
    kDocExcel = 2,
    kDocPowerPoint = 3,
    kDocPdf = 4,
    kDocKORB = 6,
};

constexpr int kProtectedDataSlots = 100;

// Handles and windows are kept in the records as 32-bit words.
inline uint32_t HandleWord(const void* h) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h));
}
inline HWND WindowOf(uint32_t word) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(word)); }
inline HWND DocWndOf(const _ZEL_HOOK_INFO_& rec) { return WindowOf(rec.hDocWnd); }

// Permission letters are tested as substrings anywhere in the 10-byte field,
// which need not be NUL terminated.
inline bool HasPermission(const _ZEL_HOOK_INFO_& rec, char letter) {
    for (size_t i = 0; i < sizeof rec.szPermission && rec.szPermission[i]; ++i)
        if (rec.szPermission[i] == letter) return true;
    return false;
}
