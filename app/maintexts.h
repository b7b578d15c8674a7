#pragma once

// Puts the language's captions and hints on the main window's actions, menus and option
// controls, found by object name through the program's list of text keys. A text the
// language lacks leaves the built-in English caption in place.

#include <string>

class QWidget;

namespace qm {

class TDynLang;
class TOptionTabs;

void BindMainWindowTexts(QWidget& window, TOptionTabs& tabs, const TDynLang& common,
                         const TDynLang& program, const std::string& language);

} // namespace qm
