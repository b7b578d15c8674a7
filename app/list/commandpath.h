#pragma once

// A path as the command line names a file: split into its folder and bare name, a
// relative path taken from the current folder. Pure: no Qt, no I/O.

#include <string>

namespace qm {

// `path` is the folder, ending in "/"; `name` the bare name.
struct SplitPath {
    std::string path;
    std::string name;
};
// `currentFolder` ends in "/".
SplitPath SplitCommandLinePath(const std::string& arg, const std::string& currentFolder);

} // namespace qm
