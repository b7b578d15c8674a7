#include "exfatmount.h"
#include "rename/journaledrun.h"
#include "rename/journalundo.h"
#include "rename/movefile.h"
#include "renamefolder.h"
#include "runprocess.h"
#include "settings/optionschemas.h"
#include "settings/settings.h"
#include "storefixture.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <random>
#include <set>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qm::test {
namespace {

namespace fs = std::filesystem;
using Contents = std::map<std::string, std::vector<std::string>>;

RenameOptionSet Scheme(const std::string& text) {
    RenameOptionSet options;
    ReadSchemeText(NormalizeLineEnds("Version=1\n" + text), options);
    return options;
}

// Each file holds its own first name, so "every content once, under its old name" is this.
Contents Unrenamed(const std::vector<std::string>& names) {
    Contents contents;
    for (const std::string& name : names)
        contents[name] = {name};
    return contents;
}

std::vector<std::string> Numbered(const char* prefix, int count) {
    std::vector<std::string> names;
    char name[32];
    for (int i = 1; i <= count; ++i) {
        std::snprintf(name, sizeof name, "%s%04d", prefix, i);
        names.push_back(name);
    }
    return names;
}

// a0001 -> ba0001, the number rising after each success.
const char kNumbered[] = "RemoveGroup=true\nRemoveBack=true\nRemoveBackCount=4\nInsertGroup=true\n"
                         "InsertFront=true\nInsertFrontText=b\nNumberIncEnabled=true\n"
                         "NumberIncMinLength=4\nNumberIncValue=1\n";

struct KillCase {
    const char* what;
    RunOrder order;
    std::vector<std::string> files;  // made on disk
    std::vector<std::string> listed; // handed to the run
    std::string scheme;
};

std::vector<KillCase> KillCases(int count) {
    std::vector<KillCase> cases;
    // Listed files that are missing fail without raising the number: the names after
    // each shift by one, as the prediction says.
    std::vector<std::string> numbered = Numbered("a", count);
    std::vector<std::string> present;
    for (std::size_t i = 0; i < numbered.size(); ++i)
        if (i % 500 != 7)
            present.push_back(numbered[i]);
    cases.push_back(
        {"list order, numbered, with failures", RunOrder::ListOrder, present, numbered, kNumbered});
    // One chain: t0001 -> t0002 -> ... each target freed just before it is taken.
    const std::vector<std::string> chain = Numbered("t", count);
    cases.push_back({"planned renumbering", RunOrder::Planned, chain, chain,
                     "RemoveGroup=true\nRemoveBack=true\nRemoveBackCount=4\nInsertGroup=true\n"
                     "NumberIncEnabled=true\nNumberIncMinLength=4\nNumberIncValue=2\n"});
    // x0001 <-> y0001, ...: a cycle each, parked under a temporary name.
    std::vector<std::string> swaps = Numbered("x", count / 2);
    for (const std::string& name : Numbered("y", count / 2))
        swaps.push_back(name);
    cases.push_back({"planned swaps", RunOrder::Planned, swaps, swaps,
                     "ReplaceGroup=true\nReplaceEnabled=true\nReplaceCount=3\n"
                     "ReplaceText1=x:#\nReplaceText2=y:x\nReplaceText3=#:y\n"});
    return cases;
}

struct Lived {
    std::chrono::microseconds firstMove{0}; // when the child took its first entry
    std::chrono::microseconds end{0};
};

// Runs `c` in a child process, killed with SIGKILL after `delay` (never, when negative).
Lived RunChild(const KillCase& c, const std::string& folder, const std::string& journals,
               std::chrono::microseconds delay) {
    int steps[2];
    EXPECT_EQ(pipe(steps), 0);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        close(steps[0]);
        std::vector<TFileItems::NewEntry> entries;
        TFileList list;
        list.Items().BeginUpdate();
        for (const std::string& name : c.listed)
            entries.push_back({name, folder});
        list.Items().AddNamesOnly(std::move(entries));
        RenameCallbacks callbacks;
        callbacks.OnStep = [&steps](int done) {
            if (done == 1 && write(steps[1], "s", 1) != 1)
                _exit(4);
        };
        const std::atomic<bool> goOn{false};
        const TJournaledRun run =
            RunJournaledRenames(list.Items(), Scheme(c.scheme), RenameMode::Rename, c.order,
                                callbacks, goOn, {}, TJournalPlace{journals, "test"});
        _exit(run.Ran && run.JournalProblem.empty() ? 0 : 3);
    }
    close(steps[1]);
    auto since = [&start] {
        return std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - start);
    };
    Lived lived;
    if (delay.count() >= 0) {
        std::this_thread::sleep_for(delay);
        kill(child, SIGKILL);
    } else {
        char byte = 0;
        EXPECT_EQ(read(steps[0], &byte, 1), 1);
        lived.firstMove = since();
    }
    int status = 0;
    waitpid(child, &status, 0);
    lived.end = since();
    close(steps[0]);
    EXPECT_TRUE(delay.count() >= 0 || (WIFEXITED(status) && WEXITSTATUS(status) == 0));
    return lived;
}

int Rounds() {
    const char* rounds = std::getenv("QM_JOURNAL_KILL_ROUNDS");
    return rounds ? std::max(1, std::atoi(rounds)) : 9; // three of each kind of run
}

class KilledRun : public testing::TestWithParam<const char*> {};

