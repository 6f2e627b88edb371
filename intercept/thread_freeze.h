#pragma once
// Stops every other thread of the process around a code write.
//
// Everything is gathered first (thread list, handles, context buffers): while
// threads are suspended nothing may allocate, lock or log, because a suspended
// thread may hold the heap lock or the log's locks. Threads that start after
// Collect are not stopped; they cannot be inside code that is being patched
// before they have run at all.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace detour {

class ThreadFreeze {
public:
    ThreadFreeze() = default;
    ThreadFreeze(const ThreadFreeze&) = delete;
    ThreadFreeze& operator=(const ThreadFreeze&) = delete;
    ~ThreadFreeze();

    // Lists and opens the other threads. May allocate.
    void Collect();
    // Suspends them and reads their control registers. Allocates nothing.
    void Suspend();
    // Lets fix rewrite each suspended thread's instruction pointer; writes back
    // the contexts that changed. Allocates nothing.
    template <class Fix>
    void FixInstructionPointers(Fix&& fix) {
        for (Thread& t : threads_) {
            if (!t.suspended || !t.haveContext) continue;
            DWORD eip = t.context.Eip;
            if (fix(eip) && eip != t.context.Eip) {
                t.context.Eip = eip;
                t.context.ContextFlags = CONTEXT_CONTROL;
                SetThreadContext(t.handle, &t.context);
            }
        }
    }
    // Resumes what Suspend stopped. Allocates nothing.
    void Resume();
    // Closes the handles (after Resume).
    void Release();

    size_t Count() const { return threads_.size(); }

private:
    struct Thread {
        HANDLE handle = nullptr;
        bool suspended = false;
        bool haveContext = false;
        CONTEXT context{};
    };
    std::vector<Thread> threads_;
};

}  // namespace detour
