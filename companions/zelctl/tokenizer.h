#pragma once
// Splits one command line into words. Words are separated by blanks; double
// quotes group blanks into a word and are removed ("" is an empty word); a word
// that begins with # starts a comment that runs to the end of the line.
// Backslashes have no special meaning, so Windows paths are written as they are.
#include <string>
#include <vector>

namespace zelctl {

// Throws CommandError for an unterminated quote.
std::vector<std::string> Tokenize(const std::string& line);

}  // namespace zelctl
