#include "app/list/directoryselector.h"

#include "app/list/foldertreemodel.h"
#include "app/widgets/okcancel.h"
#include "settings/settings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTreeView>
#include <QVBoxLayout>
#include <utility>

namespace qm {

TDirectorySelector::TDirectorySelector(TSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("DirectorySelector"));
    setWindowTitle(tr("Select folder"));
    model_ = new TFolderTreeModel(this);
    Folders = new QTreeView(this);
    Folders->setObjectName(QStringLiteral("Folders"));
    Folders->setModel(model_);
    Folders->setHeaderHidden(true);
    Folders->setRootIsDecorated(true);
    Folders->setUniformRowHeights(true);
    Folders->setIndentation(19);
    Folders->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Folders->setMinimumSize(296, 210);
    FoldersInfo = new QLabel(tr("Folder to add:"), this);
    FoldersInfo->setObjectName(QStringLiteral("FoldersInfo"));
    FoldersInfo->setBuddy(Folders);
    SelectSubFolders = new QCheckBox(tr("&Include subfolders"), this);
    SelectSubFolders->setObjectName(QStringLiteral("SelectSubFolders"));
    SelectSubFolders->setChecked(settings_.IncludeDirectorySubFolders);

    const OkCancelButtons okCancel = MakeOkCancelButtons(*this);
    QDialogButtonBox* buttons = okCancel.Box;
    OkBtn = okCancel.Ok;
    CancelBtn = okCancel.Cancel;
    OkBtn->setEnabled(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &TDirectorySelector::OkBtnClick);

    auto* column = new QVBoxLayout(this);
    column->addWidget(FoldersInfo);
    column->addWidget(Folders, 1);
    column->addWidget(SelectSubFolders);
    column->addWidget(buttons);

    // The trash lies in a hidden folder, and hidden folders are not shown.
    const QIcon folderIcon = QFileIconProvider().icon(QFileIconProvider::Folder);
    const auto top = [&](const QString& path, const QString& caption, const char* icon) {
        model_->AddRoot(path, caption, QIcon::fromTheme(QLatin1String(icon), folderIcon));
    };
    const QString home = QDir::homePath();
    top(home, QFileInfo(home).fileName(), "user-home");
    for (const auto& [location, icon] :
         {std::pair{QStandardPaths::DesktopLocation, "user-desktop"},
          std::pair{QStandardPaths::DocumentsLocation, "folder-documents"}}) {
        const QString path = QStandardPaths::writableLocation(location);
        if (!path.isEmpty() && path != home && QFileInfo(path).isDir())
            top(path, QStandardPaths::displayName(location), icon);
    }
    top(QStringLiteral("/"), QStringLiteral("/"), "drive-harddisk");

    connect(Folders->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TDirectorySelector::FoldersChange);
    connect(model_, &QAbstractItemModel::rowsInserted, this,
            &TDirectorySelector::KeepCurrentInView);
    connect(model_, &QAbstractItemModel::layoutChanged, this,
            &TDirectorySelector::KeepCurrentInView);
}

void TDirectorySelector::LoadTexts() {
    setWindowTitle(texts_.Line("SELECTFOLDERTITLE"));
    FoldersInfo->setText(texts_.Line("SELECTFOLDER") + QLatin1Char(':'));
    SelectSubFolders->setText(texts_.Keyed("INCLUDESUBFOLDERS"));
    OkBtn->setText(texts_.CommonKeyed("OK"));
    CancelBtn->setText(texts_.CommonKeyed("CANCEL"));
}

void TDirectorySelector::SetPath(const std::string& path) {
    const QString folder = QString::fromStdString(path);
    if (!settings_.DisableInitialFolderSelection && !folder.isEmpty() && QFileInfo(folder).isDir())
        LocateFolder(folder);
}

void TDirectorySelector::LocateFolder(const QString& target) {
    // The first top-level folder that holds the target wins, so a folder inside the home
    // folder opens under it rather than deep under the root. Only the path is unfolded.
    const QModelIndex found = model_->IndexOfPath(target);
    if (!found.isValid())
        return;
    for (QModelIndex up = found.parent(); up.isValid(); up = up.parent())
        Folders->expand(up);
    Folders->setCurrentIndex(found);
}

void TDirectorySelector::showEvent(QShowEvent* event) {
    if (texts_.Ready()) {
        LoadTexts();
    }
    QDialog::showEvent(event);
    shownAt_.start();
    KeepCurrentInView();
}

void TDirectorySelector::KeepCurrentInView() {
    // The folders beside the path arrive in the background and push the located folder
    // down; for a moment after showing, the view follows it, then it is the user's.
    if (shownAt_.isValid() && shownAt_.elapsed() < 1500 && Folders->currentIndex().isValid())
        Folders->scrollTo(Folders->currentIndex(), QAbstractItemView::PositionAtCenter);
}

std::string TDirectorySelector::GetPath() const {
    return QFile::encodeName(model_->FilePath(Folders->currentIndex())).toStdString();
}

bool TDirectorySelector::GetIncludeSubFolders() const {
    return SelectSubFolders->isChecked();
}

void TDirectorySelector::FoldersChange() {
    const QString path = model_->FilePath(Folders->currentIndex());
    OkBtn->setEnabled(!path.isEmpty() && QFileInfo(path).isDir());
}

void TDirectorySelector::OkBtnClick() {
    settings_.IncludeDirectorySubFolders = SelectSubFolders->isChecked();
    accept();
}

} // namespace qm
