// What the history costs: listing a thousand journals, one of them of a run of a million
// files, from their small records, against reading that one journal whole (what opening
// the run in the history window costs).
//
//   build/bench/history_bench [--benchmark_repetitions=3]
//
// The journals are written once into a temporary folder (QM_BENCH_JOURNAL_DIR, else
// $TMPDIR or /tmp) and removed at the end; the page cache holds them, as it does for a
// user's recent runs.

#include "rename/journalhistory.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kJournals = 1000;
constexpr std::size_t kMillion = 1'000'000;

std::string Folder() {
    static const std::string folder = [] {
        const char* base = std::getenv("QM_BENCH_JOURNAL_DIR");
        if (base == nullptr)
            base = std::getenv("TMPDIR");
        std::string path = std::string(base != nullptr ? base : "/tmp") + "/qm-history-bench-" +
                           std::to_string(getpid()) + "/";
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

void Write(std::size_t count) {
    std::vector<std::string> names(count);
    std::vector<qm::TJournalMoveRef> moves;
    moves.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        names[i] = "IMG_" + std::to_string(1'000'000 + i) + ".jpg";
        moves.push_back({static_cast<int>(i), false, "/home/user/photos/", names[i],
                         std::string_view(names[i]).substr(4), i + 1});
    }
    qm::TJournalWriter writer;
    qm::TJournal header;
    header.EntryCount = static_cast<int>(count);
    // Forever: none of the thousand may be pruned while they are written.
    if (!writer.Begin(Folder(), header, moves, {0, kJournals + 1}).empty())
        std::abort();
    writer.Close({static_cast<int>(count), 0, 0, 0, false});
}

const std::string& MillionJournal() {
    static const std::string path = [] {
        Write(kMillion);
        std::string million = qm::JournalFiles(Folder()).back();
        for (int i = 1; i < kJournals; ++i)
            Write(100);
        return million;
    }();
    return path;
}

void BM_ListTheHistory(benchmark::State& state) {
    MillionJournal();
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::vector<qm::THistoryRun> runs = qm::ReadHistory(Folder());
        if (runs.size() != kJournals)
            state.SkipWithError("journals missing");
        bytes = 0;
        for (const qm::THistoryRun& run : runs)
            bytes += run.Summary.BytesRead;
    }
    state.counters["bytes_read"] = static_cast<double>(bytes);
}

void BM_OpenTheMillionFileRun(benchmark::State& state) {
    const std::string& path = MillionJournal();
    for (auto _ : state) {
        const qm::TJournalRead read = qm::ReadJournal(path);
        if (read.Journal.Moves.size() != kMillion)
            state.SkipWithError("not read whole");
    }
    state.counters["journal_bytes"] = static_cast<double>(std::filesystem::file_size(path));
}

BENCHMARK(BM_ListTheHistory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenTheMillionFileRun)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(Folder());
    return 0;
}
