#pragma once
// Gatrel.dll's interface for controllers: the records that cross the export
// boundary byte for byte, the control interface CHookInterface, and the two
// plain hook functions. This header stands alone (Windows and the standard
// library only) and is installed as the controller developer's header; link
// with the library's import library (libGatrel.dll.a) and build with the same
// compiler as the library (the interface passes std::string).
//
// The record layouts are a contract with the controller: never reorder,
// never widen.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#if defined(GATREL_BUILD)
#define GATREL_API __declspec(dllexport)
#else
#define GATREL_API __declspec(dllimport)
#endif

#pragma pack(push, 1)
// One open protected document.
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

// The print watermark.
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

// The hook-info table as GetAllOstrumInfo copies it: 15 records.
constexpr int kHookInfoSlots = 15;
constexpr size_t kHookInfoTableBytes = kHookInfoSlots * sizeof(_ZEL_HOOK_INFO_);
static_assert(kHookInfoTableBytes == 12180);

// Result codes of AddOstrumInfo.
constexpr int kOstrumStored = 0;
constexpr int kOstrumLockFailed = 30024;
constexpr int kOstrumNameTaken = 60027;
constexpr int kOstrumTableFull = 60028;

class CZELGatrel;

// The control interface: one object per process (instance), built by the
// first call, which also creates the "DllShareMem" mutex of the Ostrum
// operations. Every data member is a thin wrapper over a store operation.
class GATREL_API CHookInterface {
public:
    CHookInterface();
    ~CHookInterface();

    static CHookInterface& instance();

    // Global window hooks.
    int StartHook();
    HHOOK StartCBTHook();
    int StopHook();
    int StopHookEx(HHOOK hook);
    DWORD RestartHook();

    void AddHookInfo(void* rec);
    void DelHookInfo(DWORD ownerPid);
    void SetHookInfo(DWORD ownerPid, const char* letters);
    void SetHookInfo(std::string& path, const char* letters);
    int FindZELFileName(const char* name, _ZEL_HOOK_INFO_& rec);
    void SetWaterInfo(void* info);
    void SetKORBInfo(DWORD value);
    void SetKORBClassName(const char* cls);
    void SetOfficeTempPath(const char* path, const char* tempPath);
    std::string GetOfficeTempPath(const char* path);
    int AddOstrumInfo(void* rec);
    void DelGuardInfo(void* rec);
    void DelGuardInfo1(void* rec);
    void GetAllOstrumInfo(void* table);
    int GetOstrumCount();

    CZELGatrel* m_pStore;
};

// Installs the WH_GETMESSAGE hook for all threads with the given module (the
// module that holds the hook procedure: the library's own). The handle is not
// kept: it belongs to the caller. Null on failure. Every outcome is logged.
extern "C" GATREL_API HHOOK StartHook(HMODULE hHookDLL);

// Removes a hook installed by the function above. 1 if removed, else 0.
extern "C" GATREL_API int StopHook(HHOOK lhHook);
