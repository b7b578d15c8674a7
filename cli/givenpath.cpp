#include "cli/givenpath.h"

namespace qm::cli {

GivenPath SplitGivenPath(std::string_view path) {
    std::size_t end = path.size();
    while (end > 1 && path[end - 1] == '/')
        --end;
    GivenPath split;
    split.Trailing = path.substr(end);
    const std::size_t slash = end == 0 ? std::string_view::npos : path.rfind('/', end - 1);
    if (slash == std::string_view::npos) {
        split.Name = path.substr(0, end);
    } else {
        split.Folder = path.substr(0, slash + 1);
        split.Name = path.substr(slash + 1, end - slash - 1);
    }
    return split;
}

} // namespace qm::cli
