#pragma once
// The library's per-thread words: TLS slots allocated once at attach and read
// and written straight in the thread environment block (FS). TlsGetValue and
// TlsSetValue would cost a call each and clear the last error, which then has
// to be saved and put back; some of these words are touched on every call of
// a replaced function. When an index lies beyond the TEB's 64 slots, a word
// goes through the TLS calls with the last error kept; before the slots are
// allocated (or when they could not be) a word reads 0 and ignores writes.
//
// Slots 0 and 1: the re-entry marks (support/thread_marks.h); slot 2: the
// head of the thread's ledger of held locks (support/held_locks.h); slot 3:
// the innermost record of names a file replacement has settled
// (guards/file/settled_names.h).
#include <windows.h>

#include <cstdint>

namespace slots {

constexpr int kCount = 4;
constexpr int kLedger = 2;
constexpr int kSettled = 3;

namespace detail {

// FS offset of each slot; written once, before any replacement acts.
extern uint32_t g_offset[kCount];
// Every slot lies in the TEB: the way the replacements take.
extern bool g_inTeb;

inline uint32_t ReadFs(uint32_t offset) {
    uint32_t v;
    __asm__ volatile("movl %%fs:(%1), %0" : "=r"(v) : "r"(offset));
    return v;
}
// No memory clobber: a thread slot is no object of the program's, and the
// slot offsets stay in registers across the writes.
inline void WriteFs(uint32_t offset, uint32_t v) {
    __asm__ volatile("movl %0, %%fs:(%1)" : : "r"(v), "r"(offset));
}

uint32_t ReadByApi(int slot);
void WriteByApi(int slot, uint32_t value);

}  // namespace detail

// Allocates the slots, once per process; later calls return what the first
// one did. False when a slot could not be had.
bool Allocate();
// True when every slot has an index.
bool Available();
// The TLS index of a slot (TLS_OUT_OF_INDEXES when none): for tests that look
// at the words through the system's calls.
DWORD Index(int slot);

inline uint32_t Read(int slot) {
    if (detail::g_inTeb) return detail::ReadFs(detail::g_offset[slot]);
    return detail::ReadByApi(slot);
}
inline void Write(int slot, uint32_t value) {
    if (detail::g_inTeb) detail::WriteFs(detail::g_offset[slot], value);
    else detail::WriteByApi(slot, value);
}

}  // namespace slots
