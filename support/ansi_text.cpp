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

}  // namespace text
