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
    // `showAfterMs`: how long the work may run before the dialog shows.
    explicit TAddProgress(QWidget* parent, int showAfterMs = DefaultShowAfterMs);
    ~TAddProgress();
    TAddProgress(const TAddProgress&) = delete;
    TAddProgress& operator=(const TAddProgress&) = delete;

    // Reports `done` of `total` (0 when the total is not known yet). False once the user
    // has cancelled.
    bool Update(std::size_t done, std::size_t total);
    bool Cancelled() const { return cancelled_; }
    bool Shown() const { return dialog_ != nullptr; }

    static constexpr int DefaultShowAfterMs = 500;

private:
    void Paint(std::size_t done, std::size_t total);

    QWidget* parent_;
    int showAfterMs_;
    QElapsedTimer started_;
    QElapsedTimer lastPaint_;
    std::unique_ptr<QProgressDialog> dialog_;
    bool cancelled_ = false;
};

} // namespace qm
