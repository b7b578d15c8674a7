#include "app/maintexts.h"

#include "app/optiontabs.h"
#include "app/renamesummary.h"
#include "app/replacelist.h"
#include "app/weblinks.h"
#include "language/dynlang.h"
#include "language/textkeys.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QMenu>

namespace qm {

namespace {

void SetCaption(QWidget& window, TOptionTabs& tabs, const QString& control, const QString& text) {
    if (QAction* action = window.findChild<QAction*>(control)) {
        action->setText(text);
    } else if (QMenu* menu = window.findChild<QMenu*>(control)) {
        menu->setTitle(text);
    } else if (QWidget* widget = window.findChild<QWidget*>(control)) {
        const int tab = tabs.indexOf(widget);
        if (tab >= 0) {
            tabs.setTabText(tab, text);
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            button->setText(text);
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            label->setText(text);
        }
    }
}

void SetHint(QWidget& window, const QString& control, const QString& hint) {
    if (QAction* action = window.findChild<QAction*>(control)) {
        action->setStatusTip(hint);
    } else if (QMenu* menu = window.findChild<QMenu*>(control)) {
        menu->menuAction()->setStatusTip(hint);
    }
}

} // namespace

void BindMainWindowTexts(QWidget& window, TOptionTabs& tabs, const TDynLang& common,
                         const TDynLang& program, const std::string& language) {
    int replaceColumn = 0;
    for (const TextKey& key : TextKeys()) {
        if (key.window != TextWindow::Main || key.control.empty()) {
            continue;
        }
        const TDynLang& client = key.client == TextClient::Common ? common : program;
        const std::string name(key.name);
        const QString control = QString::fromUtf8(key.control.data(), key.control.size());
        const std::string text =
            key.form == TextForm::Keyed ? client.GetKeyedLine(name) : client.GetLine(name);
        switch (key.role) {
        case TextRole::Caption:
            if (!text.empty()) {
                SetCaption(window, tabs, control,
                           QString::fromStdString(text + std::string(key.suffix)));
            }
            break;
        case TextRole::Hint: {
            std::string hint = text;
            if (control == QLatin1String("A_WebMKHP")) {
                hint = ReplaceFirstPlaceholder(hint, "%1", MakerPageAddress(language));
            } else if (control == QLatin1String("A_WebQMHP")) {
                hint = ReplaceFirstPlaceholder(hint, "%1", ProductPageAddress(language));
            } else if (key.placeholders > 0) {
                break; // a hint of the items of a menu, not of the menu itself
            }
            if (!hint.empty()) {
                SetHint(window, control, QString::fromStdString(hint));
            }
            break;
        }
        case TextRole::Column:
            if (control == QLatin1String("ReplaceList") && !text.empty()) {
                tabs.ReplaceList->headerItem()->setText(replaceColumn,
                                                        QString::fromStdString(text));
            }
            if (control == QLatin1String("ReplaceList")) {
                ++replaceColumn;
            }
            break;
        default:
            break;
        }
    }
    tabs.NameSwitchedFields();
}

} // namespace qm
