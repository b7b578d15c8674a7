#include "rename/journaledrun.h"

#include "filelist/fileitems.h"
#include "rename/movefile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <unordered_map>

namespace qm {
namespace {

bool InodesStable(const std::string& folder) {
    struct statfs fs {};
    if (statfs(folder.empty() ? "." : folder.c_str(), &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x65735546UL: // FUSE: numbers made up per name
    case MSDOS_SUPER_MAGIC:
    case EXFAT_SUPER_MAGIC:
    case 0x5346544eUL: // NTFS
    case OVERLAYFS_SUPER_MAGIC:
    case SMB_SUPER_MAGIC:
    case 0xFF534D42UL: // CIFS
    case 0xFE534D42UL: // SMB2
        return false;
    default:
        return true;
    }
}

// The inode of every move's file, one folder listing per folder. The parked entry of a
// cycle is still the same file under its temporary name.
void FillInodes(std::vector<TJournalMove>& moves) {
    std::unordered_map<std::string, std::unordered_map<std::string, std::uint64_t>> folders;
    std::unordered_map<int, std::uint64_t> parked;
    for (TJournalMove& move : moves) {
        auto it = folders.find(move.Folder);
        if (it == folders.end())
            it = folders.emplace(move.Folder, StableInodes(move.Folder)).first;
        if (const auto found = it->second.find(move.From); found != it->second.end()) {
            move.Inode = found->second;
            if (move.Temporary)
                parked[move.Entry] = move.Inode;
        } else if (const auto park = parked.find(move.Entry); park != parked.end()) {
            move.Inode = park->second;
        }
    }
}

MoveEntryFile DefaultMove(const MoveEntryFile& move, TMoveFolder& folder) {
    if (move)
        return move;
    return [&folder](const std::string& f, const std::string& from, const std::string& to) {
        return folder.Move(f, from, to);
    };
}

bool SameMove(const TJournalMove& m, const std::string& folder, const std::string& from,
              const std::string& to) {
    return m.To == to && m.From == from && m.Folder == folder;
}

// The list-order run against the prediction it was announced with.
class ListOrderCheck {
public:
    ListOrderCheck(TJournalWriter& writer, const std::vector<TJournalMove>& moves,
                   const std::vector<TRunEntry>& entries, const TPrediction& prediction,
                   int slots, bool numberRises)
        : writer_(writer), moves_(moves), prediction_(prediction), numberRises_(numberRises),
          indexOfSlot_(static_cast<std::size_t>(std::max(slots, 0)), -1),
          moveOf_(entries.size(), -1) {
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (entries[i].Slot >= 0 && entries[i].Slot < slots)
                indexOfSlot_[static_cast<std::size_t>(entries[i].Slot)] = static_cast<int>(i);
        for (std::size_t k = 0; k < moves.size(); ++k)
            moveOf_[static_cast<std::size_t>(moves[k].Entry)] = static_cast<int>(k);
    }

    bool Known(int slot, std::string& candidate) {
        current_ = slot >= 0 && static_cast<std::size_t>(slot) < indexOfSlot_.size()
                       ? indexOfSlot_[static_cast<std::size_t>(slot)]
                       : -1;
        if (!inSync_ || current_ < 0 ||
            static_cast<std::size_t>(current_) >= prediction_.Entries.size())
            return false;
        candidate = prediction_.Entries[static_cast<std::size_t>(current_)].Candidate;
        return true;
    }

    int Move(const MoveEntryFile& inner, const std::string& folder, const std::string& from,
             const std::string& to) {
        if (broken_ != 0)
            return broken_;
        const int k = current_ >= 0 ? moveOf_[static_cast<std::size_t>(current_)] : -1;
        std::size_t index = static_cast<std::size_t>(k);
        if (k < 0 || !SameMove(moves_[index], folder, from, to)) {
            const TJournalMove actual{current_, false, folder, from, to,
                                      k >= 0 ? moves_[index].Inode : 0, MoveResult::Unknown};
            if (k >= 0) {
                broken_ = writer_.Replace(index, actual);
            } else {
                // Before the first announced move of a later entry.
                const auto next = std::upper_bound(
                    moves_.begin(), moves_.end(), current_,
                    [](int entry, const TJournalMove& m) { return entry < m.Entry; });
                broken_ = writer_.Insert(static_cast<std::size_t>(next - moves_.begin()), actual);
                index = writer_.MoveCount() - 1;
            }
            if (broken_ != 0)
                return broken_;
        }
        const int error = inner(folder, from, to);
        writer_.SetResult(index, error == 0 ? MoveResult::Done : MoveResult::Failed);
        if (numberRises_ && current_ >= 0 &&
            static_cast<std::size_t>(current_) < prediction_.Entries.size() &&
            (error == 0) !=
                (prediction_.Entries[static_cast<std::size_t>(current_)].Outcome ==
                 RenameOutcome::Renamed))
            inSync_ = false;
        return error;
    }

    int Broken() const { return broken_; }

private:
    TJournalWriter& writer_;
    const std::vector<TJournalMove>& moves_;
    const TPrediction& prediction_;
    const bool numberRises_;
    std::vector<int> indexOfSlot_;
    std::vector<int> moveOf_;
    int current_ = -1;
    bool inSync_ = true;
    int broken_ = 0;
};

// A run that takes announced moves in order but may step over some (a step refused now)
// or add some (a cycle taken back, last step first).
class PlanCheck {
public:
    PlanCheck(TJournalWriter& writer, const std::vector<TJournalMove>& moves)
        : writer_(writer), moves_(moves) {}

    int Move(const MoveEntryFile& inner, const std::string& folder, const std::string& from,
             const std::string& to) {
        if (broken_ != 0)
            return broken_;
        constexpr std::size_t kLookAhead = 64;
        std::size_t index = moves_.size();
        for (std::size_t j = cursor_; j < moves_.size() && j < cursor_ + kLookAhead; ++j) {
            if (SameMove(moves_[j], folder, from, to)) {
                index = j;
                break;
            }
        }
        if (index < moves_.size()) {
            cursor_ = index + 1;
        } else {
            TJournalMove actual{-1, false, folder, from, to, 0, MoveResult::Unknown};
            // A step taken back is the reverse of an announced one: same entry, same file.
            if (reverse_.empty())
                for (std::size_t j = 0; j < moves_.size(); ++j)
                    reverse_.emplace(moves_[j].Folder + '\0' + moves_[j].To, j);
            if (const auto it = reverse_.find(folder + '\0' + from); it != reverse_.end()) {
                const TJournalMove& undone = moves_[it->second];
                actual.Entry = undone.Entry;
                actual.Temporary = undone.Temporary;
                actual.Inode = undone.Inode;
            }
            broken_ = writer_.Insert(cursor_, actual);
            if (broken_ != 0)
                return broken_;
            index = writer_.MoveCount() - 1;
        }
        const int error = inner(folder, from, to);
        writer_.SetResult(index, error == 0 ? MoveResult::Done : MoveResult::Failed);
        return error;
    }

    int Broken() const { return broken_; }

private:
    TJournalWriter& writer_;
    const std::vector<TJournalMove>& moves_;
    std::size_t cursor_ = 0;
    std::unordered_map<std::string, std::size_t> reverse_;
    int broken_ = 0;
};

std::string BrokenText(int error) {
    return std::string("the journal could not be written during the run (") +
           std::strerror(error) + "); no file was renamed from there on";
}

} // namespace

std::unordered_map<std::string, std::uint64_t> StableInodes(const std::string& folder) {
    std::unordered_map<std::string, std::uint64_t> inodes;
    if (!InodesStable(folder))
        return inodes;
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr)
        return inodes;
    while (const dirent* entry = readdir(dir))
        inodes.emplace(entry->d_name, entry->d_ino);
    closedir(dir);
    return inodes;
}

TJournaledRun RunJournaledRenames(TFileItems& items, const RenameOptionSet& options,
                                  RenameMode mode, RunOrder order, const RenameCallbacks& callbacks,
                                  const std::atomic<bool>& cancel, const MoveEntryFile& move,
                                  const TJournalPlace& place) {
    TJournaledRun result;
    const std::vector<TRunEntry> entries = SnapshotEntries(items);
    TRenamePlan plan;
    if (order == RunOrder::Planned)
        plan = PlanRenames(entries, options, mode, cancel);
    else
        plan.Prediction = PredictRenames(entries, options, mode, RunOrder::ListOrder, cancel);
    if (plan.Prediction.Tally.Cancelled) {
        result.Ran = true;
        result.Tally.Cancelled = true;
        result.Tally.NumberIncValue = options.NumberIncValue;
        return result;
    }

    std::vector<TJournalMove> moves;
    if (order == RunOrder::Planned) {
        moves.reserve(plan.Steps.size());
        for (const TPlanStep& step : plan.Steps)
            moves.push_back({step.Entry, step.Step != TPlanStep::Final, step.Folder, step.From,
                             step.To, 0, MoveResult::Unknown});
    } else {
        for (std::size_t i = 0; i < entries.size() && i < plan.Prediction.Entries.size(); ++i) {
            const TPredictedEntry& predicted = plan.Prediction.Entries[i];
            // A predicted failure is still tried by the run, so it is announced too.
            if (predicted.Candidate != entries[i].Name)
                moves.push_back({static_cast<int>(i), false, entries[i].Path, entries[i].Name,
                                 predicted.Candidate, 0, MoveResult::Unknown});
        }
    }
    FillInodes(moves);

    TJournal header;
    header.ProgramVersion = place.ProgramVersion;
    header.Mode = mode;
    header.Order = order;
    header.EntryCount = static_cast<int>(entries.size());
    TJournalWriter writer;
    result.JournalProblem = writer.Begin(place.Folder, header, moves);
    if (!result.JournalProblem.empty())
        return result;
    result.Ran = true;
    result.RunId = writer.RunId();

    TMoveFolder folder;
    const MoveEntryFile inner = DefaultMove(move, folder);
    int broken = 0;
    if (order == RunOrder::Planned) {
        PlanCheck check(writer, moves);
        result.Tally = RunPlan(
            items, entries, plan, mode, callbacks, cancel,
            [&](const std::string& f, const std::string& from, const std::string& to) {
                return check.Move(inner, f, from, to);
            });
        broken = check.Broken();
    } else {
        ListOrderCheck check(writer, moves, entries, plan.Prediction, items.Count(),
                             mode == RenameMode::Rename && options.NumberIncEnabled);
        RenameCallbacks hooked = callbacks;
        hooked.KnownCandidate = [&check](int slot, std::string& candidate) {
            return check.Known(slot, candidate);
        };
        result.Tally = RunRenames(
            items, options, mode, hooked, cancel,
            [&](const std::string& f, const std::string& from, const std::string& to) {
                return check.Move(inner, f, from, to);
            });
        broken = check.Broken();
    }
    const std::string closing = writer.Close(result.Tally);
    if (broken != 0)
        result.JournalProblem = BrokenText(broken);
    else if (!closing.empty())
        result.JournalProblem = "the journal could not be closed: " + closing;
    return result;
}

TJournaledMoves RunJournaledMoves(const std::vector<TJournalMove>& moves, TJournal header,
                                  const TJournalPlace& place, const std::atomic<bool>& cancel,
                                  const std::function<void(std::size_t index, int error)>& done,
                                  const MoveEntryFile& move) {
    TJournaledMoves result;
    result.Errors.assign(moves.size(), ECANCELED);
    header.ProgramVersion = place.ProgramVersion;
    TJournalWriter writer;
    result.JournalProblem = writer.Begin(place.Folder, header, moves);
    if (!result.JournalProblem.empty())
        return result;
    result.Ran = true;
    result.RunId = writer.RunId();
    TMoveFolder folder;
    const MoveEntryFile inner = DefaultMove(move, folder);
    RenameTally tally;
    for (std::size_t i = 0; i < moves.size(); ++i) {
        if (cancel.load(std::memory_order_acquire)) {
            tally.Cancelled = true;
            break;
        }
        const TJournalMove& m = moves[i];
        const int error = inner(m.Folder, m.From, m.To);
        writer.SetResult(i, error == 0 ? MoveResult::Done : MoveResult::Failed);
        result.Errors[i] = error;
        ++(error == 0 ? tally.Renamed : tally.Failed);
        if (done)
            done(i, error);
    }
    const std::string closing = writer.Close(tally);
    if (!closing.empty())
        result.JournalProblem = "the journal could not be closed: " + closing;
    return result;
}

} // namespace qm
