// Which maps run in list order (ListOrderIsPlanned), and that those end as planned.

#include "cli/maporder.h"
#include "rename/journaledrun.h"
#include "rename/journalundo.h"
#include "renamefolder.h"

#include <gtest/gtest.h>
#include <random>

namespace qm::test {
namespace {

const std::atomic<bool> kGoOn{false};

// A map's pairs, each "FOLDER|OLD>NEW" with FOLDER below the test's folder ("" for the
// folder itself; "@" spells it from the current folder), held so that the moves can
// point into them.
struct Map {
    std::vector<std::string> folders, olds, news;
    Map(const std::string& dir, const std::vector<std::string>& pairs) {
        for (const std::string& p : pairs) {
            const std::size_t bar = p.find('|'), arrow = p.find('>');
            folders.push_back(p.starts_with('@') ? p.substr(1, bar - 1) : dir + p.substr(0, bar));
            olds.push_back(p.substr(bar + 1, arrow - bar - 1));
            news.push_back(p.substr(arrow + 1));
        }
    }
    std::vector<TJournalMoveRef> Moves() const {
        std::vector<TJournalMoveRef> moves;
        for (std::size_t k = 0; k < olds.size(); ++k)
            moves.push_back({static_cast<int>(k), false, folders[k], olds[k], news[k], 0, false});
        return moves;
    }
};

// What a run came to: each entry's error, the counts, the files.
struct Ran {
    std::vector<int> errors;
    std::vector<int> counts; // renamed, unchanged, failed
    std::map<std::string, std::vector<std::string>> contents;
};

void ExpectSame(const Ran& listOrder, const Ran& planned) {
    EXPECT_EQ(listOrder.errors, planned.errors);
    EXPECT_EQ(listOrder.counts, planned.counts);
    EXPECT_EQ(listOrder.contents, planned.contents);
}

std::vector<int> Counts(const RenameTally& tally) {
    return {tally.Renamed, tally.Unchanged, tally.Failed};
}

// The map planned, as the window and `edit` run hand names.
Ran Planned(const RenameFolder& dir, const Map& map, const std::string& journals) {
    ListedFiles files("", {});
    std::vector<TFileItems::NewEntry> entries;
    for (std::size_t k = 0; k < map.olds.size(); ++k)
        entries.push_back({map.olds[k], map.folders[k]});
    files.items().AddNamesOnly(std::move(entries));
    for (std::size_t k = 0; k < map.news.size(); ++k)
        files[static_cast<int>(k)].SetHandName(map.news[k]);
    Ran ran;
    ran.errors.assign(map.olds.size(), -1);
    RenameCallbacks callbacks;
    callbacks.OnOutcome = [&](int slot, RenameOutcome, RunError error) {
        ran.errors[static_cast<std::size_t>(slot)] = error.Errno();
    };
    const TJournaledRun run =
        RunJournaledRenames(files.items(), RenameOptionSet{}, RenameMode::Rename, RunOrder::Planned,
                            callbacks, kGoOn, {}, {journals, ""});
    EXPECT_TRUE(run.Ran) << run.JournalProblem;
    ran.counts = Counts(run.Tally);
    ran.contents = dir.Contents();
    return ran;
}

// The map in list order, as rename --map runs one that needs no plan; undone after.
Ran InListOrder(const RenameFolder& dir, const Map& map, const std::string& journals) {
    Ran ran;
    ran.errors.assign(map.olds.size(), -1);
    const auto before = dir.Contents();
    const TJournaledRun run = RunJournaledListMoves(
        map.Moves(), {}, {journals, ""}, kGoOn,
        [&](std::size_t k, RunError error) { ran.errors[k] = error.Errno(); });
    EXPECT_TRUE(run.Ran) << run.JournalProblem;
    ran.counts = Counts(run.Tally);
    ran.contents = dir.Contents();
    const std::string path = JournalPath(journals, run.RunId);
    const TJournalRead read = ReadJournal(path);
    EXPECT_EQ(read.Journal.Order, RunOrder::ListOrder);
    EXPECT_EQ(read.Journal.EntryCount, static_cast<int>(map.olds.size()));
    // One move per entry, each told by its file and with its own result, which undo reads.
    EXPECT_EQ(read.Journal.Moves.size(), map.olds.size());
    for (const TJournalMove& m : read.Journal.Moves) {
        EXPECT_NE(m.Inode, 0u);
        EXPECT_EQ(m.Result, ran.errors[static_cast<std::size_t>(m.Entry)] == 0
                                ? MoveResult::Done
                                : MoveResult::Failed);
    }
    EXPECT_TRUE(UndoJournal(path, read.Journal, {journals, ""}, kGoOn).Complete);
    EXPECT_EQ(dir.Contents(), before) << "undone";
    return ran;
}

TEST(MapOrder, OnlyAMapWhoseMovesCannotMeetSkipsThePlan) {
    struct Row {
        const char* title;
        std::vector<std::string> pairs;
        bool listOrder;
    };
    const std::vector<Row> rows = {
        {"plain names, one taken outside", {"|a>x", "|b>y", "s/|c>a2", "|d>z"}, true},
        {"a swap", {"|a>b", "|b>a"}, false},
        {"a rotation", {"|a>b", "|b>d", "|d>a"}, false},
        {"a chain", {"|a>x", "|b>a"}, false},
        {"one name for two", {"|a>x", "|b>x"}, false},
        {"two names apart in letter case alone", {"|a>x", "|b>X"}, false},
        {"a new name another's old in other case", {"|a>B", "|b>y"}, false},
        {"a change of letter case", {"|a>A"}, false},
        {"a name left as it is", {"|a>x", "|b>b"}, false},
        {"one folder spelt two ways", {"|a>x", "./|b>A"}, false},
        {"one folder spelt from where the run is", {"|a>x", "@|b>a"}, false},
        {"a new name holding a slash", {"|a>s/x"}, false},
        {"a folder renamed whose files follow", {"|s>t", "s/|c>y"}, false},
        {"a folder path through a link", {"l/|c>y"}, false},
        {"a folder path backing up", {"s/../|a>x"}, false},
        {"a folder that is not there", {"none/|a>x"}, false},
        {"a new name that a folder path passes", {"|b>s", "s/|c>y"}, false},
        {"a same name in two folders", {"|a>x", "s/|c>x", "s/|a2>c2", "|b>z"}, true},
    };
    const std::filesystem::path start = std::filesystem::current_path();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        RenameFolder dir, journals, other, otherJournals;
        for (const RenameFolder* d : {&dir, &other})
            for (const char* name : {"a", "b", "d", "z", "s/", "s/c", "s/a2", "l@s"})
                d->Make(name);
        const Map map(dir.Path(), row.pairs);
        std::filesystem::current_path(dir.Path());
        EXPECT_EQ(cli::ListOrderIsPlanned(map.Moves()), row.listOrder);
        std::filesystem::current_path(start);
        if (row.listOrder) {
            const Ran ran = InListOrder(dir, map, journals.Path());
            ExpectSame(ran, Planned(other, Map(other.Path(), row.pairs), otherJournals.Path()));
            EXPECT_GT(ran.counts[0], 1);
            EXPECT_GT(ran.counts[2], 0) << "a name taken";
        }
    }
}

// Random maps over one tree, some needing a plan and some not: every one that runs in
// list order ends as the plan would, on a copy of the tree.
TEST(MapOrder, RandomMapsInListOrderEndAsPlanned) {
    std::mt19937 random(20261209);
    // "s" is the folder of the last three: renamed, it takes them along.
    const std::vector<std::string> files = {"a", "b", "c", "d", "e", "s", "s/f", "s/g", "s/h"};
    const std::vector<std::string> news = {"a", "B", "c", "x", "y", "Y", "z", "w", "f", "s"};
    int listOrder = 0, planned = 0;
    for (int round = 0; round < 300; ++round) {
        std::vector<std::string> pick = files;
        std::shuffle(pick.begin(), pick.end(), random);
        pick.resize(1 + random() % files.size());
        std::vector<std::string> pairs;
        for (const std::string& file : pick) {
            const std::size_t slash = file.rfind('/') + 1;
            // The folder spelt now one way, now another.
            const std::string folder = (random() % 4 == 0 ? "./" : "") + file.substr(0, slash);
            pairs.push_back(folder + "|" + file.substr(slash) + ">" + news[random() % news.size()]);
        }
        RenameFolder dir, journals, other, otherJournals;
        for (const RenameFolder* d : {&dir, &other}) {
            d->Make("s/");
            for (const std::string& f : files)
                if (f != "s")
                    d->Make(f);
            d->Make("w");
        }
        const Map map(dir.Path(), pairs);
        if (!cli::ListOrderIsPlanned(map.Moves())) {
            ++planned;
            continue;
        }
        ++listOrder;
        SCOPED_TRACE("round " + std::to_string(round));
        ExpectSame(InListOrder(dir, map, journals.Path()),
                   Planned(other, Map(other.Path(), pairs), otherJournals.Path()));
    }
    // Both kinds came up often enough for the comparison to mean something.
    EXPECT_GT(listOrder, 30);
    EXPECT_GT(planned, 30);
}

} // namespace
} // namespace qm::test
