#pragma once

// Taking a journaled run back, finished or interrupted: what happened to each move is read
// from the disk (the new name present with the file's inode, the old name free, a case-only
// move's temporary name present), never guessed from how far the journal got. The moves
// are taken back last first, which is the planner's order reversed: a chain is unwound
// from its end, and a swap undone is a swap through the same temporary name. Each goes
// through the rename that never replaces a file, so a name taken since fails its entry
// and harms nothing.
//
// Reading the disk again makes an undo safe to repeat: a move already taken back (the old
// name present, the new one free) is left alone.

#include "rename/journal.h"
#include "rename/journaledrun.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace qm {

struct TUndoFailure {
    int Entry = -1;
    std::string Folder;
    std::string Current; // the name the file has (or had) after the run
    std::string Old;     // the name it cannot get back
    int Error = 0;       // EEXIST: the old name is taken; ENOENT: the file is gone
};

struct TUndoPlan {
    std::vector<TJournalMove> Moves; // from the current name back, in the order to take
    std::vector<TUndoFailure> Failures;
    int Entries = 0; // the run's entries
};

// What undoing `journal` takes now; reads the disk, changes nothing.
TUndoPlan PlanUndo(const TJournal& journal);

struct TUndoResult {
    std::vector<TJournalMove> Moves; // as planned; Run.Errors tells how each went
    TJournaledMoves Run;
    RenameTally Tally;                  // per entry: restored, left as they are, failed
    std::vector<TUndoFailure> Failures; // planned ones and those refused by the disk now
    std::string MarkProblem;            // the run could not be marked undone
};

// Takes `journal` (read from `path`) back as a journaled run of its own, then marks it
// undone (unless cancelled). `done(restored so far, moves)` follows each move.
TUndoResult UndoJournal(const std::string& path, const TJournal& journal,
                        const TJournalPlace& place, const std::atomic<bool>& cancel,
                        const std::function<void(std::size_t done, std::size_t total)>& done = {});

// The counts of a plan that is not run (a dry run): restored = what would be.
RenameTally CountUndo(const TUndoPlan& plan, const std::vector<int>& errors = {});

// Whether the process that wrote `journal` is still running (a journal left open by a
// run that goes on is not an interrupted one).
bool JournalWriterAlive(const TJournal& journal);

} // namespace qm
