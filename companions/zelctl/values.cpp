#include "companions/zelctl/values.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "companions/zelctl/command_error.h"

namespace zelctl {

uint32_t ParseU32(const std::string& text, const char* what) {
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ')
        throw CommandError(std::string(what) + ": not a number: \"" + text + "\"");
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = strtoull(text.c_str(), &end, 0);
    if (errno || *end || v > 0xFFFFFFFFull)
        throw CommandError(std::string(what) + ": not a 32-bit number: \"" + text + "\"");
    return static_cast<uint32_t>(v);
}

uint32_t ParseBounded(const std::string& text, const char* what, uint32_t max) {
    const uint32_t v = ParseU32(text, what);
    if (v > max)
        throw CommandError(std::string(what) + ": " + text + " is above " + std::to_string(max));
    return v;
}

float ParseFloat(const std::string& text, const char* what) {
    errno = 0;
    char* end = nullptr;
    const float v = strtof(text.c_str(), &end);
    if (text.empty() || errno || *end)
        throw CommandError(std::string(what) + ": not a number: \"" + text + "\"");
    return v;
}

Fields ParseFields(const std::vector<std::string>& words, size_t first,
                   const std::vector<std::string>& allowed) {
    Fields fields;
    for (size_t i = first; i < words.size(); ++i) {
        const size_t eq = words[i].find('=');
        if (eq == std::string::npos || eq == 0)
            throw CommandError("expected key=value, got \"" + words[i] + "\"");
        const std::string key = words[i].substr(0, eq);
        if (std::find(allowed.begin(), allowed.end(), key) == allowed.end()) {
            std::string keys;
            for (const auto& k : allowed) keys += (keys.empty() ? "" : " ") + k;
            throw CommandError("unknown field \"" + key + "\" (known: " + keys + ")");
        }
        if (!fields.emplace(key, words[i].substr(eq + 1)).second)
            throw CommandError("field \"" + key + "\" given twice");
    }
    return fields;
}

void CopyField(char* field, size_t width, const std::string& text, const char* what,
               bool terminated) {
    const size_t room = terminated ? width - 1 : width;
    if (text.size() > room)
        throw CommandError(std::string(what) + ": longer than " + std::to_string(room) +
                           " bytes");
    memset(field, 0, width);
    memcpy(field, text.data(), text.size());
}

}  // namespace zelctl
