#include "guards/file/settled_names.h"

#include <cstdint>

#include "support/thread_slots.h"

namespace {

// Read and written without a call: the last error stays the caller's.
SettledNames* Innermost() {
    return reinterpret_cast<SettledNames*>(static_cast<uintptr_t>(slots::Read(slots::kSettled)));
}
void SetInnermost(SettledNames* s) {
    slots::Write(slots::kSettled, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(s)));
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
