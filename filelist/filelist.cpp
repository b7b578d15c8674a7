#include "filelist/filelist.h"

#include "filelist/iconnames.h"

namespace qm {

TFileList::TFileList(TIconNames& icons)
    : fileSystem_(std::make_unique<TFileSystem>(icons)),
      items_(std::make_unique<TFileItems>(*this)) {}

TFileList::TFileList() : TFileList(TIconNames::Program()) {}

} // namespace qm
