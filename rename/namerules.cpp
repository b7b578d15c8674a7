#include "rename/namerules.h"

#include "engine/utf8text.h"

#include <cstdio>
#include <linux/magic.h>

namespace qm {
namespace {

constexpr unsigned long kNtfs3Magic = 0x7366746E;   // the kernel's ntfs3
constexpr unsigned long kOldNtfsMagic = 0x5346544E; // the kernel's read-only ntfs

// Windows file systems keep names of up to 255 UTF-16 units; the rest keep 255 bytes.
constexpr int kMaxUnits = 255;
constexpr std::size_t kMaxBytes = 255;

// The FUSE drivers of Windows file systems, as the mount table names them after
// "fuse." or "fuseblk.".
NameRules FuseDriverRules(std::string_view subtype) {
    for (const std::string_view name : {"exfat", "exfat-fuse", "ntfs", "ntfs-3g", "lowntfs-3g"})
        if (subtype == name)
            return NameRules::Windows;
    for (const std::string_view name : {"smbnetfs", "fusesmb", "smbfs", "cifs"})
        if (subtype == name)
            return NameRules::Smb;
    if (subtype == "fusefat")
        return NameRules::FuseFat;
    if (subtype == "sshfs")
        return NameRules::Sshfs;
    return NameRules::Posix;
}

// The character of `name` at `i`, which moves past it, and the UTF-16 units it takes; a
// byte that begins no whole UTF-8 sequence is U+FFFD, one unit.
char32_t NextCharacter(std::string_view name, std::size_t& i, int& units) {
    const auto lead = static_cast<unsigned char>(name[i]);
    const std::size_t length = lead < 0x80   ? 1
                               : lead < 0xc2 ? 0
                               : lead < 0xe0 ? 2
                               : lead < 0xf0 ? 3
                               : lead < 0xf5 ? 4
                                             : 0;
    bool whole = length != 0 && i + length <= name.size();
    for (std::size_t k = 1; whole && k < length; ++k)
        whole = (static_cast<unsigned char>(name[i + k]) & 0xc0) == 0x80;
    if (!whole) {
        ++i;
        units = 1;
        return 0xfffd;
    }
    char32_t c = length == 1 ? lead : lead & (0x7f >> length);
    for (std::size_t k = 1; k < length; ++k)
        c = (c << 6) | (static_cast<unsigned char>(name[i + k]) & 0x3f);
    i += length;
    units = length == 4 ? 2 : 1;
    return c;
}

bool RefusedOnWindows(char32_t c) {
    return c < 0x20 || (c < 0x80 && std::string_view("\\:*?\"<>|").find(static_cast<char>(c)) !=
                                        std::string_view::npos);
}

} // namespace

NameRules NameRulesOf(unsigned long type, std::string_view mountType) {
    switch (type) {
    case MSDOS_SUPER_MAGIC: // vfat and msdos
    case EXFAT_SUPER_MAGIC:
    case kNtfs3Magic:
    case kOldNtfsMagic:
        return NameRules::Windows;
    case CIFS_SUPER_MAGIC:
    case SMB2_SUPER_MAGIC:
    case SMB_SUPER_MAGIC:
        return NameRules::Smb;
    case FUSE_SUPER_MAGIC:
        break;
    default:
        return NameRules::Posix;
    }
    // A block device through FUSE without a subtype: the drivers that mount one so are
    // those of NTFS and exFAT.
    if (mountType == "fuseblk")
        return NameRules::Windows;
    if (mountType.starts_with("fuse."))
        return FuseDriverRules(mountType.substr(5));
    if (mountType.starts_with("fuseblk."))
        return FuseDriverRules(mountType.substr(8));
    return NameRules::Posix;
}

RunError NameRuleError(NameRules rules, std::string_view to) {
    if (rules == NameRules::Posix)
        return 0;
    while (!to.empty() && to.back() == '/')
        to.remove_suffix(1);
    if (const std::size_t slash = to.rfind('/'); slash != std::string_view::npos)
        to.remove_prefix(slash + 1);
    // "." and ".." name no new entry; the rename answers for them.
    if (to.empty() || to == "." || to == "..")
        return 0;
    if (rules == NameRules::Sshfs)
        return to.size() > kMaxBytes ? RunError::Of(RunFault::NameTooLong) : RunError();
    int units = 0;
    for (std::size_t i = 0; i < to.size();) {
        int width = 0;
        const char32_t c = NextCharacter(to, i, width);
        units += width;
        // The FAT driver through FUSE takes ASCII only, and loses a file it refuses.
        if (RefusedOnWindows(c) || (rules == NameRules::FuseFat && c >= 0x7f))
            return RunError::Of(RunFault::NameCharacter, c);
    }
    if (to.back() == '.' || to.back() == ' ')
        return RunError::Of(RunFault::NameEnd, static_cast<unsigned char>(to.back()));
    // A share's server keeps names in its own file system: Linux's take 255 bytes.
    if (units > kMaxUnits || (rules == NameRules::Smb && to.size() > kMaxBytes))
        return RunError::Of(RunFault::NameTooLong);
    return {};
}

NameRules TDeviceRules::Of(TFileCalls& calls, int dir) {
    struct statfs fs {};
    if (calls.FolderFileSystem(dir, fs) != 0)
        return NameRules::Posix;
    const auto type = static_cast<unsigned long>(fs.f_type);
    // Only FUSE hides the file system it serves behind its own type; the mount table is
    // read once per device for it.
    if (type != FUSE_SUPER_MAGIC)
        return NameRulesOf(type, {});
    struct stat st {};
    if (calls.LStat(dir, ".", st) != 0)
        return NameRules::Posix;
    return Of(calls, dir, type, st.st_dev);
}

NameRules TDeviceRules::Of(TFileCalls& calls, int dir, unsigned long type, dev_t device) {
    if (type != FUSE_SUPER_MAGIC)
        return NameRulesOf(type, {});
    if (const auto it = known_.find(device); it != known_.end())
        return it->second;
    std::string mountType;
    if (calls.MountType(dir, mountType) != 0)
        mountType.clear();
    return known_.emplace(device, NameRulesOf(type, mountType)).first->second;
}

std::string RefusedCharacterText(RunError error) {
    if (error.Fault() != RunFault::NameCharacter && error.Fault() != RunFault::NameEnd)
        return {};
    const char32_t c = error.Character();
    if (c < 0x20 || c == 0x7f || c == 0xfffd) {
        char code[8];
        std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
        return code;
    }
    return EncodeUtf8(std::u32string(1, c));
}

std::string NameRuleErrorText(RunError error) {
    if (error.Fault() == RunFault::NameTooLong)
        return "the new name is longer than this drive allows";
    const std::string shown = RefusedCharacterText(error);
    if (shown.empty())
        return {};
    if (error.Fault() == RunFault::NameEnd)
        return "the new name ends in \u201c" + shown + "\u201d, which this drive does not allow";
    return "the new name holds \u201c" + shown +
           "\u201d, which this drive does not allow in a name";
}

} // namespace qm
