// quillmark-cli over 1,000,000 empty files in one folder on /dev/shm, each case a child
// process timed from start to exit, its peak resident memory its own:
//   - preview and rename --dry-run (in list order and with --plan) of every path, given
//     in a NUL-separated list; the folder is made once for these, as they change nothing;
//   - rename of a fresh folder against a plain loop of renameat2(RENAME_NOREPLACE) over
//     another fresh folder of as many files, with the size of the run's journal, at
//     100,000 files and at the million, each against the loop measured in the same run;
//   - the same rename and loop in pairs (nine, five at a million), one after the other on
//     fresh folders, at each count: the median of each and the ratio of the medians,
//     steadier than one run each when the machine is not quiet;
//   - undo of such a rename (the rename itself untimed), against the loop;
//   - rename --map of a fresh folder, one "OLD<TAB>NEW" line per file giving it the name
//     the plain loop gives it, against that loop: the map's run is planned and journaled;
//   - edit of 100,000 files (QM_BENCH_FILES when fewer), its editor a shell script that
//     copies the edited names in; the script's own time, measured alone on the same
//     file, is taken off, so that the figure is the command's round trip: the names
//     written, read back and checked, the files checked, the plan, the question skipped
//     (--yes) and every file renamed, journaled.
// The scheme replaces "file_" by "pic_" and appends a number that rises with each file,
// so that every name changes and no two new names share their tail. Every case checks
// its outcome (every line printed, every file renamed, every file back) and fails rather
// than report a figure for a run that went wrong. Journals and settings go to a folder of
// the benchmark's own (XDG_STATE_HOME, XDG_CONFIG_HOME), never the user's.
//
//   nice -n 10 build/bench/millionfiles_bench
//
// QM_BENCH_FILES changes the number of files, QM_BENCH_DIR the parent folder; making a
// folder of a million files takes about ten seconds, outside the timing.

#include "bench/support/childrun.h"
#include "bench/support/renamefiles.h"
#include "rename/journal.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

int FileCount() {
    const char* n = std::getenv("QM_BENCH_FILES");
    return n ? std::atoi(n) : 1000000;
}

std::string BaseFolder() {
    const char* dir = std::getenv("QM_BENCH_DIR");
    return std::string(dir ? dir : "/dev/shm") + "/qm-millioncli-bench-" + std::to_string(getpid());
}

const std::string& Program() {
    static const std::string program = std::string(QUILLMARK_BIN_DIR) + "/quillmark-cli";
    return program;
}

// The scheme file, the settings and journal folders; made once.
const std::string& Scheme() {
    static const std::string scheme = [] {
        const std::string base = BaseFolder();
        fs::create_directories(base + "/state");
        fs::create_directories(base + "/config");
        setenv("XDG_STATE_HOME", (base + "/state").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", (base + "/config").c_str(), 1);
        const std::string path = base + "/pic.scheme";
        std::ofstream(path) << "Version=1\nReplaceGroup=true\nReplaceEnabled=true\n"
                               "ReplaceCount=1\nReplaceText1=file_:pic_\nInsertGroup=true\n"
                               "NumberIncEnabled=true\nNumberIncValue=1\n";
        return path;
    }();
    return scheme;
}

// The names of a folder of `count` files, made once for each count.
const std::vector<std::string>& NamesOf(int count) {
    static std::map<int, std::vector<std::string>> names;
    auto& made = names[count];
    if (made.empty())
        made = qm::bench::NumberedNames(count);
    return made;
}

const std::vector<std::string>& Names() {
    return NamesOf(FileCount());
}

// The file counts a rename is measured at beside the plain loop: 100,000 and the count of
// the other cases (a million).
std::vector<int> RenameCounts() {
    std::vector<int> counts = {std::min(100000, FileCount())};
    if (FileCount() > counts.front())
        counts.push_back(FileCount());
    return counts;
}

// A fresh folder of every name and the NUL-separated list of their paths beside it.
struct ListedFolder {
    std::string dir;
    std::string list;
};

void Remove(const ListedFolder& folder) {
    std::error_code ignored;
    fs::remove_all(folder.dir, ignored);
    fs::remove(folder.list, ignored);
}

// Empty when the folder could not be made (the file system full, or out of inodes: a
// tmpfs holds about three million by default), with the case marked failed; what was
// made of it is removed.
std::optional<ListedFolder> MakeListedFolder(benchmark::State& state,
                                             const std::vector<std::string>& names = Names()) {
    ListedFolder made;
    try {
        made.dir = qm::bench::MakeFolderOfFiles(BaseFolder(), names);
    } catch (const std::exception& e) {
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(BaseFolder(), ignored))
            if (entry.path().filename().string().starts_with("run"))
                fs::remove_all(entry.path(), ignored);
        state.SkipWithError(e.what());
        return std::nullopt;
    }
    made.list = made.dir.substr(0, made.dir.size() - 1) + ".list";
    std::ofstream out(made.list, std::ios::binary);
    for (const std::string& name : names)
        out << made.dir << name << '\0';
    return made;
}

