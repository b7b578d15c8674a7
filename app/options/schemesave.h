#pragma once

// "Save scheme as": asks for a scheme name, offering the names that exist. Created for one
// use by the main window and destroyed after it.

#include "app/widgets/dialogtexts.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

namespace qm {

class TSchemeSave : public QDialog {
    Q_OBJECT
public:
    // `names` are the scheme box's items in its order; `current` the selected scheme's
    // name or empty.
    TSchemeSave(const QStringList& names, const QString& current, QWidget* parent = nullptr);

    // The language clients the texts come from each time the dialog is shown.
    void UseLanguage(const TDynLang& common, const TDynLang& program) {
        texts_.Use(common, program);
    }
    void LoadTexts();

    // The name as typed or chosen, not trimmed.
    QString SchemeName() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    TDialogTexts texts_;
    QLabel* SchemesInfo;
    QComboBox* Schemes;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;
};

} // namespace qm
