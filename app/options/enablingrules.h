#pragma once

// Which option controls are enabled, from the check marks, texts and selection the
// controls hold. Controls not governed here (the group switches, AppendExt, ChangeExtInfo,
// the plain labels) stay enabled. Disabling never changes a check mark or a value.

namespace qm {

class TOptionTabs;

// Sets the enabled state of every governed control, tab by tab in the order General,
// Remove, Replace, Insert, Format, Shuffle; later rules read the states earlier ones set.
void ApplyEnablingRules(TOptionTabs& tabs);

} // namespace qm
