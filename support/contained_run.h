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
#include <windows.h>

#include <cstdint>
#include <type_traits>

namespace contained {

enum class Outcome { kDone, kThrown, kFaulted };

using Work = Outcome (*)(void* context);

enum FrameKind : uint32_t {
    kRun = 0,       // a contained run (RunContained)
    kOwnWork = 1,   // the library's own work: only restores the marks it set
};

// Its first two fields are the system's exception registration record.
struct Frame {
    Frame* prev;
    void* handler;
    void* jump[5];       // kRun: __builtin_setjmp's buffer, where a contained fault resumes
    int bit;             // the re-entry mark the run owns; -1 for none
    LONG inApplication;  // read by the handler, on the same thread
    uint32_t kind;
    uint32_t saved[2];   // kOwnWork: the marks it found
};

extern "C" EXCEPTION_DISPOSITION __cdecl GatrelFrameHandler(EXCEPTION_RECORD*, void*, CONTEXT*, void*);

inline Frame* ChainHead() {
    Frame* f;
    __asm__ volatile("movl %%fs:0, %0" : "=r"(f));
    return f;
}
inline void SetChainHead(Frame* f) { __asm__ volatile("movl %0, %%fs:0" : : "r"(f) : "memory"); }

// The innermost frame of ours on the thread's exception chain, or null. Our
// work registers nothing in between; a callback of a system function, or the
// application's own code, may: a few records are looked through.
inline Frame* InnermostFrame() {
    Frame* f = ChainHead();
    for (int i = 0; i < 16 && f && reinterpret_cast<uintptr_t>(f) != ~uintptr_t{0}; ++i, f = f->prev)
        if (f->handler == reinterpret_cast<void*>(&GatrelFrameHandler)) return f;
    return nullptr;
}

// work() inside a frame of kind kRun owning bit; C++ exceptions it throws end
// it too. Not inlined: a function with a jump buffer cannot be, and the work
// inlines into it instead.
template <class W>
__attribute__((noinline)) Outcome Run(W&& work, int bit = -1) {
    Frame frame;
    frame.handler = reinterpret_cast<void*>(&GatrelFrameHandler);
    frame.bit = bit;
    frame.inApplication = 0;
    frame.kind = kRun;
    frame.prev = ChainHead();
    if (__builtin_setjmp(frame.jump)) {
        // Back from a contained fault: the chain ends at this frame again.
        SetChainHead(frame.prev);
        return Outcome::kFaulted;
    }
    SetChainHead(&frame);
    Outcome outcome = Outcome::kDone;
    try {
        work();
    } catch (...) {
        outcome = Outcome::kThrown;
    }
    SetChainHead(frame.prev);
    return outcome;
}

// While it lives, the innermost frame's work has handed the thread to the
// application: what is raised meanwhile is the application's, and a set
// re-entry mark no longer stops the replacements.
class InApplication {
public:
    InApplication() : frame_(ChainHead()) {
        if (frame_->handler != reinterpret_cast<void*>(&GatrelFrameHandler)) frame_ = InnermostFrame();
        if (frame_) {
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
    LONG before_ = 0;
};

}  // namespace contained
