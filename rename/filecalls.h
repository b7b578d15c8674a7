#pragma once

// The system calls a rename goes through, behind one seam so that tests can make any
// of them fail at a chosen call. Names are relative to an open folder `dir` (AT_FDCWD
// for the current folder). Every call returns 0 on success or the errno value of its
// failure (never -1), so that a caller can hand the reason on unchanged.
//
// TFileCalls::System() reaches the kernel; it has no state and may be used from any
// thread. A test derives from TFileCalls and overrides the calls it wants to fail.

#include <string>
#include <sys/stat.h>
#include <sys/statfs.h>

namespace qm {

class TFileCalls {
public:
    virtual ~TFileCalls() = default;

    // open(path, O_PATH | O_DIRECTORY): the descriptor in `dir`.
    virtual int OpenFolder(const char* path, int& dir);
    virtual void CloseFolder(int dir);
    // renameat2(dir, from, dir, to, flags)
    virtual int Rename2(int dir, const char* from, const char* to, unsigned flags);
    // renameat(dir, from, dir, to): may replace `to`
    virtual int RenameReplacing(int dir, const char* from, const char* to);
    // linkat(dir, from, dir, to, 0): a link is never followed
    virtual int Link(int dir, const char* from, const char* to);
    // unlinkat(dir, name, 0)
    virtual int Unlink(int dir, const char* name);
    // mkdirat(dir, name, 0777): the umask takes what the user keeps to themselves
    virtual int MakeFolder(int dir, const char* name);
    // unlinkat(dir, name, AT_REMOVEDIR): only an empty folder goes
    virtual int RemoveFolder(int dir, const char* name);
    // fstatat(dir, name, st, AT_SYMLINK_NOFOLLOW)
    virtual int LStat(int dir, const char* name, struct stat& st);
    // The names in `dir`, one call of `each` per name, "." and ".." left out.
    virtual int ListFolder(int dir, void (*each)(void* context, const char* name), void* context);

    // Read-only questions that a prediction of a run asks about a folder.
    // fstatfs(dir) (statfs(".") for AT_FDCWD): the file system's type, name length
    // limit and mount flags.
    virtual int FolderFileSystem(int dir, struct statfs& fs);
    // faccessat(dir, name, mode, AT_EACCESS): as the kernel would judge this process.
    virtual int Access(int dir, const char* name, int mode);
    // The folder's inode flags (FS_IOC_GETFLAGS), such as FS_CASEFOLD_FL.
    virtual int FolderFlags(int dir, unsigned& flags);
    // The type the mount table (/proc/self/mountinfo) gives the mount that holds `dir`,
    // such as "fuseblk" or "fuse.sshfs": the one way to tell which file system a FUSE
    // folder serves.
    virtual int MountType(int dir, std::string& type);

    static TFileCalls& System();
};

} // namespace qm
