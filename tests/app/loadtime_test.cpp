#include "runprocess.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace qm::test {
namespace {

namespace fs = std::filesystem;

// The program finds Vocalith in its own folder, wherever that folder is, and does not
// start at all without it. "--version" answers without a display and without a window.
TEST(LoadTime, ProgramNeedsVocalithBesideIt) {
    const fs::path dir = fs::temp_directory_path() / ("qm-loadtime-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::copy_file(BinPath("quillmark"), dir / "quillmark");

    const ProcessResult without = RunProcess((dir / "quillmark").string(), {"--version"});
    EXPECT_NE(without.exitCode, 0);
    EXPECT_NE(without.err.find("libvocalith.so"), std::string::npos) << without.err;

    fs::copy_file(BinPath("libvocalith.so"), dir / "libvocalith.so");
    const ProcessResult with = RunProcess((dir / "quillmark").string(), {"--version"});
    EXPECT_EQ(with.exitCode, 0) << with.err;
    fs::remove_all(dir);
}

} // namespace
} // namespace qm::test
