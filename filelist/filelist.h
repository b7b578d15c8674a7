#pragma once

// The files the user collected: the entries (Items) and the file system that reads their
// properties. The main window owns exactly one for the whole run; tests make their own.
// See TFileItems for threads.

#include "filelist/fileitems.h"
#include "filelist/filesystem.h"

#include <memory>

namespace qm {

class TIconNames;

class TFileList {
public:
    // Image indexes of added entries point into `icons`, which must outlive the list.
    explicit TFileList(TIconNames& icons);
    // Uses the program's icon list.
    TFileList();
    TFileList(const TFileList&) = delete;
    TFileList& operator=(const TFileList&) = delete;

    TFileSystem& FileSystem() { return *fileSystem_; }
    TFileItems& Items() { return *items_; }
    const TFileItems& Items() const { return *items_; }

    // The icon names that entries' image indexes refer to; the view makes large and
    // small icons from the same list.
    const TIconNames& GetLargeImages() const { return fileSystem_->GetLargeImages(); }
    const TIconNames& GetSmallImages() const { return fileSystem_->GetSmallImages(); }

private:
    std::unique_ptr<TFileSystem> fileSystem_;
    std::unique_ptr<TFileItems> items_;
};

} // namespace qm
