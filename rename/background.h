#pragma once

// A thread that helps a run renaming on another one (working out and journaling the
// moves ahead, listing a folder, making the entries): it gives way to the run. On two
// cores a run has three or four threads busy at its start, and the scheduler would
// otherwise take turns between them, the renames included, though the helpers are ahead.
// When the run waits for a helper, the helper has the processor to itself all the same.

namespace qm {

// Lowers the calling thread's priority (a nice value of 10 above the process's, at most
// 19). Nothing else changes; a thread that may not lower it goes on as it is.
void GiveWayToTheRun();

} // namespace qm
