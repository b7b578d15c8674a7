#pragma once

// TFileListDelegate draws the file list's cells, shortening a text too wide for its cell
// as the cell's CellFitRole asks (see filelistmodel.h): a size or date is cut only between
// words, so a number is shown whole or not at all. A cell without the role is shortened
// as the view's text elide mode says. A shortened cell shows its whole text as tool tip,
// unless the model gives a tool tip of its own.
//
// Stateless; window thread only.

#include <QStyledItemDelegate>

class QFontMetrics;

namespace qm {

class TFileListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // The text the cell at `index` shows in `option`'s rectangle.
    QString ShownText(const QStyleOptionViewItem& option, const QModelIndex& index) const;

private:
    // The text of `cell`, an option already filled from `index`, as it fits the cell.
    QString Shortened(const QStyleOptionViewItem& cell, const QModelIndex& index) const;
};

// The leading words of `text` (split at spaces) that fit in `width` pixels followed by
// "…" when any word was left out; `text` itself when it fits, "…" alone when not even the
// first word fits with it.
QString WholeWords(const QFontMetrics& metrics, const QString& text, int width);

} // namespace qm
