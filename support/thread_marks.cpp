#include "support/thread_marks.h"

namespace marks {
namespace detail {

uint32_t g_offset[kWords] = {};
bool g_inTeb = false;

namespace {

constexpr uint32_t kTebTlsSlots = 0xE10;  // TlsSlots[64] of the 32-bit TEB
constexpr DWORD kTebTlsSlotCount = 64;
constexpr LONG kNoIndex = static_cast<LONG>(TLS_OUT_OF_INDEXES);

volatile LONG g_index[kWords] = {kNoIndex, kNoIndex};

}  // namespace

uint32_t ReadByApi(int word) {
    const DWORD index = static_cast<DWORD>(g_index[word]);
    if (index == TLS_OUT_OF_INDEXES) return 0;
    const DWORD error = GetLastError();  // TlsGetValue clears it
    const uint32_t v = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(TlsGetValue(index)));
    SetLastError(error);
    return v;
}

void WriteByApi(int word, uint32_t value) {
    const DWORD index = static_cast<DWORD>(g_index[word]);
    if (index == TLS_OUT_OF_INDEXES) return;
    const DWORD error = GetLastError();
    TlsSetValue(index, reinterpret_cast<LPVOID>(static_cast<uintptr_t>(value)));
    SetLastError(error);
}

}  // namespace detail

using detail::g_index;
using detail::kNoIndex;

bool Allocate() {
    for (volatile LONG& slot : g_index) {
        if (slot != kNoIndex) continue;
        const DWORD fresh = TlsAlloc();
        if (fresh == TLS_OUT_OF_INDEXES) continue;
        if (InterlockedCompareExchange(&slot, static_cast<LONG>(fresh), kNoIndex) != kNoIndex)
            TlsFree(fresh);
    }
    bool inTeb = true;
    for (int w = 0; w < kWords; ++w) {
        const DWORD index = static_cast<DWORD>(g_index[w]);
        if (index < detail::kTebTlsSlotCount) detail::g_offset[w] = detail::kTebTlsSlots + index * 4;
        else inTeb = false;
    }
    detail::g_inTeb = inTeb;
    return Available();
}

bool Available() {
    for (const volatile LONG& slot : g_index)
        if (slot == kNoIndex) return false;
    return true;
}

DWORD SlotIndex(int word) { return static_cast<DWORD>(g_index[word]); }

Entry EnterSlow(int) {
    const contained::Frame* f = contained::InnermostFrame();
    return f && f->inApplication ? Entry::kShared : Entry::kPass;
}

OwnWork::OwnWork() {
    const Words found = ReadAll();
    frame_.handler = reinterpret_cast<void*>(&contained::GatrelFrameHandler);
    frame_.bit = -1;
    frame_.inApplication = 0;
    frame_.kind = contained::kOwnWork;
    frame_.saved[0] = found.w[0];
    frame_.saved[1] = found.w[1];
    frame_.prev = contained::ChainHead();
    contained::SetChainHead(&frame_);
    WriteAll(Words{{~uint32_t{0}, ~uint32_t{0}}});
}

OwnWork::~OwnWork() {
    WriteAll(Words{{frame_.saved[0], frame_.saved[1]}});
    contained::SetChainHead(frame_.prev);
}

}  // namespace marks
