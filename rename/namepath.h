#pragma once

// What a new name says about where the file goes, as the run and its prediction both
// read it.

#include <cerrno>
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

// Whether a rename of `from` to `to` is refused before any system call, and with what:
// ENOENT for an empty name (it would stand for the folder itself), EINVAL for a name
// that would leave the folder (an old name so could name the folder itself or one above
// it), and EINVAL for a name holding a NUL byte, which the kernel would take as the end
// of the name (the file would get a name cut short, one nobody was shown). 0 when the
// rename may be tried.
inline int RefusedNames(std::string_view from, std::string_view to) {
    if (from.empty() || to.empty())
        return ENOENT;
    if (to.front() == '/' || LeavesTheFolder(to) || from.front() == '/' || LeavesTheFolder(from))
        return EINVAL;
    if (to.find('\0') != std::string_view::npos || from.find('\0') != std::string_view::npos)
        return EINVAL;
    return 0;
}

} // namespace qm
