#include "app/mainwindow.h"

#include "app/about.h"
#include "app/comboaccessible.h"
#include "app/directoryselector.h"
#include "app/enablingrules.h"
#include "app/fileadder.h"
#include "app/filelistdelegate.h"
#include "app/filelistmodel.h"
#include "app/journalmessages.h"
#include "app/listcolumns.h"
#include "app/maintexts.h"
#include "app/optionmapping.h"
#include "app/optiontabs.h"
#include "app/predictionrunner.h"
#include "app/qttext.h"
#include "app/quickbutton.h"
#include "app/renamecommands.h"
#include "app/renamesummary.h"
#include "app/replacelist.h"
#include "app/schemebox.h"
#include "app/schemesave.h"
#include "app/splash.h"
#include "app/weblinks.h"
#include "engine/newname.h"
#include "filelist/entrycomparer.h"
#include "filelist/fileitem.h"
#include "filelist/filelist.h"
#include "filelist/versioninfo.h"
#include "language/dynlang.h"
#include "language/textkeys.h"
#include "settings/settings.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace qm {

namespace {

constexpr int MinimumWidth = 489;
constexpr int MinimumHeight = 350;

QWidget* Panel(QWidget* parent, const char* name) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(QString::fromLatin1(name));
    return panel;
}

QToolButton* QuickButton(QWidget* parent, const char* name, QAction* action) {
    auto* button = new TQuickButton(action, parent);
    button->setObjectName(QString::fromLatin1(name));
    // At least 90 pixels, and as wide as the caption of the language: see BindTexts.
    button->setMinimumWidth(90);
    return button;
}

} // namespace

TMain::TMain(const CommandLine& commandLine, QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Main"));
    // Before any combo box exists: the scheme box is named by its label, not its scheme.
    TComboAccessible::Install();
    BuildActions();
    BuildMenu();
    BuildPanels();
    ConnectControls();
    FormCreate(commandLine);
}

TMain::~TMain() {
    // The controls go first, while the objects their handlers use still exist, and
    // without running those handlers: a window destroyed without closing (a test, an
    // error path) must not refresh itself from half-destroyed controls.
    closing_ = true;
    prediction_.reset();
    renameCommands_.reset();
    disconnect(tabs_, nullptr, this, nullptr);
    disconnect(tabs_->ReplaceList, nullptr, this, nullptr);
    FileList->setModel(nullptr);
    // The list's own teardown sends events; the filter must not look at a list that is
    // half gone.
    FileList->removeEventFilter(this);
    FileList->viewport()->removeEventFilter(this);
    columns_.reset();
    adder_.reset();
    delete takeCentralWidget();
    model_.reset();
}

QAction* TMain::NewAction(const char* name, const QString& caption, bool checkable) {
    auto* action = new QAction(caption, this);
    action->setObjectName(QString::fromLatin1(name));
    action->setCheckable(checkable);
    return action;
}

void TMain::BuildActions() {
    A_AddFiles = NewAction("A_AddFiles", tr("&Add files..."));
    A_AddDirectory = NewAction("A_AddDirectory", tr("A&dd directory..."));
    A_RemoveFiles = NewAction("A_RemoveFiles", tr("&Remove selected"));
    A_RemoveAllFiles = NewAction("A_RemoveAllFiles", tr("R&emove all"));
    A_RenameFiles = NewAction("A_RenameFiles", tr("Re&name files"));
    A_Exit = NewAction("A_Exit", tr("E&xit"));
    A_Undo = NewAction("A_Undo", tr("&Undo"));
    A_Undo->setEnabled(false);
    A_SelectAll = NewAction("A_SelectAll", tr("Se&lect all"));
    A_SelectAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    A_QuickButtons = NewAction("A_QuickButtons", tr("&Quick buttons"), true);
    A_SettingsBar = NewAction("A_SettingsBar", tr("Sch&eme settings"), true);
    A_StatusBar = NewAction("A_StatusBar", tr("&Status line"), true);
    A_CustomizeColumns = NewAction("A_CustomizeColumns", tr("Cus&tomize columns..."));
    A_SaveRenameSettings = NewAction("A_SaveRenameSettings", tr("Re&member rename settings"), true);
    A_SaveDirectorySettings =
        NewAction("A_SaveDirectorySettings", tr("Select &last used folder"), true);
    A_ShowSuccessMessage =
        NewAction("A_ShowSuccessMessage", tr("&Show successful rename status"), true);
    A_PlanRenameOrder = NewAction("A_PlanRenameOrder", tr("&Plan the order of renames"), true);
    A_Reset = NewAction("A_Reset", tr("&Clear options"));
    A_WebMKHP = NewAction("A_WebMKHP", tr("&Marlowick website"));
    A_WebQMHP = NewAction("A_WebQMHP", tr("&Quillmark website"));
    A_About = NewAction("A_About", tr("&About Quillmark..."));
    A_SaveSchemeAs = NewAction("A_SaveSchemeAs", tr("&Save as..."));
    A_DeleteScheme = NewAction("A_DeleteScheme", tr("&Delete"));
}

