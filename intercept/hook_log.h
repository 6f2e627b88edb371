#pragma once
// Log lines of hook installation and removal. While a deferral is open on the
// calling thread the lines are kept, in order, and written when it closes:
// the batched installation writes nothing until the other threads run again.
#include "support/log.h"

void HookLogError(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

class DeferredHookLog {
public:
    DeferredHookLog();
    ~DeferredHookLog();  // writes the kept lines
    DeferredHookLog(const DeferredHookLog&) = delete;
    DeferredHookLog& operator=(const DeferredHookLog&) = delete;

private:
    bool owner_ = false;
};
