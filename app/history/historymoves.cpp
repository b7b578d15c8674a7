#include "app/history/historymoves.h"

#include "app/widgets/qttext.h"

#include <QThreadPool>
#include <memory>

namespace qm {

TMovesModel::TMovesModel(HistoryLine line, QObject* parent)
    : QAbstractTableModel(parent), line_(std::move(line)) {}

void TMovesModel::SetJournal(TJournal journal) {
    beginResetModel();
    std::swap(journal_, journal);
    endResetModel();
    FreeLater(std::move(journal));
}

void TMovesModel::FreeLater(TJournal journal) {
    // On another thread: a million moves held the window for a tenth of a second.
    if (journal.Moves.size() > 10000) {
        QThreadPool::globalInstance()->start(
            [doomed = std::make_shared<TJournal>(std::move(journal))] {
                std::vector<TJournalMove>().swap(doomed->Moves);
            });
    }
}

void TMovesModel::Clear() {
    SetJournal({});
}

QString TMovesModel::Cell(const TJournalMove& move, int column) const {
    switch (column) {
    case OldName:
        return move.From.empty() ? line_("HISTORYFOLDERMADE") : Q(move.From);
    case NewName:
        return Q(move.To);
    case Outcome:
        switch (move.Result) {
        case MoveResult::Done:
            return line_("HISTORYMOVEDONE");
        case MoveResult::Failed:
            return line_("HISTORYMOVEFAILED");
        case MoveResult::NotReached:
            return line_("HISTORYMOVENOTREACHED");
        case MoveResult::Unknown:
            break;
        }
        return line_("HISTORYMOVEUNKNOWN");
    case Folder:
        // A relative folder is the run's current folder's.
        return Q(move.Folder.starts_with('/') ? move.Folder : journal_.CurrentFolder + move.Folder);
    default:
        return {};
    }
}

int TMovesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(journal_.Moves.size());
}

int TMovesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TMovesModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() < 0 ||
        index.row() >= rowCount() || index.column() < 0 || index.column() >= ColumnCount)
        return {};
    return Cell(journal_.Moves[static_cast<std::size_t>(index.row())], index.column());
}

QVariant TMovesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const char* const keys[ColumnCount] = {"HISTORYOLDNAME", "HISTORYNEWNAME",
                                                  "HISTORYOUTCOME", "HISTORYFOLDER"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return {};
    return line_(keys[section]);
}

void TMovesModel::Retranslate() {
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    if (!journal_.Moves.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1), {Qt::DisplayRole});
}

} // namespace qm
