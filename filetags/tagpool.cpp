#include "filetags/tagpool.h"

#include "filelist/fileitem.h"
#include "filetags/filetagreader.h"

#include <algorithm>
#include <mutex>
#include <thread>

namespace qm {

namespace {

// Runs `work(i)` for every i below `count` on `threads` threads (this one among them),
// in order of i as far as threads allow, until `cancel` is set; `done` hears the number
// of finished items now and then, never two at once, never a smaller number after a
// larger one, and the last number always. Returns how many finished.
template <class Work>
std::size_t ForEachOnThreads(std::size_t count, int threads, const std::atomic<bool>& cancel,
                             const std::function<void(std::size_t)>& done, Work&& work) {
    if (count == 0)
        return 0;
    PrepareTagReading();
    const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t wanted =
        threads > 0 ? static_cast<std::size_t>(threads) : std::min(processors, 8u);
    const std::size_t used = std::min(count, wanted);
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> finished{0};
    std::mutex reportLock;
    std::size_t reported = 0;
    auto report = [&] {
        std::lock_guard lock(reportLock);
        // Two threads may pass their numbers in either order; the later report tells the
        // count as it is now.
        const std::size_t now = finished.load();
        if (now > reported) {
            reported = now;
            done(now);
        }
    };
    auto loop = [&] {
        for (;;) {
            if (cancel.load(std::memory_order_relaxed))
                return;
            const std::size_t i = next.fetch_add(1);
            if (i >= count)
                return;
            work(i);
            const std::size_t now = finished.fetch_add(1) + 1;
            // Reports are thinned out; the last one always goes out.
            if (done && (now % 64 == 0 || now == count))
                report();
        }
    };
    {
        std::vector<std::jthread> pool;
        for (std::size_t t = 1; t < used; ++t)
            pool.emplace_back(loop);
        loop();
    }
    if (done)
        report();
    return finished.load();
}

// The sources to read for `entry`, 0 when its tags are current. A file read again gets
// every source it had as well, so that reading for one text does not drop what another
// needs.
unsigned SourcesToRead(const TFileItem& entry, unsigned sources, bool checkStamps) {
    const std::shared_ptr<const TEntryTags> tags = entry.Tags();
    if (!tags)
        return sources;
    if ((tags->Sources & sources) != sources)
        return sources | tags->Sources;
    if (!checkStamps)
        return 0;
    const std::optional<TFileStamp> now = StampOfFile(entry.Path() + entry.Name());
    // A file gone since still has its old tags read again: they are then all missing, as
    // a run would find them.
    return !now || *now != tags->Stamp ? sources | tags->Sources : 0;
}

} // namespace

std::size_t ReadTags(const TTagReadRequest& request, const std::atomic<bool>& cancel,
                     const std::function<void(std::size_t done)>& done) {
    if (request.Sources == 0)
        return 0;
    return ForEachOnThreads(
        request.Entries.size(), request.Threads, cancel, done, [&request](std::size_t i) {
            TFileItem& entry = *request.Entries[i];
            const unsigned sources = SourcesToRead(entry, request.Sources, request.CheckStamps);
            if (sources != 0)
                entry.SetTags(ReadFileTags(entry.Path() + entry.Name(), sources));
        });
}

std::vector<std::shared_ptr<const TEntryTags>>
ReadTagsOfPaths(const std::vector<std::string>& paths, unsigned sources, int threads,
                const std::atomic<bool>& cancel) {
    std::vector<std::shared_ptr<const TEntryTags>> tags(paths.size());
    if (sources == 0)
        return tags;
    ForEachOnThreads(paths.size(), threads, cancel, {},
                     [&](std::size_t i) { tags[i] = ReadFileTags(paths[i], sources); });
    return tags;
}

} // namespace qm
