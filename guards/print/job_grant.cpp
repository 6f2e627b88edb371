#include "guards/print/job_grant.h"

namespace {

constexpr LONG kNoIndex = static_cast<LONG>(TLS_OUT_OF_INDEXES);
volatile LONG g_index = kNoIndex;

// Allocated on the first job: most processes never print.
DWORD Index() {
    if (g_index == kNoIndex) {
        const DWORD fresh = TlsAlloc();
        if (fresh != TLS_OUT_OF_INDEXES &&
            InterlockedCompareExchange(&g_index, static_cast<LONG>(fresh), kNoIndex) != kNoIndex)
            TlsFree(fresh);
    }
    return static_cast<DWORD>(g_index);
}

// Both keep the caller's last error: TlsGetValue clears it.
JobGrant* Get() {
    const DWORD index = static_cast<DWORD>(g_index);
    if (index == TLS_OUT_OF_INDEXES) return nullptr;
    const DWORD error = GetLastError();
    auto* grant = static_cast<JobGrant*>(TlsGetValue(index));
    SetLastError(error);
    return grant;
}

bool Set(JobGrant* grant) {
    const DWORD index = Index();
    if (index == TLS_OUT_OF_INDEXES) return false;
    const DWORD error = GetLastError();
    const bool set = TlsSetValue(index, grant) != FALSE;
    SetLastError(error);
    return set;
}

}  // namespace

JobGrantScope::JobGrantScope(JobGrant& grant) : previous_(Get()) {
    if (Set(&grant)) held_.List(&JobGrantScope::End, this);
}

JobGrantScope::~JobGrantScope() {
    held_.Unlist();
    Set(previous_);
}

void JobGrantScope::End(void* scope) { Set(static_cast<JobGrantScope*>(scope)->previous_); }

JobGrant* CurrentJobGrant() { return Get(); }
