#pragma once

// With taken names numbered, another program may take the name the list shows for a file
// between the prediction and the rename; the run then takes the next free number. What
// the list showed is taken before the run, and held against the names the run left, so
// that the closing message can say how many files got another number than shown.
//
// Window thread only; the values are plain copies.

#include <functional>
#include <string>
#include <vector>

namespace qm {

class TFileItems;
class TFileListModel;

struct TShownName {
    int Slot = -1;
    std::string Folder; // the entry's folder and name before the run
    std::string Name;
    std::string Shown; // the new name the list showed (a mark's name where it gives one)
    std::string Plain; // the name before any number for a taken name was added to it
};

// The names the list shows for the entries its marks expect renamed (with the names typed
// by hand); rows whose new name waits for tags are left out. The marks must be those of
// the list and options as they are.
std::vector<TShownName> TakeShownNames(const TFileItems& items, const TFileListModel& model);

// How many of `shown` the run renamed to another numbered form of their plain name than
// the one shown; `now` gives the folder and name of a slot after the run as one path.
int CountOtherNumbers(const std::vector<TShownName>& shown,
                      const std::function<std::string(int slot)>& now, const std::string& form);

} // namespace qm