void TMain::BuildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu"));
    const auto menu = [&](const char* name, const QString& title) {
        QMenu* m = bar->addMenu(title);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    QMenu* file = menu("M_File", tr("&File"));
    file->addActions({A_AddFiles, A_AddDirectory, A_RemoveFiles, A_RemoveAllFiles});
    file->addSeparator();
    file->addAction(A_RenameFiles);
    file->addSeparator();
    file->addAction(A_Exit);
    QMenu* edit = menu("M_Edit", tr("&Edit"));
    edit->addAction(A_Undo);
    edit->addSeparator();
    edit->addAction(A_SelectAll);
    QMenu* view = menu("M_View", tr("&View"));
    view->addActions({A_QuickButtons, A_SettingsBar, A_StatusBar});
    view->addSeparator();
    view->addAction(A_CustomizeColumns);
    QMenu* options = menu("M_Options", tr("&Options"));
    options->addActions({A_SaveRenameSettings, A_SaveDirectorySettings});
    options->addSeparator();
    options->addAction(A_ShowSuccessMessage);
    options->addAction(A_PlanRenameOrder);
    options->addSeparator();
    options->addAction(A_Reset);
    M_Language = options->addMenu(tr("&Languages"));
    M_Language->setObjectName(QStringLiteral("M_Language"));
    QMenu* help = menu("M_Help", tr("&Help"));
    help->addActions({A_WebMKHP, A_WebQMHP});
    help->addSeparator();
    help->addAction(A_About);
}

void TMain::BuildPanels() {
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(4, 4, 4, 2);
    column->setSpacing(4);

    FileList = new QTreeView(central);
    FileList->setObjectName(QStringLiteral("FileList"));
    FileList->setAccessibleName(tr("Files"));
    FileList->setRootIsDecorated(false);
    FileList->setUniformRowHeights(true);
    FileList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FileList->setSelectionBehavior(QAbstractItemView::SelectRows);
    FileList->setMinimumHeight(40);
    FileList->setAllColumnsShowFocus(true);
    // A long folder differs from its neighbours at its end, a long name at its extension;
    // the delegate cuts other columns as their cells ask.
    FileList->setTextElideMode(Qt::ElideMiddle);
    FileList->setItemDelegate(new TFileListDelegate(FileList));
    // The stored widths are the user's: no column stretches to fill the view.
    FileList->header()->setStretchLastSection(false);
    FileList->header()->setSectionsClickable(true);
    FileList->header()->setSortIndicatorShown(true);
    FileList->header()->setSectionsMovable(false);
    FileList->setAcceptDrops(true);
    FileList->viewport()->setAcceptDrops(true);
    FileList->setDragDropMode(QAbstractItemView::DropOnly);
    FileList->installEventFilter(this);
    FileList->viewport()->installEventFilter(this);
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
    SetsInfo = new QLabel(tr("S&cheme:"), PanelSets);
    SetsInfo->setObjectName(QStringLiteral("SetsInfo"));
    SetsInfo->setBuddy(Sets);
    sets->addWidget(SetsInfo);
    sets->addWidget(Sets, 1);
    sets->addWidget(QuickButton(PanelSets, "SaveSetBtn", A_SaveSchemeAs));
    sets->addWidget(QuickButton(PanelSets, "DeleteSetBtn", A_DeleteScheme));
    auto* reset = new QPushButton(tr("Clea&r"), PanelSets);
    reset->setObjectName(QStringLiteral("ResetBtn"));
    connect(reset, &QPushButton::clicked, A_Reset, &QAction::trigger);
    sets->addWidget(reset);

    PanelOptions = Panel(central, "PanelOptions");
    auto* options = new QVBoxLayout(PanelOptions);
    options->setContentsMargins(0, 0, 0, 0);
    tabs_ = new TOptionTabs(PanelOptions);
    // The tabs keep the height they need; the file list takes what is left.
    tabs_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    options->addWidget(tabs_);

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

    setCentralWidget(central);
    RestackBottomPanels();
    // The tab order follows the window from top to bottom.
    setTabOrder(FileList, PanelButtons->findChild<QToolButton*>(QStringLiteral("AddFiles")));
}

