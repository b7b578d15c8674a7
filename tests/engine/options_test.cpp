#include "engine/optionfields.h"
#include "engine/renameoptionset.h"
#include "optionprobe.h"

#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <string_view>
#include <vector>

namespace qm {
namespace {

TEST(Options, HasActiveOptions) {
    struct Row {
        const char* label;
        std::function<void(RenameOptionSet&)> setup;
        bool expected;
    };
    const std::vector<Row> rows = {
        {"defaults", [](RenameOptionSet&) {}, false},
        {"extension into name alone", [](RenameOptionSet& o) { o.AddFileExtToFilename = true; },
         false},
        {"change extension", [](RenameOptionSet& o) { o.ChangeFileExt = true; }, true},
        {"remove group without sub-option", [](RenameOptionSet& o) { o.RemoveGroup = true; },
         false},
        {"remove sub-option without group", [](RenameOptionSet& o) { o.RemoveBack = true; }, false},
        {"double spaces",
         [](RenameOptionSet& o) {
             o.RemoveGroup = true;
             o.RemoveDoubleSpaces = true;
         },
         true},
        {"replace enabled without pairs",
         [](RenameOptionSet& o) {
             o.ReplaceGroup = true;
             o.ReplaceEnabled = true;
         },
         false},
        {"replace enabled with a pair",
         [](RenameOptionSet& o) {
             o.ReplaceGroup = true;
             o.ReplaceEnabled = true;
             o.ReplaceCount = 1;
         },
         true},
        {"dot spaces",
         [](RenameOptionSet& o) {
             o.ReplaceGroup = true;
             o.ConvertDotSpaces = true;
         },
         true},
        {"insert front with empty text",
         [](RenameOptionSet& o) {
             o.InsertGroup = true;
             o.InsertFront = true;
         },
         false},
        {"insert back with text",
         [](RenameOptionSet& o) {
             o.InsertGroup = true;
             o.InsertBack = true;
             o.InsertBackText = "x";
         },
         true},
        {"number",
         [](RenameOptionSet& o) {
             o.InsertGroup = true;
             o.NumberIncEnabled = true;
         },
         true},
        {"shuffle",
         [](RenameOptionSet& o) {
             o.ShuffleGroup = true;
             o.AlterLogicFilename = true;
         },
         true},
        {"format switch without group", [](RenameOptionSet& o) { o.FormatTextEnabled = true; },
         false},
        {"format",
         [](RenameOptionSet& o) {
             o.FormatGroup = true;
             o.FormatTextEnabled = true;
         },
         true},
    };
    for (const Row& r : rows) {
        RenameOptionSet o;
        r.setup(o);
        EXPECT_EQ(HasActiveOptions(o), r.expected) << r.label;
    }
}

TEST(Options, ReadingNumberFields) {
    struct Row {
        std::string text;
        int minimum;
        int expected;
    };
    const std::vector<Row> rows = {
        {"42", 1, 42},
        {"abc", 1, 1},
        {"", 1, 1},
        {"-5", 0, -5},
        {"+7", 0, 7},
        {"300", 1, 300},
        {" 3", 1, 1},
        {"3x", 1, 1},
        {"2147483648", 0, 0},
        {"-2147483648", 0, INT32_MIN},
        {"+-1", 0, 0},
    };
    for (const Row& r : rows)
        EXPECT_EQ(ReadNumberText(r.text, r.minimum), r.expected) << "'" << r.text << "'";
}

TEST(Options, PairsSortByCollationKeepingTheirReplacement) {
    RenameOptionSet o;
    const std::vector<ReplacePair> stored = {
        {"b", "2"}, {"B", "3"}, {"a", "1"}, {"b", "4"}, {"A", "0"}};
    for (const ReplacePair& p : stored)
        o.ReplacePairs[static_cast<std::size_t>(o.ReplaceCount++)] = p;
    SortReplacePairs(o);
    // Case twins both stay, each with its own replacement; equal texts keep their order.
    ASSERT_EQ(o.ReplaceCount, 5);
    for (int i = 0; i + 1 < o.ReplaceCount; ++i)
        EXPECT_LE(CompareReplaceText(o.ReplacePairs[i].Replace, o.ReplacePairs[i + 1].Replace), 0);
    std::vector<std::string> withOfLowerB;
    for (int i = 0; i < o.ReplaceCount; ++i) {
        const ReplacePair& p = o.ReplacePairs[static_cast<std::size_t>(i)];
        if (p.Replace == "b") {
            withOfLowerB.push_back(p.ReplaceWith);
        } else if (p.Replace == "B") {
            EXPECT_EQ(p.ReplaceWith, "3");
        } else if (p.Replace == "A") {
            EXPECT_EQ(p.ReplaceWith, "0");
        }
    }
    EXPECT_EQ(withOfLowerB, (std::vector<std::string>{"2", "4"}));
    EXPECT_NE(CompareReplaceText("a", "A"), 0);
    EXPECT_LT(CompareReplaceText("a", "b"), 0);
    EXPECT_LT(CompareReplaceText("B", "c"), 0); // not byte order
}

// Takes the place of any member in an aggregate initialiser; declared only, for the
// unevaluated count below.
struct AnyValue {
    template <class T> operator T() const;
};

// The number of members of the aggregate T: the most initialisers T{...} takes.
template <class T, class... Taken> constexpr std::size_t MemberCount() {
    if constexpr (requires { T{Taken{}..., AnyValue{}}; })
        return MemberCount<T, Taken..., AnyValue>();
    else
        return sizeof...(Taken);
}

TEST(Options, FieldTableCoversTheDefaults) {
    // The table drives the scheme text, the settings store and the tests that must cover
    // every field: each member of the record but ReplaceCount and the pairs has one entry,
    // which reaches the field of its name with the right default.
    EXPECT_EQ(MemberCount<RenameOptionSet>(), OptionFields().size() + 2)
        << "a member of the record has no entry in the table, or one entry too many";
    RenameOptionSet o;
    std::set<const void*> members;
    std::set<std::string_view> names;
    for (const OptionField& f : OptionFields()) {
        if (auto m = std::get_if<OptionInt>(&f.member)) {
            EXPECT_EQ(o.*(*m), f.intDefault) << f.name;
        }
        members.insert(std::visit([&](auto m) -> const void* { return &(o.*m); }, f.member));
        names.insert(f.name);
    }
    EXPECT_EQ(members.size(), OptionFields().size()) << "two entries share a member";
    EXPECT_EQ(names.size(), OptionFields().size()) << "two entries share a name";
    EXPECT_EQ(OptionFields().front().name, "AddFileExtToFilename");
}

// Every option flag that changes a name when turned on alone (its tab's group on, its
// texts filled in) makes the options active: else the window would call them idle.
TEST(Options, EveryFlagThatChangesANameMakesTheOptionsActive) {
    const RenameOptionSet base = test::GroupsOn();
    EXPECT_FALSE(HasActiveOptions(base));
    int changing = 0;
    for (const OptionField& field : OptionFields()) {
        if (!std::holds_alternative<OptionFlag>(field.member) || test::IsGroupSwitch(field))
            continue;
        RenameOptionSet on = base;
        test::ChangeField(on, field);
        if (test::ChangesAName(base, on)) {
            ++changing;
            EXPECT_TRUE(HasActiveOptions(on)) << field.name;
        }
    }
    EXPECT_GE(changing, 17) << "the probe's name no longer shows what the options do";
}

} // namespace
} // namespace qm
