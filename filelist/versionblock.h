#pragma once

// The version block that the build embeds in each program, in an ELF section of its own
// (".qm_version"), and that TVersionInfo reads back from a file on disk.
//
// Layout, all numbers little-endian:
//   8 bytes  magic "QMVERBLK"
//   u16      layout version (1)
//   u16 x 4  file version: major, minor, release, build
//   u16      translation count, then per translation: u16 language id, u16 code page
//   u16      string table count, then per table:
//              u32 translation (language id << 16 | code page), u16 string count,
//              per string: u16 key length, key bytes, u16 value length, value bytes
// Keys are ASCII, values UTF-8; neither is zero-terminated.
//
// EncodeVersionBlock runs at compile time (see cmake/versionblock.cpp.in); DecodeVersionBlock
// takes any bytes and answers nullopt for anything that does not follow the layout.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qm::versionblock {

inline constexpr char kSectionName[] = ".qm_version";
inline constexpr std::string_view kMagic = "QMVERBLK";
inline constexpr std::uint16_t kLayoutVersion = 1;
// Larger sections are not taken for a version block.
inline constexpr std::size_t kMaxBlockSize = 1 << 20;

struct Field {
    std::string_view Key;
    std::string_view Value;
};

// What one program declares about itself: one translation and its string table.
struct Description {
    std::array<std::uint16_t, 4> FileVersion{};
    std::uint16_t Language = 0;
    std::uint16_t CodePage = 0;
    std::span<const Field> Strings;
};

constexpr std::size_t EncodedSize(const Description& d) {
    std::size_t size = kMagic.size() + 2 + 4 * 2 + 2 + 4 + 2 + 4 + 2;
    for (const Field& f : d.Strings)
        size += 2 + f.Key.size() + 2 + f.Value.size();
    return size;
}

// Writes the block of `d` byte by byte through `put(unsigned char)`.
template <class Put> constexpr void WriteVersionBlock(const Description& d, Put put) {
    auto put16 = [&](std::size_t v) {
        put(static_cast<unsigned char>(v & 0xFF));
        put(static_cast<unsigned char>((v >> 8) & 0xFF));
    };
    auto putText = [&](std::string_view s) {
        // At compile time this stops the build; at run time it throws.
        if (s.size() > 0xFFFF)
            throw std::length_error("version block text longer than 65,535 bytes");
        put16(s.size());
        for (char c : s)
            put(static_cast<unsigned char>(c));
    };
    for (char c : kMagic)
        put(static_cast<unsigned char>(c));
    put16(kLayoutVersion);
    for (std::uint16_t part : d.FileVersion)
        put16(part);
    put16(1); // one translation
    put16(d.Language);
    put16(d.CodePage);
    put16(1); // one string table, for that translation (u32: code page in the low half)
    put16(d.CodePage);
    put16(d.Language);
    put16(d.Strings.size());
    for (const Field& f : d.Strings) {
        putText(f.Key);
        putText(f.Value);
    }
}

// The block as a constant, for embedding: N must be EncodedSize(d).
template <std::size_t N>
constexpr std::array<unsigned char, N> EncodeVersionBlock(const Description& d) {
    std::array<unsigned char, N> out{};
    std::size_t at = 0;
    WriteVersionBlock(d, [&](unsigned char byte) { out[at++] = byte; });
    return out;
}

// The block at run time (tests, tools). Keys and values must fit 65,535 bytes.
inline std::vector<unsigned char> EncodeVersionBlock(const Description& d) {
    std::vector<unsigned char> out;
    out.reserve(EncodedSize(d));
    WriteVersionBlock(d, [&](unsigned char byte) { out.push_back(byte); });
    return out;
}

struct Translation {
    std::uint16_t Language = 0;
    std::uint16_t CodePage = 0;
};

struct StringTable {
    std::uint32_t Translation = 0;
    std::vector<std::pair<std::string, std::string>> Strings;
};

struct Block {
    std::array<std::uint16_t, 4> FileVersion{};
    std::vector<Translation> Translations;
    std::vector<StringTable> Tables;

    // The value of `key` (ASCII letter case ignored) in the table of `translation`.
    std::optional<std::string> Find(std::uint32_t translation, std::string_view key) const;
};

std::optional<Block> DecodeVersionBlock(std::span<const unsigned char> bytes);

} // namespace qm::versionblock
