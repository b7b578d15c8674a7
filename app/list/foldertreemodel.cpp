#include "app/list/foldertreemodel.h"

#include <QFileSystemModel>

namespace qm {

TFolderTreeModel::TFolderTreeModel(QObject* parent) : QAbstractItemModel(parent) {}

TFolderTreeModel::~TFolderTreeModel() = default;

void TFolderTreeModel::AddRoot(const QString& path, const QString& caption, const QIcon& icon) {
    auto* model = new QFileSystemModel(this);
    model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    const int root = static_cast<int>(roots_.size());
    beginInsertRows(QModelIndex(), root, root);
    const QModelIndex index = model->setRootPath(path);
    roots_.push_back({model, QPersistentModelIndex(index), path, caption, icon});
    endInsertRows();
    Connect(root);
}

void TFolderTreeModel::Connect(int root) {
    QFileSystemModel* model = roots_[static_cast<std::size_t>(root)].Model;
    // Changes above or beside the root folder (the model also knows the path up to it)
    // are not part of this tree.
    const auto begin = [this, root](const QModelIndex& parent, int first, int last, bool insert) {
        forwarding_ = Within(root, parent);
        if (!forwarding_)
            return;
        const QModelIndex mapped = FromSource(root, parent);
        if (insert)
            beginInsertRows(mapped, first, last);
        else
            beginRemoveRows(mapped, first, last);
    };
    connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [begin](const QModelIndex& p, int f, int l) { begin(p, f, l, true); });
    connect(model, &QAbstractItemModel::rowsInserted, this, [this] {
        if (std::exchange(forwarding_, false))
            endInsertRows();
    });
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [begin](const QModelIndex& p, int f, int l) { begin(p, f, l, false); });
    connect(model, &QAbstractItemModel::rowsRemoved, this, [this] {
        if (std::exchange(forwarding_, false))
            endRemoveRows();
    });
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this, root](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                if (!Within(root, topLeft.parent()))
                    return;
                const QModelIndex first = FromSource(root, topLeft.siblingAtColumn(0));
                const QModelIndex last = FromSource(root, bottomRight.siblingAtColumn(0));
                if (first.isValid() && last.isValid())
                    emit dataChanged(first, last);
            });
    // Sorting moves rows within a folder: the view's kept rows follow their folders.
    connect(model, &QAbstractItemModel::layoutAboutToBeChanged, this, [this] {
        emit layoutAboutToBeChanged();
        layoutProxies_ = persistentIndexList();
        layoutSources_.clear();
        for (const QModelIndex& proxy : layoutProxies_)
            layoutSources_.push_back(QPersistentModelIndex(ToSource(proxy).second));
    });
    connect(model, &QAbstractItemModel::layoutChanged, this, [this] {
        QModelIndexList now;
        for (qsizetype i = 0; i < layoutProxies_.size(); ++i) {
            const QModelIndex& proxy = layoutProxies_[i];
            now.push_back(proxy.internalPointer() == nullptr
                              ? proxy
                              : FromSource(ToSource(proxy).first, layoutSources_[i]));
        }
        changePersistentIndexList(layoutProxies_, now);
        layoutProxies_.clear();
        layoutSources_.clear();
        emit layoutChanged();
    });
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        nodes_.clear();
        endResetModel();
    });
}

bool TFolderTreeModel::Within(int root, const QModelIndex& source) const {
    const QModelIndex top = roots_[static_cast<std::size_t>(root)].Index;
    for (QModelIndex at = source; at.isValid(); at = at.parent())
        if (at == top)
            return true;
    return false;
}

QModelIndex TFolderTreeModel::FromSource(int root, const QModelIndex& source) const {
    if (!source.isValid())
        return QModelIndex();
    if (source == roots_[static_cast<std::size_t>(root)].Index)
        return createIndex(root, 0);
    const QModelIndex first = source.siblingAtColumn(0);
    nodes_.insert(first.internalPointer(), {root, QPersistentModelIndex(first)});
    return createIndex(first.row(), 0, first.internalPointer());
}

