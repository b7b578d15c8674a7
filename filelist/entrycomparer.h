#pragma once

// The order of the file list: by one of the shown columns, ascending or descending, as
// the list view's header sets it. Installed in a TFileItems, it serves both as the
// comparison (for single additions and merges) and as the sort key (for whole sorts),
// and the two always agree.
//
// Holds a copy of the rename options for the new-name column; the owner hands it a
// fresh copy whenever the options change. Must outlive the TFileItems it is installed
// in (or be uninstalled first). Window thread only.

#include "engine/renameoptionset.h"
#include "filelist/columnset.h"
#include "filelist/textcollator.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

class TFileItem;
class TFileItems;

class TEntryComparer {
public:
    // `locale` names the collation of text columns (an ICU locale id); empty for the
    // user's locale.
    explicit TEntryComparer(const std::string& locale = std::string());
    TEntryComparer(const TEntryComparer&) = delete;
    TEntryComparer& operator=(const TEntryComparer&) = delete;

    // Installs Compare and SortKey in `items`; every later change of the order is
    // announced to it.
    void Install(TFileItems& items);

    void SetColumns(std::vector<ColumnId> columns);
    // Position of the sort column among the shown columns; outside them every entry
    // compares equal.
    void SetSortColumn(int position);
    // True sorts ascending.
    void SetSortDeclining(bool declining);
    void SetOptions(const RenameOptionSet& options);
    // True compares runs of digits in every text column by their value ("a2" before
    // "a10"); false, the default, compares them as text.
    void SetNumbersByValue(bool byValue);
    bool NumbersByValue() const { return numbersByValue_; }

    int SortColumn() const { return sortColumn_; }
    bool SortDeclining() const { return sortDeclining_; }
    // The column the list is sorted by, when the position names one.
    const ColumnId* SortedBy() const;

    // Negative when `a` goes first.
    int CompareEntries(const TFileItem& a, const TFileItem& b) const;
    // Bytes whose plain order is the order of CompareEntries.
    std::string SortKey(const TFileItem& entry) const;
    // The ascending key of the folder column for an entry in `folder` named `name`: by
    // folder, then by name. Folders compare part by part, so a folder goes before every
    // folder whose name begins with its own ("photos/" before "photos 2/") and before
    // the folders in it.
    std::string PathKey(std::string_view folder, std::string_view name) const;

private:
    int CompareFolders(std::string_view a, std::string_view b) const;
    int CompareAscending(const TFileItem& a, const TFileItem& b) const;
    std::string AscendingKey(const TFileItem& entry) const;
    void Changed();

    TFileItems* items_ = nullptr;
    std::vector<ColumnId> columns_;
    int sortColumn_ = 0;
    bool sortDeclining_ = true;
    RenameOptionSet options_;
    std::string locale_;
    bool numbersByValue_ = false;
    std::unique_ptr<TTextCollator> collator_;
};

} // namespace qm
