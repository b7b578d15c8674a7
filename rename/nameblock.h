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
    std::size_t Count() const { return names_.size(); }
    std::string_view operator[](std::size_t i) const {
        const std::uint64_t name = names_[i];
        if (name >> kSizeShift == kLong)
            return long_[name & kAddress];
        return {reinterpret_cast<const char*>(name & kAddress),
                static_cast<std::size_t>(name >> kSizeShift)};
    }
    void Set(std::size_t i, std::string_view name);
    // Adds a copy of `name` as the last index.
    void Push(std::string_view name);
    // Adds `name` itself, whose text must stay valid while the block is used.
    void PushView(std::string_view name);
    // Frees the memory as well.
    void Clear();

private:
    const char* Keep(std::string_view name);
    std::uint64_t Pack(std::string_view name);

    // Per index, in eight bytes where a view takes sixteen: the address of the text in the
    // low 48 bits (all a process on Linux is given), its length in the high 16; a name
    // that does not fit so (one of 64 KiB or more) is in long_, its index in the low bits
    // and kLong in the high ones.
    static constexpr int kSizeShift = 48;
    static constexpr std::uint64_t kAddress = (std::uint64_t{1} << kSizeShift) - 1;
    static constexpr std::uint64_t kLong = 0xffff;

    std::vector<std::unique_ptr<char[]>> blocks_;
    char* free_ = nullptr; // the unused end of the last block
    std::size_t room_ = 0;
    std::vector<std::uint64_t> names_;
    std::vector<std::string_view> long_;
};

} // namespace qm