// The folder the read-only cases share, until a case that renames drops it: never two
// folders of a million files at once.
std::optional<ListedFolder> shared;

const ListedFolder* SharedFolder(benchmark::State& state) {
    if (!shared)
        shared = MakeListedFolder(state);
    return shared ? &*shared : nullptr;
}

void DropSharedFolder() {
    if (shared)
        Remove(*shared);
    shared.reset();
}

std::vector<std::string> NamesIn(const std::string& dir) {
    std::vector<std::string> names;
    names.reserve(Names().size());
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::size_t CountLines(const std::string& path, std::string& last) {
    std::ifstream in(path, std::ios::binary);
    std::size_t lines = 0;
    for (std::string line; std::getline(in, line); ++lines)
        last = line;
    return lines;
}

std::string CountsLine(std::size_t renamed) {
    return std::to_string(renamed) + " renamed, 0 unchanged, 0 failed";
}

// Runs the command; false (the case marked failed) when it did not exit with 0. With
// `timed`, its figures are the iteration's.
bool Measure(benchmark::State& state, const std::vector<std::string>& argv, const std::string& out,
             bool timed = true, double* seconds = nullptr) {
    const qm::bench::ChildRun run = qm::bench::RunChild(argv, out);
    if (timed) {
        state.SetIterationTime(run.Seconds);
        state.counters["peak_RSS_MiB"] = static_cast<double>(run.PeakKiB) / 1024.0;
        state.counters["child_cpu_ms"] = run.CpuSeconds * 1000.0;
    }
    if (seconds != nullptr)
        *seconds = run.Seconds;
    if (!run.Exited || run.ExitCode != 0) {
        state.SkipWithError((argv[1] + " exited with " + std::to_string(run.ExitCode)).c_str());
        return false;
    }
    return true;
}

std::string OutFile() {
    return BaseFolder() + "/out";
}

void BM_Preview(benchmark::State& state) {
    const ListedFolder* made = SharedFolder(state);
    if (made == nullptr)
        return;
    const ListedFolder& folder = *made;
    for (auto _ : state) {
        if (!Measure(state,
                     {Program(), "preview", "--scheme-file", Scheme(), "--files-from", folder.list,
                      "-0"},
                     OutFile()))
            break;
        std::string last;
        if (CountLines(OutFile(), last) != Names().size() ||
            last != folder.dir + Names().back() + "\t" + folder.dir + "pic_" +
                        Names().back().substr(5, 6) +
                        std::to_string(std::min<std::size_t>(Names().size(), 999999)) + ".jpg")
            state.SkipWithError("preview did not print every new name");
    }
}

// Argument 1: with --plan.
void BM_DryRun(benchmark::State& state) {
    const ListedFolder* made = SharedFolder(state);
    if (made == nullptr)
        return;
    const ListedFolder& folder = *made;
    std::vector<std::string> argv = {Program(), "rename",       "--dry-run", "--scheme-file",
                                     Scheme(),  "--files-from", folder.list, "-0"};
    if (state.range(0) == 1)
        argv.push_back("--plan");
    for (auto _ : state) {
        if (!Measure(state, argv, OutFile()))
            break;
        std::string last;
        if (CountLines(OutFile(), last) != Names().size() + 1 || last != CountsLine(Names().size()))
            state.SkipWithError("the dry run did not foresee every file renamed");
    }
}

// The plain loop's wall and processor seconds by file count, as measured in this run.
struct LoopFigures {
    double seconds = 0;
    double cpuSeconds = 0;
};
std::map<int, LoopFigures> plainLoop;

// The processor time of this thread (user + system): steadier than the wall clock on a
// busy machine, and comparable with the child's.
double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The names the plain loop gives the files of NamesOf(count).
const std::vector<std::string>& TargetsOf(int count) {
    static std::map<int, std::vector<std::string>> targets;
    auto& made = targets[count];
    if (made.empty())
        for (const std::string& name : NamesOf(count))
            made.push_back("pic_" + name.substr(5));
    return made;
}

// The plain loop over a fresh folder of `count` files; false, with the case marked
// failed, when a rename failed or the folder could not be made.
bool TimePlainLoop(benchmark::State& state, int count, LoopFigures& loop) {
    const std::vector<std::string>& names = NamesOf(count);
    const std::vector<std::string>& targets = TargetsOf(count);
    const std::optional<ListedFolder> made = MakeListedFolder(state, names);
    if (!made)
        return false;
    const ListedFolder& folder = *made;
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = ThreadCpuSeconds();
    const int dir = open(folder.dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    bool failed = dir < 0;
    for (std::size_t i = 0; i < targets.size() && !failed; ++i)
        failed = renameat2(dir, names[i].c_str(), dir, targets[i].c_str(), RENAME_NOREPLACE) != 0;
    close(dir);
    loop.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    loop.cpuSeconds = ThreadCpuSeconds() - cpuStart;
    failed = failed || NamesIn(folder.dir).size() != targets.size();
    if (failed)
        state.SkipWithError("renameat2 failed");
    Remove(folder);
    return !failed;
}

// Argument: the number of files.
void BM_PlainRenameat2Loop(benchmark::State& state) {
    DropSharedFolder();
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        LoopFigures& loop = plainLoop[count];
        if (!TimePlainLoop(state, count, loop))
            break;
        state.SetIterationTime(loop.seconds);
        state.counters["cpu_ms"] = loop.cpuSeconds * 1000.0;
    }
}

// The command's figures against the plain loop over as many files, when it ran before.
void AgainstTheLoop(benchmark::State& state, int count, double seconds) {
    const auto loop = plainLoop.find(count);
    if (loop == plainLoop.end() || loop->second.seconds <= 0)
        return;
    state.counters["x_plain_loop"] = seconds / loop->second.seconds;
    state.counters["x_plain_loop_cpu"] =
        state.counters["child_cpu_ms"] / (loop->second.cpuSeconds * 1000.0);
}

// Renames a fresh folder; true when every file took a "pic_" name.
bool RenameAll(benchmark::State& state, const ListedFolder& folder, bool timed,
               double* seconds = nullptr, bool plan = false,
               const std::vector<std::string>& names = Names()) {
    std::vector<std::string> argv = {
        Program(), "rename", "--scheme-file", Scheme(), "--files-from", folder.list, "-0"};
    if (plan)
        argv.push_back("--plan");
    if (!Measure(state, argv, OutFile(), timed, seconds))
        return false;
    const std::vector<std::string> now = NamesIn(folder.dir);
    if (now.size() != names.size() ||
        !std::all_of(now.begin(), now.end(),
                     [](const std::string& name) { return name.starts_with("pic_"); })) {
        state.SkipWithError("not every file was renamed");
        return false;
    }
    const std::vector<std::string> journals = qm::JournalFiles(qm::JournalFolder());
    state.counters["journal_MiB"] =
        journals.empty() ? 0.0
                         : static_cast<double>(fs::file_size(journals.back())) / (1024.0 * 1024.0);
    return true;
}

// Arguments: 1 with --plan; the number of files.
void BM_RenameCommand(benchmark::State& state) {
    DropSharedFolder();
    const int count = static_cast<int>(state.range(1));
    const std::vector<std::string>& names = NamesOf(count);
    for (auto _ : state) {
        const std::optional<ListedFolder> made = MakeListedFolder(state, names);
        if (!made)
            break;
        const ListedFolder& folder = *made;
        double seconds = 0;
        // Against the plain loop of this process (it is registered first).
        if (RenameAll(state, folder, true, &seconds, state.range(0) == 1, names))
            AgainstTheLoop(state, count, seconds);
        Remove(folder);
    }
}

// Pairs of the plain loop and the rename, each over a fresh folder of as many files, one
// after the other, so that both see the machine as it is then: nine of 100,000 files and
// fewer (five) of a million, a pair of which takes some twenty seconds. The time is the
// rename's median, "x_plain_loop" the ratio of the medians and "x_min" and "x_max" the
// lowest and highest ratio of a pair. Argument: the number of files.
void BM_RenameBesideTheLoop(benchmark::State& state) {
    DropSharedFolder();
    const int count = static_cast<int>(state.range(0));
    const int pairs = count > 100000 ? 5 : 9;
    const std::vector<std::string>& names = NamesOf(count);
    const auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    for (auto _ : state) {
        std::vector<double> loops;
        std::vector<double> renames;
        std::vector<double> ratios;
        for (int pair = 0; pair < pairs; ++pair) {
            LoopFigures loop;
            if (!TimePlainLoop(state, count, loop))
                return;
            const std::optional<ListedFolder> made = MakeListedFolder(state, names);
            if (!made)
                return;
            double seconds = 0;
            const bool renamed = RenameAll(state, *made, false, &seconds, false, names);
            Remove(*made);
            if (!renamed)
                return;
            loops.push_back(loop.seconds);
            renames.push_back(seconds);
            ratios.push_back(seconds / loop.seconds);
        }
        state.SetIterationTime(median(renames));
        state.counters["loop_ms"] = median(loops) * 1000.0;
        state.counters["x_plain_loop"] = median(renames) / median(loops);
        state.counters["x_min"] = *std::min_element(ratios.begin(), ratios.end());
        state.counters["x_max"] = *std::max_element(ratios.begin(), ratios.end());
    }
}

void BM_UndoCommand(benchmark::State& state) {
    DropSharedFolder();
    for (auto _ : state) {
        const std::optional<ListedFolder> made = MakeListedFolder(state);
        if (!made)
            break;
        const ListedFolder& folder = *made;
        double seconds = 0;
        if (RenameAll(state, folder, false) &&
            Measure(state, {Program(), "undo"}, OutFile(), true, &seconds)) {
            if (NamesIn(folder.dir) != Names())
                state.SkipWithError("undo did not put every file back");
            else
                AgainstTheLoop(state, FileCount(), seconds);
        }
        Remove(folder);
    }
}

// The name the plain loop gives a file.
std::string PicName(const std::string& name) {
    return "pic_" + name.substr(5);
}

bool AllPics(benchmark::State& state, const std::string& dir, std::size_t count) {
    const std::vector<std::string> now = NamesIn(dir);
    if (now.size() != count || !std::all_of(now.begin(), now.end(), [](const std::string& name) {
            return name.starts_with("pic_");
        })) {
        state.SkipWithError("not every file was renamed");
        return false;
    }
    return true;
}

void BM_RenameMap(benchmark::State& state) {
    Scheme(); // the benchmark's own journal folder
    DropSharedFolder();
    for (auto _ : state) {
        const std::optional<ListedFolder> made = MakeListedFolder(state);
        if (!made)
            break;
        const ListedFolder& folder = *made;
        const std::string map = BaseFolder() + "/names.map";
        {
            std::ofstream out(map, std::ios::binary);
            for (const std::string& name : Names())
                out << folder.dir << name << '\t' << PicName(name) << '\n';
        }
        double seconds = 0;
        if (Measure(state, {Program(), "rename", "--map", map}, OutFile(), true, &seconds) &&
            AllPics(state, folder.dir, Names().size()))
            AgainstTheLoop(state, FileCount(), seconds);
        std::filesystem::remove(map);
        Remove(folder);
    }
}

void BM_EditCommand(benchmark::State& state) {
    Scheme(); // the benchmark's own journal folder
    DropSharedFolder();
    const std::vector<std::string> names = qm::bench::NumberedNames(std::min(FileCount(), 100000));
    // The names as the user leaves them: every one changed, in the edit file's form.
    const std::string edited = BaseFolder() + "/edited.txt";
    {
        const std::size_t width = std::to_string(names.size()).size();
        std::ofstream out(edited, std::ios::binary);
        for (std::size_t k = 0; k < names.size(); ++k) {
            const std::string number = std::to_string(k + 1);
            out << std::string(width - number.size(), '0') << number << '\t' << PicName(names[k])
                << '\n';
        }
    }
    const std::string editor = BaseFolder() + "/editor.sh";
    std::ofstream(editor) << "#!/bin/sh\ncp '" << edited << "' \"$1\"\n";
    fs::permissions(editor, fs::perms::owner_all);
    setenv("VISUAL", editor.c_str(), 1);
    for (auto _ : state) {
        const std::optional<ListedFolder> made = MakeListedFolder(state, names);
        if (!made)
            break;
        const ListedFolder& folder = *made;
        double seconds = 0;
        const bool ran =
            Measure(state, {Program(), "edit", "--yes", "--files-from", folder.list, "-0"},
                    OutFile(), false, &seconds);
        // The editor alone, on a file of the same size.
        const std::string scratch = BaseFolder() + "/scratch.txt";
        fs::copy_file(edited, scratch, fs::copy_options::overwrite_existing);
        const qm::bench::ChildRun alone = qm::bench::RunChild({editor, scratch}, "/dev/null");
        fs::remove(scratch);
        state.SetIterationTime(seconds - alone.Seconds);
        state.counters["editor_ms"] = alone.Seconds * 1000.0;
        if (ran && AllPics(state, folder.dir, names.size())) {
            std::string last;
            if (CountLines(OutFile(), last) != names.size() + 1 || last != CountsLine(names.size()))
                state.SkipWithError("edit did not tell every file it renamed");
        }
        Remove(folder);
    }
}

void EachRenameCount(benchmark::internal::Benchmark* b) {
    for (const int count : RenameCounts())
        b->Arg(count);
}

BENCHMARK(BM_Preview)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_DryRun)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_PlainRenameat2Loop)
    ->Apply(EachRenameCount)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK(BM_RenameCommand)
    ->Apply([](benchmark::internal::Benchmark* b) {
        for (const int plan : {0, 1})
            for (const int count : RenameCounts())
                b->Args({plan, count});
    })
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK(BM_RenameBesideTheLoop)
    ->Apply(EachRenameCount)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK(BM_UndoCommand)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_RenameMap)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_EditCommand)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

// Leaves nothing behind on /dev/shm, which is memory.
struct RemoveBase {
    ~RemoveBase() {
        DropSharedFolder();
        std::error_code ignored;
        fs::remove_all(BaseFolder(), ignored);
    }
} removeBase;

} // namespace
