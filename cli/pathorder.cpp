#include "cli/pathorder.h"

#include "cli/givenpath.h"
#include "filelist/entrycomparer.h"

#include <algorithm>
#include <numeric>

namespace qm::cli {

std::optional<PathOrder> ParsePathOrder(std::string_view text) {
    if (text == "given")
        return PathOrder::Given;
    if (text == "name")
        return PathOrder::Name;
    if (text == "natural")
        return PathOrder::Natural;
    return std::nullopt;
}

void SortPaths(std::vector<std::string>& paths, PathOrder order) {
    if (order == PathOrder::Given)
        return;
    TEntryComparer comparer;
    comparer.SetNumbersByValue(order == PathOrder::Natural);
    // One key per path: collation keys are made once, not once per comparison.
    std::vector<std::string> keys;
    keys.reserve(paths.size());
    for (const std::string& path : paths) {
        const GivenPath split = SplitGivenPath(path);
        keys.push_back(comparer.PathKey(split.Folder, split.Name));
    }
    std::vector<std::size_t> slots(paths.size());
    std::iota(slots.begin(), slots.end(), std::size_t{0});
    std::stable_sort(slots.begin(), slots.end(),
                     [&keys](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    std::vector<std::string> sorted;
    sorted.reserve(paths.size());
    for (std::size_t slot : slots)
        sorted.push_back(std::move(paths[slot]));
    paths = std::move(sorted);
}

} // namespace qm::cli
