#pragma once
// Whether a print job may start, decided from the document it prints and its
// permission letters: "A" or "P" print ("A" on virtual printers too), "Q"
// means the print count is used up, "N" prints without watermark. A refusal
// has been shown to the user when the decision returns.
#include <windows.h>

#include <string>

struct PrintGrant {
    bool allowed = true;
    bool isZelDoc = false;   // the job prints a protected document
    bool watermark = false;  // its pages get the watermark; prepared for hdc
    bool allRight = false;   // "A": virtual printers too
    DWORD ownerPid = 0;      // names the print event
    HWND docWnd = nullptr;   // owns the messages
    std::string zelFile;
};

// Decides a job on hdc; strPrintDocName and strOutput are its document and
// output names (either may be empty). A watermarked job is prepared for hdc
// (LoadWaterInfo) but not yet put in the need-watermark set, and the print
// event is not yet set: both belong to a job that has started.
PrintGrant AllowStartDoc(HDC hdc, const std::string& strPrintDocName, const std::string& strOutput);
