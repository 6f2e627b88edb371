#pragma once
// The pattern of the redirecting file replacements: a working file of a
// protected document is used under the name the rules give it, in the
// protected area, and the application never notices.
//
// One name, one file: the redirected name is used when it exists or when no
// file has the application's name; a file the application made before its
// document was protected (before the controller published the record, the
// usual order) is used where it is. A redirected call that fails is repeated
// with the application's name only when it found nothing and only opens,
// queries or deletes: a working copy is never made in the user's folder, and
// a real error (a sharing violation, a full disk) is the application's.
#include <windows.h>

#include <string>

#include "guards/file/file_names.h"
#include "guards/file/settled_names.h"
#include "store/hook_info.h"

// The record of this process when it is one the file rules apply to: a
// document object exists and the store has a record for the process.
bool FileRulesRecord(_ZEL_HOOK_INFO_& rec);

// The real queries, past the replacements: a name the system finds something
// under (a file it may not open counts), and a file's last write time.
bool FileExists(const wchar_t* name);
bool LastWriteTime(const wchar_t* name, FILETIME& time);

// What the rules make of one name of the application.
struct WorkingName {
    bool refused = false;     // a web-page preview of a protected document
    AppName app;              // the name as the system reads it (when decided)
    std::wstring redirected;  // the rules' name; empty: the application's name stays
};

// Decides for path without touching the caller's last error. Costs a store
// look-up only for names whose extension a rule concerns; a wildcard search,
// a device and a name a replacement further out decided stay as they are.
WorkingName DecideWorkingName(const wchar_t* path);

// The name the application's call reaches: the redirected name when it
// exists or no file has the application's name, else path. Keeps the last
// error.
const wchar_t* ReachedName(const WorkingName& w, const wchar_t* path);

// What a call does with its name: kFinds only opens, queries or deletes (a
// failed call on the redirected name that found nothing goes on with the
// application's name); kMakes may make a file (it never does).
enum class Reach { kFinds, kMakes };

// The protected area's PROTECTPATH folder exists again when name lies in it
// and it was missing: made once more, or the failure is logged. False when
// nothing was made.
bool RemakeProtectPathFor(const std::wstring& name, const char* caller);

// A failed call on a redirected name that the application sees as it is.
void LogRedirectedFailure(const char* caller, const std::wstring& name, DWORD error);
// A replacement that could not decide (see Undecided).
void LogUndecided(const char* caller);

// call(name) on the name the application's call reaches, that name settled
// for the replacements the real call meets.
template <class Call, class Succeeded>
auto CallWorkingName(const WorkingName& w, const wchar_t* path, Reach reach, const char* caller, Call call,
                     Succeeded succeeded) -> decltype(call(path)) {
    if (w.redirected.empty()) return call(path);
    const wchar_t* name = ReachedName(w, path);
    const SettledNames settled(name, path);
    if (name == path) return call(path);
    const DWORD callerError = GetLastError();
    auto result = call(name);
    if (succeeded(result)) return result;
    DWORD error = GetLastError();
    if (error == ERROR_PATH_NOT_FOUND && RemakeProtectPathFor(w.redirected, caller)) {
        SetLastError(callerError);
        result = call(name);
        if (succeeded(result)) return result;
        error = GetLastError();
    }
    if (reach == Reach::kFinds && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)) {
        SetLastError(callerError);
        return call(path);
    }
    if (reach == Reach::kMakes) LogRedirectedFailure(caller, w.redirected, error);
    SetLastError(error);
    return result;
}

// call(from, to) for the two names of a copy or a move, each the name the
// application's call reaches, both settled. A missing PROTECTPATH is made
// again once; nothing falls back to the application's names.
template <class Call>
BOOL CallWorkingNames(const wchar_t* existing, const wchar_t* newName, const char* caller, Call call) {
    const WorkingName from = DecideWorkingName(existing), to = DecideWorkingName(newName);
    const wchar_t* source = from.redirected.empty() ? existing : ReachedName(from, existing);
    const wchar_t* target = to.redirected.empty() ? newName : ReachedName(to, newName);
    const SettledNames settled(source, target);
    const DWORD callerError = GetLastError();
    BOOL ok = call(source, target);
    if (ok || (source == existing && target == newName)) return ok;
    DWORD error = GetLastError();
    if (error == ERROR_PATH_NOT_FOUND && target != newName && RemakeProtectPathFor(to.redirected, caller)) {
        SetLastError(callerError);
        if ((ok = call(source, target))) return ok;
        error = GetLastError();
    }
    LogRedirectedFailure(caller, target != newName ? to.redirected : from.redirected, error);
    SetLastError(error);
    return ok;
}

// The fallback of a redirecting replacement that could not decide (an
// exception, a contained fault): true when the call may concern a working
// file of a protected document, which is then refused.
bool MayBeProtectedWork(const wchar_t* path);

// That fallback: logged; a call that may be protected work fails with
// failure, anything else gets real().
template <class Result, class Real>
Result Undecided(const char* caller, bool mayBeProtected, Result failure, Real real) {
    LogUndecided(caller);
    if (!mayBeProtected) return real();
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return failure;
}
