#pragma once

// New names written by hand, as text: the file `quillmark-cli edit` hands to the editor
// and reads back, and the map of `rename --map`. Pure text in and out, so that the
// fuzzer reads both through the same code as the commands. The views returned point into
// the text read, which must outlive them.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::cli {

// The text of the edit file for `names` (the k-th is file number k + 1): a few comment
// lines, then per file its number (zero-padded to one width, so that the names line up),
// a tab and the name, each line ending in LF. No name may hold CR or LF.
std::string EditText(const std::vector<std::string>& names);

// The names of an edit file read back, one per file number, in number order. Lines are
// split at LF, a CR ending one is dropped (an editor saving CR LF); empty lines and lines
// beginning with '#' are skipped. Nothing, with the reason (naming the line) in
// `problem`, when a line has no number and tab, a number is not a file's (0, above
// `count`), given twice or missing, or a name is empty or holds CR or NUL.
std::optional<std::vector<std::string_view>> ReadEditText(std::string_view text, std::size_t count,
                                                          std::string& problem);

struct MapPair {
    std::string_view Old; // a path, as a path is given on the command line
    std::string_view New; // the new name in Old's folder
};

// The pairs of a rename map: lines "OLD<TAB>NEW" (split at the first tab; a CR ending a
// line is dropped, empty lines are skipped), or with `nullSeparated` the items
// OLD NUL NEW NUL. Nothing, with the reason naming the line (or pair) in `problem`, when
// a line has no tab, a side is empty, a pair lacks its new name, the text (not
// NUL-separated) holds a NUL byte, or two pairs name the same OLD as the run splits a
// path (SplitGivenPath: "a/" and "a" are one folder).
std::optional<std::vector<MapPair>> ReadRenameMap(std::string_view text, bool nullSeparated,
                                                  std::string& problem);

} // namespace qm::cli
