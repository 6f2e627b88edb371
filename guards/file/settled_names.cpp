#include "guards/file/settled_names.h"

namespace {

constexpr LONG kNoIndex = static_cast<LONG>(TLS_OUT_OF_INDEXES);
volatile LONG g_index = kNoIndex;

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
SettledNames* Innermost() {
    const DWORD index = static_cast<DWORD>(g_index);
    if (index == TLS_OUT_OF_INDEXES) return nullptr;
    const DWORD error = GetLastError();
    auto* head = static_cast<SettledNames*>(TlsGetValue(index));
    SetLastError(error);
    return head;
}

void SetInnermost(SettledNames* head) {
    const DWORD index = Index();
    if (index == TLS_OUT_OF_INDEXES) return;
    const DWORD error = GetLastError();
    TlsSetValue(index, head);
    SetLastError(error);
}

}  // namespace

SettledNames::SettledNames(const wchar_t* a, const wchar_t* b, const wchar_t* c) : names_{a, b, c} {
    outer_ = Innermost();
    SetInnermost(this);
    linked_ = true;
    held_.List(&SettledNames::Abandon, this);
}

SettledNames::~SettledNames() {
    held_.Unlist();
    Unlink();
}

void SettledNames::Abandon(void* self) { static_cast<SettledNames*>(self)->Unlink(); }

void SettledNames::Unlink() {
    if (!linked_) return;
    linked_ = false;
    // Records leave in the order they came; the one being abandoned may have
    // inner records left by the same unwind, which go with it.
    SetInnermost(outer_);
}

bool IsSettled(const wchar_t* name) {
    if (!name) return false;
    for (const SettledNames* s = Innermost(); s; s = s->outer_)
        for (const wchar_t* settled : s->names_)
            if (settled && CompareStringOrdinal(settled, -1, name, -1, TRUE) == CSTR_EQUAL) return true;
    return false;
}
