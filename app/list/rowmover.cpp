#include "app/list/rowmover.h"

#include "app/list/listcolumns.h"
#include "filelist/fileitems.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QSignalBlocker>
#include <vector>

namespace qm {

TRowMover::TRowMover(QAbstractItemView& view, TFileListModel& model, TListColumns& columns,
                     TFileItems& items, QObject* parent)
    : QObject(parent), view_(view), model_(model), columns_(columns), items_(items) {}

bool TRowMover::CanMove() const {
    const QItemSelectionModel* selection = view_.selectionModel();
    return selection != nullptr && selection->hasSelection() && !items_.Updating();
}

void TRowMover::MoveUp() {
    Move([](TFileItems& items, const std::vector<int>& rows) { return items.MoveUp(rows); });
}

void TRowMover::MoveDown() {
    Move([](TFileItems& items, const std::vector<int>& rows) { return items.MoveDown(rows); });
}

void TRowMover::MoveTo(int place) {
    Move([place](TFileItems& items, const std::vector<int>& rows) {
        return items.MoveTo(rows, place);
    });
}

void TRowMover::Move(const TFileListModel::RowMove& move) {
    if (!CanMove()) {
        return;
    }
    // From the selection's ranges (whole rows): asking the selection row by row costs a
    // walk of all its ranges per row, which a scattered selection of thousands feels.
    std::vector<int> rows;
    for (const QItemSelectionRange& range : view_.selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            rows.push_back(row);
        }
    }
    const std::vector<int> before = items_.ValidSlots(rows);
    // Through a change of the layout the selection model keeps one persistent index per
    // selected row, and on 50,000 rows keeping them up to date is most of a step: the
    // moved rows are selected anew instead, one range per run. The view repaints what it
    // shows after the change anyway.
    QItemSelectionModel& selection = *view_.selectionModel();
    {
        const QSignalBlocker quiet(selection);
        selection.clearSelection();
    }
    const std::vector<int> after = model_.MoveRows(before, move);
    QItemSelection runs;
    const int lastColumn = model_.columnCount() - 1;
    for (std::size_t first = 0; first < after.size();) {
        std::size_t last = first;
        while (last + 1 < after.size() && after[last + 1] == after[last] + 1) {
            ++last;
        }
        runs.append(QItemSelectionRange(model_.index(after[first], 0),
                                        model_.index(after[last], lastColumn)));
        first = last + 1;
    }
    selection.select(runs, QItemSelectionModel::Select);
    if (after == before) {
        return;
    }
    columns_.ShowSortIndicator();
    const QModelIndex current = view_.currentIndex();
    view_.scrollTo(current.isValid() && selection.isSelected(current)
                       ? current
                       : model_.index(after.front(), 0));
    emit moved();
}

} // namespace qm
