#include "filelist/elfsection.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {
namespace {

constexpr std::uint32_t kShtNobits = 8;
constexpr std::uint16_t kShnXindex = 0xFFFF;
// Bounds that no real program comes near; they keep a forged header from asking for
// gigabytes.
constexpr std::uint64_t kMaxSections = 1u << 20;
constexpr std::uint64_t kMaxNameTable = 16u << 20;

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool ReadAt(int fd, std::uint64_t offset, void* into, std::size_t size) {
    auto* out = static_cast<unsigned char*>(into);
    while (size > 0) {
        ssize_t got = ::pread(fd, out, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        out += got;
        offset += static_cast<std::uint64_t>(got);
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

// Fixed-width reads in the file's byte order.
struct Decoder {
    bool bigEndian = false;

    std::uint64_t Get(const unsigned char* p, int width) const {
        std::uint64_t v = 0;
        for (int i = 0; i < width; ++i) {
            const int shift = bigEndian ? 8 * (width - 1 - i) : 8 * i;
            v |= std::uint64_t{p[i]} << shift;
        }
        return v;
    }
};

// Field places of the two ELF classes.
struct Layout {
    int word;         // size of addresses and offsets
    std::size_t ehdr; // file header size
    std::size_t shoffAt, shentsizeAt, shnumAt, shstrndxAt;
    std::size_t shdr; // minimum section header size
    std::size_t nameAt, typeAt, offsetAt, sizeAt, linkAt;
};

constexpr Layout kElf32{4, 52, 32, 46, 48, 50, 40, 0, 4, 16, 20, 24};
constexpr Layout kElf64{8, 64, 40, 58, 60, 62, 64, 0, 4, 24, 32, 40};

struct Section {
    std::uint64_t name = 0, type = 0, offset = 0, size = 0, link = 0;
};

bool FitsIn(std::uint64_t offset, std::uint64_t size, std::uint64_t fileSize) {
    return offset <= fileSize && size <= fileSize - offset;
}

} // namespace

std::optional<std::vector<unsigned char>>
ReadElfSection(const std::string& path, std::string_view name, std::size_t maxSize) {
    // O_NONBLOCK: opening a named pipe must not wait for a writer.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat info {};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    const auto fileSize = static_cast<std::uint64_t>(info.st_size);

    unsigned char header[64] = {};
    if (fileSize < 52 || !ReadAt(fd.get(), 0, header, fileSize < 64 ? 52 : 64))
        return std::nullopt;
    if (std::memcmp(header,
                    "\x7F"
                    "ELF",
                    4) != 0)
        return std::nullopt;
    const Layout* layout = header[4] == 1 ? &kElf32 : header[4] == 2 ? &kElf64 : nullptr;
    if (layout == nullptr || (header[5] != 1 && header[5] != 2) || fileSize < layout->ehdr)
        return std::nullopt;
    const Decoder d{header[5] == 2};

    const std::uint64_t shoff = d.Get(header + layout->shoffAt, layout->word);
    const std::uint64_t entSize = d.Get(header + layout->shentsizeAt, 2);
    std::uint64_t count = d.Get(header + layout->shnumAt, 2);
    std::uint64_t nameIndex = d.Get(header + layout->shstrndxAt, 2);
    if (shoff == 0 || entSize < layout->shdr || !FitsIn(shoff, entSize, fileSize))
        return std::nullopt;

    std::vector<unsigned char> entry(static_cast<std::size_t>(entSize));
    auto readSection = [&](std::uint64_t index, Section& s) {
        if (index >= count && count != 0)
            return false;
        const std::uint64_t at = shoff + index * entSize;
        if (!FitsIn(at, entSize, fileSize) || !ReadAt(fd.get(), at, entry.data(), entry.size()))
            return false;
        s.name = d.Get(entry.data() + layout->nameAt, 4);
        s.type = d.Get(entry.data() + layout->typeAt, 4);
        s.offset = d.Get(entry.data() + layout->offsetAt, layout->word);
        s.size = d.Get(entry.data() + layout->sizeAt, layout->word);
        s.link = d.Get(entry.data() + layout->linkAt, 4);
        return true;
    };

    // Files with very many sections keep the true counts in section 0.
    Section first;
    if (!readSection(0, first))
        return std::nullopt;
    if (count == 0)
        count = first.size;
    if (nameIndex == kShnXindex)
        nameIndex = first.link;
    if (count == 0 || count > kMaxSections || count > (fileSize - shoff) / entSize ||
        nameIndex >= count)
        return std::nullopt;

    Section names;
    if (!readSection(nameIndex, names) || names.type == kShtNobits || names.size > kMaxNameTable ||
        !FitsIn(names.offset, names.size, fileSize))
        return std::nullopt;
    std::vector<char> nameTable(static_cast<std::size_t>(names.size));
    if (!ReadAt(fd.get(), names.offset, nameTable.data(), nameTable.size()))
        return std::nullopt;

    for (std::uint64_t i = 1; i < count; ++i) {
        Section s;
        if (!readSection(i, s))
            return std::nullopt;
        // The name must lie inside the table and be zero-terminated there.
        if (s.name >= nameTable.size() || nameTable.size() - s.name <= name.size())
            continue;
        const char* candidate = nameTable.data() + s.name;
        if (std::memcmp(candidate, name.data(), name.size()) != 0 || candidate[name.size()] != '\0')
            continue;
        if (s.type == kShtNobits)
            continue;
        if (s.size > maxSize || !FitsIn(s.offset, s.size, fileSize))
            return std::nullopt;
        std::vector<unsigned char> bytes(static_cast<std::size_t>(s.size));
        if (!ReadAt(fd.get(), s.offset, bytes.data(), bytes.size()))
            return std::nullopt;
        return bytes;
    }
    return std::nullopt;
}

} // namespace qm
