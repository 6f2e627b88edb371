#pragma once
// Per-thread words of re-entry marks, one bit per replaced function: a set
// bit means a replacement of that function is running on the thread. Whether
// a call of the same function then passes straight through is told by the
// innermost frame of ours on the thread's exception chain
// (support/contained_run.h): while the replacement does its own work (the log
// opening its file inside a file replacement, say) it passes; while the
// replacement has handed the thread to the application (the real function, a
// modal wait) the application's calls meet their replacements again.
//
// The words live in TLS slots allocated once at attach, read and written
// straight in the thread environment block (FS): TlsGetValue and TlsSetValue
// would cost a call each and clear the last error, which then has to be saved
// and put back. When a slot index lies beyond the TEB's 64 slots the words go
// through the TLS calls, the last error kept.
//
// OwnWork: the library's own file and registry work (log, language file,
// settings) sets every bit and registers a frame that works, so no
// replacement acts on it, whichever thread and replacement it runs under.
#include <windows.h>

#include <cstdint>

#include "support/contained_run.h"

namespace marks {

constexpr int kWords = 2;
constexpr int kBits = 32 * kWords;

namespace detail {

// FS offset of each word's TEB slot; 0 when the word goes through the TLS
// calls (or has no slot at all). Written once, before any replacement acts.
extern uint32_t g_offset[kWords];
// Every word has a TEB slot: the way the replacements take.
extern bool g_inTeb;

inline uint32_t ReadFs(uint32_t offset) {
    uint32_t v;
    __asm__ volatile("movl %%fs:(%1), %0" : "=r"(v) : "r"(offset));
    return v;
}
inline void WriteFs(uint32_t offset, uint32_t v) {
    __asm__ volatile("movl %0, %%fs:(%1)" : : "r"(v), "r"(offset) : "memory");
}

uint32_t ReadByApi(int word);
void WriteByApi(int word, uint32_t value);

}  // namespace detail

// Allocates the slots, once per process; later calls return what the first
// one did. False when a slot could not be had: marks are then never kept.
bool Allocate();
// True when every word has a slot.
bool Available();
// The TLS index that holds word (TLS_OUT_OF_INDEXES when none): for tests
// that look at the marks through the system's calls.
DWORD SlotIndex(int word);

inline uint32_t Read(int word) {
    if (detail::g_inTeb) return detail::ReadFs(detail::g_offset[word]);
    return detail::ReadByApi(word);
}
inline void Write(int word, uint32_t value) {
    if (detail::g_inTeb) detail::WriteFs(detail::g_offset[word], value);
    else detail::WriteByApi(word, value);
}

enum class Entry {
    kPass,    // inside its own work, or marks cannot be kept: straight through
    kOwn,     // the bit was clear and is now set: the replacement owns it
    kShared,  // set by a replacement suspended in the application: act, own nothing
};

// A set bit decides by the innermost frame of ours.
Entry EnterSlow(int bit);

inline Entry Enter(int bit) {
    const int word = bit / 32;
    const uint32_t mask = uint32_t{1} << (bit % 32);
    if (detail::g_inTeb) {
        const uint32_t offset = detail::g_offset[word];
        const uint32_t v = detail::ReadFs(offset);
        if (v & mask) return EnterSlow(bit);
        detail::WriteFs(offset, v | mask);
        return Entry::kOwn;
    }
    if (!Available()) return Entry::kPass;
    const uint32_t v = detail::ReadByApi(word);
    if (v & mask) return EnterSlow(bit);
    detail::WriteByApi(word, v | mask);
    return Entry::kOwn;
}
inline void Leave(int bit) {
    const int word = bit / 32;
    Write(word, Read(word) & ~(uint32_t{1} << (bit % 32)));
}
inline bool IsSet(int bit) { return (Read(bit / 32) >> (bit % 32)) & 1u; }

// All words of the calling thread at once.
struct Words {
    uint32_t w[kWords];
};
inline Words ReadAll() {
    Words v;
    for (int w = 0; w < kWords; ++w) v.w[w] = Read(w);
    return v;
}
inline void WriteAll(const Words& v) {
    for (int w = 0; w < kWords; ++w) Write(w, v.w[w]);
}

class OwnWork {
public:
    OwnWork();
    ~OwnWork();
    OwnWork(const OwnWork&) = delete;
    OwnWork& operator=(const OwnWork&) = delete;

private:
    contained::Frame frame_;
};

}  // namespace marks
