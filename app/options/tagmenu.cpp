#include "app/options/tagmenu.h"

#include <QAction>
#include <array>
#include <span>
#include <string_view>

namespace qm {

namespace {

struct TagItem {
    const char* tag;
    const char* key; // its description's language text
};

// What users reach for most: photos by the day they were taken, songs by track.
constexpr std::array ReadyMade{
    TagItem{"<taken:yyyy-MM-dd>", "TAGTAKENDAY"},
    TagItem{"<taken:yyyy-MM-dd|modified:yyyy-MM-dd>", "TAGTAKENORMODIFIEDDAY"},
    TagItem{"<track:2>", "TAGTRACKTWODIGITS"},
    TagItem{"<track:2> - <title>", "TAGTRACKANDTITLE"},
};

constexpr std::array FileTags{
    TagItem{"<modified>", "TAGMODIFIED"},
    TagItem{"<size>", "TAGSIZE"},
    TagItem{"<folder>", "TAGFOLDER"},
};

constexpr std::array PhotoTags{
    TagItem{"<taken>", "TAGTAKEN"},   TagItem{"<make>", "TAGMAKE"},
    TagItem{"<model>", "TAGMODEL"},   TagItem{"<width>", "TAGWIDTH"},
    TagItem{"<height>", "TAGHEIGHT"},
};

constexpr std::array MusicTags{
    TagItem{"<artist>", "TAGARTIST"}, TagItem{"<albumartist>", "TAGALBUMARTIST"},
    TagItem{"<album>", "TAGALBUM"},   TagItem{"<title>", "TAGTITLE"},
    TagItem{"<track>", "TAGTRACK"},   TagItem{"<disc>", "TAGDISC"},
    TagItem{"<year>", "TAGYEAR"},     TagItem{"<genre>", "TAGGENRE"},
};

struct TagGroup {
    const char* name; // the submenu's object name
    const char* key;  // its caption's language text
    std::span<const TagItem> items;
};

const std::array<TagGroup, 3> Groups{{
    {"FileTagsMenu", "TAGSFILE", FileTags},
    {"PhotoTagsMenu", "TAGSPHOTO", PhotoTags},
    {"MusicTagsMenu", "TAGSMUSIC", MusicTags},
}};

const char* const KeyProperty = "tagTextKey";

// A language text as menu text: an "&" in it is a plain character, not an accelerator.
QString MenuText(const std::string& text) {
    return QString::fromStdString(text).replace(QLatin1Char('&'), QLatin1String("&&"));
}

void AddItems(QMenu& menu, TTagMenu& owner, std::span<const TagItem> items) {
    for (const TagItem& item : items) {
        const QString tag = QString::fromLatin1(item.tag);
        QAction* action = menu.addAction(tag);
        action->setData(tag);
        action->setProperty(KeyProperty, QByteArray(item.key));
        QObject::connect(action, &QAction::triggered, &owner,
                         [&owner, tag] { emit owner.tagChosen(tag); });
    }
}

} // namespace

TTagMenu::TTagMenu(QWidget* parent) : QMenu(parent) {
    AddItems(*this, *this, ReadyMade);
    addSeparator();
    for (const TagGroup& group : Groups) {
        auto* sub = new QMenu(this);
        sub->setObjectName(QLatin1String(group.name));
        sub->menuAction()->setProperty(KeyProperty, QByteArray(group.key));
        AddItems(*sub, *this, group.items);
        addMenu(sub);
    }
}

void TTagMenu::SetTexts(const TextLookup& text) {
    for (QAction* action : findChildren<QAction*>()) {
        const QByteArray key = action->property(KeyProperty).toByteArray();
        if (key.isEmpty()) {
            continue;
        }
        const QString described = MenuText(text(key.toStdString()));
        if (action->menu() != nullptr) {
            action->setText(described);
            continue;
        }
        // Past the tab the menu shows the tag in its own column, aligned on the right, where
        // the eye finds it beside the plain description.
        const QString tag = action->data().toString();
        action->setText(described.isEmpty() ? tag : described + QLatin1Char('\t') + tag);
    }
}

QAction* TTagMenu::ItemOf(const QString& tag) const {
    for (QAction* action : findChildren<QAction*>()) {
        if (action->menu() == nullptr && action->data().toString() == tag) {
            return action;
        }
    }
    return nullptr;
}

} // namespace qm
