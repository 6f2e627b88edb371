#include "support/filelock_request.h"

#include <cstring>

namespace filelock {

namespace {

void PutU32(Request& r, size_t at, uint32_t v) {
    // Little-endian whatever the host, so the native build checks the same bytes.
    for (int i = 0; i < 4; ++i) r[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

std::string PatternFor(const char* path, const std::string& installDir) {
    if (!path) return installDir + "\\ZELFILETEMP\\*";
    std::string folder = path;
    const size_t slash = folder.rfind('\\');
    if (slash != std::string::npos) folder.resize(slash);
    return folder + "\\*";
}

Request BuildRequest(uint32_t pid, const std::string& pattern) {
    Request r{};
    PutU32(r, 0, 0);
    PutU32(r, kPidOffset, pid);
    PutU32(r, kOpOffset, kOpAllowProcess);
    const size_t n = pattern.size() < kPatternBytes - 1 ? pattern.size() : kPatternBytes - 1;
    memcpy(r.data() + kPatternOffset, pattern.data(), n);
    return r;
}

}  // namespace filelock
