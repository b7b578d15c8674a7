#include "filetags/tagpool.h"

#include "filelist/fileitem.h"
#include "filetags/filetagreader.h"

#include <algorithm>
#include <mutex>
#include <thread>

namespace qm {

namespace {

bool NeedsReading(const TFileItem& entry, unsigned sources, bool checkStamps) {
    if (entry.NeedsTags(sources))
        return true;
    if (!checkStamps)
        return false;
    const std::shared_ptr<const TEntryTags> tags = entry.Tags();
    const std::optional<TFileStamp> now = StampOfFile(entry.Path() + entry.Name());
    return !now || *now != tags->Stamp;
}

} // namespace

std::size_t ReadTags(const TTagReadRequest& request, const std::atomic<bool>& cancel,
                     const std::function<void(std::size_t done)>& done) {
    const std::size_t count = request.Entries.size();
    if (count == 0 || request.Sources == 0)
        return 0;
    PrepareTagReading();
    const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t threads = std::min<std::size_t>(
        count, request.Threads > 0 ? static_cast<std::size_t>(request.Threads)
                                   : std::min(processors, 8u));
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> settled{0};
    std::mutex reportLock;
    auto work = [&] {
        for (;;) {
            if (cancel.load(std::memory_order_relaxed))
                return;
            const std::size_t i = next.fetch_add(1);
            if (i >= count)
                return;
            TFileItem& entry = *request.Entries[i];
            if (NeedsReading(entry, request.Sources, request.CheckStamps))
                entry.SetTags(ReadFileTags(entry.Path() + entry.Name(), request.Sources));
            const std::size_t now = settled.fetch_add(1) + 1;
            // Reports are thinned out; the last one always goes out.
            if (done && (now % 64 == 0 || now == count)) {
                std::lock_guard lock(reportLock);
                done(now);
            }
        }
    };
    std::vector<std::jthread> pool;
    for (std::size_t t = 1; t < threads; ++t)
        pool.emplace_back(work);
    work();
    pool.clear();
    return settled.load();
}

} // namespace qm
