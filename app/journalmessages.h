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
// not undone, its process gone) and left files renamed: one question with the counts,
// and on yes the undo (journaled, with a progress window when it takes long) and its
// result. Returns whether it asked.
bool OfferUndoOfInterruptedRun(QWidget* parent, const TDynLang* program,
                               const TJournalPlace& place);

} // namespace qm
