#include "app/run/renamethread.h"

#include "engine/newname.h"
#include "filelist/fileitem.h"
#include "filelist/fileitems.h"
#include "filetags/tagpool.h"
#include "rename/plan.h"

#include <sys/resource.h>
#include <unistd.h>

namespace qm {

namespace {

// Repainting the window for every file would cost more than renaming it; the eye takes
// no more than this.
constexpr std::chrono::milliseconds NoticeInterval{33};

} // namespace

TRenameThread::TRenameThread(TFileItems& items, const RenameOptionSet& options, bool undoMode,
                             std::atomic<std::int32_t>& filesSinceTick, MoveEntryFile move,
                             RunOrder order, QObject* parent)
    : QThread(parent), items_(items), options_(options), undoMode_(undoMode),
      filesSinceTick_(filesSinceTick), move_(std::move(move)), order_(order) {}

TRenameThread::~TRenameThread() {
    Cancel();
    wait();
}

void TRenameThread::run() {
    // QThread's priorities do nothing on Linux; a nice value per thread does.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 5);
    lastNotice_ = std::chrono::steady_clock::now();
    const unsigned sources = undoMode_ ? 0u : TagSourcesNeeded(options_);
    if (sources != 0 && !ReadRunTags(sources)) {
        // Nothing renamed and no journal begun: the run took place and was cancelled.
        tally_.Cancelled = true;
        ran_ = true;
        Notify(true);
        return;
    }

    RenameCallbacks callbacks;
    callbacks.OnNames = [this](int, const std::string& from, const std::string& to) {
        const std::lock_guard lock(mutex_);
        latest_.hasNames = true;
        latest_.from = from;
        latest_.to = to;
    };
    callbacks.OnNumber = [this](std::int32_t number) {
        const std::lock_guard lock(mutex_);
        latest_.hasNumber = true;
        latest_.number = number;
    };
    callbacks.OnStep = [this](int done) {
        {
            const std::lock_guard lock(mutex_);
            latest_.done = done;
        }
        filesSinceTick_.fetch_add(1, std::memory_order_relaxed);
        Notify(false);
    };
    TJournaledRun run =
        RunJournaledRenames(items_, options_, undoMode_ ? RenameMode::Undo : RenameMode::Rename,
                            order_, callbacks, cancel_, move_, journal_);
    tally_ = run.Tally;
    ran_ = run.Ran;
    journalProblem_ = std::move(run.JournalProblem);
    runId_ = std::move(run.RunId);
    // The window also takes the state in its end handler; this only spares it a wait.
    Notify(true);
}

bool TRenameThread::ReadRunTags(unsigned sources) {
    TTagReadRequest request;
    request.Sources = sources;
    // A file written since its tags were read (another program set its date or title)
    // gets the name its data gives now.
    request.CheckStamps = true;
    for (int slot = 0; slot < items_.Count(); ++slot) {
        if (TFileItem* entry = items_.Items(slot))
            request.Entries.push_back(entry);
    }
    const auto total = static_cast<std::int64_t>(request.Entries.size());
    const auto tell = [this, total](std::size_t done) {
        {
            const std::lock_guard lock(mutex_);
            latest_.readingTags = true;
            latest_.tagsDone = static_cast<std::int64_t>(done);
            latest_.tagsTotal = total;
        }
        Notify(false);
    };
    tell(0);
    ReadTags(request, cancel_, tell);
    {
        const std::lock_guard lock(mutex_);
        latest_.readingTags = false;
    }
    return !cancel_.load(std::memory_order_acquire);
}

void TRenameThread::Notify(bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - lastNotice_ < NoticeInterval) {
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        if (pending_) {
            return; // the window has not taken the last one; it will see this state too
        }
        pending_ = true;
    }
    lastNotice_ = now;
    emit progressed();
}

TRenameThread::Progress TRenameThread::TakeProgress() {
    const std::lock_guard lock(mutex_);
    Progress taken = latest_;
    latest_.hasNames = false;
    latest_.hasNumber = false;
    pending_ = false;
    return taken;
}

} // namespace qm
