#include "rename/predict.h"

#include "filelist/fileitem.h"
#include "filelist/fileitems.h"
#include "rename/foldermodel.h"
#include "rename/plan.h"

namespace qm {
namespace {

// Reading an atomic per entry costs little, but the window cancels often; a few hundred
// entries take well under a millisecond.
constexpr std::size_t kCancelEvery = 256;

TPrediction PredictInListOrder(const std::vector<TRunEntry>& entries,
                               const RenameOptionSet& options, RenameMode mode,
                               const std::atomic<bool>& cancel, TFileCalls& calls) {
    TPrediction prediction;
    prediction.Entries.resize(entries.size());
    RenameTally& tally = prediction.Tally;
    // The run's own copy: its number rises as files are renamed.
    RenameOptionSet run = options;
    TFolderModel folders(calls);
    TModelMove move;
    std::size_t i = 0;
    for (; i < entries.size(); ++i) {
        if (i % kCancelEvery == 0 && cancel.load(std::memory_order_acquire)) {
            tally.Cancelled = true;
            break;
        }
        const TRunEntry& entry = entries[i];
        TPredictedEntry& out = prediction.Entries[i];
        out.Number = run.NumberIncValue;
        out.Candidate =
            CandidateName(mode, run, run.NumberIncValue, entry.Name, entry.CanUndo, entry.PrevName);
        // Byte for byte, as the run compares.
        if (out.Candidate == entry.Name) {
            out.Outcome = RenameOutcome::Unchanged;
            CountOutcome(tally, out.Outcome);
            continue;
        }
        out.Error = folders.Check(entry.Path, entry.Name, out.Candidate, move);
        if (out.Error != 0) {
            out.Outcome = RenameOutcome::Failed;
            CountOutcome(tally, out.Outcome);
            continue;
        }
        folders.Apply(move);
        out.Outcome = RenameOutcome::Renamed;
        CountOutcome(tally, out.Outcome);
        run.NumberIncValue = NumberAfterRename(run.NumberIncValue, run.NumberIncEnabled);
    }
    prediction.Entries.resize(i);
    tally.NumberIncValue = run.NumberIncValue;
    return prediction;
}

} // namespace

std::vector<TRunEntry> SnapshotEntries(const TFileItems& items) {
    std::vector<TRunEntry> entries;
    const int count = items.Count();
    entries.reserve(static_cast<std::size_t>(count));
    for (int slot = 0; slot < count; ++slot) {
        // One entry at a time, so that a rename worker waits for one copy at most.
        const auto lock = items.ReadLock();
        if (const TFileItem* item = items.Items(slot))
            entries.push_back(
                {slot, item->Path(), item->Name(), item->PrevName(), item->CanUndo()});
    }
    return entries;
}

TPrediction PredictRenames(const std::vector<TRunEntry>& entries, const RenameOptionSet& options,
                           RenameMode mode, RunOrder order, const std::atomic<bool>& cancel,
                           TFileCalls& calls) {
    // A planned run is predicted by its plan.
    if (order == RunOrder::Planned)
        return PredictPlanned(entries, options, mode, cancel, calls);
    return PredictInListOrder(entries, options, mode, cancel, calls);
}

} // namespace qm
