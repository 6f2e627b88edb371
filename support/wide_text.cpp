#include "support/wide_text.h"

#include <windows.h>

namespace text {

std::wstring AnsiToWide(const std::string& ansi) {
    if (ansi.empty()) return {};
    const int len = static_cast<int>(ansi.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), len, nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), len, wide.data(), n);
    return wide;
}

std::string WideToAnsi(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int len = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), len, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string ansi(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), len, ansi.data(), n, nullptr, nullptr);
    return ansi;
}

bool WideToAnsiExact(const wchar_t* wide, std::string& out) {
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
    if (need <= 0 || usedDefault) return false;
    std::string buf(static_cast<size_t>(need), '\0');
    const int got = WideCharToMultiByte(cp, flags, wide, -1, buf.data(), need, nullptr, used);
    if (got <= 0 || usedDefault) return false;
    buf.resize(static_cast<size_t>(got) - 1);  // the terminator
    out.swap(buf);
    return true;
}

}  // namespace text
