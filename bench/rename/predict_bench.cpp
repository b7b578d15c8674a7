// The prediction of a rename run over 100,000 files in one folder on /dev/shm with every
// option group on (the numbering included), as the window computes it after each change
// of an option; beside it the copy of the list it works on and the engine's share (the
// new names alone). The folder is made once, outside the timing.
//
//   build/bench/predict_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only
//
// QM_BENCH_FILES changes the number of files, QM_BENCH_DIR the parent folder.

#include "bench/support/renamefiles.h"
#include "engine/newname.h"
#include "filelist/fileitems.h"
#include "filelist/filelist.h"
#include "rename/predict.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string BaseFolder() {
    const char* dir = std::getenv("QM_BENCH_DIR");
    return std::string(dir ? dir : "/dev/shm") + "/qm-predict-bench-" + std::to_string(getpid());
}

struct Folder {
    std::vector<std::string> names;
    std::string dir;
    Folder() {
        const char* n = std::getenv("QM_BENCH_FILES");
        names = qm::bench::NumberedNames(n ? std::atoi(n) : 100000);
        dir = qm::bench::MakeFolderOfFiles(BaseFolder(), names);
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(BaseFolder(), ignored);
    }
};

const Folder& TheFolder() {
    static const Folder folder;
    return folder;
}

qm::RenameOptionSet EveryGroup() {
    qm::RenameOptionSet o;
    o.ChangeFileExt = true;
    o.ChangeFileExtTo = "jpeg";
    o.RemoveGroup = true;
    o.RemoveFront = true;
    o.RemoveFrontCount = 1;
    o.RemoveBack = true;
    o.RemoveBackCount = 1;
    o.RemoveFrontAndBackSpaces = true;
    o.RemoveDoubleSpaces = true;
    o.ReplaceGroup = true;
    o.ConvertInternetSpaces = true;
    o.ConvertUnderscoreSpaces = true;
    o.ReplaceEnabled = true;
    o.ReplacePairs[0] = {"file", "photo"};
    o.ReplacePairs[1] = {"00", "0"};
    o.ReplaceCount = 2;
    o.InsertGroup = true;
    o.InsertFront = true;
    o.InsertFrontText = "Trip ";
    o.InsertAtPosition = true;
    o.InsertAtPositionText = "_";
    o.InsertAtPositionIndex = 5;
    o.InsertBack = true;
    o.InsertBackText = " v";
    o.NumberIncEnabled = true;
    o.NumberIncAddFrontSep = true;
    o.NumberIncMinLength = 6;
    o.ShuffleGroup = true;
    o.AlterLogicFilename = true;
    o.AlterLogicFilenameString = "%b - %a";
    o.FormatGroup = true;
    o.FormatTextEnabled = true;
    o.FormatWordsSeparately = true;
    o.FormatFirstLetterUp = true;
    o.FormatSpecialWords = "of;the;a;and;in;on;v";
    return o;
}

struct Listed {
    qm::TFileList list;
    Listed() {
        const Folder& f = TheFolder();
        std::vector<qm::TFileItems::NewEntry> entries;
        entries.reserve(f.names.size());
        for (const std::string& name : f.names)
            entries.push_back({name, f.dir});
        list.Items().BeginUpdate();
        list.Items().AddNamesOnly(std::move(entries));
    }
};

void BM_SnapshotEntries(benchmark::State& state) {
    const Listed listed;
    for (auto _ : state)
        benchmark::DoNotOptimize(qm::SnapshotEntries(listed.list.Items()));
}

void BM_NewNamesOnly(benchmark::State& state) {
    const Folder& f = TheFolder();
    const qm::RenameOptionSet options = EveryGroup();
    for (auto _ : state)
        for (const std::string& name : f.names)
            benchmark::DoNotOptimize(qm::ComputeNextNewName(options, name));
}

void BM_PredictEveryGroup(benchmark::State& state) {
    const Listed listed;
    const std::vector<qm::TRunEntry> entries = qm::SnapshotEntries(listed.list.Items());
    const qm::RenameOptionSet options = EveryGroup();
    const std::atomic<bool> goOn{false};
    for (auto _ : state) {
        const qm::TPrediction p = qm::PredictRenames(entries, options, qm::RenameMode::Rename,
                                                     qm::RunOrder::ListOrder, goOn);
        if (p.Tally.Renamed != static_cast<int>(entries.size()))
            state.SkipWithError("not every file would be renamed");
        benchmark::DoNotOptimize(p);
    }
}

// One cheap replacement: what the folder model costs beside the engine.
void BM_PredictOneReplace(benchmark::State& state) {
    const Listed listed;
    const std::vector<qm::TRunEntry> entries = qm::SnapshotEntries(listed.list.Items());
    qm::RenameOptionSet options;
    options.ReplaceGroup = options.ReplaceEnabled = true;
    options.ReplacePairs[0] = {"file_", "pic_"};
    options.ReplaceCount = 1;
    const std::atomic<bool> goOn{false};
    for (auto _ : state) {
        const qm::TPrediction p = qm::PredictRenames(entries, options, qm::RenameMode::Rename,
                                                     qm::RunOrder::ListOrder, goOn);
        if (p.Tally.Renamed != static_cast<int>(entries.size()))
            state.SkipWithError("not every file would be renamed");
        benchmark::DoNotOptimize(p);
    }
}

BENCHMARK(BM_SnapshotEntries)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NewNamesOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PredictEveryGroup)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PredictOneReplace)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
