#include "app/list/handnames.h"

#include "app/widgets/qttext.h"
#include "filelist/fileitem.h"
#include "filelist/fileitems.h"

namespace qm {

namespace {

bool HasHandName(const TFileItems& items, int row) {
    const TFileItem* entry = items.Items(row);
    return entry != nullptr && entry->HandName() != nullptr;
}

} // namespace

int CountHandNames(const TFileItems& items) {
    const auto lock = items.ReadLock();
    int count = 0;
    for (int row = 0; row < items.Count(); ++row)
        count += HasHandName(items, row) ? 1 : 0;
    return count;
}

std::vector<HandNameChange> HandNamesToDrop(const TFileItems& items, const std::vector<int>& rows,
                                            bool everyRow) {
    const auto lock = items.ReadLock();
    std::vector<HandNameChange> drops;
    const auto consider = [&](int row) {
        if (HasHandName(items, row))
            drops.emplace_back(row, std::string());
    };
    if (everyRow) {
        for (int row = 0; row < items.Count(); ++row)
            consider(row);
    } else {
        for (int row : rows)
            consider(row);
    }
    return drops;
}

QString HandNameTip(const QString& optionsName, const MarkTextSource& texts) {
    return FillFirst(
        SourceText(texts, "HANDNAMETIP", "Typed by hand; the options give \u201c%1\u201d"),
        optionsName);
}

QString HandNameCountText(int count, const MarkTextSource& texts) {
    if (count <= 0)
        return QString();
    // The language files have no plural forms: one text for one file, one for the rest.
    if (count == 1)
        return SourceText(texts, "HANDNAMECOUNTONE", "1 named by hand");
    return FillFirst(SourceText(texts, "HANDNAMECOUNT", "%1 named by hand"),
                     QString::number(count));
}

QString HandNameSummaryText(int count, const MarkTextSource& texts) {
    if (count <= 0)
        return QString();
    if (count == 1)
        return SourceText(texts, "HANDNAMESUMMARYONE",
                          "1 file keeps the name typed by hand, whatever the options say");
    return FillFirst(SourceText(texts, "HANDNAMESUMMARY",
                                "%1 files keep the names typed by hand, whatever the options say"),
                     QString::number(count));
}

QString EmptyHandNameText(const MarkTextSource& texts) {
    return SourceText(texts, "HANDNAMEEMPTY",
                      "A file needs a name: type one, or press Escape to "
                      "use the options' name");
}

} // namespace qm
