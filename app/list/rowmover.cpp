#include "app/list/rowmover.h"

#include "app/list/listcolumns.h"
#include "filelist/fileitems.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
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
    const std::vector<int> after = model_.MoveRows(before, move);
    if (after == before) {
        return;
    }
    columns_.ShowSortIndicator();
    const QModelIndex current = view_.currentIndex();
    view_.scrollTo(current.isValid() && view_.selectionModel()->isSelected(current)
                       ? current
                       : model_.index(after.front(), 0));
    emit moved();
}

} // namespace qm
