#pragma once

// The readable summary of an option set and the "in use" mark on option tab captions.
// Pure functions over plain values; the wording comes from a text lookup (the program's
// language client in the window, a table in tests).

#include "engine/renameoptionset.h"

#include <functional>
#include <string>

namespace qm {

// Returns the first line of the language text of a key ("" for a missing key).
using TextLookup = std::function<std::string(const std::string& key)>;

// Appends "  -  " when `summary` is not empty, then `item`.
void AppendSummaryItem(std::string& summary, const std::string& item);

// One item per active option, in the order the engine applies them, joined by "  -  ";
// the "no options" text when none applies. An item's language text gets its values in
// one pass (see FillPlaceholders): a typed "%2" is shown as typed.
std::string BuildRenameSummary(const RenameOptionSet& options, const TextLookup& text);

// The tab captions are marked by this suffix while the tab's options are in use.
inline constexpr char TabMark[] = "  \u00d7";

// `caption` with the mark added (in use) or removed (not in use); never marked twice, and
// an empty caption stays empty.
std::string MarkTabCaption(const std::string& caption, bool inUse);

// Whether each option tab is in use; a tab is in use as soon as its group switch is on.
bool GeneralTabInUse(const RenameOptionSet& options);

} // namespace qm
