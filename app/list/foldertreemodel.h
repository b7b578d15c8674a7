#pragma once

// Several folders side by side at the top of one tree, each with the folders below it,
// read by a QFileSystemModel of its own (folders only, hidden ones left out). The
// file-system models fill themselves in the background; this model passes their row
// changes on, so a view sees one ordinary tree.
//
// Single column. Owns its file-system models. Window thread only.

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <QPersistentModelIndex>
#include <utility>
#include <vector>

class QFileSystemModel;

namespace qm {

class TFolderTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit TFolderTreeModel(QObject* parent = nullptr);
    ~TFolderTreeModel() override;

    // Adds a top-level row for the folder `path` (no trailing "/" but for the root).
    void AddRoot(const QString& path, const QString& caption, const QIcon& icon);

    // The folder a row shows; empty for an invalid index.
    QString FilePath(const QModelIndex& index) const;
    // The top-level row of `folder`, or else its row under the first top-level folder
    // that holds it, made on the spot along the path; invalid when no top-level folder
    // holds it.
    QModelIndex IndexOfPath(const QString& folder) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    struct Root {
        QFileSystemModel* Model;
        QPersistentModelIndex Index;
        QString Path;
        QString Caption;
        QIcon Icon;
    };
    // Which root a row belongs to and its row in that root's file-system model.
    std::pair<int, QModelIndex> ToSource(const QModelIndex& index) const;
    QModelIndex FromSource(int root, const QModelIndex& source) const;
    bool Within(int root, const QModelIndex& source) const;
    void Connect(int root);

    std::vector<Root> roots_;
    // Rows below the top level carry the file-system model's node pointer; this finds the
    // root and the (kept up to date) source row again.
    mutable QHash<const void*, std::pair<int, QPersistentModelIndex>> nodes_;
    bool forwarding_ = false;
    QList<QPersistentModelIndex> layoutSources_;
    QModelIndexList layoutProxies_;
};

} // namespace qm
