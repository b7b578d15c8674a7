#include "app/history/historyruns.h"

#include "app/widgets/qttext.h"
#include "rename/journal.h"

namespace qm {

namespace {

QString Filled(const QString& text, const QString& value) {
    QString filled = text;
    return filled.replace(QLatin1String("%1"), value);
}

} // namespace

TRunsModel::TRunsModel(HistoryLine line, QObject* parent)
    : QAbstractTableModel(parent), line_(std::move(line)) {}

void TRunsModel::SetRuns(std::vector<THistoryRun> runs) {
    beginResetModel();
    runs_ = std::move(runs);
    endResetModel();
}

int TRunsModel::RowOf(const std::string& runId) const {
    for (std::size_t row = 0; row < runs_.size(); ++row)
        if (!runId.empty() && runs_[row].Summary.Journal.RunId == runId)
            return static_cast<int>(row);
    return -1;
}

QString TRunsModel::StateText(const THistoryRun& run) const {
    const TJournalSummary& s = run.Summary;
    if (s.Status == TJournalRead::NewerVersion)
        return Filled(line_("HISTORYNEWER"), Q(s.Problem));
    if (s.Status != TJournalRead::Ok)
        return Filled(line_("HISTORYDAMAGED"), Q(s.Problem));
    QString state;
    if (run.GoingOn) {
        state = line_("HISTORYGOINGON");
    } else {
        switch (run.Progress) {
        case THistoryRun::Course::NotStarted:
            state = line_("HISTORYNOTSTARTED");
            break;
        case THistoryRun::Course::Interrupted:
            state = line_("HISTORYINTERRUPTED");
            break;
        case THistoryRun::Course::Cancelled:
            state = line_("HISTORYCANCELLED");
            break;
        case THistoryRun::Course::Finished:
            state = line_("HISTORYFINISHED");
            break;
        }
    }
    QString after;
    if (s.Journal.Undone)
        after = line_(run.UndoTakenBack ? "HISTORYUNDOTAKENBACK" : "HISTORYUNDONE");
    else if (run.PartlyUndone)
        after = *run.PartlyUndone > 0
                    ? Filled(line_("HISTORYPARTLYUNDONE"), QString::number(*run.PartlyUndone))
                    : line_("HISTORYPARTLYUNDONESOME");
    else if (s.Journal.Kept)
        after = line_("HISTORYKEPT");
    return after.isEmpty() ? state : state + QStringLiteral(", ") + after;
}

QString TRunsModel::RefusalText(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= runs_.size())
        return {};
    const std::string refusal = UndoRefusal(runs_, static_cast<std::size_t>(row));
    if (refusal.empty())
        return {};
    // The reasons UndoRefusal gives, told from the run as it tells them; another one
    // keeps its own words.
    const THistoryRun& run = runs_[static_cast<std::size_t>(row)];
    if (run.Summary.Status != TJournalRead::Ok)
        return line_("HISTORYREFUSEDAMAGED");
    if (run.GoingOn)
        return line_("HISTORYREFUSEGOINGON");
    if (run.Summary.Journal.Undone)
        return line_(run.UndoTakenBack ? "HISTORYREFUSEREDONE" : "HISTORYREFUSEUNDONE");
    return Filled(line_("HISTORYREFUSEOTHER"), Q(refusal));
}

QString TRunsModel::Counted(const THistoryRun& run, int column) const {
    const TJournal& j = run.Summary.Journal;
    if (run.Summary.Status != TJournalRead::Ok)
        return {};
    // A run not closed has no counts: what it announced stands in their place.
    if (!j.Closed)
        return column == Renamed
                   ? Filled(line_("HISTORYPLANNED"), QString::number(run.Summary.Announced))
                   : QString();
    const int count = column == Renamed     ? j.Tally.Renamed
                      : column == Unchanged ? j.Tally.Unchanged
                                            : j.Tally.Failed;
    return QString::number(count);
}

QString TRunsModel::Cell(const THistoryRun& run, int column) const {
    const TJournalSummary& s = run.Summary;
    const TJournal& j = s.Journal;
    switch (column) {
    case When:
        return j.Time > 0 ? Q(JournalLocalTime(j.Time, "%Y-%m-%d %H:%M:%S")) : QString();
    case Where:
        if (s.Status != TJournalRead::Ok)
            return {};
        if (s.FolderCount > 1)
            return Filled(line_("HISTORYFOLDERS"), QString::number(s.FolderCount));
        if (s.FolderCount == 0)
            return QStringLiteral("-");
        // A relative folder is the run's current folder's.
        return Q(s.FirstFolder.starts_with('/') ? s.FirstFolder : j.CurrentFolder + s.FirstFolder);
    case By:
        if (s.Status != TJournalRead::Ok)
            return {};
        if (j.Mode == RenameMode::Undo)
            return line_("HISTORYBYUNDO");
        return line_(j.Origin == JournalOrigin::Window        ? "HISTORYBYWINDOW"
                     : j.Origin == JournalOrigin::CommandLine ? "HISTORYBYCOMMANDLINE"
                                                              : "HISTORYBYUNKNOWN");
    case Renamed:
    case Unchanged:
    case Failed:
        return Counted(run, column);
    case State:
        return StateText(run);
    default:
        return {};
    }
}

int TRunsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(runs_.size());
}

int TRunsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TRunsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount() || index.column() < 0 ||
        index.column() >= ColumnCount)
        return {};
    const THistoryRun& run = runs_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole)
        return Cell(run, index.column());
    // The folder and the state may not fit their column.
    if (role == Qt::ToolTipRole && (index.column() == Where || index.column() == State))
        return Cell(run, index.column());
    if (role == Qt::TextAlignmentRole && index.column() >= Renamed && index.column() <= Failed)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant TRunsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const char* const keys[ColumnCount] = {
        "HISTORYWHEN",      "HISTORYWHERE",  "HISTORYBY",   "HISTORYRENAMED",
        "HISTORYUNCHANGED", "HISTORYFAILED", "HISTORYSTATE"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return {};
    return line_(keys[section]);
}

void TRunsModel::Retranslate() {
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    if (!runs_.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1),
                         {Qt::DisplayRole, Qt::ToolTipRole});
}

} // namespace qm
