#pragma once

// TMain, the main window: the file list, the quick buttons, the scheme bar, the option tabs
// and the status line, with the menu and every command as a named QAction. It creates and
// owns the program-wide objects of a run (version information, settings, file list, the
// two language clients) from construction until it closes. It alone loads the settings
// from the store (at construction) and saves them back (on closing); in between, their
// fields are changed in place by the window and by the helpers it lends them to: the
// column dialog (the column set and widths), the folder dialog (whether subfolders are
// included) and the file adder (the folder of the files picked last). Under Wayland,
// where a window cannot learn its position, closing stores its size and state but keeps
// the position stored before.
//
// The window translates between controls and the cores; the rules live in helpers
// (TOptionTabs, ApplyEnablingRules, BuildRenameSummary, TSchemeBox, the option mapping,
// TPatternNote), and the commands with most steps in their own classes (TRenameCommands,
// TListColumns, TFileAdder), which the window's action handlers hand over to. TMainForm
// makes the controls and actions.

#include "app/commandline.h"
#include "app/list/marktable.h"
#include "app/list/predictionmarks.h"
#include "app/mainform.h"
#include "app/options/patternnote.h"
#include "filelist/fileitems.h"
#include "rename/renamerun.h"

#include <QList>
#include <QMainWindow>
#include <memory>
#include <string>
#include <vector>

class QAbstractItemModel;
class QUrl;

namespace qm {

class TDynLang;
class TEntryComparer;
class TFileAdder;
class TFileList;
class TFileListModel;
class THistoryWindow;
class TListColumns;
class TNameCommands;
class TOptionTabs;
class TPredictionRunner;
class TRenameCommands;
class TRowMover;
class TSchemeBox;
class TSettings;
class TTagLoader;
class TVersionInfo;

class TMain : public QMainWindow {
    Q_OBJECT
public:
    // FormCreate: reads the settings (counting the start and registering the program),
    // lists the command line's files and opens the language clients.
    explicit TMain(const CommandLine& commandLine, QWidget* parent = nullptr);
    ~TMain() override;

    // The objects of the run; null once the window has closed.
    TSettings* Settings() const { return settings_.get(); }
    TFileList* FileItems() const { return fileList_.get(); }
    const TDynLang* ProgramLang() const { return programLang_.get(); }
    TOptionTabs& Options() const { return *ui_.Tabs; }

    // The place of the file list's model: the view shows it and the window follows its
    // rows and selection. The model must outlive the window or be replaced first.
    void SetFileListModel(QAbstractItemModel* model);
    // The file and column operations below do nothing once the window has closed.
    // Lists one file path; a bare name or relative path is taken from the current folder.
    void AddFile(const std::string& path);
    // Lists the files of `folder`, with those of its subfolders when asked, depth first;
    // shows progress when it takes long. Returns false when the user cancelled (what was
    // added until then stays).
    bool AddFolder(const std::string& folder, bool subFolders);
    // Files and folders dropped on the list, in the order of the drop: a file is added, a
    // folder adds its own files (never its subfolders); anything else is skipped.
    void HandleDroppedFiles(const QList<QUrl>& urls);

    // The list view's columns (see the settings' "Columns" and "ColumnsWidth").
    void ApplyColumnSet(const std::string& columnSet);
    void ApplyColumnWidths(const std::string& widths);
    void RebuildColumns();
    // The present widths of all columns, each followed by ",".
    std::string ColumnWidthsText() const;
    // Sorting by a header: clicking the sort column reverses the direction.
    void FileListColumnClick(int position);
    int SortColumn() const;
    bool SortDeclining() const;
    // Whether a long list is being sorted in steps (see TListColumns::Sort).
    bool SortingInSteps() const;

    // Whether rename and undo runs plan their order (the Options menu's check mark,
    // stored in the settings); false once the window has closed.
    bool PlanRenameOrder() const;

    // How rename and undo runs move files: MoveFileNoReplace unless set (a test makes a
    // move wait or fail).
    void SetRenameMove(MoveEntryFile move);

    void RefreshOptionControls();
    void UpdateActionStates();
    void RestackBottomPanels();
    void UpdateFileExample();
    void ShowHintOrExample(const QString& hint);

    void setVisible(bool visible) override;

signals:
    // The user turned the planned order on or off; what the runs will do has changed.
    void planRenameOrderChanged(bool on);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ConnectControls();

    void FormCreate(const CommandLine& commandLine);
    void FormShow();
    void FormCloseQuery();
    void FormClose();
    void BindTexts();
    // Switches both language clients to the language at `position` of the menu and binds
    // every text again; open dialogs take the new texts when they are next shown.
    void M_LanguageClick(int position);

    std::string Text(const std::string& key) const;

    // The reaction to any change of an option control.
    void UpdateCompExample();
    void ReplaceAddBtnClick();
    void ReplaceRemoveBtnClick();
    void ReplaceListSelectItem();
    void FileListSelectItem();
    void A_AddFilesExecute();
    void A_AddDirectoryExecute();
    void A_RemoveFilesExecute();
    void A_RemoveAllFilesExecute();
    void A_CustomizeColumnsExecute();
    void A_MoveUpExecute();
    void A_MoveDownExecute();
    void UpdateMoveActions();
    void SetsChange(int index);
    void A_SaveSchemeAsExecute();
    void A_DeleteSchemeExecute();
    void A_ResetExecute();
    void ToggleBar(QWidget* panel, bool visible);
    void A_RenameFilesExecute();
    void A_UndoExecute();
    // Opens the history of renames, made at its first opening.
    void A_HistoryExecute();
    // Checks the Options menu's item of the days journals are kept; none when the stored
    // number is not among its choices.
    void ShowJournalKeep();
    // The options or the list changed: the marks of what the run would do are worked out
    // anew, except while a run is under way or the tags the names need are being read.
    void RestartPrediction();
    void ShowMarks(TMarkTable marks);

    std::unique_ptr<TVersionInfo> versionInfo_;
    std::unique_ptr<TSettings> settings_;
    std::unique_ptr<TFileList> fileList_;
    std::unique_ptr<TEntryComparer> comparer_;
    std::unique_ptr<TFileListModel> model_;
    // After the model, the comparer and the list: these two go first.
    std::unique_ptr<TListColumns> columns_;
    std::unique_ptr<TFileAdder> adder_;
    // After the columns: it goes first.
    std::unique_ptr<TRowMover> rowMover_;
    // After the list and the model: it goes first.
    std::unique_ptr<TPredictionRunner> prediction_;
    // Reads the tags the names need; after the list and the model: it goes first.
    std::unique_ptr<TTagLoader> tagLoader_;
    std::unique_ptr<TDynLang> commonLang_;
    std::unique_ptr<TDynLang> programLang_;
    // After everything it uses: it goes first.
    std::unique_ptr<TRenameCommands> renameCommands_;
    // Names typed by hand; after the list, the model and the view: it goes first.
    std::unique_ptr<TNameCommands> nameCommands_;
    // Made when first asked for; uses the settings, the language clients and the rename
    // commands, and goes before all of them.
    std::unique_ptr<THistoryWindow> history_;
    std::vector<std::string> languageNames_;
    std::vector<std::string> nativeLanguageNames_;
    std::unique_ptr<TSchemeBox> schemeBox_;
    // What the line under the find field says about regular expressions.
    TPatternNote patternNote_;
    bool closing_ = false;
    bool shown_ = false;
    // A hint stands in the status line instead of the example.
    bool hintShown_ = false;

    // The controls and actions; their pointers stay valid while the window lives.
    TMainForm ui_;
};

} // namespace qm
