#pragma once

// A path as the command line gives it, split the way the rename takes it: the folder the
// entry is renamed in and its bare name. The views point into the path given, which must
// outlive them.

#include <string_view>

namespace qm::cli {

struct GivenPath {
    std::string_view Folder;   // "" (the current folder) or ending in "/"
    std::string_view Name;     // the bare name that is renamed
    std::string_view Trailing; // the slashes given after the name, for messages
};

// A trailing "/" names the folder itself, and the folder itself is what gets renamed:
// "adir/" is the name "adir" in "", never an empty name in "adir/". "/" alone keeps its
// slash as the folder.
GivenPath SplitGivenPath(std::string_view path);

} // namespace qm::cli
