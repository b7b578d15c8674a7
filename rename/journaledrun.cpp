#include "rename/journaledrun.h"

#include "filelist/fileitem.h"
#include "filelist/fileitems.h"
#include "rename/folderinodes.h"
#include "rename/journalundo.h"
#include "rename/movefile.h"
#include "rename/organizeloop.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <future>
#include <memory>
#include <unordered_map>

namespace qm {
namespace {

using FolderListings = TFolderListings;

// The inode of every move's file, one listing per folder (those in `folders` read
// already). The parked entry of a cycle is still the same file under its temporary name.
void FillInodes(std::vector<TJournalMoveRef>& moves, FolderListings& folders) {
    const FolderInodes* current = nullptr;
    std::string_view currentFolder;
    std::unordered_map<int, std::uint64_t> parked;
    for (TJournalMoveRef& move : moves) {
        if (current == nullptr || move.Folder != currentFolder) {
            auto& slot = folders[std::string(move.Folder)];
            if (!slot)
                slot = std::make_unique<FolderInodes>(std::string(move.Folder));
            current = slot.get();
            currentFolder = move.Folder;
        }
        const auto park = move.Temporary ? parked.find(move.Entry) : parked.end();
        if (park != parked.end()) {
            move.Inode = park->second; // leaving its temporary name
        } else {
            move.Inode = current->Find(move.From);
            if (move.Inode != 0 && move.Temporary)
                parked.emplace(move.Entry, move.Inode);
            move.Missing = move.Inode == 0 && current->Stable();
        }
    }
}

// The run in list order against the candidates it was announced with, one per slot.
class ListOrderCheck {
public:
    ListOrderCheck(TJournalWriter& writer, std::vector<std::string> candidates,
                   std::vector<int> moveOfSlot, std::vector<int> slotOfMove,
                   std::vector<TJournalMoveRef> files, bool numberRises)
        : writer_(writer), candidates_(std::move(candidates)), moveOfSlot_(std::move(moveOfSlot)),
          slotOfMove_(std::move(slotOfMove)), files_(std::move(files)), numberRises_(numberRises) {}

    bool Known(int slot, std::string& candidate) {
        slot_ = slot;
        handed_ = inSync_ && slot >= 0 && static_cast<std::size_t>(slot) < candidates_.size();
        // Handed over, not copied: the run's own computation is what this spares.
        if (handed_)
            candidate = std::move(candidates_[static_cast<std::size_t>(slot)]);
        return handed_;
    }

    RunError Move(const MoveEntryFile& inner, const std::string& folder, const std::string& from,
                  const std::string& to) {
        if (broken_ != 0)
            return broken_;
        const std::size_t slot = static_cast<std::size_t>(slot_);
        const int k = slot < moveOfSlot_.size() ? moveOfSlot_[slot] : -1;
        std::size_t index = static_cast<std::size_t>(k);
        // A candidate handed over is the one announced; the folder and the old name are the
        // entry's, which only its own move changes.
        if (k < 0 || (!handed_ && candidates_[slot] != to)) {
            TJournalMoveRef actual{slot_, false, folder, from, to};
            if (k >= 0) {
                actual.Inode = files_[index].Inode;
                actual.Missing = files_[index].Missing;
            }
            if (k >= 0) {
                broken_ = writer_.Replace(index, actual);
            } else {
                const auto next = std::upper_bound(slotOfMove_.begin(), slotOfMove_.end(), slot_);
                broken_ =
                    writer_.Insert(static_cast<std::size_t>(next - slotOfMove_.begin()), actual);
                index = writer_.MoveCount() - 1;
            }
            if (broken_ != 0)
                return broken_;
        }
        const RunError error = inner(folder, from, to);
        writer_.SetResult(index, error == 0 ? MoveResult::Done : MoveResult::Failed);
        // While the number rises, a failure shifts every later number: from here on the
        // run computes its candidates itself, and each is journaled before its move.
        if (numberRises_ && error != 0)
            inSync_ = false;
        return error;
    }

    int Broken() const { return broken_; }

private:
    TJournalWriter& writer_;
    std::vector<std::string> candidates_;
    std::vector<int> moveOfSlot_;
    std::vector<int> slotOfMove_;
    std::vector<TJournalMoveRef> files_; // the inode and presence of each move's file only
    const bool numberRises_;
    int slot_ = -1;
    bool handed_ = false;
    bool inSync_ = true;
    int broken_ = 0;
};

bool SameMove(const TJournalMoveRef& m, const std::string& folder, const std::string& from,
              const std::string& to) {
    return m.To == to && m.From == from && m.Folder == folder;
}

// A run that takes announced moves in order but may step over some (a step refused now)
// or add some (a cycle taken back, last step first).
class PlanCheck {
public:
    PlanCheck(TJournalWriter& writer, const std::vector<TJournalMoveRef>& moves)
        : writer_(writer), moves_(moves) {}

