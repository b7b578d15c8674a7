// Renaming 10,000 and 100,000 empty files through the window (the rename action, the
// worker, the progress window, up to the closing message) against a plain loop of
// renameat2(RENAME_NOREPLACE) over a fresh copy of the same folder. Each repetition makes
// its folder afresh and lists it in the window outside the timing. The window's figure
// is the time from the action to the closing message (manual time); "to_idle_ms" adds
// the sort with the new names after the message.
//
//   build/bin/renamewindow_bench
//
// Runs under QT_QPA_PLATFORM (offscreen unless set) with a private settings folder;
// QM_BENCH_DIR changes the parent folder (default /dev/shm).

#include "app/commandline.h"
#include "app/mainwindow.h"
#include "app/options/optionmapping.h"
#include "bench/support/renamefiles.h"
#include "bench/support/windowbench.h"
#include "filelist/fileitems.h"
#include "filelist/filelist.h"
#include "settings/settings.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string BaseFolder() {
    return qm::bench::BenchFolder("window");
}

std::vector<std::string> Names(int count) {
    return qm::bench::NumberedNames(count);
}

std::string MakeFolder(const std::vector<std::string>& names) {
    return qm::bench::MakeFolderOfFiles(BaseFolder(), names);
}

bool AllRenamed(const std::string& dir, std::size_t count) {
    std::size_t renamed = 0;
    for (const auto& entry : fs::directory_iterator(dir))
        renamed += entry.path().filename().string().starts_with("pic_");
    fs::remove_all(dir);
    return renamed == count;
}

void BM_PlainRenameat2Loop(benchmark::State& state) {
    const std::vector<std::string> names = Names(static_cast<int>(state.range(0)));
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
        if (!AllRenamed(dir, names.size()))
            state.SkipWithError("not every file was renamed");
        state.ResumeTiming();
    }
}

using qm::bench::MessageWatch;

void BM_WindowRename(benchmark::State& state) {
    const std::vector<std::string> names = Names(static_cast<int>(state.range(0)));
    qm::TMain main{qm::CommandLine{}};
    main.show();
    main.Settings()->ShowRenameSuccess = true;
    qm::RenameOptionSet options;
    options.ReplaceGroup = options.ReplaceEnabled = true;
    options.ReplaceCount = 1;
    options.ReplacePairs[0] = {"file_", "pic_"};
    qm::ApplyOptionsToControls(main.Options(), options);
    main.RefreshOptionControls();
    QAction* rename = main.findChild<QAction*>(QStringLiteral("A_RenameFiles"));
    QAction* removeAll = main.findChild<QAction*>(QStringLiteral("A_RemoveAllFiles"));
    MessageWatch watch;
    qApp->installEventFilter(&watch);
    double toIdleMs = 0;
    for (auto _ : state) {
        removeAll->trigger();
        const std::string dir = MakeFolder(names);
        main.AddFolder(dir, false);
        QApplication::processEvents();
        watch.text.clear();
        const Clock::time_point start = Clock::now();
        rename->trigger();
        const Clock::time_point idle = Clock::now();
        state.SetIterationTime(std::chrono::duration<double>(watch.shown - start).count());
        toIdleMs += std::chrono::duration<double, std::milli>(idle - start).count();
        if (!watch.text.startsWith(QStringLiteral("Files renamed: %1\n").arg(names.size())) ||
            !AllRenamed(dir, names.size()))
            state.SkipWithError("not every file was renamed");
    }
    qApp->removeEventFilter(&watch);
    state.counters["to_idle_ms"] = toIdleMs / static_cast<double>(state.iterations());
}

BENCHMARK(BM_PlainRenameat2Loop)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_WindowRename)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    return qm::bench::RunWindowBenchmarks(argc, argv, BaseFolder());
}
