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

// The names of a list one at a time; blank lines (or empty NUL-separated items) name
// nothing, every other byte belongs to a name, CR included.
class TListedPaths {
public:
    TListedPaths(std::string_view text, char separator) : text_(text), separator_(separator) {}

    // The next path into `path`; false after the last.
    bool Next(std::string_view& path) {
        while (start_ < text_.size()) {
            std::size_t end = text_.find(separator_, start_);
            if (end == std::string_view::npos)
                end = text_.size();
            const std::size_t from = start_;
            start_ = end + 1;
            if (end > from) {
                path = text_.substr(from, end - from);
                return true;
            }
        }
        return false;
    }

private:
    std::string_view text_;
    char separator_;
    std::size_t start_ = 0;
};

// Calls `each` for every name of a list, as TListedPaths gives them.
template <class Each> void ForEachListed(std::string_view text, char separator, Each&& each) {
    TListedPaths paths(text, separator);
    for (std::string_view path; paths.Next(path);)
        each(path);
}

} // namespace qm::cli
