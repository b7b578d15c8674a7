#include "app/widgets/quickbutton.h"

#include <QAction>
#include <QActionEvent>

namespace qm {

TQuickButton::TQuickButton(QAction* action, QWidget* parent) : QToolButton(parent) {
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    setDefaultAction(action);
    setText(action->text());
}

void TQuickButton::actionEvent(QActionEvent* event) {
    // The tool button takes every change of its action, the caption as icon text; the
    // caption then goes back as the menu shows it.
    QToolButton::actionEvent(event);
    if (event->type() == QEvent::ActionChanged && event->action() == defaultAction()) {
        setText(defaultAction()->text());
    }
}

} // namespace qm
