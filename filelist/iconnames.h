#pragma once

// The program's list of file icons, kept as icon-theme names. An entry's image index is
// a position in this list; the list view turns each name into an icon from the desktop's
// theme (the name first, then its generic fallback). Index 0 is always the generic file
// icon, the one shown for entries whose properties could not be read.
//
// Entries are only ever appended, so an index stays valid for the life of the list.
// Thread-safe: adding and reading may happen on different threads.

#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace qm {

struct IconName {
    std::string Name;     // theme icon name, e.g. "image-png"
    std::string Fallback; // generic theme icon name, e.g. "image-x-generic"

    bool operator==(const IconName&) const = default;
};

class TIconNames {
public:
    TIconNames();
    TIconNames(const TIconNames&) = delete;
    TIconNames& operator=(const TIconNames&) = delete;

    // The list that the whole program shares: the file list fills it and the list view
    // reads it. Made on first use, lives until the process ends. Tests make their own.
    static TIconNames& Program();

    // The index of `icon`, appended when it is not listed yet.
    int IndexOf(const IconName& icon);
    int Count() const;
    // The icon at `index`; empty names for an index out of range.
    IconName At(int index) const;

private:
    mutable std::mutex mutex_;
    std::vector<IconName> icons_;
    std::unordered_map<std::string, int> indexByKey_;
};

} // namespace qm
