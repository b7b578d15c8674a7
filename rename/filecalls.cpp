#include "rename/filecalls.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

namespace qm {
namespace {

int Result(int rc) {
    return rc == 0 ? 0 : errno;
}

} // namespace

int TFileCalls::Rename2(const char* from, const char* to, unsigned flags) {
    return Result(renameat2(AT_FDCWD, from, AT_FDCWD, to, flags));
}

int TFileCalls::RenameReplacing(const char* from, const char* to) {
    return Result(renameat(AT_FDCWD, from, AT_FDCWD, to));
}

int TFileCalls::Link(const char* from, const char* to) {
    return Result(linkat(AT_FDCWD, from, AT_FDCWD, to, 0));
}

int TFileCalls::Unlink(const char* path) {
    return Result(unlinkat(AT_FDCWD, path, 0));
}

int TFileCalls::LStat(const char* path, struct stat& st) {
    return Result(fstatat(AT_FDCWD, path, &st, AT_SYMLINK_NOFOLLOW));
}

int TFileCalls::ListFolder(const char* path, void (*each)(void* context, const char* name),
                           void* context) {
    DIR* dir = opendir(*path ? path : ".");
    if (dir == nullptr)
        return errno;
    errno = 0;
    while (const dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (!(name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))))
            each(context, name);
        errno = 0;
    }
    const int error = errno;
    closedir(dir);
    return error;
}

TFileCalls& TFileCalls::System() {
    static TFileCalls calls;
    return calls;
}

} // namespace qm
