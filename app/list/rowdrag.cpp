#include "app/list/rowdrag.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QScrollBar>
#include <QTreeView>
#include <algorithm>
#include <memory>

namespace qm {

namespace {

const QString RowsFormat = QStringLiteral("application/x-quillmark-rows");

// How near the edge the pointer scrolls the list, in rows.
constexpr int EdgeRows = 1;

} // namespace

TRowDrag::TRowDrag(QTreeView& view)
    : QObject(&view), view_(view), viewport_(view.viewport()), line_(new QWidget(viewport_)) {
    view.setDragEnabled(true);
    view.setDragDropMode(QAbstractItemView::DragDrop);
    view.setDefaultDropAction(Qt::MoveAction);
    line_->setObjectName(QStringLiteral("DropLine"));
    line_->setAttribute(Qt::WA_TransparentForMouseEvents);
    line_->setAutoFillBackground(true);
    line_->setBackgroundRole(QPalette::Highlight);
    line_->hide();
    scroll_.setInterval(60);
    connect(&scroll_, &QTimer::timeout, this, &TRowDrag::ScrollTick);
    view.viewport()->installEventFilter(this);
}

QMimeData* TRowDrag::MimeData() const {
    auto* data = new QMimeData;
    // Another copy of the program, or another list, shares the format but not the mark.
    data->setData(RowsFormat, QByteArray::number(QCoreApplication::applicationPid()) + ':' +
                                  QByteArray::number(reinterpret_cast<quintptr>(&view_)));
    return data;
}

bool TRowDrag::Ours(const QDropEvent& event) const {
    const QMimeData* data = event.mimeData();
    if (data == nullptr || !data->hasFormat(RowsFormat)) {
        return false;
    }
    const std::unique_ptr<QMimeData> mine(MimeData());
    return data->data(RowsFormat) == mine->data(RowsFormat);
}

int TRowDrag::DropPlace(QPoint position) const {
    const int rows = view_.model() != nullptr ? view_.model()->rowCount() : 0;
    // Any point of a row finds it, also right of the last column.
    const QHeaderView* header = view_.header();
    const int right = header->length() - header->offset() - 1;
    position.setX(std::clamp(position.x(), 0, std::max(0, right)));
    const QModelIndex index = view_.indexAt(position);
    if (!index.isValid()) {
        return rows;
    }
    const QRect rect = view_.visualRect(index);
    return position.y() < rect.center().y() ? index.row() : index.row() + 1;
}

bool TRowDrag::eventFilter(QObject* watched, QEvent* event) {
    if (watched != viewport_) {
        return false;
    }
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (!Ours(*drag)) {
            return false;
        }
        drag->setDropAction(Qt::MoveAction);
        drag->accept();
        Follow(drag->position().toPoint());
        return true;
    }
    case QEvent::DragLeave:
        Stop();
        return false;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!Ours(*drop)) {
            return false;
        }
        Stop();
        drop->setDropAction(Qt::MoveAction);
        drop->accept();
        emit dropped(DropPlace(drop->position().toPoint()));
        return true;
    }
    default:
        return false;
    }
}

void TRowDrag::Follow(QPoint position) {
    position_ = position;
    const int edge = EdgeRows * std::max(1, view_.sizeHintForRow(0));
    const int height = view_.viewport()->height();
    scrollStep_ = position.y() < edge ? -1 : position.y() >= height - edge ? 1 : 0;
    if (scrollStep_ == 0) {
        scroll_.stop();
    } else if (!scroll_.isActive()) {
        scroll_.start();
    }
    const int place = DropPlace(position);
    const int rows = view_.model() != nullptr ? view_.model()->rowCount() : 0;
    int y = 0;
    if (rows > 0) {
        const QRect last = view_.visualRect(view_.model()->index(rows - 1, 0));
        y = place < rows ? view_.visualRect(view_.model()->index(place, 0)).top()
                         : last.bottom() + 1;
    }
    line_->setGeometry(0, y - 1, view_.viewport()->width(), 2);
    line_->show();
    line_->raise();
}

void TRowDrag::Stop() {
    scroll_.stop();
    scrollStep_ = 0;
    line_->hide();
}

void TRowDrag::ScrollTick() {
    QScrollBar* bar = view_.verticalScrollBar();
    bar->triggerAction(scrollStep_ < 0 ? QAbstractSlider::SliderSingleStepSub
                                       : QAbstractSlider::SliderSingleStepAdd);
    Follow(position_);
}

} // namespace qm
