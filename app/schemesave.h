#pragma once

// "Save scheme as": asks for a scheme name, offering the names that exist. Created for one
// use by the main window and destroyed after it.

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

    // Replaces the built-in English texts by those given; an empty text keeps its default.
    void SetTexts(const QString& title, const QString& label, const QString& ok,
                  const QString& cancel);

    // The name as typed or chosen, not trimmed.
    QString SchemeName() const;

private:
    QLabel* SchemesInfo;
    QComboBox* Schemes;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;
};

} // namespace qm
