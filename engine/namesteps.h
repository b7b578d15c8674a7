#pragma once

// The building blocks of the new-name computation, on decoded text (one char32_t per
// code point). Exposed for the tests and the summary; ComputeNewName is the entry
// point everything else uses. All functions are pure.

#include "engine/renameoptionset.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm::steps {

using Text = std::u32string;
using TextView = std::u32string_view;

// The working name never grows beyond this many code points; what would go beyond is
// cut off. A file name holds at most 255 bytes, so no name this long can be given to a
// file anyway, but repeated doubling pairs, a fill length or a pattern from a hand-made
// scheme would otherwise exhaust memory.
inline constexpr std::size_t kMaxWorkingLength = std::size_t{1} << 22;

// A blank is any character of code 32 or less.
inline bool IsBlank(char32_t c) {
    return c <= 32;
}

// Every occurrence of `token` becomes one space. `token` must not contain a space.
void ConvertToSpace(Text& text, TextView token);
// Left-to-right, non-overlapping, case-sensitive; the replacement is never searched again.
void ReplaceAll(Text& text, TextView find, TextView replacement);

int DigitCount(std::int64_t number);
// The number in decimal, zero-filled on the left to `minLength` digits.
Text FormatFixedLength(std::int64_t number, std::int32_t minLength);
// The format laid over the digits from the right: digits are zero-filled places, "#"
// optional places, anything else a literal. A negative number gets its "-" in front of
// the formatted magnitude.
Text FormatNumber(std::int64_t number, TextView format);

// The logic blocks of `text` between occurrences of `separator` (all of them when
// `strip` is false; at most the first 26, stripped of blanks, when it is true). The
// views point into `text`.
std::vector<TextView> SplitBlocks(TextView text, TextView separator, bool strip);
// "a".."z" and "A".."Z" give 1..26; anything else 0.
int LetterIndex(char32_t c);
Text ShuffleBlocks(TextView text, TextView pattern, TextView separator);

int LeadingSpaceCount(TextView text);
int TrailingSpaceCount(TextView text);
Text ApplyLetterCase(TextView text, bool firstUp, bool restUp);
void AppendLetterCase(Text& out, TextView text, bool firstUp, bool restUp);

// The Format tab's letter case, with the special words prepared once per name.
class Formatter {
public:
    explicit Formatter(const RenameOptionSet& options);
    Text FormatFilename(TextView text) const;
    Text FormatBlock(TextView block) const;
    Text FormatWord(TextView word) const;

private:
    bool IsSpecialWord(TextView word) const;
    void AppendWord(Text& out, TextView word) const;
    void AppendBlock(Text& out, TextView block) const;

    const RenameOptionSet& options_;
    Text separator_;
    Text specialList_; // ";" + upper-cased special words + ";"
};

} // namespace qm::steps
