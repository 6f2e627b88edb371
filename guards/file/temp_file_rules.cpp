#include "guards/file/temp_file_rules.h"

#include <windows.h>

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
    const char* ext;
    Action action;
    const char* newExt;
};

constexpr Rule kRules[] = {
    {{kDocWord, 7}, ".ASD", Action::KeepPathWithoutFlag, nullptr},
    {{kDocWord, 7}, ".TMP", Action::Redirect, ".WTM"},
    {{kDocWord, 7}, ".WBK", Action::Redirect, nullptr},
    {{kDocExcel, 9}, ".XAR", Action::Redirect, nullptr},
    {{kDocExcel, 9}, ".TMP", Action::Redirect, ".ETM"},
    {{kDocPowerPoint, 8}, ".TMP", Action::Redirect, ".PTM"},
    {{kDocKORB, kDocKORB}, ".DOC", Action::KorbName, nullptr},
    {{kDocKORB, kDocKORB}, ".ASD", Action::Redirect, nullptr},
    {{kDocKORB, kDocKORB}, ".TMP", Action::Redirect, ".WTM"},
    {{kDocKORB, kDocKORB}, ".WBK", Action::Redirect, nullptr},
};

// Every extension a rule above or the web-preview test looks at.
constexpr const char* kConcernedExtensions[] = {".ASD", ".TMP", ".WBK", ".XAR",
                                                ".DOC", ".MHT", ".HTM", ".MH_"};

std::string ExtensionOf(const std::string& path) {
    return path.size() < 4 ? std::string() : path.substr(path.size() - 4);
}

std::string RedirectedName(const std::string& path, const char* newExt) {
    const std::string moved = GetProtectPathName(path);
    if (moved.size() < 4) return {};
    const std::string ext = newExt ? newExt : ExtensionOf(path);
    return moved.substr(0, moved.size() - 4) + std::to_string(GetCurrentProcessId()) + ext;
}

}  // namespace

bool IsWebPagePreviewFile(const std::string& path) {
    if (path.size() < 4 || path.find("WEBPAGEPREVIEW") == std::string::npos) return false;
    const std::string ext = ExtensionOf(path);
    return ext == ".MHT" || ext == ".HTM" || ext == ".MH_";
}

std::string GetRedirectedFileName(const _ZEL_HOOK_INFO_& rec, const std::string& path) {
    const size_t slash = path.rfind('\\');
    if (slash != std::string::npos && slash > 0 && path.compare(slash + 1, 3, "MSI") == 0)
        return {};  // installer files
    const std::string ext = ExtensionOf(path);
    for (const Rule& rule : kRules) {
        if (rec.byDocType != rule.types[0] && rec.byDocType != rule.types[1]) continue;
        if (ext != rule.ext) continue;
        switch (rule.action) {
            case Action::KeepPathWithoutFlag:
                // AutoRecover files of the protected document carry its flag.
                if (path.find("(ZEL-") == std::string::npos) return path;
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
    size_t n = 0;
    while (path[n]) ++n;
    if (n < 4) return false;
    char ext[5] = {};
    for (int i = 0; i < 4; ++i) {
        const wchar_t c = path[n - 4 + i];
        // Every concerned extension is plain ASCII; so is anything that could
        // become one after conversion and upper-casing.
        if (c >= 0x80) return false;
        ext[i] = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    for (const char* e : kConcernedExtensions)
        if (memcmp(ext, e, 4) == 0) return true;
    return false;
}
