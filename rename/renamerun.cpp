#include "rename/renamerun.h"

#include "filelist/fileitem.h"
#include "filelist/fileitems.h"
#include "rename/listorderloop.h"
#include "rename/movefile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace qm {
namespace {

// The run's side of the loop: the list's entries, renamed on disk, each change of an
// entry through its setters.
class ListWalk {
public:
    ListWalk(TFileItems& items, const RenameOptionSet& run, RenameMode mode,
             const RenameCallbacks& callbacks, const std::atomic<bool>& cancel,
             const MoveEntryFile& move)
        : items_(items), run_(run), mode_(mode), callbacks_(callbacks), cancel_(cancel),
          move_(move) {}

    std::size_t Count() const { return static_cast<std::size_t>(std::max(items_.Count(), 0)); }
    bool Cancelled(std::size_t) const { return cancel_.load(std::memory_order_acquire); }
    bool Reach(std::size_t slot) {
        if (callbacks_.AwaitSlot)
            callbacks_.AwaitSlot(static_cast<int>(slot));
        entry_ = items_.Items(static_cast<int>(slot));
        if (entry_ == nullptr)
            return false;
        // A copy: the setters below replace the entry's name.
        old_ = entry_->Name();
        tags_.reset();
        tagsRead_ = false;
        hand_ = entry_->HandName();
        entry_->ClearRenamed();
        return true;
    }
    const std::string& Name() const { return old_; }
    const std::string& Folder() const { return entry_->Path(); }
    bool CanUndo() const { return entry_->CanUndo(); }
    const std::string& PrevName() const { return entry_->PrevName(); }
    // Held for the rest of the entry's turn, so that a reader storing new tags meanwhile
    // cannot free them. Read only when asked for: a run whose names were worked out ahead
    // never asks, and the atomic read is a good part of what the run does per file.
    const TagValues* Tags() const {
        if (!tagsRead_) {
            tags_ = entry_->Tags();
            tagsRead_ = true;
        }
        return tags_ ? &tags_->Values : nullptr;
    }
    const std::string* HandName() const { return hand_.get(); }
    bool Known(std::size_t slot, std::string& candidate) const {
        return callbacks_.KnownCandidate &&
               callbacks_.KnownCandidate(static_cast<int>(slot), candidate);
    }
    RunError Move(std::size_t slot, const std::string& candidate) {
        if (callbacks_.OnNames)
            callbacks_.OnNames(static_cast<int>(slot), old_, candidate);
        return Take(old_, candidate);
    }
    RunError MoveBack(std::size_t, const std::string& from) { return Take(from, old_); }
    // A move from no name makes the folder (TMoveFolder::MoveOrMake), through the same hook
    // and so into the journal, which an undo removes the folder by: a name there already
    // is not handed on, as the undo of a run killed before its end could not tell it from
    // one the run made.
    RunError MakeFolder(std::size_t, const std::string& relative) {
        struct stat st {};
        if (TFileCalls::System().LStat(AT_FDCWD, (entry_->Path() + relative).c_str(), st) == 0)
            return EEXIST;
        return Take({}, relative);
    }
    bool FilePresent(std::size_t) const {
        struct stat st {};
        return TFileCalls::System().LStat(AT_FDCWD, (entry_->Path() + old_).c_str(), st) == 0;
    }
    TCompanionEntry Peek(std::size_t slot) const {
        const TFileItem* item = items_.Items(static_cast<int>(slot));
        if (item == nullptr)
            return {{}, {}, true};
        return {item->Path(), item->Name(), item->HandName() != nullptr};
    }
    void Settle(std::size_t slot, RenameOutcome outcome, std::string&& candidate,
                RunError error, std::int32_t, bool numberRose) {
        if (outcome == RenameOutcome::Renamed) {
            if (mode_ == RenameMode::Undo)
                entry_->UndoName();
            else
                entry_->SetNewName(std::move(candidate));
            if (numberRose && callbacks_.OnNumber)
                callbacks_.OnNumber(run_.NumberIncValue);
        } else if (outcome == RenameOutcome::Failed && mode_ == RenameMode::Rename) {
            // Undo takes back one run, and this file had no part in it: an older undo
            // name would move it back two runs.
            entry_->ClearPrevName();
        }
        if (callbacks_.OnOutcome)
            callbacks_.OnOutcome(static_cast<int>(slot), outcome, error);
    }
    void Step(std::size_t slot) const {
        if (callbacks_.OnStep)
            callbacks_.OnStep(static_cast<int>(slot) + 1);
    }

private:
    RunError Take(const std::string& from, const std::string& to) {
        return move_ ? move_(entry_->Path(), from, to)
                     : folder_.MoveOrMake(entry_->Path(), from, to);
    }

    TFileItems& items_;
    const RenameOptionSet& run_;
    const RenameMode mode_;
    const RenameCallbacks& callbacks_;
    const std::atomic<bool>& cancel_;
    const MoveEntryFile& move_;
    TMoveFolder folder_;
    TFileItem* entry_ = nullptr;
    std::string old_;
    mutable std::shared_ptr<const TEntryTags> tags_;
    mutable bool tagsRead_ = false;
    std::shared_ptr<const std::string> hand_;
};

} // namespace

std::string CandidateName(const TFileItem& entry, const RenameOptionSet& options, RenameMode mode,
                          RunError& error) {
    const std::shared_ptr<const TEntryTags> tags = entry.Tags();
    return CandidateName(mode, options, options.NumberIncValue, entry.Name(), entry.CanUndo(),
                         entry.PrevName(), error, tags ? &tags->Values : nullptr,
                         entry.HandName().get());
}

RenameTally RunRenames(TFileItems& items, RenameOptionSet options, RenameMode mode,
                       const RenameCallbacks& callbacks, const std::atomic<bool>& cancel,
                       const MoveEntryFile& move) {
    ListWalk walk(items, options, mode, callbacks, cancel, move);
    return RunListOrderLoop(walk, options, mode);
}

} // namespace qm
