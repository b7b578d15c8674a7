#pragma once

// Keeps the prediction of the run (see rename/predict.h) up to date behind the window:
// every change of the options or of the list restarts it. A burst of changes (typing)
// starts one prediction, a short pause after the last change; a newer start cancels the
// older prediction through its flag and never waits for it. The prediction works on a
// snapshot of the list (taken on the window thread a slice at a time, the event loop
// turning between slices) on a worker thread and comes back to the window thread as a list
// of marked rows, tagged with the generation it was started for; a result of an older
// generation (the list or the options changed since its snapshot) is dropped.
//
// Window thread only. The list must outlive the runner. Destroying the runner cancels the
// prediction and waits for its worker, which stops at its next look at the flag; nothing
// of the prediction reaches the window after that.

#include "app/list/marktable.h"
#include "app/list/predictionmarks.h"
#include "rename/predict.h"

#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class QThreadPool;

namespace qm {

class TFileItems;

class TPredictionRunner : public QObject {
    Q_OBJECT
public:
    // What predicts: PredictRenames unless a test sets another.
    using Predict = std::function<TPrediction(const std::vector<TRunEntry>& entries,
                                              const RenameOptionSet& options, RunOrder order,
                                              const std::atomic<bool>& cancel)>;
    // The options as the controls show them now.
    using ReadOptions = std::function<RenameOptionSet()>;
    // Called on the window thread with the marks of the newest generation.
    using Deliver = std::function<void(TMarkTable marks)>;

    TPredictionRunner(const TFileItems& items, ReadOptions readOptions, Deliver deliver,
                      QObject* parent = nullptr);
    ~TPredictionRunner() override;

    // The options or the list changed: what is under way is out of date, and a new
    // prediction starts once the changes pause.
    void Restart();
    // Cancels what is under way and starts nothing (a rename run is about to change the
    // list); the next Restart starts again.
    void Stop();

    // How the run goes through the list; a new order counts from the next Restart.
    void SetOrder(RunOrder order) { order_ = order; }
    RunOrder Order() const { return order_; }
    void SetPredict(Predict predict) { predict_ = std::move(predict); }

    // Counts every Restart and Stop; a result is taken only for the latest.
    quint64 Generation() const { return generation_; }
    // Whether the marks of the latest generation were delivered: those the window shows
    // are then the list's and the options' as they are.
    bool Delivered() const { return delivered_; }

signals:
    // After the marks of `generation` were delivered.
    void delivered(quint64 generation);

private:
    struct Job;

    void Start();
    // Copies the next slice of the list into the job's snapshot; once it is whole, hands
    // the job to the worker.
    void TakeSnapshot(const std::shared_ptr<Job>& job);
    void Launch(const std::shared_ptr<Job>& job);
    void Arrive(quint64 generation, TMarkTable marks);

    const TFileItems& items_;
    ReadOptions readOptions_;
    Deliver deliver_;
    Predict predict_;
    RunOrder order_ = RunOrder::ListOrder;
    quint64 generation_ = 0;
    bool delivered_ = false;
    QTimer pause_;
    std::shared_ptr<Job> running_;
    // One worker: a cancelled prediction stops at its next look at the flag, so the next
    // one waits at most that long, and two never compete for the two cores.
    std::unique_ptr<QThreadPool> pool_;
    int windowNice_; // the nice value of the window's thread
};

} // namespace qm
