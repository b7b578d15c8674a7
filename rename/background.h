#pragma once

// A thread that helps a run renaming on another one (working out and journaling the
// moves ahead, and making the command line's entries as it goes): it gives way to the
// run. Where the scheduler puts it beside the run, or another program takes the other
// core, the renames would otherwise take turns with it though it is ahead. When the run
// waits for it, it has the processor to itself all the same.

namespace qm {

// Lowers the calling thread's priority (a nice value of 10 above the process's, at most
// 19). Nothing else changes; a thread that may not lower it goes on as it is.
void GiveWayToTheRun();

} // namespace qm
