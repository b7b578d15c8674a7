#pragma once

// What a rename run would do, worked out from names alone before it starts: the run's own
// rules (the entries in list order, the running number rising only after a rename that
// succeeds, no file ever replaced) applied to the names present in each folder, read once
// per folder, without renaming anything. As long as the folders do not change between the
// prediction and the run, every entry's predicted outcome, new name and error are what the
// run then reports.
//
// The prediction works on a copy of the entries (TRunEntry), so that the window can
// compute it on another thread while the list and the options change; a newer prediction
// cancels an older one through its cancel flag.

#include "engine/renameoptionset.h"
#include "filelist/entrytags.h"
#include "filelist/sharedpath.h"
#include "rename/filecalls.h"
#include "rename/renamerun.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qm {

class TFileItems;

// An entry of the list as the run sees it.
struct TRunEntry {
    int Slot = -1;        // the entry's slot in the list
    bool CanUndo = false; // (beside the slot: a million entries are 8 MB smaller)
    TSharedPath Path;     // its folder: "" (the current folder) or ending in "/"
    std::string Name;     // its name now
    std::string PrevName; // its name before the last successful rename, if any
    // The tags read from its file (null: none read), for options with InsertTags.
    std::shared_ptr<const TEntryTags> Tags;
    // The new name the user typed for it (null: the options name it); see CandidateName.
    std::shared_ptr<const std::string> HandName;
};

// The entries of `items` in slot order, empty slots left out; taken under the list's read
// lock, one entry at a time.
std::vector<TRunEntry> SnapshotEntries(const TFileItems& items);

// How the run goes through the entries.
enum class RunOrder {
    ListOrder, // one rename per entry in list order: the run of RunRenames
    Planned,   // renames put in an order in which each target is free when its turn comes
               // (chains, swaps, renumbering); see plan.h
};

struct TPredictedEntry {
    RenameOutcome Outcome = RenameOutcome::Unchanged;
    // The name the run tries: the new name with the running number of this moment, in undo
    // mode the undo name. Equal to the entry's name when Unchanged.
    std::string Candidate;
    // The error the run reports for a failure: an errno value (EEXIST, ENAMETOOLONG,
    // ENOENT, EINVAL, EILSEQ, EACCES, EROFS, ...) or a fault of the name (runerror.h);
    // none otherwise.
    RunError Error;
    // The running number of this moment, the one a candidate in rename mode is made with:
    // the options' NumberIncValue, raised (NumberAfterRename) once per entry renamed
    // before this one while NumberIncEnabled is on, in undo mode as well.
    std::int32_t Number = 0;
};

struct TPrediction {
    // One per entry handed in, in the same order; incomplete when Cancelled.
    std::vector<TPredictedEntry> Entries;
    // The counts the run reports and its running number afterwards.
    RenameTally Tally;
};

// Predicts the run over `entries` (slot order) with the run's own copy of `options`.
// Reads the folders (and the sub-folders a candidate holding "/" names) through `calls`,
// each once, and follows each entry's folder path through the names as the run leaves
// them (see foldermodel.h): a folder renamed earlier in the run is no longer found under
// its old path, however that path is spelt. Never changes anything on disk. `cancel` is
// read now and then; a cancelled prediction returns what it has with Tally.Cancelled set.
TPrediction PredictRenames(const std::vector<TRunEntry>& entries, const RenameOptionSet& options,
                           RenameMode mode, RunOrder order, const std::atomic<bool>& cancel,
                           TFileCalls& calls = TFileCalls::System());

// A call the run makes on disk, in the folder of its entry (TRunEntry::Path).
struct TPredictedMove {
    enum Kind : std::uint8_t {
        Rename, // the entry's file from its name to To
        Back,   // the entry's file from To back to its name (a group taken back)
        Folder, // the folder To made
    };
    int Entry = -1; // index into the entries
    Kind What = Rename;
    bool Refused = false; // the run will see it refused (and try another, or fail)
    std::string To;
};

// PredictRenames in list order, and besides every call the run would make on disk, in
// its order: each rename it tries, also one it will see refused, and each folder it
// makes, for a journal to announce.
TPrediction PredictListOrderMoves(const std::vector<TRunEntry>& entries,
                                  const RenameOptionSet& options, RenameMode mode,
                                  const std::atomic<bool>& cancel, TFileCalls& calls,
                                  std::vector<TPredictedMove>& moves);

// PredictRenames in list order, the one order that needs no planning (a planned run whose
// numbering never settles falls back on it, plan.h).
TPrediction PredictListOrder(const std::vector<TRunEntry>& entries, const RenameOptionSet& options,
                             RenameMode mode, const std::atomic<bool>& cancel,
                             TFileCalls& calls = TFileCalls::System());

} // namespace qm
