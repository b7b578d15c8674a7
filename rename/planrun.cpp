#include "filelist/fileitem.h"
#include "filelist/fileitems.h"
#include "rename/movefile.h"
#include "rename/plan.h"

#include <algorithm>
#include <cerrno>

namespace qm {
namespace {

class PlanRun {
public:
    PlanRun(TFileItems& items, const std::vector<TRunEntry>& entries, const TRenamePlan& plan,
            RenameMode mode, const RenameCallbacks& callbacks, const MoveEntryFile& move)
        : items_(items), entries_(entries), plan_(plan), mode_(mode), callbacks_(callbacks),
          move_(move), number_(plan.FirstNumber) {}

    RenameTally Run(const std::atomic<bool>& cancel);

private:
    // The entry `k` stands for, as long as the list still shows it as planned.
    TFileItem* Entry(int k) const;
    RunError Move(const TPlanStep& step, const std::string& from, const std::string& to) {
        return move_ ? move_(step.Folder, from, to) : folder_.Move(step.Folder, from, to);
    }
    void Reach(int k, TFileItem* entry, const std::string& to);
    // `moved`: the file failed but is no longer where it was (its name says where).
    void Report(int k, TFileItem* entry, RenameOutcome outcome, RunError error, bool moved = false);
    void Succeed(int k, TFileItem& entry, const std::string& to);
    void RunFinal(const TPlanStep& step);
    void RunCycle(std::size_t first, std::size_t last);
    void Step() {
        if (callbacks_.OnStep)
            callbacks_.OnStep(++done_);
    }

