#pragma once

// What the window says about the run journal (rename/journal.h): a journal that could not
// be written, and, at start-up, a last run that was interrupted, with the offer to undo it.
// Window thread only.

#include "rename/journaledrun.h"

#include <string>

class QWidget;

namespace qm {

class TDynLang;

// A journal text of the program's language, or its English text when the language lacks
// it; line breaks as the language files give them (LF CR).
std::string JournalText(const TDynLang* program, const std::string& key);

// A warning box: the run did not start because its journal could not be begun (`ran`
// false), or its journal broke or could not be closed; `problem` says why.
void ShowJournalProblem(QWidget* parent, const TDynLang* program, bool ran,
                        const std::string& problem);

// When the newest journal in `place` is of a rename run that was interrupted (not closed,
// not undone, its new names not kept, its process gone), or an undo that left such a run
// partly undone, and files still have the run's names: one question with the counts and
// three answers. "Undo" takes the run back (journaled, with a progress window when it
// takes long) and shows the result; "Keep the new names" marks the journal so that the
// run is never offered again; "Ask me later" (also Escape) changes nothing, and the
// question comes back at the next start. Returns whether it asked.
bool OfferUndoOfInterruptedRun(QWidget* parent, const TDynLang* program,
                               const TJournalPlace& place);

} // namespace qm
