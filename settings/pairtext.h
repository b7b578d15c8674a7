#pragma once

// A find/replace pair as one stored text, "Replace:ReplaceWith", read back by splitting at
// the first ":". That form is kept for every pair, so settings and scheme files written
// before keep reading the same, but it cannot tell where a Replace text that holds ":"
// ends (":" is an ordinary file-name character here). Such a pair is therefore stored
// with its Replace text once more beside it (an extra value or scheme line); a reader
// that has that text, and finds the pair text beginning with it and ":", splits there.
// Readers that do not know the extra text still read the pair as they always did.

#include "engine/renameoptionset.h"

#include <string>
#include <string_view>

namespace qm {

std::string JoinPairText(const ReplacePair& pair);

// Whether the pair needs its Replace text stored beside the pair text.
bool NeedsExactReplace(const ReplacePair& pair);

// What a text without any ":" means differs between the store and the scheme text.
enum class LonePairText { IsReplaceWith, IsReplace };

// `exactReplace` is the Replace text stored beside the pair, or null when there is none.
ReplacePair SplitPairText(std::string_view text, const std::string* exactReplace,
                          LonePairText lone);

} // namespace qm
