#include "rename/plan.h"

#include "engine/newname.h"
#include "rename/nameblock.h"
#include "rename/planplaces.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <string_view>
#include <unistd.h>
#include <unordered_map>

namespace qm {
namespace {

// Renumbering settles in two or three rounds. Numbering can also keep flipping: a
// success shifts a later file's number onto a taken name, its failure blocks the first
// file, which shifts the number back. Such a list has no consistent planned outcome, and
// after this many rounds the run goes in list order instead.
constexpr int kMaxRounds = 16;

constexpr std::size_t kCancelEvery = 256;

enum class Fate : std::uint8_t { Stays, Fails, Moves };

// One round of planning with fixed candidates.
struct Round {
    std::vector<std::int32_t> number; // the running number each candidate was made with
    TNameBlock candidate;
    std::vector<RunError> error;     // of the candidate itself (too long, no such sub-folder...)
    std::vector<int> target;         // the place of the candidate, when it has no error
    std::vector<Fate> fate;          // the outcome of the round
    std::vector<RunError> fateError; // of a Fails
    std::vector<int> holder;         // a Moves entry: the entry that must move first, or -1
};

class Planner {
public:
    Planner(const std::vector<TRunEntry>& entries, const RenameOptionSet& options, RenameMode mode,
            TFileCalls& calls)
        : entries_(entries), options_(options), mode_(mode),
          places_(std::make_unique<TPlanPlaces>(calls)) {}

    // false when cancelled.
    bool Plan(const std::atomic<bool>& cancel, TRenamePlan& plan, bool withSteps);

private:
    void LocateEntries();
    void ShareOutPlaces();
    void MakeCandidate(std::size_t i, std::int32_t number);
    void Resolve();
    // The error that keeps entry `i` from moving whatever the others do, or none.
    RunError Error(std::size_t i) const {
        return ownError_[i] != 0 ? ownError_[i]
               : gone_[i]        ? ENOENT
               : blocked_[i]     ? blocked_[i]
                                 : round_.error[i];
    }
    // The running number after `successes` renames, while it rises.
    std::int32_t NumberAfter(std::int64_t successes) const {
        return NumberAtPosition(options_.NumberIncValue, successes);
    }
    // Per entry, the counter its successes go to: its folder's with NumberPerFolder, else
    // the run's one (0).
    void FindCounters();
    std::size_t CounterOf(std::size_t i) const {
        return counter_.empty() ? 0 : static_cast<std::size_t>(counter_[i]);
    }
    void FollowRenamedFolders();
    // The folder that entry `i`'s file is in now.
    const std::string& PathOf(std::size_t i) const {
        const auto moved = movedTo_.find(i);
        return moved == movedTo_.end() ? entries_[i].Path.str() : moved->second;
    }
    void FindPaths();
    // The moving entries whose folders lie on the way to moving entry `i`.
    template <class Each> void ForEachFolderOf(std::size_t i, Each&& each);
    // false, with entries blocked, when some moves cannot be ordered.
    bool OrderSteps();
    void ForgetTables();
    void WriteSteps(TRenamePlan& plan);

    const std::vector<TRunEntry>& entries_;
    const RenameOptionSet& options_;
    const RenameMode mode_;
    // Gone, with the other tables of the planning, before the steps are written out, and
    // before the candidates of round_, which its places view.
    std::unique_ptr<TPlanPlaces> places_;
    std::vector<int> own_; // the place of each entry's file
    std::vector<int> ownError_;
    std::vector<int> holders_; // per place: the entry whose file is there, or -1
    // Entries listed at the same place as an earlier one (the same file listed twice, or
    // an entry whose file is gone beside one that took its name): the next one, or -1.
    std::vector<int> sameNext_;
    std::vector<int> sharedHeads_; // the first entry of each such place
    std::vector<char> gone_;       // per entry, this round: another entry moves its file
    // Per entry: the errno value it fails with because the plan cannot put its move
    // before that of a folder on its way, or 0.
    std::vector<int> blocked_;
    // Per entry: its folder's index in pathPlaces_, the places of the folders on the way
    // to it (TPlanPlaces::FoldersOnPath).
    std::vector<int> pathOf_;
    std::vector<std::vector<int>> pathPlaces_;
    // The entries found in a folder by another path than their own (FollowRenamedFolders),
    // with that path; kept until the steps are written out.
    std::unordered_map<std::size_t, std::string> movedTo_;
    Round round_;
    // The steps in order, written out only once the tables above are gone: the entry,
    // its kind, and for a Park or an Unpark the index of its temporary name.
    struct Ordered {
        int entry;
        TPlanStep::Kind kind;
        int temporary;
    };
    std::vector<Ordered> order_;
    std::vector<std::string> temporaries_;
    // Per entry, the counter its successes go to, with NumberPerFolder; else empty, every
    // entry counting with the run's one.
    std::vector<int> counter_;
    std::size_t counters_ = 1;
};

void Planner::FindCounters() {
    const std::size_t count = entries_.size();
    if (!options_.NumberIncEnabled || !options_.NumberPerFolder)
        return;
    counter_.assign(count, 0);
    std::unordered_map<std::string_view, int> known;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0 && entries_[i].Path == entries_[i - 1].Path) {
            counter_[i] = counter_[i - 1];
            continue;
        }
        counter_[i] =
            known.try_emplace(entries_[i].Path, static_cast<int>(known.size())).first->second;
    }
    counters_ = std::max<std::size_t>(known.size(), 1);
}

