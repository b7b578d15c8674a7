#pragma once

// A path as the command line gives it, split the way the rename takes it: the folder the
// entry is renamed in and its bare name. The views point into the path given, which must
// outlive them. Also the reading of a list of paths (--files-from), kept here so that the
// list fuzzer reads lists through the same code as the rename.

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

// Calls `each` for every name of a list; blank lines (or empty NUL-separated items) name
// nothing, every other byte belongs to a name, CR included.
template <class Each> void ForEachListed(std::string_view text, char separator, Each&& each) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos)
            end = text.size();
        if (end > start)
            each(text.substr(start, end - start));
        start = end + 1;
    }
}

} // namespace qm::cli
