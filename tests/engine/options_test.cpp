#include "engine/optionfields.h"
#include "engine/renameoptionset.h"

#include <functional>
#include <gtest/gtest.h>
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

TEST(Options, FieldTableCoversTheDefaults) {
    // The table drives the scheme text and the settings store: every entry must reach the
    // field of its name with the right default.
    RenameOptionSet o;
    int ints = 0;
    for (const OptionField& f : OptionFields()) {
        if (auto m = std::get_if<OptionInt>(&f.member)) {
            EXPECT_EQ(o.*(*m), f.intDefault) << f.name;
            ++ints;
        }
    }
    EXPECT_EQ(OptionFields().size(), 49u);
    EXPECT_EQ(ints, 8);
    EXPECT_EQ(OptionFields().front().name, "AddFileExtToFilename");
    EXPECT_EQ(OptionFields().back().name, "FormatSpecialOtherLettersUp");
}

} // namespace
} // namespace qm
