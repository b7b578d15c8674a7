#pragma once

// What the planner needs to know of the folders of a run: where a name lies (folders
// told apart by identity, not by how their path is spelt, and names compared as the
// folder compares them, so that names that fold alike on a folder that ignores letter
// case are one place), whether a file is there, and names free for parking. Each folder
// is read once, when first met; nothing is changed on disk. One thread.
//
// A place is a small number, the same for every name that lies there; the numbers run
// from 0 to PlaceCount() - 1 and grow as new names are looked up.

#include "rename/filecalls.h"

#include <memory>
#include <string>

namespace qm {

class TPlanPlaces {
public:
    explicit TPlanPlaces(TFileCalls& calls);
    ~TPlanPlaces();
    TPlanPlaces(const TPlanPlaces&) = delete;
    TPlanPlaces& operator=(const TPlanPlaces&) = delete;

    // The place of `name` in `folder` ("" or ending in "/"); the errno value when the
    // folder cannot be read.
    int Locate(const std::string& folder, const std::string& name, int& place);
    // The place a rename of a file in `folder` to `candidate` would take, or the errno
    // value with which the rename would be refused.
    int Target(const std::string& folder, const std::string& candidate, int& place);
    // Whether a file of the folder as read lies at `place`.
    bool Present(int place) const;
    int PlaceCount() const;
    // A short name in the folder of `place`, new for each call, that lies at no place
    // looked up so far (so clear of the folder's files and of every candidate met).
    std::string FreeName(int place);

private:
    struct Folders;
    std::unique_ptr<Folders> folders_;
};

} // namespace qm