// A run killed at a random moment (before its journal is whole, among its moves, after its
// end) is taken back whole by quillmark-cli undo, every content once under its old name.
TEST_P(KilledRun, UndoBringsEveryFileBackToItsOldName) {
    const std::string base = GetParam();
    struct statfs place {};
    if (statfs(base.c_str(), &place) != 0)
        GTEST_SKIP() << base << " is not there";
    if (base != "/dev/shm" && place.f_type == TMPFS_MAGIC)
        GTEST_SKIP() << base << " is not on an ordinary disk here";
    const int count = 3000;
    const std::vector<KillCase> cases = KillCases(count);
    std::vector<Lived> whole(cases.size());
    const char* seedText = std::getenv("QM_JOURNAL_KILL_SEED");
    const unsigned seed = seedText ? static_cast<unsigned>(std::atoi(seedText)) : 17u;
    std::mt19937 random(seed);
    int interrupted = 0;
    const int rounds = Rounds();
    for (int round = -static_cast<int>(cases.size()); round < rounds; ++round) {
        // The first round of each case runs whole, to time it.
        const std::size_t which = static_cast<std::size_t>(round + 3 * rounds) % cases.size();
        const KillCase& c = cases[which];
        SCOPED_TRACE(std::string(c.what) + ", round " + std::to_string(round) + ", seed " +
                     std::to_string(seed));
        RenameFolder dir(base);
        for (const std::string& name : c.files)
            dir.Make(name);
        const std::string state = dir.Path() + "state";
        const std::string journals = state + "/Marlowick/Quillmark/";
        std::chrono::microseconds delay{-1};
        // Mostly among the moves, now and then before or after them.
        if (round >= 0) {
            const long first = whole[which].firstMove.count();
            const long end = whole[which].end.count();
            delay = std::chrono::microseconds(std::uniform_int_distribution<long>(
                first - (end - first) / 10, end + (end - first) / 20)(random));
        }
        const auto lived = RunChild(c, dir.Path(), journals, delay);
        if (round < 0)
            whole[which] = lived;
        const std::vector<std::string> files = JournalFiles(journals);
        if (!files.empty()) {
            const TJournalRead read = ReadJournal(files.back());
            interrupted +=
                read.Status == TJournalRead::Ok && read.Journal.Started && !read.Journal.Closed;
        }
        setenv("XDG_STATE_HOME", state.c_str(), 1);
        const ProcessResult undo = RunProcess(BinPath("quillmark-cli"), {"undo"});
        // 2: killed before the journal was whole, so before the first rename.
        EXPECT_TRUE(undo.exitCode == 0 || (undo.exitCode == 2 && files.size() <= 1))
            << undo.exitCode << " " << undo.err;
        fs::remove_all(state);
        EXPECT_EQ(dir.Contents(), Unrenamed(c.files));
        if (HasFailure())
            break;
    }
    RecordProperty("interrupted_among_moves", interrupted);
    std::printf("%d of %d rounds killed among the moves\n", interrupted, rounds);
    EXPECT_GT(interrupted, 0);
}

INSTANTIATE_TEST_SUITE_P(TmpfsAndDisk, KilledRun, testing::Values("/dev/shm", "/var/tmp"));

