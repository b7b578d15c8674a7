#pragma once

// The system calls a rename goes through, behind one seam so that tests can make any
// of them fail at a chosen call. Every call returns 0 on success or the errno value
// of its failure (never -1), so that a caller can hand the reason on unchanged.
//
// TFileCalls::System() reaches the kernel; it has no state and may be used from any
// thread. A test derives from TFileCalls and overrides the calls it wants to fail.

#include <sys/stat.h>

namespace qm {

class TFileCalls {
public:
    virtual ~TFileCalls() = default;

    // renameat2(AT_FDCWD, from, AT_FDCWD, to, flags)
    virtual int Rename2(const char* from, const char* to, unsigned flags);
    // renameat(AT_FDCWD, from, AT_FDCWD, to): may replace `to`
    virtual int RenameReplacing(const char* from, const char* to);
    // linkat(AT_FDCWD, from, AT_FDCWD, to, 0): a link is never followed
    virtual int Link(const char* from, const char* to);
    // unlinkat(AT_FDCWD, path, 0)
    virtual int Unlink(const char* path);
    // fstatat(AT_FDCWD, path, st, AT_SYMLINK_NOFOLLOW)
    virtual int LStat(const char* path, struct stat& st);
    // The names in folder `path` ("" is the current folder), one call of `each` per
    // name, "." and ".." left out.
    virtual int ListFolder(const char* path, void (*each)(void* context, const char* name),
                           void* context);

    static TFileCalls& System();
};

} // namespace qm
