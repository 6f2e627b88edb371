#include "support/thread_slot.h"

namespace support {

void* ThreadSlot::Get() const {
    const DWORD index = static_cast<DWORD>(index_);
    if (index == TLS_OUT_OF_INDEXES) return nullptr;
    const DWORD error = GetLastError();
    void* value = TlsGetValue(index);
    SetLastError(error);
    return value;
}

void ThreadSlot::Set(void* value) {
    const DWORD error = GetLastError();
    constexpr LONG kNone = static_cast<LONG>(TLS_OUT_OF_INDEXES);
    if (index_ == kNone) {
        const DWORD fresh = TlsAlloc();
        if (fresh != TLS_OUT_OF_INDEXES &&
            InterlockedCompareExchange(&index_, static_cast<LONG>(fresh), kNone) != kNone)
            TlsFree(fresh);
    }
    const DWORD index = static_cast<DWORD>(index_);
    if (index != TLS_OUT_OF_INDEXES) TlsSetValue(index, value);
    SetLastError(error);
}

}  // namespace support
