#pragma once
// Parsing of the values of command arguments.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zelctl {

// Decimal or 0x-prefixed hexadecimal, the whole text, at most 32 bits.
uint32_t ParseU32(const std::string& text, const char* what);
// As ParseU32, but at most max.
uint32_t ParseBounded(const std::string& text, const char* what, uint32_t max);
float ParseFloat(const std::string& text, const char* what);

// key=value words, from words[first] on. Keys must be among allowed and may
// appear once. Throws CommandError otherwise.
using Fields = std::map<std::string, std::string>;
Fields ParseFields(const std::vector<std::string>& words, size_t first,
                   const std::vector<std::string>& allowed);

// Copies text into a fixed record field. A text that needs a terminator
// (terminated true) may use width-1 bytes; otherwise width. Longer: CommandError.
void CopyField(char* field, size_t width, const std::string& text, const char* what,
               bool terminated = true);

}  // namespace zelctl