    RunError Move(const MoveEntryFile& inner, const std::string& folder, const std::string& from,
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
            TJournalMoveRef actual{-1, false, folder, from, to, 0};
            // A step taken back is the reverse of an announced one: same entry, same file.
            if (reverse_.empty())
                for (std::size_t j = 0; j < moves_.size(); ++j)
                    reverse_.emplace(
                        std::string(moves_[j].Folder) + '\0' + std::string(moves_[j].To), j);
            const TJournalMoveRef* same = nullptr;
            // The announced move tried again, once the folders it needs were made.
            if (cursor_ > 0 && SameMove(moves_[cursor_ - 1], folder, from, to))
                same = &moves_[cursor_ - 1];
            else if (const auto it = reverse_.find(folder + '\0' + from);
                     it != reverse_.end() && moves_[it->second].From == to)
                same = &moves_[it->second];
            if (same != nullptr) {
                actual.Entry = same->Entry;
                actual.Temporary = same->Temporary;
                actual.Inode = same->Inode;
            }
            broken_ = writer_.Insert(cursor_, actual);
            if (broken_ != 0)
                return broken_;
            index = writer_.MoveCount() - 1;
        }
        const RunError error = inner(folder, from, to);
        writer_.SetResult(index, error == 0 ? MoveResult::Done : MoveResult::Failed);
        return error;
    }

