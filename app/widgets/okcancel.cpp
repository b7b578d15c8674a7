#include "app/widgets/okcancel.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

namespace qm {

OkCancelButtons MakeOkCancelButtons(QDialog& dialog) {
    auto* box = new QDialogButtonBox(&dialog);
    QPushButton* ok = box->addButton(QCoreApplication::translate("OkCancel", "&Ok"),
                                     QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("OkBtn"));
    ok->setDefault(true);
    QPushButton* cancel = box->addButton(QCoreApplication::translate("OkCancel", "&Cancel"),
                                         QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("CancelBtn"));
    QObject::connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    return {box, ok, cancel};
}

} // namespace qm
