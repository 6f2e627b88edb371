#include "guards/file/redirected_call.h"

#include <cwchar>

#include "guards/file/temp_file_rules.h"
#include "host/process_context.h"
#include "identify/protect_paths.h"
#include "intercept/hook_slots.h"
#include "intercept/replacement_guard.h"
#include "store/hook_records.h"
#include "support/log.h"
#include "support/wide_text.h"

namespace {

bool IsWildcardSearch(const std::wstring& full) {
    return FileNamePart(full).find_first_of(L"*?<>\"") != std::wstring::npos;
}

}  // namespace

bool FileExists(const wchar_t* name) {
    if (intercept::CallReal(Trampoline_GetFileAttributesW, name) != INVALID_FILE_ATTRIBUTES) return true;
    const DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && error != ERROR_INVALID_NAME;
}

bool LastWriteTime(const wchar_t* name, FILETIME& time) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!intercept::CallReal(Trampoline_GetFileAttributesExW, name, GetFileExInfoStandard,
                             static_cast<LPVOID>(&data)))
        return false;
    time = data.ftLastWriteTime;
    return true;
}

bool FileRulesRecord(_ZEL_HOOK_INFO_& rec) {
    return DocObject() && store::GetHookInfoByPid(GetCurrentProcessId(), &rec) >= 0;
}

WorkingName DecideWorkingName(const wchar_t* path) {
    WorkingName w;
    if (!intercept::IsName(path) || !MayConcernFileRules(path) || IsSettled(path)) return w;
    const intercept::LastErrorKeeper keep;
    _ZEL_HOOK_INFO_ rec;
    if (!FileRulesRecord(rec) || !ReadAppName(path, w.app) || IsWildcardSearch(w.app.full)) return w;
    if (IsWebPagePreviewFile(w.app.upper)) {
        w.refused = true;
        return w;
    }
    std::wstring name = GetRedirectedFileName(rec, w.app.upper);
    if (name != w.app.upper) w.redirected = std::move(name);
    return w;
}

const wchar_t* ReachedName(const WorkingName& w, const wchar_t* path) {
    const intercept::LastErrorKeeper keep;
    // The application's own name first: it is usually free, and the query of
    // a name in its own spelling costs the file system least.
    if (!FileExists(path) || FileExists(w.redirected.c_str())) return w.redirected.c_str();
    return path;
}

bool RemakeProtectPathFor(const std::wstring& name, const char* caller) {
    const std::wstring area = ProtectedArea().fileTemp;
    const std::wstring folder = area + L"\\PROTECTPATH";
    if (name.compare(0, name.rfind(L'\\'), folder) != 0) return false;
    const intercept::LastErrorKeeper keep;
    CreateDirectoryW(area.c_str(), nullptr);
    if (CreateDirectoryW(folder.c_str(), nullptr)) {
        LogError("[%s]: PROTECTPATH was missing and has been made again: %s", caller,
                 text::WideToAnsi(folder).c_str());
        return true;
    }
    const DWORD error = GetLastError();
    // Made meanwhile by another thread or process.
    const DWORD attributes = intercept::CallReal(Trampoline_GetFileAttributesW, folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
    LogError("[%s]: PROTECTPATH is missing and cannot be made, error %lu: %s", caller,
             static_cast<unsigned long>(error), text::WideToAnsi(folder).c_str());
    return false;
}

void LogRedirectedFailure(const char* caller, const std::wstring& name, DWORD error) {
    const intercept::LastErrorKeeper keep;
    LogError("[%s]: the working file's protected name failed, error %lu, the call fails: %s", caller,
             static_cast<unsigned long>(error), text::WideToAnsi(name).c_str());
}

void LogUndecided(const char* caller) {
    const intercept::LastErrorKeeper keep;
    LogError("%s:Exception", caller);
}

bool MayBeProtectedWork(const wchar_t* path) {
    return DocObject() && intercept::IsName(path) && MayConcernFileRules(path);
}
