#include "app/list/customizecols.h"

#include "app/widgets/okcancel.h"
#include "settings/settings.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <utility>

namespace qm {

TCustomizeCols::TCustomizeCols(TColumnChecklist rows, TSettings& settings, QWidget* parent)
    : QDialog(parent), rows_(std::move(rows)), settings_(settings) {
    setObjectName(QStringLiteral("CustomizeCols"));
    setWindowTitle(tr("Customize columns"));
    ColList = new QListWidget(this);
    ColList->setObjectName(QStringLiteral("ColList"));
    ColList->setSelectionMode(QAbstractItemView::SingleSelection);
    ColListInfo = new QLabel(tr("&Columns:"), this);
    ColListInfo->setObjectName(QStringLiteral("ColListInfo"));
    ColListInfo->setBuddy(ColList);
    MoveUpBtn = new QPushButton(tr("Move &up"), this);
    MoveUpBtn->setObjectName(QStringLiteral("MoveUpBtn"));
    MoveDownBtn = new QPushButton(tr("Move &down"), this);
    MoveDownBtn->setObjectName(QStringLiteral("MoveDownBtn"));

    const OkCancelButtons okCancel = MakeOkCancelButtons(*this);
    QDialogButtonBox* buttons = okCancel.Box;
    OkBtn = okCancel.Ok;
    CancelBtn = okCancel.Cancel;
    connect(buttons, &QDialogButtonBox::accepted, this, &TCustomizeCols::OkBtnClick);

    auto* grid = new QGridLayout(this);
    grid->addWidget(ColListInfo, 0, 0);
    grid->addWidget(ColList, 1, 0, 3, 1);
    grid->addWidget(MoveUpBtn, 1, 1);
    grid->addWidget(MoveDownBtn, 2, 1);
    grid->setRowStretch(3, 1);
    grid->addWidget(buttons, 4, 0, 1, 2);

    connect(ColList, &QListWidget::itemChanged, this, &TCustomizeCols::ColListClickCheck);
    connect(ColList, &QListWidget::currentRowChanged, this, &TCustomizeCols::ColListClick);
    connect(MoveUpBtn, &QPushButton::clicked, this, [this] { MoveBtnClick(true); });
    connect(MoveDownBtn, &QPushButton::clicked, this, [this] { MoveBtnClick(false); });
    ShowRows(-1);
    ColList->setFocus();
}

void TCustomizeCols::showEvent(QShowEvent* event) {
    if (texts_.Ready()) {
        LoadTexts();
    }
    QDialog::showEvent(event);
}

void TCustomizeCols::LoadTexts() {
    setWindowTitle(texts_.Text("CUSTOMIZECOLUMNSTITLE"));
    ColListInfo->setText(texts_.Keyed("CUSTOMIZECOLUMNSNAMES") + QLatin1Char(':'));
    MoveUpBtn->setText(texts_.CommonKeyed("MOVEUP"));
    MoveDownBtn->setText(texts_.CommonKeyed("MOVEDOWN"));
    OkBtn->setText(texts_.CommonKeyed("OK"));
    CancelBtn->setText(texts_.CommonKeyed("CANCEL"));
}

void TCustomizeCols::ShowRows(int selected) {
    {
        const QSignalBlocker blocker(ColList);
        ColList->clear();
        for (const TColumnChecklist::Row& row : rows_.Rows()) {
            auto* item = new QListWidgetItem(QString::fromStdString(row.Caption), ColList);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            item->setCheckState(row.Checked ? Qt::Checked : Qt::Unchecked);
        }
        ColList->setCurrentRow(selected);
    }
    OkBtn->setEnabled(rows_.AnyChecked());
    ColListClick();
}

void TCustomizeCols::ColListClickCheck(QListWidgetItem* item) {
    const int row = ColList->row(item);
    // The selection stays on the row the user checked, wherever it moves.
    const std::string identifier = rows_.Rows()[static_cast<std::size_t>(row)].Identifier;
    rows_.SetChecked(row, item->checkState() == Qt::Checked);
    int selected = -1;
    for (int i = 0; i < rows_.Count(); ++i)
        if (rows_.Rows()[static_cast<std::size_t>(i)].Identifier == identifier)
            selected = i;
    ShowRows(selected);
}

void TCustomizeCols::ColListClick() {
    const int row = ColList->currentRow();
    MoveUpBtn->setEnabled(rows_.CanMoveUp(row));
    MoveDownBtn->setEnabled(rows_.CanMoveDown(row));
}

void TCustomizeCols::MoveBtnClick(bool up) {
    const int row = ColList->currentRow();
    ShowRows(up ? rows_.MoveUp(row) : rows_.MoveDown(row));
}

void TCustomizeCols::OkBtnClick() {
    settings_.Columns = rows_.ColumnSet();
    settings_.ColumnsWidth = rows_.ColumnWidths();
    accept();
}

} // namespace qm
