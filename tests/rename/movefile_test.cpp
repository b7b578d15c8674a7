#include "rename/filecalls.h"
#include "rename/movefile.h"
#include "renamefolder.h"
#include "runerrorprint.h"

#include <algorithm>
#include <cerrno>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace qm::test {
namespace {

// Passes every call to the system, except the ones `fault` answers with an errno.
// `fault` sees the call's name and how many calls of that name came before it.
class FaultyCalls : public TFileCalls {
public:
    std::function<int(const std::string& call, int nth)> fault;
    std::vector<std::string> log;

    int Rename2(int dir, const char* from, const char* to, unsigned flags) override {
        return Pass("rename2", [&] { return TFileCalls::Rename2(dir, from, to, flags); });
    }
    int RenameReplacing(int dir, const char* from, const char* to) override {
        return Pass("rename", [&] { return TFileCalls::RenameReplacing(dir, from, to); });
    }
    int Link(int dir, const char* from, const char* to) override {
        return Pass("link", [&] { return TFileCalls::Link(dir, from, to); });
    }
    int Unlink(int dir, const char* name) override {
        return Pass("unlink", [&] { return TFileCalls::Unlink(dir, name); });
    }
    int LStat(int dir, const char* name, struct stat& st) override {
        return Pass("lstat", [&] { return TFileCalls::LStat(dir, name, st); });
    }

private:
    int Pass(const std::string& call, const std::function<int()>& real) {
        const int nth = static_cast<int>(std::count(log.begin(), log.end(), call) +
                                         std::count(log.begin(), log.end(), call + "!"));
        const int error = fault ? fault(call, nth) : 0;
        log.push_back(error ? call + "!" : call);
        return error ? error : real();
    }
};

// Fails the nth call named `call` (from 0) with `error`.
std::function<int(const std::string&, int)>
Fail(std::vector<std::tuple<std::string, int, int>> at) {
    return [at](const std::string& call, int nth) {
        for (const auto& [name, n, error] : at)
            if (name == call && n == nth)
                return error;
        return 0;
    };
}

TEST(MoveFileNoReplace, FallbacksAndFailuresThroughTheSeam) {
    struct Row {
        const char* title;
        std::vector<std::string> files;
        std::string from, to;
        std::vector<std::tuple<std::string, int, int>> faults;
        int result;
        std::set<std::string> after;
        std::vector<std::string> calls;
    };
    const std::vector<Row> rows = {
        {"no flag: link and unlink",
         {"a"},
         "a",
         "b",
         {{"rename2", 0, EINVAL}},
         0,
         {"b"},
         {"rename2!", "lstat", "link", "unlink"}},
        {"no flag, no links: look, then rename",
         {"a"},
         "a",
         "b",
         {{"rename2", 0, ENOSYS}, {"link", 0, EPERM}},
         0,
         {"b"},
         {"rename2!", "lstat", "link!", "lstat", "rename"}},
        {"no flag, no links, target there",
         {"a", "b"},
         "a",
         "b",
         {{"rename2", 0, EOPNOTSUPP}, {"link", 0, EOPNOTSUPP}},
         EEXIST,
         {"a", "b"},
         {"rename2!", "lstat", "link!", "lstat"}},
        {"a folder is never linked",
         {"d/"},
         "d",
         "e",
         {{"rename2", 0, EINVAL}},
         0,
         {"e"},
         {"rename2!", "lstat", "lstat", "rename"}},
        {"old name cannot go: the new link goes again",
         {"a"},
         "a",
         "b",
         {{"rename2", 0, EINVAL}, {"unlink", 0, EACCES}},
         EACCES,
         {"a"},
         {"rename2!", "lstat", "link", "unlink!", "unlink"}},
        {"link fails for space",
         {"a"},
         "a",
         "b",
         {{"rename2", 0, EINVAL}, {"link", 0, ENOSPC}},
         ENOSPC,
         {"a"},
         {"rename2!", "lstat", "link!"}},
        {"another file system: no copy",
         {"a"},
         "a",
         "b",
         {{"rename2", 0, EXDEV}},
         EXDEV,
         {"a"},
         {"rename2!"}},
        {"access denied", {"a"}, "a", "b", {{"rename2", 0, EACCES}}, EACCES, {"a"}, {"rename2!"}},
        // A folder that ignores case answers EEXIST for the file's own other spelling.
        {"case only: through a temporary name",
         {"readme"},
         "readme",
         "README",
         {{"rename2", 0, EEXIST}},
         0,
         {"README"},
         {"rename2!", "rename2", "rename2"}},
        {"case only: the second step fails and is undone",
         {"readme"},
         "readme",
         "README",
         {{"rename2", 0, EEXIST}, {"rename2", 2, ENOSPC}},
         ENOSPC,
         {"readme"},
         {"rename2!", "rename2", "rename2!", "rename2"}},
        {"case only, but the exact name exists",
         {"readme", "README"},
         "readme",
         "README",
         {},
         EEXIST,
         {"readme", "README"},
         {"rename2"}},
        {"case only, but another spelling exists",
         {"readme", "Readme"},
         "readme",
         "README",
         {{"rename2", 0, EEXIST}},
         EEXIST,
         {"readme", "Readme"},
         {"rename2!"}},
        {"up and out of the folder", {"a"}, "a", "../a", {}, EINVAL, {"a"}, {}},
        {"an absolute name", {"a"}, "a", "/a", {}, EINVAL, {"a"}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        RenameFolder dir("/dev/shm");
        for (const std::string& f : row.files)
            dir.Make(f);
        FaultyCalls calls;
        calls.fault = Fail(row.faults);
        EXPECT_EQ(MoveFileNoReplace(dir.Path(), row.from, row.to, calls), row.result);
        std::set<std::string> after;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
            after.insert(entry.path().filename().string());
        EXPECT_EQ(after, row.after);
        EXPECT_EQ(calls.log, row.calls);
    }
}

TEST(MoveFileNoReplace, AFolderReadForOneCaseChangeFollowsTheNextOnes) {
    // Every first attempt answers as a folder that ignores case does.
    RenameFolder dir("/dev/shm");
    dir.Make("readme");
    dir.Make("other");
    FaultyCalls calls;
    calls.fault = Fail({{"rename2", 0, EEXIST}, {"rename2", 3, EEXIST}, {"rename2", 6, EEXIST}});
    TMoveFolder folder(calls);
    EXPECT_EQ(folder.Move(dir.Path(), "readme", "README"), 0);
    // Back again: the names read before still say "readme", which is gone now.
    EXPECT_EQ(folder.Move(dir.Path(), "README", "readme"), 0);
    EXPECT_EQ(folder.Move(dir.Path(), "readme", "Other"), EEXIST);
    EXPECT_TRUE(std::filesystem::exists(dir.Path() + "readme"));
    EXPECT_TRUE(std::filesystem::exists(dir.Path() + "other"));

    // Another folder has names of its own: "other" there is not this folder's.
    RenameFolder second("/dev/shm");
    second.Make("OTHEr");
    calls.fault = Fail({{"rename2", 7, EEXIST}});
    EXPECT_EQ(folder.Move(second.Path(), "OTHEr", "OTHER"), 0);
    EXPECT_TRUE(std::filesystem::exists(second.Path() + "OTHER"));
}

// A folder as some file systems answer it: a lookup of a path in `alias` answered as
// another (a folder that ignores letter case), links counted as `links` says (0: as the
// disk does).
class AnsweringCalls : public TFileCalls {
public:
    std::map<std::string, std::string> alias;
    nlink_t links = 0;
    int unlinks = 0;

    int LStat(int dir, const char* name, struct stat& st) override {
        const auto it = alias.find(name);
        const int error = TFileCalls::LStat(dir, it == alias.end() ? name : it->second.c_str(), st);
        if (error == 0 && links != 0 && !S_ISDIR(st.st_mode))
            st.st_nlink = links;
        return error;
    }
    int Unlink(int dir, const char* name) override {
        ++unlinks;
        return TFileCalls::Unlink(dir, name);
    }
};

// b is a second link of a; c another file. A name goes only where it and the name kept are
// two entries of one file.
TEST(DropSecondName, OnlyASecondLinkOfTheFileKept) {
    struct Row {
        const char* title;
        const char* name;
        const char* kept;
        nlink_t links;
        bool caseIgnored; // "A" answers for "a"
        int result;
    } rows[] = {
        {"a second link", "b", "a", 0, false, 0},
        {"one link, as FUSE and folders that ignore case count", "b", "a", 1, false, EEXIST},
        {"another file", "c", "a", 0, false, EEXIST},
        {"one name twice", "a", "a", 0, false, EEXIST},
        {"one name spelt twice", "./a", "a", 0, false, EEXIST},
        {"a spelling the folder answers for", "A", "a", 0, true, EEXIST},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        RenameFolder dir;
        dir.Make("a");
        dir.Make("c");
        std::filesystem::create_hard_link(dir.Path() + "a", dir.Path() + "b");
        AnsweringCalls calls;
        calls.links = row.links;
        if (row.caseIgnored)
            calls.alias[dir.Path() + "A"] = dir.Path() + "a";
        EXPECT_EQ(DropSecondName(dir.Path(), row.name, row.kept, calls), row.result);
        EXPECT_EQ(calls.unlinks, row.result == 0 ? 1 : 0);
        EXPECT_EQ(std::filesystem::exists(dir.Path() + "b"), row.result != 0);
        EXPECT_TRUE(std::filesystem::exists(dir.Path() + "a"));
    }
}

} // namespace
} // namespace qm::test
