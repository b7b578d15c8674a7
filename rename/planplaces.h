#pragma once

// What the planner needs to know of the folders of a run: where a name lies (folders
// told apart by identity, not by how their path is spelt, and names compared as the
// folder compares them), whether a file is there, and names free for parking. Each
// folder is read once, when first met; nothing is changed on disk. One thread.

#include "rename/filecalls.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>

namespace qm {

// A name in a folder: the folder's number and the name as the folder compares it (folded
// where the folder ignores letter case), so that names that fold alike are one place.
struct Place {
    int folder = -1;
    std::string key;
    bool operator==(const Place&) const = default;
};

struct PlaceHash {
    std::size_t operator()(const Place& place) const {
        return std::hash<std::string>()(place.key) ^ (static_cast<std::size_t>(place.folder) << 1);
    }
};

class TPlanPlaces {
public:
    explicit TPlanPlaces(TFileCalls& calls);
    ~TPlanPlaces();
    TPlanPlaces(const TPlanPlaces&) = delete;
    TPlanPlaces& operator=(const TPlanPlaces&) = delete;

    // The place of the file `name` in `folder` ("" or ending in "/") and whether it is
    // there; the errno value when the folder cannot be read.
    int Locate(const std::string& folder, const std::string& name, Place& place, bool& present);
    // The place a rename of a file in `folder` to `candidate` would take, or the errno
    // value with which the rename would be refused.
    int Target(const std::string& folder, const std::string& candidate, Place& place);
    // Whether a file of the folder as read is at `place`.
    bool Present(const Place& place) const;
    // A short name, new for each call, absent from the folder `folder` and from `taken`.
    std::string FreeName(int folder, const std::unordered_set<Place, PlaceHash>& taken);

private:
    struct Folders;
    std::unique_ptr<Folders> folders_;
};

} // namespace qm
