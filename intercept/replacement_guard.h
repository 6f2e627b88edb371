#pragma once
// The shape every replacement (Detour_X) follows:
//  - until the library is fully attached, the call passes straight through;
//  - a replacement re-entered on its own thread through its own work (the log
//    opening its file inside a file replacement, say) passes the inner call
//    straight through; a call into an API that another replacement guards
//    still goes through that other replacement;
//  - the caller's last error is what the real function sees wherever the
//    call is passed on: the shape itself makes no system call on its way in;
//  - no exception leaves it: onException gives the result instead (and if it
//    throws too, a value-initialised result).
//
//   HANDLE WINAPI Detour_GetClipboardData(UINT uFormat) {
//       return RunReplacement(HookId::kGetClipboardData, Trampoline_GetClipboardData,
//           [&]() -> HANDLE { ...decide, maybe Trampoline_GetClipboardData(uFormat)... },
//           [&]() -> HANDLE { LogError("Detour_GetClipboardData:Exception"); return nullptr; },
//           uFormat);
//   }
//
// Cost: some replacements run per message or per mouse move, so the way in is
// a load of the attached flag and a read and write of one word of the
// thread's own TLS slots, straight in the thread environment block: TlsGetValue
// and TlsSetValue would cost a call each and clear the last error, which then
// has to be saved and put back.
#include <windows.h>

#include <cstdint>
#include <type_traits>

#include "intercept/hook_tables.h"

namespace intercept {

// Process attach sets this once every table is installed; tests set it too.
void SetLibraryAttached(bool attached);
bool LibraryAttached();

namespace detail {

extern volatile LONG g_attached;
// Offset in the thread environment block (FS) of each word of re-entry marks
// (one bit per catalog row): the TEB's own slot of a TLS index allocated at
// the first attach. 0 when the index is beyond the TEB's 64 slots or could
// not be allocated; the slow path then goes through the TLS calls.
extern volatile uint32_t g_markOffset[2];

inline uint32_t ReadFs(uint32_t offset) {
    uint32_t v;
    __asm__ volatile("movl %%fs:(%1), %0" : "=r"(v) : "r"(offset));
    return v;
}
inline void WriteFs(uint32_t offset, uint32_t v) {
    __asm__ volatile("movl %0, %%fs:(%1)" : : "r"(v), "r"(offset) : "memory");
}

// The slow path. Enter is false when the mark was already set or cannot be kept.
bool EnterByApi(int id);
void LeaveByApi(int id);

// Sets the row's mark for the calling thread; false when it was set already.
inline bool Enter(int id, uint32_t offset, uint32_t bit) {
    if (!offset) return EnterByApi(id);
    const uint32_t marks = ReadFs(offset);
    if (marks & bit) return false;
    WriteFs(offset, marks | bit);
    return true;
}
inline void Leave(int id, uint32_t offset, uint32_t bit) {
    if (!offset) return LeaveByApi(id);
    WriteFs(offset, ReadFs(offset) & ~bit);
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

}  // namespace intercept

template <class Fn, class Body, class OnException, class... Args>
auto RunReplacement(HookId id, Fn trampoline, Body&& body, OnException&& onException,
                    Args... args) -> decltype(trampoline(args...)) {
    using Result = decltype(trampoline(args...));
    namespace d = intercept::detail;
    if (!d::g_attached) return trampoline(args...);
    const int row = static_cast<int>(id);
    const uint32_t offset = d::g_markOffset[row / 32];
    const uint32_t bit = uint32_t{1} << (row % 32);
    if (!d::Enter(row, offset, bit)) return trampoline(args...);
    if constexpr (std::is_void_v<Result>) {
        try {
            body();
        } catch (...) {
            try {
                onException();
            } catch (...) {
            }
        }
        d::Leave(row, offset, bit);
    } else {
        Result result{};
        try {
            result = body();
        } catch (...) {
            try {
                result = onException();
            } catch (...) {
                result = Result();
            }
        }
        d::Leave(row, offset, bit);
        return result;
    }
}