void TMain::ConnectControls() {
    connect(tabs_, &TOptionTabs::optionChanged, this, &TMain::UpdateCompExample);
    connect(tabs_->ReplaceAddBtn, &QPushButton::clicked, this, &TMain::ReplaceAddBtnClick);
    connect(tabs_->ReplaceRemoveBtn, &QPushButton::clicked, this, &TMain::ReplaceRemoveBtnClick);
    // Enter in either entry field adds the pair, as a default button would.
    for (QLineEdit* entry : {tabs_->Replace, tabs_->ReplaceWith}) {
        connect(entry, &QLineEdit::returnPressed, tabs_->ReplaceAddBtn, &QPushButton::click);
    }
    connect(tabs_->ReplaceList, &TReplaceList::deletePressed, tabs_->ReplaceRemoveBtn,
            &QPushButton::click);
    connect(tabs_->ReplaceList, &QTreeWidget::itemSelectionChanged, this,
            &TMain::ReplaceListSelectItem);
    connect(Sets, &QComboBox::activated, this, &TMain::SetsChange);

    connect(A_Exit, &QAction::triggered, this, &QWidget::close);
    connect(A_AddFiles, &QAction::triggered, this, &TMain::A_AddFilesExecute);
    connect(A_AddDirectory, &QAction::triggered, this, &TMain::A_AddDirectoryExecute);
    connect(A_RemoveFiles, &QAction::triggered, this, &TMain::A_RemoveFilesExecute);
    connect(A_RemoveAllFiles, &QAction::triggered, this, &TMain::A_RemoveAllFilesExecute);
    connect(A_RenameFiles, &QAction::triggered, this, &TMain::A_RenameFilesExecute);
    connect(A_Undo, &QAction::triggered, this, &TMain::A_UndoExecute);
    connect(A_CustomizeColumns, &QAction::triggered, this, &TMain::A_CustomizeColumnsExecute);
    connect(FileList->header(), &QHeaderView::sectionClicked, this, &TMain::FileListColumnClick);
    connect(A_SelectAll, &QAction::triggered, FileList, &QTreeView::selectAll);
    connect(A_Reset, &QAction::triggered, this, &TMain::A_ResetExecute);
    connect(A_SaveSchemeAs, &QAction::triggered, this, &TMain::A_SaveSchemeAsExecute);
    connect(A_DeleteScheme, &QAction::triggered, this, &TMain::A_DeleteSchemeExecute);
    connect(A_QuickButtons, &QAction::triggered, this,
            [this](bool on) { ToggleBar(PanelButtons, on); });
    connect(A_SettingsBar, &QAction::triggered, this,
            [this](bool on) { ToggleBar(PanelSets, on); });
    connect(A_StatusBar, &QAction::triggered, this,
            [this](bool on) { ToggleBar(PanelStatus, on); });
    connect(A_SaveRenameSettings, &QAction::triggered, this,
            [this](bool on) { settings_->ResetRenamingOptions = !on; });
    connect(A_SaveDirectorySettings, &QAction::triggered, this,
            [this](bool on) { settings_->DisableInitialFolderSelection = !on; });
    connect(A_ShowSuccessMessage, &QAction::triggered, this,
            [this](bool on) { settings_->ShowRenameSuccess = on; });
    connect(A_PlanRenameOrder, &QAction::triggered, this, [this](bool on) {
        settings_->PlanRenameOrder = on;
        emit planRenameOrderChanged(on);
    });
    connect(A_WebMKHP, &QAction::triggered, this, [this] {
        QDesktopServices::openUrl(QUrl(Q(PageUrl(MakerPageAddress(settings_->Language)))));
    });
    connect(A_WebQMHP, &QAction::triggered, this, [this] {
        QDesktopServices::openUrl(QUrl(Q(PageUrl(ProductPageAddress(settings_->Language)))));
    });
    connect(A_About, &QAction::triggered, this, [this] {
        TAbout about(*versionInfo_, *commonLang_, *programLang_, this);
        about.exec();
    });
}

// ---- start-up and shutdown ----

