#pragma once

// The rename engine: the new bare file name for a bare file name, a number and an
// option set. Pure for its callers: no I/O, and the same answer for the same input;
// safe on any thread while `options` holds still. (The only state is each thread's own
// compiled replace patterns, replacepatterns.h.)
//
// Names are UTF-8. Positions and lengths count code points; bytes that are not valid
// UTF-8 pass through unchanged wherever the options do not touch them.

#include "engine/renameoptionset.h"
#include "engine/runningnumber.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

std::string ComputeNewName(const RenameOptionSet& options, std::string_view name,
                           std::int32_t number);

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
};

// ComputeNewName with the fault told; ComputeNewName returns the Name of this.
NewName ComputeNewNameChecked(const RenameOptionSet& options, std::string_view name,
                              std::int32_t number);

// ComputeNewName with options.NumberIncValue as the number.
std::string ComputeNextNewName(const RenameOptionSet& options, std::string_view name);

} // namespace qm
