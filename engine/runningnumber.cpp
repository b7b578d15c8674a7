#include "engine/runningnumber.h"

#include <string_view>
#include <unordered_map>

namespace qm {

std::vector<std::int64_t> NumberPositions(const std::vector<TCompanionEntry>& entries,
                                          bool perFolder, bool companions) {
    std::vector<int> heads;
    if (companions) {
        TCompanions found = FindCompanions(entries);
        if (found.Any)
            heads = std::move(found.Head);
    }
    std::vector<std::int64_t> positions(entries.size());
    std::unordered_map<std::string_view, std::int64_t> counted;
    std::int64_t listed = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        // A group takes its number at its first member, which comes first in the list.
        if (!heads.empty() && heads[i] >= 0 && static_cast<std::size_t>(heads[i]) != i) {
            positions[i] = positions[static_cast<std::size_t>(heads[i])];
            continue;
        }
        positions[i] = perFolder ? counted[entries[i].Folder]++ : listed++;
    }
    return positions;
}

} // namespace qm