void TMain::FormCreate(const CommandLine& commandLine) {
    setWindowTitle(QStringLiteral("Marlowick Quillmark"));
    closing_ = false;
    versionInfo_ = std::make_unique<TVersionInfo>();
    settings_ = std::make_unique<TSettings>();
    settings_->UseDevelopmentKey = commandLine.useDevelopmentKey;
    settings_->Load();
    settings_->RegisterStart();
    settings_->RegisterApplication();
    schemeBox_ = std::make_unique<TSchemeBox>(*Sets, settings_->Schemas);
    fileList_ = std::make_unique<TFileList>();
    comparer_ = std::make_unique<TEntryComparer>();
    comparer_->Install(fileList_->Items());
    model_ = std::make_unique<TFileListModel>(
        *fileList_, [this](const std::string& key) { return Text(key); },
        [this](const std::string& key) {
            return commonLang_ != nullptr ? commonLang_->GetText(key) : std::string();
        });
    SetFileListModel(model_.get());
    columns_ = std::make_unique<TListColumns>(*FileList, *model_, *comparer_, fileList_->Items());
    adder_ = std::make_unique<TFileAdder>(fileList_->Items(), *model_, *this);
    prediction_ = std::make_unique<TPredictionRunner>(
        fileList_->Items(), [this] { return ReadOptionsFromControls(*tabs_); },
        [this](std::vector<TRowMark> marks) { ShowMarks(std::move(marks)); }, this);
    prediction_->setObjectName(QStringLiteral("Prediction"));
    // Every change of the list's rows comes through a reset of the model. Nothing is
    // predicted while the list is half changed (adding shows progress, which lets the
    // pause end meanwhile).
    connect(model_.get(), &QAbstractItemModel::modelAboutToBeReset, prediction_.get(),
            &TPredictionRunner::Stop);
    connect(model_.get(), &QAbstractItemModel::modelReset, this, &TMain::RestartPrediction);
    // The marks tell what the run will do, and a planned run does other things.
    prediction_->SetOrder(PlanRenameOrder() ? RunOrder::Planned : RunOrder::ListOrder);
    connect(this, &TMain::planRenameOrderChanged, this, [this](bool on) {
        if (prediction_ != nullptr) {
            prediction_->SetOrder(on ? RunOrder::Planned : RunOrder::ListOrder);
            RestartPrediction();
        }
    });
    for (const std::string& path : commandLine.paths) {
        AddFile(path);
    }
    const std::string location = settings_->ExpandPath("%APPPATH%");
    commonLang_ = std::make_unique<TDynLang>(location, std::string(CommonPackageName));
    commonLang_->SelectLanguage(settings_->Language);
    programLang_ = std::make_unique<TDynLang>(location, std::string(ProgramPackageName));
    programLang_->SelectLanguage(settings_->Language);
    languageNames_ = programLang_->LanguageNames();
    nativeLanguageNames_ = programLang_->NativeLanguageNames();
    renameCommands_ =
        std::make_unique<TRenameCommands>(*this, fileList_->Items(), *model_, *tabs_, *settings_,
                                          *versionInfo_, *commonLang_, *programLang_);
    // The run changes the names under the prediction and its marks; the list's reset
    // afterwards starts it again.
    connect(renameCommands_.get(), &TRenameCommands::runStarting, this, [this] {
        prediction_->Stop();
        ShowMarks({});
    });
    connect(renameCommands_.get(), &TRenameCommands::undoAvailable, A_Undo, &QAction::setEnabled);
    connect(renameCommands_.get(), &TRenameCommands::runFinished, this,
            &TMain::RefreshOptionControls);
    setMinimumSize(MinimumWidth, MinimumHeight);
    // Sizeable and minimisable, without a maximise box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
}

void TMain::setVisible(bool visible) {
    // Placement and state are set before the first showing, so the window appears
    // where it was left instead of moving after it is mapped.
    if (visible && !shown_ && settings_ != nullptr) {
        shown_ = true;
        FormShow();
    }
    QMainWindow::setVisible(visible);
}

void TMain::FormShow() {
    // The splash covers the window's setup and stays at least two seconds; tests and the
    // screenshot tool skip the wait.
    TSplash splash(*versionInfo_, *commonLang_);
    splash.Present();
    const TSettings& s = *settings_;
    setGeometry(s.Left, s.Top, std::max(s.Width, MinimumWidth), std::max(s.Height, MinimumHeight));
    if (s.State == 1) {
        setWindowState(Qt::WindowMinimized);
    } else if (s.State != 0) {
        setWindowState(Qt::WindowMaximized);
    }
    A_QuickButtons->setChecked(s.ShowQuickButtons);
    PanelButtons->setVisible(s.ShowQuickButtons);
    A_SettingsBar->setChecked(s.ShowSchemeOptions);
    PanelSets->setVisible(s.ShowSchemeOptions);
    A_StatusBar->setChecked(s.ShowStatusLine);
    PanelStatus->setVisible(s.ShowStatusLine);
    RestackBottomPanels();
    tabs_->setCurrentIndex(0);
    A_SaveRenameSettings->setChecked(!s.ResetRenamingOptions);
    A_SaveDirectorySettings->setChecked(!s.DisableInitialFolderSelection);
    A_ShowSuccessMessage->setChecked(s.ShowRenameSuccess);
    A_PlanRenameOrder->setChecked(s.PlanRenameOrder);
    if (!s.ResetRenamingOptions) {
        ApplyOptionsToControls(*tabs_, s.Options);
    }
    schemeBox_->Fill();
    schemeBox_->Select(s.CurrentSchema);
    columns_->ApplyColumnSet(s.Columns);
    columns_->ApplyColumnWidths(s.ColumnsWidth);
    // The command line's files came in before the list knew its sort column.
    columns_->RestoreSort(s.ColumnSortFieldIndex, s.ColumnSortDeclining,
                          ReadOptionsFromControls(*tabs_));
    splash.CloseAfter(qEnvironmentVariableIsSet("QUILLMARK_NO_SPLASH_WAIT") ? 0 : 2000);
    BindTexts();
    RefreshOptionControls();
    UpdateFileExample();
    // Once the window is up, so that the question has a window to belong to.
    QTimer::singleShot(0, this, [this] {
        if (!closing_) {
            OfferUndoOfInterruptedRun(
                this, programLang_.get(),
                {JournalFolder(), versionInfo_->GetInfo(TVersionInfo::InfoLongVersion)});
        }
    });
}

