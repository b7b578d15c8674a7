#include "app/list/tagloader.h"

#include "filelist/fileitem.h"
#include "filelist/fileitems.h"

#include <sys/resource.h>
#include <unistd.h>

namespace qm {

namespace {

// Often enough that the names seem to flow in, seldom enough that repainting the column
// costs the window next to nothing.
constexpr int TickMs = 150;

} // namespace

struct TTagLoader::Job {
    unsigned sources = 0;
    std::size_t total = 0;
    std::atomic<bool> cancel{false};
    std::atomic<std::size_t> done{0};
};

TTagLoader::TTagLoader(TFileItems& items, QObject* parent)
    : QObject(parent), items_(items),
      read_([](const TTagReadRequest& request, const std::atomic<bool>& cancel,
               const std::function<void(std::size_t)>& done) {
          return ReadTags(request, cancel, done);
      }) {
    tick_.setInterval(TickMs);
    connect(&tick_, &QTimer::timeout, this, &TTagLoader::Tick);
}

TTagLoader::~TTagLoader() {
    // The worker posts its end to this object: it must be done before the object goes.
    Stop();
}

std::size_t TTagLoader::Total() const {
    return job_ != nullptr ? job_->total : 0;
}

std::size_t TTagLoader::Done() const {
    return job_ != nullptr ? job_->done.load(std::memory_order_relaxed) : 0;
}

void TTagLoader::Need(unsigned sources, int firstRow) {
    wanted_ = sources;
    firstRow_ = firstRow;
    if (held_ > 0)
        return;
    if (job_ != nullptr) {
        if (sources != 0 && (job_->sources & sources) == sources)
            return;
        Stop();
    }
    if (sources == 0)
        return;
    TTagReadRequest request;
    request.Sources = sources;
    const int count = items_.Count();
    const int first = firstRow > 0 && firstRow < count ? firstRow : 0;
    request.Entries.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        TFileItem* entry = items_.Items((first + i) % count);
        if (entry != nullptr && entry->NeedsTags(sources))
            request.Entries.push_back(entry);
    }
    if (request.Entries.empty())
        return;
    auto job = std::make_shared<Job>();
    job->sources = sources;
    job->total = request.Entries.size();
    job_ = job;
    shownDone_ = 0;
    worker_ = std::thread([this, job, request = std::move(request), read = read_] {
        // Below the window: it must stay responsive while the files are read. The
        // readers' own threads inherit this.
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 5);
        read(request, job->cancel,
             [&job](std::size_t done) { job->done.store(done, std::memory_order_relaxed); });
        if (!job->cancel)
            QMetaObject::invokeMethod(
                this, [this, job] { Arrive(job); }, Qt::QueuedConnection);
    });
    tick_.start();
}

void TTagLoader::Hold() {
    Stop();
    ++held_;
}

void TTagLoader::Release() {
    if (held_ > 0 && --held_ == 0)
        Need(wanted_, firstRow_);
}

void TTagLoader::Stop() {
    tick_.stop();
    if (job_ != nullptr)
        job_->cancel = true;
    if (worker_.joinable())
        worker_.join();
    // An end posted before the cancel is dropped in Arrive: it is not the job any more.
    job_.reset();
}

void TTagLoader::Tick() {
    const std::size_t done = Done();
    if (done != shownDone_) {
        shownDone_ = done;
        emit progressed();
    }
}

void TTagLoader::Arrive(const std::shared_ptr<Job>& job) {
    if (job != job_)
        return;
    Stop();
    emit progressed();
    emit finished();
}

} // namespace qm
