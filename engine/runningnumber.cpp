#include "engine/runningnumber.h"

#include <numeric>
#include <unordered_map>

namespace qm {

std::vector<std::int64_t> NumberPositions(const std::vector<std::string_view>& folders,
                                          bool perFolder) {
    std::vector<std::int64_t> positions(folders.size());
    if (!perFolder) {
        std::iota(positions.begin(), positions.end(), std::int64_t{0});
        return positions;
    }
    std::unordered_map<std::string_view, std::int64_t> counted;
    for (std::size_t i = 0; i < folders.size(); ++i)
        positions[i] = counted[folders[i]]++;
    return positions;
}

} // namespace qm
