#pragma once

// `quillmark-cli undo` and `quillmark-cli history`: the journaled runs (see
// rename/journal.h), listed and taken back.

#include "rename/journaledrun.h"

#include <cstddef>
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
// back); --run takes any run but one marked undone (UndoRefusal), and an undo cut short
// and repeated leaves restored files alone. Prints
// "R renamed, U unchanged, F failed" (per entry of the run), one "quillmark-cli: PATH:
// REASON" line on stderr per entry that cannot be taken back (or is left under both names),
// and a note with their count when the run stays partly undone.
// Returns 0, 1 when some entry could not be taken back, 2 when nothing was touched (no
// such run, a damaged journal or one of a newer version, a run still going on, a journal
// of the undo that cannot be written).
int RunUndo(const UndoArgs& args);

// One line per journaled run, newest first: ID, local time, state, counts, folder and who
// ran it (window, command line, or "-" where an older journal does not say), tab
// separated; a run partly undone says how many files its newest undo left, a journal that
// cannot be read says so in its state. The newest kHistoryShown runs unless `all`; a note
// on stderr tells how many older ones were left out.
inline constexpr std::size_t kHistoryShown = 20;
int RunHistory(bool all);

// The program's version for the journal's header.
std::string ProgramVersion();

// Where the command line's runs are journaled: the journal folder, kept as the window's
// Options menu set it (read from the stored settings; the default where none are).
TJournalPlace CommandLineJournalPlace();

} // namespace qm::cli
