#include "app/widgets/comboaccessible.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLineEdit>

namespace qm {

namespace {

// The object name of the control that labels a box without a buddy label.
constexpr char LabelProperty[] = "qm_accessibleLabel";

QAccessibleInterface* ComboFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("QComboBox") && object != nullptr && object->isWidgetType()) {
        return new TComboAccessible(static_cast<QWidget*>(object));
    }
    return nullptr;
}

// The current item is the selected one of the list, as the popup makes it when it opens.
// The window changes a box's item with its signals blocked, so the list is brought in
// line when a screen reader looks into it, not when the item changes.
void SelectCurrent(QComboBox& box) {
    QItemSelectionModel* selection = box.view()->selectionModel();
    const QModelIndex current =
        box.model()->index(box.currentIndex(), box.modelColumn(), box.rootModelIndex());
    if (selection != nullptr && !selection->isSelected(current)) {
        selection->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect);
    }
}

} // namespace

TComboAccessible::TComboAccessible(QWidget* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

void TComboAccessible::SetLabel(QComboBox& box, const QWidget& label) {
    box.setProperty(LabelProperty, label.objectName());
}

void TComboAccessible::Install() {
    static const bool installed = [] {
        QAccessible::installFactory(ComboFactory);
        return true;
    }();
    (void)installed;
}

QComboBox* TComboAccessible::Box() const {
    return static_cast<QComboBox*>(widget());
}

QString TComboAccessible::text(QAccessible::Text kind) const {
    switch (kind) {
    case QAccessible::Name:
    // The bridge reports a change of the box's value as a change of its name, and the
    // screen readers speak the name as what the box shows.
    case QAccessible::Value:
        return Box()->isEditable() ? Box()->lineEdit()->text() : Box()->currentText();
    default:
        return QAccessibleWidget::text(kind);
    }
}

QList<QPair<QAccessibleInterface*, QAccessible::Relation>>
TComboAccessible::relations(QAccessible::Relation match) const {
    // Qt's own gives the label whose buddy the box is.
    auto found = QAccessibleWidget::relations(match);
    const QString labelName = Box()->property(LabelProperty).toString();
    QWidget* parent = Box()->parentWidget();
    if ((match & QAccessible::Label) && !labelName.isEmpty() && parent != nullptr) {
        if (auto* label = parent->findChild<QWidget*>(labelName, Qt::FindDirectChildrenOnly)) {
            found.append({QAccessible::queryAccessibleInterface(label), QAccessible::Label});
        }
    }
    return found;
}

int TComboAccessible::childCount() const {
    return Box()->isEditable() && Box()->lineEdit() != nullptr ? 2 : 1;
}

QAccessibleInterface* TComboAccessible::child(int index) const {
    if (index == 0) {
        SelectCurrent(*Box());
        return QAccessible::queryAccessibleInterface(Box()->view());
    }
    if (index == 1 && childCount() == 2) {
        return QAccessible::queryAccessibleInterface(Box()->lineEdit());
    }
    return nullptr;
}

int TComboAccessible::indexOfChild(const QAccessibleInterface* child) const {
    if (child == nullptr) {
        return -1;
    }
    if (child->object() == Box()->view()) {
        return 0;
    }
    return childCount() == 2 && child->object() == Box()->lineEdit() ? 1 : -1;
}

QStringList TComboAccessible::actionNames() const {
    return {showMenuAction(), pressAction()};
}

void TComboAccessible::doAction(const QString& name) {
    if (name != showMenuAction() && name != pressAction()) {
        return;
    }
    if (Box()->view()->isVisible()) {
        Box()->hidePopup();
    } else {
        Box()->showPopup();
    }
}

QStringList TComboAccessible::keyBindingsForAction(const QString& /*name*/) const {
    return {};
}

} // namespace qm
