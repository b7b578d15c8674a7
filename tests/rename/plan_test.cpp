#include "rename/movefile.h"
#include "rename/plan.h"
#include "renamefolder.h"
#include "runerrorprint.h"
#include "settings/optionschemas.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <gtest/gtest.h>
#include <random>

namespace qm::test {
namespace {

RenameOptionSet Scheme(const std::string& text) {
    RenameOptionSet options;
    ReadSchemeText(NormalizeLineEnds("Version=1\n" + text), options);
    return options; // replace pairs in the order given
}

using Contents = std::map<std::string, std::vector<std::string>>;

// Each file's content is its first name: `names` holds old>new, or a name that stays;
// a name after "!" is listed but not on disk.
Contents Expected(const std::vector<std::string>& names, bool renamed) {
    Contents expected;
    for (const std::string& name : names) {
        if (name.starts_with('!'))
            continue;
        const auto arrow = name.find('>');
        const std::string old = name.substr(0, arrow);
        expected[old] = {arrow == std::string::npos || !renamed ? old : name.substr(arrow + 1)};
    }
    return expected;
}

const std::atomic<bool> kGoOn{false};

std::vector<std::string> Numbered(const char* prefix, int first, int last, int shift) {
    std::vector<std::string> names;
    char name[32];
    for (int i = first; i <= last; ++i) {
        std::snprintf(name, sizeof name, "%s%02d>%s%02d", prefix, i, prefix, i + shift);
        names.push_back(name);
    }
    return names;
}

struct PlanCase {
    const char* what;
    std::vector<std::string> listed;  // old>new, or old alone when it stays or fails
    std::vector<std::string> outside; // files in the folder that the run does not list
    std::string scheme;
    int renamed, failed;
};

class PlannedRun : public testing::TestWithParam<const char*> {};

TEST_P(PlannedRun, EveryFileEndsOnceUnderItsPlannedNameAndUndoBringsTheOldNamesBack) {
    const std::string renumber = "RemoveGroup=true\nRemoveBack=true\nRemoveBackCount=2\n"
                                 "InsertGroup=true\nNumberIncEnabled=true\nNumberIncMinLength=2\n";
    const PlanCase cases[] = {
        {"renumbering 1..20 to 2..21",
         Numbered("t", 1, 20, 1),
         {},
         renumber + "NumberIncValue=2\n",
         20,
         0},
        // Every number after a failure would shift down onto a taken name: nothing moves,
        // and the second file, numbered 2 once nothing before it is renamed, stays.
        {"renumbering blocked by a file outside",
         {"n01", "n02", "n03"},
         {"n04"},
         renumber + "NumberIncValue=2\n",
         0,
         2},
        {"a swap", {"fa>fb", "fb>fa"}, {}, Pairs({"a:#", "b:a", "#:b"}), 2, 0},
        {"a rotation of three",
         {"fa>fb", "fb>fc", "fc>fa"},
         {},
         Pairs({"c:#", "b:c", "a:b", "#:a"}),
         3,
         0},
        // k2 makes way for k1; k4's target is taken outside the run, so k4 stays and k7,
        // which wants k4, fails with it.
        {"a chain beside a target taken outside",
         {"k1>k2", "k2>k3", "k4", "k7"},
         {"k5"},
         Pairs({"4:5", "7:4", "2:3", "1:2"}),
         2,
         2},
        // ab1 moves away (to a1) only while abxy is not renamed, and abxy can be renamed
        // only when ab1 moves: no planned outcome holds, and the run goes in list order.
        {"numbering that never settles",
         {"abxy", "ab1>a1"},
         {"a2"},
         "RemoveGroup=true\nRemoveBack=true\nRemoveBackCount=2\nInsertGroup=true\n"
         "NumberIncEnabled=true\nNumberIncValue=1\n",
         1,
         1},
        // A listed file that is gone fails and leaves its name free.
        {"a file gone from the list's folder", {"!ma", "mc>ma"}, {}, Pairs({"a:b", "c:a"}), 1, 1},
        // Two entries want the same name: the first in list order has it.
        {"a duplicate target", {"da>dc", "db"}, {}, Pairs({"a:c", "b:c"}), 1, 1},
    };
    for (const PlanCase& c : cases) {
        SCOPED_TRACE(c.what);
        RenameFolder dir(GetParam());
        std::vector<std::string> names;
        for (const std::string& name : c.listed)
            names.push_back(name.substr(name.starts_with('!'), name.find('>')));
        for (const std::string& name : c.listed)
            if (!name.starts_with('!'))
                dir.Make(name.substr(0, name.find('>')));
        for (const std::string& name : c.outside)
            dir.Make(name);
        std::vector<std::string> all = c.listed;
        all.insert(all.end(), c.outside.begin(), c.outside.end());

        ListedFiles files(dir.Path(), names);
        const std::vector<TRunEntry> entries = SnapshotEntries(files.items());
        const RenameOptionSet options = Scheme(c.scheme);
        const TRenamePlan plan = PlanRenames(entries, options, RenameMode::Rename, kGoOn);
        const RenameTally tally =
            RunPlan(files.items(), entries, plan, RenameMode::Rename, {}, kGoOn);
        EXPECT_EQ(tally.Renamed, c.renamed);
        EXPECT_EQ(tally.Failed, c.failed);
        EXPECT_EQ(plan.Prediction.Tally.Renamed, tally.Renamed);
        EXPECT_EQ(plan.Prediction.Tally.NumberIncValue, tally.NumberIncValue);
        EXPECT_EQ(dir.Contents(), Expected(all, true));
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const TPredictedEntry& predicted = plan.Prediction.Entries[i];
            const std::string expected =
                predicted.Outcome == RenameOutcome::Renamed ? predicted.Candidate : entries[i].Name;
            EXPECT_EQ(files[static_cast<int>(i)].Name(), expected);
        }

        // Undo raises a rising number with each file back, as the run in list order does.
        const RenameTally back =
            RunPlannedRenames(files.items(), options, RenameMode::Undo, {}, kGoOn);
        EXPECT_EQ(back.Renamed, c.renamed);
        EXPECT_EQ(back.NumberIncValue,
                  options.NumberIncValue + (options.NumberIncEnabled ? c.renamed : 0));
        EXPECT_EQ(dir.Contents(), Expected(all, false));
    }
}

INSTANTIATE_TEST_SUITE_P(Folders, PlannedRun, testing::Values("/dev/shm", "/tmp"));

TEST(PlannedRun, ASubFolderReachedTwoWaysIsOneFolder) {
    RenameFolder dir;
    for (const char* name : {"x", "sub/", "sub/y", "lnk@sub"})
        dir.Make(name);
    // x goes into sub as y, where the y seen through lnk makes way for it.
    TFileList list;
    list.Items().BeginUpdate();
    list.Items().AddNamesOnly({{"x", dir.Path()}, {"y", dir.Path() + "lnk/"}});
    const RenameOptionSet options = Scheme(Pairs({"y:z", "x:sub/y"}));
    EXPECT_EQ(RunPlannedRenames(list.Items(), options, RenameMode::Rename, {}, kGoOn).Renamed, 2);
    EXPECT_EQ(dir.Contents(), Expected({"x>sub/y", "sub/y>sub/z"}, true));
    // Back again: the entry named "sub/y" stands for y in sub, which the other wants.
    EXPECT_EQ(RunPlannedRenames(list.Items(), {}, RenameMode::Undo, {}, kGoOn).Renamed, 2);
    EXPECT_EQ(dir.Contents(), Expected({"x", "sub/y"}, true));
}

// A name is one place by its folder and its text: the same name in two folders is two
// places, a name taken outside the run is asked of its own folder, and two files wanting
// one new name in a sub-folder want one place, which the first listed has.
TEST(PlannedRun, APlaceIsANameInAFolder) {
    RenameFolder dir;
    for (const char* name : {"a/", "a/p1", "b/", "b/p2", "b/q1", "b/q2", "xa", "xb", "sub/"})
        dir.Make(name);
    TFileList list;
    list.Items().BeginUpdate();
    list.Items().AddNamesOnly({{"p1", dir.Path() + "a/"},
                               {"p2", dir.Path() + "b/"},
                               {"q1", dir.Path() + "b/"},
                               {"xa", dir.Path()},
                               {"xb", dir.Path()}});
    const std::vector<TRunEntry> entries = SnapshotEntries(list.Items());
    const TRenamePlan plan =
        PlanRenames(entries, Scheme(Pairs({"p1:p2", "q1:q2", "xa:sub/t", "xb:sub/t"})),
                    RenameMode::Rename, kGoOn);
    const RenameOutcome expected[] = {RenameOutcome::Renamed, RenameOutcome::Unchanged,
                                      RenameOutcome::Failed, RenameOutcome::Renamed,
                                      RenameOutcome::Failed};
    ASSERT_EQ(plan.Prediction.Entries.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(plan.Prediction.Entries[i].Outcome, expected[i]) << entries[i].Name;
        if (expected[i] == RenameOutcome::Failed) {
            EXPECT_EQ(plan.Prediction.Entries[i].Error, EEXIST) << entries[i].Name;
        }
    }
    EXPECT_EQ(RunPlan(list.Items(), entries, plan, RenameMode::Rename, {}, kGoOn).Renamed, 2);
    EXPECT_EQ(dir.Contents(),
              Expected({"a/p1>a/p2", "b/p2", "b/q1", "b/q2", "xa>sub/t", "xb"}, true));
}

// Whatever the list's order, a name several files want goes to the one that lets the
// most files move. Each row: its files as old>new, those renamed marked '+'.
TEST(PlannedRun, ANameSeveralWantGoesToTheFileThatLetsTheMostMove) {
    struct Row {
        const char* what;
        std::vector<std::string> files;
        std::string scheme;
        bool tie = false; // the first listed wins, whichever it is
    };
    std::vector<Row> rows = {
        {"a swap beats a third file",
         {"+fa>fb", "+fb>fa", "fc>fb"},
         Pairs({"a:#", "b:a", "c:b", "#:b"})},
        {"the longer chain behind", {"gx>gt", "+gy>gt", "+gz>gy"}, Pairs({"x:t", "y:t", "z:y"})},
        {"a tie to the first listed", {"hx>ht", "hy>ht"}, Pairs({"x:t", "y:t"}), true},
    };
    // Letter swaps, each with a third file wanting one of the pair's names.
    Row many{"swaps among 600 files", {}, Pairs({"a:#", "b:a", "c:b", "d:a", "#:b"})};
    for (int i = 0; i < 200; ++i) {
        const std::string s = "s" + std::to_string(i);
        for (const std::string& one : {"+" + s + "a>" + s + "b", "+" + s + "b>" + s + "a",
                                       s + (i % 2 ? "c>" + s + "b" : "d>" + s + "a")})
            many.files.push_back(one);
    }
    rows.push_back(many);
    auto name = [](const std::string& file) {
        const std::size_t from = file.starts_with('+');
        return file.substr(from, file.find('>') - from);
    };
    for (Row& row : rows) {
        SCOPED_TRACE(row.what);
        RenameFolder dir;
        for (const std::string& file : row.files)
            dir.Make(name(file));
        const RenameOptionSet options = Scheme(row.scheme);
        std::mt19937 shuffle(21);
        for (int order = 0; order < 4; ++order) {
            std::vector<std::string> names;
            for (const std::string& file : row.files)
                names.push_back(name(file));
            ListedFiles files(dir.Path(), names);
            const TRenamePlan plan =
                PlanRenames(SnapshotEntries(files.items()), options, RenameMode::Rename, kGoOn);
            for (std::size_t i = 0; i < row.files.size(); ++i) {
                const std::string& file = row.files[i];
                const TPredictedEntry& predicted = plan.Prediction.Entries[i];
                const bool wins = row.tie ? i == 0 : file.starts_with('+');
                EXPECT_EQ(predicted.Candidate, file.substr(file.find('>') + 1)) << file;
                EXPECT_EQ(predicted.Outcome, wins ? RenameOutcome::Renamed : RenameOutcome::Failed)
                    << file;
                EXPECT_EQ(predicted.Error, wins ? 0 : EEXIST) << file;
            }
            std::shuffle(row.files.begin(), row.files.end(), shuffle);
            if (order == 0) // the issue's three files: the third first, as well
                std::rotate(row.files.begin(), row.files.end() - 1, row.files.end());
        }
    }
}

// A file inside a folder of the run moves before the folder, however the list names the
// way to it, and is found again to be taken back; where it cannot (it wants the name of the link it
// is reached through), it is not tried and fails as it would after the link's move.
TEST(PlannedRun, WhatIsInsideAFolderMovesBeforeTheFolder) {
    for (const bool fileFirst : {false, true}) {
        RenameFolder dir;
        for (const char* name : {"d/", "d/sub/", "d/sub/f", "d/lnq", "d/lnk@."})
            dir.Make(name);
        TFileList list;
        list.Items().BeginUpdate();
        std::vector<TFileItems::NewEntry> listed = {{"d", dir.Path()},
                                                    {"sub", dir.Path() + "d/"},
                                                    {"f", dir.Path() + "d/./sub/"},
                                                    {"lnk", dir.Path() + "d/"},
                                                    {"lnq", dir.Path() + "d/lnk/"}};
        if (fileFirst)
            std::reverse(listed.begin(), listed.end());
        list.Items().AddNamesOnly(std::move(listed));
        const std::vector<TRunEntry> entries = SnapshotEntries(list.Items());
        const TRenamePlan plan =
            PlanRenames(entries, Scheme(Pairs({"k:k_x", "q:k", "b:b_x", "f:f_x", "d:d_x"})),
                        RenameMode::Rename, kGoOn);
        const RenameTally tally =
            RunPlan(list.Items(), entries, plan, RenameMode::Rename, {}, kGoOn);
        EXPECT_EQ(tally.Renamed, 4);
        EXPECT_EQ(plan.Prediction.Tally.Renamed, 4);
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (entries[i].Name == "lnq") {
                EXPECT_EQ(plan.Prediction.Entries[i].Error, ENOENT);
            }
        EXPECT_EQ(dir.Contents(), Expected({"d/sub/f>d_x/sub_x/f_x", "d/lnq>d_x/lnq"}, true));
        // The undo finds f through the folders' new names, where the list's paths are gone.
        EXPECT_EQ(RunPlannedRenames(list.Items(), {}, RenameMode::Undo, {}, kGoOn).Renamed, 4);
        EXPECT_EQ(dir.Contents(), Expected({"d/sub/f", "d/lnq"}, true));
    }
}

// Moves through the real no-replace move, and at the move numbered `at` (from 1) does
// what the test asks instead.
struct SteeredMove {
    std::vector<std::string> moves;
    std::function<int(int number, const std::string& from, const std::string& to)> at;
    MoveEntryFile Hook() {
        return [this](const std::string& folder, const std::string& from, const std::string& to) {
            moves.push_back(from + ">" + to);
            if (const int error = at(static_cast<int>(moves.size()), from, to))
                return RunError(error);
            return MoveFileNoReplace(folder, from, to);
        };
    }
};

TEST(PlannedRun, ACancelInACycleFinishesItAndStopsBeforeTheNext) {
    RenameFolder dir;
    for (const char* name : {"fa", "fb", "ga", "gb"})
        dir.Make(name);
    ListedFiles files(dir.Path(), {"fa", "fb", "ga", "gb"});
    // Cancelled while it plans: no steps, and the run of such a plan moves nothing.
    const std::atomic<bool> stop{true};
    const std::vector<TRunEntry> entries = SnapshotEntries(files.items());
    const TRenamePlan none =
        PlanRenames(entries, Scheme(Pairs({"a:#", "b:a", "#:b"})), RenameMode::Rename, stop);
    EXPECT_TRUE(none.Prediction.Tally.Cancelled);
    EXPECT_TRUE(none.Steps.empty());
    EXPECT_TRUE(RunPlan(files.items(), entries, none, RenameMode::Rename, {}, kGoOn).Cancelled);
    // Nor does a plan made for other entries.
    TRenamePlan other;
    other.Prediction.Entries.resize(entries.size());
    other.Steps.push_back({4, TPlanStep::Final, dir.Path(), "fa", "fz"});
    EXPECT_TRUE(RunPlan(files.items(), entries, other, RenameMode::Rename, {}, kGoOn).Cancelled);

    std::atomic<bool> cancel{false};
    SteeredMove steered;
    steered.at = [&](int number, const std::string&, const std::string&) {
        cancel = cancel || number == 2;
        return 0;
    };
    const RenameTally tally = RunPlannedRenames(files.items(), Scheme(Pairs({"a:#", "b:a", "#:b"})),
                                                RenameMode::Rename, {}, cancel, steered.Hook());
    EXPECT_TRUE(tally.Cancelled);
    EXPECT_EQ(tally.Renamed, 2);
    EXPECT_EQ(steered.moves.size(), 3u);
    EXPECT_EQ(dir.Contents(), Expected({"fa>fb", "fb>fa", "ga", "gb"}, true));
    EXPECT_EQ(RunPlannedRenames(files.items(), {}, RenameMode::Undo, {}, kGoOn).Renamed, 2);
    EXPECT_EQ(dir.Contents(), Expected({"fa", "fb", "ga", "gb"}, true));
}

TEST(PlannedRun, AStepRefusedInACycleTakesTheCycleBack) {
    const std::vector<std::string> rotation = {"c:#", "b:c", "a:b", "#:a"};
    struct Row {
        const char* what;
        int refuse;    // the move refused (EACCES)
        int refuseToo; // a second move refused: a step back
        std::vector<RunError> errors;
        int parkedLeft; // files left under a temporary name
    } rows[] = {
        {"the second member refused", 3, 0, {ECANCELED, EACCES, ECANCELED}, 0},
        {"the last step refused", 4, 0, {EACCES, ECANCELED, ECANCELED}, 0},
        {"the way back refused as well", 3, 5, {EACCES, EACCES, ECANCELED}, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        RenameFolder dir;
        for (const char* name : {"fa", "fb", "fc"})
            dir.Make(name);
        ListedFiles files(dir.Path(), {"fa", "fb", "fc"});
        for (int i = 0; i < 3; ++i)
            files[i].SetNewName(files[i].Name()); // undo names from an earlier run
        SteeredMove steered;
        steered.at = [&](int number, const std::string&, const std::string&) {
            return number == row.refuse || number == row.refuseToo ? EACCES : 0;
        };
        std::vector<RunError> errors(3);
        RenameCallbacks callbacks;
        callbacks.OnOutcome = [&](int slot, RenameOutcome, RunError error) {
            errors[static_cast<std::size_t>(slot)] = error;
        };
        const RenameTally tally =
            RunPlannedRenames(files.items(), Scheme(Pairs(rotation)), RenameMode::Rename, callbacks,
                              kGoOn, steered.Hook());
        EXPECT_EQ(errors, row.errors);
        const Contents found = dir.Contents();
        EXPECT_EQ(found.size(), 3u);
        int parked = 0;
        for (const auto& [content, paths] : found) {
            ASSERT_EQ(paths.size(), 1u) << content;
            parked += paths[0].starts_with(".qm-plan-");
        }
        EXPECT_EQ(parked, row.parkedLeft);
        // Every entry names the place of its file; one that failed where it was has
        // nothing to undo.
        for (int i = 0; i < 3; ++i) {
            const std::string old = std::string("f") + "abc"[i];
            EXPECT_EQ(found.at(old), std::vector{files[i].Name()});
            EXPECT_EQ(files[i].CanUndo(), files[i].Name() != old);
        }
        EXPECT_EQ(tally.Renamed + tally.Failed, 3);
    }
}

} // namespace
} // namespace qm::test
