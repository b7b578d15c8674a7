#pragma once

// The replace list of the Replace tab: two columns ("Replace", "With"), one row per pair,
// always in the order the rename engine applies the pairs (ascending by the Replace text in
// the user's collation, case-sensitive; equal texts in the order they were added). Each
// row keeps its own ReplaceWith wherever it lands.

#include "engine/renameoptionset.h"

#include <QTreeWidget>
#include <optional>
#include <vector>

namespace qm {

class TReplaceList : public QTreeWidget {
    Q_OBJECT
public:
    explicit TReplaceList(QWidget* parent = nullptr);

    int Count() const { return topLevelItemCount(); }
    // Inserts the pair at its sorted place, after the rows whose text compares equal.
    void AddPair(const ReplacePair& pair);
    // The rows in list order.
    std::vector<ReplacePair> Pairs() const;
    // Empties the list, then adds the first `count` pairs of `pairs`.
    void SetPairs(const std::vector<ReplacePair>& pairs);
    // Index of the first selected row, or -1.
    int SelectedIndex() const;
    // Removes the first selected row and returns its pair; then selects the row that took
    // its place, or the new last row when it was the last one. Nothing when no row is
    // selected.
    std::optional<ReplacePair> RemoveSelected();

    // A few rows high: the list shares its tab with the entry fields, and the file list
    // above should get the window's spare height.
    QSize sizeHint() const override;

signals:
    void deletePressed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace qm