TEST(JournalUndo, NamesTakenSinceFailTheirEntriesWithoutHarm) {
    RenameFolder dir;
    const std::string& p = dir.Path();
    for (const char* name : {"a1", "a2", "a3", "a4"})
        dir.Make(name);
    std::ofstream(p + "s.scheme") << "Version=1\nReplaceGroup=true\nReplaceEnabled=true\n"
                                     "ReplaceCount=1\nReplaceText1=a:b\n";
    RenameFolder state;
    setenv("XDG_STATE_HOME", state.Path().c_str(), 1);
    const std::string cli = BinPath("quillmark-cli");
    const ProcessResult rename = RunProcess(
        cli, {"rename", "--scheme-file", p + "s.scheme", p + "a1", p + "a2", p + "a3", p + "a4"});
    ASSERT_EQ(rename.exitCode, 0) << rename.err;
    // a2's name taken by another file; b3 replaced by another file of the same name.
    std::ofstream(p + "a2") << "another file";
    fs::rename(p + "b3", p + "old b3");
    std::ofstream(p + "b3") << "another b3";
    fs::remove(p + "old b3");

    const std::string journals = state.Path() + "Marlowick/Quillmark/";
    const TJournal renamed = ReadJournal(JournalFiles(journals).front()).Journal;
    const ProcessResult undo = RunProcess(cli, {"undo", "--list"});
    EXPECT_EQ(undo.exitCode, 1);
    EXPECT_EQ(undo.out, p + "b4\t" + p + "a4\n" + p + "b1\t" + p + "a1\n" +
                            "2 renamed, 0 unchanged, 2 failed\n");
    EXPECT_EQ(undo.err,
              "quillmark-cli: " + p + "b3: no longer there (cannot get back its name 'a3')\n" +
                  "quillmark-cli: " + p + "b2: cannot get back its name 'a2': the name is taken\n" +
                  "quillmark-cli undo: the run " + renamed.RunId +
                  " is partly undone (2 files not back); 'quillmark-cli undo' takes it further "
                  "once the names are free\n");
    EXPECT_EQ(dir.Contents(), (Contents{{"a1", {"a1"}},
                                        {"a2", {"b2"}},
                                        {"a4", {"a4"}},
                                        {"another file", {"a2"}},
                                        {"another b3", {"b3"}},
                                        {"Version=1\nReplaceGroup=true\nReplaceEnabled=true\n"
                                         "ReplaceCount=1\nReplaceText1=a:b\n",
                                         {"s.scheme"}}}));

    // The history tells the undo's own counts, and that the run is only partly undone: a2
    // can come back once its name is free.
    EXPECT_FALSE(ReadJournal(JournalFiles(journals).front()).Journal.Undone);
    const std::string history = RunProcess(cli, {"history"}).out;
    EXPECT_NE(history.find("undo of " + renamed.RunId + "\t2 renamed, 0 unchanged, 2 failed"),
              std::string::npos)
        << history;
    EXPECT_NE(history.find("finished, partly undone (2 files not back)\t"), std::string::npos)
        << history;

    struct Row {
        std::vector<std::string> args;
        int exitCode;
        std::string out;
        bool freeA2 = false; // remove the file that took a2's name first
    } rows[] = {
        // The last run is an undo that left its run partly undone: undo takes that further.
        {{"undo"}, 1, "0 renamed, 2 unchanged, 2 failed\n"},
        {{"undo", "--run", renamed.RunId}, 1, "0 renamed, 2 unchanged, 2 failed\n"},
        {{"undo", "--run", "no-such-run"}, 2, ""},
        // a2 comes back; b3 is gone and cannot, so the run stays partly undone.
        {{"undo"}, 1, "1 renamed, 2 unchanged, 1 failed\n", true},
        {{"undo"}, 1, "0 renamed, 3 unchanged, 1 failed\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args.back() + (row.freeA2 ? " after freeing a2" : ""));
        if (row.freeA2)
            fs::remove(p + "a2");
        const ProcessResult r = RunProcess(cli, row.args);
        EXPECT_EQ(r.exitCode, row.exitCode) << r.err;
        EXPECT_EQ(r.out, row.out);
    }
    EXPECT_FALSE(ReadJournal(JournalFiles(journals).front()).Journal.Undone);
    EXPECT_NE(RunProcess(cli, {"history"}).out.find("finished, partly undone (1 file not back)\t"),
              std::string::npos);
    EXPECT_TRUE(fs::exists(p + "a1") && fs::exists(p + "a2") && fs::exists(p + "a4"));
    EXPECT_TRUE(fs::exists(p + "b3"));
}

// A finished run is undone only when every file came back: files moved away by hand (or
// listed by the file system under another name than they were given) leave it partly
// undone, with how many are not back, in the undo's output, its exit status and history.
TEST(JournalUndo, UndoneOnlyWhenEveryFileIsBack) {
    struct Row {
        std::vector<std::string> movedAway;
        int exitCode;
        std::string out, state;
    } rows[] = {
        {{}, 0, "3 renamed, 0 unchanged, 0 failed\n", "finished, undone\t"},
        {{"b2"},
         1,
         "2 renamed, 0 unchanged, 1 failed\n",
         "finished, partly undone (1 file not back)\t"},
        {{"b1", "b2", "b3"},
         1,
         "0 renamed, 0 unchanged, 3 failed\n",
         "finished, partly undone (3 files not back)\t"},
    };
    const std::string cli = BinPath("quillmark-cli");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.out);
        RenameFolder dir, state;
        setenv("XDG_STATE_HOME", state.Path().c_str(), 1);
        const std::string& p = dir.Path();
        for (const char* name : {"a1", "a2", "a3", "moved/"})
            dir.Make(name);
        std::ofstream(state.Path() + "s") << "Version=1\n" << Pairs({"a:b"});
        ASSERT_EQ(RunProcess(cli, {"rename", "--scheme-file", state.Path() + "s", p + "a1",
                                   p + "a2", p + "a3"})
                      .exitCode,
                  0);
        for (const std::string& name : row.movedAway)
            fs::rename(p + name, p + "moved/" + name);
        const ProcessResult undo = RunProcess(cli, {"undo"});
        EXPECT_EQ(undo.exitCode, row.exitCode) << undo.err;
        EXPECT_EQ(undo.out, row.out) << undo.err;
        EXPECT_EQ(undo.err.find("is partly undone (" + std::to_string(row.movedAway.size()) +
                                (row.movedAway.size() == 1 ? " file" : " files") + " not back)") !=
                      std::string::npos,
                  !row.movedAway.empty())
            << undo.err;
        const std::string history = RunProcess(cli, {"history"}).out;
        EXPECT_NE(history.find(row.state), std::string::npos) << history;
        EXPECT_EQ(
            ReadJournal(JournalFiles(state.Path() + "Marlowick/Quillmark/").front()).Journal.Undone,
            row.movedAway.empty());
    }
}

