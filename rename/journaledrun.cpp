#include "rename/journaledrun.h"

#include "filelist/fileitem.h"
#include "filelist/fileitems.h"
#include "rename/background.h"
#include "rename/folderinodes.h"
#include "rename/journalundo.h"
#include "rename/movefile.h"
#include "rename/organizeloop.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <span>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>

namespace qm {
namespace {

// `move`, or where it is empty a move through `folder`, which must outlive it.
MoveEntryFile MoveOrDefault(const MoveEntryFile& move, TMoveFolder& folder) {
    if (move)
        return move;
    return [&folder](const std::string& f, const std::string& from, const std::string& to) {
        return folder.MoveOrMake(f, from, to);
    };
}

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

// The moves of a run in list order, worked out and journaled a part at a time on one
// thread while the run takes those of the parts before on another. The announcing
// thread fills the slots below a part's end, journals the part and only then raises
// `ready` past it; the run reads a slot only below `ready`. The entries of the slots
// below `ready` belong to the run from then on, those above it are only read, by the
// announcing thread: neither thread changes what the other reads.
struct ListOrderParts {
    // Room for every slot, made once and filled by the announcing thread as it goes (a
    // million slots are not written twice, and their pages are touched by that thread).
    explicit ListOrderParts(std::size_t count) : slotCount(count) {
        candidates.reserve(slotCount);
        unknown.reserve(slotCount);
        moveOfSlot.reserve(slotCount);
        slotOfMove.reserve(slotCount);
        files.reserve(slotCount);
    }

    const std::size_t slotCount;
    std::vector<std::string> candidates; // the names the run gives when every rename succeeds
    std::vector<char> unknown;           // the engine could not compute the name
    std::vector<int> moveOfSlot;
    std::vector<int> slotOfMove;
    // The announced moves; once journaled, only each file's inode and presence are read:
    // the names they view are the entries' and the candidates', which the run changes.
    std::vector<TJournalMoveRef> files;
    // On a cache line of their own: the vectors' ends above move with every slot the
    // announcing thread adds, and the run reads these at every slot.
    alignas(64) std::atomic<std::size_t> ready{0};
    std::atomic<std::size_t> readyMoves{0};
    // The run's own: the end of the announced slots it last asked to be hurried past.
    std::size_t hurriedAt = 0;
    // Set by the run when it comes within kHurryLead slots of that end, or waits there:
    // the announcing thread then ends the part it works on at once instead of at its
    // planned size. That thread reads it at every slot; it has a cache line of its own.
    alignas(64) std::atomic<bool> hurry{false};
    static constexpr std::size_t kHurryLead = 1024;

    std::mutex mutex;
    std::condition_variable raised;
    std::condition_variable taken;
    std::size_t waitingAt = static_cast<std::size_t>(-1); // the slot the run waits for
    bool begun = false;       // the journal was begun: the run may start
    bool finished = false;    // nothing more will be announced
    std::string beginProblem; // why the journal could not be begun
    int broken = 0;           // errno of a part that could not be journaled
    std::atomic<bool> stop{false};

    // Returns once `slot` is announced, or nothing more will be.
    void WaitFor(std::size_t slot) {
        const std::size_t now = ready.load(std::memory_order_acquire);
        if (slot < now) {
            if (now - slot <= kHurryLead && hurriedAt != now && now < slotCount) {
                hurriedAt = now;
                hurry.store(true, std::memory_order_relaxed);
            }
            return;
        }
        hurriedAt = now;
        hurry.store(true, std::memory_order_relaxed);
        std::unique_lock<std::mutex> lock(mutex);
        waitingAt = slot;
        taken.notify_all();
        raised.wait(lock, [&] { return slot < ready.load(std::memory_order_acquire) || finished; });
        waitingAt = static_cast<std::size_t>(-1);
    }
    // For the announcing thread: returns once the run has taken every move announced and
    // waits for the next part (true), or has ended (false).
    bool WaitTaken() {
        std::unique_lock<std::mutex> lock(mutex);
        taken.wait(lock, [&] {
            return waitingAt == ready.load(std::memory_order_relaxed) ||
                   stop.load(std::memory_order_relaxed);
        });
        return !stop.load(std::memory_order_relaxed);
    }
    // For the run, once it is over: nothing more is wanted.
    void Stop() {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            stop.store(true, std::memory_order_relaxed);
        }
        taken.notify_all();
    }
    void Raise(std::size_t end, std::size_t moves) {
        readyMoves.store(moves, std::memory_order_release);
        {
            const std::lock_guard<std::mutex> lock(mutex);
            ready.store(end, std::memory_order_release);
            begun = true;
        }
        raised.notify_all();
    }
    void Finish(std::string problem, int error) {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            beginProblem = std::move(problem);
            broken = error;
            finished = true;
        }
        raised.notify_all();
    }
};

