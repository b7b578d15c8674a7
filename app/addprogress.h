#pragma once

// Progress of adding many files: stays out of sight for the first half second, then a
// window-modal dialog with the count so far and a Cancel button. While it shows, each
// update lets the window repaint and take the Cancel click.
//
// For one adding run on the window thread; the parent must outlive it.

#include <QElapsedTimer>
#include <QString>
#include <cstddef>
#include <memory>

class QProgressDialog;
class QWidget;

namespace qm {

class TAddProgress {
public:
    explicit TAddProgress(QWidget* parent);
    ~TAddProgress();
    TAddProgress(const TAddProgress&) = delete;
    TAddProgress& operator=(const TAddProgress&) = delete;

    // Reports `done` of `total` (0 when the total is not known yet). False once the user
    // has cancelled.
    bool Update(std::size_t done, std::size_t total);
    bool Cancelled() const { return cancelled_; }
    bool Shown() const { return dialog_ != nullptr; }

    // How long the work may run before the dialog shows.
    static constexpr int ShowAfterMs = 500;

private:
    QWidget* parent_;
    QElapsedTimer started_;
    QElapsedTimer lastPaint_;
    std::unique_ptr<QProgressDialog> dialog_;
    bool cancelled_ = false;
};

} // namespace qm