TEST(JournalUndo, ARunWithoutAJournalRenamesNothing) {
    RenameFolder dir;
    const std::string& p = dir.Path();
    dir.Make("a1");
    std::ofstream(p + "s.scheme") << "Version=1\nReplaceGroup=true\nReplaceEnabled=true\n"
                                     "ReplaceCount=1\nReplaceText1=a:b\n";
    // The journal's folder cannot be made below a file.
    setenv("XDG_STATE_HOME", (p + "a1").c_str(), 1);
    const ProcessResult r =
        RunProcess(BinPath("quillmark-cli"), {"rename", "--scheme-file", p + "s.scheme", p + "a1"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("cannot write the run's journal"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(p + "a1"));
}

// A move refused although the prediction said it would succeed shifts every later number:
// each shifted move is journaled before it is taken, so the undo finds every file.
TEST(JournalUndo, AnUnforeseenFailureIsJournaledBeforeTheMovesItShifts) {
    RenameFolder dir;
    RenameFolder state;
    const std::vector<std::string> names = Numbered("a", 6);
    for (const std::string& name : names)
        dir.Make(name);
    ListedFiles files(dir.Path(), names);
    const TJournalPlace place{state.Path(), "test"};
    int calls = 0;
    const std::atomic<bool> goOn{false};
    const TJournaledRun run = RunJournaledRenames(
        files.items(), Scheme(kNumbered), RenameMode::Rename, RunOrder::ListOrder, {}, goOn,
        [&](const std::string& folder, const std::string& from, const std::string& to) {
            return ++calls == 2 ? EACCES : MoveFileNoReplace(folder, from, to);
        },
        place);
    ASSERT_TRUE(run.Ran);
    EXPECT_EQ(run.Tally.Renamed, 5);
    EXPECT_EQ(files[5].Name(), "ba0005");
    const TJournalRead read = ReadJournal(JournalPath(place.Folder, run.RunId));
    ASSERT_EQ(read.Status, TJournalRead::Ok);
    ASSERT_EQ(read.Journal.Moves.size(), 6u);
    EXPECT_EQ(read.Journal.Moves[5].To, "ba0005");
    EXPECT_EQ(read.Journal.Moves[1].Result, MoveResult::Failed);

    // As after a crash: no closing record, so the disk alone tells what was done.
    TJournal interrupted = read.Journal;
    interrupted.Closed = false;
    for (TJournalMove& move : interrupted.Moves)
        move.Result = MoveResult::Unknown;
    const TUndoResult undo =
        UndoJournal(JournalPath(place.Folder, run.RunId), interrupted, place, goOn);
    EXPECT_EQ(undo.Tally.Renamed, 5);
    EXPECT_TRUE(undo.Failures.empty());
    EXPECT_EQ(dir.Contents(), Unrenamed(names));
}

// A run that renamed a folder and a file inside it: undo finds the file through either of
// its folder's names; where the folder's old name is taken since, the file still comes
// back, and the run stays partly undone until the name is free.
TEST(JournalUndo, AFolderAndAFileInsideItComeBack) {
    struct Row {
        std::vector<std::string> plan;
        bool takeTheFoldersName;
        std::string out, where;
    } rows[] = {
        {{}, false, "2 renamed, 0 unchanged, 0 failed\n", "d/sub/f"},
        {{"--plan"}, false, "2 renamed, 0 unchanged, 0 failed\n", "d/sub/f"},
        {{}, true, "1 renamed, 0 unchanged, 1 failed\n", "d/sub_x/f"},
    };
    const std::string cli = BinPath("quillmark-cli");
    for (const Row& row : rows) {
        RenameFolder dir, state;
        setenv("XDG_STATE_HOME", state.Path().c_str(), 1);
        const std::string& p = dir.Path();
        for (const char* name : {"d/", "d/sub/", "d/sub/f"})
            dir.Make(name);
        std::ofstream(state.Path() + "a") << "Version=1\nInsertGroup=true\nInsertBack=true\n"
                                             "InsertBackText=_x\n";
        std::vector<std::string> args{"rename", "--scheme-file", state.Path() + "a"};
        args.insert(args.end(), row.plan.begin(), row.plan.end());
        args.insert(args.end(), {"--", p + "d/sub/f", p + "d/sub"});
        ASSERT_EQ(RunProcess(cli, args).exitCode, 0);
        if (row.takeTheFoldersName)
            fs::create_directory(p + "d/sub");
        EXPECT_EQ(RunProcess(cli, {"undo"}).out, row.out);
        EXPECT_EQ(dir.Contents(), (Contents{{"d/sub/f", {row.where}}}));
        const bool partly = RunProcess(cli, {"history"}).out.find("partly") != std::string::npos;
        EXPECT_EQ(partly, row.takeTheFoldersName);
        if (row.takeTheFoldersName) {
            fs::remove(p + "d/sub");
            EXPECT_EQ(RunProcess(cli, {"undo"}).out, "1 renamed, 1 unchanged, 0 failed\n");
            EXPECT_TRUE(fs::exists(p + "d/sub/f"));
        }
    }
}

// Contents() with each content's names in order.
Contents Sorted(Contents contents) {
    for (auto& [content, names] : contents)
        std::sort(names.begin(), names.end());
    return contents;
}

// Runs `run` in a child process that dies (as under kill -9) where `run` calls _exit(9).
void InAChildThatDies(const std::function<void()>& run) {
    const pid_t child = fork();
    if (child == 0) {
        run();
        _exit(9);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9);
}

// On tmpfs and on a folder that ignores letter case and makes inode numbers up per name.
class UndoOn : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (GetParam())
            exfat_ = std::make_unique<ExfatMount>();
        if (exfat_ && !exfat_->Error().empty())
            GTEST_SKIP() << "no exFAT mount: " << exfat_->Error();
        setenv("XDG_STATE_HOME", state_.Path().c_str(), 1);
    }
    std::string Folder() const { return exfat_ ? exfat_->Folder() : tmp_.Path(); }
    std::map<std::string, std::string> Files() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(Folder())) {
            std::ifstream in(entry.path());
            std::getline(in, files[entry.path().filename().string()]);
        }
        return files;
    }
    // Each file holds its name; an undo that ended well leaves the same files to remake.
    void Make(const std::vector<std::string>& names) const {
        for (const std::string& name : names)
            std::ofstream(Folder() + name) << name;
    }
    TJournalPlace Place() const { return {state_.Path() + "Marlowick/Quillmark/", "test"}; }

    RenameFolder tmp_, state_;
    std::unique_ptr<ExfatMount> exfat_;
};

