// Every way a rename can go wrong, through the rename run and through quillmark-cli
// rename, on tmpfs, on the ordinary disk and on exFAT (which ignores letter case):
// afterwards every file's content is on disk exactly once, the counts say what happened
// on disk, and the run did what its prediction said, entry by entry.

#include "exfatmount.h"
#include "rename/predict.h"
#include "rename/renamerun.h"
#include "renamefolder.h"
#include "runerrorprint.h"
#include "runprocess.h"
#include "settings/optionschemas.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <sys/wait.h>

namespace qm::test {
namespace {

constexpr uid_t kNobody = 65534;
// In place of a folder: an exFAT image mounted for the test.
constexpr const char* kExfat = "exfat";

struct Scenario {
    const char* title;
    std::vector<std::string> files; // see RenameFolder::Make
    std::string scheme;
    std::vector<std::string> entries; // in run order
    int renamed;
    int failed;
    std::vector<std::string> removedBefore = {};
    bool readOnlyFolder = false;
    bool posixOnly = false; // needs links, any bytes or permissions
    // Where the folder ignores letter case, when that changes the counts.
    int renamedIgnoringCase = -1, failedIgnoringCase = -1;
};

std::string Repeated(const std::string& text, int times) {
    std::string all;
    while (times-- > 0)
        all += text;
    return all;
}

const std::vector<Scenario> kScenarios = {
    {"target is a file", {"x1", "y1"}, Pairs({"x:y"}), {"x1"}, 0, 1},
    {"target is a folder", {"x1", "y1/"}, Pairs({"x:y"}), {"x1"}, 0, 1},
    {"target is a dangling link",
     {"x1", "y1@nowhere"},
     Pairs({"x:y"}),
     {"x1"},
     0,
     1,
     {},
     false,
     true},
    {"two files to one name", {"xa", "ya"}, Pairs({"x:z", "y:z"}), {"xa", "ya"}, 1, 1},
    {"chain, blocked link first", {"x", "xx"}, Pairs({"x:xx"}), {"x", "xx"}, 1, 1},
    {"chain, free link first", {"x", "xx"}, Pairs({"x:xx"}), {"xx", "x"}, 2, 0},
    {"swap",
     {"p - q", "q - p"},
     "ShuffleGroup=true\nAlterLogicFilename=true\nAlterLogicFilenameString=%b - %a\n",
     {"p - q", "q - p"},
     0,
     2},
    {"name above 255 bytes", {"x1", "x2"}, Pairs({"x:" + std::string(300, 'y')}), {"x1"}, 0, 1},
    {"file removed before its turn", {"x1", "x2"}, Pairs({"x:y"}), {"x1", "x2"}, 1, 1, {"x1"}},
    {"bytes that are not UTF-8",
     {"x\xff\xfe", "x\xc3"},
     Pairs({"x:\xe9"}),
     {"x\xff\xfe", "x\xc3"},
     2,
     0,
     {},
     false,
     true},
    {"read-only folder", {"d/", "d/x1"}, Pairs({"x:y"}), {"d/x1"}, 0, 1, {}, true, true},
    // A taken name is refused before the permission is looked at.
    {"read-only folder, name taken",
     {"d/", "d/x1", "d/y1"},
     Pairs({"x:y"}),
     {"d/x1"},
     0,
     1,
     {},
     true,
     true},
    {"change of letter case alone",
     {"readme.txt", "notes"},
     "FormatGroup=true\nFormatTextEnabled=true\nFormatFirstLetterUp=true\n"
     "FormatOtherLettersUp=true\n",
     {"readme.txt", "notes"},
     2,
     0},
    {"another name that folds like one there",
     {"b1", "other1"},
     Pairs({"b:OTHER"}),
     {"b1"},
     1,
     0,
     {},
     false,
     false,
     0,
     1},
    // exFAT counts UTF-16 units, refuses some bytes and wants UTF-8.
    {"bytes exFAT refuses",
     {"q1", "w1"},
     Pairs({"q:a*b", "w:\xff"}),
     {"q1", "w1"},
     2,
     0,
     {},
     false,
     false,
     0,
     2},
    {"256 bytes in 129 UTF-16 units",
     {"v1"},
     Pairs({"v:" + Repeated("\xc3\xa9", 128)}),
     {"v1"},
     0,
     1,
     {},
     false,
     false,
     1,
     0},
};

struct Outcome {
    int renamed = -1, unchanged = -1, failed = -1;
    // The first entry whose prediction differed from the run, or "".
    char mispredicted[240] = "";
};

using Runner = Outcome (*)(const RenameFolder& dir, const Scenario& s, bool asNobody);

// The rename run, in a child process when it has to run as another user.
Outcome ThroughTheLoop(const RenameFolder& dir, const Scenario& s, bool asNobody) {
    RenameOptionSet options;
    ReadSchemeText(NormalizeLineEnds("Version=1\n" + s.scheme), options);
    SortReplacePairs(options);
    auto run = [&] {
        ListedFiles files(dir.Path(), s.entries);
        const std::atomic<bool> goOn{false};
        // Predicted as the same user, right before the run.
        const TPrediction p = PredictRenames(SnapshotEntries(files.items()), options,
                                             RenameMode::Rename, RunOrder::ListOrder, goOn);
        std::vector<std::string> seen;
        RenameCallbacks callbacks;
        callbacks.OnOutcome = [&](int slot, RenameOutcome outcome, RunError error) {
            seen.push_back(std::to_string(static_cast<int>(outcome)) + " " + files[slot].Name() +
                           " " + ErrorCode(error));
        };
        const RenameTally t =
            RunRenames(files.items(), options, RenameMode::Rename, callbacks, goOn);
        Outcome result{t.Renamed, t.Unchanged, t.Failed};
        for (std::size_t i = 0; i < seen.size() || i < p.Entries.size(); ++i) {
            const TPredictedEntry* e = i < p.Entries.size() ? &p.Entries[i] : nullptr;
            const std::string said =
                e ? std::to_string(static_cast<int>(e->Outcome)) + " " +
                        (e->Outcome == RenameOutcome::Renamed ? e->Candidate : s.entries[i]) + " " +
                        ErrorCode(e->Error)
                  : "none";
            const std::string done = i < seen.size() ? seen[i] : "none";
            if (said != done) {
                std::snprintf(result.mispredicted, sizeof result.mispredicted,
                              "entry %zu: predicted %s, run %s", i, said.c_str(), done.c_str());
                break;
            }
        }
        if (!result.mispredicted[0] &&
            (p.Tally.Renamed != t.Renamed || p.Tally.Failed != t.Failed ||
             p.Tally.NumberIncValue != t.NumberIncValue))
            std::snprintf(result.mispredicted, sizeof result.mispredicted, "the counts differ");
        return result;
    };
    if (!asNobody)
        return run();
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        Outcome result;
        if (setresgid(kNobody, kNobody, kNobody) == 0 && setresuid(kNobody, kNobody, kNobody) == 0)
            result = run();
        (void)!write(pipeFds[1], &result, sizeof result);
        _exit(0);
    }
    close(pipeFds[1]);
    Outcome result;
    if (read(pipeFds[0], &result, sizeof result) != sizeof result)
        result = {};
    close(pipeFds[0]);
    waitpid(child, nullptr, 0);
    return result;
}

Outcome ThroughTheCommand(const RenameFolder& dir, const Scenario& s, bool asNobody) {
    const std::string scheme = dir.Path() + "../" + std::to_string(getpid()) + "-matrix.scheme";
    std::ofstream(scheme) << "Version=1\n" << s.scheme;
    std::vector<std::string> args = {"rename", "--scheme-file", scheme, "--"};
    for (const std::string& name : s.entries)
        args.push_back(dir.Path() + name);
    std::string program = BinPath("quillmark-cli");
    // The run journal goes where its user may write.
    const char* ownState = std::getenv("XDG_STATE_HOME");
    const std::string savedState = ownState ? ownState : "";
    const std::string nobodyState = dir.Path() + "../" + std::to_string(getpid()) + "-state";
    if (asNobody) {
        args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", program});
        program = "/usr/bin/setpriv";
        std::filesystem::create_directories(nobodyState);
        std::filesystem::permissions(nobodyState, std::filesystem::perms::all);
        setenv("XDG_STATE_HOME", nobodyState.c_str(), 1);
    }
    auto lastLine = [](const std::string& out) {
        const std::size_t last = out.rfind('\n', out.size() - 2);
        return out.substr(last == std::string::npos ? 0 : last + 1);
    };
    // The dry run first, which must end exactly as the run then does.
    std::vector<std::string> dryArgs = args;
    dryArgs.insert(std::find(dryArgs.begin(), dryArgs.end(), "rename") + 1, "--dry-run");
    const ProcessResult dry = RunProcess(program, dryArgs);
    const ProcessResult r = RunProcess(program, args);
    if (asNobody) {
        setenv("XDG_STATE_HOME", savedState.c_str(), 1);
        std::filesystem::remove_all(nobodyState);
    }
    std::remove(scheme.c_str());
    EXPECT_EQ(lastLine(dry.out), lastLine(r.out));
    EXPECT_EQ(dry.err, r.err);
    EXPECT_EQ(dry.exitCode, r.exitCode);
    Outcome result;
    const std::string summary = lastLine(r.out);
    if (std::sscanf(summary.c_str(), "%d renamed, %d unchanged, %d failed", &result.renamed,
                    &result.unchanged, &result.failed) != 3)
        ADD_FAILURE() << "no summary in: " << r.out << r.err;
    EXPECT_EQ(r.exitCode, result.failed > 0 ? 1 : 0) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), result.failed) << r.err;
    return result;
}