    int Broken() const { return broken_; }

private:
    TJournalWriter& writer_;
    const std::vector<TJournalMoveRef>& moves_;
    std::size_t cursor_ = 0;
    std::unordered_map<std::string, std::size_t> reverse_;
    int broken_ = 0;
};

std::string BrokenText(int error) {
    return std::string("the journal could not be written during the run (") + std::strerror(error) +
           "); no file was renamed from there on";
}

TJournal Header(RenameMode mode, RunOrder order, int entries) {
    TJournal header;
    header.Mode = mode;
    header.Order = order;
    header.EntryCount = entries;
    return header;
}

// What a journaled run's moves came to: the counts, and the errno value of a journal
// write that failed on the way (0: none), after which no file was moved.
struct TMovesTaken {
    RenameTally Tally;
    int Broken = 0;
};

using TakeMoves = std::function<TMovesTaken(TJournalWriter& writer, const MoveEntryFile& moveFile)>;

// The one way every journaled run goes: the journal begun with all of `moves` under
// `header` (when it cannot be, nothing is moved and the result says why), then
// `takeMoves` with the writer and the move that takes each file (`move`, else
// MoveFileNoReplace through one TMoveFolder), then the journal closed with its counts.
TJournaledRun BeginThenMove(TJournal header, const TJournalPlace& place,
                            const std::vector<TJournalMoveRef>& moves, const MoveEntryFile& move,
                            const TakeMoves& takeMoves) {
    TJournaledRun result;
    header.ProgramVersion = place.ProgramVersion;
    header.Origin = place.Origin;
    TJournalWriter writer;
    result.JournalProblem = writer.Begin(place.Folder, std::move(header), moves, place.Keep);
    if (!result.JournalProblem.empty())
        return result;
    result.Ran = true;
    result.RunId = writer.RunId();
    TMoveFolder folder;
    MoveEntryFile moveFile = move;
    if (!moveFile)
        moveFile = [&folder](const std::string& f, const std::string& from, const std::string& to) {
            return folder.MoveOrMake(f, from, to);
        };
    const TMovesTaken taken = takeMoves(writer, moveFile);
    result.Tally = taken.Tally;
    const std::string closing = writer.Close(taken.Tally);
    if (taken.Broken != 0)
        result.JournalProblem = BrokenText(taken.Broken);
    else if (!closing.empty())
        result.JournalProblem = "the journal could not be closed: " + closing;
    return result;
}

TJournaledRun RunPlannedJournaled(TFileItems& items, const RenameOptionSet& options,
                                  RenameMode mode, const RenameCallbacks& callbacks,
                                  const std::atomic<bool>& cancel, const MoveEntryFile& move,
                                  const TJournalPlace& place) {
    TJournaledRun result;
    const std::vector<TRunEntry> entries = SnapshotEntries(items);
    const TRenamePlan plan = PlanRenames(entries, options, mode, cancel);
    if (plan.Prediction.Tally.Cancelled) {
        result.Ran = true;
        result.Tally.Cancelled = true;
        result.Tally.NumberIncValue = options.NumberIncValue;
        return result;
    }
    std::vector<TJournalMoveRef> moves;
    moves.reserve(plan.Steps.size());
    for (const TPlanStep& step : plan.Steps)
        moves.push_back({entries[static_cast<std::size_t>(step.Entry)].Slot,
                         step.Step != TPlanStep::Final, step.Folder, step.From, step.To, 0});
    FolderListings listings;
    FillInodes(moves, listings);
    return BeginThenMove(
        Header(mode, RunOrder::Planned, static_cast<int>(entries.size())), place, moves, move,
        [&](TJournalWriter& writer, const MoveEntryFile& moveFile) {
            PlanCheck check(writer, moves);
            const RenameTally tally =
                RunPlan(items, entries, plan, mode, callbacks, cancel,
                        [&](const std::string& f, const std::string& from, const std::string& to) {
                            return check.Move(moveFile, f, from, to);
                        });
            return TMovesTaken{tally, check.Broken()};
        });
}

// A run that organizes (organizeloop.h): what it will do depends on what each folder
// holds when its turn comes (a taken name numbered, folders made, companions together),
// so its moves are announced as the prediction in list order finds them, in its order,
// and the run is checked against them as a planned run is. The folders it makes are
// not announced: each is written when the run is about to make it, so that an undo
// after a kill removes only a folder the run went on to make.
TJournaledRun RunOrganizingJournaled(TFileItems& items, const RenameOptionSet& options,
                                     const RenameCallbacks& callbacks,
                                     const std::atomic<bool>& cancel, const MoveEntryFile& move,
                                     const TJournalPlace& place) {
    TJournaledRun result;
    const std::vector<TRunEntry> entries = SnapshotEntries(items);
    std::vector<TPredictedMove> predicted;
    const TPrediction prediction = PredictListOrderMoves(entries, options, RenameMode::Rename,
                                                         cancel, TFileCalls::System(), predicted);
    if (prediction.Tally.Cancelled) {
        result.Ran = true;
        result.Tally.Cancelled = true;
        result.Tally.NumberIncValue = options.NumberIncValue;
        return result;
    }
    std::vector<TJournalMoveRef> moves;
    std::vector<char> refused;
    moves.reserve(predicted.size());
    refused.reserve(predicted.size());
    // Each folder the run makes, and the move it comes before.
    struct Made {
        std::size_t before;
        std::string_view folder;
        std::string_view name;
    };
    std::vector<Made> made;
    for (const TPredictedMove& step : predicted) {
        if (step.What == TPredictedMove::Folder) {
            std::string_view name = step.To;
            while (name.ends_with('/'))
                name.remove_suffix(1);
            made.push_back(
                {moves.size(), entries[static_cast<std::size_t>(step.Entry)].Path, name});
            continue;
        }
        const TRunEntry& entry = entries[static_cast<std::size_t>(step.Entry)];
        const bool back = step.What == TPredictedMove::Back;
        moves.push_back({entry.Slot, false, entry.Path, back ? step.To : entry.Name,
                         back ? entry.Name : step.To, 0});
        refused.push_back(step.Refused);
    }
    FolderListings listings;
    FillInodes(moves, listings);
    // A move from a name that an earlier move of the run gave (a group taken back, a name
    // listed twice whose first file left it for another) moves that move's file; a move
    // from the name of a folder the run made before it moves that folder, whose inode no
    // listing before the run can tell.
    // (A name left stays in the table: a later move from it finds no file, and its inode
    // does not matter.)
    struct Arrival {
        std::size_t move; // kMadeFolder: a folder the run made
        std::string_view folder;
    };
    constexpr std::size_t kMadeFolder = static_cast<std::size_t>(-1);
    std::unordered_map<std::string_view, Arrival> arrived;
    arrived.reserve(moves.size());
    std::size_t nextMade = 0;
    for (std::size_t i = 0; i < moves.size(); ++i) {
        for (; nextMade < made.size() && made[nextMade].before <= i; ++nextMade)
            arrived.insert_or_assign(made[nextMade].name,
                                     Arrival{kMadeFolder, made[nextMade].folder});
        TJournalMoveRef& m = moves[i];
        if (const auto it = arrived.find(m.From);
            it != arrived.end() && it->second.folder == m.Folder) {
            m.Inode = it->second.move == kMadeFolder ? 0 : moves[it->second.move].Inode;
            m.Missing = false;
        }
        if (!refused[i])
            arrived.insert_or_assign(m.To, Arrival{i, m.Folder});
    }
    return BeginThenMove(
        Header(RenameMode::Rename, RunOrder::ListOrder, static_cast<int>(entries.size())), place,
        moves, move, [&](TJournalWriter& writer, const MoveEntryFile& moveFile) {
            PlanCheck check(writer, moves);
            const RenameTally tally = RunRenames(
                items, options, RenameMode::Rename, callbacks, cancel,
                [&](const std::string& f, const std::string& from, const std::string& to) {
                    return check.Move(moveFile, f, from, to);
                });
            return TMovesTaken{tally, check.Broken()};
        });
}

} // namespace