// A planned swap whose undo finished, or was killed and is finished now: a file back under
// its old name is restored or unchanged, never failed, and no file flips back.
TEST_P(UndoOn, ASwapUndoneTwiceOrFinishedAfterAKill) {
    struct Row {
        int killedAfter; // moves of the first undo; -1: it runs whole
        bool forget;     // the first undo's journal is gone (old runs are pruned)
        std::string out;
    } rows[] = {{-1, false, "0 renamed, 2 unchanged, 0 failed\n"},
                {-1, true, "0 renamed, 2 unchanged, 0 failed\n"},
                {1, false, "2 renamed, 0 unchanged, 0 failed\n"},
                {2, false, "1 renamed, 1 unchanged, 0 failed\n"}};
    const RenameOptionSet swap = Scheme("ReplaceGroup=true\nReplaceEnabled=true\nReplaceCount=3\n"
                                        "ReplaceText1=a:c\nReplaceText2=b:a\nReplaceText3=c:b\n");
    const std::atomic<bool> goOn{false};
    for (const Row& row : rows) {
        if (GetParam() && row.forget)
            continue; // without stable inode numbers only the undo's journal can tell
        SCOPED_TRACE(std::to_string(row.killedAfter) + (row.forget ? " forget" : ""));
        Make({"a", "b"});
        ListedFiles list(Folder(), {"a", "b"});
        const TJournaledRun run = RunJournaledRenames(list.items(), swap, RenameMode::Rename,
                                                      RunOrder::Planned, {}, goOn, {}, Place());
        ASSERT_EQ(Files(), (std::map<std::string, std::string>{{"a", "b"}, {"b", "a"}}));
        const std::string path = JournalPath(Place().Folder, run.RunId);
        const TJournal journal = ReadJournal(path).Journal;
        if (row.killedAfter < 0) {
            const TUndoResult undo = UndoJournal(path, journal, Place(), goOn);
            ASSERT_EQ(undo.Tally.Renamed, 2);
            // The undo's own journal, by its id: a run and its undo begun within one
            // millisecond have ids that no order of the names tells apart.
            if (row.forget) {
                ASSERT_TRUE(fs::remove(JournalPath(Place().Folder, undo.Run.RunId)));
            }
        } else {
            InAChildThatDies([&] {
                TJournal header;
                header.Mode = RenameMode::Undo;
                header.UndoOf = journal.RunId;
                int taken = 0;
                RunJournaledMoves(
                    PlanUndo(journal).Moves, header, Place(), goOn, {},
                    [&](const std::string& f, const std::string& from, const std::string& to) {
                        if (taken++ == row.killedAfter)
                            _exit(9);
                        return MoveFileNoReplace(f, from, to);
                    });
            });
        }
        if (row.killedAfter < 0) {
            // The command refuses a run undone already (the run's journal says so, also
            // when the undo's own journal is gone); taken back again all the same, it finds
            // every file back.
            const ProcessResult refused =
                RunProcess(BinPath("quillmark-cli"), {"undo", "--run", run.RunId});
            EXPECT_EQ(refused.exitCode, 2);
            EXPECT_NE(refused.err.find("was undone already"), std::string::npos) << refused.err;
            const TUndoResult second = UndoJournal(path, ReadJournal(path).Journal, Place(), goOn);
            EXPECT_EQ(std::to_string(second.Tally.Renamed) + " renamed, " +
                          std::to_string(second.Tally.Unchanged) + " unchanged, " +
                          std::to_string(second.Tally.Failed) + " failed\n",
                      row.out);
        } else {
            const ProcessResult second = RunProcess(BinPath("quillmark-cli"), {"undo"});
            EXPECT_EQ(second.out, row.out) << second.err;
        }
        EXPECT_EQ(Files(), (std::map<std::string, std::string>{{"a", "a"}, {"b", "b"}}));
    }
}

// A case-only run taken back goes the run's way through a temporary name, also right
// after a run killed between the two steps of such a move.
TEST_P(UndoOn, CaseOnlyRenamesComeBackAlsoAfterAKill) {
    const RenameOptionSet upper = Scheme("FormatGroup=true\nFormatTextEnabled=true\n"
                                         "FormatFirstLetterUp=true\nFormatOtherLettersUp=true\n");
    const std::vector<std::string> names{"notes", "readme", "todo"};
    const std::atomic<bool> goOn{false};
    for (const bool killed : {false, true}) {
        SCOPED_TRACE(killed);
        Make(names);
        InAChildThatDies([&] {
            ListedFiles list(Folder(), names);
            char parked[32];
            std::snprintf(parked, sizeof parked, ".qm-case-%x-0", static_cast<unsigned>(getpid()));
            int moves = 0;
            RunJournaledRenames(
                list.items(), upper, RenameMode::Rename, RunOrder::ListOrder, {}, goOn,
                [&](const std::string& folder, const std::string& from, const std::string& to) {
                    // The second move's first step, and no more.
                    if (killed && ++moves == 2 && MoveFileNoReplace(folder, from, parked) == 0)
                        _exit(9);
                    return MoveFileNoReplace(folder, from, to);
                },
                Place());
        });
        const ProcessResult undo = RunProcess(BinPath("quillmark-cli"), {"undo"});
        EXPECT_EQ(undo.out, killed ? "2 renamed, 1 unchanged, 0 failed\n"
                                   : "3 renamed, 0 unchanged, 0 failed\n")
            << undo.err;
        EXPECT_EQ(Files(), (std::map<std::string, std::string>{
                               {"notes", "notes"}, {"readme", "readme"}, {"todo", "todo"}}));
    }
}

