#include "guards/file/temp_file_rules.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "identify/protect_paths.h"

namespace {

// The rule table: the first row whose document types and extension match
// decides. newExt null keeps the extension; kKeepPath leaves the file where
// it is unless the path carries the document flag; kKorbName asks the KORB
// rule.
enum class Action { Redirect, KeepPathWithoutFlag, KorbName };

struct Rule {
    int types[2];
    const wchar_t* ext;
    Action action;
    const wchar_t* newExt;
};

constexpr Rule kRules[] = {
    {{kDocWord, 7}, L".ASD", Action::KeepPathWithoutFlag, nullptr},
    {{kDocWord, 7}, L".TMP", Action::Redirect, L".WTM"},
    {{kDocWord, 7}, L".WBK", Action::Redirect, nullptr},
    {{kDocExcel, 9}, L".XAR", Action::Redirect, nullptr},
    {{kDocExcel, 9}, L".TMP", Action::Redirect, L".ETM"},
    {{kDocPowerPoint, 8}, L".TMP", Action::Redirect, L".PTM"},
    {{kDocKORB, kDocKORB}, L".DOC", Action::KorbName, nullptr},
    {{kDocKORB, kDocKORB}, L".ASD", Action::Redirect, nullptr},
    {{kDocKORB, kDocKORB}, L".TMP", Action::Redirect, L".WTM"},
    {{kDocKORB, kDocKORB}, L".WBK", Action::Redirect, nullptr},
};

// Every extension a rule above or the web-preview test looks at.
constexpr const char* kConcernedExtensions[] = {".ASD", ".TMP", ".WBK", ".XAR",
                                                ".DOC", ".MHT", ".HTM", ".MH_"};

std::wstring ExtensionOf(const std::wstring& path) {
    return path.size() < 4 ? std::wstring() : path.substr(path.size() - 4);
}

// FNV-1a over the folder's UTF-16 units.
unsigned FolderHash(const std::wstring& folder) {
    unsigned h = 2166136261u;
    for (const wchar_t c : folder) {
        h ^= static_cast<unsigned>(c);
        h *= 16777619u;
    }
    return h;
}

std::wstring RedirectedName(const std::wstring& path, const wchar_t* newExt) {
    const std::wstring moved = GetProtectPathName(path);
    if (moved.size() < 4) return {};
    const size_t slash = path.rfind(L'\\');
    wchar_t suffix[32];
    swprintf(suffix, 32, L"-%08X-%lu", FolderHash(path.substr(0, slash == std::wstring::npos ? 0 : slash)),
             GetCurrentProcessId());
    return moved.substr(0, moved.size() - 4) + suffix + (newExt ? newExt : ExtensionOf(path).c_str());
}

}  // namespace

bool IsWebPagePreviewFile(const std::wstring& path) {
    if (path.size() < 4 || path.find(L"WEBPAGEPREVIEW") == std::wstring::npos) return false;
    const std::wstring ext = ExtensionOf(path);
    return ext == L".MHT" || ext == L".HTM" || ext == L".MH_";
}

std::wstring GetRedirectedFileName(const _ZEL_HOOK_INFO_& rec, const std::wstring& path) {
    const size_t slash = path.rfind(L'\\');
    if (slash != std::wstring::npos && slash > 0 && path.compare(slash + 1, 3, L"MSI") == 0)
        return {};  // installer files
    const std::wstring ext = ExtensionOf(path);
    for (const Rule& rule : kRules) {
        if (rec.byDocType != rule.types[0] && rec.byDocType != rule.types[1]) continue;
        if (ext != rule.ext) continue;
        switch (rule.action) {
            case Action::KeepPathWithoutFlag:
                // AutoRecover files of the protected document carry its flag.
                if (path.find(L"(ZEL-") == std::wstring::npos) return path;
                return RedirectedName(path, rule.newExt);
            case Action::KorbName:
                return GetKORBWordTempName(path);
            case Action::Redirect:
                return RedirectedName(path, rule.newExt);
        }
    }
    return {};
}

bool MayConcernFileRules(const wchar_t* path) {
    size_t n = wcslen(path);
    while (n > 0 && (path[n - 1] == L'.' || path[n - 1] == L' ')) --n;
    if (n < 4) return false;
    char ext[5] = {};
    for (int i = 0; i < 4; ++i) {
        const wchar_t c = path[n - 4 + i];
        // Every concerned extension is plain ASCII; so is anything that could
        // become one after upper-casing.
        if (c >= 0x80) return false;
        ext[i] = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    for (const char* e : kConcernedExtensions)
        if (memcmp(ext, e, 4) == 0) return true;
    return false;
}
