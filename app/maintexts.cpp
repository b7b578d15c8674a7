#include "app/maintexts.h"

#include "app/monthnames.h"
#include "app/options/optiontabs.h"
#include "app/options/replacelist.h"
#include "app/weblinks.h"
#include "app/widgets/qttext.h"
#include "engine/organize.h"
#include "engine/tagtext.h"
#include "language/dynlang.h"
#include "language/placeholders.h"
#include "language/textkeys.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QMenu>
#include <algorithm>

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
    } else if (QWidget* widget = window.findChild<QWidget*>(control)) {
        // An option's hint is its tool tip, which a screen reader gives as its description.
        widget->setToolTip(hint);
        widget->setAccessibleDescription(hint);
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
        std::string text =
            key.form == TextForm::Keyed ? client.GetKeyedLine(name) : client.GetLine(name);
        switch (key.role) {
        case TextRole::Caption:
            // The reset button keeps a shorter caption of its own where the language has one.
            if (control == QLatin1String("ResetBtn") && text.empty()) {
                text = program.GetKeyedLine("RESET");
            }
            // The example tag is the program's: a language file cannot hold its ">".
            if (key.placeholders > 0) {
                text = FillPlaceholders(text, {std::string(TagCaptionExample)});
            }
            SetCaption(window, tabs, control, ScreenText(text + std::string(key.suffix)));
            break;
        case TextRole::Hint: {
            QString hint = ScreenText(text);
            if (control == QLatin1String("A_WebMKHP")) {
                hint.replace(QLatin1String("%1"),
                             QString::fromStdString(MakerPageAddress(language)));
            } else if (control == QLatin1String("A_WebQMHP")) {
                hint.replace(QLatin1String("%1"),
                             QString::fromStdString(ProductPageAddress(language)));
            } else if (key.placeholders > 0) {
                break; // the hint of the Languages menu's items, set as the menu is built
            }
            SetHint(window, control, hint);
            break;
        }
        case TextRole::Column:
            if (control == QLatin1String("ReplaceList")) {
                tabs.ReplaceList->headerItem()->setText(replaceColumn++, ScreenText(text));
            }
            break;
        default:
            break;
        }
    }
    tabs.NameSwitchedFields();
    const TextLookup lookup = [&program](const std::string& key) {
        return program.GetLine(key);
    };
    tabs.SetTagTexts(lookup);
    SetInterfaceMonthNames(LanguageMonthNames(lookup));
    // A language without the form (or with one lacking "%1" or "%2") numbers in the
    // default form.
    SetTakenNameForm(program.GetLine("TAKENNAMEFORM"));
}

void BuildLanguageMenu(QMenu& menu, const std::vector<std::string>& names,
                       const std::vector<std::string>& nativeNames, const std::string& current,
                       const std::string& hintPattern, const std::function<void(int)>& clicked) {
    // The old items go later, not now: the menu is rebuilt from the click handler of one
    // of them, which is still running.
    for (QAction* old : menu.actions()) {
        menu.removeAction(old);
        old->deleteLater();
    }
    for (QActionGroup* old : menu.findChildren<QActionGroup*>(Qt::FindDirectChildrenOnly)) {
        old->setParent(nullptr);
        old->deleteLater();
    }
    auto* group = new QActionGroup(&menu);
    // A menu item remembers its position in eight bits: no more than 256 languages.
    const std::size_t count = std::min<std::size_t>(nativeNames.size(), 256);
    for (std::size_t i = 0; i < count; ++i) {
        const QString native = QString::fromStdString(nativeNames[i]);
        // A language's own name is plain text: an "&" in it is no accelerator mark.
        QString caption = native;
        caption.replace(QLatin1Char('&'), QLatin1String("&&"));
        QAction* item = menu.addAction(caption);
        item->setObjectName(QStringLiteral("M_Language%1").arg(i));
        item->setCheckable(true);
        item->setActionGroup(group);
        item->setData(static_cast<int>(i));
        // One pass over the pattern: a "%1" inside the name is not expanded again.
        item->setStatusTip(ScreenText(hintPattern).replace(QLatin1String("%1"), native));
        item->setChecked(i < names.size() && names[i] == current);
        const int position = static_cast<int>(i);
        QObject::connect(item, &QAction::triggered, &menu,
                         [clicked, position] { clicked(position); });
    }
    menu.setEnabled(!names.empty());
}

} // namespace qm
