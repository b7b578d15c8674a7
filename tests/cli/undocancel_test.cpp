// An undo cancelled at a random move and then finished leaves the disk as an undo that
// ran whole does, and the run is called undone only once it is.

#include "rename/journaledrun.h"
#include "rename/journalundo.h"
#include "renamefolder.h"
#include "settings/optionschemas.h"

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <random>

namespace qm::test {
namespace {

namespace fs = std::filesystem;

RenameOptionSet Options(const std::string& text) {
    RenameOptionSet options;
    ReadSchemeText(NormalizeLineEnds("Version=1\n" + text), options);
    return options;
}

std::vector<std::string> Names(const char* prefix, int count) {
    std::vector<std::string> names;
    for (int i = 1; i <= count; ++i)
        names.push_back(prefix + std::to_string(1000 + i));
    return names;
}

TEST(UndoCancelled, AtARandomMoveThenFinishedEndsAsIfNeverCancelled) {
    struct Case {
        const char* what;
        RunOrder order;
        std::vector<std::string> files;
        std::string scheme;
    };
    std::vector<std::string> swaps = Names("x", 15);
    for (const std::string& name : Names("y", 15))
        swaps.push_back(name);
    const Case cases[] = {
        {"list order, numbered", RunOrder::ListOrder, Names("a", 30),
         "InsertGroup=true\nInsertFront=true\nInsertFrontText=b\nNumberIncEnabled=true\n"},
        {"planned swaps", RunOrder::Planned, swaps, Pairs({"x:#", "y:x", "#:y"})},
        {"planned chain", RunOrder::Planned, Names("t", 30),
         "RemoveGroup=true\nRemoveBack=true\nRemoveBackCount=4\nInsertGroup=true\n"
         "NumberIncEnabled=true\nNumberIncMinLength=4\nNumberIncValue=1002\n"},
        {"into a sub-folder", RunOrder::ListOrder, Names("s", 30), Pairs({"s:sub/s"})},
    };
    std::mt19937 random(32);
    const std::atomic<bool> goOn{false};
    for (int round = 0; round < 8; ++round) {
        const Case& c = cases[round % 4];
        RenameFolder dir, state;
        const TJournalPlace place{state.Path() + "Marlowick/Quillmark/", "test"};
        dir.Make("sub/");
        for (const std::string& name : c.files)
            dir.Make(name);
        const auto before = dir.Contents();
        ListedFiles list(dir.Path(), c.files);
        const TJournaledRun run = RunJournaledRenames(
            list.items(), Options(c.scheme), RenameMode::Rename, c.order, {}, goOn, {}, place);
        ASSERT_TRUE(run.Ran && run.JournalProblem.empty()) << run.JournalProblem;
        ASSERT_NE(dir.Contents(), before);
        const std::string path = JournalPath(place.Folder, run.RunId);

        const std::size_t moves = PlanUndo(ReadJournal(path).Journal).Moves.size();
        ASSERT_GT(moves, 1u);
        const std::size_t stopAfter =
            std::uniform_int_distribution<std::size_t>(0, moves - 1)(random);
        SCOPED_TRACE(std::string(c.what) + ", cancelled after " + std::to_string(stopAfter) +
                     " of " + std::to_string(moves) + " moves");
        std::atomic<bool> cancel{stopAfter == 0};
        const TUndoResult first = UndoJournal(
            path, ReadJournal(path).Journal, place, cancel,
            [&](std::size_t done, std::size_t) { cancel = cancel || done == stopAfter; });
        EXPECT_TRUE(first.Tally.Cancelled);
        EXPECT_FALSE(first.Complete);
        EXPECT_FALSE(ReadJournal(path).Journal.Undone);
        EXPECT_LE(first.Tally.Renamed, static_cast<int>(c.files.size()));
        EXPECT_EQ(first.Tally.Failed, 0);

        // An undo without a named run takes the cancelled one further.
        const TRunToUndo last = LastRunToUndo(place.Folder);
        EXPECT_EQ(last.Path, path);
        if (stopAfter > 0) {
            EXPECT_TRUE(last.Finishing);
        }
        const TUndoResult second = UndoJournal(path, ReadJournal(path).Journal, place, goOn);
        EXPECT_TRUE(second.Complete);
        EXPECT_EQ(second.Tally.Failed, 0);
        EXPECT_TRUE(second.Failures.empty());
        EXPECT_TRUE(ReadJournal(path).Journal.Undone);
        EXPECT_EQ(dir.Contents(), before);
        if (HasFailure())
            break;
    }
}

// A name taken while the undo runs (after it was planned) fails that entry: the undo
// reports it and leaves the run partly undone, the file that took the name untouched.
TEST(UndoRunning, ANameTakenDuringTheUndoLeavesTheRunPartlyUndone) {
    RenameFolder dir, state;
    const TJournalPlace place{state.Path() + "Marlowick/Quillmark/", "test"};
    dir.Make("a1");
    dir.Make("a2");
    ListedFiles list(dir.Path(), {"a1", "a2"});
    const std::atomic<bool> goOn{false};
    const TJournaledRun run =
        RunJournaledRenames(list.items(), Options(Pairs({"a:b"})), RenameMode::Rename,
                            RunOrder::ListOrder, {}, goOn, {}, place);
    ASSERT_TRUE(run.Ran && run.JournalProblem.empty()) << run.JournalProblem;
    const std::string path = JournalPath(place.Folder, run.RunId);
    const TUndoPlan plan = PlanUndo(ReadJournal(path).Journal);
    ASSERT_EQ(plan.Moves.size(), 2u);
    const std::string taken = plan.Moves[1].To;

    const TUndoResult undo = UndoJournal(path, ReadJournal(path).Journal, place, goOn,
                                         [&](std::size_t done, std::size_t) {
                                             if (done == 1)
                                                 std::ofstream(dir.Path() + taken) << "another";
                                         });
    EXPECT_FALSE(undo.Complete);
    EXPECT_FALSE(ReadJournal(path).Journal.Undone);
    EXPECT_EQ(LastRunToUndo(place.Folder).Path, path);
    EXPECT_EQ(undo.Tally.Failed, 1);
    ASSERT_EQ(undo.Failures.size(), 1u);
    EXPECT_EQ(undo.Failures[0].Old, taken);
    EXPECT_EQ(undo.Failures[0].Error, EEXIST);
    const auto contents = dir.Contents();
    ASSERT_EQ(contents.count("another"), 1u);
    EXPECT_EQ(contents.at("another"), std::vector<std::string>{taken});
}

// What an undo plans for one file renamed a -> b, as the disk has it since: where its file
// is not found it fails the entry as gone, also when another file took its old name, and
// never reports an entry that is back already.
TEST(UndoPlan, EachStateOfTheDiskSinceTheRun) {
    const struct Row {
        const char* what;
        std::function<void(const std::string&)> since;
        const char* moves; // "from>to," each
        int error;         // the entry's failure, 0: none
    } rows[] = {
        {"as the run left it", [](const std::string&) {}, "b>a,", 0},
        {"renamed back by hand", [](const std::string& p) { fs::rename(p + "b", p + "a"); }, "", 0},
        {"gone", [](const std::string& p) { fs::remove(p + "b"); }, "", ENOENT},
        {"gone, its old name taken",
         [](const std::string& p) {
             // Made first, so that it cannot take the removed file's inode number.
             std::ofstream(p + "a") << "another";
             fs::remove(p + "b");
         },
         "", ENOENT},
        {"its old name taken", [](const std::string& p) { std::ofstream(p + "a") << "another"; },
         "", EEXIST},
        {"another file under its new name",
         [](const std::string& p) {
             fs::rename(p + "b", p + "kept");
             std::ofstream(p + "b") << "another";
         },
         "", ENOENT},
    };
    const std::atomic<bool> goOn{false};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        RenameFolder dir, state;
        const TJournalPlace place{state.Path() + "Marlowick/Quillmark/", "test"};
        dir.Make("a");
        ListedFiles list(dir.Path(), {"a"});
        const TJournaledRun run =
            RunJournaledRenames(list.items(), Options(Pairs({"a:b"})), RenameMode::Rename,
                                RunOrder::ListOrder, {}, goOn, {}, place);
        ASSERT_TRUE(run.Ran);
        row.since(dir.Path());
        const TUndoPlan plan = PlanUndo(ReadJournal(JournalPath(place.Folder, run.RunId)).Journal);
        std::string moves;
        for (const TJournalMove& m : plan.Moves)
            moves += m.From + ">" + m.To + ",";
        EXPECT_EQ(moves, row.moves);
        ASSERT_EQ(plan.Failures.size(), row.error ? 1u : 0u);
        if (row.error) {
            EXPECT_EQ(plan.Failures[0].Error, row.error);
        }
        EXPECT_EQ(CountUndo(plan).Failed, row.error ? 1 : 0);
    }
}

// A folder whose rename failed kept its path: a file of it that is no longer there is not
// looked for under the name the folder did not get (another folder's file of that name is
// not the run's to rename).
TEST(UndoPlan, AFolderWhoseRenameFailedLendsNoOtherPath) {
    RenameFolder dir, state;
    const TJournalPlace place{state.Path() + "Marlowick/Quillmark/", "test"};
    dir.Make("d/");
    dir.Make("d/f");
    dir.Make("d_x/"); // takes the folder's new name first
    TFileList list;
    list.Items().BeginUpdate();
    list.Items().AddNamesOnly({{"d", dir.Path()}, {"f", dir.Path() + "d/"}});
    const std::atomic<bool> goOn{false};
    const TJournaledRun run = RunJournaledRenames(
        list.Items(), Options("InsertGroup=true\nInsertBack=true\nInsertBackText=_x\n"),
        RenameMode::Rename, RunOrder::ListOrder, {}, goOn, {}, place);
    ASSERT_EQ(run.Tally.Renamed, 1);
    ASSERT_EQ(run.Tally.Failed, 1);
    fs::rename(dir.Path() + "d/f_x", dir.Path() + "d_x/f_x"); // moved away by hand
    const TUndoPlan plan = PlanUndo(ReadJournal(JournalPath(place.Folder, run.RunId)).Journal);
    EXPECT_TRUE(plan.Moves.empty());
    ASSERT_EQ(plan.Failures.size(), 1u);
    EXPECT_EQ(plan.Failures[0].Error, ENOENT);
}

// Counted per entry, whatever the order of its moves: a failed move or a planned failure
// outweighs a move back, which outweighs one not reached; a move of no known entry counts
// alone.
TEST(UndoPlan, CountsEachEntryOnceByItsWorstMove) {
    struct Row {
        const char* what;
        std::vector<int> entries; // one move each
        std::vector<RunError> errors;
        std::vector<int> failures;
        int renamed, failed, unchanged;
    };
    const std::vector<Row> rows = {
        {"back, then refused", {0, 0}, {0, EEXIST}, {}, 0, 1, 3},
        {"refused, then back", {0, 0}, {EEXIST, 0}, {}, 0, 1, 3},
        {"back, then not reached", {1, 1}, {0, ECANCELED}, {}, 1, 0, 3},
        {"not reached alone", {2}, {ECANCELED}, {}, 0, 0, 4},
        {"back, but planned to fail", {3}, {0}, {3}, 0, 1, 3},
        {"two moves of no known entry", {-1, -1}, {0, 0}, {-1}, 2, 1, 1},
        {"entries in any order", {2, 0, 2, 1, 0}, {0, 0, EEXIST, 0, 0}, {}, 2, 1, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TUndoPlan plan;
        plan.Entries = 4;
        for (const int entry : row.entries)
            plan.Moves.push_back({entry, false, "d/", "b", "a"});
        for (const int entry : row.failures)
            plan.Failures.push_back({entry, "d/", "b", "a", EEXIST});
        const RenameTally tally = CountUndo(plan, row.errors);
        EXPECT_EQ(tally.Renamed, row.renamed);
        EXPECT_EQ(tally.Failed, row.failed);
        EXPECT_EQ(tally.Unchanged, row.unchanged);
    }
}

} // namespace
} // namespace qm::test
