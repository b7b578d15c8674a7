#pragma once

// Runs with a journal (journal.h): the run in list order (RunRenames) or the planned run
// (RunPlan), with every move it will take written and synced before the first one.
//
// How the run stays as fast as without the journal: the moves are worked out once, up
// front, and the journal takes them as they are. In list order they are the names the
// run gives when every rename succeeds (which is exact whenever the number does not rise,
// and for a run without failures when it does), and the run takes its candidates from
// that list instead of computing every name a second time; a planned run journals its
// plan. During the run each actual move is compared with the announced one (a string
// comparison at most); only a move that differs is written, before it is taken: after a
// failure while the number rises (every later name shifts, so from there on the run
// computes its names itself and each move is journaled), or when a cycle is taken back.
// The prediction is not used for list order: it reads every folder and models it, which
// costs about as much as writing one record per move after a failure, and a run without
// failures would pay it for nothing.
//
// A journal that cannot be begun stops the run before anything is renamed: a run without
// one could not be undone after a crash, which is the one thing the journal is for; the
// user is told why and can make room or point XDG_STATE_HOME elsewhere. A journal that
// breaks during the run (disk full) fails every later move without taking it, for the
// same reason.

#include "filelist/slotsarriving.h"
#include "rename/folderinodes.h"
#include "rename/journal.h"
#include "rename/plan.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace qm {

class TFileItems;

struct TJournaledRun {
    RenameTally Tally;
    // An undo with TJournalPlace::FoldersOf: the folders of that run removed, and kept
    // because they hold other files.
    int FoldersRemoved = 0;
    int FoldersKept = 0;
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
    // In an undo of the list's last run (RenameMode::Undo), that run's id: the folders it
    // made for new names are removed after the undo, each once it is empty.
    std::string FoldersOf = {};
    JournalOrigin Origin = JournalOrigin::Unknown;
    // Which older journals the run's journal lets go.
    TJournalKeep Keep = {};
    // The list's slots while another thread still fills them (TFileItems::OpenSlots): a
    // run in list order reads each once it is there, and starts before the last is; any
    // other run waits for them all. The run's entries are the count it was made with.
    std::shared_ptr<const TSlotsArriving> Arriving = {};
};

// RunRenames (order ListOrder) or RunPlan over a plan made now (order Planned), journaled.
// In list order the moves are worked out and journaled a part at a time on a thread of
// their own while the run takes those of the parts before: the first part of 512 entries,
// each after it twice the one before, up to 65,536.
TJournaledRun RunJournaledRenames(TFileItems& items, const RenameOptionSet& options,
                                  RenameMode mode, RunOrder order, const RenameCallbacks& callbacks,
                                  const std::atomic<bool>& cancel, const MoveEntryFile& move,
                                  const TJournalPlace& place);

// The entries of the first part of a run in list order, and the fewest a part takes when
// it ends early because the run is close behind (tests make them small, so that the
// parts end everywhere).
void SetFirstListOrderPart(std::size_t entries, std::size_t leastHurried = 256);

// Takes `moves` in their order, journaled under `header` (Mode, Order, EntryCount, UndoOf),
// each with `move` (MoveFileNoReplace by default). `done(index, error)` follows each move;
// `cancel` is read before each. Moves not reached get ECANCELED in `errors`. The journal is
// closed with `count(errors)` where given (an undo counts entries, not moves, and also the
// entries it could not even try), else with one count per move.
// The counts to close the journal of RunJournaledMoves with, from each move's error.
using MovesCount = std::function<RenameTally(const std::vector<RunError>& errors)>;
struct TJournaledMoves {
    bool Ran = false;
    std::string JournalProblem;
    std::string RunId;
    std::vector<RunError> Errors; // per move: none or the error
};
TJournaledMoves
RunJournaledMoves(const std::vector<TJournalMove>& moves, TJournal header,
                  const TJournalPlace& place, const std::atomic<bool>& cancel,
                  const std::function<void(std::size_t index, RunError error)>& done,
                  const MoveEntryFile& move = {}, const MovesCount& count = {});
// The same over views of moves held elsewhere, which must outlive the call: an undo of a
// million moves announces them from the names of the run's journal, copying none.
TJournaledMoves
RunJournaledMoves(const std::vector<TJournalMoveRef>& moves, TJournal header,
                  const TJournalPlace& place, const std::atomic<bool>& cancel,
                  const std::function<void(std::size_t index, RunError error)>& done,
                  const MoveEntryFile& move = {}, const MovesCount& count = {});

// Folder listings by folder path, as the moves spell it.
using TFolderListings = std::unordered_map<std::string, std::unique_ptr<FolderInodes>>;

// The run in list order when every entry's new name is known and is not its name: entry k
// takes `moves[k]` (its Entry k, not Temporary), journaled as RunJournaledRenames journals
// that run (Order ListOrder, one move per entry, each file's inode from `listings`, the
// folders not in it read now), without the list of entries and the names computed that
// it needs. Moves are taken with MoveFileNoReplace through one TMoveFolder; `done(k,
// error)` follows each; `cancel` is read before each. The views of `moves` must outlive
// the call.
TJournaledRun
RunJournaledListMoves(std::vector<TJournalMoveRef> moves, TFolderListings listings,
                      const TJournalPlace& place, const std::atomic<bool>& cancel,
                      const std::function<void(std::size_t index, RunError error)>& done);

} // namespace qm
