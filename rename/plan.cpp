#include "rename/plan.h"

#include "engine/newname.h"
#include "rename/planplaces.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace qm {
namespace {

// The range of the window's counter control, which shows the value.
constexpr std::int64_t kMaxNumber = 999999;

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
    std::vector<std::string> candidate;
    std::vector<int> error;     // of the candidate itself (too long, no such sub-folder...)
    std::vector<int> target;    // the place of the candidate, when it has no error
    std::vector<Fate> fate;     // the outcome of the round
    std::vector<int> fateError; // errno of a Fails
    std::vector<int> holder;    // a Moves entry: the entry that must move first, or -1
};

class Planner {
public:
    Planner(const std::vector<TRunEntry>& entries, const RenameOptionSet& options, RenameMode mode,
            TFileCalls& calls)
        : entries_(entries), options_(options), mode_(mode), places_(calls) {}

    // false when cancelled.
    bool Plan(const std::atomic<bool>& cancel, TRenamePlan& plan);

private:
    void LocateEntries();
    void ShareOutPlaces();
    void MakeCandidate(std::size_t i, std::int32_t number);
    void Resolve();
    void Settle(std::vector<int>& path, std::vector<std::uint8_t>& state, Fate fate, int error);
    std::int32_t NumberAfter(std::int64_t successes) const {
        return static_cast<std::int32_t>(
            std::clamp<std::int64_t>(options_.NumberIncValue + successes, 0, kMaxNumber));
    }
    void WriteSteps(TRenamePlan& plan);

    const std::vector<TRunEntry>& entries_;
    const RenameOptionSet& options_;
    const RenameMode mode_;
    TPlanPlaces places_;
    std::vector<int> own_; // the place of each entry's file
    std::vector<int> ownError_;
    std::vector<int> holders_; // per place: the entry whose file is there, or -1
    std::vector<int> claims_;  // per place: the first entry of the round that wants it
    // Entries listed at the same place as an earlier one (the same file listed twice, or
    // an entry whose file is gone beside one that took its name): the next one, or -1.
    std::vector<int> sameNext_;
    std::vector<int> sharedHeads_; // the first entry of each such place
    std::vector<char> gone_;       // per entry, this round: another entry moves its file
    Round round_;
};

