#pragma once

// Copies a rename option set into the option controls and back. The controls are the live
// copy of the options while the window is open; the settings and the schemes copy them in
// and out through these two functions.

#include "engine/renameoptionset.h"

namespace qm {

class TOptionTabs;

// Sets every control from its field, with the controls' signals blocked: the caller runs
// the option-change reaction once afterwards. The replace list gets the valid pairs in
// stored order and sorts them itself, each keeping its own ReplaceWith.
void ApplyOptionsToControls(TOptionTabs& tabs, const RenameOptionSet& options);

// The option set the controls show. Number fields are read from the text as typed, not
// clamped to the field's range; a text that is no integer reads as the field's minimum.
// Pairs beyond the record's capacity are not read.
RenameOptionSet ReadOptionsFromControls(const TOptionTabs& tabs);

} // namespace qm
