#pragma once

#include "rename/journalformat.h"

#include <vector>

namespace qm::cli {

// Whether the run in list order over `moves` (entry k: its From in its Folder renamed to
// its To) ends as the planned run would: every entry the same outcome, every file the
// same name. That holds when no move can stand in another's way or change where another
// entry is: in each folder (told by its identity, not its spelling) the old and new
// names, compared as a folder that ignores letter case compares them, are all distinct,
// no new name holds "/", and no name an entry's folder path passes through is an old or
// new name. A folder path that cannot be followed down plainly (a symbolic link, "..",
// a part that is not a folder) answers false: the plan sorts those out. Reads nothing
// but the folders' paths (one lstat per path prefix, once per spelling of a folder).
bool ListOrderIsPlanned(const std::vector<TJournalMoveRef>& moves);

} // namespace qm::cli
