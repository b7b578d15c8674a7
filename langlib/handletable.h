#pragma once

// A table of entries reached by 16-bit handles, the 1-based index of the entry.
//
// New entries are always appended. Releasing an entry frees it at once but removes its
// slot only together with every free slot behind it, from the end back to the last entry
// in use; so a handle in the middle is not reused until everything after it is released.
// The table owns its entries and holds them by pointer: an entry never moves while the
// table grows or shrinks. Not thread-safe.

#include <cstdint>
#include <memory>
#include <vector>

namespace vocalith {

template <class T> class THandleTable {
public:
    static constexpr std::size_t MaxEntries = 65535;

    // Appends a new entry and returns its handle, or 0 when the table is full.
    std::uint16_t Allocate() {
        if (entries_.size() >= MaxEntries) {
            return 0;
        }
        entries_.push_back(std::make_unique<T>());
        return static_cast<std::uint16_t>(entries_.size());
    }

    // The entry of a handle in use, or nullptr.
    T* Find(std::uint32_t handle) const {
        if (handle == 0 || handle > entries_.size()) {
            return nullptr;
        }
        return entries_[handle - 1].get();
    }

    // Frees the entry of `handle`; false when the handle is not in use.
    bool Release(std::uint32_t handle) {
        if (Find(handle) == nullptr) {
            return false;
        }
        entries_[handle - 1].reset();
        while (!entries_.empty() && !entries_.back()) {
            entries_.pop_back();
        }
        return true;
    }

    // Slots in the table, in use or waiting to be removed.
    std::size_t Length() const { return entries_.size(); }

private:
    std::vector<std::unique_ptr<T>> entries_;
};

} // namespace vocalith
