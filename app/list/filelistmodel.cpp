#include "app/list/filelistmodel.h"

#include "app/list/handnames.h"
#include "app/widgets/qttext.h"
#include "engine/newname.h"
#include "engine/runningnumber.h"
#include "filelist/datetimevalue.h"
#include "filelist/fileitem.h"
#include "filelist/fileitems.h"
#include "filelist/filelist.h"
#include "filelist/iconnames.h"

#include <QApplication>
#include <QDateTime>
#include <QFont>
#include <QLocale>
#include <QPalette>
#include <QStyle>
#include <QThreadPool>
#include <algorithm>

namespace qm {

namespace {

CellFit FitOf(ColumnId id) {
    switch (id) {
    case ColumnId::Name:
    case ColumnId::Path:
    case ColumnId::NewName:
    case ColumnId::PrevName:
        return CellFit::Middle;
    case ColumnId::TypeName:
    case ColumnId::Attribute:
        return CellFit::End;
    case ColumnId::Size:
    case ColumnId::ModDate:
        return CellFit::WholeWords;
    }
    return CellFit::End;
}

} // namespace

QString ModDateText(double value) {
    if (value == 0)
        return QString();
    const auto parts = DecodeDateTime(value);
    if (!parts)
        return QString();
    const QDate date(parts->Year, parts->Month, parts->Day);
    const QTime time(parts->Hour, parts->Minute, parts->Second, parts->Millisecond);
    const QLocale locale = QLocale::system();
    QString text = locale.toString(date, QLocale::ShortFormat);
    if (time != QTime(0, 0)) {
        // The long format names the time zone, which a file time shown in local time
        // does not need.
        QString format = locale.timeFormat(QLocale::LongFormat);
        format.remove(QLatin1Char('t'));
        text += QLatin1Char(' ') + locale.toString(time, format.trimmed());
    }
    return text;
}

TFileListModel::TFileListModel(TFileList& list, TextSource captions, TextSource kilobyteUnit,
                               QObject* parent)
    : QAbstractTableModel(parent), list_(list), captions_(std::move(captions)),
      kilobyteUnit_(std::move(kilobyteUnit)) {}

std::string TFileListModel::KilobyteUnit() const {
    const std::string unit = kilobyteUnit_("KILOBYTE");
    return unit.empty() ? std::string("KB") : unit;
}

int TFileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : list_.Items().Count();
}

int TFileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant TFileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() >= columnCount() || index.row() >= rowCount())
        return QVariant();
    const ColumnId id = columns_[static_cast<std::size_t>(index.column())].Id;
    if (role == Qt::TextAlignmentRole)
        return id == ColumnId::Size ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    if (role == CellFitRole)
        return QVariant::fromValue(FitOf(id));
    if (id == ColumnId::NewName && role != Qt::DisplayRole) {
        const QVariant hand = HandNameData(index.row(), role);
        if (hand.isValid())
            return hand;
        const QVariant mark = MarkData(index.row(), role);
        if (mark.isValid())
            return mark;
        if (role == Qt::ForegroundRole && tagSources_ != 0) {
            const auto lock = list_.Items().ReadLock();
            const TFileItem* entry = list_.Items().Items(index.row());
            if (entry != nullptr && entry->NeedsTags(tagSources_))
                return QApplication::palette().color(QPalette::PlaceholderText);
        }
    }
    if (role != Qt::DisplayRole && !(role == Qt::DecorationRole && index.column() == 0))
        return QVariant();
    const auto lock = list_.Items().ReadLock();
    const TFileItem* entry = list_.Items().Items(index.row());
    if (entry == nullptr)
        return QVariant(); // a slot emptied during a rename run
    if (role == Qt::DecorationRole)
        return IconOf(entry->ImageIndex());
    return CellText(*entry, id, index.row());
}

std::vector<int> TFileListModel::MoveRows(const std::vector<int>& rows, const RowMove& move) {
    TFileItems& items = list_.Items();
    const std::vector<int> before = items.ValidSlots(rows);
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> after = move(items, rows);
    // Each index found by search, never a map of the whole list: a step of a 100,000-row
    // list touches only the selection's indexes.
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& index : from) {
        to.push_back(
            createIndex(TFileItems::SlotAfterMove(index.row(), before, after), index.column()));
    }
    changePersistentIndexList(from, to);
    if (after != before) {
        FreeMarks(std::move(marks_));
        marks_ = {};
        positions_.clear();
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    return after;
}

