#include "elfimage.h"

#include <fstream>
#include <stdexcept>

namespace qm::test {

void ElfImage::Put(std::uint64_t offset, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) {
        const int shift = BigEndian ? 8 * (width - 1 - i) : 8 * i;
        Bytes.at(offset + static_cast<std::uint64_t>(i)) =
            static_cast<unsigned char>((value >> shift) & 0xFF);
    }
}

std::uint64_t ElfImage::SectionField(int index, const std::string& field) const {
    const std::uint64_t base = SectionHeaders + static_cast<std::uint64_t>(index) * HeaderSize;
    if (field == "name")
        return base;
    if (field == "type")
        return base + 4;
    if (field == "offset")
        return base + (Is64 ? 24 : 16);
    if (field == "size")
        return base + (Is64 ? 32 : 20);
    throw std::invalid_argument(field);
}

ElfImage MakeElf(bool is64, bool bigEndian, const std::vector<ElfSection>& sections) {
    ElfImage image;
    image.Is64 = is64;
    image.BigEndian = bigEndian;
    image.HeaderSize = is64 ? 64 : 40;
    const int word = is64 ? 8 : 4;
    image.Bytes.assign(is64 ? 64 : 52, 0);
    const unsigned char ident[] = {0x7F,
                                   'E',
                                   'L',
                                   'F',
                                   static_cast<unsigned char>(is64 ? 2 : 1),
                                   static_cast<unsigned char>(bigEndian ? 2 : 1),
                                   1};
    std::copy(std::begin(ident), std::end(ident), image.Bytes.begin());

    std::vector<std::uint64_t> offsets;
    for (const ElfSection& s : sections) {
        offsets.push_back(image.Bytes.size());
        if (s.Type != 8)
            image.Bytes.insert(image.Bytes.end(), s.Data.begin(), s.Data.end());
    }
    std::string names(1, '\0');
    std::vector<std::uint64_t> nameOffsets;
    for (const ElfSection& s : sections) {
        nameOffsets.push_back(names.size());
        names += s.Name + '\0';
    }
    const std::uint64_t tableName = names.size();
    names += std::string(".shstrtab") + '\0';
    const std::uint64_t namesAt = image.Bytes.size();
    image.Bytes.insert(image.Bytes.end(), names.begin(), names.end());

    image.SectionHeaders = image.Bytes.size();
    const std::size_t count = sections.size() + 2; // the null section and the name table
    image.Bytes.resize(image.Bytes.size() + count * image.HeaderSize, 0);

    image.Put(is64 ? 40 : 32, image.SectionHeaders, word); // e_shoff
    image.Put(is64 ? 52 : 40, is64 ? 64 : 52, 2);          // e_ehsize
    image.Put(is64 ? 58 : 46, image.HeaderSize, 2);        // e_shentsize
    image.Put(is64 ? 60 : 48, count, 2);                   // e_shnum
    image.Put(is64 ? 62 : 50, count - 1, 2);               // e_shstrndx
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const int index = static_cast<int>(i) + 1;
        image.Put(image.SectionField(index, "name"), nameOffsets[i], 4);
        image.Put(image.SectionField(index, "type"), sections[i].Type, 4);
        image.Put(image.SectionField(index, "offset"), offsets[i], word);
        image.Put(image.SectionField(index, "size"), sections[i].Data.size(), word);
    }
    const int last = static_cast<int>(count) - 1;
    image.Put(image.SectionField(last, "name"), tableName, 4);
    image.Put(image.SectionField(last, "type"), 3, 4); // STRTAB
    image.Put(image.SectionField(last, "offset"), namesAt, word);
    image.Put(image.SectionField(last, "size"), names.size(), word);
    return image;
}

bool WriteFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace qm::test
