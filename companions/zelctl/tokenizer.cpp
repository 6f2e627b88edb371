#include "companions/zelctl/tokenizer.h"

#include "companions/zelctl/command_error.h"

namespace zelctl {

std::vector<std::string> Tokenize(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (char c : line) {
        if (quoted) {
            if (c == '"') quoted = false;
            else word += c;
            continue;
        }
        const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
        if (blank) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else if (c == '"') {
            quoted = true;
            inWord = true;
        } else if (c == '#' && !inWord) {
            break;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted) throw CommandError("unterminated quote");
    if (inWord) words.push_back(word);
    return words;
}

}  // namespace zelctl
