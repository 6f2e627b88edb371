#include "support/contained_run.h"

#include <cstddef>

#include "support/held_locks.h"
#include "support/thread_marks.h"

namespace contained {

static_assert(offsetof(Frame, prev) == 0 && offsetof(Frame, handler) == 4 && offsetof(Frame, esp) == 8 &&
                  offsetof(Frame, ebp) == 12 && offsetof(Frame, resume) == 16,
              "the assembly knows where a frame keeps its registration and its way back");

Frame* InnermostFrame() {
    Frame* f = ChainHead();
    for (int i = 0; i < 16 && f && reinterpret_cast<uintptr_t>(f) != ~uintptr_t{0}; ++i, f = f->prev)
        if (IsOurs(f)) return f;
    return nullptr;
}

}  // namespace contained

// void GatrelUnwindTo(void* frame, EXCEPTION_RECORD*): RtlUnwind calls the
// unwind handlers of every frame above the target frame and takes them off
// the chain. On x86 it is not bound to keep the caller's EBX, ESI and EDI,
// so it is called through this wrapper, which keeps all four callee-saved
// registers.
__asm__(
    ".text\n"
    ".p2align 4\n"
    "_GatrelUnwindTo:\n"
    "    pushl %ebp\n"
    "    pushl %ebx\n"
    "    pushl %esi\n"
    "    pushl %edi\n"
    "    pushl $0\n"          // ReturnValue
    "    pushl 28(%esp)\n"    // ExceptionRecord
    "    pushl $1f\n"         // TargetIp
    "    pushl 32(%esp)\n"    // TargetFrame
    "    call *__imp__RtlUnwind@16\n"
    "1:\n"
    "    popl %edi\n"
    "    popl %esi\n"
    "    popl %ebx\n"
    "    popl %ebp\n"
    "    ret\n"
    // void GatrelResumeFrame(Frame*): back to where the run began, on its
    // stack; never returns.
    ".p2align 4\n"
    "_GatrelResumeFrame:\n"
    "    movl 4(%esp), %ecx\n"
    "    movl 12(%ecx), %ebp\n"
    "    movl 8(%ecx), %esp\n"
    "    jmp *16(%ecx)\n");
extern "C" void GatrelUnwindTo(void* frame, EXCEPTION_RECORD* record);
extern "C" __attribute__((noreturn)) void GatrelResumeFrame(contained::Frame* frame);

namespace contained {

constexpr DWORD kUnwinding = 0x2 | 0x4;  // EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND

extern "C" EXCEPTION_DISPOSITION __cdecl GatrelFrameHandler(EXCEPTION_RECORD* record, void* established,
                                                            CONTEXT*, void*) {
    Frame* f = static_cast<Frame*>(established);
    if (record->ExceptionFlags & kUnwinding) {
        // Left for a handler further up: nothing of this frame may stay.
        support::ReleaseHeldLocksAfter(f->ledger);
        if (f->kind == kOwnWork) marks::WriteAll(marks::Words{{f->saved[0], f->saved[1]}});
        else if (f->bit >= 0) marks::Leave(f->bit);
        return ExceptionContinueSearch;
    }
    if (f->kind != kRun || f->inApplication) return ExceptionContinueSearch;
    // The frames below run their unwind handlers: their marks cleared, the
    // library's own-work scopes' marks put back.
    GatrelUnwindTo(f, record);
    support::ReleaseHeldLocksAfter(f->ledger);
    GatrelResumeFrame(f);
}

}  // namespace contained
