#include "app/run/takennumbers.h"

#include "app/list/filelistmodel.h"
#include "app/list/predictionmarks.h"
#include "app/widgets/qttext.h"
#include "filelist/fileitem.h"
#include "filelist/fileitems.h"

namespace qm {

std::vector<TShownName> TakeShownNames(const TFileItems& items, const TFileListModel& model) {
    std::vector<TShownName> shown;
    const auto lock = items.ReadLock();
    for (int row = 0; row < items.Count(); ++row) {
        const TFileItem* entry = items.Items(row);
        if (entry == nullptr)
            continue;
        const auto mark = model.Marks().Find(row);
        const MarkKind kind = mark ? mark->Kind : MarkKind::TagMissing;
        if (kind == MarkKind::Fails || kind == MarkKind::Taken || kind == MarkKind::Keeps)
            continue; // not expected to be renamed
        TShownName name{row, entry->Path(), entry->Name(), {}, {}};
        if (kind == MarkKind::Shifted || kind == MarkKind::Companion) {
            name.Plain = mark->Name; // the name the run tries, before any taken number
        } else if (entry->HandName() != nullptr) {
            name.Plain = *entry->HandName();
        } else {
            const QString options = model.OptionsName(*entry, row);
            if (options == PendingNameText())
                continue;
            name.Plain = S(options);
        }
        name.Shown = kind == MarkKind::Numbered ? std::string(mark->Name) : name.Plain;
        shown.push_back(std::move(name));
    }
    return shown;
}

int CountOtherNumbers(const std::vector<TShownName>& shown,
                      const std::function<std::string(int slot)>& now, const std::string& form) {
    int other = 0;
    for (const TShownName& name : shown) {
        const std::string after = now(name.Slot);
        // Renamed, within its folder or a sub-folder its new name names.
        if (after.size() <= name.Folder.size() ||
            after.compare(0, name.Folder.size(), name.Folder) != 0)
            continue;
        const std::string renamed = after.substr(name.Folder.size());
        if (renamed != name.Name && renamed != name.Shown &&
            NumberedFrom(renamed, name.Plain, form))
            ++other;
    }
    return other;
}

} // namespace qm
