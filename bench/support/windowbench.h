#pragma once

// main() of a benchmark that drives the windows: offscreen unless QT_QPA_PLATFORM says
// otherwise, with private runtime and settings folders, never the user's own.

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace qm::bench {

inline int RunWindowBenchmarks(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    QTemporaryDir store;
    qputenv("XDG_CONFIG_HOME", (store.path() + "/home").toUtf8());
    qputenv("XDG_CONFIG_DIRS", (store.path() + "/etc").toUtf8());
    // Runs through the window are journaled; their journals belong to the benchmark.
    qputenv("XDG_STATE_HOME", (store.path() + "/state").toUtf8());
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace qm::bench
