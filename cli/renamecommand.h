#pragma once

#include "cli/pathorder.h"
#include "cli/schemesource.h"
#include "rename/journaledrun.h"
#include "rename/predict.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
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
    std::optional<std::string> map;     // --map FILE: pairs OLD, NEW in place of a scheme
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

// The paths of a run, each split as the run splits it (SplitGivenPath) into its entry's
// folder and name, in slot order, with the slashes given after a name kept aside for the
// messages, which show each path as it was given.
struct GivenEntries {
    std::vector<TRunEntry> Entries;
    std::unordered_map<std::size_t, std::string> Trailing; // by slot, the rare few

    // Appends `path`, to be renamed to `handName` whatever the options say when not null.
    void Add(std::string_view path, std::shared_ptr<const std::string> handName = nullptr,
             std::shared_ptr<const TEntryTags> tags = nullptr);
    // The path of slot `slot` as given, into `line`.
    void PathOf(std::size_t slot, std::string& line) const;
};

// What the planned run over `given` would do, renaming nothing: a "PATH<TAB>NEW PATH"
// line on stdout for every entry (with `movesOnly` for those it would rename only) and a
// "quillmark-cli: PATH: REASON" line on stderr for every failure, as `rename --plan
// --dry-run` tells them. Returns the prediction, its counts not yet printed.
TPrediction TellPlannedRun(const RenameOptionSet& options, const GivenEntries& given,
                           bool movesOnly);

// Tells the failure of the file given as `path` on stderr ("quillmark-cli: PATH: REASON").
// `emptyName`: the name the run tried was empty. The system call refuses it as naming no
// file, which would read as if the file itself were gone.
void ReportFailure(const std::string& path, RunError error, bool emptyName);

// The end of a journaled `run` of `command`: why it did not start (exit status 2), a
// warning for a journal that broke or could not be closed, else FinishRun of its counts.
int FinishJournaledRun(const char* command, const TJournaledRun& run);

// Prints the counts line and returns the exit status of a run with `tally`; 1 when stdout
// cannot be written (the message names `command`).
int FinishRun(const char* command, const RenameTally& tally);

// Renames `given` (its hand names taken over) in the planned order, journaled, telling
// each failure (and with `verbose` each renamed file) as `rename` does; returns its exit
// status, 2 when the journal could not be begun and nothing was renamed.
int RunGivenPlanned(const char* command, GivenEntries given, const RenameOptionSet& options,
                    bool verbose);

} // namespace qm::cli