void Planner::LocateEntries() {
    const std::size_t count = entries_.size();
    // Each entry's name and its candidate.
    places_->Reserve(2 * count + 64);
    own_.resize(count);
    ownError_.assign(count, 0);
    bool folderGone = false;
    for (std::size_t i = 0; i < count; ++i) {
        ownError_[i] = places_->Locate(entries_[i].Path, entries_[i].Name, own_[i]);
        folderGone = folderGone || ownError_[i] == ENOENT;
    }
    if (folderGone && mode_ == RenameMode::Undo)
        FollowRenamedFolders();
    holders_.assign(static_cast<std::size_t>(places_->PlaceCount()), -1);
    sameNext_.assign(count, -1);
    gone_.assign(count, 0);
    std::vector<int> last(holders_.size(), -1);
    for (std::size_t i = 0; i < count; ++i) {
        if (ownError_[i] != 0)
            continue;
        const auto place = static_cast<std::size_t>(own_[i]);
        if (holders_[place] < 0) {
            holders_[place] = static_cast<int>(i);
        } else {
            if (sameNext_[static_cast<std::size_t>(holders_[place])] < 0 &&
                last[place] == holders_[place])
                sharedHeads_.push_back(holders_[place]);
            sameNext_[static_cast<std::size_t>(last[place])] = static_cast<int>(i);
        }
        last[place] = static_cast<int>(i);
    }
}

// Of the entries at one place, the first that moves takes the file along, as in a run
// in list order; any later one that would move finds it gone. One that stays touches
// nothing. (Whether a file is there at all is asked only where it matters.)
void Planner::ShareOutPlaces() {
    for (const int head : sharedHeads_) {
        int mover = -1;
        for (int k = head; k >= 0; k = sameNext_[static_cast<std::size_t>(k)]) {
            const auto at = static_cast<std::size_t>(k);
            gone_[at] = 0;
            if (round_.candidate[at] == entries_[at].Name || round_.error[at] != 0 ||
                blocked_[at] != 0)
                continue;
            if (mover < 0)
                mover = k;
            else
                gone_[at] = 1;
        }
        holders_[static_cast<std::size_t>(own_[static_cast<std::size_t>(head)])] =
            mover >= 0 ? mover : head;
    }
}

// An entry inside a folder that the run being undone renamed names the folder by its old
// name, which is gone until the folder's own entry is taken back: its file is found in
// the folder under its new name (in an undo the entry's name, and the old name its undo
// name), and moved there, before the folder.
void Planner::FollowRenamedFolders() {
    // The place of each undo name; a folder inside a renamed folder is found in a later
    // pass than that folder.
    std::unordered_map<int, int> undoing;
    std::vector<char> known(entries_.size(), 0);
    for (bool found = true; found;) {
        found = false;
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            const TRunEntry& entry = entries_[i];
            int place = -1;
            if (ownError_[i] == 0 && !known[i] && entry.CanUndo && entry.PrevName != entry.Name &&
                places_->Target(PathOf(i), entry.Name, entry.PrevName, entry.PrevName, place) == 0)
                undoing.emplace(place, static_cast<int>(i));
            known[i] = ownError_[i] == 0;
        }
        // Per path of an entry whose folder is gone: the path with the folders' new names.
        std::unordered_map<std::string, std::string> followed;
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (ownError_[i] != ENOENT)
                continue;
            const auto [it, added] = followed.emplace(entries_[i].Path, std::string());
            std::string& path = it->second;
            if (added) {
                path = entries_[i].Path;
                bool changed = false;
                for (std::size_t begin = path.starts_with('/') ? 1 : 0, end;
                     (end = path.find('/', begin)) != std::string::npos; begin = end + 1) {
                    const auto folder = undoing.find(places_->FolderPlace(
                        path.substr(0, begin), std::string_view(path).substr(begin, end - begin)));
                    if (folder == undoing.end())
                        continue;
                    const std::string& now =
                        entries_[static_cast<std::size_t>(folder->second)].Name;
                    path.replace(begin, end - begin, now);
                    end = begin + now.size();
                    changed = true;
                }
                if (!changed)
                    path.clear();
            }
            if (!path.empty() && places_->Locate(path, entries_[i].Name, own_[i]) == 0) {
                ownError_[i] = 0;
                movedTo_.insert_or_assign(i, path);
                found = true;
            }
        }
    }
}

