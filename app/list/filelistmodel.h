#pragma once

// The file list as the list view sees it: row r is slot r of the file items, one column
// per shown column. Stores no texts: every cell is computed when the view asks for it,
// which for a large list means only the rows on screen. The new-name column uses the
// rename options and start number that the window hands over on every option change;
// the size column looks at the file on disk anew each time. Rows that a prediction of the
// run marks (see predictionmarks.h) carry a warning icon, a warning colour and the reason
// as a tool tip in the new-name column; a change of the list's rows drops the marks.
// While the options' inserted texts need tags (newname.h) that a row's entry has not had
// read yet, its new name is a quiet placeholder (PendingNameText), never a name made
// without them. A name typed by hand (TFileItem::HandName) is the row's new name: the cell
// is editable, shown in italics, with the options' name as tool tip (see handnames.h).
//
// Does not own the file list; the list must outlive the model. Changes of the list's
// rows go through a Change bracket, so the view hears of them once. Window thread only;
// reads entries under the list's read lock, so a rename worker may change names meanwhile.

#include "app/list/marktable.h"
#include "app/list/predictionmarks.h"
#include "engine/renameoptionset.h"
#include "filelist/columnset.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace qm {

class TFileList;
class TFileItem;
class TFileItems;

// How a cell too narrow for its text shortens it: a name or folder in the middle (names
// differ at their ends), other text at its end, and a size or date by whole words, so that
// a number never loses a digit. Every cell answers it for CellFitRole.
enum class CellFit { Middle, End, WholeWords };
inline constexpr int CellFitRole = Qt::UserRole + 1;

class TFileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The text of a language key: captions (line form) and the kilobyte unit (whole
    // text). An empty text stands for one the language lacks.
    using TextSource = std::function<std::string(const std::string& key)>;

    TFileListModel(TFileList& list, TextSource captions, TextSource kilobyteUnit,
                   QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // The new-name cell takes a name typed by hand; an empty one gives the row back to the
    // options. Every row can be dragged to move it within the list.
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // Gives each row its name typed by hand ("" gives it back to the options) and tells the
    // view once; refused (false) while names are not editable. Emits handNamesChanged.
    bool SetHandNames(const std::vector<std::pair<int, std::string>>& names);
    // While a run works, the entries are the worker's: no name is typed meanwhile.
    void SetNamesEditable(bool editable) { namesEditable_ = editable; }
    bool NamesEditable() const { return namesEditable_; }
    // The rows named by hand; counted again after a change of the rows or the names.
    int HandNameCount() const;

    void SetColumns(std::vector<ShownColumn> columns);
    const std::vector<ShownColumn>& Columns() const { return columns_; }
    // `startNumber` is the number typed in the start-value field, 0 when it is none.
    void SetOptions(const RenameOptionSet& options, std::int32_t startNumber);
    // Entries got their tags: the new names are shown anew.
    void TagsArrived();

    // The marked rows of the newest prediction; replaces the former ones.
    void SetMarks(TMarkTable marks);
    // The rows the run would not give the name shown (the tag marks left out), and the
    // marks of each kind.
    int MarkCount() const { return marks_.Counts().Run; }
    const TMarkCounts& MarkCounts() const { return marks_.Counts(); }
    // Whether the column shows the mark's name instead of the options' (organizing).
    static bool ShowsMarkName(MarkKind kind);
    static bool ShowsMarkName(const TRowMark& mark) { return ShowsMarkName(mark.Kind); }
    // The mark of `row`, or null.
    TMarkRef MarkOf(int row) const { return marks_.Of(row); }
    const TMarkTable& Marks() const { return marks_; }
    // Frees `marks` on another thread when there are many: a million of them held the
    // window for up to a fifth of a second.
    static void FreeMarks(TMarkTable marks);

    // Moves the entries of `rows` as `move` does (TFileItems::MoveUp, MoveDown or MoveTo)
    // in one change of the layout: the persistent indexes (the selection, the current
    // row, an open editor) follow their entries, and the marks go when the order changed.
    // Returns what `move` returned: the rows the entries stand in now.
    using RowMove =
        std::function<std::vector<int>(TFileItems& items, const std::vector<int>& rows)>;
    std::vector<int> MoveRows(const std::vector<int>& rows, const RowMove& move);

    // Brackets a change of the list's rows (adding, removing, sorting): the view is told
    // once, when the bracket closes. The marks go: they belong to the rows as they were.
    // Not nestable. A change that only puts the same rows in another order (`reorder`)
    // keeps the count of names typed by hand: counting a million rows again held the
    // window after every sort.
    class Change {
    public:
        explicit Change(TFileListModel& model, bool reorder = false) : model_(model) {
            model_.beginResetModel();
            FreeMarks(std::move(model_.marks_));
            model_.marks_ = {};
            if (!reorder)
                model_.handCount_ = -1;
            model_.positions_.clear();
        }
        ~Change() { model_.endResetModel(); }
        Change(const Change&) = delete;
        Change& operator=(const Change&) = delete;

    private:
        TFileListModel& model_;
    };

    // The cell text of column `id` for `entry` shown in row `row`.
    QString CellText(const TFileItem& entry, ColumnId id, int row) const;
    // The new name the options give `entry` in `row`, a name typed by hand aside.
    QString OptionsName(const TFileItem& entry, int row) const;
    // Where the number of `row` counts from (NumberPositions of runningnumber.h): the row,
    // or its place among its folder's rows with the number per folder, files that share a
    // name counting as one where they go together. The caller holds the list's read lock.
    std::int64_t NumberPosition(int row) const;
    // The header text of a column: the language's, or the built-in one when it has none.
    QString Caption(ColumnId id) const;

signals:
    // Names typed by hand were set or dropped through the model.
    void handNamesChanged();

private:
    QIcon IconOf(int imageIndex) const;
    QVariant MarkData(int row, int role) const;
    QVariant HandNameData(int row, int role) const;
    void NewNameColumnChanged(const QList<int>& roles);
    std::string KilobyteUnit() const;

    TFileList& list_;
    TextSource captions_;
    TextSource kilobyteUnit_;
    std::vector<ShownColumn> columns_;
    RenameOptionSet options_;
    std::int32_t startNumber_ = 0;
    mutable std::vector<QIcon> icons_; // by image index, made when first shown
    TMarkTable marks_;
    // Each row's NumberPosition with the number per folder or companions, worked out when
    // first asked for; empty until then, and again once the rows or the options change.
    mutable std::vector<std::int64_t> positions_;
    unsigned tagSources_ = 0; // TagSourcesNeeded of options_
    mutable QIcon warningIcon_;
    bool namesEditable_ = true;
    mutable int handCount_ = -1; // -1: to be counted
};

// What the new-name column shows while a row's tags are being read.
QString PendingNameText();

// The date and time of a date-time value in the user's short date and long time formats,
// the time left out at exactly midnight; empty for 0.
QString ModDateText(double value);

} // namespace qm
