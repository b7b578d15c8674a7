#include "exfatmount.h"

#include "runprocess.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace qm::test {

namespace fs = std::filesystem;

ExfatMount::ExfatMount() {
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

ExfatMount::~ExfatMount() {
    // Always undone, whatever a check found.
    if (mounted_)
        RunProcess("/bin/fusermount", {"-u", mount_});
    if (!loopDevice_.empty())
        RunProcess("/sbin/losetup", {"-d", loopDevice_});
}

bool ExfatMount::Step(const std::string& program, const std::vector<std::string>& args) {
    const ProcessResult r = RunProcess(program, args);
    if (r.exitCode != 0)
        error_ = program + " failed (" + std::to_string(r.exitCode) + "): " + r.err;
    return r.exitCode == 0;
}

} // namespace qm::test
