#include "rename/renamerun.h"

#include "filelist/fileitem.h"
#include "filelist/fileitems.h"
#include "rename/movefile.h"

namespace qm {

std::string CandidateName(const TFileItem& entry, const RenameOptionSet& options, RenameMode mode) {
    return CandidateName(mode, options, options.NumberIncValue, entry.Name(), entry.CanUndo(),
                         entry.PrevName());
}

RenameTally RunRenames(TFileItems& items, RenameOptionSet options, RenameMode mode,
                       const RenameCallbacks& callbacks, const std::atomic<bool>& cancel,
                       const MoveEntryFile& move) {
    RenameTally tally;
    TMoveFolder folder;
    const int count = items.Count();
    for (int slot = 0; slot < count; ++slot) {
        if (cancel.load(std::memory_order_acquire)) {
            tally.Cancelled = true;
            break;
        }
        if (TFileItem* entry = items.Items(slot)) {
            // A copy: the setters below replace the entry's name.
            const std::string old = entry->Name();
            entry->ClearRenamed();
            std::string candidate;
            if (!callbacks.KnownCandidate || !callbacks.KnownCandidate(slot, candidate))
                candidate = CandidateName(*entry, options, mode);
            RenameOutcome outcome = RenameOutcome::Unchanged;
            int error = 0;
            // Byte for byte: a change of letter case alone is a change.
            if (candidate != old) {
                if (callbacks.OnNames)
                    callbacks.OnNames(slot, old, candidate);
                error = move ? move(entry->Path(), old, candidate)
                             : folder.Move(entry->Path(), old, candidate);
                if (error == 0) {
                    outcome = RenameOutcome::Renamed;
                    if (mode == RenameMode::Undo)
                        entry->UndoName();
                    else
                        entry->SetNewName(candidate);
                    if (options.NumberIncEnabled) {
                        options.NumberIncValue = NumberAfterRename(options.NumberIncValue, true);
                        if (callbacks.OnNumber)
                            callbacks.OnNumber(options.NumberIncValue);
                    }
                } else {
                    outcome = RenameOutcome::Failed;
                    // Undo takes back one run, and this file had no part in it: an
                    // older undo name would move it back two runs.
                    if (mode == RenameMode::Rename)
                        entry->ClearPrevName();
                }
            }
            CountOutcome(tally, outcome);
            if (callbacks.OnOutcome)
                callbacks.OnOutcome(slot, outcome, error);
        }
        if (callbacks.OnStep)
            callbacks.OnStep(slot + 1);
    }
    tally.NumberIncValue = options.NumberIncValue;
    return tally;
}

} // namespace qm
