#pragma once

// Dragging rows within the file list to move them. The view starts the drag with
// MimeData(): the rows are the view's selection, so the drag carries only a mark of the
// program and the view it came from (the model's own packing would read every cell of
// every dragged row, a stall on 50,000 of them). Installed on the view's viewport, the
// filter takes the drags that carry this view's mark: it shows where the rows would go
// with a line between rows, scrolls the list while the pointer stays near its top or
// bottom edge, and on the drop announces the place. Every other drag (files from a file
// manager) passes untouched to whoever else watches the viewport.
//
// Owned by the view it serves. Window thread only.

#include <QObject>
#include <QPoint>
#include <QTimer>

class QDropEvent;
class QMimeData;
class QTreeView;
class QWidget;

namespace qm {

class TRowDrag : public QObject {
    Q_OBJECT
public:
    // Enables dragging in `view` and watches its viewport.
    explicit TRowDrag(QTreeView& view);

    // What a drag of this view's rows carries; the caller owns it.
    QMimeData* MimeData() const;
    // The row in front of which a drop at `position` (viewport coordinates) puts the
    // rows: the nearer edge of the row under it, the end below the last row.
    int DropPlace(QPoint position) const;

signals:
    // Rows of this view were dropped in front of row `place`.
    void dropped(int place);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Ours(const QDropEvent& event) const;
    void Follow(QPoint position);
    void Stop();
    void ScrollTick();

    QTreeView& view_;
    // Kept apart from the view: the filter still sees the viewport's events while the view
    // is being destroyed, when it must not call the view.
    QWidget* const viewport_;
    QWidget* line_;
    QTimer scroll_;
    QPoint position_;
    // -1 or +1 while the pointer stays near the top or bottom edge.
    int scrollStep_ = 0;
};

} // namespace qm