void Planner::LocateEntries() {
    const std::size_t count = entries_.size();
    own_.resize(count);
    ownError_.assign(count, 0);
    for (std::size_t i = 0; i < count; ++i)
        ownError_[i] = places_.Locate(entries_[i].Path, entries_[i].Name, own_[i]);
    holders_.assign(static_cast<std::size_t>(places_.PlaceCount()), -1);
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
            if (round_.candidate[at] == entries_[at].Name || round_.error[at] != 0)
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

void Planner::MakeCandidate(std::size_t i, std::int32_t number) {
    const TRunEntry& entry = entries_[i];
    round_.number[i] = number;
    std::string& candidate = round_.candidate[i];
    if (mode_ == RenameMode::Undo)
        candidate = entry.CanUndo ? entry.PrevName : entry.Name;
    else
        candidate = ComputeNewName(options_, entry.Name, number);
    round_.error[i] = candidate == entry.Name
                          ? 0
                          : places_.Target(entry.Path, entry.Name, candidate, round_.target[i]);
}

constexpr std::uint8_t kUnknown = 0, kOnPath = 1, kDone = 2;

// Marks every entry on `path` (each waiting for the next) with the outcome of its end.
void Planner::Settle(std::vector<int>& path, std::vector<std::uint8_t>& state, Fate fate,
                     int error) {
    for (const int i : path) {
        const auto at = static_cast<std::size_t>(i);
        round_.fate[at] = fate;
        round_.fateError[at] = fate == Fate::Fails ? error : 0;
        state[at] = kDone;
    }
    path.clear();
}

// Outcomes for fixed candidates. An entry moves when its target is free once the entries
// that succeed have moved away: the target's holder must succeed itself, so outcomes
// follow chains of holders to their end (a free name, a name that stays taken, or a
// cycle, whose members all succeed). Walked with an explicit path, so that a chain of a
// hundred thousand files costs no deep recursion.
void Planner::Resolve() {
    const std::size_t count = entries_.size();
    std::vector<std::uint8_t> state(count, kDone);
    claims_.assign(static_cast<std::size_t>(places_.PlaceCount()), -1);
    ShareOutPlaces();
    for (std::size_t i = 0; i < count; ++i) {
        round_.holder[i] = -1;
        round_.fateError[i] = 0;
        if (round_.candidate[i] == entries_[i].Name) {
            round_.fate[i] = Fate::Stays;
            continue;
        }
        const int error = ownError_[i] != 0 ? ownError_[i] : gone_[i] ? ENOENT : round_.error[i];
        // A name two entries want goes to the first in list order, as in a run in list
        // order; the later one fails even when the first fails for another reason.
        if (error == 0) {
            int& claim = claims_[static_cast<std::size_t>(round_.target[i])];
            if (claim >= 0) {
                round_.fate[i] = Fate::Fails;
                round_.fateError[i] = EEXIST;
                continue;
            }
            claim = static_cast<int>(i);
        }
        round_.fate[i] = error == 0 ? Fate::Moves : Fate::Fails;
        round_.fateError[i] = error;
        state[i] = error == 0 ? kUnknown : kDone;
    }

    std::vector<int> path;
    for (std::size_t start = 0; start < count; ++start) {
        int i = static_cast<int>(start);
        while (state[static_cast<std::size_t>(i)] == kUnknown) {
            const auto at = static_cast<std::size_t>(i);
            state[at] = kOnPath;
            path.push_back(i);
            const auto target = static_cast<std::size_t>(round_.target[at]);
            int next = target < holders_.size() ? holders_[target] : -1;
            // An entry whose file is gone holds nothing. One that moves was found in its
            // folder when its move was checked.
            if (next >= 0 && next != i && state[static_cast<std::size_t>(next)] == kDone &&
                round_.fate[static_cast<std::size_t>(next)] != Fate::Moves &&
                !places_.Present(own_[static_cast<std::size_t>(next)]))
                next = -1;
            if (next < 0) {
                // Taken by a file outside the run, or free.
                const bool taken = places_.Present(round_.target[at]);
                Settle(path, state, taken ? Fate::Fails : Fate::Moves, EEXIST);
                break;
            }
            const auto nextAt = static_cast<std::size_t>(next);
            if (next == i) { // a change of letter case alone on a folder that ignores it
                Settle(path, state, Fate::Moves, 0);
                break;
            }
            if (state[nextAt] == kOnPath) {
                // A cycle: every member succeeds.
                round_.holder[at] = next;
                Settle(path, state, Fate::Moves, 0);
                break;
            }
            if (state[nextAt] == kDone) {
                // A holder that stays or fails keeps the name taken.
                const bool frees = round_.fate[nextAt] == Fate::Moves;
                if (frees)
                    round_.holder[at] = next;
                Settle(path, state, frees ? Fate::Moves : Fate::Fails, EEXIST);
                break;
            }
            round_.holder[at] = next;
            i = next;
        }
    }
}

bool Planner::Plan(const std::atomic<bool>& cancel, TRenamePlan& plan) {
    const std::size_t count = entries_.size();
    LocateEntries();
    round_.number.assign(count, 0);
    round_.candidate.assign(count, {});
    round_.error.assign(count, 0);
    round_.target.assign(count, {});
    round_.fate.assign(count, Fate::Stays);
    round_.fateError.assign(count, 0);
    round_.holder.assign(count, -1);

    const bool rises = mode_ == RenameMode::Rename && options_.NumberIncEnabled;
    // The window cancels a prediction often, and a round over a large list takes a while.
    const auto cancelled = [&](std::size_t i) {
        return i % kCancelEvery == 0 && cancel.load(std::memory_order_acquire);
    };
    // The first round hopes that every file before an entry is renamed.
    for (std::size_t i = 0; i < count; ++i) {
        if (cancelled(i))
            return false;
        MakeCandidate(i,
                      rises ? NumberAfter(static_cast<std::int64_t>(i)) : options_.NumberIncValue);
    }

    bool settled = false;
    for (int round = 0; round < kMaxRounds && !settled; ++round) {
        Resolve();
        settled = true;
        std::int64_t successes = 0;
        for (std::size_t i = 0; i < count; ++i) {
            if (cancelled(i))
                return false;
            const std::int32_t number = rises ? NumberAfter(successes) : options_.NumberIncValue;
            if (number != round_.number[i]) {
                settled = false;
                MakeCandidate(i, number);
            }
            successes += round_.fate[i] == Fate::Moves;
        }
    }
    if (!settled)
        return false;

    TPrediction& prediction = plan.Prediction;
    prediction.Entries.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        TPredictedEntry& out = prediction.Entries[i];
        out.Candidate = round_.candidate[i];
        out.Error = round_.fateError[i];
        switch (round_.fate[i]) {
        case Fate::Stays:
            out.Outcome = RenameOutcome::Unchanged;
            ++prediction.Tally.Unchanged;
            break;
        case Fate::Fails:
            out.Outcome = RenameOutcome::Failed;
            ++prediction.Tally.Failed;
            break;
        case Fate::Moves:
            out.Outcome = RenameOutcome::Renamed;
            ++prediction.Tally.Renamed;
            break;
        }
    }
    prediction.Tally.NumberIncValue =
        rises ? NumberAfter(prediction.Tally.Renamed) : options_.NumberIncValue;
    WriteSteps(plan);
    return true;
}

