#pragma once

// Letter case of the ASCII letters only, for words the program itself defines (switches,
// column identifiers, language names): every other byte, UTF-8 included, compares as it
// is. Names of files are never compared this way; see rename/foldcase.h for those.

#include <algorithm>
#include <string_view>

namespace qm {

constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when `a` and `b` differ at most in the letter case of ASCII letters.
constexpr bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

} // namespace qm
