#pragma once

// The loop of the run in list order when it organizes (the options' CreateFolders,
// NumberTakenNames or RenameCompanions), in rename mode: RunListOrderLoop's entries,
// order, candidates, number and tally, and besides
//   - a new name whose folders are missing has them made, each just before the first
//     move into it (a name part "." or "..", or a name beginning with "/", fails the
//     entry with FolderPart; a folder part that is a file with FolderIsFile);
//   - a new name that is taken becomes the first free "name (2).ext", "name (3).ext", ...
//     (the form TakenNameForm() gives), the run trying each in turn with the rename that
//     never replaces, so that a name another program takes meanwhile is stepped over too;
//   - files that share a name (FindCompanions) go together when the first of them is
//     reached: the new name of the first member that has every tag the inserted texts
//     use (else of the first) is the group's, each member keeping its own ending (its
//     last extension as the options make it, any before it as they are); the group counts as one for the number, and moves whole or not at
//     all: a member that cannot move has the members moved before it taken back, and
//     every member fails (the others with CompanionFailed). A name typed by hand is never
//     grouped.
// Internal to rename/. `walk` is RunListOrderLoop's, with besides
//   const std::string& Folder() const;
//   TCompanionEntry Peek(std::size_t slot);   the slot's folder and name without reaching
//                                             it (Alone for an empty slot or a hand name)
//   RunError MakeFolder(std::size_t slot, const std::string& relative);   mkdirat in the
//                                             reached entry's folder
//   RunError MoveBack(std::size_t slot, const std::string& from);   the reached entry's
//                                             file from `from` back to Name()
//   bool FilePresent(std::size_t slot);       whether the reached entry's name is there
// Settle may come for an entry after a later one was reached; each is reached again
// before its own Settle. Both the run and the prediction go through this one loop, so the
// prediction stays the run.

#include "engine/organize.h"
#include "rename/runrules.h"

#include <cerrno>
#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qm {

// Whether a run with `options` organizes, and goes through RunOrganizingLoop.
constexpr bool Organizes(const RenameOptionSet& options) {
    return options.CreateFolders || options.NumberTakenNames || options.RenameCompanions;
}

