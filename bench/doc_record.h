#pragma once
// The record a controller publishes for a document open in a benchmark's
// program: its process, its controller, its window, type, letters and file.
#include <cstdint>
#include <cstring>

#include "store/gatrel_interface.h"

namespace bench {

inline _ZEL_HOOK_INFO_ DocRecord(DWORD pid, DWORD owner, HWND doc, uint8_t docType, const char* letters,
                                 const char* path) {
    _ZEL_HOOK_INFO_ rec{};
    rec.dwProcessId = pid;
    rec.dwOwnerPid = owner;
    rec.hDocWnd = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(doc));
    rec.byDocType = docType;
    strncpy(rec.szPermission, letters, sizeof rec.szPermission);  // NUL padded
    strncpy(rec.szFilePath, path, sizeof rec.szFilePath - 1);
    return rec;
}

}  // namespace bench
