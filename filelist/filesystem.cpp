#include "filelist/filesystem.h"

#include "filelist/file.h"
#include "filelist/folder.h"
#include "filelist/iconnames.h"
#include "filelist/mimematcher.h"

#include <QMimeDatabase>

namespace qm {

TFileSystem::TFileSystem(TIconNames& icons)
    : icons_(icons), mimeTypes_(std::make_unique<QMimeDatabase>()) {}

TFileSystem::TFileSystem() : TFileSystem(TIconNames::Program()) {}

TFileSystem::~TFileSystem() = default;

std::unique_ptr<TFile> TFileSystem::GetFile(const std::string& path) const {
    auto file = std::make_unique<TFile>(*this);
    file->OpenPath(path);
    return file;
}

std::unique_ptr<TFolder> TFileSystem::GetPersonalFolder() const {
    auto folder = std::make_unique<TFolder>();
    folder->OpenSpecial(SpecialFolder::Personal);
    return folder;
}

QMimeType TFileSystem::MimeTypeOfFileName(const std::string& name) const {
    // Made on first use: a TFileSystem made only to find the documents folder never pays
    // for indexing the MIME patterns.
    if (!matcher_)
        matcher_ = std::make_unique<TMimeMatcher>(*mimeTypes_);
    return matcher_->ForFileName(QString::fromUtf8(name));
}

QMimeType TFileSystem::MimeTypeNamed(const char* mimeName) const {
    return mimeTypes_->mimeTypeForName(QString::fromLatin1(mimeName));
}

const TFileSystem::TypeFacts& TFileSystem::FactsOf(const QMimeType& type) const {
    auto found = facts_.find(type.name());
    if (found == facts_.end()) {
        TypeFacts facts;
        facts.TypeName = type.comment().toStdString();
        facts.IconIndex =
            icons_.IndexOf({type.iconName().toStdString(), type.genericIconName().toStdString()});
        found = facts_.insert(type.name(), std::move(facts));
    }
    return *found;
}

int TFileSystem::IconIndexOf(const char* name, const char* fallback) const {
    return icons_.IndexOf({name, fallback});
}

} // namespace qm