void TMain::closeEvent(QCloseEvent* event) {
    if (!closing_ && settings_ != nullptr) {
        FormCloseQuery();
        FormClose();
    }
    event->accept();
}

void TMain::FormCloseQuery() {
    TSettings& s = *settings_;
    s.State = isMinimized() ? 1 : isMaximized() ? 2 : 0;
    // The normal placement, also while minimised or maximised.
    const QRect bounds = normalGeometry().isValid() ? normalGeometry() : geometry();
    hide();
    s.Top = bounds.top();
    s.Left = bounds.left();
    s.Width = bounds.width();
    s.Height = bounds.height();
    s.ColumnsWidth = ColumnWidthsText();
    s.ColumnSortFieldIndex = comparer_->SortColumn();
    s.ColumnSortDeclining = comparer_->SortDeclining();
    s.ShowQuickButtons = A_QuickButtons->isChecked();
    s.ShowSchemeOptions = A_SettingsBar->isChecked();
    s.ShowStatusLine = A_StatusBar->isChecked();
    s.CurrentSchema = schemeBox_->Selected();
    s.Options = ReadOptionsFromControls(*tabs_);
}

void TMain::FormClose() {
    closing_ = true;
    prediction_.reset();
    renameCommands_.reset();
    columns_.reset();
    adder_.reset();
    FileList->setModel(nullptr);
    languageNames_.clear();
    nativeLanguageNames_.clear();
    model_.reset();
    programLang_.reset();
    commonLang_.reset();
    fileList_.reset();
    comparer_.reset();
    settings_->Save();
    settings_->RegisterExit();
    settings_.reset();
}

void TMain::BindTexts() {
    BindMainWindowTexts(*this, *tabs_, *commonLang_, *programLang_, settings_->Language);
    if (QWidget* reset = findChild<QWidget*>(QStringLiteral("ResetBtn"))) {
        reset->setStatusTip(A_Reset->statusTip());
    }
    FitMinimumSize();
    BuildLanguageMenu(*M_Language, languageNames_, nativeLanguageNames_,
                      programLang_->LanguageName(), programLang_->GetLine("LANGUAGESELECTION_HINT"),
                      [this](int position) { M_LanguageClick(position); });
}

void TMain::FitMinimumSize() {
    // Longer captions (Danish, German) and the bars may need more than the fixed minimum:
    // below what the layout needs, captions would be cut off or drawn over their neighbours.
    // Measured on polished widgets: before the first showing they have no style yet.
    ensurePolished();
    for (QWidget* child : findChildren<QWidget*>()) {
        child->ensurePolished();
    }
    // Every layout: activating the window's own does not reach into the tab pages, which
    // would keep the sizes of the former language's captions.
    for (QLayout* each : findChildren<QLayout*>()) {
        each->invalidate();
    }
    for (QToolButton* button : findChildren<QToolButton*>()) {
        if (button->defaultAction() != nullptr) {
            button->setMinimumWidth(std::max(90, button->sizeHint().width()));
        }
    }
    // The tab pages answer for the new captions only once asked themselves; the window's
    // layouts are then measured again on top of that.
    tabs_->minimumSizeHint();
    for (QLayout* each : findChildren<QLayout*>()) {
        each->invalidate();
    }
    const QSize needed = minimumSizeHint().expandedTo(
        tabs_->minimumSizeHint() + QSize(centralWidget()->layout()->contentsMargins().left() +
                                             centralWidget()->layout()->contentsMargins().right(),
                                         0));
    setMinimumSize(std::max(MinimumWidth, needed.width()),
                   std::max(MinimumHeight, needed.height()));
}

