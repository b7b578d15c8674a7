#pragma once

// `quillmark-cli undo` and `quillmark-cli history`: the journaled runs (see
// rename/journal.h), listed and taken back.

#include <optional>
#include <string>

namespace qm::cli {

struct UndoArgs {
    bool list = false;              // print CURRENT<TAB>OLD per file taken back
    std::optional<std::string> run; // the run id; the last run when not given
    bool dryRun = false;            // work out and report, rename nothing
};

// Undoes the last journaled run, or the one named. Without --run, a last run that is an
// undo leaving its run partly undone takes that run further; a last run that was undone
// already, or is any other undo, is refused (a second undo would otherwise flip the files
// back); --run takes any run, and repeating an undo leaves restored files alone. Prints
// "R renamed, U unchanged, F failed" (per entry of the run), one "quillmark-cli: PATH:
// REASON" line on stderr per entry that cannot be taken back (or is left under both names),
// and a note with their count when the run stays partly undone.
// Returns 0, 1 when some entry could not be taken back, 2 when nothing was touched (no
// such run, a damaged journal or one of a newer version, a run still going on, a journal
// of the undo that cannot be written).
int RunUndo(const UndoArgs& args);

// One line per journaled run, newest first: ID, local time, state, counts, folder, tab
// separated; a run partly undone says how many files its newest undo left. A journal that cannot be read is named on stderr and left alone.
int RunHistory();

// The program's version for the journal's header.
std::string ProgramVersion();

} // namespace qm::cli
