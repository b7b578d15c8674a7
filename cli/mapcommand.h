#pragma once

#include "cli/previewcommand.h"
#include "cli/renamecommand.h"

namespace qm::cli {

// `quillmark-cli rename --map FILE`: renames each OLD of the map (handnames.h) to its NEW
// in OLD's folder, in the planned order, journaled; `dryRun` and `verbose` as for rename.
// A map that cannot be read or is malformed is refused before anything moves (exit 2,
// naming the line); otherwise the exit status of rename.
int RunRenameMap(const RenameArgs& args);

// `quillmark-cli preview --map FILE`: one "OLD<TAB>NEW PATH" line per pair, NEW PATH
// being NEW in OLD's folder; reads no folder. Exit status as preview's.
int RunPreviewMap(const PreviewArgs& args);

} // namespace qm::cli
