#include "app/options/replacelist.h"

#include <QHeaderView>
#include <QKeyEvent>

namespace qm {

TReplaceList::TReplaceList(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(2);
    setHeaderLabels({tr("Replace"), tr("With")});
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The order is the order the pairs are applied in; a header click must not change it.
    header()->setSectionsClickable(false);
    header()->setSortIndicatorShown(false);
    setSortingEnabled(false);
}

void TReplaceList::AddPair(const ReplacePair& pair) {
    // Binary search for the first row that sorts after the new text (upper bound), so a
    // pair joins its equals at their end.
    int low = 0;
    int high = Count();
    while (low < high) {
        const int mid = (low + high) / 2;
        const std::string text = topLevelItem(mid)->text(0).toStdString();
        if (CompareReplaceText(pair.Replace, text) < 0) {
            high = mid;
        } else {
            low = mid + 1;
        }
    }
    auto* item = new QTreeWidgetItem(
        {QString::fromStdString(pair.Replace), QString::fromStdString(pair.ReplaceWith)});
    insertTopLevelItem(low, item);
}

std::vector<ReplacePair> TReplaceList::Pairs() const {
    std::vector<ReplacePair> pairs;
    pairs.reserve(static_cast<std::size_t>(Count()));
    for (int i = 0; i < Count(); ++i) {
        const QTreeWidgetItem* item = topLevelItem(i);
        pairs.push_back({item->text(0).toStdString(), item->text(1).toStdString()});
    }
    return pairs;
}

void TReplaceList::SetPairs(const std::vector<ReplacePair>& pairs) {
    clear();
    for (const ReplacePair& pair : pairs) {
        AddPair(pair);
    }
}

int TReplaceList::SelectedIndex() const {
    int first = -1;
    for (QTreeWidgetItem* item : selectedItems()) {
        const int index = indexOfTopLevelItem(item);
        if (first < 0 || index < first) {
            first = index;
        }
    }
    return first;
}

std::optional<ReplacePair> TReplaceList::RemoveSelected() {
    int index = SelectedIndex();
    if (index < 0) {
        return std::nullopt;
    }
    QTreeWidgetItem* item = takeTopLevelItem(index);
    ReplacePair pair{item->text(0).toStdString(), item->text(1).toStdString()};
    delete item;
    clearSelection();
    if (index >= Count()) {
        index = Count() - 1;
    }
    if (index >= 0) {
        setCurrentItem(topLevelItem(index));
        topLevelItem(index)->setSelected(true);
    }
    return pair;
}

QSize TReplaceList::sizeHint() const {
    return {240, header()->sizeHint().height() + 4 * fontMetrics().lineSpacing() + 8};
}

void TReplaceList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete) {
        emit deletePressed();
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

} // namespace qm
