// Two quillmark-cli processes renaming in one folder at the same moment, some files given
// to both, then each run taken back by its own id.

#include "rename/journal.h"
#include "renamefolder.h"
#include "runprocess.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <thread>

namespace qm::test {
namespace {

std::vector<std::string> Paths(const std::string& folder, const char* prefix, int count) {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i)
        paths.push_back(folder + prefix + std::to_string(1000 + i));
    return paths;
}

// The journal of the run whose first move names `from`; "" when none does.
std::string RunThatMoved(const std::string& journals, const std::string& from) {
    for (const std::string& file : JournalFiles(journals)) {
        const TJournalRead read = ReadJournal(file);
        if (read.Status == TJournalRead::Ok && read.Journal.Mode == RenameMode::Rename &&
            !read.Journal.Moves.empty() && read.Journal.Moves.front().From == from)
            return read.Journal.RunId;
    }
    return {};
}

// Every original content exactly once, under the name `expected` gives it.
void ExpectEachOnce(const RenameFolder& dir, const std::vector<std::string>& originals,
                    const std::function<std::string(const std::string&)>& expected,
                    const std::string& when) {
    const auto contents = dir.Contents();
    for (const std::string& name : originals) {
        const auto found = contents.find(name);
        ASSERT_NE(found, contents.end()) << when << ": " << name << " lost";
        ASSERT_EQ(found->second.size(), 1u) << when << ": " << name;
        EXPECT_EQ(found->second.front(), expected(name)) << when;
    }
    EXPECT_EQ(contents.size(), originals.size()) << when;
}

TEST(SharedFolder, TwoRunsAtOnceKeepEveryFileAndUndoOnlyTheirOwn) {
    const char* longer = std::getenv("QUILLMARK_SHARED_ROUNDS");
    const int rounds = longer ? std::atoi(longer) : 3;
    const std::string cli = BinPath("quillmark-cli");
    for (int round = 0; round < rounds; ++round) {
        RenameFolder dir;
        const std::string& p = dir.Path();
        RenameFolder state;
        const std::string scheme = state.Path() + "x.scheme";
        std::ofstream(scheme) << "Version=1\nInsertGroup=true\nInsertFront=true\n"
                                 "InsertFrontText=x\n";
        // a: the first run's, b: the second's, c: both runs', each giving it the same new
        // name, so that one takes it and the other finds it gone.
        const auto a = Paths(p, "a", 300), b = Paths(p, "b", 300), c = Paths(p, "c", 300);
        std::vector<std::string> originals;
        for (const auto* set : {&a, &b, &c})
            for (const std::string& path : *set) {
                originals.push_back(path.substr(p.size()));
                dir.Make(originals.back());
            }
        setenv("XDG_STATE_HOME", state.Path().c_str(), 1);

        std::vector<std::string> first{"rename", "--scheme-file", scheme};
        first.insert(first.end(), a.begin(), a.end());
        first.insert(first.end(), c.begin(), c.end());
        std::vector<std::string> second{"rename", "--scheme-file", scheme};
        second.insert(second.end(), b.begin(), b.end());
        second.insert(second.end(), c.rbegin(), c.rend());
        ProcessResult one, two;
        std::thread other([&] { two = RunProcess(cli, second); });
        one = RunProcess(cli, first);
        other.join();
        // Each c file went to exactly one run; the other was told it is gone.
        ASSERT_NE(one.exitCode, 2) << one.err;
        ASSERT_NE(two.exitCode, 2) << two.err;
        ExpectEachOnce(
            dir, originals, [](const std::string& name) { return "x" + name; }, "renamed");

        const std::string journals = state.Path() + "Marlowick/Quillmark/";
        const std::string oneId = RunThatMoved(journals, "a1000");
        const std::string twoId = RunThatMoved(journals, "b1000");
        ASSERT_FALSE(oneId.empty());
        ASSERT_FALSE(twoId.empty());
        ASSERT_NE(oneId, twoId);

        // Undoing the first run brings back a and the c files it took, nothing of the
        // second run's.
        const auto tookC = [&](const std::string& id) {
            std::set<std::string> took;
            const TJournal j = ReadJournal(JournalPath(journals, id)).Journal;
            for (const TJournalMove& move : j.Moves)
                if (move.Result == MoveResult::Done && move.From.front() == 'c')
                    took.insert(move.From);
            return took;
        };
        const std::set<std::string> oneTookC = tookC(oneId);
        EXPECT_EQ(oneTookC.size() + tookC(twoId).size(), c.size());
        const ProcessResult undoOne = RunProcess(cli, {"undo", "--run", oneId});
        EXPECT_EQ(undoOne.exitCode, 0) << undoOne.err;
        ExpectEachOnce(
            dir, originals,
            [&](const std::string& name) {
                return name[0] == 'a' || oneTookC.count(name) ? name : "x" + name;
            },
            "first undone");
        const ProcessResult undoTwo = RunProcess(cli, {"undo", "--run", twoId});
        EXPECT_EQ(undoTwo.exitCode, 0) << undoTwo.err;
        ExpectEachOnce(
            dir, originals, [](const std::string& name) { return name; }, "both undone");
        if (HasFatalFailure() || HasNonfatalFailure())
            return;
    }
}

} // namespace
} // namespace qm::test
