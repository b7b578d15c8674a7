// A million files in one folder through the window. Run one case per process: each
// reports the process's peak resident memory ("peak_rss_mb", VmHWM), which covers
// everything the process did, so only a case run alone gives its own figure.
//
//   for c in Add Sort Marks PlainLoop WindowRename; do
//       nice -n 10 build/bin/millionwindow_bench --benchmark_filter="BM_Million$c"; done
//
// BM_MillionAdd: the folder added through the window's own path (walk, properties, one
// sorted merge, the progress window), checked that every file is listed and that the
// progress window showed; "stall_ms" is the longest the event loop went without turning
// during the add (the first half second the progress window waits before showing
// included), "stall_shown_ms" the longest once it showed; then "jump_end_ms" is a jump to
// the end of the list painted, and "screen_ms" one screen of rows painted there.
// BM_MillionSort: a click on the name column's header, to the marks of the reversed list.
// BM_MillionMarks: the time from an option change (a new prefix typed) to the marks of
// the new options shown; Arg 1 adds a running number with the first new name taken on
// disk, so that every row is marked. "change_ms" is the longest the window took to return
// from a change, "stall_ms" the longest its event loop went without turning meanwhile,
// "cpu_ms" the CPU time of all its threads per change (on a busy machine the wall time
// grows while this stays), "stall_cpu_ms" the window thread's own in its longest stall.
// BM_MillionPlainLoop / BM_MillionWindowRename: renameat2(RENAME_NOREPLACE) over a fresh
// folder against the window's Rename up to its closing message, journal included; the
// window's run is then undone through the window ("undo_ms", to its closing message) and
// every name checked back. "journal_mb" is the size of the journals the run left;
// "stall_ms" and "undo_stall_ms" are the longest the event loop went without turning
// from the click on Rename (or Undo) to its closing message, answered at once.
//
// Runs under QT_QPA_PLATFORM (offscreen unless set) with a private settings folder;
// QM_BENCH_DIR changes the parent folder of the files (default /dev/shm). Every folder is
// removed at the end, also when a check fails.

#include "app/commandline.h"
#include "app/list/filelistmodel.h"
#include "app/list/predictionrunner.h"
#include "app/mainwindow.h"
#include "app/options/optionmapping.h"
#include "bench/support/renamefiles.h"
#include "bench/support/windowbench.h"
#include "filelist/fileitems.h"
#include "filelist/filelist.h"
#include "settings/settings.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int FileCount = 1000000;

std::string BaseFolder() {
    return qm::bench::BenchFolder("million");
}

// "file_000000.jpg" ...: made one at a time, so the names never sit in memory together
// and the peak of the process stays the window's.
std::string Name(const char* prefix, int i) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%06d.jpg", prefix, i);
    return name;
}

std::string MakeFolder() {
    static int serial = 0;
    const std::string dir = BaseFolder() + "/run" + std::to_string(serial++) + "/";
    fs::create_directories(dir);
    for (int i = 0; i < FileCount; ++i) {
        const int fd =
            ::open((dir + Name("file_", i)).c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
        if (fd < 0)
            std::abort();
        ::close(fd);
    }
    return dir;
}

// Whether the folder holds exactly the names `prefix` gives to 0 .. FileCount - 1.
bool HoldsAll(const std::string& dir, const char* prefix) {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        count += name.starts_with(prefix) ? 1 : 0;
    }
    if (count != FileCount)
        return false;
    for (int i = 0; i < FileCount; i += 9973)
        if (::access((dir + Name(prefix, i)).c_str(), F_OK) != 0)
            return false;
    return ::access((dir + Name(prefix, FileCount - 1)).c_str(), F_OK) == 0;
}

double PeakRssMb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmHWM:"))
            return std::stod(line.substr(6)) / 1024.0;
    return -1;
}

