#include "rename/namerules.h"

#include "rename/runrules.h"

#include <cstdio>
#include <linux/magic.h>

namespace qm {
namespace {

constexpr unsigned long kExfatMagic = 0x2011BAB0;
constexpr unsigned long kNtfs3Magic = 0x7366746E;   // the kernel's ntfs3
constexpr unsigned long kOldNtfsMagic = 0x5346544E; // the kernel's read-only ntfs
constexpr unsigned long kCifsMagic = 0xFF534D42;
constexpr unsigned long kSmb2Magic = 0xFE534D42;
constexpr unsigned long kFuseMagic = 0x65735546;

// Windows file systems keep names of up to 255 UTF-16 units; the rest keep 255 bytes.
constexpr int kMaxUnits = 255;
constexpr std::size_t kMaxBytes = 255;

// The FUSE drivers of Windows file systems, as the mount table names them after
// "fuse." or "fuseblk.".
bool WindowsDriver(std::string_view subtype) {
    for (const std::string_view name : {"exfat", "exfat-fuse", "ntfs", "ntfs-3g", "lowntfs-3g",
                                        "fusefat", "vfat", "smbnetfs", "fusesmb", "smbfs", "cifs"})
        if (subtype == name)
            return true;
    return false;
}

// The UTF-16 units of `name`; a byte that is no part of a UTF-8 sequence counts as one.
int Utf16Units(std::string_view name) {
    int units = 0;
    for (std::size_t i = 0; i < name.size();) {
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
            ++units;
            ++i;
            continue;
        }
        units += length == 4 ? 2 : 1;
        i += length;
    }
    return units;
}

bool RefusedOnWindows(unsigned char c) {
    return c < 0x20 ||
           std::string_view("\\:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos;
}

} // namespace

NameRules NameRulesOf(unsigned long type, std::string_view mountType) {
    switch (type) {
    case MSDOS_SUPER_MAGIC: // vfat and msdos
    case kExfatMagic:
    case kNtfs3Magic:
    case kOldNtfsMagic:
    case kCifsMagic:
    case kSmb2Magic:
    case SMB_SUPER_MAGIC:
        return NameRules::Windows;
    case kFuseMagic:
        break;
    default:
        return NameRules::Posix;
    }
    std::string_view subtype;
    if (mountType == "fuseblk") {
        // A block device through FUSE without a subtype: the drivers that mount one so are
        // those of NTFS and exFAT.
        return NameRules::Windows;
    }
    if (mountType.starts_with("fuse."))
        subtype = mountType.substr(5);
    else if (mountType.starts_with("fuseblk."))
        subtype = mountType.substr(8);
    if (subtype == "sshfs")
        return NameRules::Sshfs;
    return WindowsDriver(subtype) ? NameRules::Windows : NameRules::Posix;
}

int NameRuleError(NameRules rules, std::string_view to) {
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
        return to.size() > kMaxBytes ? kErrorNameTooLong : 0;
    for (const char c : to)
        if (RefusedOnWindows(static_cast<unsigned char>(c)))
            return kErrorNameCharacter + static_cast<unsigned char>(c);
    if (to.back() == '.' || to.back() == ' ')
        return kErrorNameEnd + static_cast<unsigned char>(to.back());
    return Utf16Units(to) > kMaxUnits ? kErrorNameTooLong : 0;
}

NameRules TDeviceRules::Of(TFileCalls& calls, int dir) {
    struct statfs fs {};
    if (calls.FolderFileSystem(dir, fs) != 0)
        return NameRules::Posix;
    const auto type = static_cast<unsigned long>(fs.f_type);
    // Only FUSE hides the file system it serves behind its own type; the mount table is
    // read once per device for it.
    if (type != kFuseMagic)
        return NameRulesOf(type, {});
    struct stat st {};
    if (calls.LStat(dir, ".", st) != 0)
        return NameRules::Posix;
    return Of(calls, dir, type, st.st_dev);
}

NameRules TDeviceRules::Of(TFileCalls& calls, int dir, unsigned long type, dev_t device) {
    if (type != kFuseMagic)
        return NameRulesOf(type, {});
    if (const auto it = known_.find(device); it != known_.end())
        return it->second;
    std::string mountType;
    if (calls.MountType(dir, mountType) != 0)
        mountType.clear();
    return known_.emplace(device, NameRulesOf(type, mountType)).first->second;
}

bool IsNameRuleError(int error) {
    return error == kErrorNameTooLong ||
           (error >= kErrorNameCharacter && error < kErrorNameCharacter + 0x80) ||
           (error >= kErrorNameEnd && error < kErrorNameEnd + 0x80);
}

std::string RefusedCharacterText(int error) {
    int c = -1;
    if (error >= kErrorNameCharacter && error < kErrorNameCharacter + 0x80)
        c = error - kErrorNameCharacter;
    else if (error >= kErrorNameEnd && error < kErrorNameEnd + 0x80)
        c = error - kErrorNameEnd;
    if (c < 0)
        return {};
    if (c < 0x20 || c == 0x7f) {
        char code[8];
        std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
        return code;
    }
    return std::string(1, static_cast<char>(c));
}

std::string NameRuleErrorText(int error) {
    if (error == kErrorNameTooLong)
        return "the new name is longer than this drive allows";
    const std::string shown = RefusedCharacterText(error);
    if (shown.empty())
        return {};
    if (error >= kErrorNameEnd)
        return "the new name ends in \u201c" + shown + "\u201d, which this drive does not allow";
    return "the new name holds \u201c" + shown +
           "\u201d, which this drive does not allow in a name";
}

} // namespace qm
