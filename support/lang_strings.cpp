#include "support/lang_strings.h"

#include <windows.h>

#include <mutex>

#include "support/ansi_text.h"
#include "support/log.h"
#include "support/process_lifetime.h"
#include "support/settings.h"
#include "support/thread_marks.h"

namespace {

constexpr DWORD kTextBytes = 260;

std::string FormLangFilePath() {
    std::string language;
    ReadRegString(HKEY_LOCAL_MACHINE, kSetupKey, "Language", language, 100);
    // Case matters: "chinese" selects the English file.
    const char* file = language == "Chinese" ? "\\Language\\Multi_ch.ini"
                                             : "\\Language\\Multi_eng.ini";
    return GetInstallDir() + file;
}

// Removes every backslash-n pair, left to right, in one pass.
std::string WithoutEscapedBreaks(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'n') {
            ++i;
            continue;
        }
        out += s[i];
    }
    return out;
}

}  // namespace

std::string LangFilePath() {
    // Message threads start in pairs: the first callers can meet here, so the
    // path is formed exactly once and every thread sees it whole. The log line
    // is written outside the once: waiting threads never wait on file I/O.
    static std::once_flag once;
    static ProcessLifetime<std::string> path;
    bool formedHere = false;
    std::call_once(once, [&] {
        *path = FormLangFilePath();
        formedHere = true;
    });
    if (formedHere) LogError("strLangFile=%s", path->c_str());
    return *path;
}

std::string GetLangString(const char* key, const char* defaultText) {
    if (!key) key = "";
    if (!defaultText) defaultText = "";
    char buf[kTextBytes] = {};
    {
        // The language file is the library's own: no replacement acts on it.
        const marks::OwnWork own;
        GetPrivateProfileStringA("String", key, defaultText, buf, kTextBytes, LangFilePath().c_str());
    }
    std::string textOut = WithoutEscapedBreaks(buf);
    if (text::EqualsNoCase(textOut, "Not found")) return std::string("Not found(Key:") + key + ")";
    if (textOut.empty() && std::string(key) == "AU_IDD2003_TITLE") return " ";
    return textOut;
}