void Planner::MakeCandidate(std::size_t i, std::int32_t number) {
    const TRunEntry& entry = entries_[i];
    round_.number[i] = number;
    RunError fault;
    const std::string candidate =
        CandidateName(mode_, options_, number, entry.Name, entry.CanUndo, entry.PrevName, fault,
                      entry.Tags ? &entry.Tags->Values : nullptr, entry.HandName.get());
    // Set first: the candidate's place keeps a view of its text in the block.
    round_.candidate.Set(i, candidate);
    round_.error[i] = fault != 0 || candidate == entry.Name
                          ? fault
                          : places_->Target(PathOf(i), entry.Name, candidate, round_.candidate[i],
                                            round_.target[i]);
}

// Outcomes for fixed candidates. Each entry that may move wants the name held by at most
// one other, so the entries form chains, which end in a free name or in one that stays
// taken, and cycles, whose members all succeed. A name several entries want goes to the
// one whose move lets the most files move: the member of a cycle (any other taking it
// would stop the whole cycle), else the one with the longest chain waiting behind it, a
// tie to the first in list order; so the outcome does not hang on the list's order but
// for ties, and no other choice renames more. One pass from the far ends of the chains
// inwards, with explicit stacks, so that a chain of a hundred thousand files costs no
// deep recursion.
void Planner::Resolve() {
    constexpr int kFree = -1, kTaken = -2;
    constexpr std::uint8_t kOut = 0, kUnknown = 1, kOnPath = 2, kDone = 3, kCycle = 4;
    const std::size_t count = entries_.size();
    // Per entry that may move: the entry holding its target, or kFree / kTaken.
    std::vector<int> next(count, kTaken);
    std::vector<std::uint8_t> state(count, kOut);
    // Per place: the entry of the round that has it.
    std::vector<int> claims(static_cast<std::size_t>(places_->PlaceCount()), -1);
    ShareOutPlaces();
    for (std::size_t i = 0; i < count; ++i) {
        round_.holder[i] = -1;
        // A name the engine could not compute comes back unchanged, with its error: the
        // entry fails before anything of it is looked at, as in the run in list order.
        if (round_.candidate[i] == entries_[i].Name) {
            round_.fate[i] = round_.error[i] != 0 ? Fate::Fails : Fate::Stays;
            round_.fateError[i] = round_.error[i];
            continue;
        }
        const RunError error = Error(i);
        round_.fate[i] = Fate::Fails;
        round_.fateError[i] = error != 0 ? error : EEXIST; // EEXIST unless it wins below
        if (error == 0)
            state[i] = kUnknown;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (state[i] != kUnknown)
            continue;
        const auto target = static_cast<std::size_t>(round_.target[i]);
        const int holder = target < holders_.size() ? holders_[target] : -1;
        // A holder that stays or fails keeps the name, if its file is there at all; one
        // that may move was found in its folder when its move was checked.
        if (holder >= 0 && state[static_cast<std::size_t>(holder)] != kOut)
            next[i] = holder; // itself: a change of letter case on a folder that ignores it
        else
            next[i] = places_->Present(round_.target[i]) ? kTaken : kFree;
    }

    // The cycles.
    std::vector<int> path;
    for (std::size_t start = 0; start < count; ++start) {
        int i = static_cast<int>(start);
        while (i >= 0 && state[static_cast<std::size_t>(i)] == kUnknown) {
            state[static_cast<std::size_t>(i)] = kOnPath;
            path.push_back(i);
            i = next[static_cast<std::size_t>(i)];
        }
        const bool cycle = i >= 0 && state[static_cast<std::size_t>(i)] == kOnPath;
        for (const int k : path)
            state[static_cast<std::size_t>(k)] = kDone;
        for (int k = i; cycle && state[static_cast<std::size_t>(k)] != kCycle;
             k = next[static_cast<std::size_t>(k)])
            state[static_cast<std::size_t>(k)] = kCycle;
        path.clear();
    }

    // The longest chain behind each entry outside the cycles, from the chains' far ends
    // (the entries nobody waits for) inwards; each name goes to its best claimant.
    std::vector<int> behind(count, 0);
    std::vector<int> waiters(count, 0);
    for (std::size_t i = 0; i < count; ++i)
        if (state[i] == kDone && next[i] >= 0)
            ++waiters[static_cast<std::size_t>(next[i])];
    for (std::size_t i = 0; i < count; ++i)
        if (state[i] == kDone && waiters[i] == 0)
            path.push_back(static_cast<int>(i));
    while (!path.empty()) {
        const int c = path.back();
        path.pop_back();
        const auto at = static_cast<std::size_t>(c);
        int& claim = claims[static_cast<std::size_t>(round_.target[at])];
        if (claim < 0 || behind[at] > behind[static_cast<std::size_t>(claim)] ||
            (behind[at] == behind[static_cast<std::size_t>(claim)] && c < claim))
            claim = c;
        const int holder = next[at];
        if (holder < 0 || state[static_cast<std::size_t>(holder)] == kCycle)
            continue;
        const auto h = static_cast<std::size_t>(holder);
        behind[h] = std::max(behind[h], behind[at] + 1);
        if (--waiters[h] == 0)
            path.push_back(holder);
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (state[i] != kCycle)
            continue;
        round_.fate[i] = Fate::Moves;
        round_.fateError[i] = 0;
        if (next[i] != static_cast<int>(i))
            round_.holder[i] = next[i];
    }

    // Each free name's claimant moves, and after it the best claimant of its own name,
    // and so on down the chain.
    for (std::size_t i = 0; i < count; ++i) {
        if (state[i] != kDone || next[i] != kFree ||
            claims[static_cast<std::size_t>(round_.target[i])] != static_cast<int>(i))
            continue;
        for (int k = static_cast<int>(i), holder = -1; k >= 0;) {
            const auto at = static_cast<std::size_t>(k);
            round_.fate[at] = Fate::Moves;
            round_.fateError[at] = 0;
            round_.holder[at] = holder;
            holder = k;
            k = claims[static_cast<std::size_t>(own_[at])];
            if (k == holder)
                break;
        }
    }
}