// The CPU time of every thread of the process so far: what a change costs whatever else
// the machine runs meanwhile.
double CpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) {
        return t.tv_sec * 1e3 + t.tv_usec / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

using qm::bench::OpenWindow;

QTreeView* FileList(qm::TMain& main) {
    return main.findChild<QTreeView*>(QStringLiteral("FileList"));
}

// The processor time of the calling thread.
double ThreadCpuMs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The longest the event loop went without turning, from a timer that asks every
// millisecond, with the window thread's processor time in that gap (less than the gap:
// the thread waited, for a lock or for a processor); and whether the add's progress
// window showed, with the longest gap since. QM_BENCH_GAPS=ms prints every gap from that
// long on, with the monotonic clock at its end (perf record -k CLOCK_MONOTONIC).
class StallProbe : public QObject {
public:
    double longestMs = 0;
    double longestCpuMs = 0;
    double longestShownMs = 0;
    bool progressShown = false;

    StallProbe() {
        if (const char* gaps = std::getenv("QM_BENCH_GAPS"))
            printFrom_ = std::atof(gaps);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const double gap = static_cast<double>(tick_.restart());
            const double cpu = ThreadCpuMs();
            if (gap > longestMs)
                longestCpuMs = cpu - cpu_;
            if (printFrom_ > 0 && gap >= printFrom_) {
                timespec end{};
                ::clock_gettime(CLOCK_MONOTONIC, &end);
                std::fprintf(stderr, "gap %.0f ms (thread cpu %.1f ms) ending at %ld.%06ld\n", gap,
                             cpu - cpu_, static_cast<long>(end.tv_sec), end.tv_nsec / 1000);
            }
            cpu_ = cpu;
            longestMs = std::max(longestMs, gap);
            if (progressShown && counted_)
                longestShownMs = std::max(longestShownMs, gap);
            counted_ = progressShown;
        });
        qApp->installEventFilter(this);
        tick_.start();
        cpu_ = ThreadCpuMs();
        timer_.start(1);
    }
    ~StallProbe() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && qobject_cast<QProgressDialog*>(watched) != nullptr &&
            watched->objectName() == QLatin1String("AddProgress"))
            progressShown = true;
        return false;
    }

private:
    QTimer timer_;
    QElapsedTimer tick_;
    double cpu_ = 0;
    double printFrom_ = 0;
    bool counted_ = false;
};

