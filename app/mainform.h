#pragma once

// The main window's controls and commands, made once: every command as a named QAction,
// the menu bar that shows them, and the panels from the file list down to the status line,
// each with the object name that the settings' texts, the accessibility names and the
// tests find it by. Holds pointers only: the window owns every object through Qt's parent
// chain, and the pointers are valid while the window lives. Window thread only.

class QAction;
class QComboBox;
class QLabel;
class QMainWindow;
class QMenu;
class QObject;
class QTreeView;
class QVBoxLayout;
class QWidget;

namespace qm {

class TOptionTabs;

struct TMainForm {
    // The smallest size the window may have, also when the captions need less.
    static constexpr int MinimumWidth = 489;
    static constexpr int MinimumHeight = 350;

    // Makes the actions, the menu bar and the panels in `window`, with the panels stacked;
    // `listFilter` watches the file list and its viewport (keys and drops).
    void Build(QMainWindow& window, QObject& listFilter);
    // Takes the panels out of the window's column and adds them again in their order,
    // below the file list, so that a panel shown again goes back to its place.
    void RestackBottomPanels();
    // The fixed minimum size, raised to what the shown bars and the captions need.
    void FitMinimumSize(QMainWindow& window) const;

    QTreeView* FileList = nullptr;
    QWidget* PanelButtons = nullptr;
    QWidget* PanelSets = nullptr;
    QWidget* PanelOptions = nullptr;
    QWidget* PanelStatus = nullptr;
    QLabel* SetsInfo = nullptr;
    QComboBox* Sets = nullptr;
    QLabel* FileExample = nullptr;
    TOptionTabs* Tabs = nullptr;
    QMenu* M_Language = nullptr;
    // How long the journals of runs are kept; its items are checked one at a time and
    // carry their days (0: for ever) as data.
    QMenu* M_JournalKeep = nullptr;
    // The window's central layout: the file list above the panels.
    QVBoxLayout* Column = nullptr;

    QAction* A_AddFiles = nullptr;
    QAction* A_AddDirectory = nullptr;
    QAction* A_RemoveFiles = nullptr;
    QAction* A_RemoveAllFiles = nullptr;
    QAction* A_RenameFiles = nullptr;
    QAction* A_Exit = nullptr;
    QAction* A_Undo = nullptr;
    QAction* A_History = nullptr;
    QAction* A_SelectAll = nullptr;
    QAction* A_MoveUp = nullptr;
    QAction* A_MoveDown = nullptr;
    QAction* A_QuickButtons = nullptr;
    QAction* A_SettingsBar = nullptr;
    QAction* A_StatusBar = nullptr;
    QAction* A_CustomizeColumns = nullptr;
    QAction* A_SaveRenameSettings = nullptr;
    QAction* A_SaveDirectorySettings = nullptr;
    QAction* A_ShowSuccessMessage = nullptr;
    QAction* A_PlanRenameOrder = nullptr;
    QAction* A_SortNumbersByValue = nullptr;
    QAction* A_Reset = nullptr;
    QAction* A_Keep7Days = nullptr;
    QAction* A_Keep30Days = nullptr;
    QAction* A_Keep1Year = nullptr;
    QAction* A_KeepForEver = nullptr;
    QAction* A_WebMKHP = nullptr;
    QAction* A_WebQMHP = nullptr;
    QAction* A_About = nullptr;
    QAction* A_SaveSchemeAs = nullptr;
    QAction* A_DeleteScheme = nullptr;
    // Names typed by hand; the first two are in the list's context menu only.
    QAction* A_EditNewName = nullptr;
    QAction* A_UseOptionsName = nullptr;
    QAction* A_EditNamesAsText = nullptr;
    QAction* A_ForgetHandNames = nullptr;
    QMenu* M_FileList = nullptr;

private:
    void BuildActions(QMainWindow& window);
    void BuildMenu(QMainWindow& window);
    void BuildPanels(QMainWindow& window, QObject& listFilter);
};

} // namespace qm
