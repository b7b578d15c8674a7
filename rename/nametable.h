#pragma once

// A set of file names (byte strings) for folders of a hundred thousand names that change
// one name at a time: open addressing over views into a few large blocks that the table
// owns, so that adding a name costs no allocation of its own. A removed name's bytes stay
// in their block until the table goes.
//
// One thread at a time.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace qm {

class TNameTable {
public:
    TNameTable() = default;
    TNameTable(const TNameTable&) = delete;
    TNameTable& operator=(const TNameTable&) = delete;

    std::size_t Size() const { return live_; }
    // The slots the table holds, sixteen bytes each.
    std::size_t Slots() const { return slots_.size(); }
    bool Contains(std::string_view name) const;
    // The table's own copy of `name`, valid until the table is cleared or goes; a view
    // without data when the name is not there.
    std::string_view Kept(std::string_view name) const;
    // False when the name was there already.
    bool Insert(std::string_view name);
    // False when the name was not there.
    bool Erase(std::string_view name);
    // Insert and Erase that also give the table's own copy of the name (when Erase found
    // it), which stays valid until the table is cleared or goes, the name removed or not.
    bool Insert(std::string_view name, std::string_view& kept);
    bool Erase(std::string_view name, std::string_view& kept);
    void Clear();
    // Asks the processor for the place a lookup of `name` starts at, so that a lookup a
    // little later need not wait for memory: in a table of a million names nearly every
    // lookup starts on a cold line.
    void Prefetch(std::string_view name) const {
        if (!slots_.empty())
            __builtin_prefetch(&slots_[Hash(name) & (slots_.size() - 1)]);
    }

    // Calls `each(std::string_view)` for every name, in no particular order.
    template <class Each> void ForEach(Each&& each) const {
        for (const Slot& slot : slots_)
            if (slot.data != nullptr && slot.data != Removed())
                each(std::string_view(slot.data, slot.size));
    }

private:
    struct Slot {
        const char* data = nullptr; // nullptr: never used; Removed(): a name was erased
        std::uint32_t size = 0;
        std::uint32_t hash = 0;
    };

    static const char* Removed();
    static std::uint32_t Hash(std::string_view name);
    // The slot holding `name`, or the one where it would go; slots_ is never full.
    std::size_t Find(std::string_view name, std::uint32_t hash, bool& found) const;
    void Grow();
    const char* Keep(std::string_view name);

    // A large table goes on huge pages where the system gives them: its lookups land on
    // pages all over it, and with small pages nearly each one also waits for the walk of
    // the page tables.
    template <class T> struct PagedAllocator {
        using value_type = T;
        PagedAllocator() = default;
        template <class U> PagedAllocator(const PagedAllocator<U>&) {}
        T* allocate(std::size_t n) { return static_cast<T*>(AllocatePaged(n * sizeof(T))); }
        void deallocate(T* p, std::size_t n) { FreePaged(p, n * sizeof(T)); }
        bool operator==(const PagedAllocator&) const { return true; }
    };
    static void* AllocatePaged(std::size_t bytes);
    static void FreePaged(void* p, std::size_t bytes);

    std::vector<Slot, PagedAllocator<Slot>> slots_; // a power of two in size, or empty
    std::size_t live_ = 0;
    std::size_t used_ = 0; // live and removed slots
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t blockLeft_ = 0;
    char* blockNext_ = nullptr;
};

} // namespace qm
