#pragma once

// What the line under the Replace tab's find field says while the find texts are regular
// expressions: why the find text just offered as a pair was refused, else which pair of
// the list does not compile (regular expressions turned on over plain pairs, a scheme
// loaded), else nothing. Plain state over option sets, so that it is tested without a
// window; the window asks it before adding a pair and after every option change.

#include "app/options/renamesummary.h"
#include "engine/renameoptionset.h"
#include "engine/replacepatterns.h"

#include <optional>
#include <string>

namespace qm {

class TPatternNote {
public:
    // Whether `findText` may become a pair under `options`: always with regular
    // expressions off, else when it compiles with the options' ReplaceIgnoreCase. A
    // refusal is kept for the note until the find text or the options drop it.
    bool Admit(const std::string& findText, const RenameOptionSet& options);

    // The note for the find field holding `findText` under `options`, in the language of
    // `text`; empty when there is nothing to say. A refusal is forgotten for good once the
    // find text differs from the one refused or regular expressions are off, so typing
    // the same text again does not bring it back.
    std::string Update(const std::string& findText, const RenameOptionSet& options,
                       const TextLookup& text);

private:
    std::optional<PatternProblem> refused_;
    std::string refusedText_;
};

} // namespace qm
