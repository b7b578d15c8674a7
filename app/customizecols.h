#pragma once

// The column dialog: a check list of the eight columns, shown ones checked at the top in
// display order, with buttons to move a checked column up or down. OK stores the new
// column set and widths in the settings; Cancel stores nothing. Created for one use by
// the main window and destroyed after it; the settings must outlive it.

#include "app/columnchecklist.h"

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

    // Replaces the built-in English texts by those given; an empty text keeps its default.
    void SetTexts(const QString& title, const QString& label, const QString& moveUp,
                  const QString& moveDown, const QString& ok, const QString& cancel);

    const TColumnChecklist& Checklist() const { return rows_; }

private:
    void ShowRows(int selected);
    void ColListClickCheck(QListWidgetItem* item);
    void ColListClick();
    void MoveBtnClick(bool up);
    void OkBtnClick();

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
