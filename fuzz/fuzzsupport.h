#pragma once

// Pieces the fuzz targets share. A failed property check aborts, which libFuzzer reports
// as a crash with the input that caused it.

#include <cstdlib>
#include <dirent.h>
#include <string>
#include <unistd.h>

namespace qm::fuzz {

inline void Check(bool condition) {
    if (!condition)
        std::abort();
}

// Removes every file in `folder` (which holds no subfolders), leaving it there.
inline void EmptyFolder(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    Check(dir != nullptr);
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            Check(unlinkat(dirfd(dir), name.c_str(), 0) == 0);
    }
    closedir(dir);
}

} // namespace qm::fuzz
