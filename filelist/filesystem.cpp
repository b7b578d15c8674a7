#include "filelist/filesystem.h"

#include "filelist/file.h"
#include "filelist/folder.h"
#include "filelist/iconnames.h"

#include <QMimeDatabase>

namespace qm {

TFileSystem::TFileSystem(TIconNames& icons)
    : icons_(icons), mimeTypes_(std::make_unique<QMimeDatabase>()) {}

TFileSystem::TFileSystem() : TFileSystem(TIconNames::Program()) {}

TFileSystem::~TFileSystem() = default;

std::unique_ptr<TFile> TFileSystem::GetFile(const std::string& path) const {
    auto file = std::make_unique<TFile>(*mimeTypes_, icons_);
    file->OpenPath(path);
    return file;
}

std::unique_ptr<TFolder> TFileSystem::GetPersonalFolder() const {
    auto folder = std::make_unique<TFolder>();
    folder->OpenSpecial(SpecialFolder::Personal);
    return folder;
}

} // namespace qm
