#include "app/comboaccessible.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>

namespace qm {

namespace {

QAccessibleInterface* ComboFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("QComboBox") && object != nullptr && object->isWidgetType()) {
        return new TComboAccessible(static_cast<QWidget*>(object));
    }
    return nullptr;
}

} // namespace

TComboAccessible::TComboAccessible(QWidget* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

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
    const QString current = Box()->isEditable() ? Box()->lineEdit()->text() : Box()->currentText();
    switch (kind) {
    case QAccessible::Name: {
        // The accessible name, else the buddy label's caption.
        const QString name = QAccessibleWidget::text(kind);
        return name.isEmpty() ? current : name;
    }
    case QAccessible::Value:
        return current;
    default:
        return QAccessibleWidget::text(kind);
    }
}

int TComboAccessible::childCount() const {
    return Box()->isEditable() && Box()->lineEdit() != nullptr ? 2 : 1;
}

QAccessibleInterface* TComboAccessible::child(int index) const {
    if (index == 0) {
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
