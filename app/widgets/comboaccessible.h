#pragma once

// TComboAccessible: what a screen reader is told of a drop-down list (QComboBox), in the
// form Qt's desktop bridge and the screen readers expect of one on Linux: the name is the
// current text (the scheme box is called "Colon fix" while that scheme is chosen), the
// caption that says what the box is for comes through the "labelled by" relation (the
// label whose buddy the box is, else the control given with SetLabel), and the current
// item is the selected one of the popup list, which with the line edit of an editable box
// makes the children. The actions open and close the popup, as with Qt's own.
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
    // For a box without a buddy label: `label`, a sibling of the box, says what it is for.
    static void SetLabel(QComboBox& box, const QWidget& label);

    QString text(QAccessible::Text kind) const override;
    QList<QPair<QAccessibleInterface*, QAccessible::Relation>>
    relations(QAccessible::Relation match) const override;
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
