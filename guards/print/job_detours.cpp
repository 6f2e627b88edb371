// The print guard's replacements of the GDI calls that start and end a print
// job. A job is decided when it starts: StartDocW decides its document, and
// the printer's driver, starting the spooler's job inside the real call,
// decides its printer by the same decision (guards/print/job_grant.h).
//
// A device context's need-watermark entry belongs to the job that last
// started on it: it is set, with the job's own watermark, only once the real
// StartDocW has succeeded, and a refused or failed start leaves the entry as
// it was (a second StartDocW on a device context that is printing fails, and
// must not strip the running job of its watermark). EndDoc ends it, and so
// does an AbortDoc that ended the job (guards/print/job_end.h); a job ended by
// DeleteDC leaves it to the next job added to the set.
#include "guards/print/job_end.h"
#include "guards/print/job_grant.h"
#include "guards/print/print_event.h"
#include "guards/print/print_permission.h"
#include "guards/print/print_text.h"
#include "host/process_context.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"
#include "support/log.h"
#include "support/refusal_messages.h"
#include "watermark/print_water.h"

namespace {

// A refused job fails as a print the user cancelled: the application shows
// no error of its own; the user has been told why.
int Refuse(int failure = 0) {
    SetLastError(ERROR_CANCELLED);
    return failure;
}

// Whether this process holds a protected document: what an exception leaves
// a job that it struck before its document was told.
bool ProcessHoldsProtected() {
    _ZEL_HOOK_INFO_ rec{};
    return IsProcessProtected(GetCurrentProcessId(), rec);
}

// Ends a job that started but must not print.
void AbortStartedJob(HDC hdc) {
    const DWORD error = GetLastError();
    intercept::CallReal(Trampoline_AbortDoc, hdc);
    SetLastError(error);
}

// How far a start got: what its exception fallback goes by.
struct StartState {
    enum class Told { kNot, kUnprotected, kProtected } told = Told::kNot;
    bool called = false;   // the real StartDocW ran
    int iRet = 0;          // its result
    bool added = false;    // the need-watermark entry is set up
    bool counted = false;  // the print event is set
};

}  // namespace

int WINAPI Detour_StartDocW(HDC hdc, const DOCINFOW* lpdi) {
    StartState state;
    PrintGrant grant;
    return RunReplacement(
        HookId::kStartDocW, Trampoline_StartDocW,
        [&](contained::Frame& run) -> int {
            const DWORD callerError = GetLastError();
            const std::string strPrintDocName = lpdi ? AnsiOf(lpdi->lpszDocName) : std::string();
            grant = AllowStartDoc(hdc, strPrintDocName, lpdi ? lpdi->lpszOutput : nullptr);
            state.told = grant.isZelDoc ? StartState::Told::kProtected : StartState::Told::kUnprotected;
            if (!grant.allowed) {
                LogError("[%s] Not Allow Print. hdc=%x,strPrintDocName=%s", "Detour_StartDocW", HandleWord(hdc),
                         strPrintDocName.c_str());
                return Refuse();
            }
            // The printer is decided inside the real call, by this job's letters.
            JobGrant job;
            job.isZelDoc = grant.isZelDoc;
            job.allRight = grant.allRight;
            job.docWnd = grant.docWnd;
            job.zelFile = grant.zelFile;
            {
                JobGrantScope scope(job);
                SetLastError(callerError);
                state.called = true;
                state.iRet = intercept::CallReal(run, Trampoline_StartDocW, hdc, lpdi);
            }
            const int iRet = state.iRet;
            const DWORD error = GetLastError();
            if (iRet <= 0 && job.refused != PrinterRefusal::kNone) {
                LogError("[%s] Not Allow Printer. hdc=%x,iRet=%d,strPrintDocName=%s", "Detour_StartDocW",
                         HandleWord(hdc), iRet, strPrintDocName.c_str());
                return Refuse(iRet);
            }
            if (iRet > 0 && grant.isZelDoc && !grant.allRight && !job.spooled) {
                // The driver started no spooler job that the printer rules
                // saw: the printer could not be told.
                AbortStartedJob(hdc);
                StartMessageThread(ShowCantPrintMsg, grant.docWnd);
                LogError("[%s] Not Allow Print. Printer Unknown. hdc=%x,strPrintDocName=%s", "Detour_StartDocW",
                         HandleWord(hdc), strPrintDocName.c_str());
                return Refuse();
            }
            if (iRet > 0) {
                if (grant.water) g_printWater.AddNeedPrintWaterHDC(hdc, grant.water);
                else g_printWater.DeleteNeedPrintWaterHDC(hdc);
                state.added = true;
                // Counted only once the spooler has taken the job.
                if (grant.isZelDoc) SignalPrintEvent(grant.ownerPid);
                state.counted = true;
            }
            LogError("[%s] hdc=%x,iRet=%d,strPrintDocName=%s", "Detour_StartDocW", HandleWord(hdc), iRet,
                     strPrintDocName.c_str());
            SetLastError(error);
            return iRet;
        },
        [&]() -> int {
            LogError("Detour_StartDocW:Exception");
            if (!state.called) {
                // Before the real call: only a job known to print no
                // protected document goes on.
                const bool open = state.told == StartState::Told::kUnprotected ||
                                  (state.told == StartState::Told::kNot && !ProcessHoldsProtected());
                return open ? intercept::CallReal(Trampoline_StartDocW, hdc, lpdi) : Refuse();
            }
            if (state.iRet <= 0) return state.iRet;
            if (!state.added && grant.water) {
                // Started, but its watermark is not set up: it must not print.
                AbortStartedJob(hdc);
                return Refuse();
            }
            if (!state.counted && grant.isZelDoc) SignalPrintEvent(grant.ownerPid);
            return state.iRet;
        },
        hdc, lpdi);
}

namespace {

// EndDoc and AbortDoc alike (guards/print/job_end.h).
template <class Fn>
int EndJob(HookId id, Fn trampoline, const char* where, JobEnd how, HDC hdc) {
    bool called = false;
    int iRet = 0;
    return RunReplacement(
        id, trampoline,
        [&]() -> int {
            iRet = EndJobWith(how, hdc, [&] { return intercept::CallReal(trampoline, hdc); }, called);
            const DWORD error = GetLastError();
            LogError("[%s] hdc=%x,iRet=%d", where, HandleWord(hdc), iRet);
            SetLastError(error);
            return iRet;
        },
        [&]() -> int { return called ? iRet : intercept::CallReal(trampoline, hdc); }, hdc);
}

}  // namespace

int WINAPI Detour_EndDoc(HDC hdc) { return EndJob(HookId::kEndDoc, Trampoline_EndDoc, "Detour_EndDoc", JobEnd::kEnd, hdc); }

int WINAPI Detour_AbortDoc(HDC hdc) {
    return EndJob(HookId::kAbortDoc, Trampoline_AbortDoc, "Detour_AbortDoc", JobEnd::kAbort, hdc);
}
