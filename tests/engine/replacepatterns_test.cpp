#include "engine/newname.h"
#include "engine/replacepatterns.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace qm {
namespace {

struct Row {
    const char* label;
    std::string name;
    std::vector<std::pair<std::string, std::string>> pairs;
    bool regex;
    bool ignoreCase;
    std::string expected;
    NameFault fault = NameFault::None;
    bool wholeName = false; // AddFileExtToFilename
};

RenameOptionSet Options(const Row& row) {
    RenameOptionSet o;
    o.ReplaceGroup = true;
    o.ReplaceEnabled = true;
    o.ReplaceRegularExpressions = row.regex;
    o.ReplaceIgnoreCase = row.ignoreCase;
    for (const auto& [find, with] : row.pairs)
        o.ReplacePairs[static_cast<std::size_t>(o.ReplaceCount++)] = {find, with};
    return o;
}

TEST(ReplacePatterns, Replace) {
    const std::string longA = std::string(40, 'a') + "b";
    const std::vector<Row> rows = {
        {"captures swap", "12-345.txt", {{"(\\d+)-(\\d+)", "$2-$1"}}, true, false, "345-12.txt"},
        {"named group", "IMG_7.jpg", {{"(?<n>\\d)", "<${n}>"}}, true, false, "IMG_<7>.jpg"},
        {"$$ is a dollar, lone $ literal", "ab", {{"b", "$$-$x-$"}}, true, false, "a$-$x-$"},
        {"$10 with one group is $1 then 0", "ab", {{"(b)", "$10"}}, true, false, "ab0"},
        {"$10 with ten groups",
         "abcdefghij",
         {{"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)", "$10"}},
         true,
         false,
         "j"},
        {"missing group stays literal", "ab", {{"b", "$1${x}"}}, true, false, "a$1${x}"},
        {"empty match as Perl", "abc", {{"x*", "-"}}, true, false, "-a-b-c-"},
        {"empty match after a match", "abc", {{"b*", "-"}}, true, false, "-a--c-"},
        {"anchors", "aXa.a", {{"^a", "S"}, {"a$", "E"}}, true, false, "SXE.a"},
        {"anchor before the extension", "aXa.a", {{"a$", "E"}}, true, false, "aXE.a"},
        {"anchor with the extension",
         "aXa.a",
         {{"a$", "E"}},
         true,
         false,
         "aXa.E",
         NameFault::None,
         true},
        {"unicode class on Cyrillic",
         "Мир 2.txt",
         {{"\\p{Lu}", "_"}, {"\\w+", "[$0]"}},
         true,
         false,
         "[_ир] [2].txt"},
        {"bytes not UTF-8 never match",
         "a\xff"
         "b\xfe.x",
         {{".", "-"}},
         true,
         false,
         "-\xff-\xfe.x"},
        {"pairs in order on the result", "abc", {{"a", "b"}, {"bb", "X"}}, true, false, "Xc"},
        {"regex ignores case", "AbC", {{"b", "_"}}, true, true, "A_C"},
        {"plain ignores case, text literal", "A.B a.b.x", {{"a.b", "$1"}}, false, true, "$1 $1.x"},
        {"plain ignore case: dot is no wildcard", "axb", {{"a.b", "-"}}, false, true, "axb"},
        {"invalid pattern keeps the name",
         "a(b",
         {{"ok", "x"}, {"(", "x"}},
         true,
         false,
         "a(b",
         NameFault::PatternInvalid},
        {"catastrophic pattern hits the limit",
         longA,
         {{"(a+)+$", "x"}},
         true,
         false,
         longA,
         NameFault::PatternLimit},
    };
    for (const Row& row : rows) {
        RenameOptionSet o = Options(row);
        o.AddFileExtToFilename = row.wholeName;
        const NewName got = ComputeNewNameChecked(o, row.name, 0);
        EXPECT_EQ(got.Name, row.expected) << row.label;
        EXPECT_EQ(got.Fault, row.fault) << row.label;
        EXPECT_EQ(got.Pair,
                  row.fault == NameFault::None ? -1 : static_cast<int>(row.pairs.size()) - 1)
            << row.label;
    }
}

// Both flags off: the find text is plain, case-sensitive, and "$" means nothing.
TEST(ReplacePatterns, BothFlagsOffAsBefore) {
    Row row{"plain", "A.b a.b axb.x", {{"a.b", "$1"}}, false, false, ""};
    EXPECT_EQ(ComputeNewName(Options(row), row.name, 0), "A.b $1 axb.x");
}

// The compiled patterns are kept per thread: a change of pair text or flag must be seen.
TEST(ReplacePatterns, ChangedOptionsCompileAgain) {
    Row row{"", "ab", {{"a", "1"}}, true, false, ""};
    RenameOptionSet o = Options(row);
    EXPECT_EQ(ComputeNewName(o, "ab", 0), "1b");
    o.ReplacePairs[0].ReplaceWith = "2";
    EXPECT_EQ(ComputeNewName(o, "ab", 0), "2b");
    o.ReplacePairs[0].Replace = "b";
    EXPECT_EQ(ComputeNewName(o, "ab", 0), "a2");
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
    EXPECT_FALSE(problem->Reason.empty());
    EXPECT_FALSE(CheckPattern("(?i)é(ab)", false));

    RenameOptionSet o = Options({"", "", {{"ok", ""}, {"", ""}, {"a[", ""}}, true, false, ""});
    auto found = FindPatternProblem(o);
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
