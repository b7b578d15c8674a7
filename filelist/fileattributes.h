#pragma once

// The attribute bits of a file entry. The values are fixed: settings and column texts
// built from them depend on each bit's place.

#include <QFlags>
#include <cstdint>

namespace qm {

enum class FileAttribute : std::uint32_t {
    ReadOnly = 0x01,  // the owner may not write the entry
    Hidden = 0x02,    // the name begins with "."
    System = 0x04,    // neither a regular file nor a directory (device, pipe, socket...)
    Directory = 0x10, //
    Archive = 0x20,   // a regular file
};
Q_DECLARE_FLAGS(FileAttributes, FileAttribute)
Q_DECLARE_OPERATORS_FOR_FLAGS(FileAttributes)

} // namespace qm
