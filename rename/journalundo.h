#pragma once

// Taking a journaled run back, finished or interrupted: what happened to each move is read
// from the disk (the new name present with the file's inode, the old name free, a case-only
// move's temporary name present), never guessed from how far the journal got. The moves
// are taken back last first, which is the planner's order reversed: a chain is unwound
// from its end, and a swap undone is a swap through the same temporary name. Each goes
// through the rename that never replaces a file, so a name taken since fails its entry
// and harms nothing.
//
// A file is found through its folder's names: the moves of a run that renamed a folder
// and files inside it are taken back in the reverse order, each looked up where the
// moves planned before it leave its folder, and where that folder cannot get its old
// name back, under the name the run gave it. Names are compared exactly as the folder
// lists them, so a folder that ignores letter case (where "readme.txt" also answers for
// "README.txt") takes a case-only move back through the same temporary name as the run.
//
// Reading the disk again makes an undo safe to repeat: a move already taken back (the old
// name present, the new one free) is left alone, and so is one that an earlier undo of the
// same run took back (its journal says so), which is what tells a swap undone already
// from one that was not where inode numbers are not stable.
//
// A run killed between the two steps of a rename that goes through a new link (where the
// file system has no rename that refuses to replace) left its file under both names. The
// new name is removed only where the two are shown to be one file (TwoLinksOfOneFile);
// where that cannot be shown and the two look alike, the new name stays and is reported.
//
// A run is marked undone only when every entry came back, with nothing left under a name
// of the run. Until then, also when a file is gone for good, the run is partly undone,
// and an undo without a named run takes it further.

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
    RunError Error;      // EEXIST: the old name is taken; ENOENT: the file is gone
    // With EEXIST: the old name holds the file or one that looks alike, which could not be
    // shown to be one file; Current was left, for the user to check and remove.
    bool BothNames = false;
};

struct TUndoPlan {
    std::vector<TJournalMove> Moves; // from the current name back, in the order to take
    std::vector<TUndoFailure> Failures;
    int Entries = 0; // the run's entries
    // The folders the run made (FoldersMade), removed after the moves where empty.
    std::vector<std::string> Folders;
};

// The folders a run made for its new names, last made first: each that its journal
// recorded (a move from no name) but those the run found there already. Recorded
// before each was made, so a run killed in between names one that may not exist.
std::vector<std::string> FoldersMade(const TJournal& journal);

// Removes each of `folders` that is empty, in order, never one that holds anything.
struct TFoldersRemoved {
    int Removed = 0;
    int Kept = 0; // not empty (or not removable): left as it is
};
TFoldersRemoved RemoveEmptyFolders(const std::vector<std::string>& folders);

// What undoing `journal` takes now; reads the disk, changes nothing. `undos` are the
// journals of the undos of it taken before (UndosOf), oldest first.
TUndoPlan PlanUndo(const TJournal& journal, const std::vector<TJournal>& undos = {});

// The journals in `folder` of the undos of run `runId`, oldest first.
std::vector<TJournal> UndosOf(const std::string& folder, const std::string& runId);

// The run an undo without a named run takes: the newest journal of `folder`, or, when that
// is an undo that left its run partly undone (or was itself cut short), that run, which
// `Finishing` tells. Path is "" when the folder holds no journal.
struct TRunToUndo {
    std::string Path;
    TJournalRead Read;
    bool Finishing = false;
};
TRunToUndo LastRunToUndo(const std::string& folder);

struct TUndoResult {
    std::vector<TJournalMove> Moves; // as planned; Run.Errors tells how each went
    TJournaledMoves Run;
    RenameTally Tally;                  // per entry: restored, left as they are, failed
    std::vector<TUndoFailure> Failures; // planned ones and those refused by the disk now
    std::string MarkProblem;            // the run could not be marked undone
    // Every entry came back, and the run was marked undone (unless MarkProblem); false:
    // the run is partly undone, Tally.Failed entries are not back.
    bool Complete = false;
    // The folders the run made: removed, and left because they hold other files.
    TFoldersRemoved Folders;
};

// Takes `journal` (read from `path`, with its earlier undos from place.Folder) back as a
// journaled run of its own, closed with the counts per entry, then marks it undone when
// nothing was cancelled and nothing failed (see above).
// `done(restored so far, moves)` follows each move.
TUndoResult UndoJournal(const std::string& path, const TJournal& journal,
                        const TJournalPlace& place, const std::atomic<bool>& cancel,
                        const std::function<void(std::size_t done, std::size_t total)>& done = {});

// The counts of a plan that is not run (a dry run): restored = what would be.
RenameTally CountUndo(const TUndoPlan& plan, const std::vector<RunError>& errors = {});

// Whether the process that wrote `journal` is still running (a journal left open by a
// run that goes on is not an interrupted one).
bool JournalWriterAlive(const TJournal& journal);

} // namespace qm
