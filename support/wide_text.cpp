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

std::string WideToAnsi(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int len = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), len, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string ansi(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), len, ansi.data(), n, nullptr, nullptr);
    return ansi;
}

}  // namespace text