void Planner::FindPaths() {
    const std::size_t count = entries_.size();
    pathOf_.assign(count, 0);
    std::unordered_map<std::string_view, int> known;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& path = PathOf(i);
        if (i > 0 && path == PathOf(i - 1)) {
            pathOf_[i] = pathOf_[i - 1];
            continue;
        }
        const auto [it, added] = known.emplace(path, static_cast<int>(pathPlaces_.size()));
        if (added) {
            pathPlaces_.emplace_back();
            places_->FoldersOnPath(path, pathPlaces_.back());
        }
        pathOf_[i] = it->second;
    }
}

template <class Each> void Planner::ForEachFolderOf(std::size_t i, Each&& each) {
    auto visit = [&](const std::vector<int>& places) {
        for (const int place : places) {
            const auto p = static_cast<std::size_t>(place);
            const int folder = p < holders_.size() ? holders_[p] : -1;
            if (folder >= 0 && static_cast<std::size_t>(folder) != i &&
                round_.fate[static_cast<std::size_t>(folder)] == Fate::Moves)
                each(folder);
        }
    };
    visit(pathPlaces_[static_cast<std::size_t>(pathOf_[i])]);
    // A new name that leads into a sub-folder goes through that folder as well.
    const std::string_view candidate = round_.candidate[i];
    if (const std::size_t slash = candidate.rfind('/'); slash != std::string_view::npos) {
        std::vector<int> places;
        places_->FoldersOnPath(std::string(PathOf(i)).append(candidate.substr(0, slash + 1)),
                               places);
        visit(places);
    }
}

