#pragma once
// A command that cannot be carried out; the message is shown to the user.
#include <stdexcept>
#include <string>

namespace zelctl {

class CommandError : public std::runtime_error {
public:
    explicit CommandError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace zelctl