// The run in list order against the candidates it was announced with, one per slot.
class ListOrderCheck {
public:
    // The vectors of `parts` are read through their storage, which never moves (each has
    // room for every slot from the start): their ends move with every slot announced.
    ListOrderCheck(TJournalWriter& writer, ListOrderParts& parts, const TFileItems& items,
                   bool numberRises)
        : writer_(writer), parts_(parts), items_(items), candidates_(parts.candidates.data()),
          unknown_(parts.unknown.data()), moveOfSlot_(parts.moveOfSlot.data()),
          files_(parts.files.data()), numberRises_(numberRises) {}

    bool Known(int slot, std::string& candidate) {
        slot_ = slot;
        const std::size_t at = static_cast<std::size_t>(slot);
        const std::size_t ready = parts_.ready.load(std::memory_order_acquire);
        announced_ = slot >= 0 && at < ready;
        handed_ = inSync_ && announced_;
        if (announced_)
            FetchAhead(at, ready);
        // Handed over, not copied: the run's own computation is what this spares.
        if (handed_)
            candidate = std::move(candidates_[at]);
        return handed_ && !unknown_[at];
    }

    RunError Move(const MoveEntryFile& inner, const std::string& folder, const std::string& from,
                  const std::string& to) {
        if (broken_ == 0 && !announced_) {
            // Past the last part journaled: the journal broke.
            const std::lock_guard<std::mutex> lock(parts_.mutex);
            broken_ = parts_.broken != 0 ? parts_.broken : EIO;
        }
        if (broken_ != 0)
            return broken_;
        const std::size_t slot = static_cast<std::size_t>(slot_);
        const int k = moveOfSlot_[slot];
        std::size_t index = static_cast<std::size_t>(k);
        // A candidate handed over is the one announced; the folder and the old name are the
        // entry's, which only its own move changes.
        if (k < 0 || (!handed_ && candidates_[slot] != to)) {
            TJournalMoveRef actual{slot_, false, folder, from, to};
            if (k >= 0) {
                actual.Inode = files_[index].Inode;
                actual.Missing = files_[index].Missing;
                broken_ = writer_.Replace(index, actual);
            } else {
                // Before the first announced move of a later slot: every move of a slot up
                // to this one is announced already.
                const auto first = parts_.slotOfMove.begin();
                const auto last = first + static_cast<std::ptrdiff_t>(
                                              parts_.readyMoves.load(std::memory_order_acquire));
                const auto next = std::upper_bound(first, last, slot_);
                broken_ = writer_.Insert(static_cast<std::size_t>(next - first), actual);
                index = writer_.LastInserted();
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
    // Asks the cache for what the run reads of the slots a little ahead, announced already,
    // while it renames this one: the other threads wrote them, and fetching each when its
    // turn comes would keep the run waiting at every file. In two steps: the records first,
    // then, once they are at hand, the names they point to.
    void FetchAhead(std::size_t at, std::size_t ready) const {
        constexpr std::size_t kNear = 8;
        constexpr std::size_t kFar = 16;
        if (at + kFar < ready) {
            __builtin_prefetch(&candidates_[at + kFar]);
            if (const TFileItem* entry = items_.Items(static_cast<int>(at + kFar))) {
                const char* record = reinterpret_cast<const char*>(entry);
                for (std::size_t line = 0; line < sizeof(TFileItem); line += 64)
                    __builtin_prefetch(record + line);
            }
        }
        if (at + kNear < ready) {
            __builtin_prefetch(candidates_[at + kNear].data());
            if (const TFileItem* entry = items_.Items(static_cast<int>(at + kNear)))
                __builtin_prefetch(entry->Name().data());
        }
    }

    TJournalWriter& writer_;
    ListOrderParts& parts_;
    const TFileItems& items_;
    std::string* const candidates_;
    const char* const unknown_;
    const int* const moveOfSlot_;
    const TJournalMoveRef* const files_;
    const bool numberRises_;
    int slot_ = -1;
    bool announced_ = false;
    bool handed_ = false;
    bool inSync_ = true;
    int broken_ = 0;
};

// The inode number of each move's file where its folder's file system keeps them stable,
// looked up as the move's part is worked out, before it is announced: nothing of the run
// has touched the name yet, unless an earlier move of the run gave it or took it
// (AnnounceListOrder waits for the run to take every move before such a one). Each file
// is looked up on its own: a listing of the folder would be read while the run renames in
// it, and each read of a listing holds the folder's lock, which every rename needs too.
class FileInodes {
public:
    FileInodes() = default;
    FileInodes(const FileInodes&) = delete;
    FileInodes& operator=(const FileInodes&) = delete;
    ~FileInodes() {
        for (const auto& [folder, fd] : folders_)
            if (fd >= 0)
                close(fd);
    }

    void Fill(std::span<TJournalMoveRef> moves) {
        for (TJournalMoveRef& m : moves) {
            const int fd = Folder(m.Folder);
            m.Inode = 0;
            m.Missing = false;
            if (fd < 0)
                continue;
            name_.assign(m.From);
            struct stat st {};
            if (fstatat(fd, name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
                m.Inode = st.st_ino;
            else
                m.Missing = errno == ENOENT;
        }
    }

private:
    // A descriptor of `folder`, -1 where its numbers are not stable or it cannot be opened.
    int Folder(std::string_view folder) {
        if (current_ != folders_.end() && current_->first == folder)
            return current_->second;
        std::string path(folder);
        current_ = folders_.find(path);
        if (current_ == folders_.end()) {
            const int fd = FolderInodesStable(path) ? open(path.empty() ? "." : path.c_str(),
                                                           O_PATH | O_DIRECTORY | O_CLOEXEC)
                                                    : -1;
            current_ = folders_.emplace(std::move(path), fd).first;
        }
        return current_->second;
    }

    std::unordered_map<std::string, int> folders_;
    std::unordered_map<std::string, int>::const_iterator current_ = folders_.end();
    std::string name_;
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
            index = writer_.LastInserted();
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
    const MoveEntryFile moveFile = MoveOrDefault(move, folder);
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

// How many slots the first part of a run in list order takes, and the most a part takes:
// the first is small, so that the first rename comes at once, and each after it twice
// the one before, so that working a part out (about a third of the time its renames
// take) stays ahead of the run with fewer syncs. When the run comes near the end of what
// is announced all the same (at the start, where the entries may still be made as the
// moves are worked out, or where another program takes the other core), the part ends
// early, though never below leastHurriedPart slots: each part costs a sync, which on a
// disk takes milliseconds.
std::size_t firstPartSlots = 512;
std::size_t leastHurriedPart = 256;
constexpr std::size_t kLargestPart = 65536;

// The names (folder and name, as 64-bit hashes) that the moves announced so far leave or
// take. A move from such a name is the rare run that lists a file twice, or a name that
// an earlier move gives: its file is looked up only once the run has taken every move
// before it, so that the journal tells the file the move will take, whatever the parts.
// A hash shared by chance costs a wait, never a wrong inode.
class TouchedNames {
public:
    bool Contains(std::string_view folder, std::string_view name) {
        if (table_.empty())
            return false;
        const std::uint64_t h = Hash(folder, name);
        for (std::size_t at = h & (table_.size() - 1); table_[at] != 0;
             at = (at + 1) & (table_.size() - 1))
            if (table_[at] == h)
                return true;
        return false;
    }
    void Insert(std::string_view folder, std::string_view name) {
        if ((count_ + 1) * 2 > table_.size())
            Grow();
        const std::uint64_t h = Hash(folder, name);
        std::size_t at = h & (table_.size() - 1);
        for (; table_[at] != 0; at = (at + 1) & (table_.size() - 1))
            if (table_[at] == h)
                return;
        table_[at] = h;
        ++count_;
    }

private:
    std::uint64_t Hash(std::string_view folder, std::string_view name) {
        key_.assign(folder);
        key_ += '\0';
        key_ += name;
        const std::uint64_t h = std::hash<std::string_view>{}(key_);
        return h == 0 ? 1 : h; // 0 marks an empty place
    }
    void Grow() {
        std::vector<std::uint64_t> old(std::max<std::size_t>(1024, table_.size() * 2), 0);
        old.swap(table_);
        for (const std::uint64_t h : old) {
            if (h == 0)
                continue;
            std::size_t at = h & (table_.size() - 1);
            while (table_[at] != 0)
                at = (at + 1) & (table_.size() - 1);
            table_[at] = h;
        }
    }

    std::vector<std::uint64_t> table_;
    std::size_t count_ = 0;
    std::string key_;
};

// Works out the moves of a run in list order (the names as the run gives them when every
// rename succeeds, the number rising after each) a part at a time, and journals each part
// before the run may take it: the first with Begin, the others with Announce.
void AnnounceListOrder(ListOrderParts& parts, TFileItems& items, const RenameOptionSet& options,
                       RenameMode mode, TJournalWriter& writer, TJournal header,
                       const TJournalPlace& place) {
    const std::size_t slotCount = parts.slotCount;
    const bool numberRises = mode == RenameMode::Rename && options.NumberIncEnabled;
    RenameOptionSet running = options;
    TRunningNumbers numbers(running);
    FileInodes inodes;
    TouchedNames touched;
    std::size_t moves = 0;
    std::size_t first = 0; // the first move of the part being worked out
    std::size_t begin = 0; // and its first slot
    bool begun = false;
    // Journals the part up to `end` (its moves' files looked up already) and hands it to
    // the run.
    auto announce = [&](std::size_t end) {
        const std::span<TJournalMoveRef> fresh(parts.files.data() + first, moves - first);
        // Asked for anew by the run from here on.
        parts.hurry.store(false, std::memory_order_relaxed);
        if (!begun) {
            std::string problem = writer.Begin(place.Folder, header, fresh, place.Keep, slotCount);
            if (!problem.empty()) {
                parts.Finish(std::move(problem), 0);
                return false;
            }
            begun = true;
        } else if (const int error = writer.Announce(fresh)) {
            parts.Finish({}, error);
            return false;
        }
        parts.Raise(end, moves);
        first = moves;
        begin = end;
        return true;
    };
    std::size_t part = firstPartSlots;
    while (!begun || begin < slotCount) {
        std::size_t end = std::min(slotCount, begin + part);
        for (std::size_t slot = begin; slot < end; ++slot) {
            // A run cancelled or ended waits for nothing more.
            if (slot % 4096 == 0 && parts.stop.load(std::memory_order_relaxed)) {
                parts.Finish({}, 0);
                return;
            }
            // The run is about to take all that is announced: this part ends here.
            if (begun && slot - begin >= leastHurriedPart &&
                parts.hurry.load(std::memory_order_relaxed)) {
                end = slot;
                break;
            }
            std::string& candidate = parts.candidates.emplace_back();
            parts.unknown.push_back(0);
            parts.moveOfSlot.push_back(-1);
            if (place.Arriving)
                place.Arriving->Await(slot);
            const TFileItem* entry = items.Items(static_cast<int>(slot));
            if (entry == nullptr)
                continue;
            RunError fault;
            std::int32_t& number = numbers.For(entry->Path());
            const std::shared_ptr<const TEntryTags> tags = entry->Tags();
            candidate = CandidateName(mode, running, number, entry->Name(), entry->CanUndo(),
                                      entry->PrevName(), fault, tags ? &tags->Values : nullptr,
                                      entry->HandName().get());
            if (fault)
                parts.unknown[slot] = 1;
            if (fault || candidate == entry->Name())
                continue;
            number = NumberAfterRename(number, numberRises);
            if (touched.Contains(entry->Path(), entry->Name())) {
                // The part ends before this move, and its file is looked up once the run
                // has taken every move before it.
                if (!announce(slot) || !parts.WaitTaken())
                    return;
            }
            touched.Insert(entry->Path(), entry->Name());
            touched.Insert(entry->Path(), candidate);
            // A failure the run will meet is still tried, so it is announced too.
            parts.moveOfSlot[slot] = static_cast<int>(moves++);
            parts.slotOfMove.push_back(static_cast<int>(slot));
            parts.files.push_back(
                {static_cast<int>(slot), false, entry->Path(), entry->Name(), candidate, 0});
            // Looked up now, as its part is worked out, so that announcing a part is only
            // writing it: no move of the run has touched the name (unless the part above
            // ended before it and the run took every move first).
            inodes.Fill(std::span<TJournalMoveRef>(&parts.files.back(), 1));
        }
        if (!announce(end))
            return;
        part = std::min(part * 2, kLargestPart);
        if (parts.stop.load(std::memory_order_relaxed))
            break;
    }
    parts.Finish({}, 0);
    // While the run takes the last part: the older journals go now, not before the first
    // rename (or after the last, in Close).
    writer.PruneOlder();
}

// The run in list order, its moves announced in parts (AnnounceListOrder) on a thread of
// their own while this one takes those announced. The run takes its candidates from them
// instead of computing every name a second time.
TJournaledRun RunListOrderJournaled(TFileItems& items, const RenameOptionSet& options,
                                    RenameMode mode, const RenameCallbacks& callbacks,
                                    const std::atomic<bool>& cancel, const MoveEntryFile& move,
                                    const TJournalPlace& place) {
    const std::size_t slotCount = static_cast<std::size_t>(std::max(items.Count(), 0));
    int entryCount = 0;
    if (place.Arriving)
        entryCount = static_cast<int>(place.Arriving->Entries());
    else
        for (std::size_t slot = 0; slot < slotCount; ++slot)
            entryCount += items.Items(static_cast<int>(slot)) != nullptr;
    TJournal header = Header(mode, RunOrder::ListOrder, entryCount);
    header.ProgramVersion = place.ProgramVersion;
    header.Origin = place.Origin;

    ListOrderParts parts(slotCount);
    TJournalWriter writer;
    std::thread announcing([&] {
        GiveWayToTheRun();
        try {
            AnnounceListOrder(parts, items, options, mode, writer, header, place);
        } catch (const std::bad_alloc&) {
            // Nothing more is announced; the run fails what is left without taking it.
            bool begun = false;
            {
                const std::lock_guard<std::mutex> lock(parts.mutex);
                begun = parts.begun;
            }
            parts.Finish(begun ? std::string() : "out of memory", ENOMEM);
        }
    });
    TJournaledRun result;
    {
        std::unique_lock<std::mutex> lock(parts.mutex);
        parts.raised.wait(lock, [&] { return parts.begun || parts.finished; });
        if (!parts.begun) {
            result.JournalProblem = parts.beginProblem;
            lock.unlock();
            announcing.join();
            return result;
        }
    }
    result.Ran = true;
    result.RunId = writer.RunId();
    TMoveFolder folder;
    const MoveEntryFile moveFile = MoveOrDefault(move, folder);
    const bool numberRises = mode == RenameMode::Rename && options.NumberIncEnabled;
    ListOrderCheck check(writer, parts, items, numberRises);
    RenameCallbacks hooked = callbacks;
    hooked.KnownCandidate = [&check](int slot, std::string& candidate) {
        return check.Known(slot, candidate);
    };
    hooked.AwaitSlot = [&parts, &place](int slot) {
        parts.WaitFor(static_cast<std::size_t>(slot));
        // Where the announcing stopped early, the slot may not be there yet.
        if (place.Arriving)
            place.Arriving->Await(static_cast<std::size_t>(slot));
    };
    RenameTally tally;
    try {
        tally =
            RunRenames(items, options, mode, hooked, cancel,
                       [&](const std::string& f, const std::string& from, const std::string& to) {
                           return check.Move(moveFile, f, from, to);
                       });
    } catch (...) {
        parts.Stop();
        announcing.join();
        throw;
    }
    parts.Stop();
    announcing.join();
    result.Tally = tally;
    const std::string closing = writer.Close(tally);
    if (check.Broken() != 0)
        result.JournalProblem = BrokenText(check.Broken());
    else if (!closing.empty())
        result.JournalProblem = "the journal could not be closed: " + closing;
    return result;
}

} // namespace

TJournaledRun RunJournaledRenames(TFileItems& items, const RenameOptionSet& options,
                                  RenameMode mode, RunOrder order, const RenameCallbacks& callbacks,
                                  const std::atomic<bool>& cancel, const MoveEntryFile& move,
                                  const TJournalPlace& place) {
    // Only the run in list order takes its slots as they come.
    if (place.Arriving && (order == RunOrder::Planned || !place.FoldersOf.empty() ||
                           (mode == RenameMode::Rename && Organizes(options))))
        place.Arriving->AwaitEnd();
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

    return RunListOrderJournaled(items, options, mode, callbacks, cancel, move, place);
}

void SetFirstListOrderPart(std::size_t entries, std::size_t leastHurried) {
    firstPartSlots = std::max<std::size_t>(entries, 1);
    leastHurriedPart = std::max<std::size_t>(leastHurried, 1);
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
