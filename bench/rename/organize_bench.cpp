// Organizing 100,000 photos in 100 folders of 1,000 on /dev/shm: a regular expression
// drops the camera's counter from "2024-07-01 09-00-00 00417.JPG" (three shots share
// each second), "Trip " goes in front and a running number at the end, restarting in
// each folder; a third of the files come in pairs (a JPEG with its sidecar .xmp, or with
// its raw .CR2) that are renamed together; and a new name that is taken gets a number.
// About one new name in ten is taken: each folder but the first also holds, outside the
// list, the files of an earlier import under the names the run gives one shot in nine.
//
//   - BM_PredictOrganizing: the prediction over the list with these options against
//     today's (the same options without the per-folder number, the companions and the
//     numbered taken names) for the same list, the two alternating, in list order
//     (argument 0) and planned (1); the time is the organizing one, x_today the ratio of
//     the medians, of wall time and of processor time (steadier on a busy machine).
//   - BM_RenameCommand: quillmark-cli rename with a scheme file of these options (or of
//     today's, for comparison; with or without --plan) against a plain loop of
//     renameat2(RENAME_NOREPLACE) that gives every file the name the prediction gives it,
//     in rounds, each on a fresh tree, the command first; the command must leave exactly
//     those names. The time is the command's median, x_plain_loop the ratio of the
//     medians (x_plain_loop_cpu of the processor times: the child's user + system against
//     the loop's thread), journal_KiB the size of the command's journal.
//
// Every case checks its outcome (no file failed, with the organizing options exactly the
// taken names numbered, every file under its predicted name) and fails rather than
// report a figure for a run that went wrong. Journals and settings go to a folder of the
// benchmark's own.
//
//   nice -n 5 build/bench/organize_bench
//
// QM_BENCH_DIR changes the parent folder, QM_BENCH_ROUNDS the rounds of each case (5
// predictions, 3 renames by default). Making a tree takes about a second, untimed.

#include "bench/support/childrun.h"
#include "bench/support/renamefiles.h"
#include "filelist/fileitems.h"
#include "filelist/filelist.h"
#include "rename/journal.h"
#include "rename/predict.h"
#include "settings/optionschemas.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 1000;
// Every fifth shot is a pair: 167 pairs and 666 single JPEGs make a folder's 1,000 files.
constexpr int kShotsPerFolder = 833;
constexpr bool IsPair(int shot) {
    return shot % 5 == 0;
}
// The shots whose new names an earlier import holds already. Not in the first folder:
// there today's number, counted across the folders, is the per-folder one, so today's
// options would meet the import's names and fail those files, and a planned run that
// fails a file numbers the files after it anew, which would flatter the comparison.
constexpr bool IsTaken(std::size_t folder, int shot) {
    return folder > 0 && shot % 9 == 4;
}

int Rounds(int fallback) {
    const char* n = std::getenv("QM_BENCH_ROUNDS");
    return n && std::atoi(n) > 0 ? std::atoi(n) : fallback;
}

// By value: the folder is removed after main(), when function-local statics may be gone.
std::string Base() {
    return qm::bench::BenchFolder("organize");
}

// One folder of the tree: its name and its files in list order, each with its shot.
struct FolderLayout {
    std::string name; // "2024-07-01/"
    std::vector<std::string> files;
    std::vector<int> shots;
};

