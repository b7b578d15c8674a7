#pragma once

#include "cli/schemesource.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qm::cli {

struct EditArgs {
    SchemeSource scheme; // neither file nor name: the names the files have today
    std::optional<std::int32_t> start;
    std::optional<std::string> filesFrom; // more paths, one a line; "-" is standard input
    bool nullSeparated = false;           // the list is NUL-separated, not one per line
    std::vector<std::string> paths;
    bool yes = false;    // rename without asking
    bool dryRun = false; // stop after telling what would be renamed
};

// `quillmark-cli edit`: writes the new names of the paths (the scheme's, as the planned
// run gives them, or their names today) to a private temporary file, one numbered line
// per path, lets the user's editor change them, and renames each path to the name its
// line then holds, in the planned order, journaled, after telling what would be renamed
// and asking on the terminal (unless `yes`). Refuses with one line on stderr and exit
// status 2, nothing renamed, when the file read back is malformed (handnames.h), the
// editor fails, a file changed while it ran (gone, or another file at its path), a name
// cannot be a line, or there is no terminal to ask on; an unchanged file renames nothing
// (exit 0). Otherwise the exit status of rename.
int RunEdit(const EditArgs& args);

} // namespace qm::cli