TJournaledRun RunJournaledRenames(TFileItems& items, const RenameOptionSet& options,
                                  RenameMode mode, RunOrder order, const RenameCallbacks& callbacks,
                                  const std::atomic<bool>& cancel, const MoveEntryFile& move,
                                  const TJournalPlace& place) {
    // Organizing goes in list order, whatever order was asked for (organizeloop.h).
    if (mode == RenameMode::Rename && Organizes(options))
        return RunOrganizingJournaled(items, options, callbacks, cancel, move, place);
    if (mode == RenameMode::Undo && !place.FoldersOf.empty()) {
        // Read before the undo writes a journal of its own.
        const TJournalRead undone = ReadJournal(JournalPath(place.Folder, place.FoldersOf));
        TJournalPlace plain = place;
        plain.FoldersOf.clear();
        TJournaledRun run =
            RunJournaledRenames(items, options, mode, order, callbacks, cancel, move, plain);
        if (run.Ran && !run.Tally.Cancelled && undone.Status == TJournalRead::Ok) {
            const TFoldersRemoved removed = RemoveEmptyFolders(FoldersMade(undone.Journal));
            run.FoldersRemoved = removed.Removed;
            run.FoldersKept = removed.Kept;
        }
        return run;
    }
    if (order == RunOrder::Planned)
        return RunPlannedJournaled(items, options, mode, callbacks, cancel, move, place);

    const std::size_t slots = static_cast<std::size_t>(std::max(items.Count(), 0));
    std::vector<std::string> candidates(slots);
    // The first folder's listing (most runs have one folder) is read on a thread of its
    // own while the names are computed.
    std::future<std::unique_ptr<FolderInodes>> firstListing;
    std::string firstFolder;
    for (std::size_t slot = 0; slot < slots && !firstListing.valid(); ++slot)
        if (const TFileItem* entry = items.Items(static_cast<int>(slot))) {
            firstFolder = entry->Path();
            firstListing = std::async(std::launch::async, [firstFolder] {
                return std::make_unique<FolderInodes>(firstFolder);
            });
        }

    // The names as the run gives them when every rename succeeds, the number rising after
    // each, and the moves they make, in one pass. This thread is the only writer of the
    // entries, so reading them needs no lock.
    int entryCount = 0;
    const bool numberRises = mode == RenameMode::Rename && options.NumberIncEnabled;
    RenameOptionSet running = options;
    TRunningNumbers numbers(running);
    std::vector<TJournalMoveRef> moves;
    moves.reserve(slots);
    std::vector<int> moveOfSlot(slots, -1);
    // Slots whose name the engine could not compute: the run computes those itself.
    std::vector<char> unknown(slots, 0);
    std::vector<int> slotOfMove;
    slotOfMove.reserve(slots);
    for (std::size_t slot = 0; slot < slots; ++slot) {
        const TFileItem* entry = items.Items(static_cast<int>(slot));
        if (entry == nullptr)
            continue;
        ++entryCount;
        std::string& candidate = candidates[slot];
        RunError fault;
        std::int32_t& number = numbers.For(entry->Path());
        const std::shared_ptr<const TEntryTags> tags = entry->Tags();
        candidate =
            CandidateName(mode, running, number, entry->Name(), entry->CanUndo(), entry->PrevName(),
                          fault, tags ? &tags->Values : nullptr, entry->HandName().get());
        if (fault)
            unknown[slot] = 1;
        if (fault || candidate == entry->Name())
            continue;
        number = NumberAfterRename(number, numberRises);
        // A failure the run will meet is still tried, so it is announced too.
        moveOfSlot[slot] = static_cast<int>(moves.size());
        slotOfMove.push_back(static_cast<int>(slot));
        moves.push_back(
            {static_cast<int>(slot), false, entry->Path(), entry->Name(), candidate, 0});
    }
    FolderListings listings;
    if (firstListing.valid())
        listings.emplace(firstFolder, firstListing.get());
    FillInodes(moves, listings);
    return BeginThenMove(
        Header(mode, RunOrder::ListOrder, entryCount), place, moves, move,
        [&](TJournalWriter& writer, const MoveEntryFile& moveFile) {
            // The views point into the entries and candidates, which the run is about to
            // change.
            for (TJournalMoveRef& m : moves)
                m.Folder = m.From = m.To = {};
            ListOrderCheck check(writer, std::move(candidates), std::move(moveOfSlot),
                                 std::move(slotOfMove), std::move(moves), numberRises);
            RenameCallbacks hooked = callbacks;
            hooked.KnownCandidate = [&check, &unknown](int slot, std::string& candidate) {
                return check.Known(slot, candidate) && !unknown[static_cast<std::size_t>(slot)];
            };
            const RenameTally tally = RunRenames(
                items, options, mode, hooked, cancel,
                [&](const std::string& f, const std::string& from, const std::string& to) {
                    return check.Move(moveFile, f, from, to);
                });
            return TMovesTaken{tally, check.Broken()};
        });
}

