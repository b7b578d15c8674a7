#pragma once

// What a new name says about where the file goes, as the run and its prediction both
// read it.

#include <cstddef>
#include <string_view>

namespace qm {

// A new name with a ".." part would move the file out of its folder.
inline bool LeavesTheFolder(std::string_view to) {
    std::size_t start = 0;
    while (start <= to.size()) {
        std::size_t end = to.find('/', start);
        if (end == std::string_view::npos)
            end = to.size();
        if (to.substr(start, end - start) == "..")
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace qm
