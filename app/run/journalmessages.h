#pragma once

// What the window says about the run journal (rename/journal.h): a journal that could not
// be written, and, at start-up, a last run that was interrupted, with the offer to undo it.
// Window thread only.

#include "rename/journaledrun.h"
#include "rename/journalundo.h"

#include <QString>
#include <atomic>
#include <cstddef>
#include <functional>
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

// An undo from a journal, as UndoJournal takes it: it reads `cancel` before each move and
// reports (moves done, moves) through `progress`.
using UndoProgress = std::function<void(std::size_t done, std::size_t total)>;
using UndoWork =
    std::function<TUndoResult(const std::atomic<bool>& cancel, const UndoProgress& progress)>;

// Runs `work` on a thread of its own, so that the window keeps painting; a window-modal
// progress window saying `text` appears when it takes longer than half a second, with a
// Cancel button captioned `cancelCaption` (none when it is empty) that sets `cancel`.
// Returns once the thread has ended, with what `work` returned.
TUndoResult UndoWithProgress(QWidget* parent, const QString& text, const QString& cancelCaption,
                             const UndoWork& work);

// The closing message of an undo from a journal (object name `name`): the names restored
// and not, the files not back when it left the run partly undone, and those left under
// both names; or, when its journal could not be begun, why nothing was undone.
void ShowUndoResult(QWidget* parent, const TDynLang* program, const TUndoResult& result,
                    const char* name);

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
