#pragma once
// One pointer per thread in a TLS slot of its own, allocated on the first
// write. Reads and writes keep the caller's last error (TlsGetValue clears
// it), so replacements may use it on the way to the real function.
#include <windows.h>

namespace support {

class ThreadSlot {
public:
    constexpr ThreadSlot() = default;
    ThreadSlot(const ThreadSlot&) = delete;
    ThreadSlot& operator=(const ThreadSlot&) = delete;

    // Null until the thread writes one (or when no slot could be had).
    void* Get() const;
    void Set(void* value);

private:
    volatile LONG index_ = static_cast<LONG>(TLS_OUT_OF_INDEXES);
};

}  // namespace support