    TFileItems& items_;
    const std::vector<TRunEntry>& entries_;
    const TRenamePlan& plan_;
    const RenameMode mode_;
    const RenameCallbacks& callbacks_;
    const MoveEntryFile& move_;
    TMoveFolder folder_;
    RenameTally tally_;
    std::int32_t number_;
    int done_ = 0;
};

TFileItem* PlanRun::Entry(int k) const {
    const TRunEntry& planned = entries_[static_cast<std::size_t>(k)];
    TFileItem* entry = items_.Items(planned.Slot);
    if (entry == nullptr || entry->Name() != planned.Name || entry->Path() != planned.Path)
        return nullptr;
    return entry;
}

void PlanRun::Reach(int k, TFileItem* entry, const std::string& to) {
    if (entry == nullptr)
        return;
    entry->ClearRenamed();
    if (callbacks_.OnNames)
        callbacks_.OnNames(entries_[static_cast<std::size_t>(k)].Slot, entry->Name(), to);
}

void PlanRun::Report(int k, TFileItem* entry, RenameOutcome outcome, RunError error, bool moved) {
    if (outcome == RenameOutcome::Failed && entry != nullptr && mode_ == RenameMode::Rename &&
        !moved)
        entry->ClearPrevName(); // as in the run in list order: no part in this run
    CountOutcome(tally_, outcome);
    if (callbacks_.OnOutcome)
        callbacks_.OnOutcome(entries_[static_cast<std::size_t>(k)].Slot, outcome, error);
    Step();
}

void PlanRun::Succeed(int k, TFileItem& entry, const std::string& to) {
    if (mode_ == RenameMode::Undo)
        entry.UndoName();
    else
        entry.SetNewName(to);
    if (plan_.NumberRises) {
        number_ = NumberAfterRename(number_, true);
        if (callbacks_.OnNumber)
            callbacks_.OnNumber(number_);
    }
    Report(k, &entry, RenameOutcome::Renamed, 0);
}

void PlanRun::RunFinal(const TPlanStep& step) {
    TFileItem* entry = Entry(step.Entry);
    if (entry == nullptr) {
        Report(step.Entry, nullptr, RenameOutcome::Failed, ESTALE);
        return;
    }
    Reach(step.Entry, entry, step.To);
    // A holder that could not move away still holds the name: the move refuses.
    if (const RunError error = Move(step, step.From, step.To))
        Report(step.Entry, entry, RenameOutcome::Failed, error);
    else
        Succeed(step.Entry, *entry, step.To);
}

// Steps first..last: Park, the Finals of the members, Unpark.
void PlanRun::RunCycle(std::size_t first, std::size_t last) {
    const std::vector<TPlanStep>& steps = plan_.Steps;
    std::vector<TFileItem*> members;
    for (std::size_t s = first; s < last; ++s)
        members.push_back(Entry(steps[s].Entry));
    // A cycle runs whole or not at all.
    if (std::find(members.begin(), members.end(), nullptr) != members.end()) {
        for (std::size_t s = first; s < last; ++s)
            Report(steps[s].Entry, members[s - first], RenameOutcome::Failed, ESTALE);
        return;
    }

    for (TFileItem* member : members)
        member->ClearRenamed();
    std::size_t failed = last + 1; // the step refused, if any
    RunError error;
    for (std::size_t s = first; s <= last; ++s) {
        const TPlanStep& step = steps[s];
        if (s < last && callbacks_.OnNames)
            callbacks_.OnNames(entries_[static_cast<std::size_t>(step.Entry)].Slot, step.From,
                               steps[s == first ? last : s].To);
        error = Move(step, step.From, step.To);
        if (error != 0) {
            failed = s;
            break;
        }
    }
    // Taken back last first, so that each name is free again when its file returns.
    std::size_t kept = failed > last ? last + 1 : first; // steps first..kept-1 stay done
    RunError backError;
    if (failed <= last) {
        for (std::size_t s = failed; s-- > first;) {
            backError = Move(steps[s], steps[s].To, steps[s].From);
            if (backError != 0) {
                kept = s + 1;
                break;
            }
        }
    }

    for (std::size_t s = first; s < last; ++s) {
        const int k = steps[s].Entry;
        TFileItem& entry = *members[s - first];
        if (failed > last) {
            Succeed(k, entry, steps[s == first ? last : s].To);
        } else if (s == first && kept > first) {
            // The way back is blocked too: the file stays parked in its folder, and the
            // list says where.
            entry.SetNewName(steps[first].To);
            Report(k, &entry, RenameOutcome::Failed, backError, true);
        } else if (s != first && s < kept) {
            Succeed(k, entry, steps[s].To);
        } else {
            const bool refused = s == failed || (s == first && failed == last);
            Report(k, &entry, RenameOutcome::Failed, refused ? error : ECANCELED);
        }
    }
}

RenameTally PlanRun::Run(const std::atomic<bool>& cancel) {
    const std::vector<TPredictedEntry>& predicted = plan_.Prediction.Entries;
    // A plan that does not fit the entries is run not at all rather than wrongly.
    const bool fits =
        predicted.size() == entries_.size() &&
        std::all_of(plan_.Steps.begin(), plan_.Steps.end(), [&](const TPlanStep& step) {
            return step.Entry >= 0 && static_cast<std::size_t>(step.Entry) < entries_.size();
        });
    if (plan_.Prediction.Tally.Cancelled || !fits) {
        tally_.Cancelled = true;
        tally_.NumberIncValue = plan_.FirstNumber;
        return tally_;
    }
    auto cancelled = [&] {
        tally_.Cancelled = tally_.Cancelled || cancel.load(std::memory_order_acquire);
        return tally_.Cancelled;
    };

    // Empty slots count as done, as in the run in list order.
    std::vector<char> listed(static_cast<std::size_t>(items_.Count()), 0);
    for (const TRunEntry& entry : entries_)
        if (entry.Slot >= 0 && entry.Slot < items_.Count())
            listed[static_cast<std::size_t>(entry.Slot)] = 1;
    for (const char isListed : listed)
        if (!isListed)
            Step();

    std::vector<char> moves(entries_.size(), 0);
    for (const TPlanStep& step : plan_.Steps)
        moves[static_cast<std::size_t>(step.Entry)] = 1;
    for (std::size_t k = 0; k < entries_.size() && !cancelled(); ++k) {
        if (moves[k])
            continue;
        TFileItem* entry = Entry(static_cast<int>(k));
        if (entry != nullptr)
            entry->ClearRenamed();
        Report(static_cast<int>(k), entry, predicted[k].Outcome, predicted[k].Error);
    }

    const std::vector<TPlanStep>& steps = plan_.Steps;
    for (std::size_t s = 0; s < steps.size() && !cancelled(); ++s) {
        if (steps[s].Step != TPlanStep::Park) {
            RunFinal(steps[s]);
            continue;
        }
        std::size_t last = s + 1;
        while (last < steps.size() && steps[last].Step != TPlanStep::Unpark)
            ++last;
        if (last == steps.size())
            break; // a plan without its Unpark: nothing of it runs
        RunCycle(s, last);
        s = last;
    }
    tally_.NumberIncValue = number_;
    return tally_;
}

} // namespace

RenameTally RunPlan(TFileItems& items, const std::vector<TRunEntry>& entries,
                    const TRenamePlan& plan, RenameMode mode, const RenameCallbacks& callbacks,
                    const std::atomic<bool>& cancel, const MoveEntryFile& move) {
    return PlanRun(items, entries, plan, mode, callbacks, move).Run(cancel);
}

RenameTally RunPlannedRenames(TFileItems& items, const RenameOptionSet& options, RenameMode mode,
                              const RenameCallbacks& callbacks, const std::atomic<bool>& cancel,
                              const MoveEntryFile& move, TFileCalls& calls) {
    const std::vector<TRunEntry> entries = SnapshotEntries(items);
    const TRenamePlan plan = PlanRenames(entries, options, mode, cancel, calls);
    return RunPlan(items, entries, plan, mode, callbacks, cancel, move);
}

} // namespace qm
