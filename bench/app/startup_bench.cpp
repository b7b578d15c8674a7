// Time from creating the main window to its first showing (settings read, start counted,
// program registered, language clients opened, controls filled, window mapped and
// painted), with an empty store and with a store holding 200 schemes and 99 pairs.
//
// Runs under QT_QPA_PLATFORM (offscreen unless set; use xvfb-run for the X11 path), with
// a private temporary settings folder. Built into build/bin beside the language files.

#include "app/commandline.h"
#include "app/mainwindow.h"
#include "settings/settings.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <string>

namespace {

void UseStore(const QTemporaryDir& dir) {
    qputenv("XDG_CONFIG_HOME", (dir.path() + "/home").toUtf8());
    qputenv("XDG_CONFIG_DIRS", (dir.path() + "/etc").toUtf8());
    // Start-up looks for an interrupted run in the journals: none of the user's.
    qputenv("XDG_STATE_HOME", (dir.path() + "/state").toUtf8());
}

void FillStore() {
    qm::TSettings settings;
    settings.Load();
    qm::RenameOptionSet& options = settings.Options;
    options.ReplaceGroup = true;
    options.ReplaceEnabled = true;
    options.ReplaceCount = qm::MaxReplacePairs;
    for (int i = 0; i < qm::MaxReplacePairs; ++i) {
        options.ReplacePairs[static_cast<std::size_t>(i)] = {"find " + std::to_string(i),
                                                             "with " + std::to_string(i)};
    }
    for (int i = 0; i < 200; ++i) {
        settings.Schemas.SaveOptions("Scheme " + std::to_string(i), options);
    }
    settings.CurrentSchema = "Scheme 150";
    settings.Save();
}

void ShowMainWindow(benchmark::State& state, bool filled) {
    QTemporaryDir dir;
    UseStore(dir);
    if (filled) {
        FillStore();
    }
    for (auto _ : state) {
        qm::TMain main{qm::CommandLine{}};
        main.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(&main);
    }
}

void BM_ShowEmptyStore(benchmark::State& state) {
    ShowMainWindow(state, false);
}
void BM_Show200Schemes99Pairs(benchmark::State& state) {
    ShowMainWindow(state, true);
}

BENCHMARK(BM_ShowEmptyStore)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_Show200Schemes99Pairs)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