bool Planner::Plan(const std::atomic<bool>& cancel, TRenamePlan& plan, bool withSteps) {
    const std::size_t count = entries_.size();
    LocateEntries();
    FindPaths();
    blocked_.assign(count, 0);
    round_.number.assign(count, 0);
    round_.candidate.Assign(count);
    round_.error.assign(count, 0);
    round_.target.assign(count, {});
    round_.fate.assign(count, Fate::Stays);
    round_.fateError.assign(count, 0);
    round_.holder.assign(count, -1);

    const bool rises = mode_ == RenameMode::Rename && options_.NumberIncEnabled;
    const bool perFolder = options_.NumberIncEnabled && options_.NumberPerFolder;
    // The window cancels a prediction often, and a round over a large list takes a while.
    const auto cancelled = [&](std::size_t i) {
        return i % kCancelEvery == 0 && cancel.load(std::memory_order_acquire);
    };
    // The first round hopes that every file before an entry is renamed.
    FindCounters();
    std::vector<std::int64_t> successes(counters_, 0);
    for (std::size_t i = 0; i < count; ++i) {
        if (cancelled(i))
            return false;
        std::int64_t& before = successes[CounterOf(i)];
        MakeCandidate(i, rises ? NumberAfter(before) : options_.NumberIncValue);
        ++before;
    }

    // Each pass that cannot order the moves blocks at least one more entry.
    for (std::size_t blocked = 0;; ++blocked) {
        bool settled = false;
        for (int round = 0; round < kMaxRounds && !settled; ++round) {
            Resolve();
            settled = true;
            std::fill(successes.begin(), successes.end(), 0);
            for (std::size_t i = 0; i < count; ++i) {
                if (cancelled(i))
                    return false;
                std::int64_t& before = successes[CounterOf(i)];
                const std::int32_t number = rises ? NumberAfter(before) : options_.NumberIncValue;
                if (number != round_.number[i]) {
                    settled = false;
                    MakeCandidate(i, number);
                }
                before += round_.fate[i] == Fate::Moves;
            }
        }
        if (!settled || blocked > count)
            return false;
        if (OrderSteps())
            break;
    }

    // The folders' names and the tables of the rounds are not needed from here on; gone
    // before the prediction is made, they leave room for it (a million names take a few
    // hundred megabytes).
    ForgetTables();
    TPrediction& prediction = plan.Prediction;
    prediction.Entries.resize(count);
    std::fill(successes.begin(), successes.end(), 0);
    for (std::size_t i = 0; i < count; ++i) {
        TPredictedEntry& out = prediction.Entries[i];
        out.Candidate = round_.candidate[i];
        // The number of this moment in undo mode too, as in the prediction in list order.
        std::int64_t& before = successes[CounterOf(i)];
        out.Number = options_.NumberIncEnabled ? NumberAfter(before) : options_.NumberIncValue;
        before += round_.fate[i] == Fate::Moves;
        out.Error = round_.fateError[i];
        out.Outcome = round_.fate[i] == Fate::Stays   ? RenameOutcome::Unchanged
                      : round_.fate[i] == Fate::Fails ? RenameOutcome::Failed
                                                      : RenameOutcome::Renamed;
        CountOutcome(prediction.Tally, out.Outcome);
    }
    // Undo raises the number with each file back as well, as the run in list order does.
    // A folder's own number leaves the options' one as it was.
    prediction.Tally.NumberIncValue = options_.NumberIncEnabled && !perFolder
                                          ? NumberAfter(prediction.Tally.Renamed)
                                          : options_.NumberIncValue;
    round_ = {};
    if (withSteps)
        WriteSteps(plan);
    return true;
}

// A hundred thousand names take tens of megabytes in these tables, as many as the steps:
// the two are never held at once. The candidates and their fates are kept for the
// prediction.
void Planner::ForgetTables() {
    places_.reset();
    for (std::vector<int>* table : {&round_.target, &round_.holder})
        std::vector<int>().swap(*table);
    std::vector<std::int32_t>().swap(round_.number);
    std::vector<RunError>().swap(round_.error);
    for (std::vector<int>* table :
         {&own_, &ownError_, &holders_, &sameNext_, &sharedHeads_, &blocked_, &pathOf_})
        std::vector<int>().swap(*table);
    std::vector<char>().swap(gone_);
    std::vector<std::vector<int>>().swap(pathPlaces_);
}

