#pragma once

// The column dialog: a check list of the eight columns, shown ones checked at the top in
// display order, with buttons to move a checked column up or down. OK stores the new
// column set and widths in the settings; Cancel stores nothing. Created for one use by
// the main window and destroyed after it; the settings must outlive it.

#include "app/list/columnchecklist.h"
#include "app/widgets/dialogtexts.h"

#include <QDialog>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace qm {

class TSettings;

class TCustomizeCols : public QDialog {
    Q_OBJECT
public:
    TCustomizeCols(TColumnChecklist rows, TSettings& settings, QWidget* parent = nullptr);

    // The language clients the texts come from each time the dialog is shown.
    void UseLanguage(const TDynLang& common, const TDynLang& program) {
        texts_.Use(common, program);
    }
    void LoadTexts();

    const TColumnChecklist& Checklist() const { return rows_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowRows(int selected);
    void ColListClickCheck(QListWidgetItem* item);
    void ColListClick();
    void MoveBtnClick(bool up);
    void OkBtnClick();

    TDialogTexts texts_;
    TColumnChecklist rows_;
    TSettings& settings_;
    QLabel* ColListInfo;
    QListWidget* ColList;
    QPushButton* MoveUpBtn;
    QPushButton* MoveDownBtn;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;
};

} // namespace qm
