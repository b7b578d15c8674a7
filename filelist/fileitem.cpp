#include "filelist/fileitem.h"

#include "filelist/file.h"
#include "filelist/fileitems.h"
#include "filelist/filelist.h"

namespace qm {

namespace {

std::shared_ptr<const std::string> Folder(std::string path) {
    // Blank entries are many where names are added without their properties.
    static const auto none = std::make_shared<const std::string>();
    return path.empty() ? none : std::make_shared<const std::string>(std::move(path));
}

} // namespace

TFileItem::TFileItem(TFileItems& owner, std::string path, std::string name)
    : TFileItem(owner, Folder(std::move(path)), std::move(name)) {}

TFileItem::TFileItem(TFileItems& owner, std::shared_ptr<const std::string> path, std::string name)
    : owner_(owner), name_(std::move(name)), path_(std::move(path)) {
    if (!path_->empty() || !name_.empty())
        ReadProperties();
}

void TFileItem::ReadProperties() {
    const std::unique_ptr<TFile> file = owner_.List().FileSystem().GetFile(*path_ + name_);
    typeName_ = file->GetTypeName();
    imageIndex_ = file->GetIconIndex(false, false);
    size_ = file->GetSize();
    attributes_ = file->GetAttributes();
    modDate_ = file->GetModified();
}

void TFileItem::SetNewName(std::string newName) {
    {
        auto lock = owner_.WriteLock();
        // Moved, not copied: a run of a million files would copy two names a file.
        prevName_ = std::move(name_);
        name_ = std::move(newName);
        renamed_ = true;
        handName_.reset();
    }
    owner_.Sort();
}

void TFileItem::UndoName() {
    if (prevName_.empty())
        return;
    {
        auto lock = owner_.WriteLock();
        name_ = std::move(prevName_);
        prevName_.clear();
        renamed_ = true;
        handName_.reset();
    }
    owner_.Sort();
}

void TFileItem::ClearPrevName() {
    {
        auto lock = owner_.WriteLock();
        prevName_.clear();
    }
    owner_.Sort();
}

void TFileItem::SetHandName(std::string name) {
    std::shared_ptr<const std::string> hand =
        name.empty() ? nullptr : std::make_shared<const std::string>(std::move(name));
    auto lock = owner_.WriteLock();
    handName_ = std::move(hand);
}

void TFileItem::ClearRenamed() {
    // Only the thread that may change entries writes the mark, so it reads it unlocked:
    // a run over a list it marks nothing in takes no lock for it.
    if (!renamed_)
        return;
    auto lock = owner_.WriteLock();
    renamed_ = false;
}

int TFileItem::Index() const {
    return owner_.IndexOf(this);
}

void TFileItem::Remove() {
    owner_.Delete(Index());
}

bool TFileItem::NeedsTags(unsigned sources) const {
    const std::shared_ptr<const TEntryTags> tags = Tags();
    return sources != 0 && (!tags || (tags->Sources & sources) != sources);
}

} // namespace qm