namespace organize {

// The highest number a taken name is given before the entry fails with EEXIST after all.
inline constexpr int kMaxTakenNumber = 99999;

// With CreateFolders, the refusal of a new name's folder parts: "." or "..", a name that
// begins with "/" (it would leave the file's folder) or ends in one; none otherwise.
inline RunError FolderPartsError(const std::string& name) {
    if (name.find('/') == std::string::npos)
        return {};
    // A name ending in "/" would leave the file with no name of its own.
    if (name.front() == '/' || name.back() == '/')
        return RunError::Of(RunFault::FolderPart);
    for (std::size_t begin = 0; begin <= name.size();) {
        const std::size_t end = std::min(name.find('/', begin), name.size());
        const std::string_view part = std::string_view(name).substr(begin, end - begin);
        if (part == "." || part == "..")
            return RunError::Of(RunFault::FolderPart);
        begin = end + 1;
    }
    return {};
}

template <class Walk> class OrganizingLoop {
public:
    OrganizingLoop(Walk& walk, RenameOptionSet& run)
        : walk_(walk), run_(run), numbers_(run), form_(TakenNameForm()) {}

    RenameTally Run() {
        const std::size_t count = walk_.Count();
        if (run_.RenameCompanions) {
            std::vector<TCompanionEntry> peeked(count);
            for (std::size_t slot = 0; slot < count; ++slot)
                peeked[slot] = walk_.Peek(slot);
            companions_ = FindCompanions(peeked);
        }
        settled_.assign(count, 0);
        for (std::size_t slot = 0; slot < count; ++slot) {
            if (walk_.Cancelled(slot)) {
                tally_.Cancelled = true;
                break;
            }
            if (!settled_[slot] && walk_.Reach(slot)) {
                if (companions_.Any && companions_.Head[slot] == static_cast<int>(slot))
                    Group(slot);
                else
                    Single(slot);
            }
            walk_.Step(slot);
        }
        tally_.NumberIncValue = run_.NumberIncValue;
        return tally_;
    }

private:
    // One move of the reached entry to `to`, its folders made where they are missing.
    RunError MoveOne(std::size_t slot, const std::string& to) {
        const bool inFolder = run_.CreateFolders && to.find('/') != std::string::npos;
        if (inFolder)
            if (const RunError refused = FolderPartsError(to))
                return refused;
        RunError error = walk_.Move(slot, to);
        // No folder is made for a file that is not there.
        if (inFolder && error == ENOENT && walk_.FilePresent(slot)) {
            bool made = false;
            for (std::size_t slash = to.find('/'); slash != std::string::npos && error == ENOENT;
                 slash = to.find('/', slash + 1)) {
                if (slash == 0 || to[slash - 1] == '/')
                    continue;
                const RunError answer = walk_.MakeFolder(slot, to.substr(0, slash));
                if (answer == 0)
                    made = true;
                else if (answer != EEXIST)
                    error = answer;
            }
            // None made: the folders were there, and the file is what is missing.
            if (made && error == ENOENT)
                error = walk_.Move(slot, to);
        }
        if (inFolder && error == ENOTDIR)
            error = RunError::Of(RunFault::FolderIsFile);
        return error;
    }

    // The first number to try for a taken name: past the ones this run gave already.
    int& NextNumber(const std::string& folder, std::string_view base) {
        std::string key = folder;
        key += '\0';
        key += base;
        return nextNumber_.try_emplace(std::move(key), 2).first->second;
    }

    void Single(std::size_t slot) {
        std::int32_t& running = numbers_.For(walk_.Folder());
        const std::int32_t number = running;
        RunError error;
        std::string candidate =
            CandidateName(RenameMode::Rename, run_, number, walk_.Name(), false, walk_.Name(),
                          error, walk_.Tags(), walk_.HandName());
        RenameOutcome outcome = RenameOutcome::Unchanged;
        if (error != 0) {
            outcome = RenameOutcome::Failed;
        } else if (candidate != walk_.Name()) {
            error = MoveOne(slot, candidate);
            if (error == EEXIST && run_.NumberTakenNames) {
                const std::size_t at = EndingAt(candidate, 1);
                const std::string base = candidate.substr(0, at);
                const std::string ending = candidate.substr(at);
                int& next = NextNumber(walk_.Folder(), base);
                for (int n = next; error == EEXIST && n <= kMaxTakenNumber; ++n) {
                    std::string numbered = NumberedName(base, ending, n, form_);
                    error = MoveOne(slot, numbered);
                    if (error != EEXIST) {
                        candidate = std::move(numbered);
                        next = n + 1;
                    }
                }
            }
            outcome = error == 0 ? RenameOutcome::Renamed : RenameOutcome::Failed;
        }
        const bool rose = Rise(running, outcome == RenameOutcome::Renamed);
        CountOutcome(tally_, outcome);
        walk_.Settle(slot, outcome, std::move(candidate), error, number, rose);
    }

    // Raises the number after a success; whether the run's own number rose.
    bool Rise(std::int32_t& running, bool renamed) {
        if (!renamed || !run_.NumberIncEnabled)
            return false;
        running = NumberAfterRename(running, true);
        return numbers_.RunNumberRises();
    }

    struct Member {
        std::size_t slot = 0;
        std::string name;
        std::string ending;    // of its new name, as the options make it
        bool complete = false; // every tag the inserted texts use had a value
        std::string candidate;
        RenameOutcome outcome = RenameOutcome::Unchanged;
        RunError error;
    };

    void Group(std::size_t head) {
        std::int32_t& running = numbers_.For(walk_.Folder());
        const std::int32_t number = running;
        std::vector<Member> members;
        RunError fault;
        std::size_t faulty = 0;
        std::size_t leader = 0;
        bool haveLeader = false;
        for (int k = static_cast<int>(head); k >= 0; k = companions_.Next[static_cast<std::size_t>(k)]) {
            const auto slot = static_cast<std::size_t>(k);
            walk_.Reach(slot);
            Member m;
            m.slot = slot;
            m.name = walk_.Name();
            // The options name the shared part with the member's last extension; the
            // extensions between ("IMG_1.CR2.xmp") stay as they are.
            const std::string_view ending = std::string_view(m.name).substr(companions_.Shared[slot]);
            const std::size_t lastAt = EndingAt(ending, 1);
            const std::string_view last = ending.substr(lastAt);
            const std::string named =
                m.name.substr(0, companions_.Shared[slot]) + std::string(last);
            NewName made = ComputeNewNameChecked(run_, named, number, NameTags{walk_.Tags(), nullptr});
            if (made.Fault != NameFault::None && fault == 0) {
                fault = PatternError(made.Fault);
                faulty = members.size();
            }
            const std::size_t at = EndingAt(made.Name, last.empty() ? 0 : 1);
            m.ending = std::string(ending.substr(0, lastAt)) + made.Name.substr(at);
            m.complete = !made.TagMissing;
            if (!haveLeader && m.complete) {
                leader = members.size();
                haveLeader = true;
            }
            m.candidate = made.Name.substr(0, at); // the shared part, for the leader's use
            members.push_back(std::move(m));
        }
        const std::string base = members[leader].candidate;
        bool changes = false;
        for (Member& m : members) {
            m.candidate = base + m.ending;
            changes = changes || m.candidate != m.name;
        }

        bool renamed = false;
        if (fault != 0) {
            for (std::size_t i = 0; i < members.size(); ++i) {
                members[i].outcome = RenameOutcome::Failed;
                members[i].candidate = members[i].name;
                members[i].error = i == faulty ? fault : RunError::Of(RunFault::CompanionFailed);
            }
        } else if (changes) {
            int* next = nullptr;
            for (int n = 1;; ++n) {
                if (n > 1) {
                    if (next == nullptr) {
                        next = &NextNumber(walk_.Folder(), base);
                        n = *next;
                    }
                    for (Member& m : members)
                        m.candidate = NumberedName(base, m.ending, n, form_);
                }
                const RunError error = MoveGroup(members);
                if (error == 0) {
                    renamed = true;
                    if (next != nullptr)
                        *next = n + 1;
                    break;
                }
                if (error != EEXIST || !run_.NumberTakenNames || n >= kMaxTakenNumber ||
                    TakenBackFailed(members))
                    break;
            }
        }
        for (Member& m : members)
            CountOutcome(tally_, m.outcome);
        const bool rose = Rise(running, renamed);
        for (std::size_t i = 0; i < members.size(); ++i) {
            Member& m = members[i];
            settled_[m.slot] = 1;
            walk_.Reach(m.slot);
            walk_.Settle(m.slot, m.outcome, std::move(m.candidate), m.error, number,
                         rose && i == 0);
        }
    }

    static bool TakenBackFailed(const std::vector<Member>& members) {
        for (const Member& m : members)
            if (m.outcome == RenameOutcome::Renamed)
                return true;
        return false;
    }

    // Moves every member that changes, in list order; on a refusal takes back the ones
    // moved, last first, and fails the group. Returns the refusal, or none.
    RunError MoveGroup(std::vector<Member>& members) {
        std::size_t refused = members.size();
        RunError error;
        for (std::size_t i = 0; i < members.size(); ++i) {
            Member& m = members[i];
            m.error = {};
            m.outcome = RenameOutcome::Unchanged;
            if (m.candidate == m.name)
                continue;
            walk_.Reach(m.slot);
            error = MoveOne(m.slot, m.candidate);
            if (error != 0) {
                refused = i;
                break;
            }
            m.outcome = RenameOutcome::Renamed;
        }
        if (refused == members.size())
            return {};
        for (std::size_t i = refused; i-- > 0;) {
            Member& m = members[i];
            if (m.outcome != RenameOutcome::Renamed)
                continue;
            walk_.Reach(m.slot);
            // Should it not go back, the file keeps its new name, which the list shows.
            if (walk_.MoveBack(m.slot, m.candidate) == 0)
                m.outcome = RenameOutcome::Failed;
        }
        for (std::size_t i = 0; i < members.size(); ++i) {
            Member& m = members[i];
            if (m.outcome == RenameOutcome::Renamed)
                continue;
            m.outcome = RenameOutcome::Failed;
            m.error = i == refused ? error : RunError::Of(RunFault::CompanionFailed);
            if (i != refused)
                m.candidate = m.name;
        }
        return error;
    }

    Walk& walk_;
    RenameOptionSet& run_;
    TRunningNumbers numbers_;
    const std::string form_;
    RenameTally tally_;
    TCompanions companions_;
    std::vector<char> settled_;
    std::unordered_map<std::string, int> nextNumber_;
};

} // namespace organize

template <class Walk> RenameTally RunOrganizingLoop(Walk& walk, RenameOptionSet& run) {
    return organize::OrganizingLoop<Walk>(walk, run).Run();
}

} // namespace qm
