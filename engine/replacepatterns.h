#pragma once

// Find texts as regular expressions, and find texts that ignore letter case.
//
// With ReplaceRegularExpressions on, each valid replace pair's find text is a PCRE2
// pattern (UTF and Unicode properties on, so classes such as \d, \w and \p{L} work on
// the name's code points), applied to the base name (the whole name with
// AddFileExtToFilename) in pair order, every non-overlapping match left to right, each
// pair on the result of the one before; an empty match is taken and the next attempt
// starts one character on, as in Perl ("x*" on "abc" with "-" gives "-a-b-c-"). A pair
// with an empty find text is skipped, as with plain texts.
//
// The replacement: "$$" is one "$"; "$" and one or two digits is that capture group
// (a group that did not take part is empty): two digits are one number when the pattern
// has that many groups, else the first digit alone is the group and the second is
// literal ("$10" with one group is group 1 and "0"); "${name}" is the named group, and
// "${12}" group 12. A "$" that names no group of the pattern ("$7" with two groups,
// "${nosuch}", "$x", a "$" at the end) is literal. Nothing else is special.
//
// With ReplaceIgnoreCase on, find texts match whatever the letter case (by Unicode);
// with regular expressions off they stay plain texts and their replacements literal.
//
// A name's bytes that are not UTF-8 pass through untouched: a pattern never matches
// inside them. A match that would take more than the limits below stops, and the name
// keeps its name with NameFault::PatternLimit (newname.h).
//
// Patterns are compiled once per option set and thread, not once per name; the engine
// keeps them beside the texts they were made from and compiles again when those change,
// so ComputeNewName stays a pure function for its callers.

#include "engine/newname.h"
#include "engine/renameoptionset.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

// PCRE2's match limit (steps of one match attempt) and depth limit (nested
// backtracking). No find text of a sane pattern on a file name comes near either; a
// pattern that backtracks without end reaches them within milliseconds.
inline constexpr std::uint32_t kPatternMatchLimit = 1'000'000;
inline constexpr std::uint32_t kPatternDepthLimit = 10'000;

// Why a find text cannot be used as a pattern.
struct PatternProblem {
    int Pair = 0;            // 0-based index of the pair among the valid pairs
    std::size_t Offset = 0;  // 0-based code point in the find text where it went wrong
    std::string Reason;      // PCRE2's own words, in English
};

// The find text as the window checks it before adding a pair: nothing when it compiles
// (with `ignoreCase` as ReplaceIgnoreCase), else where and why not. Pair is 0.
std::optional<PatternProblem> CheckPattern(std::string_view findText, bool ignoreCase);

// The first valid pair of `options` whose find text does not compile, when the options
// use regular expressions (ReplaceGroup, ReplaceEnabled and ReplaceRegularExpressions
// on); nothing otherwise. With ReplaceIgnoreCase alone the find texts are plain, and the
// only one refused is a find text holding bytes that are not UTF-8 (a hand-made scheme
// can hold one): letter case cannot be ignored in it.
std::optional<PatternProblem> FindPatternProblem(const RenameOptionSet& options);

struct PatternOutcome {
    NameFault Fault = NameFault::None;
    int Pair = -1; // 0-based index of the pair at fault
};

// The replace step of ComputeNewName when ReplaceRegularExpressions or ReplaceIgnoreCase
// is on: the valid pairs of `options` applied to the decoded name `text` (one char32_t
// per code point, as namesteps.h). A pair with an empty find text is skipped, as in the
// plain step. With a fault `text` is left half done and the caller drops it.
//
// The compiled patterns are kept per thread, with copies of the flags and pair texts
// they were made from; a call with other texts compiles again, so alternating between
// two option sets on one thread compiles on every switch.
PatternOutcome ReplaceByPatterns(const RenameOptionSet& options, std::u32string& text);

} // namespace qm
