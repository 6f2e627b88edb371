#pragma once
// The pattern of the redirecting file replacements: a working file of a
// protected document is used under the name the rules give it; a name the
// rules leave alone, or a redirected call that fails, falls back to the name
// the application gave.
#include <windows.h>

#include <string>

#include "store/hook_info.h"

// The record of this process when it is one the file rules apply to: a
// document object exists and the store has a record for the process.
bool FileRulesRecord(_ZEL_HOOK_INFO_& rec);

// An application's path as the rules compare it: ANSI, upper case, whole.
// False for a null or integer-resource path and for one that cannot be
// converted without substitutes (that one is logged).
bool RulePath(const wchar_t* path, std::string& upper, const char* caller);

struct Redirection {
    bool webPreview = false;  // a web-page preview of a protected document
    std::wstring name;        // the name to try first; empty: the caller's only
};

// Decides for path without touching the caller's last error. Costs a store
// look-up only for names whose extension a rule concerns.
Redirection RedirectionOf(const wchar_t* path, const char* caller);

// The redirected name of an upper-cased ANSI path as a wide string; empty
// when the rules keep the path (or the name cannot be converted back).
std::wstring RedirectedWideName(const _ZEL_HOOK_INFO_& rec, const std::string& upper);

// call(name) with the redirected name first and, unless succeeded(result),
// once more with the caller's path and the caller's last error. final(error)
// true keeps a failed redirected result although it failed.
template <class Call, class Succeeded, class Final>
auto CallRedirected(const std::wstring& redirected, const wchar_t* path, Call call,
                    Succeeded succeeded, Final final) -> decltype(call(path)) {
    if (!redirected.empty()) {
        const DWORD callerError = GetLastError();
        auto result = call(redirected.c_str());
        if (succeeded(result) || final(GetLastError())) return result;
        SetLastError(callerError);
    }
    return call(path);
}

template <class Call, class Succeeded>
auto CallRedirected(const std::wstring& redirected, const wchar_t* path, Call call,
                    Succeeded succeeded) -> decltype(call(path)) {
    return CallRedirected(redirected, path, call, succeeded, [](DWORD) { return false; });
}