// Root ignores folder permissions, so the read-only case runs as user nobody, which
// needs setpriv and a build folder that others may enter.
bool NobodyCanRunTheCommand() {
    static const bool can =
        access("/usr/bin/setpriv", X_OK) == 0 &&
        RunProcess("/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                                        BinPath("quillmark-cli"), "--help"})
                .exitCode == 0;
    return can;
}

class LossMatrix : public ::testing::TestWithParam<std::tuple<std::string, Runner>> {};

TEST_P(LossMatrix, NoFileIsLostDuplicatedOrReplacedAndTheCountsMatchTheDisk) {
    const auto& [where, runner] = GetParam();
    const bool exfat = where == kExfat;
    std::optional<ExfatMount> mount;
    if (exfat) {
        mount.emplace();
        if (!mount->Error().empty())
            GTEST_SKIP() << "no exFAT mount: " << mount->Error();
    }
    const std::string base = exfat ? mount->Folder() : where;
    if (!std::filesystem::is_directory(base.empty() ? "/tmp" : base))
        GTEST_SKIP() << base << " is not there";
    for (const Scenario& s : kScenarios) {
        SCOPED_TRACE(s.title);
        if (exfat && s.posixOnly)
            continue;
        const bool asNobody = s.readOnlyFolder && geteuid() == 0;
        if (asNobody && !NobodyCanRunTheCommand()) {
            std::printf("skipped '%s': runs as root, and user %u cannot run quillmark-cli "
                        "(no setpriv, or the build folder is closed to others)\n",
                        s.title, kNobody);
            continue;
        }
        RenameFolder dir(base);
        for (const std::string& f : s.files)
            dir.Make(f);
        for (const std::string& f : s.removedBefore)
            std::filesystem::remove(dir.Path() + f);
        if (s.readOnlyFolder)
            std::filesystem::permissions(dir.Path() + "d", std::filesystem::perms(0555));
        const auto before = dir.Contents();

        const Outcome run = runner(dir, s, asNobody);

        const auto after = dir.Contents();
        ASSERT_EQ(after.size(), before.size());
        int moved = 0;
        for (const auto& [content, paths] : after) {
            ASSERT_EQ(paths.size(), 1u) << content;
            moved += paths != before.at(content);
        }
        EXPECT_EQ(moved, run.renamed);
        EXPECT_STREQ(run.mispredicted, "");
        const bool caseCounts = exfat && s.renamedIgnoringCase >= 0;
        EXPECT_EQ(run.renamed, caseCounts ? s.renamedIgnoringCase : s.renamed);
        EXPECT_EQ(run.failed, caseCounts ? s.failedIgnoringCase : s.failed);
        EXPECT_EQ(run.renamed + run.unchanged + run.failed, static_cast<int>(s.entries.size()));
        // Folders and links are still there too.
        for (const std::string& f : s.files) {
            if (f.ends_with('/') || f.find('@') != std::string::npos) {
                EXPECT_TRUE(
                    std::filesystem::symlink_status(dir.Path() + f.substr(0, f.find('@'))).type() !=
                    std::filesystem::file_type::not_found);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    FileSystems, LossMatrix,
    ::testing::Combine(::testing::Values("/dev/shm", "", kExfat),
                       ::testing::Values(Runner{ThroughTheLoop}, Runner{ThroughTheCommand})),
    [](const auto& param) {
        const std::string& where = std::get<0>(param.param);
        return std::string(where.empty()     ? "Disk"
                           : where == kExfat ? "Exfat"
                                             : "Tmpfs") +
               (std::get<1>(param.param) == Runner{ThroughTheLoop} ? "Loop" : "Command");
    });

} // namespace
} // namespace qm::test
