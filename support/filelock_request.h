#pragma once
// The request that tells the file-lock driver which process may open the
// files of a folder. The byte layout is the driver's contract.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace filelock {

constexpr uint32_t kIoctlAllowProcess = 0x762720E8;  // METHOD_BUFFERED, FILE_ANY_ACCESS
constexpr uint32_t kOpAllowProcess = 2;
constexpr size_t kRequestBytes = 1570;
constexpr size_t kPidOffset = 4;
constexpr size_t kOpOffset = 8;
constexpr size_t kPatternOffset = 34;
constexpr size_t kPatternBytes = 1536;  // NUL included
static_assert(kPatternOffset + kPatternBytes == kRequestBytes);

using Request = std::array<uint8_t, kRequestBytes>;

// "<folder of path>\*" (the whole path when it has no backslash), or
// "<installDir>\ZELFILETEMP\*" when path is null.
std::string PatternFor(const char* path, const std::string& installDir);

// Zero-filled request; a pattern longer than the field is cut so that the
// field always ends in a NUL.
Request BuildRequest(uint32_t pid, const std::string& pattern);

}  // namespace filelock
