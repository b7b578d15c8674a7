// main() of every GoogleTest program: sets up the environment the tests rely on, so that
// a test program behaves the same whether CTest or a developer starts it.

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

int main(int argc, char** argv) {
    setenv("QUILLMARK_BIN_DIR", QUILLMARK_TEST_BIN_DIR, 0);
    setenv("QUILLMARK_SOURCE_DIR", QUILLMARK_TEST_SOURCE_DIR, 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        const std::string runtime = std::string(QUILLMARK_TEST_BUILD_DIR) + "/tests/runtime";
        mkdir(runtime.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    // Runs through the command line and the window write journals; never into the home.
    if (!std::getenv("XDG_STATE_HOME")) {
        const std::string state = std::string(QUILLMARK_TEST_BUILD_DIR) + "/tests/state";
        mkdir(state.c_str(), 0700);
        setenv("XDG_STATE_HOME", state.c_str(), 1);
    }
    // The command line reads the settings for how long journals are kept: never the user's.
    {
        const std::string config = std::string(QUILLMARK_TEST_BUILD_DIR) + "/tests/config";
        mkdir(config.c_str(), 0700);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
