#include "rename/journaledrun.h"
#include "rename/journalundo.h"
#include "rename/predict.h"
#include "rename/renamerun.h"
#include "renamefolder.h"
#include "runerrorprint.h"
#include "settings/optionschemas.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <gtest/gtest.h>
#include <thread>

namespace qm::test {
namespace {

RenameOptionSet Scheme(const std::string& text) {
    RenameOptionSet options;
    ReadSchemeText(NormalizeLineEnds("Version=1\n" + text), options);
    SortReplacePairs(options);
    return options;
}

struct Recorded {
    std::vector<std::string> events;
    RenameCallbacks callbacks;
    Recorded() {
        callbacks.OnNames = [this](int slot, const std::string& from, const std::string& to) {
            events.push_back(std::to_string(slot) + " " + from + ">" + to);
        };
        callbacks.OnOutcome = [this](int slot, RenameOutcome outcome, RunError error) {
            const char* kinds[] = {"renamed", "unchanged", "failed"};
            events.push_back(std::to_string(slot) + " " + kinds[static_cast<int>(outcome)] +
                             (error ? " " + ErrorCode(error) : ""));
        };
        callbacks.OnNumber = [this](std::int32_t n) {
            events.push_back("#" + std::to_string(n));
        };
    }
};

const std::atomic<bool> kGoOn{false};

TEST(RenameRun, CollidingNamesTheSecondFailsAndLosesItsUndoName) {
    RenameFolder dir;
    dir.Make("xa");
    dir.Make("ya");
    ListedFiles files(dir.Path(), {"xa", "ya"});
    files[1].SetNewName("ya"); // an undo name from an earlier run
    Recorded r;
    const RenameTally tally =
        RunRenames(files.items(),
                   Scheme("ReplaceGroup=true\nReplaceEnabled=true\nReplaceCount=2\n"
                          "ReplaceText1=x:z\nReplaceText2=y:z\n"),
                   RenameMode::Rename, r.callbacks, kGoOn);
    EXPECT_EQ(r.events, (std::vector<std::string>{"0 xa>za", "0 renamed", "1 ya>za",
                                                  "1 failed " + std::to_string(EEXIST)}));
    EXPECT_EQ(tally.Renamed, 1);
    EXPECT_EQ(tally.Failed, 1);
    EXPECT_EQ(files[0].Name(), "za");
    EXPECT_EQ(files[0].PrevName(), "xa");
    EXPECT_EQ(files[1].Name(), "ya");
    EXPECT_FALSE(files[1].CanUndo());
    EXPECT_FALSE(files[1].Renamed());

    // Undo restores the renamed file and leaves the failed one alone.
    Recorded undo;
    const RenameTally back =
        RunRenames(files.items(), RenameOptionSet{}, RenameMode::Undo, undo.callbacks, kGoOn);
    EXPECT_EQ(undo.events, (std::vector<std::string>{"0 za>xa", "0 renamed", "1 unchanged"}));
    EXPECT_EQ(back.Renamed, 1);
    EXPECT_EQ(files[0].Name(), "xa");
    EXPECT_FALSE(files[0].CanUndo());
    EXPECT_EQ(dir.Contents().at("xa"), std::vector<std::string>{"xa"});
}

// A name that takes a pattern beyond its limits fails with its own error in every form of
// the run, as predicted, and the number does not rise for it: the next two get 1 and 2.
TEST(RenameRun, ANameTheEngineCannotComputeFailsAsPredictedInEveryForm) {
    const std::string stuck = std::string(40, 'a') + "b";
    const RenameOptionSet options = Scheme(
        "ReplaceGroup=true\nReplaceEnabled=true\nReplaceRegularExpressions=true\n"
        "ReplaceText1=(a+)+$:x\nInsertGroup=true\nNumberIncEnabled=true\nNumberIncValue=1\n");
    for (int form = 0; form < 4; ++form) {
        SCOPED_TRACE("form " + std::to_string(form));
        RenameFolder dir;
        for (const std::string& name : {stuck, std::string("ca"), std::string("ba")})
            dir.Make(name);
        ListedFiles files(dir.Path(), {stuck, "ca", "ba"});
        const RunOrder order = form % 2 == 0 ? RunOrder::ListOrder : RunOrder::Planned;
        const TPrediction predicted = PredictRenames(SnapshotEntries(files.items()), options,
                                                     RenameMode::Rename, order, kGoOn);
        Recorded r;
        const RenameTally tally =
            form < 2 ? RunJournaledRenames(files.items(), options, RenameMode::Rename, order,
                                           r.callbacks, kGoOn, {}, {dir.Path() + "journal/", ""})
                           .Tally
            : order == RunOrder::ListOrder
                ? RunRenames(files.items(), options, RenameMode::Rename, r.callbacks, kGoOn)
                : RunPlannedRenames(files.items(), options, RenameMode::Rename, r.callbacks, kGoOn);
        EXPECT_EQ(std::count(r.events.begin(), r.events.end(), "0 failed PatternLimit"), 1);
        EXPECT_EQ(tally.Failed, 1);
        ASSERT_EQ(predicted.Entries.size(), 3u);
        EXPECT_EQ(predicted.Entries[0].Error, RunError::Of(RunFault::PatternLimit));
        EXPECT_EQ(predicted.Tally.Failed, 1);
        EXPECT_EQ(files[0].Name(), stuck);
        EXPECT_EQ(files[1].Name(), "cx1");
        EXPECT_EQ(files[2].Name(), "bx2");
        EXPECT_EQ(dir.Contents().at(stuck), std::vector<std::string>{stuck});
    }
}

TEST(RenameRun, TheNumberRisesOnlyAfterASuccessAndStopsAt999999) {
    // The last character goes and the number comes in its place, so "b6" computed with
    // number 6 is already right.
    const std::string numbered = "RemoveGroup=true\nRemoveBack=true\nRemoveBackCount=1\n"
                                 "InsertGroup=true\nNumberIncEnabled=true\n";
    RenameFolder dir;
    for (const char* name : {"a0", "b6", "c0"})
        dir.Make(name);
    ListedFiles files(dir.Path(), {"a0", "b6", "c0"});
    Recorded r;
    RenameTally tally = RunRenames(files.items(), Scheme(numbered + "NumberIncValue=5\n"),
                                   RenameMode::Rename, r.callbacks, kGoOn);
    EXPECT_EQ(r.events, (std::vector<std::string>{"0 a0>a5", "#6", "0 renamed", "1 unchanged",
                                                  "2 c0>c6", "#7", "2 renamed"}));
    EXPECT_EQ(tally.NumberIncValue, 7);

    // At the top of the range the number holds; below 0 it comes back to 0.
    ListedFiles top(dir.Path(), {"a5", "c6"});
    tally = RunRenames(top.items(), Scheme(numbered + "NumberIncValue=999999\n"),
                       RenameMode::Rename, {}, kGoOn);
    EXPECT_EQ(top[0].Name(), "a999999");
    EXPECT_EQ(top[1].Name(), "c999999");
    EXPECT_EQ(tally.NumberIncValue, 999999);
    RenameOptionSet below = Scheme(numbered);
    below.NumberIncValue = -7;
    ListedFiles low(dir.Path(), {"a999999"});
    EXPECT_EQ(RunRenames(low.items(), below, RenameMode::Rename, {}, kGoOn).NumberIncValue, 0);
}

TEST(RenameRun, CaseOnlyChangeAndSubfolderMovesAreRenames) {
    RenameFolder dir;
    for (const char* name : {"readme", "x1", "x2", "sub/"})
        dir.Make(name);
    ListedFiles upper(dir.Path(), {"readme"});
    RenameTally tally = RunRenames(upper.items(),
                                   Scheme("FormatGroup=true\nFormatTextEnabled=true\n"
                                          "FormatFirstLetterUp=true\nFormatOtherLettersUp=true\n"),
                                   RenameMode::Rename, {}, kGoOn);
    EXPECT_EQ(tally.Renamed, 1);
    EXPECT_EQ(upper[0].Name(), "README");
    EXPECT_EQ(dir.Contents().at("readme"), std::vector<std::string>{"README"});

    ListedFiles files(dir.Path(), {"x1"});
    tally = RunRenames(files.items(),
                       Scheme("ReplaceGroup=true\nReplaceEnabled=true\nReplaceCount=1\n"
                              "ReplaceText1=x:sub/x\n"),
                       RenameMode::Rename, {}, kGoOn);
    EXPECT_EQ(tally.Renamed, 1);
    EXPECT_EQ(files[0].Name(), "sub/x1");
    EXPECT_EQ(dir.Contents().at("x1"), std::vector<std::string>{"sub/x1"});
    tally = RunRenames(files.items(), {}, RenameMode::Undo, {}, kGoOn);
    EXPECT_EQ(tally.Renamed, 1);
    EXPECT_EQ(files[0].Name(), "x1");
    EXPECT_EQ(dir.Contents().at("x1"), std::vector<std::string>{"x1"});

    // Into a folder that is not there: refused, nothing moves.
    ListedFiles missing(dir.Path(), {"x2"});
    Recorded r;
    tally = RunRenames(missing.items(),
                       Scheme("ReplaceGroup=true\nReplaceEnabled=true\nReplaceCount=1\n"
                              "ReplaceText1=x:nowhere/x\n"),
                       RenameMode::Rename, r.callbacks, kGoOn);
    EXPECT_EQ(r.events.back(), "0 failed " + std::to_string(ENOENT));
    EXPECT_EQ(dir.Contents().at("x2"), std::vector<std::string>{"x2"});
}

TEST(RenameRun, CancelStopsBeforeTheNextEntryAndLeavesTheRestAsTheyWere) {
    RenameFolder dir;
    std::vector<std::string> names;
    for (int i = 0; i < 5; ++i) {
        names.push_back("x" + std::to_string(i));
        dir.Make(names.back());
    }
    ListedFiles files(dir.Path(), names);
    for (int i = 0; i < 5; ++i)
        files[i].SetNewName(names[static_cast<std::size_t>(i)]); // Renamed and undo info set
    std::atomic<bool> cancel{false};
    RenameCallbacks callbacks;
    callbacks.OnStep = [&](int done) {
        cancel = done == 2;
    };
    const RenameTally tally =
        RunRenames(files.items(),
                   Scheme("ReplaceGroup=true\nReplaceEnabled=true\nReplaceCount=1\n"
                          "ReplaceText1=x:y\n"),
                   RenameMode::Rename, callbacks, cancel);
    EXPECT_TRUE(tally.Cancelled);
    EXPECT_EQ(tally.Renamed, 2);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const bool reached = i < 2;
        EXPECT_EQ(files[i].Name(), (reached ? "y" : "x") + std::to_string(i));
        EXPECT_EQ(files[i].PrevName(), "x" + std::to_string(i));
        EXPECT_TRUE(files[i].Renamed());
    }
}

// Built with the thread sanitizer (the tsan preset), this checks that a window thread
// may read entries and set the cancel flag while the run works.
TEST(RenameRun, AnotherThreadCancelsAndReadsWhileTheRunWorks) {
    RenameFolder dir;
    std::vector<std::string> names;
    for (int i = 0; i < 400; ++i) {
        names.push_back("x" + std::to_string(i));
        dir.Make(names.back());
    }
    ListedFiles files(dir.Path(), names);
    std::atomic<bool> cancel{false};
    std::atomic<int> done{0};
    std::atomic<bool> reading{false};
    RenameCallbacks callbacks;
    callbacks.OnStep = [&](int n) {
        done.store(n, std::memory_order_release);
        // Make sure the two threads overlap, however late the reader starts, and that the
        // cancel lands at a known place however the threads are scheduled.
        while (n == 1 && !reading.load(std::memory_order_acquire))
            std::this_thread::yield();
        while (n == 100 && !cancel.load())
            std::this_thread::yield();
    };
    std::thread window([&] {
        std::size_t seen = 0;
        while (done.load(std::memory_order_acquire) < 100) {
            auto lock = files.items().ReadLock();
            // The entry the run works on next, so that reads meet its writes.
            const TFileItem& next = files[std::min(done.load(), 399)];
            seen += next.Name().size() + next.PrevName().size();
            reading.store(true, std::memory_order_release);
            lock.unlock();
            std::this_thread::yield(); // the list's lock may prefer readers
        }
        cancel = true;
        EXPECT_GT(seen, 0u);
    });
    const RenameTally tally =
        RunRenames(files.items(),
                   Scheme("ReplaceGroup=true\nReplaceEnabled=true\nReplaceCount=1\n"
                          "ReplaceText1=x:y\n"),
                   RenameMode::Rename, callbacks, cancel);
    window.join();
    EXPECT_TRUE(tally.Cancelled);
    // The flag is read before each entry: the run stops right after the hundredth.
    EXPECT_EQ(tally.Renamed, 100);
    EXPECT_EQ(files[100].Name(), "x100");
    EXPECT_EQ(static_cast<int>(dir.Contents().size()), 400);
}

} // namespace
} // namespace qm::test

