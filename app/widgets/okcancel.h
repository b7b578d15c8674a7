#pragma once

// The OK and Cancel buttons of a dialog, ordered as the desktop orders them: OK is the
// default button and is named "OkBtn", Cancel "CancelBtn" and rejects the dialog. The
// caller connects Box's accepted() to what OK does. The widgets belong to the dialog.

class QDialog;
class QDialogButtonBox;
class QPushButton;

namespace qm {

struct OkCancelButtons {
    QDialogButtonBox* Box;
    QPushButton* Ok;
    QPushButton* Cancel;
};

OkCancelButtons MakeOkCancelButtons(QDialog& dialog);

} // namespace qm
