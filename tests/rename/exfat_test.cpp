// A real folder that ignores letter case: an exFAT image mounted through FUSE. Needs
// root (for the loop device) and /dev/fuse; skipped with a message otherwise.

#include "exfatmount.h"
#include "rename/journalundo.h"
#include "rename/movefile.h"
#include "rename/plan.h"
#include "rename/renamerun.h"
#include "renamefolder.h"
#include "runprocess.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace qm::test {
namespace {

namespace fs = std::filesystem;

std::map<std::string, std::string> Files(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        files[entry.path().filename().string()] =
            std::string(std::istreambuf_iterator<char>(in), {});
    }
    return files;
}

TEST(CaseInsensitiveFolder, CaseOnlyChangeWorksAndNoOtherFileIsReplaced) {
    ExfatMount exfat;
    if (!exfat.Error().empty())
        GTEST_SKIP() << "no exFAT mount: " << exfat.Error();
    const std::string dir = exfat.Folder();
    for (const char* name : {"readme.txt", "b", "Other", "notes", "todo"})
        std::ofstream(dir + name) << name;

    EXPECT_EQ(MoveFileNoReplace(dir, "readme.txt", "README.TXT"), 0);
    EXPECT_EQ(MoveFileNoReplace(dir, "b", "OTHER"), EEXIST);
    EXPECT_EQ(MoveFileNoReplace(dir, "b", "other"), EEXIST);

    // The run, too: a name that differs in case only is renamed.
    ListedFiles list(dir, {"notes", "todo"});
    RenameOptionSet upper;
    upper.FormatGroup = upper.FormatTextEnabled = true;
    upper.FormatFirstLetterUp = upper.FormatOtherLettersUp = true;
    const std::atomic<bool> goOn{false};
    EXPECT_EQ(RunRenames(list.items(), upper, RenameMode::Rename, {}, goOn).Renamed, 2);

    EXPECT_EQ(Files(dir), (std::map<std::string, std::string>{{"README.TXT", "readme.txt"},
                                                              {"b", "b"},
                                                              {"Other", "Other"},
                                                              {"NOTES", "notes"},
                                                              {"TODO", "todo"}}));
}

TEST(CaseInsensitiveFolder, PlannedRunSwapsNamesThatFoldAlike) {
    ExfatMount exfat;
    if (!exfat.Error().empty())
        GTEST_SKIP() << "no exFAT mount: " << exfat.Error();
    const std::string dir = exfat.Folder();
    for (const char* name : {"a", "b", "c"})
        std::ofstream(dir + name) << name;
    // a -> B, b -> A: each target is the other file under another case; c -> C is its
    // own.
    RenameOptionSet swap;
    swap.ReplaceGroup = swap.ReplaceEnabled = true;
    swap.ReplaceCount = 4;
    swap.ReplacePairs[0] = {"a", "#"};
    swap.ReplacePairs[1] = {"b", "A"};
    swap.ReplacePairs[2] = {"#", "B"};
    swap.ReplacePairs[3] = {"c", "C"};
    ListedFiles list(dir, {"a", "b", "c"});
    const std::atomic<bool> goOn{false};
    EXPECT_EQ(RunPlannedRenames(list.items(), swap, RenameMode::Rename, {}, goOn).Renamed, 3);
    EXPECT_EQ(Files(dir), (std::map<std::string, std::string>{{"B", "a"}, {"A", "b"}, {"C", "c"}}));
    EXPECT_EQ(RunPlannedRenames(list.items(), {}, RenameMode::Undo, {}, goOn).Renamed, 3);
    EXPECT_EQ(Files(dir), (std::map<std::string, std::string>{{"a", "a"}, {"b", "b"}, {"c", "c"}}));
}

// Runs `run` in a child process that dies (as under kill -9) where `run` calls _exit.
void InAChildThatDies(const std::function<void()>& run) {
    const pid_t child = fork();
    if (child == 0) {
        run();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9);
}

TJournal LastJournal(const std::string& journals, std::string* path = nullptr) {
    const std::string last = JournalFiles(journals).back();
    if (path != nullptr)
        *path = last;
    return ReadJournal(last).Journal;
}