// Killed after renaming a folder and before reaching a file listed inside it: the file's
// move was never taken, and it is not reported as gone.
TEST_P(UndoOn, AFolderRenamedBeforeItsFileByAKilledRun) {
    fs::create_directory(Folder() + "sub");
    std::ofstream(Folder() + "sub/f") << "f";
    InAChildThatDies([&] {
        TFileList list;
        list.Items().BeginUpdate();
        list.Items().AddNamesOnly({{"sub", Folder()}, {"f", Folder() + "sub/"}});
        int moves = 0;
        const std::atomic<bool> goOn{false};
        RunJournaledRenames(
            list.Items(), Scheme("InsertGroup=true\nInsertBack=true\nInsertBackText=_x\n"),
            RenameMode::Rename, RunOrder::ListOrder, {}, goOn,
            [&](const std::string& folder, const std::string& from, const std::string& to) {
                return ++moves == 2 ? _exit(9), 0 : MoveFileNoReplace(folder, from, to);
            },
            Place());
    });
    const ProcessResult undo = RunProcess(BinPath("quillmark-cli"), {"undo"});
    EXPECT_EQ(undo.out, "1 renamed, 1 unchanged, 0 failed\n") << undo.err;
    EXPECT_TRUE(fs::exists(Folder() + "sub/f"));
}

INSTANTIATE_TEST_SUITE_P(TmpfsAndExfat, UndoOn, testing::Bool());

// A file system without a rename that refuses to replace (sshfs, ntfs-3g): a rename is a
// new link, then the old name's removal, and the run dies (kill -9) between the two at a3.
class LinkThenUnlink : public TFileCalls {
public:
    int Rename2(int, const char*, const char*, unsigned) override { return EINVAL; }
    int Unlink(int dir, const char* name) override {
        if (std::string_view(name) == "a3")
            _exit(9);
        return TFileCalls::Unlink(dir, name);
    }
};

// a3 is left under both names. Undo removes b3 only where both names are shown to be one
// file: lstat shows it also where the journal holds no inode numbers (as on FUSE). A
// look-alike file under b3 where the numbers tell nothing (sshfs makes them up per name)
// stays, is reported, and the run is not called undone. b0, a link to a0 made before the
// run (which refused a0's move), is one file with a0 too, but the run went on past it: it
// was not cut there, and b0 stays.
TEST(JournalUndo, ARunKilledBetweenItsLinkAndItsUnlink) {
    Contents back = Unrenamed({"a1", "a2", "a3", "a4"});
    back["a0"] = {"a0", "b0"};
    Contents both = back;
    both["a3"] = {"a3", "b3"};
    Contents other = back;
    other["x3"] = {"b3"};
    const std::string alike = "b3: also under its old name 'a3', but whether both are one file";
    const std::string taken = "b3: cannot get back its name 'a3': the name is taken";
    struct Row {
        const char* what;
        bool inodes;          // the journal holds the files' inode numbers
        const char* replaced; // a3 or b3, made anew with this content, times as the other's
        const char* content;
        int exitCode;
        std::string out;
        const Contents& after;
        const std::string& err;
        std::string state;
    } rows[] = {
        {"one file", true, nullptr, nullptr, 0, "3 renamed, 2 unchanged, 0 failed\n", back, "",
         "interrupted, undone\t"},
        {"one file, no numbers", false, nullptr, nullptr, 0, "3 renamed, 2 unchanged, 0 failed\n",
         back, "", "interrupted, undone\t"},
        {"look-alike, no numbers", false, "b3", "a3", 1, "2 renamed, 2 unchanged, 1 failed\n", both,
         alike, "interrupted, partly undone (1 file not back)\t"},
        {"old name look-alike, other number", true, "a3", "a3", 1,
         "2 renamed, 2 unchanged, 1 failed\n", both, taken,
         "interrupted, partly undone (1 file not back)\t"},
        {"another file of that size, no numbers", false, "b3", "x3", 0,
         "2 renamed, 3 unchanged, 0 failed\n", other, "", "interrupted, undone\t"},
    };
    const std::string cli = BinPath("quillmark-cli");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        RenameFolder dir, state;
        const std::string& p = dir.Path();
        for (const char* name : {"a0", "a1", "a2", "a3", "a4"})
            dir.Make(name);
        fs::create_hard_link(p + "a0", p + "b0");
        const TJournalPlace place{state.Path() + "Marlowick/Quillmark/", "test"};
        InAChildThatDies([&] {
            ListedFiles list(p, {"a0", "a1", "a2", "a3", "a4"});
            LinkThenUnlink calls;
            TMoveFolder folder(calls);
            const std::atomic<bool> goOn{false};
            RunJournaledRenames(
                list.items(), Scheme(Pairs({"a:b"})), RenameMode::Rename, RunOrder::ListOrder, {},
                goOn,
                [&](const std::string& f, const std::string& from, const std::string& to) {
                    return folder.Move(f, from, to);
                },
                place);
        });
        ASSERT_EQ(Sorted(dir.Contents()), (Contents{{"a0", {"a0", "b0"}},
                                                    {"a1", {"b1"}},
                                                    {"a2", {"b2"}},
                                                    {"a3", {"a3", "b3"}},
                                                    {"a4", {"a4"}}}));
        if (!row.inodes) {
            // Journaled again as where the numbers are made up per name.
            const std::string first = JournalFiles(place.Folder).front();
            const TJournal run = ReadJournal(first).Journal;
            ASSERT_EQ(run.Moves.size(), 5u);
            ASSERT_NE(run.Moves[3].Inode, 0u);
            std::vector<TJournalMoveRef> moves;
            for (const TJournalMove& m : run.Moves)
                moves.push_back({m.Entry, m.Temporary, m.Folder, m.From, m.To, 0});
            TJournalWriter writer;
            ASSERT_EQ(writer.Begin(place.Folder, run, moves), "");
            fs::remove(first);
        }
        if (row.replaced != nullptr) {
            fs::remove(p + row.replaced);
            std::ofstream(p + row.replaced) << row.content;
            const timespec times[2] = {{1700000000, 0}, {1700000000, 0}};
            for (const char* name : {"a3", "b3"})
                ASSERT_EQ(utimensat(AT_FDCWD, (p + name).c_str(), times, 0), 0);
        }
        setenv("XDG_STATE_HOME", state.Path().c_str(), 1);
        const ProcessResult undo = RunProcess(cli, {"undo"});
        EXPECT_EQ(undo.exitCode, row.exitCode) << undo.err;
        EXPECT_EQ(undo.out, row.out) << undo.err;
        if (row.err.empty())
            EXPECT_EQ(undo.err, "");
        else
            EXPECT_NE(undo.err.find("quillmark-cli: " + p + row.err), std::string::npos)
                << undo.err;
        EXPECT_EQ(Sorted(dir.Contents()), row.after);
        const std::string history = RunProcess(cli, {"history"}).out;
        EXPECT_NE(history.find(row.state), std::string::npos) << history;
    }
}

