#include "app/options/patternnote.h"

#include "language/placeholders.h"

namespace qm {

namespace {

// PCRE2 counts from 0; a user counts characters from 1. An offset just past the end
// (a group left open) becomes the position after the last character.
std::string Position(const PatternProblem& problem) {
    return std::to_string(problem.Offset + 1);
}

// English where the language has no text: a refusal must never go unexplained.
std::string Wording(const TextLookup& text, const char* key, const char* english) {
    std::string wording = text(key);
    return wording.empty() ? english : wording;
}

} // namespace

bool TPatternNote::Admit(const std::string& findText, const RenameOptionSet& options) {
    refused_.reset();
    if (!options.ReplaceRegularExpressions) {
        return true;
    }
    refused_ = CheckPattern(findText, options.ReplaceIgnoreCase);
    refusedText_ = findText;
    return !refused_.has_value();
}

std::string TPatternNote::Update(const std::string& findText, const RenameOptionSet& options,
                                 const TextLookup& text) {
    if (!options.ReplaceRegularExpressions || findText != refusedText_) {
        refused_.reset();
    }
    if (refused_) {
        return FillPlaceholders(
            Wording(text, "REPLACEPATTERNREFUSED", "Not added: at character %1, %2"),
            {Position(*refused_), refused_->Reason});
    }
    const std::optional<PatternProblem> listed = FindPatternProblem(options);
    if (!listed || listed->Pair < 0 || listed->Pair >= options.ReplaceCount) {
        return {};
    }
    const std::string& find = options.ReplacePairs[static_cast<std::size_t>(listed->Pair)].Replace;
    return FillPlaceholders(
        Wording(
            text, "REPLACEPATTERNPAIR",
            "\u201c%1\u201d in the list is not a valid regular expression: at character %2, %3"),
        {find, Position(*listed), listed->Reason});
}

} // namespace qm
