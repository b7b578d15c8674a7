#pragma once

// Letter-case helpers for the UTF-8 text of language files.
//
// Language files are read as bytes and are not required to be valid UTF-8. Every byte that
// is not part of a valid UTF-8 sequence is treated as a code point of its own in
// U+DC80..U+DCFF, which no case rule changes, so malformed text compares and upper-cases
// byte for byte and is never rewritten. Pure functions, safe from any thread.

#include <string>
#include <string_view>

namespace vocalith {

// The code point that starts at `pos`; advances `pos` past it. `pos` must be below
// text.size().
char32_t NextCodePoint(std::string_view text, std::size_t& pos);

// Appends `cp` in UTF-8; U+DC80..U+DCFF go back to the single byte they stand for.
void AppendCodePoint(std::string& out, char32_t cp);

// The case-folded form of `text`: two texts are equal without regard to letter case
// exactly when their folded forms are equal.
std::u32string FoldCase(std::string_view text);

// `text` with the ASCII letters a-z upper-cased; every other byte stays.
std::string AsciiUpper(std::string_view text);

} // namespace vocalith
