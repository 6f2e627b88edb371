#pragma once
// A caller's string as the store operations take it: copied before the store
// is locked or read, never more than width + 1 bytes. A bad pointer then
// faults in the caller's own call, before "HookMutex" or the write flag is
// taken: a fault in a caller's handler must not leave them held.
#include <cstddef>
#include <string>

#include "support/ansi_text.h"

namespace store {

class CallerText {
public:
    CallerText(const char* src, size_t width)
        : null_(src == nullptr), text_(text::FromField(src, width + 1)), width_(width) {}

    // Null when the caller passed none.
    const char* get() const { return null_ ? nullptr : text_.c_str(); }
    // False when the caller's text is longer than width bytes: no field of
    // that width can equal it.
    bool fits() const { return text_.size() <= width_; }

private:
    bool null_;
    std::string text_;
    size_t width_;
};

}  // namespace store
