#pragma once

// Builds small ELF files in memory for the version reader's tests: a file header, the
// given sections' contents, a section-name table and the section header table, in
// either class and byte order. Field offsets are those of the ELF format.

#include <cstdint>
#include <string>
#include <vector>

namespace qm::test {

struct ElfSection {
    std::string Name;
    std::vector<unsigned char> Data;
    std::uint32_t Type = 1; // PROGBITS; 8 is NOBITS
};

struct ElfImage {
    std::vector<unsigned char> Bytes;
    bool Is64 = true;
    bool BigEndian = false;
    std::uint64_t SectionHeaders = 0; // offset of the section header table
    std::size_t HeaderSize = 0;       // one section header

    // Overwrites a `width`-byte field at `offset` in the image's byte order.
    void Put(std::uint64_t offset, std::uint64_t value, int width);
    // Offset of field `field` ("name", "type", "offset", "size") of section `index`.
    std::uint64_t SectionField(int index, const std::string& field) const;
};

ElfImage MakeElf(bool is64, bool bigEndian, const std::vector<ElfSection>& sections);

bool WriteFile(const std::string& path, const std::vector<unsigned char>& bytes);

} // namespace qm::test
