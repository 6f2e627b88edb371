#pragma once
// The end of a job, however the application ends it (EndDoc, AbortDoc, the
// escapes ENDDOC and ABORTDOC). The spooler may hand the ended job to its
// port meanwhile, on this thread: that is the delivery of a job whose printer
// its start decided, not a job of its own for the document in front, so it
// meets an empty grant.
//
// EndDoc's entry goes before the real call. An abort's entry goes only once
// the abort has ended the job: one that fails (Wine's PostScript driver
// answers 0 and the job goes on) leaves a job whose next pages still need
// their watermark; if the device context is then deleted, the set drops the
// entry when the next job is added.
#include <windows.h>

#include "guards/print/job_grant.h"
#include "watermark/print_water.h"

enum class JobEnd { kEnd, kAbort };

template <class Real>
int EndJobWith(JobEnd how, HDC hdc, Real&& real, bool& called) {
    const DWORD callerError = GetLastError();
    if (how == JobEnd::kEnd) g_printWater.DeleteNeedPrintWaterHDC(hdc);
    int iRet = 0;
    {
        JobGrant delivery;
        JobGrantScope scope(delivery);
        SetLastError(callerError);
        called = true;
        iRet = real();
    }
    if (how == JobEnd::kAbort && iRet > 0) {
        const DWORD error = GetLastError();
        g_printWater.DeleteNeedPrintWaterHDC(hdc);
        SetLastError(error);
    }
    return iRet;
}