// A case-only run taken back takes the run's way through a temporary name, also right
// after a run killed between the two steps of such a move (whose file the file system's
// cache still shows under its old name for a while).
TEST(CaseInsensitiveFolder, UndoTakesCaseOnlyMovesBackAlsoAfterAKill) {
    for (const bool killed : {false, true}) {
        SCOPED_TRACE(killed ? "killed with a file parked" : "finished");
        ExfatMount exfat;
        if (!exfat.Error().empty())
            GTEST_SKIP() << "no exFAT mount: " << exfat.Error();
        RenameFolder state;
        const TJournalPlace place{state.Path(), "test"};
        const std::string dir = exfat.Folder();
        for (const char* name : {"notes", "readme", "todo"})
            std::ofstream(dir + name) << name;
        RenameOptionSet upper;
        upper.FormatGroup = upper.FormatTextEnabled = true;
        upper.FormatFirstLetterUp = upper.FormatOtherLettersUp = true;
        const std::atomic<bool> goOn{false};
        InAChildThatDies([&] {
            ListedFiles list(dir, {"notes", "readme", "todo"});
            int moves = 0;
            RunJournaledRenames(
                list.items(), upper, RenameMode::Rename, RunOrder::ListOrder, {}, goOn,
                [&](const std::string& folder, const std::string& from, const std::string& to) {
                    if (killed && ++moves == 2) {
                        // The first step of a case-only move, and no second.
                        char parked[32];
                        std::snprintf(parked, sizeof parked, ".qm-case-%x-0",
                                      static_cast<unsigned>(getpid()));
                        if (MoveFileNoReplace(folder, from, parked) == 0)
                            _exit(9);
                    }
                    return MoveFileNoReplace(folder, from, to);
                },
                place);
            _exit(9);
        });
        std::string path;
        const TJournal run = LastJournal(place.Folder, &path);
        const TUndoResult undo = UndoJournal(path, run, place, goOn);
        EXPECT_EQ(undo.Tally.Renamed, killed ? 2 : 3);
        EXPECT_EQ(undo.Tally.Failed, 0);
        EXPECT_TRUE(undo.Complete);
        EXPECT_EQ(Files(dir), (std::map<std::string, std::string>{
                                  {"notes", "notes"}, {"readme", "readme"}, {"todo", "todo"}}));
    }
}

// Where inode numbers are made up per name, only the journal of the undo taken before
// tells a swap undone already (or half) from one that was not.
TEST(CaseInsensitiveFolder, ASwapUndoneTwiceOrFinishedAfterAKillStaysUndone) {
    for (const int killedAfter : {-1, 1, 2}) {
        SCOPED_TRACE(killedAfter);
        ExfatMount exfat;
        if (!exfat.Error().empty())
            GTEST_SKIP() << "no exFAT mount: " << exfat.Error();
        RenameFolder state;
        const TJournalPlace place{state.Path(), "test"};
        const std::string dir = exfat.Folder();
        for (const char* name : {"a", "b"})
            std::ofstream(dir + name) << name;
        RenameOptionSet swap;
        swap.ReplaceGroup = swap.ReplaceEnabled = true;
        swap.ReplaceCount = 3;
        swap.ReplacePairs[0] = {"a", "#"};
        swap.ReplacePairs[1] = {"b", "a"};
        swap.ReplacePairs[2] = {"#", "b"};
        ListedFiles list(dir, {"a", "b"});
        const std::atomic<bool> goOn{false};
        ASSERT_EQ(RunJournaledRenames(list.items(), swap, RenameMode::Rename, RunOrder::Planned, {},
                                      goOn, {}, place)
                      .Tally.Renamed,
                  2);
        ASSERT_EQ(Files(dir), (std::map<std::string, std::string>{{"a", "b"}, {"b", "a"}}));
        std::string path;
        const TJournal run = LastJournal(place.Folder, &path);
        if (killedAfter < 0) {
            ASSERT_EQ(UndoJournal(path, run, place, goOn).Tally.Renamed, 2);
        } else {
            InAChildThatDies([&] {
                TJournal header;
                header.Mode = RenameMode::Undo;
                header.EntryCount = run.EntryCount;
                header.UndoOf = run.RunId;
                int taken = 0;
                RunJournaledMoves(
                    PlanUndo(run).Moves, header, place, goOn, {},
                    [&](const std::string& f, const std::string& from, const std::string& to) {
                        if (taken++ == killedAfter)
                            _exit(9);
                        return MoveFileNoReplace(f, from, to);
                    });
            });
        }
        const TUndoResult again = UndoJournal(path, run, place, goOn);
        EXPECT_EQ(again.Tally.Renamed, killedAfter < 0 ? 0 : 3 - killedAfter);
        EXPECT_EQ(again.Tally.Failed, 0);
        EXPECT_EQ(Files(dir), (std::map<std::string, std::string>{{"a", "a"}, {"b", "b"}}));
    }
}

} // namespace
} // namespace qm::test