namespace qm::test {
namespace {

TEST(RenameRun, EntriesAreNamedWithTheirTagsAndAMissingTagIsNoFailure) {
    const RenameOptionSet options = Scheme("InsertGroup=true\nInsertTags=true\nInsertFront=true\n"
                                           "InsertFrontText=<taken:yyyy-MM-dd>_\n");
    auto dated = std::make_shared<TEntryTags>(), undated = std::make_shared<TEntryTags>();
    dated->Values.Taken = TagDate{2024, 5, 6, 7, 8, 9};
    for (int form = 0; form < 4; ++form) {
        SCOPED_TRACE("form " + std::to_string(form));
        RenameFolder dir;
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
            dir.Make(name);
        ListedFiles files(dir.Path(), {"a.jpg", "b.jpg", "c.jpg"});
        files[0].SetTags(dated);
        files[1].SetTags(undated); // c.jpg: none read at all
        const RunOrder order = form % 2 == 0 ? RunOrder::ListOrder : RunOrder::Planned;
        const TPrediction predicted = PredictRenames(SnapshotEntries(files.items()), options,
                                                     RenameMode::Rename, order, kGoOn);
        const RenameTally tally =
            form < 2 ? RunJournaledRenames(files.items(), options, RenameMode::Rename, order, {},
                                           kGoOn, {}, {dir.Path() + "journal/", ""})
                           .Tally
            : order == RunOrder::ListOrder
                ? RunRenames(files.items(), options, RenameMode::Rename, {}, kGoOn)
                : RunPlannedRenames(files.items(), options, RenameMode::Rename, {}, kGoOn);
        EXPECT_EQ(tally.Renamed + predicted.Tally.Renamed, 6);
        EXPECT_EQ(predicted.Entries.at(0).Candidate, "2024-05-06_a.jpg");
        EXPECT_EQ(files[0].Name() + files[1].Name() + files[2].Name(),
                  "2024-05-06_a.jpg_b.jpg_c.jpg");
    }
}

// Names typed by hand, whatever the options say (they would put "X" before every name):
// what a plain loop of moves in line order would get wrong (a swap, a rotation, a
// renumbering chain) succeeds when planned, a name taken outside the run fails, each as
// predicted; the journal takes every run back. `hand` lists old>new per entry; a name
// without ">" is typed as it stands.
TEST(RenameRun, NamesTypedByHandAreRunAsPredictedAndUndone) {
    struct Case {
        const char* what;
        std::vector<std::string> hand;
        std::vector<std::string> outside;
        int plannedRenamed, listRenamed;
    };
    const Case cases[] = {
        {"a swap", {"a>b", "b>a"}, {}, 2, 0},
        {"a rotation", {"a>b", "b>c", "c>a"}, {}, 3, 0},
        {"a renumbering chain", {"f1>f2", "f2>f3", "f3>f4"}, {}, 3, 1},
        {"a name taken outside, and one into a sub-folder", {"a>z", "b>s/b", "c"}, {"z", "s/"},
         1, 1},
        {"the same name typed twice", {"a>n", "b>n"}, {}, 1, 1},
    };
    const RenameOptionSet options = Scheme("InsertGroup=true\nInsertText=X\n");
    for (const Case& c : cases)
        for (const RunOrder order : {RunOrder::Planned, RunOrder::ListOrder}) {
            SCOPED_TRACE(std::string(c.what) + (order == RunOrder::Planned ? ", planned" : ""));
            RenameFolder dir;
            std::vector<std::string> names;
            for (const std::string& h : c.hand)
                dir.Make(names.emplace_back(h.substr(0, h.find('>'))));
            for (const std::string& name : c.outside)
                dir.Make(name);
            const auto before = dir.Contents();
            ListedFiles files(dir.Path(), names);
            for (std::size_t i = 0; i < c.hand.size(); ++i)
                files[static_cast<int>(i)].SetHandName(
                    c.hand[i].substr(c.hand[i].find('>') + 1));
            const TPrediction predicted = PredictRenames(SnapshotEntries(files.items()), options,
                                                         RenameMode::Rename, order, kGoOn);
            RenameFolder journals;
            const TJournalPlace place{journals.Path(), ""};
            const TJournaledRun run = RunJournaledRenames(files.items(), options,
                                                          RenameMode::Rename, order, {}, kGoOn,
                                                          {}, place);
            ASSERT_TRUE(run.Ran) << run.JournalProblem;
            const int renamed = order == RunOrder::Planned ? c.plannedRenamed : c.listRenamed;
            EXPECT_EQ(run.Tally.Renamed, renamed);
            EXPECT_EQ(predicted.Tally.Renamed, renamed);
            EXPECT_EQ(run.Tally.Failed, predicted.Tally.Failed);
            for (std::size_t i = 0; i < names.size(); ++i) {
                const TFileItem& entry = files[static_cast<int>(i)];
                const std::string& hand = c.hand[i];
                const bool moved = entry.Name() != names[i];
                EXPECT_EQ(predicted.Entries[i].Outcome == RenameOutcome::Renamed, moved) << hand;
                if (moved) {
                    EXPECT_EQ(entry.Name(), hand.substr(hand.find('>') + 1));
                    EXPECT_EQ(dir.Contents().at(names[i]), std::vector<std::string>{entry.Name()});
                    EXPECT_EQ(entry.HandName(), nullptr) << "a renamed entry keeps no hand name";
                }
            }
            const std::string path = JournalPath(place.Folder, run.RunId);
            const TUndoResult undo =
                UndoJournal(path, ReadJournal(path).Journal, place, kGoOn);
            EXPECT_TRUE(undo.Complete);
            EXPECT_EQ(dir.Contents(), before);
        }
}


} // namespace
} // namespace qm::test
