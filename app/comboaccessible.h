#pragma once

// TComboAccessible: what a screen reader is told of a drop-down list (QComboBox). Qt's own
// answer on Linux names the box by its current text, so the scheme box would be called
// after whichever scheme is selected; here the name is the box's accessible name, else the
// caption of the label that is its buddy, and only failing both the current text. The
// value is the current text; the popup list and, when the box is editable, its line edit
// are the children, and the box's actions open and close the popup, as with Qt's own.
//
// Install() makes every combo box of the program use it; the interfaces belong to Qt's
// accessibility cache. Window thread only.

#include <QAccessibleWidget>

class QComboBox;

namespace qm {

class TComboAccessible : public QAccessibleWidget {
public:
    explicit TComboAccessible(QWidget* box);

    // Puts the factory in place for combo boxes created from now on; once per process.
    static void Install();

    QString text(QAccessible::Text kind) const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QStringList actionNames() const override;
    void doAction(const QString& name) override;
    QStringList keyBindingsForAction(const QString& name) const override;

private:
    QComboBox* Box() const;
};

} // namespace qm
