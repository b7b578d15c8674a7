#pragma once

// Planned runs: renames that depend on each other (a chain a -> b, b -> c; renumbering
// "Track 1..20" to "Track 2..21"; a swap; a rotation) put in an order in which each target
// has been renamed away before it is taken, a cycle broken by parking one of its members
// under a temporary name in its own folder. Planning never replaces a file: a target that
// exists outside the run and a name the file system refuses still fail, exactly as in the
// run in list order. A target several entries want goes to one of them whatever the
// list's order: a member of a cycle, else the one with the longest chain of entries
// waiting behind it, a tie to the first listed; the others fail with EEXIST, and no
// other choice renames more entries. An entry inside a folder that the run renames
// (told by the folder's identity, whatever path leads there) moves before that folder;
// one that cannot (it waits for the folder itself) is not tried and fails with ENOENT,
// as it would after the folder's move. In an undo, an entry whose folder was renamed by
// the run being undone (the folder's entry is in the list) is found through the folder's
// new name and taken back there, before the folder.

#include "rename/predict.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace qm {

// One rename of a planned run, in the order the run takes them.
struct TPlanStep {
    enum Kind {
        Final,    // the entry goes from its old name straight to its new one
        Park,     // the entry goes from its old name to a temporary one (a cycle begins)
        Unpark,   // the entry goes from the temporary name to its new one (the cycle ends)
    };
    int Entry = -1;     // index into the entries planned
    Kind Step = Final;
    std::string Folder; // the entry's folder ("" or ending in "/")
    std::string From;   // relative to Folder
    std::string To;     // relative to Folder; may hold "/" (into an existing sub-folder)
    // For PredictListOrderMoves: the move will be refused (its entry tries another).
    bool Refused = false;
};

// The steps come in units, and a run stops (on cancel) only between units: a Final step
// outside a cycle is a unit of its own; a cycle is the unit from its Park step through the
// Final steps that follow to its Unpark step. Each entry has at most one step, but for
// the parked entry of a cycle, which has its Park and its Unpark step. A temporary name
// (".qm-plan-...") is absent from its folder and from every target of the run.
struct TRenamePlan {
    // The planned outcome of every entry: what the run will report for it.
    TPrediction Prediction;
    // Every rename the run takes, in order; entries that stay or fail have none.
    std::vector<TPlanStep> Steps;
    // The running number the plan starts with and whether it rises with each success,
    // in undo mode as well (the options' NumberIncValue and NumberIncEnabled), for the
    // run's OnNumber.
    std::int32_t FirstNumber = 0;
    bool NumberRises = false;
};

// A run that organizes (Organizes(), organizeloop.h: folders made, taken names numbered,
// companions together) is not planned: what it does hangs on what each folder holds at
// the moment of each move, and PredictRenames and RunJournaledRenames take it in list
// order whatever order is asked for. The planner reads none of those options.
//
// Plans the run over `entries` (slot order) with the run's copy of `options`: the
// prediction in RunOrder::Planned and the steps that carry it out. Reads each folder
// once through `calls`; changes nothing on disk. The tables of the planning are gone
// before the steps are written out, and with the call.
TRenamePlan PlanRenames(const std::vector<TRunEntry>& entries, const RenameOptionSet& options,
                        RenameMode mode, const std::atomic<bool>& cancel,
                        TFileCalls& calls = TFileCalls::System());

// The Prediction of PlanRenames alone, without the steps (as many strings again as the
// entries): what the window shows while the options change.
TPrediction PredictPlanned(const std::vector<TRunEntry>& entries, const RenameOptionSet& options,
                           RenameMode mode, const std::atomic<bool>& cancel,
                           TFileCalls& calls = TFileCalls::System());

// Carries out `plan`, computed by PlanRenames over `entries` (SnapshotEntries of `items`,
// which has stayed in update mode since) in the same `mode`. The bookkeeping is that of
// RunRenames: each entry reached is cleared of its Renamed mark and reported once
// (OnNames before its first move, OnOutcome, OnStep counting one per entry and per empty
// slot, OnNumber after each success while the number rises); a renamed entry gets
// SetNewName (UndoName in undo mode), a failed one in rename mode loses its undo name.
// Entries without steps (unchanged, or failing in the plan) are settled first, in slot
// order, then the units in plan order. `cancel` is read before each unit; a cycle once
// begun is finished or taken back. A step refused now (the disk changed since the plan)
// fails its entry; within a cycle it takes back the steps of the cycle done so far, last
// first, and every member fails (ECANCELED for all but the one refused). Should a step
// back fail as well, the taking back stops there: the members still moved keep their
// new names and count as renamed, and the parked file stays under its temporary name in
// its folder, never lost: its entry fails and takes the temporary name (its old name
// becomes the undo name), so that the list shows where the file is. Moves go through
// `move` (MoveFileNoReplace through one TMoveFolder by default). Runs no step of a
// cancelled plan or of one that does not fit `entries`, and reports it cancelled.
RenameTally RunPlan(TFileItems& items, const std::vector<TRunEntry>& entries,
                    const TRenamePlan& plan, RenameMode mode, const RenameCallbacks& callbacks,
                    const std::atomic<bool>& cancel, const MoveEntryFile& move = {});

// SnapshotEntries, PlanRenames and RunPlan in one: the planned counterpart of RunRenames.
RenameTally RunPlannedRenames(TFileItems& items, const RenameOptionSet& options, RenameMode mode,
                              const RenameCallbacks& callbacks, const std::atomic<bool>& cancel,
                              const MoveEntryFile& move = {},
                              TFileCalls& calls = TFileCalls::System());

} // namespace qm
