// The marks of what a run would do, in the window, on 100,000 files in one folder: the time
// from an option change (a new prefix typed into the Insert tab's front field) to the marks
// of the new options shown, which takes the pause that gathers a burst of keys, the
// snapshot of the list, the prediction on the worker and the marks. "change_ms" is the
// longest the window took to return from a change (what typing waits for); "ui_stall_ms"
// the longest its event loop went without turning meanwhile (the snapshot runs on it).
//
//   build/bin/predictionwindow_bench
//
// Arg 0: a prefix only, no file marked. Arg 1: a prefix and a running number, with the
// first file's new name taken on disk, so that every file is marked (the numbering
// shifts). BM_ReplacePairsChangeToMarks: the same change with three plain replace pairs
// (Arg 0) or three regular expressions (Arg 1) in force. Runs under QT_QPA_PLATFORM
// (offscreen unless set) with a private settings folder; QM_BENCH_DIR changes the parent
// folder of the files (default /dev/shm).

#include "app/commandline.h"
#include "app/list/filelistmodel.h"
#include "app/list/predictionrunner.h"
#include "app/mainwindow.h"
#include "app/options/optionmapping.h"
#include "bench/support/renamefiles.h"
#include "bench/support/windowbench.h"
#include "filelist/fileitems.h"
#include "filelist/filelist.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>
#include <QTreeView>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int FileCount = 100000;

std::string BaseFolder() {
    return qm::bench::BenchFolder("predict");
}

// The options given are in force before the first change and stay so, but for the front
// text each change types.
void ChangeToMarks(benchmark::State& state, qm::RenameOptionSet options, bool numbered,
                   int handNames = 0) {
    const std::vector<std::string> names = qm::bench::NumberedNames(FileCount);
    const std::string dir = qm::bench::MakeFolderOfFiles(BaseFolder(), names);
    qm::TMain main{qm::CommandLine{}};
    main.show();
    auto* model = qobject_cast<qm::TFileListModel*>(
        main.findChild<QTreeView*>(QStringLiteral("FileList"))->model());
    {
        std::vector<qm::TFileItems::NewEntry> entries;
        for (const std::string& name : names)
            entries.push_back({name, dir});
        const qm::TFileListModel::Change change(*model);
        main.FileItems()->Items().AddNamesOnly(std::move(entries));
    }
    if (handNames > 0) {
        std::vector<std::pair<int, std::string>> typed;
        const int step = FileCount / handNames;
        for (int i = 0; i < handNames; ++i)
            typed.emplace_back(i * step + step / 2, "typed_" + std::to_string(i) + ".jpg");
        if (!model->SetHandNames(typed))
            state.SkipWithError("the names typed by hand were refused");
    }
    options.InsertGroup = options.InsertFront = true;
    options.InsertFrontText = "p";
    options.NumberIncEnabled = numbered;
    qm::ApplyOptionsToControls(main.Options(), options);
    main.RefreshOptionControls();
    auto* runner = main.findChild<qm::TPredictionRunner*>(QStringLiteral("Prediction"));
    auto* front = main.findChild<QLineEdit*>(QStringLiteral("InsertFront"));
    quint64 shown = 0;
    QObject::connect(runner, &qm::TPredictionRunner::delivered,
                     [&shown](quint64 generation) { shown = generation; });
    const auto waitForMarks = [&] {
        while (shown != runner->Generation())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    };
    waitForMarks();

    double stallMs = 0;
    double changeMs = 0;
    int marked = 0;
    int serial = 0;
    for (auto _ : state) {
        // The new name of the first file exists already: with the number on, every file
        // after it gets a lower number than the column shows.
        const std::string prefix = "q" + std::to_string(serial++) + "_";
        if (numbered)
            std::ofstream(dir + prefix + names[0].substr(0, names[0].find('.')) + "0.jpg");
        QElapsedTimer tick;
        tick.start();
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout,
                         [&] { stallMs = std::max(stallMs, static_cast<double>(tick.restart())); });
        probe.start(1);
        const Clock::time_point start = Clock::now();
        front->setText(QString::fromStdString(prefix));
        changeMs = std::max(
            changeMs, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        waitForMarks();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        marked = model->MarkCount();
    }
    if (marked != (numbered ? FileCount : 0))
        state.SkipWithError("the marks are not the ones expected");
    state.counters["ui_stall_ms"] = stallMs;
    state.counters["change_ms"] = changeMs;
    state.counters["marked"] = marked;
}

void BM_OptionChangeToMarks(benchmark::State& state) {
    ChangeToMarks(state, qm::RenameOptionSet{}, state.range(0) != 0);
}

// Three replace pairs in force while the front text changes: Arg 0 plain texts, Arg 1
// regular expressions (one with two groups swapped in the replacement). Both leave every
// name distinct, so no file is marked.
void BM_ReplacePairsChangeToMarks(benchmark::State& state) {
    const bool patterns = state.range(0) != 0;
    qm::RenameOptionSet options;
    options.ReplaceGroup = options.ReplaceEnabled = true;
    options.ReplaceRegularExpressions = patterns;
    options.ReplaceCount = 3;
    if (patterns) {
        options.ReplacePairs[0] = {"^file", "pic"};
        options.ReplacePairs[1] = {"_", "-"};
        options.ReplacePairs[2] = {"(\\d{3})(\\d{3})", "$2$1"};
    } else {
        options.ReplacePairs[0] = {"file", "pic"};
        options.ReplacePairs[1] = {"_", "-"};
        options.ReplacePairs[2] = {"9", "nine"};
    }
    ChangeToMarks(state, options, false);
}

void BM_HandNamesChangeToMarks(benchmark::State& state) {
    ChangeToMarks(state, qm::RenameOptionSet{}, false, static_cast<int>(state.range(0)));
}

BENCHMARK(BM_ReplacePairsChangeToMarks)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);

BENCHMARK(BM_OptionChangeToMarks)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);

BENCHMARK(BM_HandNamesChangeToMarks)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    return qm::bench::RunWindowBenchmarks(argc, argv, BaseFolder());
}
