#include "app/list/nameeditdelegate.h"

#include "app/list/handnames.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QToolTip>

namespace qm {

namespace {

// What the editor started with and which cell it edits, kept on the editor itself: the
// view may keep an editor over a change of the cell.
constexpr char StartText[] = "qmStartText";
constexpr char EditedCell[] = "qmEditedCell";

} // namespace

QWidget* TNameEditDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const {
    QWidget* editor = TFileListDelegate::createEditor(parent, option, index);
    editor->setObjectName(QStringLiteral("NewNameEditor"));
    editor->setProperty(EditedCell, QVariant::fromValue(QPersistentModelIndex(index)));
    return editor;
}

void TNameEditDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* line = qobject_cast<QLineEdit*>(editor);
    // Once only: a change of the cell while the user types must not undo the typing.
    if (line == nullptr || line->property(StartText).isValid()) {
        return;
    }
    const QString text = index.data(Qt::EditRole).toString();
    line->setText(text);
    line->setProperty(StartText, text);
}

void TNameEditDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                     const QModelIndex& index) const {
    const auto* line = qobject_cast<QLineEdit*>(editor);
    // An empty name is refused by Enter; leaving the editor with one keeps the row as it was,
    // as does leaving it with the name it started with (it would tie the row to today's
    // options' name).
    if (line == nullptr || line->text().isEmpty() || line->text() == line->property(StartText)) {
        return;
    }
    model->setData(index, line->text(), Qt::EditRole);
}

bool TNameEditDelegate::eventFilter(QObject* object, QEvent* event) {
    auto* line = qobject_cast<QLineEdit*>(object);
    if (line == nullptr || event->type() != QEvent::KeyPress) {
        return TFileListDelegate::eventFilter(object, event);
    }
    const int key = static_cast<QKeyEvent*>(event)->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && line->text().isEmpty()) {
        QToolTip::showText(line->mapToGlobal(QPoint(0, line->height())), EmptyHandNameText(texts_),
                           line);
        return true;
    }
    if (key == Qt::Key_Escape) {
        const QPersistentModelIndex cell =
            line->property(EditedCell).value<QPersistentModelIndex>();
        emit closeEditor(line, QAbstractItemDelegate::RevertModelCache);
        if (cell.isValid()) {
            const_cast<QAbstractItemModel*>(cell.model())->setData(cell, QString(), Qt::EditRole);
        }
        return true;
    }
    return TFileListDelegate::eventFilter(object, event);
}

} // namespace qm
