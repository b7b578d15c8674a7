#include "filelist/folderwalk.h"

#include <dirent.h>
#include <set>
#include <sys/stat.h>
#include <utility>

namespace qm {

namespace {

constexpr std::size_t ProgressEvery = 512;

class Walker {
public:
    Walker(bool subFolders, const WalkProgress& progress)
        : subFolders_(subFolders), progress_(progress) {}

    void Walk(const std::string& folder) {
        DIR* dir = ::opendir(folder.c_str());
        if (dir == nullptr)
            return;
        struct stat self {};
        // Only the folders a walk can recurse into need remembering: a walk without
        // subfolders visits one folder.
        if (subFolders_ && ::fstat(::dirfd(dir), &self) == 0 &&
            !seen_.insert({self.st_dev, self.st_ino}).second) {
            ::closedir(dir);
            return;
        }
        while (!result.Cancelled) {
            const dirent* entry = ::readdir(dir);
            if (entry == nullptr)
                break;
            const std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            if (!IsDirectory(folder, name, entry->d_type)) {
                result.Files.push_back({name, folder});
                if (progress_ && result.Files.size() % ProgressEvery == 0 &&
                    !progress_(result.Files.size()))
                    result.Cancelled = true;
            } else if (subFolders_) {
                Walk(folder + name + '/');
            }
        }
        ::closedir(dir);
    }

    FolderWalkResult result;

private:
    static bool IsDirectory(const std::string& folder, const std::string& name,
                            unsigned char type) {
        if (type == DT_DIR)
            return true;
        if (type != DT_LNK && type != DT_UNKNOWN)
            return false;
        // A link counts as what it points to; a dangling link is a file.
        struct stat info {};
        return ::stat((folder + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    }

    bool subFolders_;
    const WalkProgress& progress_;
    std::set<std::pair<dev_t, ino_t>> seen_;
};

} // namespace

FolderWalkResult WalkFolder(const std::string& folder, bool subFolders,
                            const WalkProgress& progress) {
    std::string start = folder;
    if (start.empty() || start.back() != '/')
        start += '/';
    Walker walker(subFolders, progress);
    walker.Walk(start);
    return std::move(walker.result);
}

} // namespace qm
