#pragma once

// Runs with a journal (journal.h): the run in list order (RunRenames) or the planned run
// (RunPlan), with every move it will take written and synced before the first one.
//
// How the run stays as fast as without the journal: the moves are worked out once, up
// front, by the prediction (list order) or the plan; the journal takes them as they are,
// and the run in list order takes its candidates from the same prediction instead of
// computing every name a second time. During the run each actual move is compared with
// the announced one (a few string comparisons); only a move that differs (the disk changed
// since the prediction, so a failure shifted the numbering, or a cycle was taken back) is
// written, before it is taken. Once an outcome differs from the prediction while the
// number rises, the later candidates would differ too: from there on the run computes
// them itself and each is checked against the journal as before.
//
// A journal that cannot be begun stops the run before anything is renamed: a run without
// one could not be undone after a crash, which is the one thing the journal is for; the
// user is told why and can make room or point XDG_STATE_HOME elsewhere. A journal that
// breaks during the run (disk full) fails every later move without taking it, for the
// same reason.

#include "rename/journal.h"
#include "rename/plan.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace qm {

class TFileItems;

struct TJournaledRun {
    RenameTally Tally;
    // False when the journal could not be begun: nothing was renamed.
    bool Ran = false;
    // Why the journal could not be begun, broke during the run, or could not be closed;
    // "" when it is whole.
    std::string JournalProblem;
    std::string RunId;
};

struct TJournalPlace {
    std::string Folder = JournalFolder();
    std::string ProgramVersion;
};

// RunRenames (order ListOrder) or RunPlan over a plan made now (order Planned), journaled.
TJournaledRun RunJournaledRenames(TFileItems& items, const RenameOptionSet& options,
                                  RenameMode mode, RunOrder order, const RenameCallbacks& callbacks,
                                  const std::atomic<bool>& cancel, const MoveEntryFile& move,
                                  const TJournalPlace& place);

// Takes `moves` in their order, journaled under `header` (Mode, Order, EntryCount, UndoOf),
// each with `move` (MoveFileNoReplace by default). `done(index, error)` follows each move;
// `cancel` is read before each. Moves not reached get ECANCELED in `errors`.
struct TJournaledMoves {
    bool Ran = false;
    std::string JournalProblem;
    std::string RunId;
    std::vector<int> Errors; // per move: 0 or the errno value
};
TJournaledMoves RunJournaledMoves(const std::vector<TJournalMove>& moves, TJournal header,
                                  const TJournalPlace& place, const std::atomic<bool>& cancel,
                                  const std::function<void(std::size_t index, int error)>& done,
                                  const MoveEntryFile& move = {});

} // namespace qm
