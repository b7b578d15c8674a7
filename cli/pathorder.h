#pragma once

// The order in which the command line numbers and renames its paths: as given, or by
// folder, then name, with the collation the renamer's list sorts its folder column by.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::cli {

enum class PathOrder {
    Given,   // the order of the arguments, then of the list
    Name,    // by folder, then name, as text
    Natural, // by folder, then name, runs of digits by their value
};

// "given", "name" or "natural"; nothing for any other text.
std::optional<PathOrder> ParsePathOrder(std::string_view text);

// Puts `paths` in `order`; each path is split into folder and name as the run splits it
// (SplitGivenPath). Paths that compare equal keep their order.
void SortPaths(std::vector<std::string>& paths, PathOrder order);

} // namespace qm::cli
