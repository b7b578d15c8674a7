#pragma once

// Planned runs: renames that depend on each other (a chain a -> b, b -> c; renumbering
// "Track 1..20" to "Track 2..21"; a swap; a rotation) put in an order in which each target
// has been renamed away before it is taken, a cycle broken by parking one of its members
// under a temporary name in its own folder. Planning never replaces a file: a target that
// exists outside the run, a target two entries want and a name the file system refuses
// still fail, exactly as in the run in list order.

#include "rename/predict.h"

#include <atomic>
#include <string>
#include <vector>

namespace qm {

// One rename of a planned run, in the order the run takes them.
struct TPlanStep {
    enum Kind {
        Final,  // the entry goes from its old name straight to its new one
        Park,   // the entry goes from its old name to a temporary one (a cycle begins)
        Unpark, // the entry goes from the temporary name to its new one (the cycle ends)
    };
    int Entry = -1; // index into the entries planned
    Kind Step = Final;
    std::string Folder; // the entry's folder ("" or ending in "/")
    std::string From;   // relative to Folder
    std::string To;     // relative to Folder; may hold "/" (into an existing sub-folder)
};

struct TRenamePlan {
    // The planned outcome of every entry: what the run will report for it.
    TPrediction Prediction;
    // Every rename the run takes, in order; entries that stay or fail have none.
    std::vector<TPlanStep> Steps;
};

// Plans the run over `entries` (slot order) with the run's copy of `options`: the
// prediction in RunOrder::Planned and the steps that carry it out. Reads each folder
// once through `calls`; changes nothing on disk.
TRenamePlan PlanRenames(const std::vector<TRunEntry>& entries, const RenameOptionSet& options,
                        RenameMode mode, const std::atomic<bool>& cancel,
                        TFileCalls& calls = TFileCalls::System());

} // namespace qm
