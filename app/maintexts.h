#pragma once

// Puts the chosen language's captions and hints on the main window's menus, actions and
// option controls, found by object name through the program's list of text keys, and
// builds the Languages menu. A text the language lacks leaves an empty caption (with the
// program's own suffix, so a missing label still shows ":"); the reset button alone falls
// back, from its own text to the reset action's.

#include <QString>
#include <functional>
#include <string>
#include <vector>

class QMenu;
class QObject;
class QWidget;

namespace qm {

class TDynLang;
class TOptionTabs;

// What the caption of the InsertTags switch names as its example ("%1" in its text).
inline constexpr char TagCaptionExample[] = "<taken>";

// Also hands the language's month names to the tags (SetInterfaceMonthNames) and its form
// of a taken name's number to the runs (SetTakenNameForm): the names the list shows follow
// the language from the first binding on, once the prediction runs again.
void BindMainWindowTexts(QWidget& window, TOptionTabs& tabs, const TDynLang& common,
                         const TDynLang& program, const std::string& language);

// Refills `menu` with one checkable item per language, captioned with its own name, its
// hint made from `hintPattern` ("%1" is the name); the item of `current` (compared
// exactly) is checked and each item's data is its position. The menu is disabled when
// there are no languages. `clicked` is called with the item's position.
void BuildLanguageMenu(QMenu& menu, const std::vector<std::string>& names,
                       const std::vector<std::string>& nativeNames, const std::string& current,
                       const std::string& hintPattern, const std::function<void(int)>& clicked);

} // namespace qm
