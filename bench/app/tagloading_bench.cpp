// Tags in the new names, in the window: 10,000 small JPEGs with EXIF data (Arg 0, front
// text "<taken:yyyy-MM-dd> ") or 10,000 MP3s with tags (Arg 1, "<track:2> <title> ") in
// one folder; Arg 2: both, 20,000 files ("<taken:yyyy-MM-dd|title> ", which reads every
// file for both kinds of data). Each iteration opens a window on the files, whose tags
// were never read, turns on tags in the Insert tab with that text and times the option
// change to every new name shown ("names", the manual time), and to the prediction's
// marks after them ("marks_ms"). "ui_stall_ms" is the longest the window's event loop
// went without turning meanwhile ("names_stall_ms": until the names are shown),
// "change_ms" the longest it took to return from the change.
//
//   build/bin/tagloading_bench
//
// Runs under QT_QPA_PLATFORM (offscreen unless set) with a private settings folder;
// QM_BENCH_DIR changes the parent folder of the files (default /dev/shm).

#include "app/commandline.h"
#include "app/list/filelistmodel.h"
#include "app/list/predictionrunner.h"
#include "app/list/tagloader.h"
#include "app/mainwindow.h"
#include "app/options/optionmapping.h"
#include "bench/support/renamefiles.h"
#include "bench/support/windowbench.h"
#include "filelist/fileitems.h"
#include "filelist/filelist.h"
#include "tests/support/mediafiles.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QTreeView>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int FileCount = 10000;

std::string BaseFolder() {
    return qm::bench::BenchFolder("tags");
}

// The files, made once per kind; every tenth photo has no date taken.
void MakeFiles(const std::string& dir, bool music) {
    fs::create_directories(dir);
    for (int i = 0; i < FileCount; ++i) {
        const std::string n = std::to_string(100000 + i);
        if (music) {
            qm::test::WriteMusic(
                dir + "song" + n + ".mp3", qm::test::MusicKind::Mp3,
                {"Artist", "", "Album", "Title " + n, "", std::to_string(i % 20 + 1), "", "1999"});
        } else {
            qm::test::PhotoFields fields;
            if (i % 10 != 0)
                fields.Taken = "2024:05:" + std::to_string(10 + i % 18) + " 07:08:09";
            qm::test::WriteJpeg(dir + "photo" + n + ".jpg", fields);
        }
    }
}

void BM_TagsToNames(benchmark::State& state) {
    const bool both = state.range(0) == 2;
    const bool music = state.range(0) == 1;
    std::vector<qm::TFileItems::NewEntry> files;
    for (const bool kind : {false, true}) {
        if (both || kind == music) {
            const std::string dir = BaseFolder() + (kind ? "/music/" : "/photos/");
            if (!fs::exists(dir))
                MakeFiles(dir, kind);
            for (const auto& file : fs::directory_iterator(dir))
                files.push_back({file.path().filename().string(), dir});
        }
    }
    double stallMs = 0;
    double namesStallMs = 0; // until every name is shown
    double changeMs = 0;
    double marksMs = 0;
    int tagMarks = 0;
    for (auto _ : state) {
        qm::TMain main{qm::CommandLine{}};
        main.show();
        auto* view = main.findChild<QTreeView*>(QStringLiteral("FileList"));
        auto* model = qobject_cast<qm::TFileListModel*>(view->model());
        auto* loader = main.findChild<qm::TTagLoader*>(QStringLiteral("TagLoader"));
        auto* runner = main.findChild<qm::TPredictionRunner*>(QStringLiteral("Prediction"));
        {
            std::vector<qm::TFileItems::NewEntry> entries = files;
            const qm::TFileListModel::Change change(*model);
            main.FileItems()->Items().AddNamesOnly(std::move(entries));
        }
        quint64 shown = 0;
        QObject::connect(runner, &qm::TPredictionRunner::delivered,
                         [&shown](quint64 generation) { shown = generation; });
        qm::RenameOptionSet options;
        options.InsertGroup = options.InsertFront = options.InsertTags = true;
        options.InsertFrontText = both    ? "<taken:yyyy-MM-dd|title> "
                                  : music ? "<track:2> <title> "
                                          : "<taken:yyyy-MM-dd> ";
        qm::ApplyOptionsToControls(main.Options(), options);

        QElapsedTimer tick;
        tick.start();
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout,
                         [&] { stallMs = std::max(stallMs, static_cast<double>(tick.restart())); });
        probe.start(1);
        const Clock::time_point start = Clock::now();
        main.RefreshOptionControls();
        changeMs = std::max(
            changeMs, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        const int last = model->rowCount() - 1;
        const auto allShown = [&] {
            return !loader->Reading() &&
                   model->index(last, 1).data().toString() != qm::PendingNameText() &&
                   model->index(0, 1).data().toString() != qm::PendingNameText();
        };
        while (!allShown())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        namesStallMs = std::max(namesStallMs, stallMs);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        while (shown == 0 || shown != runner->Generation())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        marksMs = std::max(marksMs,
                           std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        probe.stop();
        const qm::TMarkCounts& counts = model->MarkCounts();
        tagMarks = counts.MissingTaken + counts.MissingOther + counts.Unknown;
    }
    if (tagMarks != (music ? 0 : FileCount / 10))
        state.SkipWithError("the tag marks are not the ones expected");
    state.counters["ui_stall_ms"] = stallMs;
    state.counters["names_stall_ms"] = namesStallMs;
    state.counters["change_ms"] = changeMs;
    state.counters["marks_ms"] = marksMs;
    state.counters["tag_marks"] = tagMarks;
}

BENCHMARK(BM_TagsToNames)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    return qm::bench::RunWindowBenchmarks(argc, argv, BaseFolder());
}
