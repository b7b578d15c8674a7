#include "app/list/filelistdelegate.h"

#include "app/list/filelistmodel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>

namespace qm {

namespace {

constexpr QChar Ellipsis(0x2026);

// The style's text rectangle less the margins it keeps inside it, as it lays out the text.
int TextWidth(const QStyleOptionViewItem& option) {
    const QWidget* widget = option.widget;
    const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    return style->subElementRect(QStyle::SE_ItemViewItemText, &option, widget).width() - 2 * margin;
}

} // namespace

QString WholeWords(const QFontMetrics& metrics, const QString& text, int width) {
    if (metrics.horizontalAdvance(text) <= width) {
        return text;
    }
    for (qsizetype end = text.lastIndexOf(QLatin1Char(' ')); end > 0;
         end = text.lastIndexOf(QLatin1Char(' '), end - 1)) {
        const QString shortened = text.left(end) + Ellipsis;
        if (metrics.horizontalAdvance(shortened) <= width) {
            return shortened;
        }
    }
    return QString(Ellipsis);
}

QString TFileListDelegate::ShownText(const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    return Shortened(cell, index);
}

QString TFileListDelegate::Shortened(const QStyleOptionViewItem& cell,
                                     const QModelIndex& index) const {
    const int width = TextWidth(cell);
    const QVariant fit = index.data(CellFitRole);
    if (!fit.isValid()) {
        return cell.fontMetrics.elidedText(cell.text, cell.textElideMode, width);
    }
    switch (fit.value<CellFit>()) {
    case CellFit::WholeWords:
        return WholeWords(cell.fontMetrics, cell.text, width);
    case CellFit::Middle:
        return cell.fontMetrics.elidedText(cell.text, Qt::ElideMiddle, width);
    case CellFit::End:
        break;
    }
    return cell.fontMetrics.elidedText(cell.text, Qt::ElideRight, width);
}

void TFileListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    // One reading of the cell: its text may cost a look at the disk or a new name.
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    // Shortened here, so the style has nothing left to cut.
    cell.text = Shortened(cell, index);
    cell.textElideMode = Qt::ElideNone;
    const QWidget* widget = option.widget;
    const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);
}

bool TFileListDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                  const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event != nullptr && event->type() == QEvent::ToolTip &&
        !index.data(Qt::ToolTipRole).isValid()) {
        const QString whole = index.data(Qt::DisplayRole).toString();
        if (ShownText(option, index) != whole) {
            QToolTip::showText(event->globalPos(), whole, view);
            return true;
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

} // namespace qm
