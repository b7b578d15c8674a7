#include "rename/plan.h"

#include "engine/newname.h"
#include "rename/planplaces.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace qm {
namespace {

// The range of the window's counter control, which shows the value.
constexpr std::int64_t kMaxNumber = 999999;

// Renumbering settles in two or three rounds. Numbering can also keep flipping: a
// success shifts a later file's number onto a taken name, its failure blocks the first
// file, which shifts the number back. Such a list has no consistent planned outcome, and
// after this many rounds the run goes in list order instead.
constexpr int kMaxRounds = 16;

enum class Fate : std::uint8_t { Stays, Fails, Moves };

// One round of planning with fixed candidates.
struct Round {
    std::vector<std::int32_t> number; // the running number each candidate was made with
    std::vector<std::string> candidate;
    std::vector<int> error;     // of the candidate itself (too long, no such sub-folder...)
    std::vector<Place> target;  // where the candidate lies, when it has no error
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
    std::vector<Place> own_;
    std::vector<int> ownError_;
    std::unordered_map<Place, int, PlaceHash> holders_; // place -> the entry whose file is there
    Round round_;
};

void Planner::LocateEntries() {
    const std::size_t count = entries_.size();
    own_.resize(count);
    ownError_.assign(count, 0);
    holders_.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        bool present = false;
        int& error = ownError_[i];
        error = places_.Locate(entries_[i].Path, entries_[i].Name, own_[i], present);
        // The same file listed twice: the first entry moves it, the second finds it gone.
        if (error == 0 && (!present || !holders_.emplace(own_[i], static_cast<int>(i)).second))
            error = ENOENT;
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
    round_.error[i] =
        candidate == entry.Name ? 0 : places_.Target(entry.Path, candidate, round_.target[i]);
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
    std::unordered_map<Place, int, PlaceHash> claims;
    claims.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        round_.holder[i] = -1;
        round_.fateError[i] = 0;
        if (round_.candidate[i] == entries_[i].Name) {
            round_.fate[i] = Fate::Stays;
            continue;
        }
        const int error = ownError_[i] != 0 ? ownError_[i] : round_.error[i];
        // A name two entries want goes to the first in list order, as in a run in list
        // order; the later one fails even when the first fails for another reason.
        if (error == 0 && !claims.emplace(round_.target[i], static_cast<int>(i)).second) {
            round_.fate[i] = Fate::Fails;
            round_.fateError[i] = EEXIST;
            continue;
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
            const auto held = holders_.find(round_.target[at]);
            if (held == holders_.end()) {
                // Taken by a file outside the run, or free.
                const bool taken = places_.Present(round_.target[at]);
                Settle(path, state, taken ? Fate::Fails : Fate::Moves, EEXIST);
                break;
            }
            const int next = held->second;
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
    // The first round hopes that every file before an entry is renamed.
    std::vector<std::int32_t> wanted(count);
    for (std::size_t i = 0; i < count; ++i)
        wanted[i] = rises ? NumberAfter(static_cast<std::int64_t>(i)) : options_.NumberIncValue;
    for (std::size_t i = 0; i < count; ++i)
        MakeCandidate(i, wanted[i]);

    bool settled = false;
    for (int round = 0; round < kMaxRounds && !settled; ++round) {
        if (cancel.load(std::memory_order_acquire))
            return false;
        Resolve();
        settled = true;
        std::int64_t successes = 0;
        for (std::size_t i = 0; i < count; ++i) {
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

    // Temporary names keep clear of every target of the run as well as of the folder.
    std::unordered_set<Place, PlaceHash> targets;
    for (std::size_t i = 0; i < count; ++i)
        if (round_.fate[i] == Fate::Moves)
            targets.insert(round_.target[i]);
    for (std::size_t i = 0; i < count; ++i) {
        if (round_.fate[i] != Fate::Moves || written[i])
            continue;
        const int parked = static_cast<int>(i);
        std::string temporary = places_.FreeName(own_[i].folder, targets);
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
