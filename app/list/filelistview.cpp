#include "app/list/filelistview.h"

#include "app/list/rowdrag.h"

#include <QDrag>
#include <algorithm>

namespace qm {

void TFileListView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                const QList<int>& roles) {
    if (!topLeft.isValid() || !bottomRight.isValid() || topLeft.parent().isValid() ||
        bottomRight.row() - topLeft.row() < WholeRangeRows) {
        QTreeView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    // With uniform heights the base measures the first row again when it changes.
    if (topLeft.row() == 0)
        QTreeView::dataChanged(topLeft, bottomRight.siblingAtRow(0), roles);
    const QRect sight = viewport()->rect();
    const QModelIndex top = indexAt(sight.topLeft());
    if (!top.isValid())
        return; // no row in sight at all
    const QModelIndex bottom = indexAt(QPoint(sight.left(), sight.bottom()));
    // Below the last row the view is empty: the last row is the last in sight.
    const int last = bottom.isValid() ? bottom.row() : model()->rowCount() - 1;
    const int first = std::max(topLeft.row(), top.row());
    const int end = std::min(bottomRight.row(), last);
    if (first > end)
        return;
    QTreeView::dataChanged(topLeft.siblingAtRow(first), bottomRight.siblingAtRow(end), roles);
}

void TFileListView::startDrag(Qt::DropActions /*supportedActions*/) {
    const auto* rows = findChild<TRowDrag*>(QString(), Qt::FindDirectChildrenOnly);
    if (rows == nullptr) {
        return;
    }
    auto* drag = new QDrag(this);
    drag->setMimeData(rows->MimeData());
    drag->exec(Qt::MoveAction);
}

} // namespace qm
