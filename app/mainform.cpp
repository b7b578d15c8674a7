#include "app/mainform.h"

#include "app/list/filelistview.h"
#include "app/list/nameeditdelegate.h"
#include "app/options/optiontabs.h"
#include "app/widgets/quickbutton.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

namespace qm {

namespace {

// The built-in captions, in the window's translation context.
QString Tr(const char* text) {
    return QCoreApplication::translate("qm::TMain", text);
}

QAction* NewAction(QObject* owner, const char* name, const QString& caption,
                   bool checkable = false) {
    auto* action = new QAction(caption, owner);
    action->setObjectName(QString::fromLatin1(name));
    action->setCheckable(checkable);
    return action;
}

QWidget* Panel(QWidget* parent, const char* name) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(QString::fromLatin1(name));
    return panel;
}

QToolButton* QuickButton(QWidget* parent, const char* name, QAction* action) {
    auto* button = new TQuickButton(action, parent);
    button->setObjectName(QString::fromLatin1(name));
    // At least 90 pixels, and as wide as the caption of the language: see FitMinimumSize.
    button->setMinimumWidth(90);
    return button;
}

} // namespace

void TMainForm::Build(QMainWindow& window, QObject& listFilter) {
    BuildActions(window);
    BuildMenu(window);
    BuildPanels(window, listFilter);
}

void TMainForm::BuildActions(QMainWindow& window) {
    A_AddFiles = NewAction(&window, "A_AddFiles", Tr("&Add files..."));
    A_AddDirectory = NewAction(&window, "A_AddDirectory", Tr("A&dd directory..."));
    A_RemoveFiles = NewAction(&window, "A_RemoveFiles", Tr("&Remove selected"));
    A_RemoveAllFiles = NewAction(&window, "A_RemoveAllFiles", Tr("R&emove all"));
    A_RenameFiles = NewAction(&window, "A_RenameFiles", Tr("Re&name files"));
    A_Exit = NewAction(&window, "A_Exit", Tr("E&xit"));
    A_Undo = NewAction(&window, "A_Undo", Tr("&Undo"));
    A_Undo->setEnabled(false);
    A_History = NewAction(&window, "A_History", Tr("&History of renames..."));
    A_History->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    A_SelectAll = NewAction(&window, "A_SelectAll", Tr("Se&lect all"));
    A_SelectAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    // The keys move rows only while the list has the focus: in a text field or a number
    // box of the tabs they keep their own meaning.
    A_MoveUp = NewAction(&window, "A_MoveUp", Tr("Move u&p"));
    A_MoveUp->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Up));
    A_MoveUp->setShortcutContext(Qt::WidgetShortcut);
    A_MoveDown = NewAction(&window, "A_MoveDown", Tr("Move do&wn"));
    A_MoveDown->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Down));
    A_MoveDown->setShortcutContext(Qt::WidgetShortcut);
    A_QuickButtons = NewAction(&window, "A_QuickButtons", Tr("&Quick buttons"), true);
    A_SettingsBar = NewAction(&window, "A_SettingsBar", Tr("Sch&eme settings"), true);
    A_StatusBar = NewAction(&window, "A_StatusBar", Tr("&Status line"), true);
    A_CustomizeColumns = NewAction(&window, "A_CustomizeColumns", Tr("Cus&tomize columns..."));
    A_SaveRenameSettings =
        NewAction(&window, "A_SaveRenameSettings", Tr("Re&member rename settings"), true);
    A_SaveDirectorySettings =
        NewAction(&window, "A_SaveDirectorySettings", Tr("Select &last used folder"), true);
    A_ShowSuccessMessage =
        NewAction(&window, "A_ShowSuccessMessage", Tr("&Show successful rename status"), true);
    A_PlanRenameOrder =
        NewAction(&window, "A_PlanRenameOrder", Tr("&Plan the order of renames"), true);
    A_SortNumbersByValue =
        NewAction(&window, "A_SortNumbersByValue", Tr("Sort numbers by &value"), true);
    A_Reset = NewAction(&window, "A_Reset", Tr("&Clear options"));
    auto* keeps = new QActionGroup(&window);
    keeps->setExclusive(true);
    const auto keep = [&](const char* name, const char* caption, int days) {
        QAction* action = NewAction(&window, name, Tr(caption), true);
        action->setData(days);
        keeps->addAction(action);
        return action;
    };
    A_Keep7Days = keep("A_Keep7Days", "&7 days", 7);
    A_Keep30Days = keep("A_Keep30Days", "&30 days", 30);
    A_Keep1Year = keep("A_Keep1Year", "1 &year", 365);
    A_KeepForEver = keep("A_KeepForEver", "&For ever", 0);
    A_WebMKHP = NewAction(&window, "A_WebMKHP", Tr("&Marlowick website"));
    A_WebQMHP = NewAction(&window, "A_WebQMHP", Tr("&Quillmark website"));
    A_About = NewAction(&window, "A_About", Tr("&About Quillmark..."));
    A_SaveSchemeAs = NewAction(&window, "A_SaveSchemeAs", Tr("&Save as..."));
    A_DeleteScheme = NewAction(&window, "A_DeleteScheme", Tr("&Delete"));
    A_EditNewName = NewAction(&window, "A_EditNewName", Tr("&Edit new name"));
    A_UseOptionsName = NewAction(&window, "A_UseOptionsName", Tr("Use the &options' name"));
    A_EditNamesAsText = NewAction(&window, "A_EditNamesAsText", Tr("Edit new names as &text..."));
    A_ForgetHandNames = NewAction(&window, "A_ForgetHandNames", Tr("&Forget names typed by hand"));
}

