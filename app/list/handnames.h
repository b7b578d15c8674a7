#pragma once

// Names typed by hand in the window (TFileItem::HandName): what the list and the status
// line say about them, and which rows a command changes. The model sets them
// (TFileListModel::SetHandNames); these helpers only read.
//
// Plain functions; window thread. The counting ones take the list's read lock themselves.

#include "app/list/predictionmarks.h"

#include <QString>
#include <string>
#include <utility>
#include <vector>

namespace qm {

class TFileItems;

// A row and the name it is to get by hand; "" gives it back to the options.
using HandNameChange = std::pair<int, std::string>;

// The rows that have a name typed by hand.
int CountHandNames(const TFileItems& items);

// The changes that give the rows among `rows` that have a name typed by hand back to the
// options; all rows of the list when `everyRow` is set.
std::vector<HandNameChange> HandNamesToDrop(const TFileItems& items, const std::vector<int>& rows,
                                            bool everyRow = false);

// The tool tip of a cell named by hand: that it was typed, and what the options would give.
QString HandNameTip(const QString& optionsName, const MarkTextSource& texts);

// "3 named by hand" for the status line; empty for none.
QString HandNameCountText(int count, const MarkTextSource& texts);

// The rename summary's line on names typed by hand; empty for none.
QString HandNameSummaryText(int count, const MarkTextSource& texts);

// What the editor says when Enter is pressed on an empty name.
QString EmptyHandNameText(const MarkTextSource& texts);

} // namespace qm