// The folders below `dir`, relative, each ending in "/".
std::set<std::string> FoldersBelow(const std::string& dir) {
    std::set<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.is_directory() && !entry.is_symlink())
            found.insert(fs::relative(entry.path(), dir).string() + "/");
    return found;
}

// A run that makes folders (aNNN into 2024/A/, where 2024/ was there before; bNNN into
// new/B/, both made), killed with SIGKILL at a chosen call of its move hook (a folder is
// a move from ""; one there already is never handed to it): quillmark-cli undo brings
// every file back and removes the folders the run made, but never 2024/, which holds the
// file "old" or nothing.
void KillAmongFoldersThenUndo(bool emptyFolderThere) {
    struct Row {
        const char* what;
        std::string from, to; // the call to stop at; from "*": the `nth` call of any
        int nth;
        bool before; // killed before the call is taken, else after
    };
    const std::vector<Row> rows = {
        {"after the folder in it is made", "", "2024/A", 0, false},
        {"before a new folder is made", "", "new", 0, true},
        {"after a new folder is made", "", "new", 0, false},
        {"after the folder in the new one is made", "", "new/B", 0, false},
        {"among the moves", "*", "", 90, false},
        {"after the last move", "*", "", 205, false},
    };
    std::vector<std::string> names;
    for (int i = 1; i <= 100; ++i)
        for (const char* prefix : {"a", "b"}) {
            char name[16];
            std::snprintf(name, sizeof name, "%s%03d", prefix, i);
            names.push_back(name);
        }
    const std::string cli = BinPath("quillmark-cli");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        RenameFolder dir("/dev/shm"), state("/dev/shm");
        dir.Make("2024/");
        if (!emptyFolderThere)
            dir.Make("2024/old");
        for (const std::string& name : names)
            dir.Make(name);
        const Contents before = dir.Contents();
        const TJournalPlace place{state.Path() + "Marlowick/Quillmark/", "test"};
        int stopped[2];
        ASSERT_EQ(pipe(stopped), 0);
        const pid_t child = fork();
        if (child == 0) {
            close(stopped[0]);
            ListedFiles list(dir.Path(), names);
            TMoveFolder folder;
            int calls = 0;
            auto stop = [&] {
                if (write(stopped[1], "k", 1) != 1)
                    _exit(4);
                for (;;)
                    pause();
            };
            const std::atomic<bool> goOn{false};
            RunJournaledRenames(
                list.items(), Scheme("CreateFolders=true\n" + Pairs({"a:2024/A/a", "b:new/B/b"})),
                RenameMode::Rename, RunOrder::ListOrder, {}, goOn,
                [&](const std::string& f, const std::string& from, const std::string& to) {
                    ++calls;
                    const bool here =
                        row.from == "*" ? calls == row.nth : from == row.from && to == row.to;
                    if (here && row.before)
                        stop();
                    const RunError error = folder.MoveOrMake(f, from, to);
                    if (here)
                        stop();
                    return error;
                },
                place);
            _exit(5); // the call to stop at never came
        }
        close(stopped[1]);
        char byte = 0;
        const bool reached = read(stopped[0], &byte, 1) == 1;
        close(stopped[0]);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(reached) << "the run ended with " << status;
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        const bool madeNew = fs::exists(dir.Path() + "new/");
        setenv("XDG_STATE_HOME", state.Path().c_str(), 1);
        const ProcessResult undo = RunProcess(cli, {"undo"});
        EXPECT_EQ(undo.exitCode, 0) << undo.err;
        EXPECT_EQ(dir.Contents(), before);
        EXPECT_EQ(FoldersBelow(dir.Path()), std::set<std::string>{"2024/"})
            << (madeNew ? "new/ was made" : "new/ was not made yet");
    }
}

