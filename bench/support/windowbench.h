#pragma once

// main() of a benchmark that drives the windows: offscreen unless QT_QPA_PLATFORM says
// otherwise, with private runtime and settings folders, never the user's own.

#include "app/commandline.h"
#include "app/mainwindow.h"

#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

namespace qm::bench {

// The main window at the size of a laptop screen, shown and laid out.
inline std::unique_ptr<TMain> OpenWindow() {
    auto main = std::make_unique<TMain>(CommandLine{});
    main->resize(1180, 760);
    main->show();
    QApplication::processEvents();
    return main;
}

// Notes when a closing message shows, and answers it.
class MessageWatch : public QObject {
public:
    std::chrono::steady_clock::time_point shown;
    QString text;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            if (auto* box = qobject_cast<QMessageBox*>(watched)) {
                shown = std::chrono::steady_clock::now();
                text = box->text();
                QTimer::singleShot(0, box, &QDialog::accept);
            }
        }
        return false;
    }
};

// `benchFolder`, when given, is the folder the benchmarks made their files in; it goes at
// the end.
inline int RunWindowBenchmarks(int argc, char** argv, const std::string& benchFolder = {}) {
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
    if (!benchFolder.empty())
        std::filesystem::remove_all(benchFolder);
    return 0;
}

} // namespace qm::bench