std::pair<int, QModelIndex> TFolderTreeModel::ToSource(const QModelIndex& index) const {
    if (!index.isValid())
        return {-1, QModelIndex()};
    if (index.internalPointer() == nullptr) {
        const int root = index.row();
        return {root, roots_[static_cast<std::size_t>(root)].Index};
    }
    const auto found = nodes_.constFind(index.internalPointer());
    if (found == nodes_.constEnd())
        return {-1, QModelIndex()};
    return {found->first, found->second};
}

QModelIndex TFolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column != 0)
        return QModelIndex();
    if (!parent.isValid())
        return row < static_cast<int>(roots_.size()) ? createIndex(row, 0) : QModelIndex();
    const auto [root, source] = ToSource(parent);
    if (root < 0)
        return QModelIndex();
    return FromSource(root, roots_[static_cast<std::size_t>(root)].Model->index(row, 0, source));
}

QModelIndex TFolderTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalPointer() == nullptr)
        return QModelIndex();
    const auto [root, source] = ToSource(child);
    if (root < 0)
        return QModelIndex();
    return FromSource(root, source.parent());
}

int TFolderTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return static_cast<int>(roots_.size());
    if (parent.column() > 0)
        return 0;
    const auto [root, source] = ToSource(parent);
    return root < 0 ? 0 : roots_[static_cast<std::size_t>(root)].Model->rowCount(source);
}

int TFolderTreeModel::columnCount(const QModelIndex& parent) const {
    return parent.column() > 0 ? 0 : 1;
}

bool TFolderTreeModel::hasChildren(const QModelIndex& parent) const {
    if (!parent.isValid())
        return !roots_.empty();
    const auto [root, source] = ToSource(parent);
    return root >= 0 && roots_[static_cast<std::size_t>(root)].Model->hasChildren(source);
}

bool TFolderTreeModel::canFetchMore(const QModelIndex& parent) const {
    const auto [root, source] = ToSource(parent);
    return root >= 0 && roots_[static_cast<std::size_t>(root)].Model->canFetchMore(source);
}

void TFolderTreeModel::fetchMore(const QModelIndex& parent) {
    const auto [root, source] = ToSource(parent);
    if (root >= 0)
        roots_[static_cast<std::size_t>(root)].Model->fetchMore(source);
}

QVariant TFolderTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return QVariant();
    if (index.internalPointer() == nullptr) {
        const Root& root = roots_[static_cast<std::size_t>(index.row())];
        switch (role) {
        case Qt::DisplayRole:
            return root.Caption;
        case Qt::DecorationRole:
            return root.Icon;
        case Qt::ToolTipRole:
            return root.Path;
        default:
            return QVariant();
        }
    }
    const auto [root, source] = ToSource(index);
    if (root < 0 || (role != Qt::DisplayRole && role != Qt::DecorationRole))
        return QVariant();
    return source.data(role);
}

QString TFolderTreeModel::FilePath(const QModelIndex& index) const {
    const auto [root, source] = ToSource(index);
    return root < 0 ? QString() : roots_[static_cast<std::size_t>(root)].Model->filePath(source);
}

QModelIndex TFolderTreeModel::IndexOfPath(const QString& folder) const {
    const auto withSlash = [](QString path) {
        return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
    };
    const QString target = withSlash(folder);
    // A folder that is itself at the top (the documents folder) is that row, not the
    // same folder deeper down under the home folder.
    for (int root = 0; root < static_cast<int>(roots_.size()); ++root)
        if (withSlash(roots_[static_cast<std::size_t>(root)].Path) == target)
            return createIndex(root, 0);
    for (int root = 0; root < static_cast<int>(roots_.size()); ++root) {
        const Root& r = roots_[static_cast<std::size_t>(root)];
        // Whole folder names only: "Data/" is no prefix of "Database/".
        if (!target.startsWith(withSlash(r.Path)))
            continue;
        QString path = target;
        if (path.size() > 1)
            path.chop(1);
        return FromSource(root, r.Model->index(path));
    }
    return QModelIndex();
}

} // namespace qm
