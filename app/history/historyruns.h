#pragma once

// The history window's list of runs: one row a journal, as ReadHistory gives them (newest
// first), each cell worked out from the run's fields when the view asks for it, in the
// program's language. A journal that cannot be read is a row like the others, its state
// saying why. Window thread only.

#include "rename/journalhistory.h"

#include <QAbstractTableModel>
#include <functional>
#include <string>
#include <vector>

namespace qm {

// The first line of a text of the program's language, as the screen shows it.
using HistoryLine = std::function<QString(const std::string& key)>;

class TRunsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { When, Where, By, Renamed, Unchanged, Failed, State, ColumnCount };

    explicit TRunsModel(HistoryLine line, QObject* parent = nullptr);

    void SetRuns(std::vector<THistoryRun> runs);
    const std::vector<THistoryRun>& Runs() const { return runs_; }
    // The row of the run `runId`, -1 when it is not listed.
    int RowOf(const std::string& runId) const;

    // The texts of a run, for the cells and the screen reader.
    QString Cell(const THistoryRun& run, int column) const;
    QString StateText(const THistoryRun& run) const;
    // Why `runs_[row]` cannot be taken back, in the program's language; empty when it can.
    QString RefusalText(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // The language changed: every text anew.
    void Retranslate();

private:
    QString Counted(const THistoryRun& run, int column) const;

    HistoryLine line_;
    std::vector<THistoryRun> runs_;
};

} // namespace qm
