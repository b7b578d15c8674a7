#include "rename/journaledrun.h"
#include "rename/journalundo.h"
#include "rename/predict.h"
#include "rename/renamerun.h"
#include "renamefolder.h"
#include "runerrorprint.h"
#include "settings/optionschemas.h"

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>

namespace qm::test {
namespace {

const std::atomic<bool> kGoOn{false};

RenameOptionSet Scheme(const std::string& text) {
    RenameOptionSet options;
    ReadSchemeText(NormalizeLineEnds("Version=1\n" + text), options);
    return options;
}

// What became of each entry of a journaled run.
struct Seen {
    std::vector<RenameOutcome> outcomes;
    std::vector<RunError> errors;
    RenameTally tally;
    std::string runId;
};

// Predicts the run over `files` in `order`, runs it journaled into `journals`, and
// checks every entry against its prediction: outcome, error, and the new name of one
// renamed.
Seen RunAsPredicted(TFileItems& items, const RenameOptionSet& options, RunOrder order,
                    const std::string& journals) {
    const TPrediction predicted =
        PredictRenames(SnapshotEntries(items), options, RenameMode::Rename, order, kGoOn);
    const int count = items.Count();
    Seen seen;
    seen.outcomes.assign(static_cast<std::size_t>(count), RenameOutcome::Unchanged);
    seen.errors.assign(static_cast<std::size_t>(count), {});
    RenameCallbacks callbacks;
    callbacks.OnOutcome = [&](int slot, RenameOutcome outcome, RunError error) {
        seen.outcomes[static_cast<std::size_t>(slot)] = outcome;
        seen.errors[static_cast<std::size_t>(slot)] = error;
    };
    const TJournaledRun run = RunJournaledRenames(items, options, RenameMode::Rename,
                                                  order, callbacks, kGoOn, {},
                                                  TJournalPlace{journals, ""});
    EXPECT_TRUE(run.Ran) << run.JournalProblem;
    EXPECT_EQ(run.JournalProblem, "");
    seen.tally = run.Tally;
    seen.runId = run.RunId;
    EXPECT_EQ(predicted.Entries.size(), static_cast<std::size_t>(count));
    for (int i = 0; i < count && static_cast<std::size_t>(i) < predicted.Entries.size(); ++i) {
        SCOPED_TRACE("entry " + std::to_string(i) + " " + items.Items(i)->Name());
        const TPredictedEntry& p = predicted.Entries[static_cast<std::size_t>(i)];
        EXPECT_EQ(p.Outcome, seen.outcomes[static_cast<std::size_t>(i)]);
        EXPECT_EQ(p.Error, seen.errors[static_cast<std::size_t>(i)]);
        if (p.Outcome == RenameOutcome::Renamed)
            EXPECT_EQ(p.Candidate, items.Items(i)->Name());
    }
    EXPECT_EQ(predicted.Tally.Renamed, run.Tally.Renamed);
    EXPECT_EQ(predicted.Tally.Failed, run.Tally.Failed);
    EXPECT_EQ(predicted.Tally.NumberIncValue, run.Tally.NumberIncValue);
    return seen;
}

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

// Each row: files made, names listed, options; per entry the name it ends with
// (a "!" before it: the entry fails, keeping it), and what the folder holds after. Both
// orders must come out the same, as predicted, and the journal must take it all back,
// the folders made included.
TEST(Organize, EachOptionAsPredictedAndUndone) {
    struct Row {
        const char* what;
        std::vector<std::string> made;
        std::vector<std::string> listed;
        std::string scheme;
        std::vector<std::string> after;
        std::vector<std::string> present; // below the folder after the run
        std::vector<std::string> absent;
    };
    const std::string folders = "CreateFolders=true\nInsertGroup=true\nInsertFront=true\nInsertFrontText=";
    const std::vector<Row> rows = {
        {"folders made for new names", {"a.jpg", "b.jpg", "y/"}, {"a.jpg", "b.jpg"},
         folders + "x/y/z/\n", {"x/y/z/a.jpg", "x/y/z/b.jpg"}, {"x/y/z/"}, {}},
        {"a folder that is there is used, not made", {"a.jpg", "x/"}, {"a.jpg"},
         folders + "x/\n", {"x/a.jpg"}, {}, {}},
        {"a folder part that is a file", {"a.jpg", "x"}, {"a.jpg"}, folders + "x/y/\n",
         {"!a.jpg"}, {"x"}, {"x/"}},
        {"a part \"..\"", {"a.jpg"}, {"a.jpg"}, folders + "../\n", {"!a.jpg"}, {}, {}},
        {"a name from the root", {"a.jpg"}, {"a.jpg"}, folders + "/tmp/\n", {"!a.jpg"}, {}, {}},
        {"a name with no name after its folder", {"a"}, {"a"},
         "CreateFolders=true\nReplaceGroup=true\nReplaceEnabled=true\nReplaceText1=a:x/\n",
         {"!a"}, {}, {"x"}},
        {"without the option no folder is made", {"a.jpg"}, {"a.jpg"},
         "InsertGroup=true\nInsertFront=true\nInsertFrontText=x/\n", {"!a.jpg"}, {}, {"x"}},
        {"taken names numbered, on disk and in the run",
         {"a1.jpg", "a2.jpg", "b.jpg", "a.jpg", "a (2).jpg"}, {"a1.jpg", "a2.jpg"},
         "NumberTakenNames=true\n" + Pairs({"1:", "2:"}), {"a (3).jpg", "a (4).jpg"}, {}, {}},
        {"the first keeps the plain name", {"a1.jpg", "a2.jpg"}, {"a1.jpg", "a2.jpg"},
         "NumberTakenNames=true\n" + Pairs({"1:", "2:"}), {"a.jpg", "a (2).jpg"}, {}, {}},
        {"a name with no extension", {"n1", "n"}, {"n1"},
         "NumberTakenNames=true\n" + Pairs({"1:"}), {"n (2)"}, {}, {}},
        {"companions keep their endings",
         {"IMG_1.CR2", "IMG_1.JPG", "IMG_1.CR2.xmp", "IMG_2.JPG"},
         {"IMG_1.JPG", "IMG_1.CR2", "IMG_1.CR2.xmp", "IMG_2.JPG"},
         "RenameCompanions=true\nInsertGroup=true\nInsertFront=true\nInsertFrontText=P \nNumberIncEnabled=true\n"
         "NumberIncValue=1\nNumberIncAddFrontSep=false\n" +
             Pairs({"IMG_1:", "IMG_2:"}),
         {"P 1.JPG", "P 1.CR2", "P 1.CR2.xmp", "P 2.JPG"}, {}, {}},
        {"a companion that cannot move keeps the group", {"a.jpg", "a.xmp", "b.xmp"},
         {"a.jpg", "a.xmp"}, "RenameCompanions=true\n" + Pairs({"a:b"}), {"!a.jpg", "!a.xmp"},
         {}, {}},
        {"a taken group name is numbered as one", {"a.jpg", "a.xmp", "b.xmp"},
         {"a.jpg", "a.xmp"}, "RenameCompanions=true\nNumberTakenNames=true\n" + Pairs({"a:b"}),
         {"b (2).jpg", "b (2).xmp"}, {}, {}},
        {"the number per folder", {"d/", "e/", "d/a", "d/b", "e/c"}, {"d/a", "d/b", "e/c"},
         "NumberPerFolder=true\nNumberIncEnabled=true\nNumberIncValue=1\n"
         "InsertGroup=true\nNumberIncAddFrontSep=false\n",
         {"a1", "b2", "c1"}, {}, {}},
    };
    for (const Row& row : rows)
        for (const RunOrder order : {RunOrder::ListOrder, RunOrder::Planned}) {
            SCOPED_TRACE(std::string(row.what) + (order == RunOrder::Planned ? ", planned" : ""));
            RenameFolder dir;
            for (const std::string& name : row.made)
                dir.Make(name);
            const auto before = dir.Contents();
            std::vector<std::string> listed;
            std::vector<std::string> folders;
            for (const std::string& name : row.listed) {
                const std::size_t slash = name.rfind('/');
                listed.push_back(slash == std::string::npos ? name : name.substr(slash + 1));
                folders.push_back(slash == std::string::npos ? "" : name.substr(0, slash + 1));
            }
            TFileList list;
            {
                std::vector<TFileItems::NewEntry> entries;
                for (std::size_t i = 0; i < listed.size(); ++i)
                    entries.push_back({listed[i], dir.Path() + folders[i]});
                list.Items().BeginUpdate();
                list.Items().AddNamesOnly(std::move(entries));
            }
            RenameFolder journals;
            const Seen seen =
                RunAsPredicted(list.Items(), Scheme(row.scheme), order, journals.Path());
            for (std::size_t i = 0; i < row.after.size(); ++i) {
                const std::string& want = row.after[i];
                const bool fails = want.front() == '!';
                EXPECT_EQ(seen.outcomes[i] == RenameOutcome::Failed, fails) << want;
                EXPECT_EQ(list.Items().Items(static_cast<int>(i))->Name(),
                          fails ? want.substr(1) : want);
                EXPECT_TRUE(Exists(dir.Path() + folders[i] + (fails ? want.substr(1) : want)))
                    << want;
            }
            for (const std::string& path : row.present)
                EXPECT_TRUE(Exists(dir.Path() + path)) << path;
            for (const std::string& path : row.absent)
                EXPECT_FALSE(Exists(dir.Path() + path)) << path;
            // Taken back from the journal, or as the window's undo does, from the list.
            if (order == RunOrder::ListOrder) {
                const std::string path = JournalPath(journals.Path(), seen.runId);
                const TUndoResult undo = UndoJournal(path, ReadJournal(path).Journal,
                                                     TJournalPlace{journals.Path(), ""}, kGoOn);
                EXPECT_TRUE(undo.Complete);
            } else {
                const TJournaledRun undo = RunJournaledRenames(
                    list.Items(), Scheme(row.scheme), RenameMode::Undo, order, {}, kGoOn, {},
                    TJournalPlace{journals.Path(), "", seen.runId});
                EXPECT_EQ(undo.Tally.Failed, 0);
            }
            EXPECT_EQ(dir.Contents(), before);
            for (const std::string& path : row.present)
                if (path.ends_with('/') && path.find('/') < path.size() - 1)
                    EXPECT_FALSE(Exists(dir.Path() + path)) << "made, so removed: " << path;
            EXPECT_FALSE(Exists(dir.Path() + "x/y/z/"));
        }
}

// A name shown as free and taken by another program before the run gets there: the run
// takes the next free number and replaces nothing; the name it took differs from the
// one shown, which is how the window tells the user.
TEST(Organize, ANameTakenMeanwhileGetsTheNextNumber) {
    RenameFolder dir;
    for (const char* name : {"a.jpg", "a1.jpg"})
        dir.Make(name);
    ListedFiles files(dir.Path(), {"a1.jpg"});
    const RenameOptionSet options = Scheme("NumberTakenNames=true\n" + Pairs({"1:"}));
    const TPrediction shown = PredictRenames(SnapshotEntries(files.items()), options,
                                             RenameMode::Rename, RunOrder::ListOrder, kGoOn);
    ASSERT_EQ(shown.Entries.at(0).Candidate, "a (2).jpg");
    dir.Make("a (2).jpg");
    RenameFolder journals;
    const TJournaledRun run =
        RunJournaledRenames(files.items(), options, RenameMode::Rename, RunOrder::ListOrder, {},
                            kGoOn, {}, TJournalPlace{journals.Path(), ""});
    EXPECT_EQ(run.Tally.Renamed, 1);
    EXPECT_EQ(files[0].Name(), "a (3).jpg");
    EXPECT_EQ(dir.Contents().at("a (2).jpg"), std::vector<std::string>{"a (2).jpg"});
    const std::string path = JournalPath(journals.Path(), run.RunId);
    EXPECT_TRUE(UndoJournal(path, ReadJournal(path).Journal, TJournalPlace{journals.Path(), ""},
                            kGoOn)
                    .Complete);
    EXPECT_EQ(dir.Contents().at("a1.jpg"), std::vector<std::string>{"a1.jpg"});
}

} // namespace
} // namespace qm::test
