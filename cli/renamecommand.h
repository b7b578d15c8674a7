#pragma once

#include "cli/pathorder.h"
#include "cli/schemesource.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qm::cli {

struct RenameArgs {
    SchemeSource scheme;
    std::optional<std::int32_t> start;
    bool dryRun = false;
    bool plan = false; // put the renames in an order in which chains and swaps succeed
    bool verbose = false;
    std::optional<std::string> filesFrom; // a list of paths; "-" is standard input
    bool nullSeparated = false;           // the list is NUL-separated, not one per line
    std::vector<std::string> paths;
    PathOrder order = PathOrder::Given; // the order in which the paths are numbered
};

// `quillmark-cli rename`: renames every path (the command line's, then the list's) with
// the rename run, never replacing a file. One "quillmark-cli: PATH: REASON" line on
// stderr per failure, "OLD<TAB>NEW" per renamed file on stdout with `verbose`, and the
// counts as the last line on stdout. With `plan` the run is planned (see rename/plan.h);
// with `plan` and `dryRun` nothing is renamed and the planned outcome is told as the run
// would tell it, after a "PATH<TAB>NEW PATH" line for every path. Returns the exit code:
// 0 when nothing failed, 1 when something did, 2 (before touching any file) when the
// scheme or the list cannot be read or there is nothing to rename.
int RunRename(const RenameArgs& args);

} // namespace qm::cli
