#include "app/directoryselector.h"

#include "settings/settings.h"

#include <QCheckBox>
#include <QCollator>
#include <QDialogButtonBox>
#include <QDir>
#include <QDirIterator>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

namespace qm {

namespace {

constexpr int PathRole = Qt::UserRole + 1;
constexpr int FilledRole = Qt::UserRole + 2;

QString WithSlash(QString path) {
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

QString PathOf(const QStandardItem* item) {
    return item != nullptr ? item->data(PathRole).toString() : QString();
}

bool HasSubFolder(const QString& path) {
    QDirIterator it(path, QDir::Dirs | QDir::NoDotAndDotDot);
    return it.hasNext();
}

} // namespace

TDirectorySelector::TDirectorySelector(TSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("DirectorySelector"));
    setWindowTitle(tr("Select folder"));
    trash_ = WithSlash(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                       QStringLiteral("/Trash"));

    model_ = new QStandardItemModel(this);
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

    auto* buttons = new QDialogButtonBox(this);
    OkBtn = buttons->addButton(tr("&Ok"), QDialogButtonBox::AcceptRole);
    OkBtn->setObjectName(QStringLiteral("OkBtn"));
    OkBtn->setDefault(true);
    OkBtn->setEnabled(false);
    CancelBtn = buttons->addButton(tr("&Cancel"), QDialogButtonBox::RejectRole);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    connect(buttons, &QDialogButtonBox::accepted, this, &TDirectorySelector::OkBtnClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* column = new QVBoxLayout(this);
    column->addWidget(FoldersInfo);
    column->addWidget(Folders, 1);
    column->addWidget(SelectSubFolders);
    column->addWidget(buttons);

    QStandardItem* root = model_->invisibleRootItem();
    const QString home = QDir::homePath();
    AddFolder(root, home, QFileInfo(home).fileName(), QStringLiteral("user-home"));
    const auto special = [&](QStandardPaths::StandardLocation location, const char* icon) {
        const QString path = QStandardPaths::writableLocation(location);
        if (!path.isEmpty() && path != home && QFileInfo(path).isDir())
            AddFolder(root, path, QStandardPaths::displayName(location), QLatin1String(icon));
    };
    special(QStandardPaths::DesktopLocation, "user-desktop");
    special(QStandardPaths::DocumentsLocation, "folder-documents");
    AddFolder(root, QStringLiteral("/"), QStringLiteral("/"), QStringLiteral("drive-harddisk"));

    connect(Folders, &QTreeView::expanded, this, &TDirectorySelector::Populate);
    connect(Folders->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TDirectorySelector::FoldersChange);
}

void TDirectorySelector::SetTexts(const QString& title, const QString& label,
                                  const QString& subFolders, const QString& ok,
                                  const QString& cancel) {
    if (!title.isEmpty())
        setWindowTitle(title);
    if (!label.isEmpty())
        FoldersInfo->setText(label);
    if (!subFolders.isEmpty())
        SelectSubFolders->setText(subFolders);
    if (!ok.isEmpty())
        OkBtn->setText(ok);
    if (!cancel.isEmpty())
        CancelBtn->setText(cancel);
}

QStandardItem* TDirectorySelector::AddFolder(QStandardItem* parent, const QString& path,
                                             const QString& caption, const QString& iconName) {
    static const QIcon folderIcon = QFileIconProvider().icon(QFileIconProvider::Folder);
    auto* item = new QStandardItem(caption.isEmpty() ? path : caption);
    item->setIcon(QIcon::fromTheme(iconName, folderIcon));
    item->setData(path, PathRole);
    item->setToolTip(path);
    // A folder shows an unfold mark only when it has something to unfold; its children
    // are read when it is first unfolded.
    if (HasSubFolder(path))
        item->appendRow(new QStandardItem());
    parent->appendRow(item);
    return item;
}

void TDirectorySelector::Populate(const QModelIndex& index) {
    QStandardItem* item = model_->itemFromIndex(index);
    if (item == nullptr || item->data(FilledRole).toBool())
        return;
    item->setData(true, FilledRole);
    item->removeRows(0, item->rowCount());
    const QString path = PathOf(item);
    QStringList names = QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(names.begin(), names.end(), collator);
    for (const QString& name : names) {
        const QString child = WithSlash(path) + name;
        if (WithSlash(child) == trash_)
            continue;
        AddFolder(item, child, name, QStringLiteral("folder"));
    }
}

void TDirectorySelector::SetPath(const std::string& path) {
    const QString folder = QString::fromStdString(path);
    if (!settings_.DisableInitialFolderSelection && !folder.isEmpty() && QFileInfo(folder).isDir())
        LocateFolder(WithSlash(folder));
}

void TDirectorySelector::LocateFolder(const QString& target) {
    // The first top-level folder that holds the target wins, so a folder inside the home
    // folder opens under Home rather than deep under the root.
    QStandardItem* top = model_->invisibleRootItem();
    for (int row = 0; row < top->rowCount(); ++row) {
        QStandardItem* child = top->child(row);
        const QString p = WithSlash(PathOf(child));
        if (!target.startsWith(p))
            continue;
        if (target == p)
            Select(child);
        else {
            Folders->expand(child->index());
            LocateBelow(child, target);
        }
        return;
    }
}

bool TDirectorySelector::LocateBelow(QStandardItem* node, const QString& target) {
    // Whole folder names only: "Data/" is no prefix of "Database/...".
    for (int row = 0; row < node->rowCount(); ++row) {
        QStandardItem* child = node->child(row);
        const QString p = WithSlash(PathOf(child));
        if (!target.startsWith(p))
            continue;
        if (target == p) {
            Select(child);
        } else {
            Folders->expand(child->index());
            LocateBelow(child, target);
        }
        return true;
    }
    return false;
}

void TDirectorySelector::Select(QStandardItem* node) {
    Folders->setCurrentIndex(node->index());
}

void TDirectorySelector::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (Folders->currentIndex().isValid())
        Folders->scrollTo(Folders->currentIndex(), QAbstractItemView::PositionAtCenter);
}

std::string TDirectorySelector::GetPath() const {
    return PathOf(model_->itemFromIndex(Folders->currentIndex())).toStdString();
}

bool TDirectorySelector::GetIncludeSubFolders() const {
    return SelectSubFolders->isChecked();
}

void TDirectorySelector::FoldersChange() {
    const QString path = PathOf(model_->itemFromIndex(Folders->currentIndex()));
    OkBtn->setEnabled(!path.isEmpty() && QFileInfo(path).isDir());
}

void TDirectorySelector::OkBtnClick() {
    settings_.IncludeDirectorySubFolders = SelectSubFolders->isChecked();
    accept();
}

} // namespace qm