TEST(JournalUndo, AKilledRunThatMadeFoldersLeavesOnlyTheFoldersThatWereThere) {
    KillAmongFoldersThenUndo(false);
}

// The journal of a killed run holds no results: a folder there before must never be in
// it, or its undo would take that folder, empty, for one the run made.
TEST(JournalUndo, AKilledRunThatMadeFoldersLeavesAnEmptyFolderThatWasThere) {
    KillAmongFoldersThenUndo(true);
}

// A journal left open by another quillmark process that still runs is that run going on,
// not an interrupted one; once that process is gone, it is.
// The command line keeps journals as the window's Options menu set them, and lists the
// newest only unless asked for all.
class JournalKeep : public StoreFixture {};

TEST_F(JournalKeep, TheCommandLineKeepsJournalsAsTheSettingsSay) {
    RenameFolder dir;
    RenameFolder state;
    setenv("XDG_STATE_HOME", state.Path().c_str(), 1);
    const std::string journals = state.Path() + "Marlowick/Quillmark/";
    const std::string cli = BinPath("quillmark-cli");
    // A journal of the command line, copied under the names of 24 runs 40 days old.
    dir.Make("a");
    std::ofstream(dir.Path() + "map") << dir.Path() << "a\tb\n";
    ASSERT_EQ(RunProcess(cli, {"rename", "--map", dir.Path() + "map"}).exitCode, 0);
    const std::string first = JournalFiles(journals).at(0);
    EXPECT_EQ(ReadJournal(first).Journal.Origin, JournalOrigin::CommandLine);
    for (int i = 0; i < 24; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "20000101-0000%02d-000-0000.qmjournal", i);
        fs::copy_file(first, journals + name);
    }
    fs::remove(first);
    struct Row {
        int days; // stored; -1: no settings at all
        std::size_t left;
    } rows[] = {{0, 25}, {-1, 10}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.days);
        if (row.days >= 0) {
            TSettings settings;
            settings.Load();
            settings.JournalKeepDays = row.days;
            ASSERT_TRUE(settings.Save());
        } else {
            fs::remove(UserFile());
        }
        dir.Make("a");
        ASSERT_EQ(RunProcess(cli, {"rename", "--map", dir.Path() + "map"}).exitCode, 1);
        EXPECT_EQ(JournalFiles(journals).size(), row.left);
    }
    const ProcessResult newest = RunProcess(cli, {"history"});
    EXPECT_EQ(std::count(newest.out.begin(), newest.out.end(), '\n'), 10);
    EXPECT_EQ(newest.err, "");
    // Twenty more runs: all 22 young ones are kept, the old ones go.
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(RunProcess(cli, {"rename", "--map", dir.Path() + "map"}).exitCode, 1);
    const ProcessResult all = RunProcess(cli, {"history", "--all"});
    EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '\n'), 22);
    const ProcessResult some = RunProcess(cli, {"history"});
    EXPECT_EQ(std::count(some.out.begin(), some.out.end(), '\n'), 20);
    EXPECT_EQ(some.err, "quillmark-cli history: 2 older runs not listed; --all lists them\n");
}

TEST(JournalUndo, TheWriterIsAliveWhileItsProcessRuns) {
    // quillmark-cli waiting for its scheme on a pipe. The second pipe closes on exec: then
    // the child is quillmark-cli, no longer this program's fork.
    int input[2], execed[2];
    ASSERT_EQ(pipe2(input, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(execed, O_CLOEXEC), 0);
    const std::string cli = BinPath("quillmark-cli");
    const pid_t child = fork();
    if (child == 0) {
        dup2(input[0], STDIN_FILENO);
        execl(cli.c_str(), cli.c_str(), "preview", "--scheme-file", "-", "x", nullptr);
        if (write(execed[1], "e", 1) != 1)
            _exit(126);
        _exit(127);
    }
    close(input[0]);
    close(execed[1]);
    ASSERT_GT(child, 0);
    struct Reaper {
        pid_t pid;
        int input;
        ~Reaper() {
            close(input);
            if (pid > 0) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
        }
        void Now() {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            pid = 0;
        }
    } reaper{child, input[1]};
    char byte;
    const ssize_t got = read(execed[0], &byte, 1);
    close(execed[0]);
    ASSERT_EQ(got, 0) << cli << " did not start";

    TJournal journal;
    journal.Pid = static_cast<std::uint32_t>(child);
    EXPECT_TRUE(JournalWriterAlive(journal));
    reaper.Now();
    EXPECT_FALSE(JournalWriterAlive(journal));
}

} // namespace
} // namespace qm::test
