#pragma once

// The rename run: every entry of a file list, in slot order, gets the name the options
// give it (or, in undo mode, its name before the last rename) through a rename that
// never replaces a file. No Qt: the window runs it on a worker thread, the command line
// on its only thread.
//
// The list must be in update mode for the whole run (slots stay put, nothing sorts).
// The run is the only writer of entries while it works; it changes an entry only through
// the TFileItem setters, each of which locks the list for that one change, so a reader
// holding TFileItems::ReadLock() never waits for more than one entry.
//
// Every callback is called on the thread of RunRenames, in the order of the run, and
// must return quickly: the run waits for it.

#include "engine/renameoptionset.h"
#include "rename/runrules.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace qm {

class TFileItem;
class TFileItems;

// Moves the file `folder` + `from` to `folder` + `to`. Returns none or the error of a
// failure (an errno value, or a name the drive refuses), after which the disk must be as
// before. Anything that wants to see or steer
// each move (a journal, a step that parks files in the way under temporary names) wraps
// the default, which is MoveFileNoReplace. A run that makes folders (CreateFolders) hands
// each folder it makes to the same hook as a move from the empty name to the folder
// (relative to `folder`), which the default makes (TMoveFolder::MoveOrMake).
using MoveEntryFile = std::function<RunError(const std::string& folder, const std::string& from,
                                             const std::string& to)>;

struct RenameCallbacks {
    // Before the candidate of an entry is computed: a caller that worked the run out
    // beforehand (the journal does) may hand it over and return true, which spares the
    // computation; false lets the run compute it. A name the engine could not compute is
    // never handed over: the run computes it again and so meets its error.
    std::function<bool(int slot, std::string& candidate)> KnownCandidate;
    // Before the run reads the entry of `slot`; returns when it may (a run whose moves are
    // worked out and journaled on another thread waits there for that slot's part).
    std::function<void(int slot)> AwaitSlot;
    // Before the move of an entry whose name changes: its old and its new bare name.
    std::function<void(int slot, const std::string& from, const std::string& to)> OnNames;
    // After each entry that the run reached; `error` is that of a failure (runerror.h).
    std::function<void(int slot, RenameOutcome outcome, RunError error)> OnOutcome;
    // After each success while the increasing number is on: the number the next entry
    // is computed with.
    std::function<void(std::int32_t numberIncValue)> OnNumber;
    // After every entry reached, renamed or not: how many the run has finished.
    std::function<void(int done)> OnStep;
};

// The name the run would give `entry` now (CandidateName of runrules.h, `error` as
// there), with the options' NumberIncValue as the running number.
std::string CandidateName(const TFileItem& entry, const RenameOptionSet& options, RenameMode mode,
                          RunError& error);

// The run. `options` is the run's own copy: its NumberIncValue rises as files are
// renamed. `cancel` is read before each entry; the entry in progress completes. Empty
// slots are stepped over. `move` defaults to MoveFileNoReplace (through a TMoveFolder
// kept for the run), which fails a candidate holding a NUL byte, or one that would leave
// the entry's folder, with EINVAL before any system call, as the prediction does.
RenameTally RunRenames(TFileItems& items, RenameOptionSet options, RenameMode mode,
                       const RenameCallbacks& callbacks, const std::atomic<bool>& cancel,
                       const MoveEntryFile& move = {});

} // namespace qm
