#pragma once

#include "cli/pathorder.h"
#include "cli/schemesource.h"
#include "filelist/entrytags.h"
#include "rename/runerror.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qm::cli {

struct PreviewArgs {
    SchemeSource scheme;
    std::optional<std::int32_t> start;
    std::vector<std::string> names;
    std::optional<std::string> filesFrom; // more names, one a line; "-" is standard input
    bool nullSeparated = false;           // the list is NUL-separated, not one per line
    PathOrder order = PathOrder::Given;   // the order in which the names are numbered
    std::optional<std::string> map;       // --map FILE: pairs OLD, NEW in place of a scheme
};

// `quillmark-cli preview`: prints one "NAME<TAB>NEW NAME" line per name (the command
// line's, then the list's) on stdout; never touches a file but the scheme file and the list.
// Returns the process exit code (0, or 2 after one line on stderr).
int RunPreview(const PreviewArgs& args);

// The tags of the files `names` (paths as given), one per name, read when the options'
// texts need any (several threads); empty when they need none.
using GivenTags = std::vector<std::shared_ptr<const TEntryTags>>;
GivenTags ReadGivenTags(const RenameOptionSet& options, const std::vector<std::string>& names);

// The lines of `preview` for `names`, the k-th (from 0) computed with the number
// NumberAtPosition(start, k) (k as NumberPositions counts it: per folder with the number
// per folder, names shared by companions as one), the number the run gives it when all
// before it are renamed, and the tags tags[k] (none when `tags` is shorter). A name is
// split as the rename splits its path (SplitGivenPath): the line shows the path the run
// gives it. A name the options cannot compute keeps its name; with `tellFaults` a line on
// stderr says why, one says which character of a new name the drive of its folder refuses
// (or that it is too long there), and one tells the first tag a name lacks. Returns false
// when stdout cannot be written.
bool WritePreview(const RenameOptionSet& options, std::int32_t start,
                  const std::vector<std::string>& names, const GivenTags& tags = {},
                  bool tellFaults = false);

// Words for the run's faults of its own that are not a drive's refusal: a name the
// options could not compute (PatternInvalid, PatternLimit), a folder part that makes no
// folder, a folder that is a file, a companion that could not move; nullptr for any other
// error.
const char* PatternErrorText(RunError error);

} // namespace qm::cli
