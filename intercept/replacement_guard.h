#pragma once
// The shape every replacement (Detour_X) follows:
//  - until the library is fully attached, the call passes straight through;
//  - a call of the same function made from the replacement's own work (the
//    log opening its file inside a file replacement, say) passes straight
//    through, while a call into a function that another replacement guards
//    goes through that one (support/thread_marks.h);
//  - the replacement's own work is only its own: the real function is called
//    through CallReal (given the run's frame where the body calls it), and a
//    modal wait (a refusal box shown before the call returns) runs inside
//    Unmarked; while either runs the thread is the application's, so a call
//    it makes meanwhile (a dialog hook, a progress routine, a print sent by
//    the box's message loop) meets its replacement again;
//  - the caller's last error is what the real function sees wherever the
//    call is passed on: the shape itself makes no system call on its way in;
//  - no exception leaves it: a C++ exception, or a fault of the own work
//    (support/contained_run.h), gives onException's result instead, with the
//    caller's last error back in place (a value-initialised result if
//    onException fails too); an application's handler that unwinds through
//    it leaves no mark set and no listed lock held.
//
//   HANDLE WINAPI Detour_GetClipboardData(UINT uFormat) {
//       return RunReplacement(HookId::kGetClipboardData, Trampoline_GetClipboardData,
//           [&](contained::Frame& run) -> HANDLE {
//               ...decide, maybe CallReal(run, Trampoline_GetClipboardData, uFormat)...
//           },
//           [&]() -> HANDLE { LogError("Detour_GetClipboardData:Exception"); return nullptr; },
//           uFormat);
//   }
//
// Cost: some replacements run per message or per mouse move, so the way in
// is a load of the attached flag and a read and write of one word of the
// thread's marks, straight in the thread environment block, and the frame a
// few words of the same kind.
#include <windows.h>

#include <cstdint>
#include <type_traits>

#include "intercept/hook_tables.h"
#include "support/contained_run.h"
#include "support/thread_marks.h"

namespace intercept {

// Process attach sets this once every table is installed; tests set it too.
// The first attach allocates the marks' slots; a failure is logged once, and
// every replacement then passes its calls straight through.
void SetLibraryAttached(bool attached);
bool LibraryAttached();

namespace detail {

extern volatile LONG g_attached;

// The thread's last error, in the thread environment block.
inline DWORD ReadLastError() {
    DWORD v;
    __asm__ volatile("movl %%fs:0x34, %0" : "=r"(v));
    return v;
}
inline void WriteLastError(DWORD v) { __asm__ volatile("movl %0, %%fs:0x34" : : "r"(v) : "memory"); }

// A body that takes the run's frame is given it, for CallReal. It must not
// hand that frame over from inside a run of its own (contained::Run): there
// the innermost frame is the inner run's.
template <class Body>
__attribute__((always_inline)) inline auto RunBody(Body& body, contained::Frame& run) {
    if constexpr (std::is_invocable_v<Body&, contained::Frame&>) return body(run);
    else return body();
}

}  // namespace detail

// A pointer argument that names something: neither null nor an integer
// resource. Anything else goes to the real function untouched.
inline bool IsName(const void* p) { return p && !IS_INTRESOURCE(p); }

// Saves the thread's last error and puts it back when it goes.
class LastErrorKeeper {
public:
    LastErrorKeeper() : error_(GetLastError()) {}
    ~LastErrorKeeper() { SetLastError(error_); }
    void Restore() const { SetLastError(error_); }

private:
    DWORD error_;
};

// The one way a replacement reaches the real function: through its slot,
// with the thread handed to the application while it runs. The innermost
// frame of ours is the one handed over: the form that is given the run's
// frame (a replacement's work, straight in its body) flags it at once; the
// other looks it up on the exception chain, which costs a read of the chain
// just after the run wrote it, on every call.
template <class Fn, class... Args>
auto CallReal(contained::Frame& run, Fn real, Args... args) -> decltype(real(args...)) {
    const contained::InApplication application(run);
    return real(args...);
}
template <class Fn, class... Args>
auto CallReal(Fn real, Args... args) -> decltype(real(args...)) {
    const contained::InApplication application;
    return real(args...);
}

// A modal wait inside a replacement (a refusal box the call waits for): the
// application's messages it dispatches meet the replacements again, and what
// they raise is the application's.
template <class Fn>
auto Unmarked(Fn&& fn) -> decltype(fn()) {
    const contained::InApplication application;
    return fn();
}

}  // namespace intercept

template <class Fn, class Body, class OnException, class... Args>
__attribute__((always_inline)) inline auto RunReplacement(HookId id, Fn trampoline, Body&& body, OnException&& onException,
                    Args... args) -> decltype(trampoline(args...)) {
    using Result = decltype(trampoline(args...));
    namespace d = intercept::detail;
    if (!d::g_attached) return trampoline(args...);
    const int row = static_cast<int>(id);
    const marks::Entry entry = marks::Enter(row);
    if (entry == marks::Entry::kPass) return trampoline(args...);
    const int owned = entry == marks::Entry::kOwn ? row : -1;
    const DWORD callerError = d::ReadLastError();
    // Whether the run owned the mark is read back from its frame (Ended::bit).
    if constexpr (std::is_void_v<Result>) {
        const contained::Ended ended =
            contained::RunWithFrame([&](contained::Frame& run) { d::RunBody(body, run); }, owned);
        if (ended.outcome != contained::Outcome::kDone) {
            d::WriteLastError(callerError);
            contained::Run([&] { onException(); });
        }
        if (__builtin_expect(ended.bit >= 0, 1)) marks::Leave(row);
    } else {
        Result result{};
        const contained::Ended ended =
            contained::RunWithFrame([&](contained::Frame& run) { result = d::RunBody(body, run); }, owned);
        if (ended.outcome != contained::Outcome::kDone) {
            d::WriteLastError(callerError);
            if (contained::Run([&] { result = onException(); }) != contained::Outcome::kDone) result = Result();
        }
        if (__builtin_expect(ended.bit >= 0, 1)) marks::Leave(row);
        return result;
    }
}
