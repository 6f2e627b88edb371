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
// The words are slots 0 and 1 of support/thread_slots.h.
//
// OwnWork: the library's own file and registry work (log, language file,
// settings) sets every bit and registers a frame that works, so no
// replacement acts on it, whichever thread and replacement it runs under.
#include <windows.h>

#include <cstdint>

#include "support/contained_run.h"
#include "support/thread_slots.h"

namespace marks {

constexpr int kWords = 2;
constexpr int kBits = 32 * kWords;

// Allocates the thread slots the marks live in (support/thread_slots.h).
inline bool Allocate() { return slots::Allocate(); }
inline bool Available() { return slots::Available(); }
// The TLS index that holds word (TLS_OUT_OF_INDEXES when none): for tests
// that look at the marks through the system's calls.
inline DWORD SlotIndex(int word) { return slots::Index(word); }

inline uint32_t Read(int word) { return slots::Read(word); }
inline void Write(int word, uint32_t value) { slots::Write(word, value); }

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
    if (slots::detail::g_inTeb) {
        const uint32_t offset = slots::detail::g_offset[word];
        const uint32_t v = slots::detail::ReadFs(offset);
        if (v & mask) return EnterSlow(bit);
        slots::detail::WriteFs(offset, v | mask);
        return Entry::kOwn;
    }
    if (!Available()) return Entry::kPass;
    const uint32_t v = slots::detail::ReadByApi(word);
    if (v & mask) return EnterSlow(bit);
    slots::detail::WriteByApi(word, v | mask);
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