void TMainForm::BuildMenu(QMainWindow& window) {
    QMenuBar* bar = window.menuBar();
    bar->setObjectName(QStringLiteral("MainMenu"));
    const auto menu = [&](const char* name, const QString& title) {
        QMenu* m = bar->addMenu(title);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    QMenu* file = menu("M_File", Tr("&File"));
    file->addActions({A_AddFiles, A_AddDirectory, A_RemoveFiles, A_RemoveAllFiles});
    file->addSeparator();
    file->addAction(A_RenameFiles);
    file->addSeparator();
    file->addAction(A_Exit);
    QMenu* edit = menu("M_Edit", Tr("&Edit"));
    edit->addActions({A_Undo, A_History});
    edit->addSeparator();
    edit->addAction(A_SelectAll);
    edit->addSeparator();
    edit->addActions({A_MoveUp, A_MoveDown});
    edit->addSeparator();
    edit->addActions({A_EditNamesAsText, A_ForgetHandNames});
    // Shown as a popup, without its title; the title names it to a screen reader.
    M_FileList = new QMenu(Tr("File list"), &window);
    M_FileList->setObjectName(QStringLiteral("M_FileList"));
    M_FileList->addActions({A_EditNewName, A_UseOptionsName});
    M_FileList->addSeparator();
    M_FileList->addAction(A_EditNamesAsText);
    M_FileList->addSeparator();
    M_FileList->addActions({A_MoveUp, A_MoveDown});
    QMenu* view = menu("M_View", Tr("&View"));
    view->addActions({A_QuickButtons, A_SettingsBar, A_StatusBar});
    view->addSeparator();
    view->addAction(A_CustomizeColumns);
    QMenu* options = menu("M_Options", Tr("&Options"));
    options->addActions({A_SaveRenameSettings, A_SaveDirectorySettings});
    options->addSeparator();
    options->addAction(A_ShowSuccessMessage);
    options->addAction(A_PlanRenameOrder);
    options->addAction(A_SortNumbersByValue);
    options->addSeparator();
    options->addAction(A_Reset);
    M_JournalKeep = options->addMenu(Tr("&Keep run journals"));
    M_JournalKeep->setObjectName(QStringLiteral("M_JournalKeep"));
    M_JournalKeep->addActions({A_Keep7Days, A_Keep30Days, A_Keep1Year, A_KeepForEver});
    M_Language = options->addMenu(Tr("&Languages"));
    M_Language->setObjectName(QStringLiteral("M_Language"));
    QMenu* help = menu("M_Help", Tr("&Help"));
    help->addActions({A_WebMKHP, A_WebQMHP});
    help->addSeparator();
    help->addAction(A_About);
}

void TMainForm::BuildPanels(QMainWindow& window, QObject& listFilter) {
    auto* central = new QWidget(&window);
    Column = new QVBoxLayout(central);
    QVBoxLayout* column = Column;
    column->setContentsMargins(4, 4, 4, 2);
    column->setSpacing(4);

    FileList = new TFileListView(central);
    FileList->setObjectName(QStringLiteral("FileList"));
    FileList->setAccessibleName(Tr("Files"));
    FileList->setRootIsDecorated(false);
    FileList->setUniformRowHeights(true);
    FileList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FileList->setSelectionBehavior(QAbstractItemView::SelectRows);
    FileList->setMinimumHeight(40);
    FileList->setAllColumnsShowFocus(true);
    // A long folder differs from its neighbours at its end, a long name at its extension;
    // the delegate cuts other columns as their cells ask.
    FileList->setTextElideMode(Qt::ElideMiddle);
    FileList->setItemDelegate(new TNameEditDelegate(FileList));
    // Only the new-name cell is editable; F2 is an action that finds that cell in the row.
    FileList->setEditTriggers(QAbstractItemView::DoubleClicked);
    // The stored widths are the user's: no column stretches to fill the view.
    FileList->header()->setStretchLastSection(false);
    FileList->header()->setSectionsClickable(true);
    FileList->header()->setSortIndicatorShown(true);
    FileList->header()->setSectionsMovable(false);
    FileList->setAcceptDrops(true);
    FileList->viewport()->setAcceptDrops(true);
    FileList->setDragDropMode(QAbstractItemView::DropOnly);
    FileList->installEventFilter(&listFilter);
    // On the list itself, so that their keys (a widget shortcut) work while it has focus.
    FileList->addActions({A_MoveUp, A_MoveDown});
    FileList->viewport()->installEventFilter(&listFilter);
    column->addWidget(FileList, 1);

    PanelButtons = Panel(central, "PanelButtons");
    auto* buttons = new QHBoxLayout(PanelButtons);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addWidget(QuickButton(PanelButtons, "AddFiles", A_AddFiles));
    buttons->addWidget(QuickButton(PanelButtons, "RemoveFiles", A_RemoveFiles));
    buttons->addStretch(1);
    buttons->addWidget(QuickButton(PanelButtons, "ConvertNames", A_RenameFiles));

    PanelSets = Panel(central, "PanelSets");
    auto* sets = new QHBoxLayout(PanelSets);
    sets->setContentsMargins(0, 0, 0, 0);
    Sets = new QComboBox(PanelSets);
    Sets->setObjectName(QStringLiteral("Sets"));
    Sets->setEditable(false);
    Sets->setMinimumContentsLength(16);
    Sets->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    SetsInfo = new QLabel(Tr("S&cheme:"), PanelSets);
    SetsInfo->setObjectName(QStringLiteral("SetsInfo"));
    SetsInfo->setBuddy(Sets);
    sets->addWidget(SetsInfo);
    sets->addWidget(Sets, 1);
    sets->addWidget(QuickButton(PanelSets, "SaveSetBtn", A_SaveSchemeAs));
    sets->addWidget(QuickButton(PanelSets, "DeleteSetBtn", A_DeleteScheme));
    auto* reset = new QPushButton(Tr("Clea&r"), PanelSets);
    reset->setObjectName(QStringLiteral("ResetBtn"));
    QObject::connect(reset, &QPushButton::clicked, A_Reset, &QAction::trigger);
    sets->addWidget(reset);

    PanelOptions = Panel(central, "PanelOptions");
    auto* options = new QVBoxLayout(PanelOptions);
    options->setContentsMargins(0, 0, 0, 0);
    Tabs = new TOptionTabs(PanelOptions);
    // The tabs keep the height they need; the file list takes what is left.
    Tabs->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    options->addWidget(Tabs);

    PanelStatus = Panel(central, "PanelStatus");
    auto* status = new QHBoxLayout(PanelStatus);
    status->setContentsMargins(2, 0, 2, 0);
    FileExample = new QLabel(PanelStatus);
    FileExample->setObjectName(QStringLiteral("FileExample"));
    FileExample->setFrameShape(QFrame::StyledPanel);
    FileExample->setFrameShadow(QFrame::Sunken);
    // A long hint or file name must not widen the window.
    FileExample->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    FileExample->setMinimumHeight(FileExample->fontMetrics().height() + 6);
    status->addWidget(FileExample);

    window.setCentralWidget(central);
    RestackBottomPanels();
    // The tab order follows the window from top to bottom.
    QWidget::setTabOrder(FileList,
                         PanelButtons->findChild<QToolButton*>(QStringLiteral("AddFiles")));
}

void TMainForm::RestackBottomPanels() {
    // From the bottom edge up: status line, option tabs, scheme bar, quick buttons.
    for (QWidget* panel : {PanelButtons, PanelSets, PanelOptions, PanelStatus}) {
        Column->removeWidget(panel);
    }
    for (QWidget* panel : {PanelButtons, PanelSets, PanelOptions, PanelStatus}) {
        Column->addWidget(panel);
    }
}

void TMainForm::FitMinimumSize(QMainWindow& window) const {
    // Longer captions (Danish, German) and the bars may need more than the fixed minimum:
    // below what the layout needs, captions would be cut off or drawn over their neighbours.
    // Measured on polished widgets: before the first showing they have no style yet.
    window.ensurePolished();
    for (QWidget* child : window.findChildren<QWidget*>()) {
        child->ensurePolished();
        // Each layout keeps a copy of its widgets' sizes until the next pass of events:
        // measured now, the window would keep the former language's minimum.
        child->updateGeometry();
    }
    // Every layout: activating the window's own does not reach into the tab pages, which
    // would keep the sizes of the former language's captions.
    for (QLayout* each : window.findChildren<QLayout*>()) {
        each->invalidate();
    }
    for (QToolButton* button : window.findChildren<QToolButton*>()) {
        if (button->defaultAction() != nullptr) {
            button->setMinimumWidth(std::max(90, button->sizeHint().width()));
        }
    }
    // The tab pages answer for the new captions only once asked themselves; the window's
    // layouts are then measured again on top of that.
    Tabs->minimumSizeHint();
    for (QLayout* each : window.findChildren<QLayout*>()) {
        each->invalidate();
    }
    const QSize needed = window.minimumSizeHint().expandedTo(
        Tabs->minimumSizeHint() +
        QSize(Column->parentWidget()->layout()->contentsMargins().left() +
                  Column->parentWidget()->layout()->contentsMargins().right(),
              0));
    window.setMinimumSize(std::max(MinimumWidth, needed.width()),
                          std::max(MinimumHeight, needed.height()));
}

} // namespace qm
