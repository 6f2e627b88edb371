#pragma once
// Per-process state of the library (not shared between processes).
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "store/hook_info.h"

class CCommonDoc;

struct ProcessContext {
    uint8_t bHasHookInfo = 0;           // last answer of IsProcessProtected
    uint8_t bIsProductTool = 0;         // OSTRUM / DEZIVIRE
    uint32_t dwProcessId = 0;
    uint32_t dwAcrobatVersion = 0;      // PDF application's major version, 0 until detected
    std::string strPdfWndClass;         // PDF main window class (or the SDI|MDI pair value)
    std::string strExeName;             // upper-case executable file name with extension
    HHOOK hGetMsgHookLocal = nullptr;   // hooks installed by the watch thread
    HHOOK hCBTHookLocal = nullptr;
    std::vector<uint32_t> NoPrintMenuIds;
    std::vector<uint32_t> PrintMenuIds;
    std::vector<uint32_t>* pActiveMenuIds = nullptr;
    uint32_t hMDIClient = 0;            // KORB client's recorded document window
    uint32_t bIsDaemon = 0;
    std::string strClientDocPath;       // upper-case <InstallDir>\ZELCLIENTDOC
    std::string strFileTempPath;        // upper-case <InstallDir>\ZELFILETEMP

    ProcessContext();
};

// The process's single context, built on first use. It lives until the
// library is unloaded, and is never destroyed as the process ends
// (support/process_lifetime.h).
ProcessContext& GetProcessContext();

namespace processcontext_detail {
inline CCommonDoc* g_docObject = nullptr;
}  // namespace processcontext_detail

// The process's document object; null outside the protected applications.
// Read inline: replacements that run per message ask it before anything else.
inline CCommonDoc*& DocObject() { return processcontext_detail::g_docObject; }

// appObject: the application's automation object as the automation guard
// captured it; null until then. Written on application threads, read by the
// watch thread without a lock (one word). Not an owning reference: compared
// and passed on, never called through.
void*& AppObject();

// The process's temporary directory (GetTempPathA), read at attach in the
// protected applications; empty elsewhere.
std::string& ProcessTempDir();

// Chart-server error windows that the creation hook still refuses: the OLE
// guard sets it when it refuses to start the chart server (whose refusal
// makes the office applications show up to two such error windows); the
// window-creation rule counts it down. Interlocked.
extern volatile LONG g_nGraphErrorBoxes;

// True with rec filled when the store has a record whose dwProcessId is pid.
// Sets bHasHookInfo to the answer.
bool IsProcessProtected(DWORD pid, _ZEL_HOOK_INFO_& rec);