// The marks of the window's latest prediction, waited for.
class MarksWatch {
public:
    explicit MarksWatch(qm::TMain& main)
        : runner_(main.findChild<qm::TPredictionRunner*>(QStringLiteral("Prediction"))) {
        QObject::connect(runner_, &qm::TPredictionRunner::delivered,
                         [this](quint64 generation) { shown_ = generation; });
    }
    // Sleeps until an event comes (a probe's timer wakes it every millisecond): the
    // overload with a time limit returns at once when nothing is pending, and waiting with
    // it spun a core that the prediction then lacked.
    void Wait() {
        while (shown_ != runner_->Generation())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

private:
    qm::TPredictionRunner* runner_;
    quint64 shown_ = 0;
};

void BM_MillionAdd(benchmark::State& state) {
    const std::string dir = MakeFolder();
    auto main = OpenWindow();
    QTreeView* list = FileList(*main);
    StallProbe probe;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        main->AddFolder(dir, false);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    const double stall = probe.longestMs;
    const double stallShown = probe.longestShownMs;
    const bool shown = probe.progressShown;
    if (main->FileItems()->Items().Count() != FileCount || list->model()->rowCount() != FileCount)
        state.SkipWithError("not every file is listed");
    else if (!shown)
        state.SkipWithError("the progress window never showed");
    // A screen of rows with all eight columns, as a maximised window on a 1080-line
    // display shows it.
    main->ApplyColumnSet("Name,Path,NewName,PrevName,TypeName,Size,Attribute,ModDate");
    list->setMinimumHeight(40 * list->sizeHintForRow(0));
    main->resize(1900, main->minimumSizeHint().height());
    QApplication::processEvents();

    Clock::time_point start = Clock::now();
    list->scrollToBottom();
    list->viewport()->repaint();
    const double jumpMs = Ms(Clock::now() - start);
    if (!list->viewport()->rect().contains(
            list->visualRect(list->model()->index(FileCount - 1, 0)).bottomLeft()))
        state.SkipWithError("the jump did not reach the last row");
    constexpr int Screens = 20;
    start = Clock::now();
    for (int i = 0; i < Screens; ++i)
        list->viewport()->repaint();
    state.counters["screen_ms"] = Ms(Clock::now() - start) / Screens;
    state.counters["jump_end_ms"] = jumpMs;
    state.counters["rows_on_screen"] =
        static_cast<double>(list->viewport()->height()) / list->sizeHintForRow(0);
    state.counters["stall_ms"] = stall;
    state.counters["stall_shown_ms"] = stallShown;
    state.counters["peak_rss_mb"] = PeakRssMb();
}

void BM_MillionMarks(benchmark::State& state) {
    const bool numbered = state.range(0) != 0;
    const std::string dir = MakeFolder();
    auto main = OpenWindow();
    main->AddFolder(dir, false);
    auto* model = qobject_cast<qm::TFileListModel*>(FileList(*main)->model());
    qm::RenameOptionSet options;
    options.InsertGroup = options.InsertFront = true;
    options.InsertFrontText = "p";
    options.NumberIncEnabled = numbered;
    qm::ApplyOptionsToControls(main->Options(), options);
    main->RefreshOptionControls();
    auto* front = main->findChild<QLineEdit*>(QStringLiteral("InsertFront"));
    MarksWatch marks(*main);
    marks.Wait();
    StallProbe probe;
    double changeMs = 0;
    double cpuMs = 0;
    int marked = -1;
    int serial = 0;
    for (auto _ : state) {
        const std::string prefix = "q" + std::to_string(serial++) + "_";
        // The first file's new name exists already: every file after it would get a lower
        // number than the column shows.
        if (numbered)
            std::ofstream(dir + prefix + "file_0000000.jpg");
        const double cpuStart = CpuMs();
        const Clock::time_point start = Clock::now();
        front->setText(QString::fromStdString(prefix));
        changeMs = std::max(changeMs, Ms(Clock::now() - start));
        marks.Wait();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        cpuMs += CpuMs() - cpuStart;
        marked = model->MarkCount();
    }
    if (marked != (numbered ? FileCount : 0))
        state.SkipWithError("the marks are not the ones expected");
    state.counters["marked"] = marked;
    state.counters["change_ms"] = changeMs;
    state.counters["cpu_ms"] = cpuMs / static_cast<double>(state.iterations());
    state.counters["stall_ms"] = probe.longestMs;
    state.counters["stall_cpu_ms"] = probe.longestCpuMs;
    state.counters["peak_rss_mb"] = PeakRssMb();
}

void BM_MillionPlainLoop(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        const std::string dir = MakeFolder();
        state.ResumeTiming();
        const int folder = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        char from[32];
        char to[32];
        for (int i = 0; i < FileCount; ++i) {
            std::snprintf(from, sizeof from, "file_%06d.jpg", i);
            std::snprintf(to, sizeof to, "pic_%06d.jpg", i);
            if (renameat2(folder, from, folder, to, RENAME_NOREPLACE) != 0)
                state.SkipWithError("renameat2 failed");
        }
        ::close(folder);
        state.PauseTiming();
        if (!HoldsAll(dir, "pic_"))
            state.SkipWithError("not every file was renamed");
        fs::remove_all(dir);
        state.ResumeTiming();
    }
    state.counters["peak_rss_mb"] = PeakRssMb();
}

using qm::bench::MessageWatch;

std::uintmax_t FolderBytes(const std::string& dir) {
    std::uintmax_t bytes = 0;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(dir, error))
        if (entry.is_regular_file())
            bytes += entry.file_size();
    return bytes;
}

