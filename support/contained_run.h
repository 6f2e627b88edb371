#pragma once
// Frames of the library's own on the thread's structured-exception chain.
//
// The toolchain unwinds C++ exceptions by its own tables: catch (...) sees a
// C++ throw only, never an access violation or a RaiseException. A fault in a
// replacement's own work would end the application, and an application's
// structured handler that unwinds through a replacement would skip every
// destructor there: the row's re-entry mark would stay set (the function
// unguarded on that thread from then on) and a mutex in scope would stay
// owned by a live thread. A frame registered on the chain for the time of
// the work answers both:
//  - a fault raised in the work itself is contained: the frames below are
//    unwound, the locks they listed (support/held_locks.h) released, and the
//    run ends with kFaulted;
//  - a fault raised while the work has handed the thread to the application
//    (InApplication: the real function, a modal wait) is the application's:
//    it goes on to the application's handlers. When one of them unwinds
//    through the frame, the locks listed below are released and the frame's
//    re-entry mark is cleared.
//
// The frames also tell the re-entry marks (support/thread_marks.h) whether a
// set mark means "inside own work" (the innermost frame works) or "suspended
// in the application" (the innermost frame is InApplication).
//
// A run is registered inline, in the function that runs it (a replacement
// runs per call, some per message): no call, no jump buffer. Where the run
// begins, an asm goto keeps the stack and frame pointers and the place to
// come back to, and tells the compiler that every other general register may
// hold anything there; a contained fault comes back to that place with those
// two pointers. Floating-point registers hold nothing live across it in this
// library's runs.
#include <windows.h>

#include <cstdint>
#include <type_traits>

#include "support/held_locks.h"

namespace contained {

enum class Outcome { kDone, kThrown, kFaulted };

enum FrameKind : uint8_t {
    kRun = 0,       // a contained run (Run, RunWithFrame)
    kOwnWork = 1,   // the library's own work: only restores the marks it set
};

// Its first two fields are the system's exception registration record; the
// offsets of esp, ebp and resume are also those of the assembly below and in
// contained_run.cpp.
struct Frame {
    Frame* prev;
    void* handler;
    uint32_t esp;        // kRun: where a contained fault comes back to
    uint32_t ebp;
    uint32_t resume;
    // One word, written at once when the frame begins (a replacement's way in
    // is bound by its stores).
    int16_t bit;            // the re-entry mark the run owns; -1 for none
    uint8_t kind;           // FrameKind
    uint8_t inApplication;  // read by the handler, on the same thread
    const void* ledger;     // the head of the thread's ledger of held locks when it began
    uint32_t saved[2];      // kOwnWork: the marks it found
};

extern "C" EXCEPTION_DISPOSITION __cdecl GatrelFrameHandler(EXCEPTION_RECORD*, void*, CONTEXT*, void*);

inline Frame* ChainHead() {
    Frame* f;
    __asm__ volatile("movl %%fs:0, %0" : "=r"(f));
    return f;
}
inline void SetChainHead(Frame* f) { __asm__ volatile("movl %0, %%fs:0" : : "r"(f) : "memory"); }

inline bool IsOurs(const Frame* f) { return f->handler == reinterpret_cast<void*>(&GatrelFrameHandler); }

// The innermost frame of ours on the thread's exception chain, or null. Our
// work registers nothing in between; a callback of a system function, or the
// application's own code, may: a few records are looked through.
Frame* InnermostFrame();

// How a run ended, and the re-entry mark its frame owned, read back from the
// frame: a caller that needs the mark afterwards keeps no copy of its own
// across the run (whatever is kept across it goes to the stack, and a
// replacement's way in is bound by its stores).
struct Ended {
    Outcome outcome;
    int bit;
};

// work(frame) inside a frame of kind kRun owning bit; C++ exceptions it
// throws end it too.
template <class W>
__attribute__((always_inline)) inline Ended RunWithFrame(W&& work, int bit = -1) {
    Frame frame;
    frame.handler = reinterpret_cast<void*>(&GatrelFrameHandler);
    frame.bit = static_cast<int16_t>(bit);
    frame.kind = kRun;
    frame.inApplication = 0;
    frame.ledger = support::HeldLockMark();
    frame.prev = ChainHead();
    asm goto(
        "movl %%esp, 8+%0\n\t"
        "movl %%ebp, 12+%0\n\t"
        "movl $%l[faulted], 16+%0\n\t"
        "leal %0, %%eax\n\t"
        "movl %%eax, %%fs:0"
        :
        : "m"(frame)
        : "memory", "cc", "eax", "ecx", "edx", "ebx", "esi", "edi"
        : faulted);
    {
        Outcome outcome = Outcome::kDone;
        try {
            work(frame);
        } catch (...) {
            outcome = Outcome::kThrown;
        }
        SetChainHead(frame.prev);
        return {outcome, frame.bit};
    }
faulted:
    // Back from a contained fault: the chain ends at this frame again.
    SetChainHead(frame.prev);
    return {Outcome::kFaulted, frame.bit};
}

// work() inside a contained frame.
template <class W>
__attribute__((always_inline)) inline Outcome Run(W&& work, int bit = -1) {
    return RunWithFrame([&](Frame&) { work(); }, bit).outcome;
}

// While it lives, the innermost frame's work has handed the thread to the
// application: what is raised meanwhile is the application's, and a set
// re-entry mark no longer stops the replacements.
class InApplication {
public:
    explicit InApplication(Frame& frame) : frame_(&frame), before_(frame.inApplication) {
        frame.inApplication = 1;
    }
    InApplication() : frame_(ChainHead()) {
        if (__builtin_expect(!IsOurs(frame_), 0)) frame_ = InnermostFrame();
        if (__builtin_expect(frame_ != nullptr, 1)) {
            before_ = frame_->inApplication;
            frame_->inApplication = 1;
        }
    }
    ~InApplication() {
        if (frame_) frame_->inApplication = before_;
    }
    InApplication(const InApplication&) = delete;
    InApplication& operator=(const InApplication&) = delete;

private:
    Frame* frame_;
    uint8_t before_ = 0;
};

}  // namespace contained
