#include "wndctl/window_texts.h"

#include <cstring>

#include "support/ansi_text.h"
#include "support/wide_text.h"

namespace wndctl {

std::string WindowText(HWND w) {
    if (!w) return {};
    wchar_t buf[512];
    const int n = InternalGetWindowText(w, buf, 512);
    if (n <= 0) return {};
    return text::WideToAnsi(std::wstring_view(buf, static_cast<size_t>(n)));
}

std::string UpperWindowText(HWND w) { return text::ToUpper(WindowText(w)); }

std::string ClassNameOf(HWND w) {
    if (!w) return {};
    char cls[260];
    const int n = GetClassNameA(w, cls, sizeof cls);
    return n > 0 ? std::string(cls, static_cast<size_t>(n)) : std::string();
}

bool ContainsAny(const std::string& text, const char* const* literals) {
    for (; *literals; ++literals)
        if (text.find(*literals) != std::string::npos) return true;
    return false;
}

bool EqualsAnyNoCase(const std::string& text, const char* const* literals) {
    for (; *literals; ++literals)
        if (text::EqualsNoCase(text.c_str(), *literals)) return true;
    return false;
}

bool BeginsWithAny(const char* text, const char* const* literals) {
    for (; *literals; ++literals)
        if (strncmp(text, *literals, strlen(*literals)) == 0) return true;
    return false;
}

}  // namespace wndctl
