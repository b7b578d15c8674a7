#include "app/list/addprogress.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <QWidget>
#include <climits>

namespace qm {

TAddProgress::TAddProgress(QWidget* parent, int showAfterMs)
    : parent_(parent), showAfterMs_(showAfterMs) {
    started_.start();
}

TAddProgress::~TAddProgress() = default;

bool TAddProgress::Update(std::size_t done, std::size_t total) {
    if (cancelled_)
        return false;
    if (dialog_ == nullptr) {
        if (started_.elapsed() < showAfterMs_)
            return true;
        dialog_ = std::make_unique<QProgressDialog>(parent_);
        dialog_->setObjectName(QStringLiteral("AddProgress"));
        dialog_->setWindowTitle(QCoreApplication::translate("TAddProgress", "Adding files"));
        dialog_->setWindowModality(Qt::WindowModal);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        // Shown by hand, at once: the dialog's own timing would wait for more updates.
        dialog_->setMinimumDuration(INT_MAX);
        dialog_->show();
        lastPaint_.invalidate();
    }
    // Painting and taking input a few dozen times a second is enough; more would slow
    // the adding down.
    if (!lastPaint_.isValid() || lastPaint_.elapsed() >= 40) {
        lastPaint_.start();
        Paint(done, total);
    }
    cancelled_ = dialog_->wasCanceled();
    return !cancelled_;
}

void TAddProgress::Paint(std::size_t done, std::size_t total) {
    const bool known = total > 0;
    dialog_->setRange(0, known ? static_cast<int>(std::min<std::size_t>(total, INT_MAX)) : 0);
    if (known)
        dialog_->setValue(static_cast<int>(std::min<std::size_t>(done, INT_MAX)));
    dialog_->setLabelText(
        known ? QCoreApplication::translate("TAddProgress", "Adding files: %L1 of %L2")
                    .arg(done)
                    .arg(total)
              : QCoreApplication::translate("TAddProgress", "Looking for files: %L1 found")
                    .arg(done));
    QCoreApplication::processEvents();
}

} // namespace qm
