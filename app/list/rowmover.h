#pragma once

// Moving the selected rows of the file list by hand: one place up or down, or to where a
// drag lets them go (TRowDrag). The list is then in the user's own order: the header shows
// no sort column, the running number follows the rows (it counts by position), files
// added later go to the end, and a click on a header sorts again (TListColumns::SortBy).
// The selection and the current row follow their rows. Nothing moves while a rename run
// has the list (update mode). A move destroys no entry, so a tag read under way (which
// holds entries, not rows) goes on.
//
// Does not own the view, the model, the columns or the list: the window creates it once
// they exist and destroys it before them. Window thread only.

#include "app/list/filelistmodel.h"

#include <QObject>

class QAbstractItemView;

namespace qm {

class TFileItems;
class TListColumns;

class TRowMover : public QObject {
    Q_OBJECT
public:
    TRowMover(QAbstractItemView& view, TFileListModel& model, TListColumns& columns,
              TFileItems& items, QObject* parent = nullptr);

    // Rows are selected and no run has the list.
    bool CanMove() const;
    void MoveUp();
    void MoveDown();
    // The selected rows go, in their order, in front of row `place` (the row count for
    // the end).
    void MoveTo(int place);

signals:
    // The order changed: the marks went, and what the run would do is to be worked out
    // anew.
    void moved();

private:
    void Move(const TFileListModel::RowMove& move);

    QAbstractItemView& view_;
    TFileListModel& model_;
    TListColumns& columns_;
    TFileItems& items_;
};

} // namespace qm
