#pragma once

// Names by index, their text back to back in blocks of a megabyte, or held elsewhere: a
// million names held as strings cost a string and an allocation each, about three times
// the text, and one contiguous buffer, grown by doubling, up to twice the text and three
// times while it is copied. A name set again is written anew, its old text left where it
// was, so that every view given out stays valid until Clear or the block goes.
//
// One thread at a time.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace qm {

class TNameBlock {
public:
    // `count` empty names.
    void Assign(std::size_t count);
    void Reserve(std::size_t count);
    std::size_t Count() const { return size_.size(); }
    std::string_view operator[](std::size_t i) const { return {at_[i], size_[i]}; }
    void Set(std::size_t i, std::string_view name);
    // Adds a copy of `name` as the last index.
    void Push(std::string_view name);
    // Adds `name` itself, whose text must stay valid while the block is used.
    void PushView(std::string_view name);
    // Frees the memory as well.
    void Clear();

private:
    const char* Keep(std::string_view name);

    std::vector<std::unique_ptr<char[]>> blocks_;
    char* free_ = nullptr; // the unused end of the last block
    std::size_t room_ = 0;
    std::vector<const char*> at_;
    // A name, even one the drive refuses for its length, is far below 4 GiB.
    std::vector<std::uint32_t> size_;
};

} // namespace qm
