#include "settings/pairtext.h"

namespace qm {

std::string JoinPairText(const ReplacePair& pair) {
    return pair.Replace + ":" + pair.ReplaceWith;
}

bool NeedsExactReplace(const ReplacePair& pair) {
    return pair.Replace.find(':') != std::string::npos;
}

ReplacePair SplitPairText(std::string_view text, const std::string* exactReplace,
                          LonePairText lone) {
    // The extra text is trusted only when the pair text still fits it: a version that
    // knows nothing of it may have rewritten the pair and left it behind.
    if (exactReplace != nullptr && !exactReplace->empty() && text.size() > exactReplace->size() &&
        text.starts_with(*exactReplace) && text[exactReplace->size()] == ':')
        return {*exactReplace, std::string(text.substr(exactReplace->size() + 1))};
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        if (lone == LonePairText::IsReplace)
            return {std::string(text), {}};
        return {{}, std::string(text)};
    }
    return {std::string(text.substr(0, colon)), std::string(text.substr(colon + 1))};
}

} // namespace qm
