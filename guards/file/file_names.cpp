#include "guards/file/file_names.h"

#include <cwchar>
#include <cwctype>

#include "identify/protect_paths.h"
#include "intercept/replacement_guard.h"

namespace {

bool StartsWith(const wchar_t* text, const wchar_t* prefix) {
    return _wcsnicmp(text, prefix, wcslen(prefix)) == 0;
}

}  // namespace

bool ReadAppName(const wchar_t* name, AppName& out) {
    if (!intercept::IsName(name)) return false;
    std::wstring full;
    if (StartsWith(name, L"\\\\?\\")) {
        // Taken literally by the system: nothing is resolved. Only a drive,
        // a share or a volume names a file of the rules; the rest of that
        // namespace ("GLOBALROOT", "pipe") is devices.
        const wchar_t* rest = name + 4;
        const bool drive = iswalpha(rest[0]) && rest[1] == L':' && rest[2] == L'\\';
        if (StartsWith(rest, L"UNC\\"))
            full = L"\\\\" + std::wstring(rest + 4);
        else if (drive || StartsWith(rest, L"Volume{"))
            full = rest;
        else
            return false;
    } else {
        if (StartsWith(name, L"\\\\.\\")) return false;
        full = SystemFullPath(name);
        // Reserved names ("NUL.TMP", "COM1.TMP") are devices in any folder.
        if (full.empty() || StartsWith(full.c_str(), L"\\\\.\\")) return false;
    }
    const size_t slash = full.rfind(L'\\');
    if (slash != std::wstring::npos && full.find(L'~') < slash)
        full = LongFolderName(full.substr(0, slash)) + full.substr(slash);
    out.upper = UpperCase(full);
    out.full = std::move(full);
    return true;
}

std::wstring FileNamePart(const std::wstring& full) {
    const size_t slash = full.rfind(L'\\');
    return slash == std::wstring::npos ? full : full.substr(slash + 1);
}

bool WidenFileApiName(const char* name, std::wstring& wide) {
    if (!intercept::IsName(name)) return false;
    const UINT cp = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
    const int n = MultiByteToWideChar(cp, 0, name, -1, nullptr, 0);
    if (n <= 0) return false;
    wide.assign(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(cp, 0, name, -1, wide.data(), n);
    wide.resize(static_cast<size_t>(n) - 1);
    return true;
}