void BM_MillionWindowRename(benchmark::State& state) {
    auto main = OpenWindow();
    main->Settings()->ShowRenameSuccess = true;
    qm::RenameOptionSet options;
    options.ReplaceGroup = options.ReplaceEnabled = true;
    options.ReplaceCount = 1;
    options.ReplacePairs[0] = {"file_", "pic_"};
    qm::ApplyOptionsToControls(main->Options(), options);
    main->RefreshOptionControls();
    QAction* rename = main->findChild<QAction*>(QStringLiteral("A_RenameFiles"));
    QAction* undo = main->findChild<QAction*>(QStringLiteral("A_Undo"));
    QAction* removeAll = main->findChild<QAction*>(QStringLiteral("A_RemoveAllFiles"));
    const std::string journals = qEnvironmentVariable("XDG_STATE_HOME").toStdString();
    MessageWatch watch;
    qApp->installEventFilter(&watch);
    double undoMs = 0;
    double journalMb = 0;
    double renameStallMs = 0;
    double undoStallMs = 0;
    for (auto _ : state) {
        removeAll->trigger();
        const std::string dir = MakeFolder();
        main->AddFolder(dir, false);
        QApplication::processEvents();
        const std::uintmax_t journalBefore = FolderBytes(journals);
        watch.text.clear();
        Clock::time_point start = Clock::now();
        {
            StallProbe probe;
            rename->trigger();
            renameStallMs = std::max(renameStallMs, probe.longestMs);
        }
        state.SetIterationTime(std::chrono::duration<double>(watch.shown - start).count());
        journalMb = static_cast<double>(FolderBytes(journals) - journalBefore) / (1 << 20);
        const bool renamed =
            watch.text.startsWith(QStringLiteral("Files renamed: %1\n").arg(FileCount)) &&
            HoldsAll(dir, "pic_");
        watch.text.clear();
        start = Clock::now();
        {
            StallProbe probe;
            undo->trigger();
            undoStallMs = std::max(undoStallMs, probe.longestMs);
        }
        undoMs = Ms(watch.shown - start);
        const bool back =
            watch.text.startsWith(QStringLiteral("Names restored: %1\n").arg(FileCount)) &&
            HoldsAll(dir, "file_");
        fs::remove_all(dir);
        if (!renamed)
            state.SkipWithError("not every file was renamed");
        else if (!back)
            state.SkipWithError("not every file came back");
    }
    qApp->removeEventFilter(&watch);
    state.counters["undo_ms"] = undoMs;
    state.counters["journal_mb"] = journalMb;
    state.counters["stall_ms"] = renameStallMs;
    state.counters["undo_stall_ms"] = undoStallMs;
    state.counters["peak_rss_mb"] = PeakRssMb();
}

// A click on the name column's header, reversing the order of a million rows, to the
// marks of the list in its new order shown; "stall_ms" the longest the event loop went
// without turning meanwhile.
void BM_MillionSort(benchmark::State& state) {
    const std::string dir = MakeFolder();
    auto main = OpenWindow();
    main->AddFolder(dir, false);
    MarksWatch marks(*main);
    marks.Wait();
    StallProbe probe;
    double clickMs = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        main->FileListColumnClick(0);
        clickMs = std::max(clickMs, Ms(Clock::now() - start));
        marks.Wait();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    state.counters["click_ms"] = clickMs;
    state.counters["stall_ms"] = probe.longestMs;
    state.counters["stall_cpu_ms"] = probe.longestCpuMs;
    state.counters["peak_rss_mb"] = PeakRssMb();
}

BENCHMARK(BM_MillionAdd)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_MillionSort)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);
BENCHMARK(BM_MillionMarks)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK(BM_MillionPlainLoop)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MillionWindowRename)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);

} // namespace

int main(int argc, char** argv) {
    return qm::bench::RunWindowBenchmarks(argc, argv, BaseFolder());
}