void TMain::M_LanguageClick(int position) {
    if (settings_ == nullptr || position < 0 ||
        static_cast<std::size_t>(position) >= languageNames_.size()) {
        return;
    }
    const std::string name = languageNames_[static_cast<std::size_t>(position)];
    settings_->Language = name;
    commonLang_->SelectLanguage(name);
    programLang_->SelectLanguage(name);
    BindTexts();
    RebuildColumns();
    RefreshOptionControls();
}

std::string TMain::Text(const std::string& key) const {
    return programLang_ != nullptr ? programLang_->GetLine(key) : std::string();
}

// ---- files ----

void TMain::SetFileListModel(QAbstractItemModel* model) {
    FileList->setModel(model);
    if (model == nullptr) {
        return;
    }
    connect(FileList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TMain::FileListSelectItem);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
        connect(model, signal, this, &TMain::UpdateActionStates);
    }
    // A reset drops the selection without announcing it: the example and the actions
    // follow all the same.
    connect(model, &QAbstractItemModel::modelReset, this, &TMain::FileListSelectItem);
    connect(model, &QAbstractItemModel::modelReset, this, &TMain::UpdateActionStates);
}

void TMain::AddFile(const std::string& path) {
    if (adder_ != nullptr) {
        adder_->AddFile(path);
    }
}

bool TMain::AddFolder(const std::string& folder, bool subFolders) {
    return adder_ != nullptr && adder_->AddFolder(folder, subFolders);
}

void TMain::HandleDroppedFiles(const QList<QUrl>& urls) {
    if (adder_ != nullptr && adder_->AddDropped(urls)) {
        RefreshOptionControls();
    }
}

void TMain::A_AddFilesExecute() {
    if (adder_->AddFromDialog(*settings_, Q(Text("SELECTFILETITLE")),
                              Q(Text("SELECTFILEALLFILESFILTER")), tr("All files"))) {
        RefreshOptionControls();
    }
}

void TMain::A_AddDirectoryExecute() {
    TDirectorySelector dialog(*settings_, this);
    dialog.UseLanguage(*commonLang_, *programLang_);
    dialog.SetPath(settings_->LastUsedFolderPath);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    std::string path = dialog.GetPath();
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    AddFolder(path, dialog.GetIncludeSubFolders());
    settings_->LastUsedFolderPath = path;
    RefreshOptionControls();
}

void TMain::A_RemoveFilesExecute() {
    const QItemSelectionModel* selection = FileList->selectionModel();
    if (selection == nullptr) {
        return;
    }
    QModelIndexList rows = selection->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    {
        const TFileListModel::Change change(*model_);
        TFileItems& items = fileList_->Items();
        // Update mode leaves each removed slot empty, so the later rows keep their numbers
        // while the loop walks them.
        items.BeginUpdate();
        // By slot: looking each entry up again would cost a walk of the whole list per
        // removed row.
        for (const QModelIndex& row : rows) {
            items.Delete(row.row());
        }
        items.EndUpdate();
    }
    RefreshOptionControls();
    if (fileList_->Items().RenamedCount() == 0) {
        A_Undo->setEnabled(false);
    }
}

void TMain::A_RemoveAllFilesExecute() {
    {
        const TFileListModel::Change change(*model_);
        fileList_->Items().Clear();
    }
    RefreshOptionControls();
    A_Undo->setEnabled(false);
}

// ---- columns ----

void TMain::ApplyColumnSet(const std::string& columnSet) {
    if (columns_ != nullptr) {
        columns_->ApplyColumnSet(columnSet);
    }
}

void TMain::ApplyColumnWidths(const std::string& widths) {
    if (columns_ != nullptr) {
        columns_->ApplyColumnWidths(widths);
    }
}

std::string TMain::ColumnWidthsText() const {
    return columns_ != nullptr ? columns_->ColumnWidthsText() : std::string();
}

void TMain::RebuildColumns() {
    if (columns_ != nullptr) {
        columns_->Rebuild(settings_->Columns);
    }
}

int TMain::SortColumn() const {
    return comparer_ != nullptr ? comparer_->SortColumn() : 0;
}

bool TMain::SortDeclining() const {
    return comparer_ == nullptr || comparer_->SortDeclining();
}

void TMain::FileListColumnClick(int position) {
    if (columns_ != nullptr) {
        columns_->SortBy(position);
        RefreshOptionControls();
    }
}

void TMain::A_CustomizeColumnsExecute() {
    if (columns_->Customize(*settings_, *commonLang_, *programLang_, this)) {
        RefreshOptionControls();
    }
}

