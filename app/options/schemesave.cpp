#include "app/options/schemesave.h"

#include "app/widgets/okcancel.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace qm {

TSchemeSave::TSchemeSave(const QStringList& names, const QString& current, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("SchemeSave"));
    setWindowTitle(tr("Save scheme as"));
    Schemes = new QComboBox(this);
    Schemes->setObjectName(QStringLiteral("Schemes"));
    Schemes->setEditable(true);
    // The name is taken as typed: the box must not add it to its list or complete it to
    // an existing name behind the user's back.
    Schemes->setInsertPolicy(QComboBox::NoInsert);
    Schemes->setCompleter(nullptr);
    Schemes->addItems(names);
    Schemes->setCurrentIndex(-1);
    Schemes->setEditText(current);
    Schemes->setMinimumWidth(295);
    SchemesInfo = new QLabel(tr("&Scheme name:"), this);
    SchemesInfo->setObjectName(QStringLiteral("SchemesInfo"));
    SchemesInfo->setBuddy(Schemes);

    const OkCancelButtons okCancel = MakeOkCancelButtons(*this);
    QDialogButtonBox* buttons = okCancel.Box;
    OkBtn = okCancel.Ok;
    CancelBtn = okCancel.Cancel;
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* column = new QVBoxLayout(this);
    column->addWidget(SchemesInfo);
    column->addWidget(Schemes);
    column->addSpacing(6);
    column->addWidget(buttons);
    column->setSizeConstraint(QLayout::SetFixedSize);
}

void TSchemeSave::showEvent(QShowEvent* event) {
    if (texts_.Ready()) {
        LoadTexts();
    }
    QDialog::showEvent(event);
}

void TSchemeSave::LoadTexts() {
    setWindowTitle(texts_.Text("SCHEMESAVEASTITLE"));
    SchemesInfo->setText(texts_.Keyed("SCHEMENAME") + QLatin1Char(':'));
    OkBtn->setText(texts_.CommonKeyed("OK"));
    CancelBtn->setText(texts_.CommonKeyed("CANCEL"));
}

QString TSchemeSave::SchemeName() const {
    return Schemes->currentText();
}

} // namespace qm
