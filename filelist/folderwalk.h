#pragma once

// Lists the files of a folder, optionally with those of its subfolders, depth first: a
// subfolder's files come at the place where the subfolder was met, before the rest of
// its parent. Hidden entries are listed like the others. A folder reached again through
// a link (the same device and inode) is walked once, so a link back to an ancestor
// cannot make the walk go on for ever and no file of it is listed twice.
//
// Pure file-system reading on the calling thread; no Qt. Names and folders are bytes as
// the file system has them ("/" is the only delimiter).

#include "filelist/fileitems.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace qm {

// Called now and then with the number of files listed so far; false stops the walk
// (what was listed up to then stays in the result).
using WalkProgress = std::function<bool(std::size_t listed)>;

struct FolderWalkResult {
    std::vector<TFileItems::NewEntry> Files; // in walk order; each Path ends in "/"
    bool Cancelled = false;
};

// Lists the files under `folder` ("/" is appended when missing). Everything that is not
// a directory counts as a file (links to files, devices, pipes); a link to a directory
// is a directory. A folder that cannot be read lists nothing.
FolderWalkResult WalkFolder(const std::string& folder, bool subFolders,
                            const WalkProgress& progress = nullptr);

} // namespace qm