bool TMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FileList && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        if (A_RemoveFiles->isEnabled()) {
            A_RemoveFiles->trigger();
        }
        return true;
    }
    if (watched == FileList->viewport()) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (drag->mimeData()->hasUrls()) {
                drag->acceptProposedAction();
                return true;
            }
            break;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (drop->mimeData()->hasUrls()) {
                drop->acceptProposedAction();
                HandleDroppedFiles(drop->mimeData()->urls());
                return true;
            }
            break;
        }
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMain::FileListSelectItem() {
    const QItemSelectionModel* selection = FileList->selectionModel();
    A_RemoveFiles->setEnabled(selection != nullptr && selection->hasSelection());
    UpdateFileExample();
}

// ---- rename and undo ----

void TMain::A_RenameFilesExecute() {
    renameCommands_->Run(false);
}

void TMain::A_UndoExecute() {
    renameCommands_->Run(true);
}

void TMain::SetRenameMove(MoveEntryFile move) {
    if (renameCommands_ != nullptr) {
        renameCommands_->SetMove(std::move(move));
    }
}

bool TMain::PlanRenameOrder() const {
    return settings_ != nullptr && settings_->PlanRenameOrder;
}

void TMain::RestartPrediction() {
    if (prediction_ == nullptr) {
        return;
    }
    if (renameCommands_ != nullptr && renameCommands_->Running()) {
        prediction_->Stop();
    } else {
        prediction_->Restart();
    }
}

void TMain::ShowMarks(std::vector<TRowMark> marks) {
    model_->SetMarks(std::move(marks));
    if (!hintShown_) {
        UpdateFileExample();
    }
}

// ---- refresh ----

void TMain::UpdateCompExample() {
    if (closing_) {
        return; // the settings and lists are gone; nothing is left to show
    }
    schemeBox_->ClearSelection();
    RefreshOptionControls();
    UpdateFileExample();
}

void TMain::RefreshOptionControls() {
    const RenameOptionSet options = ReadOptionsFromControls(*tabs_);
    const auto mark = [&](QWidget* tab, bool inUse) {
        const int index = tabs_->indexOf(tab);
        tabs_->setTabText(index, Q(MarkTabCaption(tabs_->tabText(index).toStdString(), inUse)));
    };
    mark(tabs_->GeneralTab, GeneralTabInUse(options));
    tabs_->RenameSummary->setText(
        Q(BuildRenameSummary(options, [this](const std::string& key) { return Text(key); })));
    mark(tabs_->TrimTab, options.RemoveGroup);
    mark(tabs_->ReplaceTab, options.ReplaceGroup);
    mark(tabs_->InsertTab, options.InsertGroup);
    mark(tabs_->FormatTab, options.FormatGroup);
    mark(tabs_->ShuffleTab, options.ShuffleGroup);
    ApplyEnablingRules(*tabs_);
    if (model_ != nullptr) {
        comparer_->SetOptions(options);
        model_->SetOptions(options, options.NumberIncValue);
        RestartPrediction();
    }
    FileList->viewport()->update();
    UpdateActionStates();
}

void TMain::UpdateActionStates() {
    const QItemSelectionModel* selection = FileList->selectionModel();
    const QAbstractItemModel* model = FileList->model();
    const bool listed = fileList_ != nullptr && fileList_->Items().Count() > 0;
    A_RemoveFiles->setEnabled(selection != nullptr && selection->hasSelection());
    A_RemoveAllFiles->setEnabled(listed);
    A_RenameFiles->setEnabled(listed && HasActiveOptions(ReadOptionsFromControls(*tabs_)));
    A_SelectAll->setEnabled(model != nullptr && model->rowCount() > 0);
    A_DeleteScheme->setEnabled(schemeBox_ != nullptr && schemeBox_->SelectedIndex() >= 0);
}

void TMain::RestackBottomPanels() {
    auto* column = static_cast<QVBoxLayout*>(centralWidget()->layout());
    // From the bottom edge up: status line, option tabs, scheme bar, quick buttons.
    for (QWidget* panel : {PanelButtons, PanelSets, PanelOptions, PanelStatus}) {
        column->removeWidget(panel);
    }
    for (QWidget* panel : {PanelButtons, PanelSets, PanelOptions, PanelStatus}) {
        column->addWidget(panel);
    }
}

void TMain::ToggleBar(QWidget* panel, bool visible) {
    panel->setVisible(visible);
    RestackBottomPanels();
    FitMinimumSize();
}

