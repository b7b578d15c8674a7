#include "engine/newname.h"
#include "engine/replacepatterns.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace qm {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// Flags: 'r' regular expressions, 'i' ignore case, 'w' the whole name (extension too).
RenameOptionSet Options(const Pairs& pairs, const std::string& flags) {
    RenameOptionSet o;
    o.ReplaceGroup = o.ReplaceEnabled = true;
    o.ReplaceRegularExpressions = flags.find('r') != std::string::npos;
    o.ReplaceIgnoreCase = flags.find('i') != std::string::npos;
    o.AddFileExtToFilename = flags.find('w') != std::string::npos;
    for (const auto& [find, with] : pairs)
        o.ReplacePairs[static_cast<std::size_t>(o.ReplaceCount++)] = {find, with};
    return o;
}

TEST(ReplacePatterns, Replace) {
    const std::string stuck = std::string(40, 'a') + "b";
    const std::string notUtf8 = std::string("a\xff") + "b\xfe.x";
    const struct Row {
        std::string name;
        Pairs pairs;
        std::string flags, expected;
        NameFault fault = NameFault::None;
    } rows[] = {
        {"12-345.txt", {{"(\\d+)-(\\d+)", "$2-$1"}}, "r", "345-12.txt"},
        {"IMG_7.jpg", {{"(?<n>\\d)", "<${n}>"}}, "r", "IMG_<7>.jpg"},
        {"ab", {{"b", "$$-$x-$"}}, "r", "a$-$x-$"},
        {"ab", {{"(b)", "$10"}}, "r", "ab0"}, // one group: $1, then "0"
        {"abcdefghij", {{"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)", "$10"}}, "r", "j"},
        {"ab", {{"b", "$1${x}"}}, "r", "a$1${x}"},
        {"abc", {{"x*", "-"}}, "r", "-a-b-c-"},
        {"abc", {{"b*", "-"}}, "r", "-a--c-"}, // empty right after a match, as Perl
        {"aXa.a", {{"^a", "S"}, {"a$", "E"}}, "r", "SXE.a"},
        {"aXa.a", {{"a$", "E"}}, "rw", "aXa.E"},
        {"Мир 2.txt", {{"\\p{Lu}", "_"}, {"\\w+", "[$0]"}}, "r", "[_ир] [2].txt"},
        {notUtf8, {{".", "-"}}, "r", "-\xff-\xfe.x"},
        // After an empty match the next try is the next code point, before a bad byte too.
        {"abbc\377d", {{"b*", "-"}}, "r", "-a--c-\377-d-"},
        // A fragment after a bad byte starts no line, yet a leading ".*" matches there.
        {"ab\377b.txt", {{".*b", "X"}}, "r", "X\377X.txt"},
        {"abc", {{"a", "b"}, {"bb", "X"}}, "r", "Xc"},
        {"AbC", {{"b", "_"}}, "ri", "A_C"},
        {"A.B axb.x", {{"a.b", "$1"}}, "i", "$1 axb.x"},
        {"A.b a.b axb.x", {{"a.b", "$1"}}, "", "A.b $1 axb.x"},
        {"a(b", {{"ok", "x"}, {"(", "x"}}, "r", "a(b", NameFault::PatternInvalid},
        {stuck, {{"(a+)+$", "x"}}, "r", stuck, NameFault::PatternLimit},
    };
    for (const Row& row : rows) {
        const NewName got = ComputeNewNameChecked(Options(row.pairs, row.flags), row.name, 0);
        EXPECT_EQ(got.Name, row.expected) << row.name;
        EXPECT_EQ(got.Fault, row.fault) << row.name;
        EXPECT_EQ(got.Pair,
                  row.fault == NameFault::None ? -1 : static_cast<int>(row.pairs.size()) - 1);
    }
}

// A byte that is not UTF-8 is a place no pattern can match, as "#" is for a pattern that
// cannot match "#": random names with "#" where the bad byte is give the same result,
// with "." read as "[^#]".
TEST(ReplacePatterns, BadByteIsAPlaceNothingMatches) {
    const char* patterns[] = {"b*",    ".*b",  "^b*|c$",      "(a)(b)?", "(?<=a)b*",
                              "\\bb+", ".?b*", "(?<!b)[ab]+", "(.)\\1",  "a|"};
    std::mt19937 random(7);
    for (int n = 0; n < 300; ++n) {
        std::string withHash;
        for (auto length = random() % 9; length > 0; --length)
            withHash += "abc#"[random() % 4];
        std::string withBad = withHash;
        std::replace(withBad.begin(), withBad.end(), '#', '\xff');
        for (const std::string pattern : patterns) {
            std::string reference = pattern;
            for (std::size_t at = 0; (at = reference.find('.', at)) != std::string::npos;)
                reference.replace(at, 1, "[^#]");
            std::string expected =
                ComputeNewName(Options({{reference, "[$0]"}}, "rw"), withHash, 0);
            std::replace(expected.begin(), expected.end(), '#', '\xff');
            EXPECT_EQ(ComputeNewName(Options({{pattern, "[$0]"}}, "rw"), withBad, 0), expected)
                << withHash << " " << pattern;
        }
    }
}

// The compiled patterns are kept per thread: a change of pair text or flag must be seen.
TEST(ReplacePatterns, ChangedOptionsCompileAgain) {
    RenameOptionSet o = Options({{"a", "1"}}, "r");
    EXPECT_EQ(ComputeNewName(o, "ab", 0), "1b");
    o.ReplacePairs[0].ReplaceWith = "2";
    EXPECT_EQ(ComputeNewName(o, "ab", 0), "2b");
    o.ReplacePairs[0].Replace = "b";
    EXPECT_EQ(ComputeNewName(o, "aB", 0), "aB");
    o.ReplaceIgnoreCase = true;
    EXPECT_EQ(ComputeNewName(o, "aB", 0), "a2");
    o.ReplaceRegularExpressions = false;
    o.ReplacePairs[0].Replace = ".";
    EXPECT_EQ(ComputeNewName(o, "a.b.x", 0), "a2b.x");
}

TEST(ReplacePatterns, Problems) {
    const auto problem = CheckPattern("é(ab", false);
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->Offset, 4u); // code points, not the five bytes

    RenameOptionSet o = Options({{"ok", ""}, {"", ""}, {"a[", ""}}, "r");
    const auto found = FindPatternProblem(o);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->Pair, 2);
    EXPECT_EQ(found->Offset, 2u);
    o.ReplaceRegularExpressions = false;
    EXPECT_FALSE(FindPatternProblem(o));
    // Plain texts: only one that is not UTF-8 cannot ignore letter case.
    o.ReplacePairs[2].Replace = "a\xff";
    o.ReplaceIgnoreCase = true;
    EXPECT_EQ(FindPatternProblem(o)->Pair, 2);
    o.ReplaceIgnoreCase = false;
    EXPECT_FALSE(FindPatternProblem(o));
}

} // namespace
} // namespace qm
