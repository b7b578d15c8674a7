#pragma once

// TRenameProcess, the modal window of one rename or undo run: the pair of names being
// worked on, a bar in thousandths of the run and, from the eleventh second on, the time
// left. Cancel, Escape, Enter and the close box only ask the run to stop (stopRequested);
// the window closes when the main window calls Finish after the worker has ended.
//
// Created for one run and destroyed after it, so every counter starts at zero. Lives on
// the window thread; the one member a worker thread touches is FilesSinceTick.

#include <QDialog>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace qm {

class TRenameProcess : public QDialog {
    Q_OBJECT
public:
    // The first line of a program language text; an empty text is one the language lacks.
    using TextSource = std::function<std::string(const std::string& key)>;

    // `cancelCaption`: the caption of the Cancel button, with "&" before its accelerator.
    TRenameProcess(QWidget* parent, TextSource programLine, std::string cancelCaption);
    ~TRenameProcess() override;

    // Whether a run is under way: while it answers true the window does not close.
    void SetRunActive(std::function<bool()> runActive) { runActive_ = std::move(runActive); }

    // The start of a run of `totalFiles`: no estimate, the bar at 0, the timer running.
    void BeginRun(std::int64_t totalFiles);
    // The end of the run: the timer stops (the window stays until Finish).
    void EndRun();
    // Closes the window, ending its modal loop; only once no run is active.
    void Finish();

    void ShowNames(const std::string& from, const std::string& to);
    // Before the first rename: the run reads the files' tags, `done` of `total` so far.
    void ShowReadingTags(std::int64_t done, std::int64_t total);
    // Adds `n` finished files; the bar follows in thousandths and never moves back.
    void StepProgress(std::int64_t n);
    // One tick of the estimate (the timer calls it every second).
    void EstimatedTimerTimer();

    // Raised by the worker after every file; the timer takes it and sets it to 0 in one
    // step, so a file finished between the two is never lost.
    std::atomic<std::int32_t> FilesSinceTick{0};

    std::int64_t TotalFiles() const { return totalFiles_; }
    std::int64_t DoneFiles() const { return doneFiles_; }

    QLabel* FromNameInfo = nullptr;
    QLabel* ToNameInfo = nullptr;
    QProgressBar* Progress = nullptr;
    QPushButton* CancelBtn = nullptr;
    QLabel* EstimatedInfo = nullptr;
    QTimer* EstimatedTimer = nullptr;

signals:
    void stopRequested();

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void CancelBtnClick();
    bool RunActive() const { return runActive_ && runActive_(); }

    TextSource programLine_;
    std::string cancelCaption_;
    std::function<bool()> runActive_;
    bool textsSet_ = false;

    // Files finished in each of the last ten ticks, newest first.
    std::array<std::int32_t, 10> tickCounts_{};
    std::int32_t ticksSeen_ = 0;
    std::int64_t totalFiles_ = 0;
    std::int64_t doneFiles_ = 0;
};

} // namespace qm
