#pragma once

// A private pair of configuration folders for one test: XDG_CONFIG_HOME and
// XDG_CONFIG_DIRS point into a fresh temporary folder that is removed afterwards, so no
// test ever reaches the real home folder.

#include "settings/settingsstore.h"
#include "settings/storepaths.h"

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace qm::test {

class StoreFixture : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "qm-settings-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        ::setenv("XDG_CONFIG_HOME", (root_ / "home").c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", (root_ / "machine").string().append(":/etc/xdg").c_str(), 1);
    }

    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

    const std::filesystem::path& Root() const { return root_; }
    std::string UserFile() const { return UserStorePath(); }

    // Runs `work` on the user's store opened for writing, as a test's way to put
    // values in place or look at them.
    void WithUserStore(const std::function<void(TSettingsStore&)>& work) const {
        TSettingsStore store(UserFile());
        store.Open(TSettingsStore::Access::Write);
        ASSERT_TRUE(store.IsOpen());
        work(store);
        ASSERT_TRUE(store.Close());
    }

private:
    std::filesystem::path root_;
};

} // namespace qm::test
