#pragma once

// Reads the tags of many entries on several threads, each entry's file once, and stores
// them with the entry (TFileItem::SetTags) as they come in. No Qt: the window runs it off
// its own thread, the command line waits for it.

#include <atomic>
#include <functional>
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
// worker thread, never two at once) with how many entries are settled. Stops early when
// `cancel` is set. Returns how many entries were settled.
std::size_t ReadTags(const TTagReadRequest& request, const std::atomic<bool>& cancel,
                     const std::function<void(std::size_t done)>& done = {});

} // namespace qm
