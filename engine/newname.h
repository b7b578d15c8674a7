#pragma once

// The rename engine: the new bare file name for a bare file name, a number and an
// option set. Pure: no state, no I/O; safe on any thread while `options` holds still.
//
// Names are UTF-8. Positions and lengths count code points; bytes that are not valid
// UTF-8 pass through unchanged wherever the options do not touch them.

#include "engine/renameoptionset.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

std::string ComputeNewName(const RenameOptionSet& options, std::string_view name,
                           std::int32_t number);

// ComputeNewName with options.NumberIncValue as the number.
std::string ComputeNextNewName(const RenameOptionSet& options, std::string_view name);

// The running number never passes this value (the range of the start-number field): a run
// that reaches it gives every later file this number.
inline constexpr std::int32_t MaxNumberIncValue = 999999;

// The number of the file at the 0-based `position` of a list whose first file gets
// `start`, when every file before it is renamed: `start` + `position`, held within
// 0..MaxNumberIncValue as the run holds it. What a name shown before the run is computed
// with, so that it is the name the run gives.
std::int32_t NumberAtPosition(std::int32_t start, std::int64_t position);

} // namespace qm
