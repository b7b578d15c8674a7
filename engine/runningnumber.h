#pragma once

// The running number of a rename run: where it may go and how it rises. The engine puts
// it into names, the run raises it, the window's controls and the command line accept it
// in this range; all of them take the range from here.

#include "engine/organize.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace qm {

// The running number never passes this value (the range of the start-number field): a run
// that reaches it gives every later file this number.
inline constexpr std::int32_t MaxNumberIncValue = 999999;

// The number of the file at the 0-based `position` of a list whose first file gets
// `start`, when every file before it is renamed: `start` + `position`, held within
// 0..MaxNumberIncValue as the run holds it. What a name shown before the run is computed
// with, so that it is the name the run gives.
constexpr std::int32_t NumberAtPosition(std::int32_t start, std::int64_t position) {
    // A list is far shorter than 2^62, so the sum cannot overflow.
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(std::int64_t{start} + position, 0, MaxNumberIncValue));
}

// The number after a rename that succeeds, while the increasing number is on: one more,
// held within 0..MaxNumberIncValue.
constexpr std::int32_t NumberAfterSuccess(std::int32_t number) {
    return NumberAtPosition(number, 1);
}

// The position of each entry of a list for NumberAtPosition, when every entry is renamed:
// its place in the list, or with `perFolder` (NumberPerFolder with the number on) its
// place among the entries of its own folder; with `companions` (RenameCompanions) the
// files that share a name (FindCompanions of organize.h) count as one, each member at its
// group's first member's place. `entries` are in list order; the views need to live only
// for the call.
std::vector<std::int64_t> NumberPositions(const std::vector<TCompanionEntry>& entries,
                                          bool perFolder, bool companions);

} // namespace qm
