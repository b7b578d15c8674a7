// Two quillmark-cli processes renaming in one folder at the same moment, with files given
// to both and new names wanted by both, then each run taken back by its own id.

#include "rename/journal.h"
#include "renamefolder.h"
#include "runprocess.h"

#include <cstdlib>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <thread>

namespace qm::test {
namespace {

// The journals of the rename runs in `journals`.
std::vector<TJournal> RenameRuns(const std::string& journals) {
    std::vector<TJournal> runs;
    for (const std::string& file : JournalFiles(journals)) {
        TJournalRead read = ReadJournal(file);
        EXPECT_EQ(read.Status, TJournalRead::Ok) << file;
        if (read.Journal.Mode == RenameMode::Rename)
            runs.push_back(std::move(read.Journal));
    }
    return runs;
}

// Old name -> new name of every move the run took.
std::map<std::string, std::string> Taken(const TJournal& run) {
    std::map<std::string, std::string> taken;
    for (const TJournalMove& move : run.Moves)
        if (move.Result == MoveResult::Done)
            taken[move.From] = move.To;
    return taken;
}

// Every original content exactly once, under the name `where` gives it.
void ExpectEachOnce(const RenameFolder& dir, const std::vector<std::string>& originals,
                    const std::function<std::string(const std::string&)>& where) {
    const auto contents = dir.Contents();
    EXPECT_EQ(contents.size(), originals.size());
    for (const std::string& name : originals) {
        const auto found = contents.find(name);
        ASSERT_NE(found, contents.end()) << name << " lost";
        ASSERT_EQ(found->second.size(), 1u) << name;
        EXPECT_EQ(found->second.front(), where(name)) << name;
    }
}

TEST(SharedFolder, TwoRunsAtOnceKeepEveryFileAndUndoOnlyTheirOwn) {
    const char* longer = std::getenv("QUILLMARK_SHARED_ROUNDS");
    const int rounds = longer ? std::atoi(longer) : 2;
    const std::string cli = BinPath("quillmark-cli");
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        RenameFolder dir, state;
        const std::string& p = dir.Path();
        setenv("XDG_STATE_HOME", state.Path().c_str(), 1);
        // a: the first run's, b: the second's, both wanting the same new name n; c: given
        // to both runs, each wanting the same new name m for it.
        std::ofstream(state.Path() + "1.scheme") << "Version=1\n" << Pairs({"a:n", "c:m"});
        std::ofstream(state.Path() + "2.scheme") << "Version=1\n" << Pairs({"b:n", "c:m"});
        std::vector<std::string> originals;
        std::vector<std::string> first{"rename", "--scheme-file", state.Path() + "1.scheme"};
        // Every other round the second run is planned (it reads the folder first).
        std::vector<std::string> second{"rename", "--scheme-file", state.Path() + "2.scheme"};
        if (round % 2 == 1)
            second.push_back("--plan");
        for (int i = 1000; i < 1300; ++i) {
            for (const char* set : {"a", "b", "c"}) {
                originals.push_back(set + std::to_string(i));
                dir.Make(originals.back());
            }
            first.push_back(p + "a" + std::to_string(i));
            first.push_back(p + "c" + std::to_string(i));
            second.push_back(p + "b" + std::to_string(i));
            second.push_back(p + "c" + std::to_string(2299 - i));
        }
        ProcessResult one, two;
        std::thread other([&] { two = RunProcess(cli, second); });
        one = RunProcess(cli, first);
        other.join();
        ASSERT_NE(one.exitCode, 2) << one.err;
        ASSERT_NE(two.exitCode, 2) << two.err;

        // One journal each; the first run (in list order) announces every a file, the
        // second, when planned, leaves out the names it finds taken already.
        std::vector<TJournal> runs = RenameRuns(state.Path() + "Marlowick/Quillmark/");
        ASSERT_EQ(runs.size(), 2u);
        if (runs[0].Moves.empty() || runs[0].Moves.front().From[0] != 'a')
            std::swap(runs[0], runs[1]);
        const TJournal &runOne = runs[0], &runTwo = runs[1];
        ASSERT_NE(runOne.RunId, runTwo.RunId);
        const auto tookOne = Taken(runOne), tookTwo = Taken(runTwo);
        for (const auto& [from, to] : tookOne)
            ASSERT_NE(from[0], 'b') << "the first run took a file given only to the second";
        for (const auto& [from, to] : tookTwo)
            ASSERT_NE(from[0], 'a') << "the second run took a file given only to the first";
        // Each n name and each m name went to exactly one run, never over another file.
        std::set<std::string> targets;
        for (const auto* took : {&tookOne, &tookTwo})
            for (const auto& [from, to] : *took)
                EXPECT_TRUE(targets.insert(to).second) << to << " taken twice";
        EXPECT_EQ(targets.size(), 600u);
        const auto after = [](const std::vector<const std::map<std::string, std::string>*>& taken) {
            return [taken](const std::string& name) {
                for (const auto* took : taken)
                    if (const auto it = took->find(name); it != took->end())
                        return it->second;
                return name;
            };
        };
        ExpectEachOnce(dir, originals, after({&tookOne, &tookTwo}));

        // Undoing the first run brings back what it took, nothing of the second run's.
        const ProcessResult undoOne = RunProcess(cli, {"undo", "--run", runOne.RunId});
        EXPECT_EQ(undoOne.exitCode, 0) << undoOne.err;
        ExpectEachOnce(dir, originals, after({&tookTwo}));
        const ProcessResult undoTwo = RunProcess(cli, {"undo", "--run", runTwo.RunId});
        EXPECT_EQ(undoTwo.exitCode, 0) << undoTwo.err;
        ExpectEachOnce(dir, originals, after({}));
        if (HasFailure())
            return;
    }
}

} // namespace
} // namespace qm::test
