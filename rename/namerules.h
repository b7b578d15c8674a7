#pragma once

// What a folder's file system refuses in a new name beyond "/" and NUL, learnt once per
// device from the file system's type and, for FUSE, the mount table. The run
// (TMoveFolder), its prediction (TFolderModel) and the preview judge a name by the one
// function here, before any rename is asked for: some drivers answer such a name with a
// misleading error ("No such file or directory", "Bad message"), some keep answering
// errors for a while after, and some lose the file they were asked to rename.
//
// The Windows file systems (NTFS, FAT, exFAT and SMB shares) refuse \ : * ? " < > | and
// the control characters U+0001 to U+001F, a name ending in "." or " ", and a name of
// more than 255 UTF-16 units. U+007F is allowed there. On NTFS through FUSE the driver
// takes those characters unless it was started with windows_names, which nothing outside
// the driver's process tells; they are refused on every NTFS, as Windows itself cannot
// open such a name. An SMB share, and sshfs, pass a name on to a server that (on Linux)
// takes 255 bytes. The FAT driver through FUSE (fusefat) takes ASCII only and loses the
// file when it refuses a name. Every other file system is left to answer for itself.

#include "rename/filecalls.h"
#include "rename/runerror.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace qm {

enum class NameRules : std::uint8_t {
    Posix,   // nothing checked here: the file system's own answer is a clear one
    Windows, // NTFS, FAT, exFAT
    Smb,     // Windows, and 255 bytes, which a server on Linux keeps
    FuseFat, // Windows, and ASCII only but U+007F (the FAT driver through FUSE)
    Sshfs,   // 255 bytes
};

// The rules of a file system of statfs type `type`, mounted with the mount table type
// `mountType` ("vfat", "fuseblk", "fuse.sshfs", ...; "" when not known).
NameRules NameRulesOf(unsigned long type, std::string_view mountType);

// None when `rules` take the new name `to` (its last part; trailing slashes are no part
// of it), else the fault NameCharacter or NameEnd (with the character) or NameTooLong
// (runerror.h).
RunError NameRuleError(NameRules rules, std::string_view to);

// The rules of each device, learnt through `calls`: the statfs type of each folder asked
// about, and for FUSE the mount table once per device. One thread at a time.
class TDeviceRules {
public:
    // The rules of the open folder `dir` (AT_FDCWD: the current folder); Posix when its
    // file system cannot be told.
    NameRules Of(TFileCalls& calls, int dir);
    // As Of, for a folder whose statfs type and device are known already.
    NameRules Of(TFileCalls& calls, int dir, unsigned long type, dev_t device);

private:
    std::map<dev_t, NameRules> known_;
};

// The character a NameCharacter or NameEnd fault names, as a user reads it: itself, or
// "U+000A" for a control character; empty for any other error.
std::string RefusedCharacterText(RunError error);

// The English words for an error of NameRuleError, beginning "the new name ..."; empty
// for any other error.
std::string NameRuleErrorText(RunError error);

} // namespace qm
