#pragma once

// The view of the file list. A change of a whole column (the new names after an option
// change, the marks of a prediction) comes as one range over every row, and the tree
// view works out what to repaint row by row over that range: on a million rows a stall
// of a fifth of a second per change, all to repaint the forty rows in sight. This view
// hands its base only the part of a long range that is in sight; the rows outside have
// nothing painted to refresh and ask the model afresh when they come into sight. The
// model's own notice is unchanged for everyone else who listens to it.
//
// Window thread only. Assumes a flat list with uniform row heights (no children, no
// editors kept open outside the rows in sight).

#include <QTreeView>

namespace qm {

class TFileListView : public QTreeView {
    Q_OBJECT
public:
    using QTreeView::QTreeView;

    // Ranges of up to this many rows go to the base as they are.
    static constexpr int WholeRangeRows = 1000;

protected:
    // The selected rows, to move them within the list (see TRowDrag, which serves the
    // view when it is its child).
    void startDrag(Qt::DropActions supportedActions) override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
};

} // namespace qm
