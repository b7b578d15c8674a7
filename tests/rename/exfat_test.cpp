// A real folder that ignores letter case: an exFAT image mounted through FUSE. Needs
// root (for the loop device) and /dev/fuse; skipped with a message otherwise.

#include "rename/movefile.h"
#include "rename/plan.h"
#include "rename/renamerun.h"
#include "renamefolder.h"
#include "runprocess.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>

namespace qm::test {
namespace {

namespace fs = std::filesystem;

class ExfatMount {
public:
    // Empty `error` when mounted.
    ExfatMount() {
        if (geteuid() != 0) {
            error_ = "not root, so no loop device";
            return;
        }
        if (access("/dev/fuse", R_OK | W_OK) != 0) {
            error_ = "/dev/fuse cannot be used";
            return;
        }
        image_ = scratch_.Path() + "exfat.img";
        mount_ = scratch_.Path() + "mnt";
        fs::create_directory(mount_);
        std::ofstream(image_).close();
        fs::resize_file(image_, 8u << 20);
        if (!Step("/sbin/mkfs.exfat", {image_}))
            return;
        const ProcessResult loop = RunProcess("/sbin/losetup", {"-f", "--show", image_});
        if (loop.exitCode != 0) {
            error_ = "losetup: " + loop.err;
            return;
        }
        loopDevice_ = loop.out.substr(0, loop.out.find('\n'));
        // The file system's daemon stays behind and keeps every descriptor it was given,
        // so it must not get a pipe that someone waits on: its output goes to a file.
        const std::string log = scratch_.Path() + "mount.log";
        const std::string command = "/sbin/mount.exfat-fuse '" + loopDevice_ + "' '" + mount_ +
                                    "' </dev/null >'" + log + "' 2>&1";
        if (std::system(command.c_str()) != 0) {
            std::ifstream in(log);
            error_ = "mount.exfat-fuse: " + std::string(std::istreambuf_iterator<char>(in), {});
            return;
        }
        mounted_ = true;
    }
    ~ExfatMount() {
        // Always undone, whatever a check found.
        if (mounted_)
            RunProcess("/bin/fusermount", {"-u", mount_});
        if (!loopDevice_.empty())
            RunProcess("/sbin/losetup", {"-d", loopDevice_});
    }
    const std::string& Error() const { return error_; }
    std::string Folder() const { return mount_ + "/"; }

private:
    bool Step(const std::string& program, const std::vector<std::string>& args) {
        const ProcessResult r = RunProcess(program, args);
        if (r.exitCode != 0)
            error_ = program + " failed (" + std::to_string(r.exitCode) + "): " + r.err;
        return r.exitCode == 0;
    }

    RenameFolder scratch_;
    std::string image_, mount_, loopDevice_, error_;
    bool mounted_ = false;
};

std::map<std::string, std::string> Files(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        files[entry.path().filename().string()] =
            std::string(std::istreambuf_iterator<char>(in), {});
    }
    return files;
}

TEST(CaseInsensitiveFolder, CaseOnlyChangeWorksAndNoOtherFileIsReplaced) {
    ExfatMount exfat;
    if (!exfat.Error().empty())
        GTEST_SKIP() << "no exFAT mount: " << exfat.Error();
    const std::string dir = exfat.Folder();
    for (const char* name : {"readme.txt", "b", "Other", "notes", "todo"})
        std::ofstream(dir + name) << name;

    EXPECT_EQ(MoveFileNoReplace(dir, "readme.txt", "README.TXT"), 0);
    EXPECT_EQ(MoveFileNoReplace(dir, "b", "OTHER"), EEXIST);
    EXPECT_EQ(MoveFileNoReplace(dir, "b", "other"), EEXIST);

    // The run, too: a name that differs in case only is renamed.
    ListedFiles list(dir, {"notes", "todo"});
    RenameOptionSet upper;
    upper.FormatGroup = upper.FormatTextEnabled = true;
    upper.FormatFirstLetterUp = upper.FormatOtherLettersUp = true;
    const std::atomic<bool> goOn{false};
    EXPECT_EQ(RunRenames(list.items(), upper, RenameMode::Rename, {}, goOn).Renamed, 2);

    EXPECT_EQ(Files(dir), (std::map<std::string, std::string>{{"README.TXT", "readme.txt"},
                                                              {"b", "b"},
                                                              {"Other", "Other"},
                                                              {"NOTES", "notes"},
                                                              {"TODO", "todo"}}));
}

TEST(CaseInsensitiveFolder, PlannedRunSwapsNamesThatFoldAlike) {
    ExfatMount exfat;
    if (!exfat.Error().empty())
        GTEST_SKIP() << "no exFAT mount: " << exfat.Error();
    const std::string dir = exfat.Folder();
    for (const char* name : {"a", "b"})
        std::ofstream(dir + name) << name;
    // a -> B, b -> A: each target is the other file under another case.
    RenameOptionSet swap;
    swap.ReplaceGroup = swap.ReplaceEnabled = true;
    swap.ReplaceCount = 3;
    swap.ReplacePairs[0] = {"a", "#"};
    swap.ReplacePairs[1] = {"b", "A"};
    swap.ReplacePairs[2] = {"#", "B"};
    ListedFiles list(dir, {"a", "b"});
    const std::atomic<bool> goOn{false};
    EXPECT_EQ(RunPlannedRenames(list.items(), swap, RenameMode::Rename, {}, goOn).Renamed, 2);
    EXPECT_EQ(Files(dir), (std::map<std::string, std::string>{{"B", "a"}, {"A", "b"}}));
    EXPECT_EQ(RunPlannedRenames(list.items(), {}, RenameMode::Undo, {}, goOn).Renamed, 2);
    EXPECT_EQ(Files(dir), (std::map<std::string, std::string>{{"a", "a"}, {"b", "b"}}));
}

} // namespace
} // namespace qm::test
