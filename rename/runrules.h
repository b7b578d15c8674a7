#pragma once

// The rules every form of the rename run keeps, whether it renames (RunRenames, RunPlan,
// the journaled runs) or only works out what a run would do (PredictRenames, the plan,
// the window's marks): which name an entry is tried under, how the running number moves,
// and how an outcome is counted. Each is written here once, so that a prediction cannot
// part from the run it predicts.

#include "engine/newname.h"
#include "engine/renameoptionset.h"
#include "engine/runningnumber.h"
#include "rename/runerror.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>

namespace qm {

enum class RenameMode {
    Rename, // the name the options give, computed with the running number
    Undo,   // the name before the last successful rename, where there is one
};

enum class RenameOutcome {
    Renamed,   // the file has its new name on disk and in the entry
    Unchanged, // the name was already right; the file was not touched
    Failed,    // the rename was refused; nothing changed on disk
};

struct RenameTally {
    int Renamed = 0;
    int Unchanged = 0;
    int Failed = 0;
    // The running number after the run: the options' NumberIncValue, raised once per
    // success while NumberIncEnabled is on (NumberAfterRename).
    std::int32_t NumberIncValue = 0;
    // The cancel flag stopped the run before its last entry.
    bool Cancelled = false;
};

// The error of a name the options could not compute; none for NameFault::None.
constexpr RunError PatternError(NameFault fault) {
    return fault == NameFault::PatternInvalid ? RunError::Of(RunFault::PatternInvalid)
           : fault == NameFault::PatternLimit ? RunError::Of(RunFault::PatternLimit)
                                              : RunError();
}

// The name the run tries for an entry named `name`: in undo mode `prevName`, its name
// before the last successful rename, when it has one (`canUndo`), else `name`; in rename
// mode the name the options give `name` with the running number `number`. The entry is
// left as it is (Unchanged) when this equals `name` byte for byte.
//
// A name the options cannot compute (a pattern that does not compile, or one that went
// beyond its limits on this name) comes back as `name` with `error` set to
// PatternError of the fault: the entry is then a failure with that error, and nothing
// is moved. Otherwise `error` is none.
//
// `tags` are the entry's tags for the inserted texts (null: none read, every tag missing);
// a missing tag is no error: the name stands with its fallback or nothing in its place.
//
// `handName`, when not null, is the new name the user typed for the entry: in rename mode
// it is the candidate whatever the options say (never an error of the options); undo mode
// does not read it.
inline std::string CandidateName(RenameMode mode, const RenameOptionSet& options,
                                 std::int32_t number, const std::string& name, bool canUndo,
                                 const std::string& prevName, RunError& error,
                                 const TagValues* tags = nullptr,
                                 const std::string* handName = nullptr) {
    error = {};
    if (mode == RenameMode::Undo)
        return canUndo ? prevName : name;
    if (handName != nullptr)
        return *handName;
    NewName computed = ComputeNewNameChecked(options, name, number, NameTags{tags, nullptr});
    error = PatternError(computed.Fault);
    return std::move(computed.Name);
}

// The running number after a rename that succeeds: raised by one, within
// 0..MaxNumberIncValue, while it `rises` (the options' NumberIncEnabled, in undo mode as
// well); else as it was. A failure or an unchanged entry leaves it as it is.
constexpr std::int32_t NumberAfterRename(std::int32_t number, bool rises) {
    return rises ? NumberAfterSuccess(number) : number;
}

// The running number an entry is named with: the run's one (the options' NumberIncValue,
// which then rises with each success), or with NumberPerFolder each folder's own, which
// starts at the options' value and rises with each success in that folder alone. A
// folder is its path as the entry lists it.
class TRunningNumbers {
public:
    explicit TRunningNumbers(RenameOptionSet& run)
        : run_(run), perFolder_(run.NumberPerFolder && run.NumberIncEnabled) {}

    // Whether a success raises the run's own number (and is reported as such).
    bool RunNumberRises() const { return run_.NumberIncEnabled && !perFolder_; }
    // The number for an entry of `folder`, to read and to raise.
    std::int32_t& For(const std::string& folder) {
        if (!perFolder_)
            return run_.NumberIncValue;
        // Entries of one folder mostly come together.
        if (last_ == nullptr || folder != *lastFolder_) {
            const auto [it, added] = numbers_.try_emplace(folder, run_.NumberIncValue);
            lastFolder_ = &it->first;
            last_ = &it->second;
        }
        return *last_;
    }

private:
    RenameOptionSet& run_;
    const bool perFolder_;
    std::unordered_map<std::string, std::int32_t> numbers_;
    const std::string* lastFolder_ = nullptr;
    std::int32_t* last_ = nullptr;
};

// Counts one entry's outcome into the tally.
inline void CountOutcome(RenameTally& tally, RenameOutcome outcome) {
    ++(outcome == RenameOutcome::Renamed     ? tally.Renamed
       : outcome == RenameOutcome::Unchanged ? tally.Unchanged
                                             : tally.Failed);
}

} // namespace qm
