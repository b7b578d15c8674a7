#include "rename/nameblock.h"

#include <algorithm>
#include <cstring>

namespace qm {
namespace {

constexpr std::size_t kBlock = std::size_t{1} << 20;

} // namespace

void TNameBlock::Assign(std::size_t count) {
    Clear();
    names_.assign(count, Pack({}));
}

void TNameBlock::Reserve(std::size_t count) {
    names_.reserve(count);
}

void TNameBlock::Set(std::size_t i, std::string_view name) {
    names_[i] = Pack({Keep(name), name.size()});
}

void TNameBlock::Push(std::string_view name) {
    PushView({Keep(name), name.size()});
}

void TNameBlock::PushView(std::string_view name) {
    names_.push_back(Pack(name));
}

std::uint64_t TNameBlock::Pack(std::string_view name) {
    const auto address = reinterpret_cast<std::uintptr_t>(name.data());
    if (name.size() < kLong && address <= kAddress)
        return address | static_cast<std::uint64_t>(name.size()) << kSizeShift;
    long_.push_back(name);
    return (long_.size() - 1) | kLong << kSizeShift;
}

const char* TNameBlock::Keep(std::string_view name) {
    if (name.size() > room_) {
        room_ = std::max(kBlock, name.size());
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(room_));
        free_ = blocks_.back().get();
    }
    char* const kept = free_;
    if (!name.empty())
        std::memcpy(kept, name.data(), name.size());
    free_ += name.size();
    room_ -= name.size();
    return kept;
}

void TNameBlock::Clear() {
    std::vector<std::unique_ptr<char[]>>().swap(blocks_);
    free_ = nullptr;
    room_ = 0;
    std::vector<std::uint64_t>().swap(names_);
    std::vector<std::string_view>().swap(long_);
}

} // namespace qm
