#include "app/list/predictionrunner.h"

#include <QThreadPool>
#include <thread>

namespace qm {

namespace {

// Long enough to take a burst of keys as one change, short enough that the marks of
// 100,000 files still come within half a second of the last one.
constexpr int PauseMs = 60;

} // namespace

struct TPredictionRunner::Job {
    std::atomic<bool> cancel{false};
};

TPredictionRunner::TPredictionRunner(const TFileItems& items, ReadOptions readOptions,
                                     Deliver deliver, QObject* parent)
    : QObject(parent), items_(items), readOptions_(std::move(readOptions)),
      deliver_(std::move(deliver)),
      predict_([](const std::vector<TRunEntry>& entries, const RenameOptionSet& options,
                  RunOrder order, const std::atomic<bool>& cancel) {
          return PredictRenames(entries, options, RenameMode::Rename, order, cancel);
      }),
      pool_(std::make_unique<QThreadPool>()) {
    pool_->setMaxThreadCount(1);
    pause_.setSingleShot(true);
    pause_.setInterval(PauseMs);
    connect(&pause_, &QTimer::timeout, this, &TPredictionRunner::Start);
}

TPredictionRunner::~TPredictionRunner() {
    Stop();
    // The worker posts its result to this object: it must be done before the object goes.
    // A result posted meanwhile is dropped with the object's pending events.
    pool_->waitForDone();
}

void TPredictionRunner::Restart() {
    Stop();
    pause_.start();
}

void TPredictionRunner::Stop() {
    ++generation_;
    delivered_ = false;
    pause_.stop();
    if (running_ != nullptr) {
        running_->cancel = true;
        running_.reset();
    }
}

void TPredictionRunner::Start() {
    auto job = std::make_shared<Job>();
    running_ = job;
    const quint64 generation = generation_;
    std::vector<TRunEntry> entries = SnapshotEntries(items_);
    const RenameOptionSet options = readOptions_();
    pool_->start([this, job, generation, entries = std::move(entries), options, predict = predict_,
                  order = order_] {
        if (job->cancel) {
            return;
        }
        // The names the column shows are made on the second core while the run is
        // predicted: with the numbering shifted, the marks need every one of them.
        std::vector<std::string> shown;
        std::thread helper;
        if (MarksNeedShownNames(options))
            helper = std::thread([&] { shown = ShownNames(entries, options, &job->cancel); });
        const TPrediction prediction = predict(entries, options, order, job->cancel);
        if (helper.joinable())
            helper.join();
        // A prediction that ran to its end goes back even when a change came meanwhile:
        // the window decides by its generation, which also covers a change that comes
        // after this point.
        if (prediction.Tally.Cancelled) {
            return;
        }
        std::vector<TRowMark> marks = MarkRows(entries, prediction, options, &job->cancel,
                                               shown.size() == entries.size() ? &shown : nullptr);
        QMetaObject::invokeMethod(
            this,
            [this, generation, marks = std::move(marks)]() mutable {
                Arrive(generation, std::move(marks));
            },
            Qt::QueuedConnection);
    });
}

void TPredictionRunner::Arrive(quint64 generation, std::vector<TRowMark> marks) {
    if (generation != generation_) {
        return; // the list or the options changed after the snapshot
    }
    running_.reset();
    delivered_ = true;
    deliver_(std::move(marks));
    emit delivered(generation);
}

} // namespace qm
