#pragma once

// A rename that never replaces a file: the file `folder` + `from` takes the name
// `folder` + `to` only when nothing is called `to` yet. `folder` is "" (the current
// folder) or ends in "/". A `to` holding "/" moves the entry into that existing folder
// below `folder`; one that begins with "/" or has a ".." part, and so would leave
// `folder`, is refused with EINVAL (an old name so spelt too), and so is a name holding a
// NUL byte (the system call would cut the name there short), before any system call. A
// change of letter case alone also works on folders that ignore letter case.
//
// A new name that the folder's file system refuses (namerules.h) is refused with its
// fault (NameCharacter, NameEnd or NameTooLong, runerror.h) before any rename is asked
// for.
//
// Returns none, or the error of the failure, in which case nothing has changed on
// disk. The one exception: a case-only change goes through a temporary name, and when
// both its second step and the step back fail, the file stays under that temporary name
// (".qm-case-...") in the same folder; the error of the second step is returned.
// Never copies: a move to another file system fails with EXDEV.
//
// Thread-safe as far as `calls` is; the system calls are.

#include "rename/filecalls.h"
#include "rename/namerules.h"

#include <memory>
#include <string>

namespace qm {

RunError MoveFileNoReplace(const std::string& folder, const std::string& from,
                           const std::string& to, TFileCalls& calls = TFileCalls::System());

// Whether `a` and `b`, two names' lstat, show one file: the same device, inode number and
// type, and at least two links. False is no proof of two files: where a file system makes
// inode numbers up per name (FUSE without them, such as sshfs), the names of one file
// differ; and one link under the same number is a folder that ignores letter case
// answering for a second spelling of one name.
bool TwoLinksOfOneFile(const struct stat& a, const struct stat& b);

// Removes the name `folder` + `name` of a file that keeps the name `folder` + `other`: what
// is left of a rename cut short between its new link and the removal of the old name.
// Only where TwoLinksOfOneFile shows both names to be one file (asked just before the
// removal) and each is an entry of its folder spelt as given, not a second spelling of the
// other; otherwise nothing is removed and EEXIST, the answer of the rename that found
// `other` taken, is returned. 0 when the name is gone, or the errno value of a failure.
int DropSecondName(const std::string& folder, const std::string& name, const std::string& other,
                   TFileCalls& calls = TFileCalls::System());

// MoveFileNoReplace for many files: keeps the last folder open, so that a run over the
// files of one folder opens it once and names each file relative to it (which spares
// the kernel the walk down the folder path twice per file). The folder stays open until
// a file of another folder comes or this object goes; a folder renamed meanwhile is
// still the one the next file of that folder is renamed in. "Another folder" is another
// spelling of the path: "./d/" after "d/" opens the path anew, and so does "d/" again
// after a file of "e/", so a folder that a move renamed is not found under its old path
// from then on. Moves through one open folder cannot rename that folder itself (a name
// that would leave it is refused): the run's own moves are answered alike whether or not
// the folder was held open.
// One thread at a time.
class TMoveFolder {
public:
    explicit TMoveFolder(TFileCalls& calls = TFileCalls::System());
    ~TMoveFolder();
    TMoveFolder(const TMoveFolder&) = delete;
    TMoveFolder& operator=(const TMoveFolder&) = delete;

    RunError Move(const std::string& folder, const std::string& from, const std::string& to);
    // Makes the folder `relative` in `folder` (mkdirat: EEXIST for any name there).
    RunError MakeFolder(const std::string& folder, const std::string& relative);
    // MakeFolder(folder, to) when `from` is empty, else Move: a run that makes folders
    // hands them to the same hook as its moves (MoveEntryFile), and so to its journal.
    RunError MoveOrMake(const std::string& folder, const std::string& from, const std::string& to);

private:
    struct FolderNames;

    // Opens `folder` unless it is the one open; 0 or the errno value.
    int Open(const std::string& folder);

    bool OnlyTheCaseDiffers(const std::string& from, const std::string& to);

    TFileCalls& calls_;
    std::string path_;
    int dir_ = -1;
    bool open_ = false;
    TDeviceRules devices_;
    NameRules rules_ = NameRules::Posix; // the open folder's
    // The open folder's names, read on its first case-only change (see movefile.cpp).
    std::unique_ptr<FolderNames> names_;
};

} // namespace qm
