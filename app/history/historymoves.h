#pragma once

// The history window's list of one run's renames: a thin model over the moves of its
// journal, which may be a million; each cell is made when the view asks for it, and
// nothing walks all rows. Moves through a temporary name (the cycles of a run) are shown
// like the others, in the order the run took them; a move from no name is a folder the
// run made. Window thread only.

#include "app/history/historyruns.h"
#include "rename/journalformat.h"

#include <QAbstractTableModel>

namespace qm {

class TMovesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { OldName, NewName, Outcome, Folder, ColumnCount };

    explicit TMovesModel(HistoryLine line, QObject* parent = nullptr);

    // The moves of `journal` (taken over), or none.
    void SetJournal(TJournal journal);
    void Clear();
    // Frees a journal's moves, on another thread when they are many.
    static void FreeLater(TJournal journal);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void Retranslate();

private:
    QString Cell(const TJournalMove& move, int column) const;

    HistoryLine line_;
    TJournal journal_;
};

} // namespace qm
