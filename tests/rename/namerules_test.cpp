// Names a file system refuses, told apart by file system through a fake statfs and mount
// table: the run refuses them without asking for a rename, and the prediction says the
// same.

#include "rename/foldermodel.h"
#include "rename/movefile.h"
#include "rename/namerules.h"
#include "rename/runrules.h"
#include "renamefolder.h"
#include "runerrorprint.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <linux/magic.h>

namespace qm::test {
namespace {

// A real folder that claims to be on the file system `type`/`mountType`. A rename call
// is counted and answered with EDOM, which no rule gives, so that a name the rules let
// through is seen to reach the file system.
class DriveCalls : public TFileCalls {
public:
    DriveCalls(unsigned long type, std::string mountType)
        : type_(type), mountType_(std::move(mountType)) {}
    int renames = 0;
    int mountReads = 0;

    int FolderFileSystem(int dir, struct statfs& fs) override {
        const int error = TFileCalls::FolderFileSystem(dir, fs);
        fs.f_type = static_cast<decltype(fs.f_type)>(type_);
        return error;
    }
    int MountType(int, std::string& type) override {
        ++mountReads;
        type = mountType_;
        return 0;
    }
    int Rename2(int, const char*, const char*, unsigned) override { return Count(); }
    int RenameReplacing(int, const char*, const char*) override { return Count(); }
    int Link(int, const char*, const char*) override { return Count(); }

private:
    int Count() {
        ++renames;
        return EDOM;
    }
    unsigned long type_;
    std::string mountType_;
};

constexpr unsigned long kFuse = 0x65735546;

struct Drive {
    const char* title;
    unsigned long type;
    const char* mountType;
    // 'W' Windows, 'B' SMB, 'F' FAT through FUSE, 'S' sshfs, 'P' the file system's own
    // answer
    char rules;
};

const Drive kDrives[] = {
    {"ntfs-3g", kFuse, "fuseblk", 'W'},          {"ntfs3", 0x7366746E, "ntfs3", 'W'},
    {"vfat", MSDOS_SUPER_MAGIC, "vfat", 'W'},    {"exfat", 0x2011BAB0, "exfat", 'W'},
    {"fusefat", kFuse, "fuse.fusefat", 'F'},     {"cifs", 0xFF534D42, "cifs", 'B'},
    {"smb3", 0xFE534D42, "smb3", 'B'},           {"smbnetfs", kFuse, "fuse.smbnetfs", 'B'},
    {"sshfs", kFuse, "fuse.sshfs", 'S'},         {"ext4", EXT4_SUPER_MAGIC, "ext4", 'P'},
    {"another FUSE", kFuse, "fuse.rclone", 'P'},
};

std::string Repeat(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

TEST(NameRules, EachFileSystemRefusesItsOwnNamesBeforeAnyRename) {
    // The error on each kind of drive; 0: the rename is asked for.
    struct Row {
        std::string to;
        RunError windows, smb, fusefat, sshfs;
    };
    const auto holds = [](char32_t c) {
        return RunError::Of(RunFault::NameCharacter, c);
    };
    const auto endsIn = [](char32_t c) {
        return RunError::Of(RunFault::NameEnd, c);
    };
    const RunError colon = holds(':'), bar = holds('|'), newline = holds('\n'), tab = holds('\t');
    const RunError dot = endsIn('.'), space = endsIn(' ');
    const RunError eAcute = holds(0xE9), smile = holds(0x1F600);
    const RunError tooLong = RunError::Of(RunFault::NameTooLong);
    const std::vector<Row> rows = {
        {"a:b.txt", colon, colon, colon, 0},
        {"a|b", bar, bar, bar, 0},
        {"line\nbreak", newline, newline, newline, 0},
        {"tab\t", tab, tab, tab, 0},
        {"del\x7f", 0, 0, holds(0x7F), 0},
        {"ends.", dot, dot, dot, 0},
        {"ends ", space, space, space, 0},
        {" starts.txt", 0, 0, 0, 0},
        {"sub/a:b", colon, colon, colon, 0},
        {"a:b/", colon, colon, colon, 0},
        {std::string(255, 'a'), 0, 0, 0, 0},
        // 255 and 256 UTF-16 units, each one byte longer than that.
        {"\u00e9" + std::string(254, 'a'), 0, tooLong, eAcute, tooLong},
        {"\u00e9" + std::string(255, 'a'), tooLong, tooLong, eAcute, tooLong},
        // 126 letters of two bytes and "photo": 257 bytes, 131 units.
        {Repeat("\u00e9", 126) + "photo", 0, tooLong, eAcute, tooLong},
        // Beyond U+FFFF a character takes two units.
        {"\U0001F600" + std::string(253, 'a'), 0, tooLong, smile, tooLong},
        {"\U0001F600" + std::string(254, 'a'), tooLong, tooLong, smile, tooLong},
    };
    for (const Drive& drive : kDrives) {
        RenameFolder dir;
        dir.Make("a");
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(drive.title) + ": " + row.to);
            const RunError expected = drive.rules == 'W'   ? row.windows
                                      : drive.rules == 'B' ? row.smb
                                      : drive.rules == 'F' ? row.fusefat
                                      : drive.rules == 'S' ? row.sshfs
                                                           : RunError();
            DriveCalls calls(drive.type, drive.mountType);
            EXPECT_EQ(MoveFileNoReplace(dir.Path(), "a", row.to, calls),
                      expected ? expected : EDOM);
            EXPECT_EQ(calls.renames, expected ? 0 : 1);
            // The prediction: the rules' error, or the answer of the real folder below
            // (a file system of 255 bytes, the Windows ones counting UTF-16 units instead).
            TFolderModel model(calls);
            TModelMove move;
            const RunError predicted = model.Check(dir.Path(), "a", row.to, move);
            if (expected) {
                EXPECT_EQ(predicted, expected);
            } else if (row.to.find('/') == std::string::npos) {
                EXPECT_EQ(predicted,
                          RunError(drive.rules == 'P' && row.to.size() > 255 ? ENAMETOOLONG : 0));
            }
        }
    }
}

// A FUSE folder's mount table is read once per device, however many folders and renames.
TEST(NameRules, TheMountTableIsReadOncePerDevice) {
    RenameFolder dir;
    for (const char* name : {"d/", "e/", "d/a", "e/b"})
        dir.Make(name);
    DriveCalls calls(kFuse, "fuseblk");
    TMoveFolder folder(calls);
    EXPECT_EQ(folder.Move(dir.Path() + "d/", "a", "a?"),
              RunError::Of(RunFault::NameCharacter, '?'));
    EXPECT_EQ(folder.Move(dir.Path() + "e/", "b", "b*"),
              RunError::Of(RunFault::NameCharacter, '*'));
    EXPECT_EQ(folder.Move(dir.Path() + "d/", "a", "a<"),
              RunError::Of(RunFault::NameCharacter, '<'));
    EXPECT_EQ(calls.mountReads, 1);
    EXPECT_EQ(calls.renames, 0);
}

// The texts a user reads: the character named, a control character by its code.
TEST(NameRules, TheReasonNamesTheCharacter) {
    EXPECT_EQ(NameRuleErrorText(RunError::Of(RunFault::NameCharacter, ':')),
              "the new name holds \u201c:\u201d, which this drive does not allow in a name");
    EXPECT_EQ(NameRuleErrorText(RunError::Of(RunFault::NameCharacter, '\n')),
              "the new name holds \u201cU+000A\u201d, which this drive does not allow in a name");
    EXPECT_EQ(NameRuleErrorText(RunError::Of(RunFault::NameEnd, ' ')),
              "the new name ends in \u201c \u201d, which this drive does not allow");
    EXPECT_EQ(NameRuleErrorText(RunError::Of(RunFault::NameTooLong)),
              "the new name is longer than this drive allows");
    EXPECT_EQ(NameRuleErrorText(ENOENT), "");
    EXPECT_EQ(NameRuleErrorText(RunError::Of(RunFault::PatternInvalid)), "");
}

} // namespace
} // namespace qm::test
