#pragma once

// The tags read from one entry's file (tagtext.h), kept with the entry so that each file
// is read once: which sources were read, and the file as it was then, so that a reader
// can tell a file that changed since (another program wrote its tags, or put another
// file under its name) and read it again.

#include "engine/tagtext.h"

#include <cstdint>

namespace qm {

// What identifies a file's content without reading it: enough to notice a file that was
// written or replaced since.
struct TFileStamp {
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    std::uint64_t Size = 0;
    std::int64_t ModifiedNs = 0; // last write, nanoseconds since the epoch
    std::int64_t ChangedNs = 0;  // last status change, nanoseconds since the epoch

    bool operator==(const TFileStamp&) const = default;
};

struct TEntryTags {
    unsigned Sources = 0; // the TagSource bits that were read (a value may still be absent)
    TFileStamp Stamp;     // the file as it was when read; all zero when it could not be
    TagValues Values;
};

} // namespace qm