TJournaledRun
RunJournaledListMoves(std::vector<TJournalMoveRef> moves, TFolderListings listings,
                      const TJournalPlace& place, const std::atomic<bool>& cancel,
                      const std::function<void(std::size_t index, RunError error)>& done) {
    FillInodes(moves, listings);
    listings.clear();
    return BeginThenMove(
        Header(RenameMode::Rename, RunOrder::ListOrder, static_cast<int>(moves.size())), place,
        moves, {}, [&](TJournalWriter& writer, const MoveEntryFile& moveFile) {
            RenameTally tally;
            // Kept from move to move: most moves fit the room the last one left.
            std::string folder, from, to;
            for (std::size_t i = 0; i < moves.size(); ++i) {
                if (cancel.load(std::memory_order_acquire)) {
                    tally.Cancelled = true;
                    break;
                }
                const TJournalMoveRef& m = moves[i];
                folder.assign(m.Folder);
                from.assign(m.From);
                to.assign(m.To);
                const RunError error = moveFile(folder, from, to);
                writer.SetResult(i, error == 0 ? MoveResult::Done : MoveResult::Failed);
                CountOutcome(tally, error == 0 ? RenameOutcome::Renamed : RenameOutcome::Failed);
                if (done)
                    done(i, error);
            }
            return TMovesTaken{tally, 0};
        });
}

TJournaledMoves
RunJournaledMoves(const std::vector<TJournalMove>& moves, TJournal header,
                  const TJournalPlace& place, const std::atomic<bool>& cancel,
                  const std::function<void(std::size_t index, RunError error)>& done,
                  const MoveEntryFile& move, const MovesCount& count) {
    std::vector<TJournalMoveRef> refs;
    refs.reserve(moves.size());
    for (const TJournalMove& m : moves)
        refs.push_back({m.Entry, m.Temporary, m.Folder, m.From, m.To, m.Inode});
    return RunJournaledMoves(refs, std::move(header), place, cancel, done, move, count);
}

TJournaledMoves
RunJournaledMoves(const std::vector<TJournalMoveRef>& moves, TJournal header,
                  const TJournalPlace& place, const std::atomic<bool>& cancel,
                  const std::function<void(std::size_t index, RunError error)>& done,
                  const MoveEntryFile& move, const MovesCount& count) {
    std::vector<RunError> errors(moves.size(), ECANCELED);
    const TJournaledRun run = BeginThenMove(
        std::move(header), place, moves, move,
        [&](TJournalWriter& writer, const MoveEntryFile& moveFile) {
            RenameTally tally;
            // Spelled into the same strings each time: no allocation per move.
            std::string folder;
            std::string from;
            std::string to;
            for (std::size_t i = 0; i < moves.size(); ++i) {
                if (cancel.load(std::memory_order_acquire)) {
                    tally.Cancelled = true;
                    break;
                }
                const TJournalMoveRef& m = moves[i];
                folder.assign(m.Folder);
                from.assign(m.From);
                to.assign(m.To);
                const RunError error = moveFile(folder, from, to);
                writer.SetResult(i, error == 0 ? MoveResult::Done : MoveResult::Failed);
                errors[i] = error;
                CountOutcome(tally, error == 0 ? RenameOutcome::Renamed : RenameOutcome::Failed);
                if (done)
                    done(i, error);
            }
            if (count) {
                const bool cancelled = tally.Cancelled;
                tally = count(errors);
                tally.Cancelled = cancelled;
            }
            return TMovesTaken{tally, 0};
        });
    return {run.Ran, run.JournalProblem, run.RunId, std::move(errors)};
}

} // namespace qm
