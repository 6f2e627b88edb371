#include "identify/protect_paths.h"

#include <windows.h>

#include <cwchar>

#include "host/process_context.h"
#include "identify/common_doc.h"
#include "store/hook_records.h"
#include "store/shared_settings.h"
#include "support/ansi_text.h"
#include "support/held_locks.h"
#include "support/process_lifetime.h"
#include "support/thread_marks.h"
#include "support/wide_text.h"

namespace {

// The folders and the context's texts they were made from: the context is
// filled at attach (tests change it), the folders are made at first use.
struct AreaCache {
    SRWLOCK lock = SRWLOCK_INIT;
    bool made = false;
    std::string fileTempFrom, clientDocFrom, tempDirFrom;
    ProtectedFolders folders;
};

AreaCache& Cache() {
    static ProcessLifetime<AreaCache> cache;
    return *cache;
}

// A folder as the system names it: full, long when it exists, without a
// trailing separator ("C:\" becomes "C:").
std::wstring SystemFolderName(const std::wstring& folder) {
    std::wstring name = SystemFullPath(folder.empty() ? L"\\" : folder.c_str());
    if (name.empty()) name = folder;
    name = LongFolderName(name);
    while (!name.empty() && (name.back() == L'\\' || name.back() == L'/')) name.pop_back();
    return UpperCase(std::move(name));
}

// "<dir>\<LAST>" of the process context: its folder as the system names it,
// followed by "\" and LAST.
std::wstring AreaFolder(const std::string& contextPath) {
    const std::wstring wide = text::AnsiToWide(contextPath);
    const size_t slash = wide.rfind(L'\\');
    if (slash == std::wstring::npos) return UpperCase(wide);
    return SystemFolderName(wide.substr(0, slash)) + L"\\" + UpperCase(wide.substr(slash + 1));
}

bool ConvertsExactly(const wchar_t* text) {
    std::string narrow;
    return text::WideToAnsiExact(text, narrow);
}

// Escapes what the ANSI code page cannot hold; "#" is escaped too, so no two
// names share an escaped form.
std::wstring EscapedName(const std::wstring& name) {
    if (name.find(L'#') == std::wstring::npos && ConvertsExactly(name.c_str())) return name;
    std::wstring out;
    for (const wchar_t c : name) {
        const wchar_t one[2] = {c, L'\0'};
        if (c != L'#' && ConvertsExactly(one)) {
            out += c;
        } else {
            wchar_t code[8];
            swprintf(code, 8, L"#%04X", static_cast<unsigned>(c));
            out += code;
        }
    }
    return out;
}

}  // namespace

std::wstring SystemFullPath(const wchar_t* name) {
    std::wstring full(MAX_PATH, L'\0');
    for (int tries = 0; tries < 3; ++tries) {
        const DWORD n = GetFullPathNameW(name, static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n == 0) return {};
        if (n < full.size()) {
            full.resize(n);
            return full;
        }
        full.resize(n);
    }
    return {};
}

std::wstring LongFolderName(const std::wstring& folder) {
    // The long form is looked up through the system's own directory search:
    // no replacement may act on the library's own look-up.
    const marks::OwnWork own;
    std::wstring longer(folder.size() + MAX_PATH, L'\0');
    const DWORD n = GetLongPathNameW(folder.c_str(), longer.data(), static_cast<DWORD>(longer.size()));
    if (n == 0 || n >= longer.size()) return folder;
    longer.resize(n);
    return longer;
}

ProtectedFolders ProtectedArea() {
    const ProcessContext& ctx = GetProcessContext();
    const std::string fileTemp = ctx.strFileTempPath, clientDoc = ctx.strClientDocPath,
                      tempDir = ProcessTempDir();
    AreaCache& cache = Cache();
    {
        const support::ExclusiveHold hold(cache.lock);
        if (cache.made && cache.fileTempFrom == fileTemp && cache.clientDocFrom == clientDoc &&
            cache.tempDirFrom == tempDir)
            return cache.folders;
    }
    // Made outside the lock: the long form is a look-up in the file system.
    ProtectedFolders made;
    made.fileTemp = AreaFolder(fileTemp);
    made.clientDoc = AreaFolder(clientDoc);
    if (!tempDir.empty()) made.tempDir = SystemFolderName(text::AnsiToWide(tempDir));
    const support::ExclusiveHold hold(cache.lock);
    cache.fileTempFrom = fileTemp;
    cache.clientDocFrom = clientDoc;
    cache.tempDirFrom = tempDir;
    cache.folders = made;
    cache.made = true;
    return made;
}

std::wstring UpperCase(std::wstring path) {
    if (!path.empty())
        LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, path.data(), static_cast<int>(path.size()),
                     path.data(), static_cast<int>(path.size()));
    return path;
}

bool LiesIn(const std::wstring& path, const std::wstring& folder) {
    if (folder.empty() || path.compare(0, folder.size(), folder) != 0) return false;
    return path.size() == folder.size() || path[folder.size()] == L'\\';
}

std::wstring GetProtectPathName(const std::wstring& path) {
    const std::wstring area = ProtectedArea().fileTemp;
    if (LiesIn(path, area)) return {};
    const size_t pos = path.rfind(L'\\');
    if (pos == std::wstring::npos) return path;
    return area + L"\\PROTECTPATH\\" + EscapedName(path.substr(pos + 1));
}

std::wstring GetKORBWordTempName(const std::wstring& path) {
    CCommonDoc* doc = DocObject();
    if (!doc || doc->nDocType != kDocWord) return {};
    if (store::GetKORBInfo() != 1) return {};
    _ZEL_HOOK_INFO_ rec{};
    if (store::GetKORBHookInfoByPid(GetCurrentProcessId(), &rec) < 0) return {};
    const std::wstring tmp = ProtectedArea().tempDir;
    const bool inTemp =
        (!tmp.empty() && LiesIn(path, tmp)) || path.find(L"CONTENT.WORD") != std::wstring::npos;
    if (!inTemp || path.find(L"\\~WR") == std::wstring::npos || path.find(L".DOC") == std::wstring::npos)
        return {};
    const std::wstring docPath = text::AnsiToWide(text::FromField(rec.szFilePath));
    const size_t dirEnd = docPath.rfind(L'\\');
    if (dirEnd == std::wstring::npos) return {};
    const size_t nameStart = path.rfind(L'\\');
    if (nameStart == std::wstring::npos) return {};
    return docPath.substr(0, dirEnd + 1) + path.substr(nameStart + 1);
}

std::string GetProtectPathName(const std::string& path) {
    try {
        return text::WideToAnsi(GetProtectPathName(text::AnsiToWide(path)));
    } catch (...) {
        return {};
    }
}

std::string GetKORBWordTempName(const std::string& path) {
    try {
        return text::WideToAnsi(GetKORBWordTempName(text::AnsiToWide(path)));
    } catch (...) {
        return {};
    }
}
