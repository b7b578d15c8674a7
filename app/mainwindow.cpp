#include "app/mainwindow.h"

#include "app/about.h"
#include "app/history/historywindow.h"
#include "app/list/directoryselector.h"
#include "app/list/fileadder.h"
#include "app/list/filelistmodel.h"
#include "app/list/handnames.h"
#include "app/list/listcolumns.h"
#include "app/list/namecommands.h"
#include "app/list/predictionrunner.h"
#include "app/list/rowdrag.h"
#include "app/list/rowmover.h"
#include "app/list/tagloader.h"
#include "app/maintexts.h"
#include "app/options/enablingrules.h"
#include "app/options/optionmapping.h"
#include "app/options/optiontabs.h"
#include "app/options/renamesummary.h"
#include "app/options/replacelist.h"
#include "app/options/schemebox.h"
#include "app/options/schemesave.h"
#include "app/run/journalmessages.h"
#include "app/run/renamecommands.h"
#include "app/splash.h"
#include "app/weblinks.h"
#include "app/widgets/comboaccessible.h"
#include "app/widgets/qttext.h"
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
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusTipEvent>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <algorithm>
#include <malloc.h>

namespace qm {

TMain::TMain(const CommandLine& commandLine, QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Main"));
    // Before any combo box exists: a screen reader hears the scheme chosen and its label.
    TComboAccessible::Install();
    ui_.Build(*this, *this);
    ConnectControls();
    FormCreate(commandLine);
}

TMain::~TMain() {
    // The controls go first, while the objects their handlers use still exist, and
    // without running those handlers: a window destroyed without closing (a test, an
    // error path) must not refresh itself from half-destroyed controls.
    closing_ = true;
    history_.reset();
    nameCommands_.reset();
    tagLoader_.reset();
    prediction_.reset();
    renameCommands_.reset();
    disconnect(ui_.Tabs, nullptr, this, nullptr);
    disconnect(ui_.Tabs->ReplaceList, nullptr, this, nullptr);
    ui_.FileList->setModel(nullptr);
    // The list's own teardown sends events; the filter must not look at a list that is
    // half gone.
    ui_.FileList->removeEventFilter(this);
    ui_.FileList->viewport()->removeEventFilter(this);
    rowMover_.reset();
    columns_.reset();
    adder_.reset();
    delete takeCentralWidget();
    model_.reset();
}

void TMain::ConnectControls() {
    connect(ui_.Tabs, &TOptionTabs::optionChanged, this, &TMain::UpdateCompExample);
    connect(ui_.Tabs->ReplaceAddBtn, &QPushButton::clicked, this, &TMain::ReplaceAddBtnClick);
    connect(ui_.Tabs->ReplaceRemoveBtn, &QPushButton::clicked, this, &TMain::ReplaceRemoveBtnClick);
    // Enter in either entry field adds the pair, as a default button would.
    for (QLineEdit* entry : {ui_.Tabs->Replace, ui_.Tabs->ReplaceWith}) {
        connect(entry, &QLineEdit::returnPressed, ui_.Tabs->ReplaceAddBtn, &QPushButton::click);
    }
    connect(ui_.Tabs->ReplaceList, &TReplaceList::deletePressed, ui_.Tabs->ReplaceRemoveBtn,
            &QPushButton::click);
    connect(ui_.Tabs->ReplaceList, &QTreeWidget::itemSelectionChanged, this,
            &TMain::ReplaceListSelectItem);
    connect(ui_.Sets, &QComboBox::activated, this, &TMain::SetsChange);

    connect(ui_.A_Exit, &QAction::triggered, this, &QWidget::close);
    connect(ui_.A_AddFiles, &QAction::triggered, this, &TMain::A_AddFilesExecute);
    connect(ui_.A_AddDirectory, &QAction::triggered, this, &TMain::A_AddDirectoryExecute);
    connect(ui_.A_RemoveFiles, &QAction::triggered, this, &TMain::A_RemoveFilesExecute);
    connect(ui_.A_RemoveAllFiles, &QAction::triggered, this, &TMain::A_RemoveAllFilesExecute);
    connect(ui_.A_RenameFiles, &QAction::triggered, this, &TMain::A_RenameFilesExecute);
    connect(ui_.A_Undo, &QAction::triggered, this, &TMain::A_UndoExecute);
    connect(ui_.A_History, &QAction::triggered, this, &TMain::A_HistoryExecute);
    for (QAction* keep : {ui_.A_Keep7Days, ui_.A_Keep30Days, ui_.A_Keep1Year, ui_.A_KeepForEver}) {
        connect(keep, &QAction::triggered, this,
                [this, keep] { settings_->JournalKeepDays = keep->data().toInt(); });
    }
    connect(ui_.A_CustomizeColumns, &QAction::triggered, this, &TMain::A_CustomizeColumnsExecute);
    connect(ui_.FileList->header(), &QHeaderView::sectionClicked, this,
            &TMain::FileListColumnClick);
    connect(ui_.A_SelectAll, &QAction::triggered, ui_.FileList, &QTreeView::selectAll);
    connect(ui_.A_MoveUp, &QAction::triggered, this, &TMain::A_MoveUpExecute);
    connect(ui_.A_MoveDown, &QAction::triggered, this, &TMain::A_MoveDownExecute);
    connect(ui_.A_Reset, &QAction::triggered, this, &TMain::A_ResetExecute);
    connect(ui_.A_SaveSchemeAs, &QAction::triggered, this, &TMain::A_SaveSchemeAsExecute);
    connect(ui_.A_DeleteScheme, &QAction::triggered, this, &TMain::A_DeleteSchemeExecute);
    connect(ui_.A_QuickButtons, &QAction::triggered, this,
            [this](bool on) { ToggleBar(ui_.PanelButtons, on); });
    connect(ui_.A_SettingsBar, &QAction::triggered, this,
            [this](bool on) { ToggleBar(ui_.PanelSets, on); });
    connect(ui_.A_StatusBar, &QAction::triggered, this,
            [this](bool on) { ToggleBar(ui_.PanelStatus, on); });
    connect(ui_.A_SaveRenameSettings, &QAction::triggered, this,
            [this](bool on) { settings_->ResetRenamingOptions = !on; });
    connect(ui_.A_SaveDirectorySettings, &QAction::triggered, this,
            [this](bool on) { settings_->DisableInitialFolderSelection = !on; });
    connect(ui_.A_ShowSuccessMessage, &QAction::triggered, this,
            [this](bool on) { settings_->ShowRenameSuccess = on; });
    connect(ui_.A_PlanRenameOrder, &QAction::triggered, this, [this](bool on) {
        settings_->PlanRenameOrder = on;
        emit planRenameOrderChanged(on);
    });
    // The list's reset after the sort restarts the prediction: the numbers follow the rows.
    connect(ui_.A_SortNumbersByValue, &QAction::triggered, this, [this](bool on) {
        settings_->SortNumbersByValue = on;
        comparer_->SetNumbersByValue(on);
        columns_->Sort();
    });
    connect(ui_.A_WebMKHP, &QAction::triggered, this, [this] {
        QDesktopServices::openUrl(QUrl(Q(PageUrl(MakerPageAddress(settings_->Language)))));
    });
    connect(ui_.A_WebQMHP, &QAction::triggered, this, [this] {
        QDesktopServices::openUrl(QUrl(Q(PageUrl(ProductPageAddress(settings_->Language)))));
    });
    connect(ui_.A_About, &QAction::triggered, this, [this] {
        TAbout about(*versionInfo_, *commonLang_, *programLang_, this);
        about.exec();
    });
}

// ---- start-up and shutdown ----

void TMain::FormCreate(const CommandLine& commandLine) {
    // Blocks of a megabyte and more come from the system and go back to it when freed. By
    // default the heap raises that bound to the largest block freed so far (up to 32 MB),
    // so that with a million files the tables of one prediction's marks, freed when the
    // next arrived, stayed in the heap beside the next one's: 56 MB more at every peak.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    setWindowTitle(QStringLiteral("Marlowick Quillmark"));
    closing_ = false;
    versionInfo_ = std::make_unique<TVersionInfo>();
    settings_ = std::make_unique<TSettings>();
    settings_->UseDevelopmentKey = commandLine.useDevelopmentKey;
    settings_->Load();
    settings_->RegisterStart();
    settings_->RegisterApplication();
    schemeBox_ = std::make_unique<TSchemeBox>(*ui_.Sets, settings_->Schemas);
    fileList_ = std::make_unique<TFileList>();
    comparer_ = std::make_unique<TEntryComparer>();
    comparer_->SetNumbersByValue(settings_->SortNumbersByValue);
    comparer_->Install(fileList_->Items());
    model_ = std::make_unique<TFileListModel>(
        *fileList_, [this](const std::string& key) { return Text(key); },
        [this](const std::string& key) {
            return commonLang_ != nullptr ? commonLang_->GetText(key) : std::string();
        });
    SetFileListModel(model_.get());
    columns_ =
        std::make_unique<TListColumns>(*ui_.FileList, *model_, *comparer_, fileList_->Items());
    adder_ = std::make_unique<TFileAdder>(fileList_->Items(), *model_, *this);
    nameCommands_ = std::make_unique<TNameCommands>(
        *ui_.FileList, *model_, fileList_->Items(),
        NameActions{ui_.A_EditNewName, ui_.A_UseOptionsName, ui_.A_EditNamesAsText,
                    ui_.A_ForgetHandNames, ui_.M_FileList},
        [this](const std::string& key) { return Text(key); }, *this);
    // A name typed by hand changes what the run does as an option does.
    connect(model_.get(), &TFileListModel::handNamesChanged, this, [this] {
        RefreshOptionControls();
        UpdateFileExample();
    });
    rowMover_ = std::make_unique<TRowMover>(*ui_.FileList, *model_, *columns_, fileList_->Items());
    connect(new TRowDrag(*ui_.FileList), &TRowDrag::dropped, rowMover_.get(), &TRowMover::MoveTo);
    connect(rowMover_.get(), &TRowMover::moved, this, [this] {
        RestartPrediction();
        UpdateFileExample();
    });
    prediction_ = std::make_unique<TPredictionRunner>(
        fileList_->Items(), [this] { return ReadOptionsFromControls(*ui_.Tabs); },
        [this](TMarkTable marks) { ShowMarks(std::move(marks)); }, this);
    prediction_->setObjectName(QStringLiteral("Prediction"));
    tagLoader_ = std::make_unique<TTagLoader>(fileList_->Items(), this);
    tagLoader_->setObjectName(QStringLiteral("TagLoader"));
    // Every change of the list's rows comes through a reset of the model: the read, which
    // holds the entries, stops before it and takes up again after it.
    connect(model_.get(), &QAbstractItemModel::modelAboutToBeReset, tagLoader_.get(),
            &TTagLoader::Hold);
    connect(model_.get(), &QAbstractItemModel::modelReset, tagLoader_.get(), &TTagLoader::Release);
    connect(tagLoader_.get(), &TTagLoader::progressed, this, [this] {
        model_->TagsArrived();
        if (!hintShown_) {
            UpdateFileExample();
        }
    });
    // The prediction waits for the tags: the names it checks are made with them. A list
    // sorted by its new names was sorted by names without them.
    connect(tagLoader_.get(), &TTagLoader::finished, this, [this] {
        if (const ColumnId* sorted = comparer_->SortedBy();
            sorted != nullptr && *sorted == ColumnId::NewName) {
            columns_->Sort();
        }
        RestartPrediction();
    });
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
    nameCommands_->UseLanguage(*commonLang_, *programLang_);
    renameCommands_ =
        std::make_unique<TRenameCommands>(*this, fileList_->Items(), *model_, *ui_.Tabs, *settings_,
                                          *versionInfo_, *commonLang_, *programLang_);
    // The run changes the names under the prediction and its marks; the list's reset
    // afterwards starts it again.
    connect(renameCommands_.get(), &TRenameCommands::runStarting, this, [this] {
        nameCommands_->SetRunning(true);
        prediction_->Stop();
        // The run's worker reads what tags it needs itself, while it has the list.
        tagLoader_->Hold();
        ShowMarks({});
    });
    connect(renameCommands_.get(), &TRenameCommands::undoAvailable, ui_.A_Undo,
            &QAction::setEnabled);
    connect(renameCommands_.get(), &TRenameCommands::runFinished, tagLoader_.get(),
            &TTagLoader::Release);
    connect(renameCommands_.get(), &TRenameCommands::runFinished, this,
            [this] { nameCommands_->SetRunning(false); });
    connect(renameCommands_.get(), &TRenameCommands::runFinished, this,
            &TMain::RefreshOptionControls);
    // The history shows the window's runs and undos as they end.
    connect(renameCommands_.get(), &TRenameCommands::runFinished, this, [this] {
        if (history_ != nullptr)
            history_->Refresh();
    });
    setMinimumSize(TMainForm::MinimumWidth, TMainForm::MinimumHeight);
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
    setGeometry(s.Left, s.Top, std::max(s.Width, TMainForm::MinimumWidth),
                std::max(s.Height, TMainForm::MinimumHeight));
    if (s.State == 1) {
        setWindowState(Qt::WindowMinimized);
    } else if (s.State != 0) {
        setWindowState(Qt::WindowMaximized);
    }
    ui_.A_QuickButtons->setChecked(s.ShowQuickButtons);
    ui_.PanelButtons->setVisible(s.ShowQuickButtons);
    ui_.A_SettingsBar->setChecked(s.ShowSchemeOptions);
    ui_.PanelSets->setVisible(s.ShowSchemeOptions);
    ui_.A_StatusBar->setChecked(s.ShowStatusLine);
    ui_.PanelStatus->setVisible(s.ShowStatusLine);
    RestackBottomPanels();
    ui_.Tabs->setCurrentIndex(0);
    ui_.A_SaveRenameSettings->setChecked(!s.ResetRenamingOptions);
    ui_.A_SaveDirectorySettings->setChecked(!s.DisableInitialFolderSelection);
    ui_.A_ShowSuccessMessage->setChecked(s.ShowRenameSuccess);
    ui_.A_PlanRenameOrder->setChecked(s.PlanRenameOrder);
    ui_.A_SortNumbersByValue->setChecked(s.SortNumbersByValue);
    ShowJournalKeep();
    if (!s.ResetRenamingOptions) {
        ApplyOptionsToControls(*ui_.Tabs, s.Options);
    }
    schemeBox_->Fill();
    schemeBox_->Select(s.CurrentSchema);
    columns_->ApplyColumnSet(s.Columns);
    columns_->ApplyColumnWidths(s.ColumnsWidth);
    // The command line's files came in before the list knew its sort column.
    columns_->RestoreSort(s.ColumnSortFieldIndex, s.ColumnSortDeclining,
                          ReadOptionsFromControls(*ui_.Tabs));
    splash.CloseAfter(qEnvironmentVariableIsSet("QUILLMARK_NO_SPLASH_WAIT") ? 0 : 2000);
    BindTexts();
    RefreshOptionControls();
    UpdateFileExample();
    // Once the window is up, so that the question has a window to belong to.
    QTimer::singleShot(0, this, [this] {
        if (!closing_) {
            OfferUndoOfInterruptedRun(this, programLang_.get(),
                                      JournalPlace(*settings_, *versionInfo_));
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
    // Its size and columns go to the settings as it closes.
    if (history_ != nullptr && history_->isVisible())
        history_->close();
    TSettings& s = *settings_;
    s.State = isMinimized() ? 1 : isMaximized() ? 2 : 0;
    // The normal placement, also while minimised or maximised.
    const QRect bounds = normalGeometry().isValid() ? normalGeometry() : geometry();
    hide();
    // A Wayland client is never told where its window stands, and what Qt reports there
    // is made up; the placement last read under another window system is kept instead.
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        s.Top = bounds.top();
        s.Left = bounds.left();
    }
    s.Width = bounds.width();
    s.Height = bounds.height();
    s.ColumnsWidth = ColumnWidthsText();
    s.ColumnSortFieldIndex = comparer_->SortColumn();
    s.ColumnSortDeclining = comparer_->SortDeclining();
    s.ShowQuickButtons = ui_.A_QuickButtons->isChecked();
    s.ShowSchemeOptions = ui_.A_SettingsBar->isChecked();
    s.ShowStatusLine = ui_.A_StatusBar->isChecked();
    s.CurrentSchema = schemeBox_->Selected();
    s.Options = ReadOptionsFromControls(*ui_.Tabs);
}

void TMain::FormClose() {
    closing_ = true;
    history_.reset();
    nameCommands_.reset();
    tagLoader_.reset();
    prediction_.reset();
    renameCommands_.reset();
    rowMover_.reset();
    columns_.reset();
    adder_.reset();
    ui_.FileList->setModel(nullptr);
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
    BindMainWindowTexts(*this, *ui_.Tabs, *commonLang_, *programLang_, settings_->Language);
    if (QWidget* reset = findChild<QWidget*>(QStringLiteral("ResetBtn"))) {
        reset->setStatusTip(ui_.A_Reset->statusTip());
    }
    ui_.FitMinimumSize(*this);
    BuildLanguageMenu(*ui_.M_Language, languageNames_, nativeLanguageNames_,
                      programLang_->LanguageName(), programLang_->GetLine("LANGUAGESELECTION_HINT"),
                      [this](int position) { M_LanguageClick(position); });
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
    if (history_ != nullptr)
        history_->LoadTexts();
}

std::string TMain::Text(const std::string& key) const {
    return programLang_ != nullptr ? programLang_->GetLine(key) : std::string();
}

// ---- files ----

void TMain::SetFileListModel(QAbstractItemModel* model) {
    ui_.FileList->setModel(model);
    if (model == nullptr) {
        return;
    }
    connect(ui_.FileList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
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
    const QItemSelectionModel* selection = ui_.FileList->selectionModel();
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
        ui_.A_Undo->setEnabled(false);
    }
}

void TMain::A_RemoveAllFilesExecute() {
    {
        const TFileListModel::Change change(*model_);
        fileList_->Items().Clear();
    }
    RefreshOptionControls();
    ui_.A_Undo->setEnabled(false);
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

bool TMain::SortingInSteps() const {
    return columns_ != nullptr && columns_->Sorting();
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
    if (watched == ui_.FileList && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        if (ui_.A_RemoveFiles->isEnabled()) {
            ui_.A_RemoveFiles->trigger();
        }
        return true;
    }
    if (watched == ui_.FileList->viewport()) {
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
    const QItemSelectionModel* selection = ui_.FileList->selectionModel();
    ui_.A_RemoveFiles->setEnabled(selection != nullptr && selection->hasSelection());
    UpdateMoveActions();
    UpdateFileExample();
}

void TMain::A_MoveUpExecute() {
    rowMover_->MoveUp();
}

void TMain::A_MoveDownExecute() {
    rowMover_->MoveDown();
}

void TMain::UpdateMoveActions() {
    const bool movable = rowMover_ != nullptr && rowMover_->CanMove();
    ui_.A_MoveUp->setEnabled(movable);
    ui_.A_MoveDown->setEnabled(movable);
}

// ---- rename and undo ----

void TMain::A_RenameFilesExecute() {
    renameCommands_->Run(false, prediction_ != nullptr && prediction_->Delivered());
}

void TMain::A_UndoExecute() {
    renameCommands_->Run(true);
}

void TMain::A_HistoryExecute() {
    if (history_ == nullptr) {
        history_ = std::make_unique<THistoryWindow>(*settings_, *versionInfo_, *commonLang_,
                                                    *programLang_, this);
        connect(history_.get(), &THistoryWindow::runUndone, this,
                [this](const std::string& runId) { renameCommands_->RunUndoneFromJournal(runId); });
    }
    history_->Open();
}

void TMain::ShowJournalKeep() {
    for (QAction* keep : {ui_.A_Keep7Days, ui_.A_Keep30Days, ui_.A_Keep1Year, ui_.A_KeepForEver})
        keep->setChecked(keep->data().toInt() == settings_->JournalKeepDays);
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
    if ((renameCommands_ != nullptr && renameCommands_->Running()) ||
        (tagLoader_ != nullptr && tagLoader_->Reading())) {
        prediction_->Stop();
    } else {
        prediction_->Restart();
    }
}

void TMain::ShowMarks(TMarkTable marks) {
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
    const RenameOptionSet options = ReadOptionsFromControls(*ui_.Tabs);
    const auto mark = [&](QWidget* tab, bool inUse) {
        const int index = ui_.Tabs->indexOf(tab);
        ui_.Tabs->setTabText(index,
                             Q(MarkTabCaption(ui_.Tabs->tabText(index).toStdString(), inUse)));
    };
    mark(ui_.Tabs->GeneralTab, GeneralTabInUse(options));
    QString summary =
        Q(BuildRenameSummary(options, [this](const std::string& key) { return Text(key); }));
    // Names typed by hand rename files too; the summary says so, or it would read "No rename
    // options selected" above a list of new names.
    const QString typed = HandNameSummaryText(model_ != nullptr ? model_->HandNameCount() : 0,
                                              [this](const std::string& key) { return Text(key); });
    if (!typed.isEmpty())
        summary += QLatin1Char('\n') + typed;
    ui_.Tabs->RenameSummary->setText(summary);
    mark(ui_.Tabs->TrimTab, options.RemoveGroup);
    mark(ui_.Tabs->ReplaceTab, options.ReplaceGroup);
    mark(ui_.Tabs->InsertTab, options.InsertGroup);
    mark(ui_.Tabs->FormatTab, options.FormatGroup);
    mark(ui_.Tabs->ShuffleTab, options.ShuffleGroup);
    if (ui_.Tabs->ShowPatternNote(
            Q(patternNote_.Update(S(ui_.Tabs->Replace->text()), options,
                                  [this](const std::string& key) { return Text(key); })))) {
        ui_.FitMinimumSize(*this);
    }
    ApplyEnablingRules(*ui_.Tabs);
    if (model_ != nullptr) {
        comparer_->SetOptions(options);
        model_->SetOptions(options, options.NumberIncValue);
        // The rows on screen first: their names are the ones the user waits for.
        tagLoader_->Need(TagSourcesNeeded(options), ui_.FileList->indexAt(QPoint(1, 1)).row());
        if (tagLoader_->Reading()) {
            ShowMarks({}); // they were made without the tags now being read
        }
        RestartPrediction();
    }
    ui_.FileList->viewport()->update();
    UpdateActionStates();
}

void TMain::UpdateActionStates() {
    const QItemSelectionModel* selection = ui_.FileList->selectionModel();
    const QAbstractItemModel* model = ui_.FileList->model();
    const bool listed = fileList_ != nullptr && fileList_->Items().Count() > 0;
    ui_.A_RemoveFiles->setEnabled(selection != nullptr && selection->hasSelection());
    ui_.A_RemoveAllFiles->setEnabled(listed);
    ui_.A_RenameFiles->setEnabled(listed && (HasActiveOptions(ReadOptionsFromControls(*ui_.Tabs)) ||
                                             (model_ != nullptr && model_->HandNameCount() > 0)));
    ui_.A_SelectAll->setEnabled(model != nullptr && model->rowCount() > 0);
    UpdateMoveActions();
    ui_.A_DeleteScheme->setEnabled(schemeBox_ != nullptr && schemeBox_->SelectedIndex() >= 0);
    if (nameCommands_ != nullptr) {
        nameCommands_->UpdateActionStates();
    }
}

void TMain::RestackBottomPanels() {
    ui_.RestackBottomPanels();
}

void TMain::ToggleBar(QWidget* panel, bool visible) {
    panel->setVisible(visible);
    RestackBottomPanels();
    ui_.FitMinimumSize(*this);
}

void TMain::UpdateFileExample() {
    const QItemSelectionModel* selection = ui_.FileList->selectionModel();
    int first = -1;
    if (selection != nullptr) {
        // By the ranges: asking for the selected rows walks every range once per row, a
        // stall at each step of a thousand scattered rows moved by hand.
        for (const QItemSelectionRange& range : selection->selection()) {
            first = first < 0 ? range.top() : std::min(first, range.top());
        }
    }
    const TFileItem* item =
        first >= 0 && fileList_ != nullptr ? fileList_->Items().Items(first) : nullptr;
    std::shared_ptr<const std::string> hand;
    if (item != nullptr) {
        const auto lock = fileList_->Items().ReadLock();
        hand = item->HandName();
    }
    QString example;
    if (item == nullptr) {
        example = Q(Text("NONEWFILENAMEEXAMPLE"));
    } else if (hand != nullptr) {
        example = Q(Text("NEWFILENAMEEXAMPLE") + ": " + *hand);
    } else {
        const RenameOptionSet options = ReadOptionsFromControls(*ui_.Tabs);
        const unsigned sources = TagSourcesNeeded(options);
        const std::shared_ptr<const TEntryTags> tags = item->Tags();
        std::int64_t position = first;
        if (model_ != nullptr) {
            const auto lock = fileList_->Items().ReadLock();
            position = model_->NumberPosition(first); // the row's number, as the column's
        }
        example = Q(Text("NEWFILENAMEEXAMPLE") + ": ") +
                  (item->NeedsTags(sources)
                       ? PendingNameText()
                       : Q(ComputeNewName(options, item->Name(),
                                          NumberAtPosition(options.NumberIncValue, position),
                                          NameTags{tags ? &tags->Values : nullptr, nullptr})));
    }
    const MarkTextSource texts = [this](const std::string& key) {
        return Text(key);
    };
    const QString separator = QStringLiteral(" \u2014 ");
    QStringList notes{example};
    if (tagLoader_ != nullptr && tagLoader_->Reading()) {
        notes << ReadingTagsText(tagLoader_->Done(), tagLoader_->Total(), texts);
    }
    if (model_ != nullptr) {
        notes << HandNameCountText(model_->HandNameCount(), texts)
              << MarkCountText(model_->MarkCount(), texts)
              << TagMarkCountText(model_->MarkCounts(), separator, texts);
    }
    notes.removeAll(QString());
    ui_.FileExample->setText(notes.join(separator));
}

void TMain::ShowHintOrExample(const QString& hint) {
    hintShown_ = !hint.isEmpty();
    if (hint.isEmpty()) {
        UpdateFileExample();
    } else {
        ui_.FileExample->setText(hint);
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
    TReplaceList& list = *ui_.Tabs->ReplaceList;
    const QString replace = ui_.Tabs->Replace->text();
    if (replace.isEmpty() || list.Count() >= MaxReplacePairs) {
        return;
    }
    // A find text that does not compile stays in its field, with the reason beside it.
    if (!patternNote_.Admit(S(replace), ReadOptionsFromControls(*ui_.Tabs))) {
        RefreshOptionControls();
        ui_.Tabs->Replace->setFocus();
        return;
    }
    list.AddPair({replace.toStdString(), ui_.Tabs->ReplaceWith->text().toStdString()});
    {
        const QSignalBlocker a(ui_.Tabs->Replace);
        const QSignalBlocker b(ui_.Tabs->ReplaceWith);
        ui_.Tabs->Replace->clear();
        ui_.Tabs->ReplaceWith->clear();
    }
    ui_.Tabs->Replace->setFocus();
    UpdateCompExample();
}

void TMain::ReplaceRemoveBtnClick() {
    TReplaceList& list = *ui_.Tabs->ReplaceList;
    if (list.SelectedIndex() < 0) {
        return;
    }
    schemeBox_->ClearSelection();
    std::optional<ReplacePair> pair;
    {
        const QSignalBlocker blocker(&list);
        pair = list.RemoveSelected();
    }
    const QSignalBlocker a(ui_.Tabs->Replace);
    const QSignalBlocker b(ui_.Tabs->ReplaceWith);
    ui_.Tabs->Replace->setText(Q(pair->Replace));
    ui_.Tabs->ReplaceWith->setText(Q(pair->ReplaceWith));
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
    ApplyOptionsToControls(*ui_.Tabs, settings_->Options);
    UpdateCompExample();
    schemeBox_->SelectIndex(index);
    RefreshOptionControls();
}

void TMain::A_SaveSchemeAsExecute() {
    QStringList names;
    for (int i = 0; i < ui_.Sets->count(); ++i) {
        names.push_back(ui_.Sets->itemText(i));
    }
    TSchemeSave dialog(names, Q(schemeBox_->Selected()), this);
    dialog.UseLanguage(*commonLang_, *programLang_);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    settings_->Options = ReadOptionsFromControls(*ui_.Tabs);
    std::string name = dialog.SchemeName().toStdString();
    if (!name.empty()) {
        // The store tells names apart without regard to letter case, so a name that
        // differs from an existing one only in case would replace it at the next save
        // anyway: overwrite that scheme in place now, under its own name.
        const int existing = ui_.Sets->findText(Q(name), Qt::MatchFixedString);
        if (existing >= 0) {
            name = ui_.Sets->itemText(existing).toStdString();
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
    ApplyOptionsToControls(*ui_.Tabs, RenameOptionSet{});
    UpdateCompExample();
}

} // namespace qm
