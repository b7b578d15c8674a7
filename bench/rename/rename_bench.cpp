// 100,000 empty files in one folder on /dev/shm, each renamed by one replace pair
// (file_ -> pic_): the rename run and quillmark-cli rename against a plain loop of
// renameat2(RENAME_NOREPLACE) over a fresh copy of the same folder; and a planned
// renumbering of as many files, each taking the name of the next, against the same
// loop. The rename run also with its journal (BM_JournaledRenameRun against BM_RenameRun;
// argument 1 adds a number that rises with each success). Every repetition makes its
// folder afresh, outside the timing.
//
//   build/bench/rename_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only
//
// QM_BENCH_FILES changes the number of files, QM_BENCH_DIR the parent folder.

#include "bench/support/renamefiles.h"
#include "engine/renameoptionset.h"
#include "filelist/fileitems.h"
#include "filelist/filelist.h"
#include "rename/journaledrun.h"
#include "rename/plan.h"
#include "rename/renamerun.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

int FileCount() {
    const char* n = std::getenv("QM_BENCH_FILES");
    return n ? std::atoi(n) : 100000;
}

std::string BaseFolder() {
    const char* dir = std::getenv("QM_BENCH_DIR");
    return std::string(dir ? dir : "/dev/shm") + "/qm-rename-bench-" + std::to_string(getpid());
}

std::vector<std::string> Names() {
    return qm::bench::NumberedNames(FileCount());
}

// The list of a run over `names` in `dir`, in update mode, as the command line builds it.
void AddNames(qm::TFileList& list, const std::vector<std::string>& names, const std::string& dir) {
    list.Items().BeginUpdate();
    std::vector<qm::TFileItems::NewEntry> entries;
    entries.reserve(names.size());
    for (const std::string& name : names)
        entries.push_back({name, dir});
    list.Items().AddNamesOnly(std::move(entries));
}

std::string MakeFolder(const std::vector<std::string>& names) {
    return qm::bench::MakeFolderOfFiles(BaseFolder(), names);
}

void CheckRenamed(benchmark::State& state, const std::string& dir, std::size_t count) {
    std::size_t renamed = 0;
    for (const auto& entry : fs::directory_iterator(dir))
        renamed += entry.path().filename().string().starts_with("pic_");
    if (renamed != count)
        state.SkipWithError("not every file was renamed");
    fs::remove_all(dir);
}

void BM_PlainRenameat2Loop(benchmark::State& state) {
    const std::vector<std::string> names = Names();
    std::vector<std::string> targets;
    for (const std::string& name : names)
        targets.push_back("pic_" + name.substr(5));
    for (auto _ : state) {
        state.PauseTiming();
        const std::string dir = MakeFolder(names);
        state.ResumeTiming();
        const int folder = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (std::size_t i = 0; i < names.size(); ++i)
            if (renameat2(folder, names[i].c_str(), folder, targets[i].c_str(), RENAME_NOREPLACE) !=
                0)
                state.SkipWithError("renameat2 failed");
        close(folder);
        state.PauseTiming();
        CheckRenamed(state, dir, names.size());
        state.ResumeTiming();
    }
}

// file_ -> pic_; with the argument 1 also a number appended that rises with each
// success.
qm::RenameOptionSet PicOptions(const benchmark::State& state) {
    qm::RenameOptionSet options;
    options.ReplaceGroup = options.ReplaceEnabled = true;
    options.ReplaceCount = 1;
    options.ReplacePairs[0] = {"file_", "pic_"};
    if (state.range(0) == 1) {
        options.InsertGroup = options.NumberIncEnabled = true;
        options.NumberIncValue = 1;
    }
    return options;
}

void BM_RenameRun(benchmark::State& state) {
    const std::vector<std::string> names = Names();
    const qm::RenameOptionSet options = PicOptions(state);
    for (auto _ : state) {
        state.PauseTiming();
        const std::string dir = MakeFolder(names);
        state.ResumeTiming();
        // The list is part of the cost: the command line builds one for every run.
        qm::TFileList list;
        AddNames(list, names, dir);
        const std::atomic<bool> goOn{false};
        const qm::RenameTally tally =
            qm::RunRenames(list.Items(), options, qm::RenameMode::Rename, {}, goOn);
        if (tally.Renamed != static_cast<int>(names.size()))
            state.SkipWithError("not every file was renamed");
        state.PauseTiming();
        CheckRenamed(state, dir, names.size());
        state.ResumeTiming();
    }
}

