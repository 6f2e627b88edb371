#pragma once
// The command channel between a test and a test host: a message-mode named
// pipe, one message per request and one per reply. A message is a list of
// fields separated by 0x1F (unit separator), so texts may hold spaces, tabs,
// newlines and backslashes unescaped.
//   request: <command> 0x1F <argument> ...
//   reply:   "ok" 0x1F <key>=<value> ...      or      "err" 0x1F <message>
// Window handles travel as "0x..." hexadecimal, numbers as decimal.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace hostproto {

constexpr char kSep = '\x1f';
constexpr unsigned kMaxMessage = 1 << 20;

inline std::vector<std::string> Split(const std::string& msg) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        const size_t p = msg.find(kSep, start);
        out.push_back(msg.substr(start, p == std::string::npos ? std::string::npos : p - start));
        if (p == std::string::npos) break;
        start = p + 1;
    }
    return out;
}

inline std::string Join(const std::vector<std::string>& fields) {
    std::string out;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i) out += kSep;
        out += fields[i];
    }
    return out;
}

inline std::string Hex(uintptr_t v) {
    char buf[24];
    snprintf(buf, sizeof buf, "0x%lx", static_cast<unsigned long>(v));
    return buf;
}

// Accepts decimal, "0x" hexadecimal and negative decimal numbers.
inline long long ParseNumber(const std::string& s) {
    if (s.empty()) return 0;
    return strtoll(s.c_str(), nullptr, 0);
}

}  // namespace hostproto
