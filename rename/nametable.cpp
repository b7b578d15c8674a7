#include "rename/nametable.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>
#include <sys/mman.h>

namespace qm {
namespace {

constexpr std::size_t kBlockSize = 64 * 1024;
constexpr std::size_t kFirstSlots = 64;
constexpr std::size_t kHugePage = 2 * 1024 * 1024;

std::size_t HugePages(std::size_t bytes) {
    return (bytes + kHugePage - 1) & ~(kHugePage - 1);
}

} // namespace

void* TNameTable::AllocatePaged(std::size_t bytes) {
    if (bytes < kHugePage)
        return ::operator new(bytes);
    // Only whole huge pages on their own boundary are given: the mapping is made one page
    // larger and cut to the boundary.
    const std::size_t size = HugePages(bytes);
    void* mapped = ::mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const auto base = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t start = (base + kHugePage - 1) & ~(kHugePage - 1);
    if (start > base)
        ::munmap(mapped, start - base);
    if (const std::size_t tail = base + kHugePage - start; tail > 0)
        ::munmap(reinterpret_cast<void*>(start + size), tail);
    ::madvise(reinterpret_cast<void*>(start), size, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(start);
}

void TNameTable::FreePaged(void* p, std::size_t bytes) {
    if (bytes < kHugePage)
        ::operator delete(p);
    else
        ::munmap(p, HugePages(bytes));
}

const char* TNameTable::Removed() {
    static const char mark = 0;
    return &mark;
}

std::uint32_t TNameTable::Hash(std::string_view name) {
    const std::size_t h = std::hash<std::string_view>{}(name);
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

std::size_t TNameTable::Find(std::string_view name, std::uint32_t hash, bool& found) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t firstRemoved = slots_.size();
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.data == nullptr) {
            found = false;
            // A new name takes the first removed slot on its way.
            return firstRemoved < slots_.size() ? firstRemoved : i;
        }
        if (slot.data == Removed()) {
            if (firstRemoved == slots_.size())
                firstRemoved = i;
        } else if (slot.hash == hash && slot.size == name.size() &&
                   std::memcmp(slot.data, name.data(), name.size()) == 0) {
            found = true;
            return i;
        }
    }
}

bool TNameTable::Contains(std::string_view name) const {
    if (live_ == 0)
        return false;
    bool found = false;
    Find(name, Hash(name), found);
    return found;
}

std::string_view TNameTable::Kept(std::string_view name) const {
    if (live_ == 0)
        return {};
    bool found = false;
    const std::size_t i = Find(name, Hash(name), found);
    return found ? std::string_view(slots_[i].data, slots_[i].size) : std::string_view();
}

const char* TNameTable::Keep(std::string_view name) {
    // Even an empty name gets a place in a block: a null or the removal mark would
    // read as a free slot.
    if (name.size() > blockLeft_ || blockNext_ == nullptr) {
        const std::size_t size = std::max(kBlockSize, name.size());
        blocks_.push_back(std::make_unique<char[]>(size));
        blockNext_ = blocks_.back().get();
        blockLeft_ = size;
    }
    char* kept = blockNext_;
    if (!name.empty())
        std::memcpy(kept, name.data(), name.size());
    blockNext_ += name.size();
    blockLeft_ -= name.size();
    return kept;
}

void TNameTable::Grow() {
    auto old = std::move(slots_);
    // Only live names move over; when many were removed the size may stay. A table grown
    // from half full to a quarter full has room for as many names again before it grows
    // next; growing it further would only leave its slots empty (a folder of a million
    // names takes 32 MiB of them).
    std::size_t size = old.empty() ? kFirstSlots : old.size();
    while (live_ * 4 > size)
        size *= 2;
    slots_.assign(size, Slot{});
    used_ = live_;
    for (const Slot& slot : old) {
        if (slot.data == nullptr || slot.data == Removed())
            continue;
        for (std::size_t i = slot.hash & (size - 1);; i = (i + 1) & (size - 1)) {
            if (slots_[i].data == nullptr) {
                slots_[i] = slot;
                break;
            }
        }
    }
}

bool TNameTable::Insert(std::string_view name) {
    std::string_view kept;
    return Insert(name, kept);
}

bool TNameTable::Insert(std::string_view name, std::string_view& kept) {
    // At most half the slots used (removed names count), so that probes stay short and
    // always end.
    if ((used_ + 1) * 2 > slots_.size())
        Grow();
    const std::uint32_t hash = Hash(name);
    bool found = false;
    const std::size_t i = Find(name, hash, found);
    Slot& slot = slots_[i];
    if (found) {
        kept = std::string_view(slot.data, slot.size);
        return false;
    }
    if (slot.data == nullptr)
        ++used_;
    slot.data = Keep(name);
    slot.size = static_cast<std::uint32_t>(name.size());
    slot.hash = hash;
    ++live_;
    kept = std::string_view(slot.data, slot.size);
    return true;
}

bool TNameTable::Erase(std::string_view name) {
    std::string_view kept;
    return Erase(name, kept);
}

bool TNameTable::Erase(std::string_view name, std::string_view& kept) {
    if (live_ == 0)
        return false;
    bool found = false;
    const std::size_t i = Find(name, Hash(name), found);
    if (!found)
        return false;
    kept = std::string_view(slots_[i].data, slots_[i].size);
    slots_[i].data = Removed();
    --live_;
    return true;
}

void TNameTable::Clear() {
    slots_.clear();
    live_ = used_ = 0;
    blocks_.clear();
    blockLeft_ = 0;
    blockNext_ = nullptr;
}

} // namespace qm
