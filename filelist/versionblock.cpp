#include "filelist/versionblock.h"

namespace qm::versionblock {
namespace {

// Reads the layout front to back; every read checks the bytes left, so a short or
// hostile block ends in a failed read, never outside the buffer.
class Reader {
public:
    explicit Reader(std::span<const unsigned char> bytes) : bytes_(bytes) {}

    bool U16(std::uint16_t& v) {
        if (bytes_.size() - at_ < 2)
            return false;
        v = static_cast<std::uint16_t>(bytes_[at_] | bytes_[at_ + 1] << 8);
        at_ += 2;
        return true;
    }
    bool U32(std::uint32_t& v) {
        std::uint16_t low = 0;
        std::uint16_t high = 0;
        if (!U16(low) || !U16(high))
            return false;
        v = std::uint32_t{high} << 16 | low;
        return true;
    }
    bool Text(std::string& s) {
        std::uint16_t length = 0;
        if (!U16(length) || bytes_.size() - at_ < length)
            return false;
        s.assign(reinterpret_cast<const char*>(bytes_.data() + at_), length);
        at_ += length;
        return true;
    }
    bool Magic() {
        if (bytes_.size() < kMagic.size() ||
            std::string_view(reinterpret_cast<const char*>(bytes_.data()), kMagic.size()) != kMagic)
            return false;
        at_ = kMagic.size();
        return true;
    }

private:
    std::span<const unsigned char> bytes_;
    std::size_t at_ = 0;
};

bool SameKey(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
        };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

} // namespace

std::optional<std::string> Block::Find(std::uint32_t translation, std::string_view key) const {
    for (const StringTable& table : Tables) {
        if (table.Translation != translation)
            continue;
        for (const auto& [name, value] : table.Strings)
            if (SameKey(name, key))
                return value;
    }
    return std::nullopt;
}

std::optional<Block> DecodeVersionBlock(std::span<const unsigned char> bytes) {
    Reader in(bytes);
    std::uint16_t layout = 0;
    if (!in.Magic() || !in.U16(layout) || layout != kLayoutVersion)
        return std::nullopt;
    Block block;
    for (std::uint16_t& part : block.FileVersion)
        if (!in.U16(part))
            return std::nullopt;
    std::uint16_t count = 0;
    if (!in.U16(count))
        return std::nullopt;
    for (std::uint16_t i = 0; i < count; ++i) {
        Translation t;
        if (!in.U16(t.Language) || !in.U16(t.CodePage))
            return std::nullopt;
        block.Translations.push_back(t);
    }
    if (!in.U16(count))
        return std::nullopt;
    for (std::uint16_t i = 0; i < count; ++i) {
        StringTable table;
        std::uint16_t strings = 0;
        if (!in.U32(table.Translation) || !in.U16(strings))
            return std::nullopt;
        for (std::uint16_t k = 0; k < strings; ++k) {
            std::string key;
            std::string value;
            if (!in.Text(key) || !in.Text(value))
                return std::nullopt;
            table.Strings.emplace_back(std::move(key), std::move(value));
        }
        block.Tables.push_back(std::move(table));
    }
    return block;
}

} // namespace qm::versionblock
