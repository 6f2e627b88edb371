#pragma once
// What StartDocW decided about its job, handed to the spooler's start of the
// same job. StartDocW's real call makes the printer's driver start a spooler
// job on the same thread (StartDocPrinterW, with the printer's handle): that
// call decides the printer by the job's own letters, not by whichever
// document happens to be in front, and tells StartDocW what it refused.
// Ending a job (EndDoc, AbortDoc) may make the spooler hand it to its port
// with another start on the same thread: that call meets an empty grant, the
// delivery of a job its own start decided.
#include <windows.h>

#include <string>

#include "support/held_locks.h"

// The printer-side refusals of a job.
enum class PrinterRefusal {
    kNone,
    kVirtual,  // a virtual printer without "A"
    kToFile,   // a printer or output that writes a file, without "A"
    kUnknown   // the printer could not be told (an exception)
};

struct JobGrant {
    bool isZelDoc = false;   // the job prints a protected document
    bool allRight = false;   // with "A": every printer
    HWND docWnd = nullptr;   // owns the messages
    std::string zelFile;     // for the log
    // Filled by the spooler's start of the job.
    bool spooled = false;
    PrinterRefusal refused = PrinterRefusal::kNone;
};

// While it lives, grant is the thread's grant: the spooler's starts made on
// this thread meanwhile find it. Scopes nest; the grant must outlive it. An
// application's handler that unwinds through the scope without running its
// destructor ends it too (it is on the thread's ledger of held locks).
class JobGrantScope {
public:
    explicit JobGrantScope(JobGrant& grant);
    ~JobGrantScope();
    JobGrantScope(const JobGrantScope&) = delete;
    JobGrantScope& operator=(const JobGrantScope&) = delete;

private:
    static void End(void* scope);
    JobGrant* previous_;
    support::HeldLock held_;
};

// The grant of the StartDocW that runs on this thread; null outside one.
JobGrant* CurrentJobGrant();
