#include "rename/predict.h"

#include "filelist/fileitem.h"
#include "filelist/fileitems.h"
#include "rename/foldermodel.h"
#include "rename/listorderloop.h"
#include "rename/plan.h"

namespace qm {
namespace {

// Reading an atomic per entry costs little, but the window cancels often; a few hundred
// entries take well under a millisecond.
constexpr std::size_t kCancelEvery = 256;
// How many entries ahead the lookup of an entry's name is started: a few microseconds of
// work, long enough for memory to answer.
constexpr std::size_t kPrefetchAhead = 4;

// The prediction's side of the loop of the run: the moves the folder model allows, made
// on the model, each entry's outcome written down.
class ModelWalk {
public:
    ModelWalk(const std::vector<TRunEntry>& entries, std::vector<TPredictedEntry>& out,
              const std::atomic<bool>& cancel, TFileCalls& calls,
              std::vector<TPredictedMove>* moves = nullptr)
        : entries_(entries), out_(out), cancel_(cancel), folders_(calls), moves_(moves) {
        out_.reserve(entries.size());
    }

    std::size_t Count() const { return entries_.size(); }
    bool Cancelled(std::size_t i) const {
        return i % kCancelEvery == 0 && cancel_.load(std::memory_order_acquire);
    }
    bool Reach(std::size_t i) {
        entry_ = &entries_[i];
        if (i + kPrefetchAhead < entries_.size()) {
            const TRunEntry& ahead = entries_[i + kPrefetchAhead];
            folders_.Prefetch(ahead.Path, ahead.Name);
        }
        return true;
    }
    const std::string& Name() const { return entry_->Name; }
    const std::string& Folder() const { return entry_->Path; }
    bool CanUndo() const { return entry_->CanUndo; }
    const std::string& PrevName() const { return entry_->PrevName; }
    const TagValues* Tags() const { return entry_->Tags ? &entry_->Tags->Values : nullptr; }
    const std::string* HandName() const { return entry_->HandName.get(); }
    bool Known(std::size_t, std::string&) const { return false; }
    RunError Move(std::size_t i, const std::string& candidate) {
        return Take(i, entry_->Name, candidate, TPredictedMove::Rename, candidate);
    }
    RunError MoveBack(std::size_t i, const std::string& from) {
        return Take(i, from, entry_->Name, TPredictedMove::Back, from);
    }
    RunError MakeFolder(std::size_t i, const std::string& relative) {
        const RunError error = folders_.MakeFolder(entry_->Path, relative);
        if (error == 0 && moves_ != nullptr)
            moves_->push_back({static_cast<int>(i), TPredictedMove::Folder, false, relative});
        return error;
    }
    bool FilePresent(std::size_t) {
        int error = 0;
        const TModelFolder* folder = folders_.Folder(entry_->Path, error);
        return folder != nullptr && folder->Holds(entry_->Name);
    }
    TCompanionEntry Peek(std::size_t i) const {
        const TRunEntry& e = entries_[i];
        return {e.Path, e.Name, e.HandName != nullptr};
    }
    void Settle(std::size_t i, RenameOutcome outcome, std::string&& candidate, RunError error,
                std::int32_t number, bool) {
        // Entries come in order but for the companions of a group, settled together.
        if (out_.size() <= i)
            out_.resize(i + 1);
        // Braces: clang before 16 takes no parenthesised aggregate init.
        out_[i] = {outcome, std::move(candidate), error, number};
    }
    void Step(std::size_t) const {}

private:
    // Every move the run will try is written down, those it will see refused as well (a
    // taken name before its numbered form, a move before its folders are made), so that
    // a journal announcing them is not written to during the run.
    RunError Take(std::size_t i, const std::string& from, const std::string& to,
                  TPredictedMove::Kind what, const std::string& other) {
        const RunError error = folders_.Check(entry_->Path, from, to, move_);
        if (error == 0)
            folders_.Apply(move_);
        if (moves_ != nullptr)
            moves_->push_back({static_cast<int>(i), what, error != 0, other});
        return error;
    }

    const std::vector<TRunEntry>& entries_;
    std::vector<TPredictedEntry>& out_;
    const std::atomic<bool>& cancel_;
    TFolderModel folders_;
    std::vector<TPredictedMove>* moves_;
    TModelMove move_;
    const TRunEntry* entry_ = nullptr;
};

} // namespace

std::vector<TRunEntry> SnapshotEntries(const TFileItems& items) {
    std::vector<TRunEntry> entries;
    const int count = items.Count();
    entries.reserve(static_cast<std::size_t>(count));
    for (int slot = 0; slot < count; ++slot) {
        // One entry at a time, so that a rename worker waits for one copy at most.
        const auto lock = items.ReadLock();
        if (const TFileItem* item = items.Items(slot))
            entries.push_back({slot, item->CanUndo(), TSharedPath(item->SharedPath()), item->Name(),
                               item->PrevName(), item->Tags(), item->HandName()});
    }
    return entries;
}

TPrediction PredictListOrder(const std::vector<TRunEntry>& entries, const RenameOptionSet& options,
                             RenameMode mode, const std::atomic<bool>& cancel, TFileCalls& calls) {
    // The run's own loop, with the folder model's answer as the move.
    TPrediction prediction;
    ModelWalk walk(entries, prediction.Entries, cancel, calls);
    RenameOptionSet run = options;
    prediction.Tally = RunListOrderLoop(walk, run, mode);
    return prediction;
}

TPrediction PredictListOrderMoves(const std::vector<TRunEntry>& entries,
                                  const RenameOptionSet& options, RenameMode mode,
                                  const std::atomic<bool>& cancel, TFileCalls& calls,
                                  std::vector<TPredictedMove>& moves) {
    TPrediction prediction;
    ModelWalk walk(entries, prediction.Entries, cancel, calls, &moves);
    RenameOptionSet run = options;
    prediction.Tally = RunListOrderLoop(walk, run, mode);
    return prediction;
}

TPrediction PredictRenames(const std::vector<TRunEntry>& entries, const RenameOptionSet& options,
                           RenameMode mode, RunOrder order, const std::atomic<bool>& cancel,
                           TFileCalls& calls) {
    // A run that organizes goes in list order (see RunJournaledRenames).
    if (order == RunOrder::Planned && !(mode == RenameMode::Rename && Organizes(options)))
        return PredictPlanned(entries, options, mode, cancel, calls);
    return PredictListOrder(entries, options, mode, cancel, calls);
}

} // namespace qm
