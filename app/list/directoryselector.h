#pragma once

// The folder dialog: a tree of folders (the home, desktop and documents folders where
// they exist, and the file-system root; folders only, the trash never shown) with a
// check box for including subfolders. It can open on a given folder with only the path
// to it unfolded. OK is enabled exactly while the selection names an existing folder;
// it stores the check box in the settings. Cancel stores nothing.
//
// The tree fills itself in the background as folders are unfolded; locating a folder
// makes the rows along its path at once. Created for one use by the main window and
// destroyed after it; the settings must outlive it.

#include "app/widgets/dialogtexts.h"

#include <QDialog>
#include <QElapsedTimer>
#include <string>

class QCheckBox;
class QLabel;
class QModelIndex;
class QPushButton;
class QTreeView;

namespace qm {

class TFolderTreeModel;
class TSettings;

class TDirectorySelector : public QDialog {
    Q_OBJECT
public:
    explicit TDirectorySelector(TSettings& settings, QWidget* parent = nullptr);

    // The language clients the texts come from each time the dialog is shown.
    void UseLanguage(const TDynLang& common, const TDynLang& program) {
        texts_.Use(common, program);
    }
    void LoadTexts();

    // Opens the tree on `path` when the settings allow it and the folder exists.
    void SetPath(const std::string& path);
    // The selected folder (no trailing "/" but for the root); empty when none is selected.
    std::string GetPath() const;
    bool GetIncludeSubFolders() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void LocateFolder(const QString& target);
    void KeepCurrentInView();
    void FoldersChange();
    void OkBtnClick();

    TDialogTexts texts_;
    TSettings& settings_;
    TFolderTreeModel* model_;
    QElapsedTimer shownAt_;
    QLabel* FoldersInfo;
    QTreeView* Folders;
    QCheckBox* SelectSubFolders;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;
};

} // namespace qm
