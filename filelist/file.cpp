#include "filelist/file.h"

#include "filelist/datetimevalue.h"
#include "filelist/filesystem.h"

namespace qm {
namespace {

std::string LastComponent(const std::string& path) {
    std::size_t end = path.find_last_not_of('/');
    if (end == std::string::npos)
        return path.empty() ? std::string() : std::string("/");
    std::size_t start = path.rfind('/', end);
    start = start == std::string::npos ? 0 : start + 1;
    return path.substr(start, end - start + 1);
}

const char* InodeTypeName(mode_t mode, bool isLink) {
    if (isLink)
        return "inode/symlink";
    if (S_ISDIR(mode))
        return "inode/directory";
    if (S_ISCHR(mode))
        return "inode/chardevice";
    if (S_ISBLK(mode))
        return "inode/blockdevice";
    if (S_ISFIFO(mode))
        return "inode/fifo";
    if (S_ISSOCK(mode))
        return "inode/socket";
    return nullptr;
}

} // namespace

TFile::TFile(const TFileSystem& fileSystem) : fileSystem_(fileSystem) {}

void TFile::OpenPath(const std::string& path) {
    valid_ = false;
    isLink_ = false;
    info_ = {};
    mimeType_ = QMimeType();
    name_.clear();
    if (path.empty() || path.find('\0') != std::string::npos)
        return;
    if (::stat(path.c_str(), &info_) != 0) {
        if (::lstat(path.c_str(), &info_) != 0) {
            info_ = {};
            return;
        }
        isLink_ = S_ISLNK(info_.st_mode);
    }
    name_ = LastComponent(path);
    valid_ = true;
}

const QMimeType& TFile::MimeType() const {
    if (!mimeType_.isValid()) {
        // Matched by name only, the way a file manager labels a listing: reading every
        // file's first bytes would make adding a large folder crawl.
        if (const char* inodeType = InodeTypeName(info_.st_mode, isLink_))
            mimeType_ = fileSystem_.MimeTypeNamed(inodeType);
        else
            mimeType_ = fileSystem_.MimeTypeOfFileName(name_);
    }
    return mimeType_;
}

std::string TFile::GetTypeName() const {
    if (!valid_)
        return {};
    return fileSystem_.FactsOf(MimeType()).TypeName;
}

int TFile::GetIconIndex(bool /*large*/, bool open) const {
    if (!valid_)
        return 0;
    if (open && S_ISDIR(info_.st_mode) && !isLink_)
        return fileSystem_.IconIndexOf("folder-open", "folder");
    return fileSystem_.FactsOf(MimeType()).IconIndex;
}

std::uint64_t TFile::GetSize() const {
    // Only a file has a size of its own: a folder's st_size is the space its listing
    // takes and a dangling link's the length of its target's name, neither of which a
    // size column should show or sort by.
    if (!valid_ || !S_ISREG(info_.st_mode) || info_.st_size <= 0)
        return 0;
    return static_cast<std::uint64_t>(info_.st_size);
}

FileAttributes TFile::GetAttributes() const {
    FileAttributes bits;
    if (!valid_)
        return bits;
    if ((info_.st_mode & S_IWUSR) == 0)
        bits |= FileAttribute::ReadOnly;
    if (!name_.empty() && name_.front() == '.' && name_ != "." && name_ != "..")
        bits |= FileAttribute::Hidden;
    if (S_ISDIR(info_.st_mode))
        bits |= FileAttribute::Directory;
    else if (S_ISREG(info_.st_mode))
        bits |= FileAttribute::Archive;
    else
        bits |= FileAttribute::System;
    return bits;
}

double TFile::GetModified() const {
    if (!valid_)
        return 0;
    return LocalDateTimeValue(info_.st_mtim.tv_sec, info_.st_mtim.tv_nsec);
}

} // namespace qm
