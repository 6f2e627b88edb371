#pragma once
// Whether a print job may start, decided from the document it prints and its
// permission letters: "A" or "P" print ("A" on virtual printers too), "Q"
// means the print count is used up, "N" prints without watermark. A refusal
// has been shown to the user when the decision returns.
#include <windows.h>

#include <memory>
#include <string>

#include "watermark/water_job.h"

struct PrintGrant {
    bool allowed = true;
    bool isZelDoc = false;   // the job prints a protected document
    bool allRight = false;   // "A": virtual printers too
    DWORD ownerPid = 0;      // names the print event
    HWND docWnd = nullptr;   // owns the messages
    std::string zelFile;
    // The job's watermark, prepared for hdc; null for a job without one.
    std::shared_ptr<const WaterJob> water;
};

// Decides a job on hdc; strPrintDocName is its document name (may be empty),
// output its output name as the caller wrote it (may be null). A watermarked
// job is prepared (a job whose watermark cannot be read is refused) but not
// yet put in the need-watermark set, and the print event is not yet set:
// both belong to a job that has started.
PrintGrant AllowStartDoc(HDC hdc, const std::string& strPrintDocName, const wchar_t* output);
