#include "app/list/namecommands.h"

#include "app/list/filelistmodel.h"
#include "app/list/handnames.h"
#include "app/list/nameeditdelegate.h"
#include "app/list/nametextdialog.h"
#include "app/widgets/qttext.h"
#include "filelist/fileitem.h"
#include "filelist/fileitems.h"
#include "language/dynlang.h"

#include <QAction>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMessageBox>
#include <QTreeView>
#include <algorithm>
#include <memory>

namespace qm {

namespace {

struct WaitCursor {
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

TNameCommands::TNameCommands(QTreeView& view, TFileListModel& model, TFileItems& items,
                             const NameActions& actions, MarkTextSource texts, QWidget& window)
    : view_(view), model_(model), items_(items), actions_(actions), texts_(std::move(texts)),
      window_(window) {
    connect(actions_.EditNewName, &QAction::triggered, this, &TNameCommands::EditNewName);
    connect(actions_.UseOptionsName, &QAction::triggered, this, &TNameCommands::UseOptionsName);
    connect(actions_.ForgetHandNames, &QAction::triggered, this, &TNameCommands::ForgetHandNames);
    connect(actions_.EditNamesAsText, &QAction::triggered, this, &TNameCommands::EditNamesAsText);
    if (auto* delegate = qobject_cast<TNameEditDelegate*>(view_.itemDelegate())) {
        delegate->SetTexts(texts_);
    }
    view_.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&view_, &QWidget::customContextMenuRequested, this, &TNameCommands::ShowListMenu);
    // Whether a selected row has a name to give back is asked only when the menu opens: a
    // selection of every row of a long list would be walked at each click otherwise.
    connect(actions_.ListMenu, &QMenu::aboutToShow, this, [this] {
        actions_.UseOptionsName->setEnabled(model_.NamesEditable() &&
                                            !HandNamesToDrop(items_, SelectedRows()).empty());
    });
    // The shortcut belongs to the list: in the editor, F2 is the editor's.
    actions_.EditNewName->setShortcut(QKeySequence(Qt::Key_F2));
    actions_.EditNewName->setShortcutContext(Qt::WidgetShortcut);
    view_.addAction(actions_.EditNewName);
}

void TNameCommands::UseLanguage(const TDynLang& common, const TDynLang& program) {
    common_ = &common;
    program_ = &program;
}

void TNameCommands::UpdateActionStates() {
    const bool editable = model_.NamesEditable() && items_.Count() > 0;
    actions_.EditNewName->setEnabled(editable && NewNameColumn() >= 0);
    actions_.EditNamesAsText->setEnabled(editable);
    actions_.ForgetHandNames->setEnabled(editable && model_.HandNameCount() > 0);
}

void TNameCommands::SetRunning(bool running) {
    model_.SetNamesEditable(!running);
    UpdateActionStates();
    if (running) {
        actions_.UseOptionsName->setEnabled(false);
    }
}

int TNameCommands::NewNameColumn() const {
    const std::vector<ShownColumn>& columns = model_.Columns();
    const auto at = std::find_if(columns.begin(), columns.end(), [](const ShownColumn& column) {
        return column.Id == ColumnId::NewName;
    });
    return at == columns.end() ? -1 : static_cast<int>(at - columns.begin());
}

std::vector<int> TNameCommands::SelectedRows() const {
    std::vector<int> rows;
    if (const QItemSelectionModel* selection = view_.selectionModel()) {
        for (const QModelIndex& index : selection->selectedRows()) {
            rows.push_back(index.row());
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<int> TNameCommands::TextRows() const {
    // One selected row is where the user stands, not a choice of rows: the text of one name
    // is the editor's job, and the list as text is what the command is asked for.
    std::vector<int> rows = SelectedRows();
    if (rows.size() < 2) {
        rows.resize(static_cast<std::size_t>(items_.Count()));
        for (std::size_t i = 0; i < rows.size(); ++i) {
            rows[i] = static_cast<int>(i);
        }
    }
    return rows;
}

void TNameCommands::EditNewName() {
    const int column = NewNameColumn();
    int row = view_.currentIndex().row();
    if (row < 0) {
        const std::vector<int> selected = SelectedRows();
        row = selected.empty() ? -1 : selected.front();
    }
    if (column < 0 || row < 0 || !model_.NamesEditable()) {
        return;
    }
    const QModelIndex cell = model_.index(row, column);
    view_.scrollTo(cell);
    view_.edit(cell);
}

void TNameCommands::UseOptionsName() {
    model_.SetHandNames(HandNamesToDrop(items_, SelectedRows()));
}

void TNameCommands::ForgetHandNames() {
    model_.SetHandNames(HandNamesToDrop(items_, {}, true));
}

void TNameCommands::EditNamesAsText() {
    if (!model_.NamesEditable()) {
        return;
    }
    // 100,000 names take about half a second to lay out as text.
    auto waiting = std::make_unique<WaitCursor>();
    const std::vector<int> rows = TextRows();
    QStringList names;
    names.reserve(static_cast<qsizetype>(rows.size()));
    {
        const auto lock = items_.ReadLock();
        for (int row : rows) {
            const TFileItem* entry = items_.Items(row);
            names << (entry != nullptr ? model_.CellText(*entry, ColumnId::NewName, row)
                                       : QString());
        }
    }
    if (const qsizetype broken = FirstNameWithLineBreak(names); broken >= 0) {
        waiting.reset();
        const TFileItem* entry = items_.Items(rows[static_cast<std::size_t>(broken)]);
        QString message = ScreenText(texts_ ? texts_("NAMESTEXTLINEBREAK") : std::string());
        if (message.isEmpty()) {
            message = QStringLiteral("The new name of \u201c%1\u201d holds a line break, which a "
                                     "line of text cannot hold: give it another name first");
        }
        QMessageBox box(
            QMessageBox::Warning, window_.windowTitle(),
            message.replace(QLatin1String("%1"), entry != nullptr ? Q(entry->Name()) : QString()),
            QMessageBox::Ok, &window_);
        box.setObjectName(QStringLiteral("NamesTextRefused"));
        box.exec();
        return;
    }
    TNameTextDialog dialog(names, &window_);
    if (common_ != nullptr && program_ != nullptr) {
        dialog.UseLanguage(*common_, *program_);
    }
    waiting.reset();
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const WaitCursor applying;
    const QStringList lines = dialog.Lines();
    std::vector<HandNameChange> changes;
    for (qsizetype i = 0; i < lines.size() && i < names.size(); ++i) {
        if (lines[i] != names[i]) {
            changes.emplace_back(rows[static_cast<std::size_t>(i)], S(lines[i]));
        }
    }
    model_.SetHandNames(changes);
}

void TNameCommands::ShowListMenu(const QPoint& at) {
    actions_.ListMenu->popup(view_.viewport()->mapToGlobal(at));
}

} // namespace qm
