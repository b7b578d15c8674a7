#pragma once

// The rename engine: the new bare file name for a bare file name, a number and an
// option set. Pure for its callers: no I/O, and the same answer for the same input;
// safe on any thread while `options` holds still. (The only state is each thread's own
// compiled replace patterns, replacepatterns.h.)
//
// With InsertTags on, month names come from InterfaceMonthNames() (tagtext.h) unless the
// caller hands its own: the one setting that is not an argument, like the language itself.
//
// Names are UTF-8. Positions and lengths count code points; bytes that are not valid
// UTF-8 pass through unchanged wherever the options do not touch them.

#include "engine/renameoptionset.h"
#include "engine/runningnumber.h"
#include "engine/tagtext.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qm {


// Why a name could not be computed (replacepatterns.h). With a fault the name is the
// one handed in, unchanged.
enum class NameFault {
    None,
    PatternInvalid, // a find text that does not compile as a pattern
    PatternLimit,   // a pattern went beyond its match or depth limit on this name
};

struct NewName {
    std::string Name;
    NameFault Fault = NameFault::None;
    int Pair = -1; // 0-based index of the pair at fault, -1 without a fault
    // With InsertTags: an inserted text had a tag without a value (the name holds its
    // fallback or nothing in its place; TagExpansion::MissingTag names the first), or a
    // tag that is not understood (kept as typed). Neither is a fault: the name stands.
    bool TagMissing = false;
    bool TagUnknown = false;
    std::string MissingTag;
};

// What an entry's tags hold, for the insert texts when InsertTags is on. Values null:
// no tag has a value (every tag counts as missing). Months null: InterfaceMonthNames().
struct NameTags {
    const TagValues* Values = nullptr;
    const MonthNames* Months = nullptr;
};

// The new name of `name` with the running number `number`.
std::string ComputeNewName(const RenameOptionSet& options, std::string_view name,
                           std::int32_t number, const NameTags& tags = {});

// ComputeNewName with the fault told; ComputeNewName returns the Name of this. `tags`
// matter only with InsertTags on; the engine never reads a file for them.
NewName ComputeNewNameChecked(const RenameOptionSet& options, std::string_view name,
                              std::int32_t number, const NameTags& tags = {});

// The TagSource bits (tagtext.h) the option set's inserted texts need for its names:
// 0 unless InsertGroup and InsertTags are on and an enabled insert text holds a tag.
unsigned TagSourcesNeeded(const RenameOptionSet& options);

// ComputeNewName with options.NumberIncValue as the number.
std::string ComputeNextNewName(const RenameOptionSet& options, std::string_view name);

} // namespace qm
