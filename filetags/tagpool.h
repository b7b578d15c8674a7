#pragma once

// Reads the tags of many entries on several threads, each entry's file once, and stores
// them with the entry (TFileItem::SetTags) as they come in. No Qt: the window runs it off
// its own thread, the command line waits for it.

#include "filelist/entrytags.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qm {

class TFileItem;

struct TTagReadRequest {
    // The entries, in the order they should be read (the ones a user sees first, first).
    // They must stay alive and keep their path and name for the whole call.
    std::vector<TFileItem*> Entries;
    unsigned Sources = 0; // TagSource bits
    // Entries whose tags cover Sources are read again only when their file's stamp
    // changed since (a stat each), else skipped.
    bool CheckStamps = false;
    int Threads = 0; // 0: one per processor, at most 8
};

// Reads every entry of `request` that needs it; `done(count)` is called now and then (on a
// worker thread or this one, never two at once, the count never smaller than the one
// before, the final count always) with how many entries are settled. Stops early when
// `cancel` is set. Returns how many entries were settled. An entry read again gets the
// sources it had as well as Sources.
std::size_t ReadTags(const TTagReadRequest& request, const std::atomic<bool>& cancel,
                     const std::function<void(std::size_t done)>& done = {});

// ReadFileTags for each of `paths` (full paths) on `threads` threads (0: one per
// processor, at most 8), for callers without file entries: one result per path, in
// order; null for the paths not reached when `cancel` was set, and for all when
// `sources` is 0.
std::vector<std::shared_ptr<const TEntryTags>>
ReadTagsOfPaths(const std::vector<std::string>& paths, unsigned sources, int threads,
                const std::atomic<bool>& cancel);

} // namespace qm
