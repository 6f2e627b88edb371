#include "support/ansi_text.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#include <mbstring.h>
#else
#include <cctype>
#include <strings.h>
#endif

namespace text {

void CopyToField(char* dst, size_t width, const char* src) {
    if (!dst || width == 0) return;
    if (!src) {
        memset(dst, 0, width);
        return;
    }
    strncpy(dst, src, width);
}

std::string FromField(const char* field, size_t width) {
    if (!field) return {};
    const void* nul = memchr(field, 0, width);
    return std::string(field, nul ? static_cast<const char*>(nul) - field : width);
}

bool EqualsNoCase(const char* a, const char* b) {
    if (!a || !b) return a == b;
#ifdef _WIN32
    return _mbsicmp(reinterpret_cast<const unsigned char*>(a),
                    reinterpret_cast<const unsigned char*>(b)) == 0;
#else
    return strcasecmp(a, b) == 0;
#endif
}

std::string ToUpper(std::string s) {
#ifdef _WIN32
    if (!s.empty()) CharUpperBuffA(s.data(), static_cast<DWORD>(s.size()));
#else
    for (auto& c : s) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
#endif
    return s;
}

bool Contains(const std::string& hay, const char* needle) {
    return needle && hay.find(needle) != std::string::npos;
}

#ifdef _WIN32
bool WideToAnsi(const wchar_t* wide, std::string& out, bool lossy) {
    out.clear();
    if (!wide) return false;
    if (!*wide) return true;
    const UINT cp = GetACP();
    // UTF-8 has a form for every character and takes neither the flag nor the
    // default-character report.
    const bool utf8 = cp == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* used = utf8 ? nullptr : &usedDefault;
    const int need = WideCharToMultiByte(cp, flags, wide, -1, nullptr, 0, nullptr, used);
    if (need <= 0 || (usedDefault && !lossy)) return false;
    std::string buf(static_cast<size_t>(need), '\0');
    usedDefault = FALSE;
    const int got = WideCharToMultiByte(cp, flags, wide, -1, buf.data(), need, nullptr, used);
    if (got <= 0 || (usedDefault && !lossy)) return false;
    buf.resize(static_cast<size_t>(got) - 1);  // the terminator
    out.swap(buf);
    return true;
}

bool AnsiToWide(const std::string& ansi, std::wstring& out) {
    out.clear();
    if (ansi.empty()) return true;
    const int len = static_cast<int>(ansi.size());
    const int need = MultiByteToWideChar(CP_ACP, 0, ansi.data(), len, nullptr, 0);
    if (need <= 0) return false;
    std::wstring buf(static_cast<size_t>(need), L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, ansi.data(), len, buf.data(), need) != need) return false;
    out.swap(buf);
    return true;
}
#endif

}  // namespace text
