#include "filelist/filesystem.h"

#include "filelist/folder.h"

namespace qm {

TFileSystem::TFileSystem() = default;
TFileSystem::~TFileSystem() = default;

std::unique_ptr<TFolder> TFileSystem::GetPersonalFolder() const {
    auto folder = std::make_unique<TFolder>();
    folder->OpenSpecial(SpecialFolder::Personal);
    return folder;
}

} // namespace qm
