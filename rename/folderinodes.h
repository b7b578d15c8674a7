#pragma once

// The inode number of each name of a folder, from one listing, for the journal, which
// tells each moved file by it. The names are kept back to back in one block with an
// open-addressed table over them, so that a folder of a hundred thousand files costs no
// allocation per name.
//
// Nothing changes a listing once it is made; it may be made on another thread.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// Whether the file system of `folder` ("" for the current folder) keeps inode numbers
// stable: not FUSE, the Windows file systems, overlays or network shares.
bool FolderInodesStable(const std::string& folder);

class FolderInodes {
public:
    // Lists `folder` ("" for the current folder, or ending in "/"). Empty where the folder
    // cannot be read or its file system makes the numbers up (FUSE, the Windows file
    // systems, overlays, network shares).
    explicit FolderInodes(const std::string& folder);

    bool Stable() const { return !table_.empty(); }

    // 0 when the name is not there or the numbers are not stable.
    std::uint64_t Find(std::string_view name) const {
        if (table_.empty())
            return 0;
        const std::size_t mask = table_.size() - 1;
        for (std::size_t at = std::hash<std::string_view>{}(name)&mask; table_[at] != kEmpty;
             at = (at + 1) & mask)
            if (Name(table_[at]) == name)
                return entries_[table_[at]].inode;
        return 0;
    }

private:
    struct Entry {
        std::size_t offset;
        std::size_t length;
        std::uint64_t inode;
    };
    std::string_view Name(std::uint32_t i) const {
        return std::string_view(names_).substr(entries_[i].offset, entries_[i].length);
    }
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
    std::string names_;
    std::vector<Entry> entries_;
    std::vector<std::uint32_t> table_;
};

} // namespace qm