QString TFileListModel::CellText(const TFileItem& entry, ColumnId id, int row) const {
    switch (id) {
    case ColumnId::Name:
        return Q(entry.Name());
    case ColumnId::Path:
        return Q(entry.Path());
    case ColumnId::NewName:
        if (const std::shared_ptr<const std::string>& hand = entry.HandName())
            return Q(*hand);
        // What organizing gives a row (a taken name numbered, a companion's shared name)
        // is known only from the prediction: the column shows what the file will be called.
        if (const auto mark = marks_.Find(row); mark && ShowsMarkName(mark->Kind))
            return Q(std::string(mark->Name));
        return OptionsName(entry, row);
    case ColumnId::PrevName:
        return Q(entry.PrevName());
    case ColumnId::TypeName:
        return Q(entry.TypeName());
    case ColumnId::Size:
        return Q(FormatThousands(Kilobytes(FileSizeOnDisk(entry.Path() + entry.Name()))) + ' ' +
                 KilobyteUnit());
    case ColumnId::Attribute:
        return Q(AttributeLetters(entry.Attributes()));
    case ColumnId::ModDate:
        return ModDateText(entry.ModDate());
    }
    return QString();
}

QString TFileListModel::OptionsName(const TFileItem& entry, int row) const {
    // One look at the tags: a reader may store them meanwhile.
    const std::shared_ptr<const TEntryTags> tags = entry.Tags();
    if (tagSources_ != 0 && (!tags || (tags->Sources & tagSources_) != tagSources_))
        return PendingNameText();
    return Q(ComputeNewName(options_, entry.Name(),
                            NumberAtPosition(startNumber_, NumberPosition(row)),
                            NameTags{tags ? &tags->Values : nullptr, nullptr}));
}

std::int64_t TFileListModel::NumberPosition(int row) const {
    const bool perFolder = options_.NumberPerFolder;
    const bool companions = options_.RenameCompanions;
    if (!options_.NumberIncEnabled || (!perFolder && !companions) || row < 0)
        return row;
    const TFileItems& items = list_.Items();
    if (positions_.size() != static_cast<std::size_t>(items.Count())) {
        std::vector<TCompanionEntry> entries(static_cast<std::size_t>(items.Count()));
        for (int slot = 0; slot < items.Count(); ++slot) {
            TCompanionEntry& listed = entries[static_cast<std::size_t>(slot)];
            if (const TFileItem* entry = items.Items(slot))
                listed = {entry->Path(), entry->Name(), entry->HandName() != nullptr};
            else
                listed.Alone = true;
        }
        positions_ = NumberPositions(entries, perFolder, companions);
    }
    return static_cast<std::size_t>(row) < positions_.size()
               ? positions_[static_cast<std::size_t>(row)]
               : row;
}

QVariant TFileListModel::HandNameData(int row, int role) const {
    if (role != Qt::EditRole && role != Qt::FontRole && role != Qt::ToolTipRole &&
        role != Qt::AccessibleDescriptionRole)
        return QVariant();
    const auto lock = list_.Items().ReadLock();
    const TFileItem* entry = list_.Items().Items(row);
    if (entry == nullptr)
        return QVariant();
    const std::shared_ptr<const std::string> hand = entry->HandName();
    if (role == Qt::EditRole) {
        if (hand)
            return Q(*hand);
        // The editor starts from a name, never from the placeholder of one.
        const QString name = OptionsName(*entry, row);
        return name == PendingNameText() ? Q(entry->Name()) : name;
    }
    if (!hand)
        return QVariant();
    if (role == Qt::FontRole) {
        QFont font;
        font.setItalic(true);
        return font;
    }
    // Also what a screen reader hears, which sees no italics; a mark's reason comes first.
    const QString tip = HandNameTip(OptionsName(*entry, row), captions_);
    const TMarkRef mark = MarkOf(row);
    return mark != nullptr ? MarkTip(*mark, captions_) + QLatin1Char('\n') + tip : tip;
}

Qt::ItemFlags TFileListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    // Rows are dragged to move them within the list (TRowDrag).
    if (index.isValid())
        flags |= Qt::ItemIsDragEnabled;
    if (namesEditable_ && index.isValid() && index.column() < columnCount() &&
        columns_[static_cast<std::size_t>(index.column())].Id == ColumnId::NewName)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool TFileListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable) || index.row() >= rowCount())
        return false;
    return SetHandNames({{index.row(), S(value.toString())}});
}

bool TFileListModel::SetHandNames(const std::vector<std::pair<int, std::string>>& names) {
    if (!namesEditable_)
        return false;
    int first = rowCount();
    int last = -1;
    for (const auto& [row, name] : names) {
        TFileItem* entry = list_.Items().Items(row);
        if (entry != nullptr && !(name.empty() && entry->HandName() == nullptr)) {
            entry->SetHandName(name);
            first = std::min(first, row);
            last = std::max(last, row);
        }
    }
    if (last < 0)
        return false;
    handCount_ = -1;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        if (columns_[c].Id == ColumnId::NewName) {
            const int column = static_cast<int>(c);
            emit dataChanged(index(first, column), index(last, column),
                             {Qt::DisplayRole, Qt::EditRole, Qt::FontRole, Qt::ToolTipRole,
                              Qt::AccessibleDescriptionRole});
        }
    }
    emit handNamesChanged();
    return true;
}

