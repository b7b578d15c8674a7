// The file list in the window with a folder of 100,000 files: adding it through the
// window (folder walk, properties, one sorted merge, the view told once) next to the
// file-list core's own add of the same files, sorting it by new name with every option
// group on, and painting one screen of rows with all eight columns. BM_WindowNamesAsText:
// "Edit new names as text..." on all 100,000 rows, from the command to the dialog shown
// with its text ("open_ms") and from OK to the names typed by hand shown ("ok_ms"), with
// one line changed (Arg 1) or every line (Arg 100000).
//
// Runs under QT_QPA_PLATFORM (offscreen unless set), with a private settings folder.
// The folder is made once in /tmp and removed at the end.
// Run: build/bin/filelistview_bench

#include "app/commandline.h"
#include "app/mainwindow.h"
#include "app/options/optiontabs.h"
#include "bench/support/windowbench.h"
#include "filelist/entrycomparer.h"
#include "filelist/fileitem.h"
#include "filelist/filelist.h"
#include "filelist/folderwalk.h"
#include "filelist/iconnames.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTimer>
#include <QTreeView>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kFileCount = 100000;

class BigFolder {
public:
    static const BigFolder& Get() {
        static BigFolder folder;
        return folder;
    }
    const std::string& Path() const { return path_; }
    ~BigFolder() {
        for (const std::string& name : names_)
            ::unlink((path_ + name).c_str());
        ::rmdir(path_.c_str());
    }

private:
    BigFolder() {
        static const char* const words[] = {"Holiday", "report", "Scan",  "invoice", "IMG",
                                            "draft",   "Ärger",  "notes", "Zebra",   "élan"};
        static const char* const extensions[] = {".jpg",  ".png",    ".txt", ".pdf", ".mp3",
                                                 ".docx", ".tar.gz", "",     ".JPG", ".cpp"};
        std::mt19937 random(12345);
        std::string pattern = "/tmp/qm-listview-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        path_ = pattern + "/";
        for (int i = 0; i < kFileCount; ++i) {
            std::string name = std::string(words[random() % 10]) + ' ' +
                               std::to_string(random() % 100000) + '_' + std::to_string(i) +
                               extensions[random() % 10];
            const int fd = ::open((path_ + name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
            if (fd < 0)
                std::abort();
            ::close(fd);
            names_.push_back(std::move(name));
        }
    }
    std::string path_;
    std::vector<std::string> names_;
};

// The core alone: the walked names added with their properties, sorted by name once.
void BM_CoreAddMany(benchmark::State& state) {
    const auto entries = qm::WalkFolder(BigFolder::Get().Path(), false).Files;
    // One list for every run, emptied between runs outside the timing, as the window's
    // run does: both then start with the same warm type caches.
    qm::TIconNames icons;
    qm::TFileList list(icons);
    qm::TEntryComparer comparer;
    comparer.Install(list.Items());
    comparer.SetColumns({qm::ColumnId::Name, qm::ColumnId::NewName});
    for (auto _ : state) {
        state.PauseTiming();
        list.Items().Clear();
        state.ResumeTiming();
        list.Items().AddMany(entries);
        benchmark::DoNotOptimize(list.Items().Items(0));
    }
    state.SetItemsProcessed(state.iterations() * kFileCount);
}

qm::RenameOptionSet EveryGroupOptions() {
    qm::RenameOptionSet o;
    o.RemoveGroup = true;
    o.RemoveFront = true;
    o.RemoveFrontCount = 1;
    o.RemoveAllSpaces = true;
    o.ReplaceGroup = true;
    o.ConvertUnderscoreSpaces = true;
    o.InsertGroup = true;
    o.InsertFront = true;
    o.InsertFrontText = "New ";
    o.NumberIncEnabled = true;
    o.ShuffleGroup = true;
    o.AlterLogicFilename = true;
    o.FormatGroup = true;
    o.FormatTextEnabled = true;
    o.FormatFirstLetterUp = true;
    return o;
}

// What the new-name sort cost before each entry's name and key were made once per sort:
// two new names and a collation per comparison. Also checks that both give one order.
void BM_CoreSortByNewNameComparing(benchmark::State& state) {
    const auto entries = qm::WalkFolder(BigFolder::Get().Path(), false).Files;
    qm::TIconNames icons;
    qm::TFileList list(icons);
    qm::TEntryComparer comparer;
    comparer.Install(list.Items());
    comparer.SetColumns({qm::ColumnId::NewName});
    comparer.SetOptions(EveryGroupOptions());
    list.Items().AddMany(entries);
    std::vector<const qm::TFileItem*> byKeys;
    for (int i = 0; i < list.Items().Count(); ++i)
        byKeys.push_back(list.Items().Items(i));
    list.Items().SetOnCompare([&comparer](const qm::TFileItem& a, const qm::TFileItem& b) {
        return comparer.CompareEntries(a, b);
    });
    for (auto _ : state)
        list.Items().Sort();
    for (int i = 0; i < list.Items().Count(); ++i)
        if (list.Items().Items(i) != byKeys[static_cast<std::size_t>(i)])
            state.SkipWithError("the key sort and the comparison sort differ");
    state.SetItemsProcessed(state.iterations() * kFileCount);
}

using qm::bench::OpenWindow;

// The window: walk, properties, one merge, the view told once.
void BM_WindowAddFolder(benchmark::State& state) {
    BigFolder::Get();
    auto main = OpenWindow();
    for (auto _ : state) {
        state.PauseTiming();
        main->findChild<QAction*>(QStringLiteral("A_RemoveAllFiles"))->trigger();
        state.ResumeTiming();
        main->AddFolder(BigFolder::Get().Path(), false);
    }
    if (main->FileItems()->Items().Count() != kFileCount)
        state.SkipWithError("files missing");
    state.SetItemsProcessed(state.iterations() * kFileCount);
}

void EveryGroupOn(qm::TOptionTabs& t) {
    t.TrimGroup->setChecked(true);
    t.RemoveFrontInfo->setChecked(true);
    t.RemoveFront->setValue(1);
    t.RemoveAllSpaces->setChecked(true);
    t.ReplaceGroup->setChecked(true);
    t.ReplaceInfo->setChecked(true);
    t.UnderscoreSpace->setChecked(true);
    t.InsertGroup->setChecked(true);
    t.InsertFrontInfo->setChecked(true);
    t.InsertFront->setText(QStringLiteral("New "));
    t.IncValueInfo->setChecked(true);
    t.FormatGroup->setChecked(true);
    t.FormatInfo->setChecked(true);
    t.ShuffleGroup->setChecked(true);
    t.MoveInfo->setChecked(true);
}

// Each header click on the new-name column reverses the direction: one whole sort.
void BM_WindowSortByNewName(benchmark::State& state) {
    auto main = OpenWindow();
    main->AddFolder(BigFolder::Get().Path(), false);
    EveryGroupOn(main->Options());
    main->ApplyColumnSet("Name,NewName");
    main->FileListColumnClick(1);
    for (auto _ : state)
        main->FileListColumnClick(1);
    state.SetItemsProcessed(state.iterations() * kFileCount);
}

// One screen of rows with all eight columns, in the middle of the list.
void BM_WindowPaintOneScreen(benchmark::State& state) {
    auto main = OpenWindow();
    main->AddFolder(BigFolder::Get().Path(), false);
    EveryGroupOn(main->Options());
    main->ApplyColumnSet("Name,Path,NewName,PrevName,TypeName,Size,Attribute,ModDate");
    auto* list = main->findChild<QTreeView*>(QStringLiteral("FileList"));
    // A screen of rows as a maximised window on a 1080-line display shows it.
    list->setMinimumHeight(40 * list->sizeHintForRow(0));
    main->resize(1900, main->minimumSizeHint().height());
    QApplication::processEvents();
    list->scrollTo(list->model()->index(kFileCount / 2, 0));
    QApplication::processEvents();
    for (auto _ : state)
        list->viewport()->repaint();
    state.counters["rows"] =
        static_cast<double>(list->viewport()->height()) / list->sizeHintForRow(0);
}

void BM_WindowNamesAsText(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const bool everyLine = state.range(0) > 1;
    auto main = OpenWindow();
    main->AddFolder(BigFolder::Get().Path(), false);
    QAction* edit = main->findChild<QAction*>(QStringLiteral("A_EditNamesAsText"));
    QAction* forget = main->findChild<QAction*>(QStringLiteral("A_ForgetHandNames"));
    double openMs = 0;
    double okMs = 0;
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        Clock::time_point ok;
        QTimer::singleShot(0, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            auto* names = dialog->findChild<QPlainTextEdit*>(QStringLiteral("Names"));
            openMs = std::max(
                openMs, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            if (everyLine) {
                QString text = names->toPlainText();
                text.replace(QLatin1Char('\n'), QLatin1String("\nx"));
                names->setPlainText(QLatin1Char('x') + text);
            } else {
                QTextCursor cursor(names->document());
                cursor.insertText(QStringLiteral("x"));
            }
            ok = Clock::now();
            dialog->findChild<QPushButton*>(QStringLiteral("OkBtn"))->click();
        });
        edit->trigger();
        QApplication::processEvents();
        const Clock::time_point end = Clock::now();
        okMs = std::max(okMs, std::chrono::duration<double, std::milli>(end - ok).count());
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        if (!forget->isEnabled())
            state.SkipWithError("no name was typed by hand");
        forget->trigger();
    }
    state.counters["open_ms"] = openMs;
    state.counters["ok_ms"] = okMs;
}

BENCHMARK(BM_CoreAddMany)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CoreSortByNewNameComparing)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_WindowAddFolder)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_WindowSortByNewName)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_WindowPaintOneScreen)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_WindowNamesAsText)
    ->Arg(1)
    ->Arg(kFileCount)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    return qm::bench::RunWindowBenchmarks(argc, argv);
}
