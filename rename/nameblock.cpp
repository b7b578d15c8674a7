#include "rename/nameblock.h"

#include <algorithm>
#include <cstring>

namespace qm {
namespace {

constexpr std::size_t kBlock = std::size_t{1} << 20;

} // namespace

void TNameBlock::Assign(std::size_t count) {
    Clear();
    at_.assign(count, nullptr);
    size_.assign(count, 0);
}

void TNameBlock::Reserve(std::size_t count) {
    at_.reserve(count);
    size_.reserve(count);
}

void TNameBlock::Set(std::size_t i, std::string_view name) {
    at_[i] = Keep(name);
    size_[i] = static_cast<std::uint32_t>(name.size());
}

void TNameBlock::Push(std::string_view name) {
    PushView({Keep(name), name.size()});
}

void TNameBlock::PushView(std::string_view name) {
    at_.push_back(name.data());
    size_.push_back(static_cast<std::uint32_t>(name.size()));
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
    std::vector<const char*>().swap(at_);
    std::vector<std::uint32_t>().swap(size_);
}

} // namespace qm