double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// file_000000.jpg -> file_000001.jpg, ... : every target is held by the next file, so
// the plan is one chain as long as the list, run from its far end.
void BM_PlannedRenumbering(benchmark::State& state) {
    const std::vector<std::string> names = Names();
    qm::RenameOptionSet options;
    options.RemoveGroup = options.RemoveBack = true;
    options.RemoveBackCount = 6;
    options.InsertGroup = options.NumberIncEnabled = true;
    options.NumberIncMinLength = 6;
    options.NumberIncValue = 1;
    double planSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string dir = MakeFolder(names);
        state.ResumeTiming();
        qm::TFileList list;
        AddNames(list, names, dir);
        const std::atomic<bool> goOn{false};
        // The planning on its own as well (processor time, steadier on a busy machine): it
        // reads the folder and works with names only.
        const double start = ThreadSeconds();
        const std::vector<qm::TRunEntry> snapshot = qm::SnapshotEntries(list.Items());
        const qm::TRenamePlan plan =
            qm::PlanRenames(snapshot, options, qm::RenameMode::Rename, goOn);
        planSeconds += ThreadSeconds() - start;
        const qm::RenameTally tally =
            qm::RunPlan(list.Items(), snapshot, plan, qm::RenameMode::Rename, {}, goOn);
        state.PauseTiming();
        const std::vector<std::string> shifted = qm::bench::NumberedNames(FileCount() + 1);
        if (tally.Renamed != static_cast<int>(names.size()) || fs::exists(dir + names.front()) ||
            !fs::exists(dir + shifted.back()))
            state.SkipWithError("not every file was renumbered");
        fs::remove_all(dir);
        state.ResumeTiming();
    }
    state.counters["plan_cpu_ms"] =
        benchmark::Counter(planSeconds * 1000.0, benchmark::Counter::kAvgIterations);
}

void BM_RenameCommand(benchmark::State& state) {
    const std::vector<std::string> names = Names();
    const std::string scheme = BaseFolder() + "/pic.scheme";
    const std::string list = BaseFolder() + "/list";
    const std::string program = std::string(QUILLMARK_BIN_DIR) + "/quillmark-cli";
    long peakKiB = 0;
    double cpuSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string dir = MakeFolder(names);
        std::ofstream(scheme) << "Version=1\nReplaceGroup=true\nReplaceEnabled=true\n"
                                 "ReplaceCount=1\nReplaceText1=file_:pic_\n";
        {
            std::ofstream out(list, std::ios::binary);
            for (const std::string& name : names)
                out << dir << name << '\0';
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        const char* argv[] = {
            program.c_str(), "rename", "--scheme-file", scheme.c_str(), "--files-from",
            list.c_str(),    "-0",     nullptr};
        state.ResumeTiming();
        pid_t child = 0;
        int status = 0;
        rusage usage{};
        if (posix_spawn(&child, program.c_str(), &actions, nullptr, const_cast<char**>(argv),
                        environ) != 0 ||
            wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0)
            state.SkipWithError("quillmark-cli rename failed");
        state.PauseTiming();
        posix_spawn_file_actions_destroy(&actions);
        peakKiB = std::max(peakKiB, usage.ru_maxrss);
        cpuSeconds += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        CheckRenamed(state, dir, names.size());
        state.ResumeTiming();
    }
    state.counters["peak_RSS_MiB"] = static_cast<double>(peakKiB) / 1024.0;
    // The command's own processor time (user + system), which the CPU column cannot
    // show for a child process; on a busy machine it is steadier than the wall clock.
    state.counters["child_cpu_ms"] =
        benchmark::Counter(cpuSeconds * 1000.0, benchmark::Counter::kAvgIterations);
}

// The same run with its journal (list order: prediction, journal written and synced, run
// checked against it, closing record synced), the journal on /dev/shm too unless
// QM_BENCH_JOURNAL_DIR names another folder (an ordinary disk, say). Reports the journal's
// size.
void BM_JournaledRenameRun(benchmark::State& state) {
    const std::vector<std::string> names = Names();
    const qm::RenameOptionSet options = PicOptions(state);
    const char* journalDir = std::getenv("QM_BENCH_JOURNAL_DIR");
    const std::string journals =
        (journalDir ? std::string(journalDir) + "/qm-journal-bench-" + std::to_string(getpid())
                    : BaseFolder() + "/journals") +
        "/";
    double journalBytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string dir = MakeFolder(names);
        state.ResumeTiming();
        qm::TFileList list;
        AddNames(list, names, dir);
        const std::atomic<bool> goOn{false};
        const qm::TJournaledRun run = qm::RunJournaledRenames(
            list.Items(), options, qm::RenameMode::Rename, qm::RunOrder::ListOrder, {}, goOn, {},
            qm::TJournalPlace{journals, "bench"});
        if (!run.Ran || !run.JournalProblem.empty() ||
            run.Tally.Renamed != static_cast<int>(names.size()))
            state.SkipWithError("the journaled run did not rename every file");
        state.PauseTiming();
        journalBytes = static_cast<double>(fs::file_size(qm::JournalPath(journals, run.RunId)));
        CheckRenamed(state, dir, names.size());
        state.ResumeTiming();
    }
    state.counters["journal_KiB"] = journalBytes / 1024.0;
    std::error_code ignored;
    fs::remove_all(journals, ignored);
}

BENCHMARK(BM_PlainRenameat2Loop)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_RenameRun)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK(BM_PlannedRenumbering)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_JournaledRenameRun)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK(BM_RenameCommand)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// Leaves nothing behind on /dev/shm, which is memory.
struct RemoveBase {
    ~RemoveBase() {
        std::error_code ignored;
        fs::remove_all(BaseFolder(), ignored);
    }
} removeBase;

} // namespace
