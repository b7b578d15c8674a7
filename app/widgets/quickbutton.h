#pragma once

// TQuickButton: a button of the quick-button and scheme bars that shows one action, as
// the menu does: its caption whole (a "..." included) with its accelerator letter, its
// status tip, its enabled state, and a click triggers it. A plain QToolButton would show
// the action's icon text, from which Qt drops the "..." and the accelerator mark.
//
// Does not own the action; the action must outlive the button. Window thread only.

#include <QToolButton>

class QAction;

namespace qm {

class TQuickButton : public QToolButton {
    Q_OBJECT
public:
    TQuickButton(QAction* action, QWidget* parent = nullptr);

protected:
    void actionEvent(QActionEvent* event) override;
};

} // namespace qm