void TMain::UpdateFileExample() {
    const QItemSelectionModel* selection = FileList->selectionModel();
    int first = -1;
    if (selection != nullptr) {
        for (const QModelIndex& index : selection->selectedRows()) {
            first = first < 0 ? index.row() : std::min(first, index.row());
        }
    }
    const TFileItem* item =
        first >= 0 && fileList_ != nullptr ? fileList_->Items().Items(first) : nullptr;
    QString example;
    if (item == nullptr) {
        example = Q(Text("NONEWFILENAMEEXAMPLE"));
    } else {
        const RenameOptionSet options = ReadOptionsFromControls(*tabs_);
        example = Q(
            Text("NEWFILENAMEEXAMPLE") + ": " +
            ComputeNewName(options, item->Name(), NumberAtPosition(options.NumberIncValue, first)));
    }
    const QString marked = model_ != nullptr
                               ? MarkCountText(model_->MarkCount(),
                                               [this](const std::string& key) { return Text(key); })
                               : QString();
    if (marked.isEmpty() || example.isEmpty()) {
        FileExample->setText(example + marked);
    } else {
        FileExample->setText(example + QStringLiteral(" \u2014 ") + marked);
    }
}

void TMain::ShowHintOrExample(const QString& hint) {
    hintShown_ = !hint.isEmpty();
    if (hint.isEmpty()) {
        UpdateFileExample();
    } else {
        FileExample->setText(hint);
    }
}

bool TMain::event(QEvent* event) {
    // Hints go to the status line's label, which shows the example again when they end.
    if (event->type() == QEvent::StatusTip) {
        ShowHintOrExample(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

// ---- replace list ----

void TMain::ReplaceAddBtnClick() {
    TReplaceList& list = *tabs_->ReplaceList;
    const QString replace = tabs_->Replace->text();
    if (replace.isEmpty() || list.Count() >= MaxReplacePairs) {
        return;
    }
    list.AddPair({replace.toStdString(), tabs_->ReplaceWith->text().toStdString()});
    {
        const QSignalBlocker a(tabs_->Replace);
        const QSignalBlocker b(tabs_->ReplaceWith);
        tabs_->Replace->clear();
        tabs_->ReplaceWith->clear();
    }
    tabs_->Replace->setFocus();
    UpdateCompExample();
}

void TMain::ReplaceRemoveBtnClick() {
    TReplaceList& list = *tabs_->ReplaceList;
    if (list.SelectedIndex() < 0) {
        return;
    }
    schemeBox_->ClearSelection();
    std::optional<ReplacePair> pair;
    {
        const QSignalBlocker blocker(&list);
        pair = list.RemoveSelected();
    }
    const QSignalBlocker a(tabs_->Replace);
    const QSignalBlocker b(tabs_->ReplaceWith);
    tabs_->Replace->setText(Q(pair->Replace));
    tabs_->ReplaceWith->setText(Q(pair->ReplaceWith));
    RefreshOptionControls();
    UpdateFileExample();
}

void TMain::ReplaceListSelectItem() {
    if (!closing_) {
        RefreshOptionControls();
    }
}

// ---- schemes ----

void TMain::SetsChange(int index) {
    const std::string name = schemeBox_->Selected();
    settings_->Schemas.LoadOptions(name, settings_->Options);
    ApplyOptionsToControls(*tabs_, settings_->Options);
    UpdateCompExample();
    schemeBox_->SelectIndex(index);
    RefreshOptionControls();
}

void TMain::A_SaveSchemeAsExecute() {
    QStringList names;
    for (int i = 0; i < Sets->count(); ++i) {
        names.push_back(Sets->itemText(i));
    }
    TSchemeSave dialog(names, Q(schemeBox_->Selected()), this);
    dialog.UseLanguage(*commonLang_, *programLang_);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    settings_->Options = ReadOptionsFromControls(*tabs_);
    std::string name = dialog.SchemeName().toStdString();
    if (!name.empty()) {
        // The store tells names apart without regard to letter case, so a name that
        // differs from an existing one only in case would replace it at the next save
        // anyway: overwrite that scheme in place now, under its own name.
        const int existing = Sets->findText(Q(name), Qt::MatchFixedString);
        if (existing >= 0) {
            name = Sets->itemText(existing).toStdString();
        }
        settings_->Schemas.SaveOptions(name, settings_->Options);
    }
    schemeBox_->Fill();
    schemeBox_->Select(name);
    RefreshOptionControls();
}

void TMain::A_DeleteSchemeExecute() {
    const std::string name = schemeBox_->Selected();
    if (name.empty()) {
        return;
    }
    settings_->Schemas.Delete(name);
    schemeBox_->Fill();
    schemeBox_->ClearSelection();
    RefreshOptionControls();
}

void TMain::A_ResetExecute() {
    ApplyOptionsToControls(*tabs_, RenameOptionSet{});
    UpdateCompExample();
}

} // namespace qm
