#include "rename/filecalls.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace qm {
namespace {

int Result(int rc) {
    return rc == 0 ? 0 : errno;
}

} // namespace

int TFileCalls::OpenFolder(const char* path, int& dir) {
    // O_PATH: a folder that may be written but not read still takes renames.
    dir = open(path, O_PATH | O_DIRECTORY | O_CLOEXEC);
    return dir >= 0 ? 0 : errno;
}

void TFileCalls::CloseFolder(int dir) {
    if (dir >= 0)
        close(dir);
}

int TFileCalls::Rename2(int dir, const char* from, const char* to, unsigned flags) {
    return Result(renameat2(dir, from, dir, to, flags));
}

int TFileCalls::RenameReplacing(int dir, const char* from, const char* to) {
    return Result(renameat(dir, from, dir, to));
}

int TFileCalls::Link(int dir, const char* from, const char* to) {
    return Result(linkat(dir, from, dir, to, 0));
}

int TFileCalls::Unlink(int dir, const char* name) {
    return Result(unlinkat(dir, name, 0));
}

int TFileCalls::MakeFolder(int dir, const char* name) {
    return Result(mkdirat(dir, name, 0777));
}

int TFileCalls::RemoveFolder(int dir, const char* name) {
    return Result(unlinkat(dir, name, AT_REMOVEDIR));
}

int TFileCalls::LStat(int dir, const char* name, struct stat& st) {
    return Result(fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW));
}

int TFileCalls::ListFolder(int dir, void (*each)(void* context, const char* name), void* context) {
    // A folder stream of its own: closedir closes the descriptor it reads.
    const int own = openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (own < 0)
        return errno;
    DIR* folder = fdopendir(own);
    if (folder == nullptr) {
        const int error = errno;
        close(own);
        return error;
    }
    errno = 0;
    while (const dirent* entry = readdir(folder)) {
        const char* name = entry->d_name;
        if (!(name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))))
            each(context, name);
        errno = 0;
    }
    const int error = errno;
    closedir(folder);
    return error;
}

int TFileCalls::FolderFileSystem(int dir, struct statfs& fs) {
    return Result(dir == AT_FDCWD ? statfs(".", &fs) : fstatfs(dir, &fs));
}

int TFileCalls::Access(int dir, const char* name, int mode) {
    return Result(faccessat(dir, name, mode, AT_EACCESS));
}

int TFileCalls::FolderFlags(int dir, unsigned& flags) {
    // The ioctl needs a descriptor that was opened for reading, which O_PATH is not.
    const int own = openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (own < 0)
        return errno;
    int value = 0;
    const int error = Result(ioctl(own, FS_IOC_GETFLAGS, &value));
    close(own);
    flags = static_cast<unsigned>(value);
    return error;
}

int TFileCalls::MountType(int dir, std::string& type) {
    struct stat st {};
    if (fstatat(dir, ".", &st, 0) != 0)
        return errno;
    FILE* table = std::fopen("/proc/self/mountinfo", "re");
    if (table == nullptr)
        return errno;
    // "36 35 7:2 / /mnt rw,relatime shared:1 - fuseblk /dev/loop2 rw,...": the device
    // is the third field, the type the first after " - ". Bind mounts of one device
    // share its type.
    char device[32];
    std::snprintf(device, sizeof device, " %u:%u ", major(st.st_dev), minor(st.st_dev));
    char* line = nullptr;
    std::size_t size = 0;
    int error = ENOENT;
    while (getline(&line, &size, table) > 0) {
        const char* at = std::strstr(line, device);
        const char* dash = std::strstr(line, " - ");
        if (at == nullptr || dash == nullptr || at > dash)
            continue;
        const char* begin = dash + 3;
        type.assign(begin, std::strcspn(begin, " \n"));
        error = 0;
        break;
    }
    std::free(line);
    std::fclose(table);
    return error;
}

TFileCalls& TFileCalls::System() {
    static TFileCalls calls;
    return calls;
}

} // namespace qm