// Each entry that moves waits for at most one other (the holder of its target), and
// each is waited for by at most one (the first claim of a name wins), so the moves form
// chains and cycles. A chain goes from its free end; a cycle begins by parking one
// member under a temporary name and ends by moving it to its new name.
void Planner::WriteSteps(TRenamePlan& plan) {
    const std::size_t count = entries_.size();
    std::vector<int> waiting(count, -1); // the entry that waits for this one to move
    for (std::size_t i = 0; i < count; ++i)
        if (round_.fate[i] == Fate::Moves && round_.holder[i] >= 0)
            waiting[static_cast<std::size_t>(round_.holder[i])] = static_cast<int>(i);

    std::vector<TPlanStep>& steps = plan.Steps;
    steps.reserve(count);
    std::vector<char> written(count, 0);
    auto write = [&](int entry, TPlanStep::Kind kind, std::string from, std::string to) {
        const TRunEntry& e = entries_[static_cast<std::size_t>(entry)];
        steps.push_back({entry, kind, e.Path, std::move(from), std::move(to)});
        written[static_cast<std::size_t>(entry)] = 1;
    };
    auto final = [&](int entry) {
        const auto at = static_cast<std::size_t>(entry);
        write(entry, TPlanStep::Final, entries_[at].Name, round_.candidate[at]);
    };
    for (std::size_t i = 0; i < count; ++i) {
        if (round_.fate[i] != Fate::Moves || round_.holder[i] >= 0)
            continue;
        for (int k = static_cast<int>(i); k >= 0; k = waiting[static_cast<std::size_t>(k)])
            final(k);
    }

    for (std::size_t i = 0; i < count; ++i) {
        if (round_.fate[i] != Fate::Moves || written[i])
            continue;
        const int parked = static_cast<int>(i);
        // Clear of the folder's files and of every name the planning met.
        std::string temporary = places_.FreeName(own_[i]);
        write(parked, TPlanStep::Park, entries_[i].Name, temporary);
        for (int k = waiting[i]; k != parked; k = waiting[static_cast<std::size_t>(k)])
            final(k);
        write(parked, TPlanStep::Unpark, std::move(temporary), round_.candidate[i]);
    }
}

// The run in list order, for a list whose numbering never settles: its successes, in
// their order, are the steps.
TRenamePlan ListOrderPlan(const std::vector<TRunEntry>& entries, const RenameOptionSet& options,
                          RenameMode mode, const std::atomic<bool>& cancel, TFileCalls& calls) {
    TRenamePlan plan;
    plan.Prediction = PredictRenames(entries, options, mode, RunOrder::ListOrder, cancel, calls);
    for (std::size_t i = 0; i < plan.Prediction.Entries.size(); ++i) {
        const TPredictedEntry& predicted = plan.Prediction.Entries[i];
        if (predicted.Outcome == RenameOutcome::Renamed)
            plan.Steps.push_back({static_cast<int>(i), TPlanStep::Final, entries[i].Path,
                                  entries[i].Name, predicted.Candidate});
    }
    return plan;
}

} // namespace

TRenamePlan PlanRenames(const std::vector<TRunEntry>& entries, const RenameOptionSet& options,
                        RenameMode mode, const std::atomic<bool>& cancel, TFileCalls& calls) {
    TRenamePlan plan;
    if (!Planner(entries, options, mode, calls).Plan(cancel, plan)) {
        if (cancel.load(std::memory_order_acquire)) {
            plan = {};
            plan.Prediction.Tally.Cancelled = true;
        } else {
            plan = ListOrderPlan(entries, options, mode, cancel, calls);
        }
    }
    plan.FirstNumber = options.NumberIncValue;
    plan.NumberRises = mode == RenameMode::Rename && options.NumberIncEnabled;
    return plan;
}

} // namespace qm
