// A real folder that ignores letter case: an exFAT image mounted through FUSE. Needs
// root (for the loop device) and /dev/fuse; skipped with a message otherwise.

#include "exfatmount.h"
#include "rename/journaledrun.h"
#include "rename/movefile.h"
#include "rename/plan.h"
#include "rename/predict.h"
#include "rename/renamerun.h"
#include "renamefolder.h"
#include "runerrorprint.h"
#include "runprocess.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>

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

// exFAT through FUSE answers a name holding ":" with "no such file", and takes a name
// ending in "." that Windows cannot open: every kind of run refuses both, as predicted,
// and the files stay as they were while the run goes on with the rest.
TEST(CaseInsensitiveFolder, RefusedNamesFailAsPredictedInEveryKindOfRun) {
    ExfatMount exfat;
    if (!exfat.Error().empty())
        GTEST_SKIP() << "no exFAT mount: " << exfat.Error();
    const std::string dir = exfat.Folder();
    const std::map<std::string, std::string> before = {{"a.txt", "a"}, {"b", "b"}, {"c", "c"}};
    RenameOptionSet options;
    options.ReplaceGroup = options.ReplaceEnabled = true;
    options.ReplaceCount = 3;
    options.ReplacePairs[0] = {"a", "a:1"};
    options.ReplacePairs[1] = {"b", "b."};
    options.ReplacePairs[2] = {"c", "d"};
    const std::vector<RunError> errors = {RunError::Of(RunFault::NameCharacter, ':'),
                                          RunError::Of(RunFault::NameEnd, '.'), 0};
    RenameFolder journals;
    const std::atomic<bool> goOn{false};
    for (const RunOrder order : {RunOrder::ListOrder, RunOrder::Planned}) {
        for (const bool journaled : {false, true}) {
            SCOPED_TRACE(std::string(order == RunOrder::Planned ? "planned" : "list order") +
                         (journaled ? ", journaled" : ""));
            for (const auto& [name, content] : before)
                std::ofstream(dir + name) << content;
            ListedFiles list(dir, {"a.txt", "b", "c"});
            const TPrediction predicted = PredictRenames(SnapshotEntries(list.items()), options,
                                                         RenameMode::Rename, order, goOn);
            std::vector<RunError> seen(3, -1);
            RenameCallbacks callbacks;
            callbacks.OnOutcome = [&](int slot, RenameOutcome, RunError error) {
                seen[static_cast<std::size_t>(slot)] = error;
            };
            const RenameTally tally =
                journaled ? RunJournaledRenames(list.items(), options, RenameMode::Rename, order,
                                                callbacks, goOn, {}, {journals.Path(), "test"})
                                .Tally
                : order == RunOrder::Planned
                    ? RunPlannedRenames(list.items(), options, RenameMode::Rename, callbacks, goOn)
                    : RunRenames(list.items(), options, RenameMode::Rename, callbacks, goOn);
            EXPECT_EQ(seen, errors);
            ASSERT_EQ(predicted.Entries.size(), 3u);
            for (std::size_t i = 0; i < 3; ++i)
                EXPECT_EQ(predicted.Entries[i].Error, errors[i]) << i;
            EXPECT_EQ(tally.Failed, 2);
            EXPECT_EQ(predicted.Tally.Renamed, tally.Renamed);
            EXPECT_EQ(Files(dir),
                      (std::map<std::string, std::string>{{"a.txt", "a"}, {"b", "b"}, {"d", "c"}}));
            fs::remove(dir + "d");
        }
    }
}

} // namespace
} // namespace qm::test