int TFileListModel::HandNameCount() const {
    if (handCount_ < 0)
        handCount_ = CountHandNames(list_.Items());
    return handCount_;
}

QVariant TFileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QVariant();
    const ColumnId id = columns_[static_cast<std::size_t>(section)].Id;
    if (role == Qt::DisplayRole)
        return Caption(id);
    if (role == Qt::TextAlignmentRole && id == ColumnId::Size)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return QVariant();
}

void TFileListModel::SetColumns(std::vector<ShownColumn> columns) {
    beginResetModel();
    columns_ = std::move(columns);
    endResetModel();
}

void TFileListModel::SetOptions(const RenameOptionSet& options, std::int32_t startNumber) {
    options_ = options;
    startNumber_ = startNumber;
    tagSources_ = TagSourcesNeeded(options);
    positions_.clear();
    NewNameColumnChanged({Qt::DisplayRole});
}

void TFileListModel::TagsArrived() {
    NewNameColumnChanged({Qt::DisplayRole, Qt::ForegroundRole});
}

QString PendingNameText() {
    return QStringLiteral("\u2026");
}

void TFileListModel::NewNameColumnChanged(const QList<int>& roles) {
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        if (columns_[c].Id == ColumnId::NewName && rowCount() > 0) {
            const int column = static_cast<int>(c);
            emit dataChanged(index(0, column), index(rowCount() - 1, column), roles);
        }
    }
}

void TFileListModel::SetMarks(TMarkTable marks) {
    if (marks.Empty() && marks_.Empty())
        return;
    std::swap(marks_, marks);
    FreeMarks(std::move(marks));
    // The text too: a numbered or a companion's name is shown from the marks.
    NewNameColumnChanged({Qt::DisplayRole, Qt::DecorationRole, Qt::ForegroundRole, Qt::ToolTipRole,
                          Qt::AccessibleDescriptionRole});
}

void TFileListModel::FreeMarks(TMarkTable marks) {
    if (marks.Size() < 10000)
        return;
    QThreadPool::globalInstance()->start(
        [doomed = std::make_shared<TMarkTable>(std::move(marks))] { *doomed = {}; });
}

bool TFileListModel::ShowsMarkName(MarkKind kind) {
    return kind == MarkKind::Numbered || kind == MarkKind::Companion;
}

QVariant TFileListModel::MarkData(int row, int role) const {
    // The reason is also the cell's accessible description: a screen reader cannot see the
    // icon or the colour.
    if (role != Qt::DecorationRole && role != Qt::ForegroundRole && role != Qt::ToolTipRole &&
        role != Qt::AccessibleDescriptionRole)
        return QVariant();
    const TMarkRef mark = MarkOf(row);
    if (mark == nullptr)
        return QVariant();
    // A name the column shows from the prediction is what the user asked for, no warning:
    // its tool tip says where it comes from.
    if (ShowsMarkName(*mark) && (role == Qt::DecorationRole || role == Qt::ForegroundRole))
        return QVariant();
    switch (role) {
    case Qt::DecorationRole:
        if (warningIcon_.isNull()) {
            warningIcon_ =
                QIcon::fromTheme(QStringLiteral("dialog-warning"),
                                 QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning));
        }
        return warningIcon_;
    case Qt::ForegroundRole: {
        // Red pulled toward the theme's own text colour: dark red on a light base, a light
        // red on a dark one, readable on both.
        const QColor text = QApplication::palette().color(QPalette::Text);
        const QColor red(220, 30, 30);
        const auto mix = [](int a, int b) {
            return (a * 13 + b * 7) / 20;
        };
        return QColor(mix(red.red(), text.red()), mix(red.green(), text.green()),
                      mix(red.blue(), text.blue()));
    }
    default:
        return MarkTip(*mark, captions_);
    }
}

QString TFileListModel::Caption(ColumnId id) const {
    const std::string text = captions_(std::string(InfoOf(id).CaptionKey));
    return text.empty() ? Q(std::string(InfoOf(id).Caption)) : Q(text);
}

QIcon TFileListModel::IconOf(int imageIndex) const {
    if (imageIndex < 0)
        return QIcon();
    const auto slot = static_cast<std::size_t>(imageIndex);
    if (slot >= icons_.size())
        icons_.resize(slot + 1);
    if (icons_[slot].isNull()) {
        const IconName name = list_.GetSmallImages().At(imageIndex);
        icons_[slot] = QIcon::fromTheme(Q(name.Name), QIcon::fromTheme(Q(name.Fallback)));
    }
    return icons_[slot];
}

} // namespace qm
