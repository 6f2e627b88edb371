#pragma once
// The printer of a protected job that lacks "A": a virtual printer is
// refused, and so is a printer or a job output that writes a file (a printer
// on the "FILE:" port or on a port that is a path, a job whose output names a
// file). The user is told why: the virtual-printer message on a thread of its
// own, the print-to-file box before the call returns.
#include <windows.h>

#include <string>

#include "guards/print/job_grant.h"

// Decides the spooler's start of a job of that document (docWnd owns the
// messages, zelFile names it in the log) on printer, whose job description
// is pDocInfo at level (DOC_INFO_1W to DOC_INFO_3W; any other level has no
// output name to read).
PrinterRefusal CheckSpoolerJob(HANDLE printer, DWORD level, const BYTE* pDocInfo, HWND docWnd,
                               const std::string& zelFile);
