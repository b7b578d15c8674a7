#pragma once

// Where a command takes its rename options from, and reading whole files for it.

#include "engine/renameoptionset.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace qm::cli {

struct SchemeSource {
    std::optional<std::string> file; // --scheme-file FILE
    std::optional<std::string> name; // --scheme NAME, from the settings store
    bool development = false;        // --debug: the development settings
};

// Fills `options` from `source` as the window would apply the scheme (pairs sorted).
// Returns a message for the user when the scheme cannot be had, or when it holds a find
// text that does not compile as the pattern it is meant to be (named by the find text,
// with the place in it counted in characters from 1).
std::optional<std::string> LoadScheme(const SchemeSource& source, RenameOptionSet& options);

// The whole of `path` ("-" is standard input), at most `limit` bytes. Nothing, with a
// reason in `error`, when it cannot be read or is larger.
std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t limit,
                                         std::string& error);

// The paths of `--files-from LIST` ("-" is standard input) as one text, to be split with
// ForEachListed. Nothing, with a message for the user in `problem`, when the list cannot
// be read or, not `nullSeparated`, holds a NUL byte.
std::optional<std::string> ReadPathList(const std::string& list, bool nullSeparated,
                                        std::string& problem);

// A whole decimal number within int32; nothing for any other text.
std::optional<std::int32_t> ParseInt32(const std::string& text);

} // namespace qm::cli