void Planner::WriteSteps(TRenamePlan& plan) {
    const std::vector<TPredictedEntry>& predicted = plan.Prediction.Entries;
    plan.Steps.reserve(order_.size());
    for (const Ordered& step : order_) {
        const auto at = static_cast<std::size_t>(step.entry);
        const TRunEntry& entry = entries_[at];
        std::string from = step.kind == TPlanStep::Unpark
                               ? temporaries_[static_cast<std::size_t>(step.temporary)]
                               : entry.Name;
        std::string to = step.kind == TPlanStep::Park
                             ? temporaries_[static_cast<std::size_t>(step.temporary)]
                             : predicted[at].Candidate;
        plan.Steps.push_back({step.entry, step.kind, PathOf(at), std::move(from), std::move(to)});
    }
    std::vector<Ordered>().swap(order_);
    std::vector<std::string>().swap(temporaries_);
}

// Each entry that moves waits for at most one other (the holder of its target), and
// each is waited for by at most one (a name has one claimant that wins), so the moves
// form chains and cycles. A chain goes from its free end; a cycle begins by parking one
// member under a temporary name and ends by moving it to its new name. What lies inside
// a folder moves before the folder, whose move would cut the way to it (and an undo,
// last first, then takes the folder back first): the units (a Final step outside a
// cycle; a whole cycle) go in an order that puts each after every unit it waits for,
// depth first, so that a chain stays in one piece.
bool Planner::OrderSteps() {
    const std::size_t count = entries_.size();
    std::vector<int> waiting(count, -1); // the entry that waits for this one to move
    for (std::size_t i = 0; i < count; ++i)
        if (round_.fate[i] == Fate::Moves && round_.holder[i] >= 0)
            waiting[static_cast<std::size_t>(round_.holder[i])] = static_cast<int>(i);
    // Per moving entry: its unit, named by the entry of its Final step or by the parked
    // member of its cycle.
    std::vector<int> unit(count, -1);
    std::vector<int> seeds;
    std::size_t steps = 0; // a Final step per move, and a second step per cycle
    for (std::size_t i = 0; i < count; ++i) {
        steps += round_.fate[i] == Fate::Moves;
        if (round_.fate[i] != Fate::Moves || round_.holder[i] >= 0)
            continue;
        seeds.push_back(static_cast<int>(i));
        for (int k = static_cast<int>(i); k >= 0; k = waiting[static_cast<std::size_t>(k)])
            unit[static_cast<std::size_t>(k)] = k;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (round_.fate[i] != Fate::Moves || unit[i] >= 0)
            continue;
        seeds.push_back(static_cast<int>(i));
        ++steps;
        int k = static_cast<int>(i);
        do {
            unit[static_cast<std::size_t>(k)] = static_cast<int>(i);
            k = waiting[static_cast<std::size_t>(k)];
        } while (k != static_cast<int>(i));
    }

    // How many units each unit waits for.
    std::vector<int> waitsFor(count, 0);
    bool conflict = false;
    for (std::size_t i = 0; i < count; ++i) {
        if (round_.fate[i] != Fate::Moves)
            continue;
        const int holder = round_.holder[i];
        if (holder >= 0 && unit[static_cast<std::size_t>(holder)] != unit[i])
            ++waitsFor[i]; // a link of a chain
        ForEachFolderOf(i, [&](int folder) {
            const int after = unit[static_cast<std::size_t>(folder)];
            if (after == unit[i]) {
                blocked_[i] = ENOENT;
                conflict = true;
            }
            ++waitsFor[static_cast<std::size_t>(after)];
        });
    }
    if (conflict)
        return false;

    order_.clear();
    order_.reserve(steps);
    temporaries_.clear();
    auto final = [&](int entry) {
        order_.push_back({entry, TPlanStep::Final, -1});
    };
    std::vector<int> ready;
    auto release = [&](int entry) {
        ForEachFolderOf(static_cast<std::size_t>(entry), [&](int folder) {
            const int after = unit[static_cast<std::size_t>(folder)];
            if (--waitsFor[static_cast<std::size_t>(after)] == 0)
                ready.push_back(after);
        });
    };
    for (auto seed = seeds.rbegin(); seed != seeds.rend(); ++seed)
        if (waitsFor[static_cast<std::size_t>(*seed)] == 0)
            ready.push_back(*seed);
    while (!ready.empty()) {
        const int u = ready.back();
        ready.pop_back();
        const auto at = static_cast<std::size_t>(u);
        if (round_.holder[at] < 0 || unit[static_cast<std::size_t>(round_.holder[at])] != u) {
            final(u);
            release(u);
            // Last, so that the chain goes on next.
            if (const int next = waiting[at];
                next >= 0 && --waitsFor[static_cast<std::size_t>(next)] == 0)
                ready.push_back(next);
            continue;
        }
        // Clear of the folder's files and of every name the planning met.
        const auto temporary = static_cast<int>(temporaries_.size());
        temporaries_.push_back(places_->FreeName(own_[at]));
        order_.push_back({u, TPlanStep::Park, temporary});
        for (int k = waiting[at]; k != u; k = waiting[static_cast<std::size_t>(k)])
            final(k);
        order_.push_back({u, TPlanStep::Unpark, temporary});
        for (int k = u;;) {
            release(k);
            if ((k = waiting[static_cast<std::size_t>(k)]) == u)
                break;
        }
    }

    // Units left over wait for each other: an entry inside a folder that cannot move
    // before it. Such an entry is not tried, and fails as it would after the folder.
    // Blocked first are the entries that wait, through the holders of their new names,
    // for the folder they are in (the others may only wait behind them); should none
    // be, every entry left over inside a folder left over.
    auto leftOver = [&](int entry) {
        return waitsFor[static_cast<std::size_t>(unit[static_cast<std::size_t>(entry)])] > 0;
    };
    for (const bool narrow : {true, false}) {
        for (std::size_t i = 0; i < count; ++i) {
            if (round_.fate[i] != Fate::Moves || !leftOver(static_cast<int>(i)))
                continue;
            ForEachFolderOf(i, [&](int folder) {
                if (!leftOver(folder))
                    return;
                bool waits = !narrow;
                for (int k = round_.holder[i], hops = 0;
                     !waits && k >= 0 && hops < static_cast<int>(count);
                     k = round_.holder[static_cast<std::size_t>(k)], ++hops)
                    waits =
                        unit[static_cast<std::size_t>(k)] == unit[static_cast<std::size_t>(folder)];
                if (waits) {
                    blocked_[i] = ENOENT;
                    conflict = true;
                }
            });
        }
        if (conflict)
            break;
    }
    return !conflict;
}

