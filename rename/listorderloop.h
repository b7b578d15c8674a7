#pragma once

// The loop of the run in list order, written once for the run that renames
// (RunRenames) and for the one that only works out what it would do (the prediction):
// the same entries in the same order, the same candidates, the same rise of the number
// and the same tally; only the move differs (the rename itself, or the folder model's
// answer and its change of names). Internal to rename/.
//
// `walk` is that other side:
//   std::size_t Count() const;                 the slots
//   bool Cancelled(std::size_t slot);          read before each slot; true stops the run
//   bool Reach(std::size_t slot);              false: an empty slot, stepped over
//   const std::string& Name() const;           the reached entry's name, before its move
//   const std::string& Folder() const;         its folder as listed ("" or ending in "/")
//   bool CanUndo() const; const std::string& PrevName() const;
//   const TagValues* Tags() const;             its tags (null: none read)
//   const std::string* HandName() const;       the name typed for it (null: none)
//   bool Known(std::size_t slot, std::string& candidate);  a candidate worked out before
//                                              (never one the engine could not compute)
//   RunError Move(std::size_t slot, const std::string& candidate);  none or the error;
//                                              only for a candidate other than Name()
//   void Settle(std::size_t slot, RenameOutcome, std::string&& candidate, RunError error,
//               std::int32_t number, bool numberRose);   after each entry reached
//   void Step(std::size_t slot);               after each slot, reached or empty
// `number` is the running number the candidate was made with; `numberRose` says that
// the success raised the run's own number (to `run`'s NumberIncValue, which Settle may
// read through the options it was handed); a folder's own number (NumberPerFolder) rises
// without it, and the options' number stays.

#include "rename/organizeloop.h"
#include "rename/runrules.h"

#include <cstddef>
#include <string>
#include <utility>

namespace qm {

template <class Walk>
RenameTally RunListOrderLoop(Walk& walk, RenameOptionSet& run, RenameMode mode) {
    if (mode == RenameMode::Rename && Organizes(run))
        return RunOrganizingLoop(walk, run);
    RenameTally tally;
    TRunningNumbers numbers(run);
    const std::size_t count = walk.Count();
    for (std::size_t slot = 0; slot < count; ++slot) {
        if (walk.Cancelled(slot)) {
            tally.Cancelled = true;
            break;
        }
        if (walk.Reach(slot)) {
            std::int32_t& running = numbers.For(walk.Folder());
            const std::int32_t number = running;
            std::string candidate;
            RunError error;
            if (!walk.Known(slot, candidate))
                candidate = CandidateName(mode, run, number, walk.Name(), walk.CanUndo(),
                                          walk.PrevName(), error, walk.Tags(), walk.HandName());
            RenameOutcome outcome = RenameOutcome::Unchanged;
            bool rose = false;
            if (error != 0) {
                outcome = RenameOutcome::Failed;
            } else if (candidate != walk.Name()) { // byte for byte: letter case alone counts
                error = walk.Move(slot, candidate);
                outcome = error == 0 ? RenameOutcome::Renamed : RenameOutcome::Failed;
                if (outcome == RenameOutcome::Renamed && run.NumberIncEnabled) {
                    running = NumberAfterRename(running, true);
                    rose = numbers.RunNumberRises();
                }
            }
            CountOutcome(tally, outcome);
            walk.Settle(slot, outcome, std::move(candidate), error, number, rose);
        }
        walk.Step(slot);
    }
    tally.NumberIncValue = run.NumberIncValue;
    return tally;
}

} // namespace qm