std::vector<FolderLayout> MakeLayout() {
    std::vector<FolderLayout> layout(kFolders);
    int counter = 0; // the camera's, across folders
    for (int f = 0; f < kFolders; ++f) {
        const year_month_day day{sys_days{2024y / July / 1} + days{f}};
        char date[16];
        std::snprintf(date, sizeof date, "%04d-%02u-%02u", static_cast<int>(day.year()),
                      static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
        FolderLayout& folder = layout[static_cast<std::size_t>(f)];
        folder.name = std::string(date) + "/";
        for (int shot = 0; shot < kShotsPerFolder; ++shot, ++counter) {
            const int second = 9 * 3600 + shot / 3;
            char stem[48];
            std::snprintf(stem, sizeof stem, "%s %02d-%02d-%02d %05d", date, second / 3600,
                          second / 60 % 60, second % 60, counter);
            // In list order, as a listing sorted by name has them: ".CR2" < ".JPG" < ".xmp".
            std::vector<std::string> exts = {".JPG"};
            if (IsPair(shot))
                exts = shot / 5 % 2 == 0 ? std::vector<std::string>{".JPG", ".xmp"}
                                         : std::vector<std::string>{".CR2", ".JPG"};
            for (const std::string& ext : exts) {
                folder.files.push_back(stem + ext);
                folder.shots.push_back(shot);
            }
        }
        if (folder.files.size() != kFilesPerFolder)
            throw std::logic_error("a folder of the layout does not hold 1,000 files");
    }
    return layout;
}

const std::vector<FolderLayout>& Layout() {
    static const std::vector<FolderLayout> layout = MakeLayout();
    return layout;
}

qm::RenameOptionSet TodaysOptions() {
    qm::RenameOptionSet o;
    o.ReplaceGroup = o.ReplaceEnabled = o.ReplaceRegularExpressions = true;
    o.ReplacePairs[0] = {" \\d+$", ""};
    o.ReplaceCount = 1;
    o.InsertGroup = o.InsertFront = true;
    o.InsertFrontText = "Trip ";
    o.NumberIncEnabled = o.NumberIncAddFrontSep = true;
    o.NumberIncValue = 1;
    o.NumberIncMinLength = 3;
    return o;
}

qm::RenameOptionSet OrganizingOptions() {
    qm::RenameOptionSet o = TodaysOptions();
    o.NumberPerFolder = o.RenameCompanions = o.NumberTakenNames = true;
    return o;
}

void MakeFile(const std::string& path) {
    const int fd = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot make " + path);
    close(fd);
}

// A fresh tree of the layout below Base(), each folder also holding `taken` (indexed
// like the layout) outside the list; returns its root, ending in "/".
std::string MakeTree(const std::vector<std::vector<std::string>>& taken) {
    static int serial = 0;
    const std::string root = Base() + "/tree" + std::to_string(serial++) + "/";
    for (std::size_t f = 0; f < Layout().size(); ++f) {
        const std::string dir = root + Layout()[f].name;
        fs::create_directories(dir);
        for (const std::string& name : Layout()[f].files)
            MakeFile(dir + name);
        if (f < taken.size())
            for (const std::string& name : taken[f])
                MakeFile(dir + name);
    }
    return root;
}

// The list over the tree at `root` as the command line builds it, and its snapshot.
std::vector<qm::TRunEntry> Snapshot(const std::string& root) {
    qm::TFileList list;
    std::vector<qm::TFileItems::NewEntry> entries;
    entries.reserve(static_cast<std::size_t>(kFolders) * kFilesPerFolder);
    for (const FolderLayout& folder : Layout())
        for (const std::string& name : folder.files)
            entries.push_back({name, root + folder.name});
    list.Items().BeginUpdate();
    list.Items().AddNamesOnly(std::move(entries));
    return qm::SnapshotEntries(list.Items());
}

qm::TPrediction Predict(const std::vector<qm::TRunEntry>& entries,
                        const qm::RenameOptionSet& options, qm::RunOrder order) {
    const std::atomic<bool> goOn{false};
    return qm::PredictRenames(entries, options, qm::RenameMode::Rename, order, goOn);
}

// What the organizing options give the tree: the new name of each listed file (in list
// order) without and with the earlier import, and that import's names per folder.
struct Organized {
    std::vector<std::string> plain;
    std::vector<std::vector<std::string>> taken;
    std::size_t takenCount = 0;
};

const Organized& TheOrganized() {
    static const Organized organized = [] {
        Organized o;
        const std::string root = MakeTree({});
        const qm::TPrediction p =
            Predict(Snapshot(root), OrganizingOptions(), qm::RunOrder::ListOrder);
        std::error_code ignored;
        fs::remove_all(root, ignored);
        if (p.Tally.Renamed != kFolders * kFilesPerFolder)
            throw std::runtime_error("the tree without the earlier import is not renamed whole");
        o.taken.resize(Layout().size());
        std::size_t k = 0;
        for (std::size_t f = 0; f < Layout().size(); ++f)
            for (std::size_t i = 0; i < Layout()[f].files.size(); ++i, ++k) {
                o.plain.push_back(p.Entries[k].Candidate);
                if (IsTaken(f, Layout()[f].shots[i])) {
                    o.taken[f].push_back(p.Entries[k].Candidate);
                    ++o.takenCount;
                }
            }
        return o;
    }();
    return organized;
}

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

struct Timing {
    std::vector<double> wall, cpu;
    void Add(double w, double c) {
        wall.push_back(w);
        cpu.push_back(c);
    }
};

// Wall and processor time of `work` on this thread.
template <typename Work> void Time(Timing& timing, Work&& work) {
    const auto start = steady_clock::now();
    const double cpuStart = ThreadCpuSeconds();
    work();
    timing.Add(duration<double>(steady_clock::now() - start).count(),
               ThreadCpuSeconds() - cpuStart);
}

void ReportAgainst(benchmark::State& state, const Timing& mine, const Timing& theirs,
                   const std::string& mineName, const std::string& theirName,
                   const std::string& ratioName) {
    const double wall = Median(mine.wall), otherWall = Median(theirs.wall);
    state.counters[mineName + "_ms"] = wall * 1000.0;
    state.counters[theirName + "_ms"] = otherWall * 1000.0;
    state.counters[mineName + "_cpu_ms"] = Median(mine.cpu) * 1000.0;
    state.counters[theirName + "_cpu_ms"] = Median(theirs.cpu) * 1000.0;
    if (otherWall > 0)
        state.counters[ratioName] = wall / otherWall;
    if (Median(theirs.cpu) > 0)
        state.counters[ratioName + "_cpu"] = Median(mine.cpu) / Median(theirs.cpu);
}

// The tree with the earlier import, shared by the predictions (which change nothing).
struct SharedTree {
    std::string root;
    std::vector<qm::TRunEntry> entries;
    SharedTree() : root(MakeTree(TheOrganized().taken)), entries(Snapshot(root)) {}
    ~SharedTree() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
};

// Argument: 0 list order, 1 planned.
void PredictOrganizing(benchmark::State& state) {
    const SharedTree tree;
    const qm::RunOrder order =
        state.range(0) == 1 ? qm::RunOrder::Planned : qm::RunOrder::ListOrder;
    const qm::RenameOptionSet today = TodaysOptions(), organizing = OrganizingOptions();
    const Organized& expected = TheOrganized();
    Timing todays, organizings;
    for (auto _ : state) {
        qm::TPrediction before, after;
        Time(todays, [&] { before = Predict(tree.entries, today, order); });
        Time(organizings, [&] { after = Predict(tree.entries, organizing, order); });
        state.SetIterationTime(organizings.wall.back());
        if (before.Tally.Renamed != static_cast<int>(tree.entries.size())) {
            state.SkipWithError("today's prediction does not rename every file");
            break;
        }
        // Each taken name numbered, and no other name changed by the earlier import.
        std::size_t numbered = 0;
        for (std::size_t k = 0; k < after.Entries.size(); ++k)
            numbered += after.Entries[k].Candidate != expected.plain[k];
        if (after.Tally.Renamed != static_cast<int>(tree.entries.size()) ||
            numbered != expected.takenCount) {
            state.SkipWithError("the organizing prediction failed files or numbered other names");
            break;
        }
        state.counters["numbered"] = static_cast<double>(numbered);
    }
    ReportAgainst(state, organizings, todays, "organizing", "today", "x_today");
}

const std::string& Program() {
    static const std::string program = std::string(QUILLMARK_BIN_DIR) + "/quillmark-cli";
    return program;
}

// A scheme file of `options` named `name`, beside the command's own settings and journal
// folders.
std::string SchemeFile(const qm::RenameOptionSet& options, const std::string& name) {
    fs::create_directories(Base() + "/state");
    fs::create_directories(Base() + "/config");
    setenv("XDG_STATE_HOME", (Base() + "/state").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (Base() + "/config").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (Base() + "/config").c_str(), 1);
    const std::string path = Base() + "/" + name + ".scheme";
    std::ofstream(path, std::ios::binary) << qm::WriteSchemeText(options);
    return path;
}

// True when each folder of the tree holds exactly `names` (indexed like the layout).
bool HoldsExactly(const std::string& root, const std::vector<std::vector<std::string>>& names) {
    for (std::size_t f = 0; f < Layout().size(); ++f) {
        std::vector<std::string> now;
        for (const auto& entry : fs::directory_iterator(root + Layout()[f].name))
            now.push_back(entry.path().filename().string());
        std::sort(now.begin(), now.end());
        if (now != names[f])
            return false;
    }
    return true;
}

// Arguments: the organizing options (1) or today's (0); with --plan (1).
void RenameCommand(benchmark::State& state) {
    const bool organizing = state.range(0) == 1, plan = state.range(1) == 1;
    const qm::RenameOptionSet options = organizing ? OrganizingOptions() : TodaysOptions();
    const Organized& organized = TheOrganized();
    const std::string list = Base() + "/list";
    const std::string out = Base() + "/out";
    // The names the prediction gives, which the loop gives and the command must leave.
    std::vector<std::vector<std::string>> newNames(Layout().size()), after(Layout().size());
    {
        const SharedTree tree;
        const qm::TPrediction p =
            Predict(tree.entries, options, plan ? qm::RunOrder::Planned : qm::RunOrder::ListOrder);
        if (p.Tally.Renamed != static_cast<int>(tree.entries.size())) {
            state.SkipWithError("the prediction does not rename every file");
            return;
        }
        std::size_t k = 0;
        for (std::size_t f = 0; f < Layout().size(); ++f) {
            for (std::size_t i = 0; i < Layout()[f].files.size(); ++i)
                newNames[f].push_back(p.Entries[k++].Candidate);
            after[f] = newNames[f];
            after[f].insert(after[f].end(), organized.taken[f].begin(), organized.taken[f].end());
            std::sort(after[f].begin(), after[f].end());
        }
    }
    std::vector<std::string> argv = {Program(),
                                     "rename",
                                     "--scheme-file",
                                     SchemeFile(options, organizing ? "organizing" : "today"),
                                     "--files-from",
                                     list,
                                     "-0"};
    if (plan)
        argv.push_back("--plan");
    Timing command, loop;
    for (auto _ : state) {
        for (int round = 0; round < Rounds(3); ++round) {
            std::string root = MakeTree(organized.taken);
            {
                std::ofstream paths(list, std::ios::binary);
                for (const FolderLayout& folder : Layout())
                    for (const std::string& name : folder.files)
                        paths << root << folder.name << name << '\0';
            }
            const qm::bench::ChildRun run = qm::bench::RunChild(argv, out);
            command.Add(run.Seconds, run.CpuSeconds);
            const std::vector<std::string> journals = qm::JournalFiles(qm::JournalFolder());
            if (!journals.empty())
                state.counters["journal_KiB"] =
                    static_cast<double>(fs::file_size(journals.back())) / 1024.0;
            const bool commandRight = run.Exited && run.ExitCode == 0 && HoldsExactly(root, after);
            fs::remove_all(root);
            if (!commandRight) {
                state.SkipWithError(
                    "the command did not leave every file under its predicted name");
                break;
            }

            root = MakeTree(organized.taken);
            bool loopRight = true;
            Time(loop, [&] {
                for (std::size_t f = 0; f < Layout().size() && loopRight; ++f) {
                    const int dir =
                        open((root + Layout()[f].name).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                    loopRight = dir >= 0;
                    const std::vector<std::string>& from = Layout()[f].files;
                    for (std::size_t i = 0; i < from.size() && loopRight; ++i)
                        loopRight = renameat2(dir, from[i].c_str(), dir, newNames[f][i].c_str(),
                                              RENAME_NOREPLACE) == 0;
                    close(dir);
                }
            });
            loopRight = loopRight && HoldsExactly(root, after);
            fs::remove_all(root);
            if (!loopRight) {
                state.SkipWithError("the plain loop did not rename every file");
                break;
            }
        }
        state.SetIterationTime(Median(command.wall));
    }
    ReportAgainst(state, command, loop, "command", "loop", "x_plain_loop");
    state.counters["rounds"] = static_cast<double>(command.wall.size());
}

// A tree that cannot be made (the file system full, or out of inodes) fails the case.
void BM_PredictOrganizing(benchmark::State& state) {
    try {
        PredictOrganizing(state);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}

void BM_RenameCommand(benchmark::State& state) {
    try {
        RenameCommand(state);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}

BENCHMARK(BM_PredictOrganizing)
    ->Arg(0)
    ->Arg(1)
    ->ArgNames({"plan"})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(Rounds(5));
BENCHMARK(BM_RenameCommand)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"organizing", "plan"})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

// Leaves nothing behind on /dev/shm, which is memory.
struct RemoveBase {
    ~RemoveBase() {
        std::error_code ignored;
        fs::remove_all(Base(), ignored);
    }
} removeBase;

} // namespace
