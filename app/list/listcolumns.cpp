#include "app/list/listcolumns.h"

#include "app/list/columnchecklist.h"
#include "app/list/customizecols.h"
#include "app/list/filelistmodel.h"
#include "filelist/columnset.h"
#include "filelist/entrycomparer.h"
#include "filelist/fileitems.h"
#include "settings/settings.h"

#include <QHeaderView>
#include <QTreeView>
#include <utility>
#include <vector>

namespace qm {

TListColumns::TListColumns(QTreeView& view, TFileListModel& model, TEntryComparer& comparer,
                           TFileItems& items)
    : view_(view), model_(model), comparer_(comparer), items_(items) {}

void TListColumns::ApplyColumnSet(const std::string& columnSet) {
    std::vector<ShownColumn> columns = ParseColumnSet(columnSet);
    std::vector<ColumnId> ids;
    for (const ShownColumn& column : columns) {
        ids.push_back(column.Id);
    }
    comparer_.SetColumns(std::move(ids));
    model_.SetColumns(std::move(columns));
    // New columns start at the width of a new column, not at the old ones' widths.
    for (int i = 0; i < model_.columnCount(); ++i) {
        view_.header()->resizeSection(i, view_.header()->defaultSectionSize());
    }
    ShowSortIndicator();
}

void TListColumns::ApplyColumnWidths(const std::string& widths) {
    const std::vector<int> parsed =
        ParseColumnWidths(widths, static_cast<std::size_t>(model_.columnCount()));
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        view_.header()->resizeSection(static_cast<int>(i), parsed[i]);
    }
}

std::string TListColumns::ColumnWidthsText() const {
    std::string text;
    for (int i = 0; i < model_.columnCount(); ++i) {
        text += std::to_string(view_.header()->sectionSize(i)) + ',';
    }
    return text;
}

void TListColumns::Rebuild(const std::string& columnSet) {
    const std::string widths = ColumnWidthsText();
    ApplyColumnSet(columnSet);
    ApplyColumnWidths(widths);
}

void TListColumns::SortBy(int position) {
    if (!items_.OnCompare()) {
        // No indicator showed a direction to reverse: the list goes back to a column's
        // order, and the stored direction keeps its meaning.
        comparer_.Install(items_);
        comparer_.SetSortColumn(position);
    } else if (position == comparer_.SortColumn()) {
        comparer_.SetSortDeclining(!comparer_.SortDeclining());
    } else {
        comparer_.SetSortColumn(position);
    }
    Sort();
}

void TListColumns::RestoreSort(int position, bool declining, const RenameOptionSet& options) {
    comparer_.SetSortColumn(position);
    comparer_.SetSortDeclining(declining);
    comparer_.SetOptions(options);
    Sort();
}

void TListColumns::Sort() {
    // The user's own order stays what it is (and so do the selection and the marks).
    if (items_.OnCompare()) {
        const TFileListModel::Change change(model_);
        items_.Sort();
    }
    ShowSortIndicator();
}

void TListColumns::ShowSortIndicator() {
    const int column = comparer_.SortColumn();
    QHeaderView* header = view_.header();
    if (column < 0 || column >= model_.columnCount() || !items_.OnCompare()) {
        header->setSortIndicator(-1, Qt::AscendingOrder);
        return;
    }
    header->setSortIndicator(column,
                             comparer_.SortDeclining() ? Qt::AscendingOrder : Qt::DescendingOrder);
}

bool TListColumns::Customize(TSettings& settings, const TDynLang& common, const TDynLang& program,
                             QWidget* parent) {
    std::vector<std::string> captions;
    for (const ColumnInfo& column : AllColumns()) {
        captions.push_back(model_.Caption(column.Id).toStdString());
    }
    std::vector<TColumnChecklist::Shown> shown;
    for (int i = 0; i < model_.columnCount(); ++i) {
        shown.push_back({model_.headerData(i, Qt::Horizontal).toString().toStdString(),
                         view_.header()->sectionSize(i)});
    }
    TCustomizeCols dialog(TColumnChecklist(captions, shown), settings, parent);
    dialog.UseLanguage(common, program);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    ApplyColumnSet(settings.Columns);
    ApplyColumnWidths(settings.ColumnsWidth);
    return true;
}

} // namespace qm