// The run in list order, for a list whose numbering never settles: its successes, in
// their order, are the steps.
TRenamePlan ListOrderPlan(const std::vector<TRunEntry>& entries, const RenameOptionSet& options,
                          RenameMode mode, const std::atomic<bool>& cancel, TFileCalls& calls) {
    TRenamePlan plan;
    plan.Prediction = PredictListOrder(entries, options, mode, cancel, calls);
    for (std::size_t i = 0; i < plan.Prediction.Entries.size(); ++i) {
        const TPredictedEntry& predicted = plan.Prediction.Entries[i];
        if (predicted.Outcome == RenameOutcome::Renamed)
            plan.Steps.push_back({static_cast<int>(i), TPlanStep::Final, entries[i].Path,
                                  entries[i].Name, predicted.Candidate});
    }
    return plan;
}

} // namespace

namespace {

TRenamePlan Planned(const std::vector<TRunEntry>& entries, const RenameOptionSet& options,
                    RenameMode mode, const std::atomic<bool>& cancel, TFileCalls& calls,
                    bool withSteps) {
    TRenamePlan plan;
    if (!Planner(entries, options, mode, calls).Plan(cancel, plan, withSteps)) {
        if (cancel.load(std::memory_order_acquire)) {
            plan = {};
            plan.Prediction.Tally.Cancelled = true;
        } else {
            plan = ListOrderPlan(entries, options, mode, cancel, calls);
        }
    }
    plan.FirstNumber = options.NumberIncValue;
    plan.NumberRises = options.NumberIncEnabled && !options.NumberPerFolder;
    return plan;
}

} // namespace

TRenamePlan PlanRenames(const std::vector<TRunEntry>& entries, const RenameOptionSet& options,
                        RenameMode mode, const std::atomic<bool>& cancel, TFileCalls& calls) {
    return Planned(entries, options, mode, cancel, calls, true);
}

TPrediction PredictPlanned(const std::vector<TRunEntry>& entries, const RenameOptionSet& options,
                           RenameMode mode, const std::atomic<bool>& cancel, TFileCalls& calls) {
    return Planned(entries, options, mode, cancel, calls, false).Prediction;
}

} // namespace qm
