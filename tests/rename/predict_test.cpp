// The prediction against the real thing: each answer of the folder model beside the answer
// of the rename itself, and whole runs with random options on real folders.

#include "exfatmount.h"
#include "rename/foldermodel.h"
#include "rename/movefile.h"
#include "rename/nametable.h"
#include "rename/predict.h"
#include "renamefolder.h"
#include "runerrorprint.h"
#include "runprocess.h"

#include <cerrno>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <tuple>

namespace qm::test {
namespace {

// The folder holds the files a and b and the folder sub/. Each row is predicted, then
// renamed for real in a fresh copy: both must give `error`, which is the kernel's order
// of answers (the walk to the target's folder, the mount, the source, the target, the
// permissions).
TEST(FolderModel, EachAnswerIsTheRenamesOwn) {
    struct Row {
        std::string from, to;
        int error;
        bool readOnlyMount = false;
    };
    const std::vector<Row> rows = {
        {"", "x", ENOENT},
        {"a", "", ENOENT},
        {"a", "/x", EINVAL},
        {"a", "sub/../x", EINVAL},
        {"a", std::string("x\0y", 3), EINVAL},
        {std::string("a\0b", 3), "y", EINVAL},
        {"sub/../a", "y", EINVAL},
        {"gone", "b", ENOENT},
        {"a", "b", EEXIST},
        {"a", "./b", EEXIST},
        {"a", std::string(255, 'y'), 0},
        {"a", std::string(256, 'y'), ENAMETOOLONG},
        {"gone", std::string(256, 'y'), ENOENT},
        {"a", "nosub/x", ENOENT},
        {"a", "b/x", ENOTDIR},
        {"a", ".", EEXIST},
        {"a", "sub/.", EEXIST},
        {"a", "sub/", EEXIST},
        {"a", "free/", ENOTDIR},
        {"sub", "free/", 0},
        {"a", "sub//a", 0},
        {"a", "A", 0},
        {"gone", "b", EROFS, true},
        {"a", "nosub/x", ENOENT, true},
        {"a", ".", EEXIST, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.from + " -> " + row.to);
        RenameFolder dir("/dev/shm");
        for (const char* name : {"a", "b", "sub/"})
            dir.Make(name);
        std::string folder = dir.Path();
        if (row.readOnlyMount) {
            dir.Make("ro/");
            folder = dir.Path() + "ro/";
            if (RunProcess("/bin/mount", {"--bind", dir.Path(), folder}).exitCode != 0 ||
                RunProcess("/bin/mount", {"-o", "remount,bind,ro", folder}).exitCode != 0) {
                RunProcess("/bin/umount", {folder});
                std::printf("skipped: no read-only bind mount (needs root)\n");
                continue;
            }
        }
        TFolderModel model;
        TModelMove move;
        EXPECT_EQ(model.Check(folder, row.from, row.to, move), row.error);
        EXPECT_EQ(MoveFileNoReplace(folder, row.from, row.to), row.error);
        if (row.readOnlyMount)
            RunProcess("/bin/umount", {folder});
    }
}

// Names coming and going as in a run over a large folder: every name is found exactly
// while it is there, through growth and through slots left by removed names.
TEST(NameTable, FindsEveryNameWhileItIsThere) {
    TNameTable table;
    auto name = [](int i) {
        return "file_" + std::to_string(i) + ".jpg";
    };
    for (int i = 0; i < 20000; ++i)
        ASSERT_TRUE(table.Insert(name(i)));
    EXPECT_FALSE(table.Insert(name(7)));
    for (int i = 0; i < 20000; i += 2)
        ASSERT_TRUE(table.Erase(name(i)));
    EXPECT_FALSE(table.Erase(name(0)));
    for (int i = 20000; i < 40000; ++i)
        ASSERT_TRUE(table.Insert(name(i)));
    EXPECT_EQ(table.Size(), 30000u);
    int wrong = 0;
    for (int i = 0; i < 40000; ++i)
        wrong += table.Contains(name(i)) != (i >= 20000 || i % 2 == 1);
    EXPECT_EQ(wrong, 0);
    EXPECT_TRUE(table.Insert(""));
    EXPECT_TRUE(table.Contains(""));
}

// Predicts a run over `items`, then runs it: every entry's predicted outcome, name, error
// and number, and the counts and the final number, must be what the run then does. Returns
// the errors of the run, one per entry.
std::vector<RunError> PredictThenRun(TFileItems& items, const RenameOptionSet& options,
                                     RenameMode mode) {
    const std::atomic<bool> goOn{false};
    const TPrediction p =
        PredictRenames(SnapshotEntries(items), options, mode, RunOrder::ListOrder, goOn);
    std::vector<TPredictedEntry> seen;
    RenameCallbacks callbacks;
    std::int32_t number = options.NumberIncValue;
    callbacks.KnownCandidate = [&](int, std::string&) {
        seen.push_back({RenameOutcome::Unchanged, {}, 0, number});
        return false;
    };
    callbacks.OnNumber = [&](std::int32_t n) {
        number = n;
    };
    callbacks.OnOutcome = [&](int slot, RenameOutcome outcome, RunError error) {
        seen.back() = {outcome, items.Items(slot)->Name(), error, seen.back().Number};
    };
    const RenameTally t = RunRenames(items, options, mode, callbacks, goOn);
    std::vector<RunError> errors;
    EXPECT_EQ(p.Entries.size(), seen.size());
    for (std::size_t i = 0; i < seen.size() && i < p.Entries.size(); ++i) {
        SCOPED_TRACE("entry " + std::to_string(i));
        EXPECT_EQ(p.Entries[i].Outcome, seen[i].Outcome);
        if (seen[i].Outcome != RenameOutcome::Failed) {
            EXPECT_EQ(p.Entries[i].Candidate, seen[i].Candidate);
        }
        EXPECT_EQ(p.Entries[i].Error, seen[i].Error);
        EXPECT_EQ(p.Entries[i].Number, seen[i].Number);
        errors.push_back(seen[i].Error);
    }
    EXPECT_EQ(p.Tally.Renamed, t.Renamed);
    EXPECT_EQ(p.Tally.Unchanged, t.Unchanged);
    EXPECT_EQ(p.Tally.NumberIncValue, t.NumberIncValue);
    return errors;
}

// A list in update mode over entries (folder below `dir`, name).
void List(TFileList& list, const RenameFolder& dir,
          const std::vector<std::pair<std::string, std::string>>& entries) {
    std::vector<TFileItems::NewEntry> listed;
    for (const auto& [folder, name] : entries)
        listed.push_back({name, dir.Path() + folder});
    list.Items().BeginUpdate();
    list.Items().AddNamesOnly(std::move(listed));
}

// Small folders of names that collide, numbering on, options drawn at random: the
// prediction is the run; then the same for undo.
void PredictAndRunAtRandom(const std::string& base, int runs, unsigned seed) {
    std::mt19937 random(seed);
    auto pick = [&](int n) {
        return static_cast<int>(random() % static_cast<unsigned>(n));
    };
    const std::vector<std::string> files = {"a1", "a2", "b1", "B2", "c", "s/", "ab1", "Ab2"};
    const std::vector<std::string> pairs = {"a:b", "b:a",  "1:2",  "2:1",  "a:A", "c:s/c",
                                            "b:B", "ab:a", "c:a1", "2:x/", "s:t"};
    for (int run = 0; run < runs; ++run) {
        SCOPED_TRACE("run " + std::to_string(run) + " of seed " + std::to_string(seed));
        RenameFolder dir(base);
        for (const std::string& f : files)
            dir.Make(f);
        RenameOptionSet options;
        options.ReplaceGroup = options.ReplaceEnabled = true;
        for (int i = pick(3) + 1; i > 0; --i) {
            const std::string& pair = pairs[static_cast<std::size_t>(pick(11))];
            options.ReplacePairs[static_cast<std::size_t>(options.ReplaceCount++)] = {
                pair.substr(0, pair.find(':')), pair.substr(pair.find(':') + 1)};
        }
        options.InsertGroup = pick(3) != 0;
        options.NumberIncEnabled = true;
        // Near the top of the counter's range the number must stop at 999999.
        options.NumberIncValue = pick(4) == 0 ? 999998 : pick(3);
        options.RemoveGroup = options.RemoveBack = pick(2) != 0;
        options.FormatGroup = options.FormatTextEnabled = options.FormatFirstLetterUp =
            pick(4) == 0;
        // Entries in any order; some twice, one that is not there.
        std::vector<std::string> names;
        for (int i = pick(6) + 2; i > 0; --i)
            names.push_back(pick(8) == 0 ? "gone" : files[static_cast<std::size_t>(pick(8))]);
        for (std::string& name : names)
            if (name.ends_with('/'))
                name.pop_back();
        ListedFiles list(dir.Path(), names);
        // Now and then a name typed by hand, which the options do not touch.
        const std::vector<std::string> typed = {"a1", "b1", "x", "s/q", "c", "Ab2"};
        for (std::size_t i = 0; i < names.size(); ++i)
            if (pick(4) == 0)
                list[static_cast<int>(i)].SetHandName(typed[static_cast<std::size_t>(pick(6))]);
        for (const RenameMode mode : {RenameMode::Rename, RenameMode::Undo}) {
            PredictThenRun(list.items(), options, mode);
            if (::testing::Test::HasFailure())
                return;
        }
    }
}

TEST(Prediction, RandomOptionsOnTmpfsAsTheRun) {
    PredictAndRunAtRandom("/dev/shm", 200, 15);
}

TEST(Prediction, RandomOptionsOnExfatAsTheRun) {
    ExfatMount exfat;
    if (!exfat.Error().empty())
        GTEST_SKIP() << "no exFAT mount: " << exfat.Error();
    PredictAndRunAtRandom(exfat.Folder(), 60, 16);
}

// Entries (folder below the test's folder, name) in list order over d/sub/f, with links
// l to d and d/k to d/sub: a folder renamed earlier in the run is found by what it is, whatever
// path reaches it, and gone from its old path.
TEST(Prediction, FollowsAFolderRenamedEarlierWhateverPathReachesIt) {
    struct Row {
        std::vector<std::pair<std::string, std::string>> entries;
        std::vector<RunError> errors;
    };
    const std::vector<Row> rows = {
        {{{"./d/", "sub"}, {"d/sub/", "f"}}, {0, ENOENT}},
        {{{"d/sub/", "f"}, {"d//", "sub"}}, {0, 0}},
        {{{"d/", "sub"}, {"d/k/", "f"}}, {0, ENOENT}},
        {{{"d/", "sub"}, {"d/sub/../sub/", "f"}}, {0, ENOENT}},
        {{{"d/", "sub"}, {"d/", "sub/f"}}, {0, ENOENT}},
        {{{"d/", "sub"}, {"d/", "sub_x"}, {"l/sub_x_x/", "f"}}, {0, 0, 0}},
        {{{"d/", "sub"}, {"d/sub/", "f"}, {"d/", "sub_x"}, {"d/sub_x_x/", "f"}}, {0, ENOENT, 0, 0}},
    };
    RenameOptionSet options;
    options.InsertGroup = options.InsertBack = true;
    options.InsertBackText = "_x";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        SCOPED_TRACE("row " + std::to_string(r));
        RenameFolder dir("/dev/shm");
        for (const char* name : {"d/sub/", "d/sub/f", "l@d", "d/k@sub"})
            dir.Make(name);
        TFileList list;
        List(list, dir, rows[r].entries);
        EXPECT_EQ(PredictThenRun(list.Items(), options, RenameMode::Rename), rows[r].errors);
    }
}

// Folders and the files in them in one run, each reached by a path spelt at random: the
// prediction is the run. (Through FUSE, a folder spelt in two letter cases is two folders
// with caches of their own, and the run's answers hang on their timing.)
// QM_RANDOM_FOLDER_RUNS asks for more runs per seed.
void FoldersAndContentsAtRandom(const std::string& base, int runs, unsigned seed, bool posix) {
    if (const char* more = std::getenv("QM_RANDOM_FOLDER_RUNS"))
        runs = std::atoi(more);
    std::mt19937 random(seed);
    auto pick = [&](std::size_t n) {
        return random() % n;
    };
    // The folder and name of each entry that may be listed; the last is the link d/k.
    const std::vector<std::pair<std::string, std::string>> listable = {
        {"", "d"},     {"d/", "s"},   {"d/", "t"},   {"d/s/", "u"},   {"", "e"},   {"d/", "f"},
        {"d/s/", "f"}, {"d/s/", "g"}, {"d/t/", "f"}, {"d/s/u/", "f"}, {"e/", "f"}, {"d/", "k"}};
    // The start of a folder path and another spelling of it ("" names the entry from d/,
    // "_x" leads through a new name); the last three need links or a file system that
    // heeds case.
    const std::vector<std::pair<std::string, std::string>> spellings = {
        {"", "./"},     {"d/", "d//"},      {"d/", "d/t/../"}, {"d/s/", "d/./s/"}, {"d/s/", ""},
        {"d/", "d_x/"}, {"d/s/", "d/s_x/"}, {"d/", "l/"},      {"d/s/", "d/k/"},   {"d/", "D/"}};
    const std::vector<ReplacePair> replaces = {{"", ""},   {"f", "s/f"},  {"s", "t"},
                                               {"t", "s"}, {"u", "../u"}, {"g", "f"}};
    for (int run = 0; run < runs; ++run) {
        SCOPED_TRACE("run " + std::to_string(run) + " of seed " + std::to_string(seed));
        RenameFolder dir(base);
        for (const char* name :
             {"d/s/u/", "d/t/", "e/", "d/f", "d/s/f", "d/s/g", "d/t/f", "d/s/u/f", "e/f"})
            dir.Make(name);
        for (const char* name : {"l@d", "d/k@s", "d/s_x", "d/t/f_x", "d/s/u_x", "e_x", "d/t_x"})
            if (std::string_view(name).find('@') != std::string_view::npos ? posix : pick(3) == 0)
                dir.Make(name);
        RenameOptionSet options;
        options.InsertGroup = options.InsertBack = true;
        options.InsertBackText = "_x";
        options.NumberIncEnabled = pick(4) == 0;
        if (const ReplacePair& pair = replaces[pick(replaces.size())]; !pair.Replace.empty()) {
            options.ReplaceGroup = options.ReplaceEnabled = true;
            options.ReplacePairs[0] = pair;
            options.ReplaceCount = 1;
        }
        std::vector<std::pair<std::string, std::string>> entries;
        for (std::size_t i = pick(7) + 2; i > 0; --i) {
            auto [folder, name] = listable[pick(listable.size() - (posix ? 0 : 1))];
            const auto& [start, spelt] = spellings[pick(spellings.size() - (posix ? 0 : 3))];
            if (folder.starts_with(start) && spelt.empty())
                std::tie(folder, name) = std::pair(std::string("d/"), folder.substr(2) + name);
            else if (folder.starts_with(start))
                folder = spelt + folder.substr(start.size());
            entries.emplace_back(folder, name);
        }
        TFileList list;
        List(list, dir, entries);
        for (const RenameMode mode : {RenameMode::Rename, RenameMode::Undo}) {
            PredictThenRun(list.Items(), options, mode);
            if (::testing::Test::HasFailure())
                return;
        }
    }
}

TEST(Prediction, FoldersAndTheirContentsInOneRunOnTmpfsAsTheRun) {
    for (const unsigned seed : {21u, 42u})
        FoldersAndContentsAtRandom("/dev/shm", 80, seed, true);
}

TEST(Prediction, FoldersAndTheirContentsInOneRunOnExfatAsTheRun) {
    ExfatMount exfat;
    if (!exfat.Error().empty())
        GTEST_SKIP() << "no exFAT mount: " << exfat.Error();
    FoldersAndContentsAtRandom(exfat.Folder(), 40, 7, false);
}

// "x0" becomes "x" and the number. b6 is there already, so b0 fails and c0 takes 6: each
// entry keeps the number of its moment, in either order (the window marks by it).
TEST(Prediction, EachEntryHasTheNumberOfItsMoment) {
    RenameFolder dir("/dev/shm");
    for (const char* name : {"a0", "b0", "c0", "d0", "b6"})
        dir.Make(name);
    ListedFiles list(dir.Path(), {"a0", "b0", "c0", "d0"});
    RenameOptionSet options;
    options.RemoveGroup = options.RemoveBack = true;
    options.RemoveBackCount = 1;
    options.InsertGroup = options.NumberIncEnabled = true;
    options.NumberIncValue = 5;
    const std::atomic<bool> goOn{false};
    for (const RunOrder order : {RunOrder::ListOrder, RunOrder::Planned}) {
        const TPrediction p =
            PredictRenames(SnapshotEntries(list.items()), options, RenameMode::Rename, order, goOn);
        std::vector<std::pair<std::string, std::int32_t>> got;
        for (const TPredictedEntry& entry : p.Entries)
            got.emplace_back(entry.Candidate, entry.Number);
        EXPECT_EQ(got, (std::vector<std::pair<std::string, std::int32_t>>{
                           {"a5", 5}, {"b6", 6}, {"c6", 6}, {"d7", 7}}));
    }
}

TEST(Prediction, SnapshotLeavesEmptySlotsOut) {
    ListedFiles list("/nowhere/", {"a", "b", "c"});
    list.items().Delete(1);
    const std::vector<TRunEntry> entries = SnapshotEntries(list.items());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].Slot, 2);
    EXPECT_EQ(entries[1].Name, "c");
    EXPECT_EQ(entries[1].Path, "/nowhere/");
}

TEST(Prediction, CancelStopsItWithWhatItHas) {
    const std::vector<TRunEntry> entries(1000, TRunEntry{0, false, "/nowhere/", "x", "", {}, {}});
    RenameOptionSet options;
    options.InsertGroup = options.InsertBack = true;
    options.InsertBackText = "y";
    const std::atomic<bool> stop{true};
    const TPrediction p =
        PredictRenames(entries, options, RenameMode::Rename, RunOrder::ListOrder, stop);
    EXPECT_TRUE(p.Tally.Cancelled);
    EXPECT_TRUE(p.Entries.empty());
    const std::atomic<bool> goOn{false};
    const TPrediction all =
        PredictRenames(entries, options, RenameMode::Rename, RunOrder::ListOrder, goOn);
    EXPECT_FALSE(all.Tally.Cancelled);
    ASSERT_EQ(all.Entries.size(), entries.size());
    EXPECT_EQ(all.Entries.back().Error, ENOENT);
}

} // namespace
} // namespace qm::test
