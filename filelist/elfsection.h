#pragma once

// Reads one named section out of an ELF file on disk (32 or 64 bit, either byte order)
// by walking the section header table with plain reads, never by mapping the file.
//
// Any file may be passed: something that is not a regular file, not ELF, truncated or
// built to mislead gives nullopt, never a read outside the file or an oversized
// allocation. Thread-safe (no shared state).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// The bytes of the first section named `name` that has contents in the file; nullopt
// when there is none or it is larger than `maxSize`.
std::optional<std::vector<unsigned char>>
ReadElfSection(const std::string& path, std::string_view name, std::size_t maxSize);

} // namespace qm
