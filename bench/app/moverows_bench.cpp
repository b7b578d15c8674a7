// Moving rows of a 100,000-row list through the window, each step as the user feels it:
// the action triggered and the events it leaves behind handled (the view laid out and
// the rows in sight painted with their running numbers). Up and down alternate, so that
// every step moves every run; the time of a case is the time of one step.
//
// BM_MoveScattered: 1,000 selected rows, one in every hundred, moved by Ctrl+Down and
// Ctrl+Up (the Edit menu's actions).
// BM_MoveBlock: one block of 50,000 selected rows in the middle, the same.
// BM_DropBlock: the same block dropped at the end and at the top in turn, as a drag
// within the list lets it go.
//
// Runs under QT_QPA_PLATFORM (offscreen unless set) with a private settings folder. The
// files need not exist: a move reads nothing on disk.
// Run: build/bin/moverows_bench

#include "app/list/filelistmodel.h"
#include "app/list/rowdrag.h"
#include "app/mainwindow.h"
#include "app/options/optiontabs.h"
#include "bench/support/windowbench.h"
#include "filelist/fileitems.h"
#include "filelist/filelist.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QItemSelection>
#include <QMimeData>
#include <QTreeView>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int RowCount = 100000;

struct Window {
    std::unique_ptr<qm::TMain> main = qm::bench::OpenWindow();
    QTreeView* list = main->findChild<QTreeView*>(QStringLiteral("FileList"));

    Window() {
        std::vector<qm::TFileItems::NewEntry> entries;
        entries.reserve(RowCount);
        for (int i = 0; i < RowCount; ++i)
            entries.push_back({"file " + std::to_string(i) + ".jpg", "/nonexistent-qm-bench/"});
        auto* model = qobject_cast<qm::TFileListModel*>(list->model());
        {
            const qm::TFileListModel::Change change(*model);
            main->FileItems()->Items().AddMany(entries);
        }
        // A running number in the new names, which follows the rows.
        main->Options().InsertGroup->setChecked(true);
        main->Options().IncValueInfo->setChecked(true);
        QApplication::processEvents();
    }

    void Select(int first, int count, int every) {
        // One range per run of rows, as a user's clicks make them.
        const QAbstractItemModel* model = list->model();
        const int last = model->columnCount() - 1;
        QItemSelection selection;
        if (every == 1) {
            selection.select(model->index(first, 0), model->index(first + count - 1, last));
        } else {
            for (int i = 0; i < count; ++i) {
                const int row = first + i * every;
                selection.append(
                    QItemSelectionRange(model->index(row, 0), model->index(row, last)));
            }
        }
        list->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect |
                                                      QItemSelectionModel::Rows);
        list->selectionModel()->setCurrentIndex(list->model()->index(first, 0),
                                                QItemSelectionModel::NoUpdate);
        list->scrollTo(list->currentIndex());
        QApplication::processEvents();
    }

    QAction* Action(const char* name) const {
        return main->findChild<QAction*>(QString::fromLatin1(name));
    }
};

std::vector<int> Selected(const Window& window) {
    std::vector<int> rows;
    for (const QModelIndex& index : window.list->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

// Up and down (or end and top) in turn; checks that the selection followed its rows.
void Steps(benchmark::State& state, Window& window, int count,
           const std::function<void(bool forth)>& step) {
    const qm::TFileItems& items = window.main->FileItems()->Items();
    const qm::TFileItem* current = items.Items(window.list->currentIndex().row());
    bool forth = true;
    for (auto _ : state) {
        step(forth);
        QApplication::processEvents();
        forth = !forth;
    }
    QItemSelectionModel* selection = window.list->selectionModel();
    if (items.Items(window.list->currentIndex().row()) != current ||
        selection->selectedRows().size() != count ||
        !selection->isSelected(window.list->currentIndex()))
        state.SkipWithError("the selection did not follow its rows");
}

void MoveByKeys(benchmark::State& state, int first, int count, int every) {
    Window window;
    window.Select(first, count, every);
    const std::vector<int> start = Selected(window);
    QAction* down = window.Action("A_MoveDown");
    QAction* up = window.Action("A_MoveUp");
    Steps(state, window, count, [&](bool forth) { (forth ? down : up)->trigger(); });
    // After an odd number of steps every row stands one place lower.
    std::vector<int> expected = start;
    if (state.iterations() % 2 == 1)
        for (int& row : expected)
            ++row;
    if (Selected(window) != expected)
        state.SkipWithError("a step did not move every run");
}

void BM_MoveScattered(benchmark::State& state) {
    MoveByKeys(state, 50, 1000, RowCount / 1000);
}

void BM_MoveBlock(benchmark::State& state) {
    MoveByKeys(state, RowCount / 4, RowCount / 2, 1);
}

void BM_DropBlock(benchmark::State& state) {
    Window window;
    const int count = RowCount / 2;
    window.Select(RowCount / 4, count, 1);
    auto* drag = window.list->findChild<qm::TRowDrag*>();
    const std::unique_ptr<QMimeData> rows(drag->MimeData());
    QWidget* viewport = window.list->viewport();
    Steps(state, window, count, [&](bool forth) {
        // The rows in sight are the block's: below the last row is the end, and the top
        // half of the first row in sight is in front of it.
        window.list->scrollTo(window.list->model()->index(forth ? RowCount - 1 : 0, 0));
        const QPoint at = forth ? QPoint(5, viewport->height() - 2) : QPoint(5, 2);
        // A drop goes where the drag entered.
        QDragEnterEvent enter(at, Qt::MoveAction, rows.get(), Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &enter);
        QDropEvent drop(at, Qt::MoveAction, rows.get(), Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &drop);
    });
    const std::vector<int> selected = Selected(window);
    const int first = state.iterations() % 2 == 1 ? RowCount - count : 0;
    if (selected.front() != first || selected.back() != first + count - 1)
        state.SkipWithError("a drop did not move the block");
}

} // namespace

BENCHMARK(BM_MoveScattered)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MoveBlock)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DropBlock)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    return qm::bench::RunWindowBenchmarks(argc, argv);
}
