#include "app/list/predictionrunner.h"

#include "filelist/fileitem.h"
#include "filelist/fileitems.h"

#include <QThreadPool>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <malloc.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace qm {

namespace {

// Long enough to take a burst of keys as one change, short enough that the marks of
// 100,000 files still come within half a second of the last one.
constexpr int PauseMs = 60;

// The snapshot of a long list is taken a slice at a time, the event loop turning between
// slices, so that a million rows never hold the window for the quarter second their copy
// takes. A slice ends after this long.
constexpr std::chrono::milliseconds SliceTime{4};
constexpr int SliceCheck = 512; // rows between looks at the clock

// From this many entries on, the heap is handed back after a prediction.
constexpr std::size_t ManyEntries = 100000;

void FreeOffTheWindow(std::vector<TRunEntry> entries) {
    if (entries.empty())
        return;
    // Freeing a million names costs the window a tenth of a second.
    QThreadPool::globalInstance()->start(
        [doomed = std::make_shared<std::vector<TRunEntry>>(std::move(entries))] {
            std::vector<TRunEntry>().swap(*doomed);
        });
}

// The nice value of the calling thread.
int ThreadNice() {
    return getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
}

// QThread's priorities do nothing on Linux; a nice value per thread does. Counted from the
// window's own: a window started at nice 5 had the prediction level with it, and waited
// half of a long event for the processor.
void LowerPriority(int windowNice) {
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), std::min(19, windowNice + 5));
}

template <class T> void FreeNow(T& doomed) {
    doomed = T();
}

} // namespace

struct TPredictionRunner::Job {
    std::atomic<bool> cancel{false};
    quint64 generation = 0;
    RenameOptionSet options;
    RunOrder order = RunOrder::ListOrder;
    // The snapshot as far as it is taken: the rows before `next`.
    std::vector<TRunEntry> entries;
    int next = 0;
};

TPredictionRunner::TPredictionRunner(const TFileItems& items, ReadOptions readOptions,
                                     Deliver deliver, QObject* parent)
    : QObject(parent), items_(items), readOptions_(std::move(readOptions)),
      deliver_(std::move(deliver)),
      predict_([](const std::vector<TRunEntry>& entries, const RenameOptionSet& options,
                  RunOrder order, const std::atomic<bool>& cancel) {
          return PredictRenames(entries, options, RenameMode::Rename, order, cancel);
      }),
      pool_(std::make_unique<QThreadPool>()), windowNice_(ThreadNice()) {
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
    job->generation = generation_;
    job->options = readOptions_();
    job->order = order_;
    job->entries.reserve(static_cast<std::size_t>(items_.Count()));
    TakeSnapshot(job);
}

void TPredictionRunner::TakeSnapshot(const std::shared_ptr<Job>& job) {
    // Every change of the list's rows stops the job before it is made, so the rows taken
    // in earlier slices still stand; a job stopped meanwhile ends here.
    if (job != running_) {
        FreeOffTheWindow(std::move(job->entries));
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    const int count = items_.Count();
    while (job->next < count) {
        const int end = std::min(count, job->next + SliceCheck);
        for (int slot = job->next; slot < end; ++slot) {
            // One entry at a time, so that a rename worker waits for one copy at most.
            const auto lock = items_.ReadLock();
            if (const TFileItem* item = items_.Items(slot))
                job->entries.push_back({slot, item->CanUndo(), TSharedPath(item->SharedPath()),
                                        item->Name(), item->PrevName(), item->Tags(),
                                        item->HandName()});
        }
        job->next = end;
        if (job->next < count && std::chrono::steady_clock::now() - start >= SliceTime) {
            QTimer::singleShot(0, this, [this, job] { TakeSnapshot(job); });
            return;
        }
    }
    Launch(job);
}

void TPredictionRunner::Launch(const std::shared_ptr<Job>& job) {
    pool_->start([this, job, entries = std::move(job->entries), predict = predict_,
                  windowNice = windowNice_]() mutable {
        if (job->cancel) {
            return;
        }
        // Below the window's thread, as the rename worker is: on two cores the prediction
        // and its helper otherwise take both, and the window waits its turn for a quarter
        // second.
        LowerPriority(windowNice);
        const RenameOptionSet& options = job->options;
        // The names the column shows are made on the second core while the run is
        // predicted: with the numbering shifted, the marks need every one of them.
        TShownNameBlock shown;
        std::thread helper;
        if (MarksNeedShownNames(options))
            helper = std::thread([&] {
                LowerPriority(windowNice);
                shown = ShownNameBlock(entries, options, &job->cancel);
            });
        TPrediction prediction = predict(entries, options, job->order, job->cancel);
        if (helper.joinable())
            helper.join();
        // A prediction that ran to its end goes back even when a change came meanwhile:
        // the window decides by its generation, which also covers a change that comes
        // after this point.
        if (prediction.Tally.Cancelled) {
            return;
        }
        const TShownNames ahead =
            shown.Size() == entries.size() ? TShownNames(&shown) : TShownNames();
        std::vector<TRowMark> marks =
            MarkRows(entries, std::move(prediction), options, &job->cancel, ahead);
        // What the marks were made from goes before their table is made, and the marks
        // before the table goes to the window: a million of each at once made the window's
        // peak.
        const bool many = entries.size() >= ManyEntries;
        FreeNow(shown);
        FreeNow(prediction.Entries);
        FreeNow(entries);
        TMarkTable table(marks);
        FreeNow(marks);
        // The heap keeps what a million small names freed (the snapshot's, the prediction's,
        // the marks'), scattered between what stands, and the next prediction found little
        // of it to reuse: the window's memory grew by 50 MB a change. Giving it back takes
        // some 40 ms, here, below the window.
        if (many)
            malloc_trim(0);
        QMetaObject::invokeMethod(
            this,
            [this, generation = job->generation, marks = std::move(table)]() mutable {
                Arrive(generation, std::move(marks));
            },
            Qt::QueuedConnection);
    });
}

void TPredictionRunner::Arrive(quint64 generation, TMarkTable marks) {
    if (generation != generation_) {
        return; // the list or the options changed after the snapshot
    }
    running_.reset();
    delivered_ = true;
    deliver_(std::move(marks));
    emit delivered(generation);
}

} // namespace qm
