// Moves: a file moved into the client's document folder is copied there, so
// the application's own file stays where it was, and the copy keeps what the
// caller's move would do with a file already there; working files of a
// protected document are moved under their redirected names. Every form of
// the move comes here once: the forms the system builds on one another find
// the names settled.
#include "guards/file/redirected_call.h"
#include "host/process_context.h"
#include "identify/protect_paths.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"

namespace {

bool IntoClientDocFolder(const wchar_t* newName) {
    const intercept::LastErrorKeeper keep;
    AppName name;
    return ReadAppName(newName, name) && LiesIn(name.upper, ProtectedArea().clientDoc);
}

// The copy that stands in for the move: the working file the application's
// name reaches is the source; a file already under the new name is replaced
// only where the caller's move would replace it, and otherwise the copy fails
// as the move would.
BOOL CopyIntoClientDocFolder(const wchar_t* existing, const wchar_t* newName, bool replaceExisting,
                             LPPROGRESS_ROUTINE progress, LPVOID data) {
    const WorkingName w = DecideWorkingName(existing);
    const wchar_t* source = w.redirected.empty() ? existing : ReachedName(w, existing);
    const SettledNames settled(source, newName);
    const BOOL ok = intercept::CallReal(Trampoline_CopyFileExW, source, newName, progress, data, nullptr,
                                        replaceExisting ? 0 : COPY_FILE_FAIL_IF_EXISTS);
    if (!ok && GetLastError() == ERROR_FILE_EXISTS) SetLastError(ERROR_ALREADY_EXISTS);
    return ok;
}

// One move of the application, flags as MoveFileWithProgressW takes them;
// move(from, to) is the real function of the form the application called.
template <class Move>
BOOL GuardedMove(const wchar_t* existing, const wchar_t* newName, DWORD flags, LPPROGRESS_ROUTINE progress,
                 LPVOID data, const char* caller, Move move) {
    if (!intercept::IsName(existing)) return move(existing, newName);
    // Decided by a replacement further out (a copy, a move, a replace).
    if (IsSettled(existing) && (!intercept::IsName(newName) || IsSettled(newName)))
        return move(existing, newName);
    // A move at the next start is the caller's as asked: there is nothing to
    // copy now, and the application's file stays until then.
    if (intercept::IsName(newName) && !(flags & MOVEFILE_DELAY_UNTIL_REBOOT) && IntoClientDocFolder(newName))
        return CopyIntoClientDocFolder(existing, newName, (flags & MOVEFILE_REPLACE_EXISTING) != 0, progress,
                                       data);
    return CallWorkingNames(existing, newName, caller, move);
}

// The replacement of a wide move: the guarded move, or, when it cannot
// decide, a refusal for a possible working file of a protected document.
template <class Trampoline, class Real, class... Args>
BOOL MoveReplacement(HookId id, Trampoline trampoline, const char* caller, LPCWSTR existing, LPCWSTR newName,
                     DWORD flags, LPPROGRESS_ROUTINE progress, LPVOID data, Real real, Args... args) {
    return RunReplacement(
        id, trampoline,
        [&]() -> BOOL { return GuardedMove(existing, newName, flags, progress, data, caller, real); },
        [&]() -> BOOL {
            return Undecided(caller, MayBeProtectedWork(existing) || MayBeProtectedWork(newName), FALSE,
                             [&] { return real(existing, newName); });
        },
        args...);
}

}  // namespace

BOOL WINAPI Detour_MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags) {
    return MoveReplacement(
        HookId::kMoveFileExW, Trampoline_MoveFileExW, "Detour_MoveFileExW", lpExistingFileName, lpNewFileName,
        dwFlags, nullptr, nullptr,
        [&](LPCWSTR from, LPCWSTR to) {
            return intercept::CallReal(Trampoline_MoveFileExW, from, to, dwFlags);
        },
        lpExistingFileName, lpNewFileName, dwFlags);
}

BOOL WINAPI Detour_MoveFileWithProgressW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName,
                                         LPPROGRESS_ROUTINE lpProgressRoutine, LPVOID lpData, DWORD dwFlags) {
    return MoveReplacement(
        HookId::kMoveFileWithProgressW, Trampoline_MoveFileWithProgressW, "Detour_MoveFileWithProgressW",
        lpExistingFileName, lpNewFileName, dwFlags, lpProgressRoutine, lpData,
        [&](LPCWSTR from, LPCWSTR to) {
            return intercept::CallReal(Trampoline_MoveFileWithProgressW, from, to, lpProgressRoutine, lpData,
                                       dwFlags);
        },
        lpExistingFileName, lpNewFileName, lpProgressRoutine, lpData, dwFlags);
}

BOOL WINAPI Detour_MoveFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName) {
    // MoveFileW never replaces a file, and may copy across volumes.
    return MoveReplacement(
        HookId::kMoveFileW, Trampoline_MoveFileW, "Detour_MoveFileW", lpExistingFileName, lpNewFileName,
        MOVEFILE_COPY_ALLOWED, nullptr, nullptr,
        [](LPCWSTR from, LPCWSTR to) { return intercept::CallReal(Trampoline_MoveFileW, from, to); },
        lpExistingFileName, lpNewFileName);
}

BOOL WINAPI Detour_MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName) {
    auto realA = [&]() {
        return intercept::CallReal(Trampoline_MoveFileA, lpExistingFileName, lpNewFileName);
    };
    return RunReplacement(
        HookId::kMoveFileA, Trampoline_MoveFileA,
        [&]() -> BOOL {
            std::wstring existing, newName;
            if (!WidenFileApiName(lpExistingFileName, existing)) return realA();
            const bool hasNew = WidenFileApiName(lpNewFileName, newName);
            const wchar_t* wideNew = hasNew ? newName.c_str() : nullptr;
            return GuardedMove(existing.c_str(), wideNew, MOVEFILE_COPY_ALLOWED, nullptr, nullptr,
                               "Detour_MoveFileA", [&](LPCWSTR from, LPCWSTR to) {
                                   // Names the rules left alone go as the caller wrote them.
                                   if (from == existing.c_str() && to == wideNew) return realA();
                                   return intercept::CallReal(Trampoline_MoveFileW, from, to);
                               });
        },
        [&]() -> BOOL { return Undecided("Detour_MoveFileA", DocObject() != nullptr, FALSE, realA); },
        lpExistingFileName, lpNewFileName);
}
