#pragma once

// Entry point to what the file list needs to know about the disk: properties of single
// entries (GetFile), the user's documents folder (GetPersonalFolder) and the icon list
// that entries' image indexes refer to.
//
// Owned by its user (the file list keeps one for the whole run; a settings expansion may
// make one for a single call). Calls on one object come from one thread at a time.

#include <memory>

namespace qm {

class TFolder;

class TFileSystem {
public:
    TFileSystem();
    ~TFileSystem();
    TFileSystem(const TFileSystem&) = delete;
    TFileSystem& operator=(const TFileSystem&) = delete;

    // The user's documents folder; a new object owned by the caller, not `Valid` when
    // the folder cannot be found.
    std::unique_ptr<TFolder> GetPersonalFolder() const;
};

} // namespace qm
