#pragma once
// Records that cross the export boundary byte for byte. Their layouts are a
// contract with the controller: never reorder, never widen.
#include <windows.h>

#include <cstddef>
#include <cstdint>

// Document type codes: the record's byDocType and the document object's nDocType.
enum DocType : int {
    kDocNone = 0,
    kDocWord = 1,
    kDocExcel = 2,
    kDocPowerPoint = 3,
    kDocPdf = 4,
    kDocKORB = 6,
};

#pragma pack(push, 1)
struct _ZEL_HOOK_INFO_ {
    uint32_t dwProcessId;            // application process; 0 marks a free slot
    char     szFilePath[260];        // document path; file name starts with the "(ZEL-...)" flag
    char     szPermission[10];       // letters, NUL padded; 10 letters leave no terminator
    char     szZelFileName[260];
    char     szOfficeTempPath[260];
    uint8_t  byDocType;              // 1 word, 2 excel, 3 ppt, 4 pdf, 6 KORB (7/8/9 extra)
    uint8_t  byReserved1;
    uint32_t hDocWnd;
    uint32_t dwOwnerPid;             // owner of the record (the controller's key)
    uint8_t  byExtra;
    uint8_t  byReserved2[3];
    uint32_t dwExtra;
};

struct WaterInfo {
    char     chLayout;
    uint8_t  reserved[3];
    float    fFontSize;
    uint16_t wOpacity;
    uint16_t wLineCount;
    char     szContent[10240];
};
#pragma pack(pop)

typedef _ZEL_HOOK_INFO_ ZEL_HOOK_INFO;

static_assert(sizeof(_ZEL_HOOK_INFO_) == 812, "record size is part of the controller contract");
static_assert(offsetof(_ZEL_HOOK_INFO_, szFilePath) == 4);
static_assert(offsetof(_ZEL_HOOK_INFO_, szPermission) == 264);
static_assert(offsetof(_ZEL_HOOK_INFO_, szZelFileName) == 274);
static_assert(offsetof(_ZEL_HOOK_INFO_, szOfficeTempPath) == 534);
static_assert(offsetof(_ZEL_HOOK_INFO_, byDocType) == 794);
static_assert(offsetof(_ZEL_HOOK_INFO_, hDocWnd) == 796);
static_assert(offsetof(_ZEL_HOOK_INFO_, dwOwnerPid) == 800);
static_assert(offsetof(_ZEL_HOOK_INFO_, byExtra) == 804);
static_assert(offsetof(_ZEL_HOOK_INFO_, dwExtra) == 808);

static_assert(sizeof(WaterInfo) == 10252, "watermark record size is part of the controller contract");
static_assert(offsetof(WaterInfo, fFontSize) == 4);
static_assert(offsetof(WaterInfo, wOpacity) == 8);
static_assert(offsetof(WaterInfo, wLineCount) == 10);
static_assert(offsetof(WaterInfo, szContent) == 12);

constexpr int kHookInfoSlots = 15;
constexpr int kProtectedDataSlots = 100;
constexpr size_t kHookInfoTableBytes = kHookInfoSlots * sizeof(_ZEL_HOOK_INFO_);
static_assert(kHookInfoTableBytes == 12180);

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
