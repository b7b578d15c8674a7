#include "rename/folderinodes.h"

#include <cstring>
#include <dirent.h>
#include <linux/magic.h>
#include <sys/vfs.h>

namespace qm {

bool FolderInodesStable(const std::string& folder) {
    struct statfs fs {};
    if (statfs(folder.empty() ? "." : folder.c_str(), &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x65735546UL: // FUSE: numbers made up per name
    case MSDOS_SUPER_MAGIC:
    case EXFAT_SUPER_MAGIC:
    case 0x5346544eUL: // NTFS
    case OVERLAYFS_SUPER_MAGIC:
    case SMB_SUPER_MAGIC:
    case 0xFF534D42UL: // CIFS
    case 0xFE534D42UL: // SMB2
        return false;
    default:
        return true;
    }
}

FolderInodes::FolderInodes(const std::string& folder) {
    if (!FolderInodesStable(folder))
        return;
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr)
        return;
    while (const dirent* entry = readdir(dir)) {
        const std::size_t length = std::strlen(entry->d_name);
        entries_.push_back({names_.size(), length, entry->d_ino});
        names_.append(entry->d_name, length);
    }
    closedir(dir);
    std::size_t size = 16;
    while (size < entries_.size() * 2)
        size *= 2;
    table_.assign(size, kEmpty);
    for (std::uint32_t i = 0; i < entries_.size(); ++i) {
        std::size_t at = std::hash<std::string_view>{}(Name(i)) & (size - 1);
        while (table_[at] != kEmpty)
            at = (at + 1) & (size - 1);
        table_[at] = i;
    }
}

} // namespace qm
