#pragma once

// One collected file: its name and folder, the undo name of the last rename, and the
// properties read from disk when it was added.
//
// Owned by its TFileItems, which makes and destroys it; a reference to an entry is good
// until the collection deletes or clears it. The name setters may run on a rename worker
// while the window thread reads the entry: they change the fields under the collection's
// lock, and a reader on another thread holds TFileItems::ReadLock() while it reads.
// Everything else happens on one thread.

#include "filelist/entrytags.h"
#include "filelist/fileattributes.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace qm {

class TFileItems;

class TFileItem {
public:
    // Sets `Owner`, `Path` and `Name`; reads the properties when `path` + `name` is not
    // empty. `path` ends in "/".
    TFileItem(TFileItems& owner, std::string path, std::string name);
    // The same with a folder shared with other entries (never null): a folder of a million
    // files then holds its path once instead of a million times.
    TFileItem(TFileItems& owner, std::shared_ptr<const std::string> path, std::string name);
    TFileItem(const TFileItem&) = delete;
    TFileItem& operator=(const TFileItem&) = delete;

    TFileItems& Owner() const { return owner_; }
    // Current bare name, extension included.
    const std::string& Name() const { return name_; }
    // The folder, ending in "/"; the full path is Path() + Name().
    const std::string& Path() const { return *path_; }
    // The folder as it is shared among entries; never null.
    const std::shared_ptr<const std::string>& SharedPath() const { return path_; }
    // The name before the last successful rename; empty when there is nothing to undo.
    const std::string& PrevName() const { return prevName_; }
    const std::string& TypeName() const { return typeName_; }
    // Small closed icon: an index in the file list's icon names.
    int ImageIndex() const { return imageIndex_; }
    std::uint64_t Size() const { return size_; }
    FileAttributes Attributes() const { return attributes_; }
    // Local last-write time as a date-time value; 0 when unknown.
    double ModDate() const { return modDate_; }
    // Renamed or restored by the last run.
    bool Renamed() const { return renamed_; }

    // The new name the user typed for this entry, which the run gives it whatever the
    // options say; null when the options name it. Dropped when the entry's name changes.
    // A reader on another thread holds TFileItems::ReadLock() and keeps the pointer.
    const std::shared_ptr<const std::string>& HandName() const { return handName_; }
    // An empty `name` drops the hand name, giving the entry back to the options.
    void SetHandName(std::string name);

    // The tags read from the file (entrytags.h); null until they were. Any thread, without
    // the list's lock: readers on worker threads set them while the window reads them.
    std::shared_ptr<const TEntryTags> Tags() const { return tags_.load(); }
    void SetTags(std::shared_ptr<const TEntryTags> tags) { tags_.store(std::move(tags)); }
    // True when the tags of `sources` (TagSource bits) are yet to be read.
    bool NeedsTags(unsigned sources) const;

    // Reads type name, icon, size, attributes and time of Path() + Name() through the
    // owner's file system; a path that does not resolve leaves them empty and zero.
    // Not read again on a rename: a changed extension keeps the earlier type and icon.
    void ReadProperties();

    // After a successful rename: PrevName := Name, Name := newName, Renamed := true, the
    // hand name dropped; then the collection sorts itself (not in update mode).
    void SetNewName(std::string newName);
    // When PrevName is not empty: Name := PrevName, PrevName := "", Renamed := true, the
    // hand name dropped; then the collection sorts itself. Otherwise nothing changes.
    void UndoName();
    // Drops the undo name (after a failed rename); then the collection sorts itself.
    void ClearPrevName();
    void ClearRenamed();
    bool CanUndo() const { return !prevName_.empty(); }

    // This entry's slot in its collection; -1 when it is not listed.
    int Index() const;
    // Deletes this entry from its collection; the reference is dangling afterwards.
    void Remove();

private:
    friend class TFileItems; // sets Name and Path of a blank entry

    TFileItems& owner_;
    std::string name_;
    std::shared_ptr<const std::string> path_; // shared among the entries of a folder
    std::string prevName_;
    std::string typeName_;
    // Side by side: a million entries are 16 MB smaller without the padding between them.
    int imageIndex_ = 0;
    FileAttributes attributes_;
    std::uint64_t size_ = 0;
    double modDate_ = 0;
    bool renamed_ = false;
    std::shared_ptr<const std::string> handName_;
    std::atomic<std::shared_ptr<const TEntryTags>> tags_;
};

} // namespace qm
