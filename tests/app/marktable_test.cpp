// The marks as the window keeps them, and the marks made with the names the run gives
// taken out of the prediction and the column's names in one block.

#include "app/list/marktable.h"
#include "app/list/predictionmarks.h"
#include "engine/newname.h"
#include "engine/organize.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace qm::test {
namespace {

// Seven rows, one of each kind the first pass and the comparison with the column give:
// 0 fails; 1 is renamed with a number one lower than the column's (shifted); 2 is refused
// the name 1 took, tried with the lower number (taken, with the name tried); 3 is left as
// it is while the column shows a new name (keeps); 4 gets the numbered form of the name
// shown (numbered); 5 gets the name shown (no mark); 6 fails with a number other than the
// column's that its name lacks, so it tried the name shown (fails, no name tried).
struct Case {
    RenameOptionSet options;
    std::vector<TRunEntry> entries;
    TPrediction prediction;
};

Case SevenRows() {
    Case c;
    c.options.InsertGroup = c.options.InsertFront = true;
    c.options.InsertFrontText = "x_";
    c.options.NumberIncEnabled = true;
    c.options.NumberTakenNames = true;
    for (int i = 0; i < 7; ++i)
        c.entries.push_back({i, false, "/x/", "f" + std::to_string(i) + ".txt", {}, {}, {}});
    const std::vector<std::string> shown = ShownNames(c.entries, c.options);
    const auto add = [&](RenameOutcome outcome, RunError error, std::int32_t number,
                         std::string candidate) {
        c.prediction.Entries.push_back({outcome, std::move(candidate), error, number});
    };
    const std::string lower = ComputeNewName(c.options, "f1.txt", 0);
    add(RenameOutcome::Failed, EACCES, 0, shown[0]);
    add(RenameOutcome::Renamed, 0, 0, lower);
    add(RenameOutcome::Failed, EEXIST, 1, lower);
    add(RenameOutcome::Unchanged, 0, 2, "f3.txt");
    add(RenameOutcome::Renamed, 0, 4, NumberedName(shown[4], 2, TakenNameForm()));
    add(RenameOutcome::Renamed, 0, 5, shown[5]);
    add(RenameOutcome::Failed, EACCES, 3, shown[6]);
    return c;
}

std::string Text(const TRowMark& mark) {
    return std::to_string(mark.Slot) + " " + std::to_string(static_cast<int>(mark.Kind)) + " " +
           std::to_string(mark.Error.Errno()) + "." +
           std::to_string(static_cast<int>(mark.Error.Fault())) + " " + mark.Name + " | " +
           mark.Tried;
}

std::vector<std::string> Texts(const std::vector<TRowMark>& marks) {
    std::vector<std::string> texts;
    for (const TRowMark& mark : marks)
        texts.push_back(Text(mark));
    return texts;
}

TEST(MarkRows, NamesTakenOutOfThePredictionAndShownNamesInABlockGiveTheSameMarks) {
    const Case c = SevenRows();
    const std::vector<std::string> shown = ShownNames(c.entries, c.options);
    const TShownNameBlock block = ShownNameBlock(c.entries, c.options);
    ASSERT_EQ(block.Size(), shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i)
        EXPECT_EQ(block[i], shown[i]) << i;

    const std::string lower = c.prediction.Entries[1].Candidate;
    const std::vector<std::string> expected = {
        Text({0, MarkKind::Fails, EACCES, {}, {}}),
        Text({1, MarkKind::Shifted, 0, lower, {}}),
        Text({2, MarkKind::Taken, EEXIST, "f1.txt", lower}),
        Text({3, MarkKind::Keeps, 0, {}, {}}),
        Text({4, MarkKind::Numbered, 0, c.prediction.Entries[4].Candidate, {}}),
        Text({6, MarkKind::Fails, EACCES, {}, {}}),
    };
    EXPECT_EQ(Texts(MarkRows(c.entries, c.prediction, c.options)), expected) << "copied";
    struct Row {
        const char* name;
        TShownNames shown;
    };
    for (const Row& row : {Row{"computed", nullptr}, Row{"vector", &shown}, Row{"block", &block}}) {
        TPrediction taken = c.prediction;
        EXPECT_EQ(Texts(MarkRows(c.entries, std::move(taken), c.options, nullptr, row.shown)),
                  expected)
            << row.name;
    }
}

TEST(MarkTable, GivesBackEveryMarkAndNoneBetween) {
    const Case c = SevenRows();
    std::vector<TRowMark> marks = MarkRows(c.entries, c.prediction, c.options);
    marks.push_back({9, MarkKind::TagMissing, 0, "taken", {}});
    marks.push_back({12, MarkKind::Fails, ENAMETOOLONG, {}, "tried"});
    const TMarkTable table(marks);
    EXPECT_EQ(table.Size(), marks.size());
    const TMarkCounts counts = CountMarks(marks);
    EXPECT_EQ(table.Counts().Run, counts.Run);
    EXPECT_EQ(table.Counts().MissingTaken, 1);
    std::size_t next = 0;
    for (int slot = -1; slot <= 13; ++slot) {
        const TMarkRef mark = table.Of(slot);
        const auto found = table.Find(slot);
        if (next < marks.size() && marks[next].Slot == slot) {
            ASSERT_FALSE(mark == nullptr) << slot;
            EXPECT_EQ(Text(*mark), Text(marks[next])) << slot;
            ASSERT_TRUE(found.has_value()) << slot;
            EXPECT_EQ(found->Kind, marks[next].Kind) << slot;
            EXPECT_EQ(found->Name, marks[next].Name) << slot;
            ++next;
        } else {
            EXPECT_TRUE(mark == nullptr) << slot;
            EXPECT_FALSE(found.has_value()) << slot;
        }
    }
    EXPECT_EQ(next, marks.size());
    EXPECT_TRUE(TMarkTable().Of(0) == nullptr);
}

} // namespace
} // namespace qm::test
