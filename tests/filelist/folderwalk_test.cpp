// Listing a folder's files: hidden entries, depth first, links, loops.

#include "filelist/folderwalk.h"

#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace qm {
namespace {

namespace fs = std::filesystem;

class FolderWalk : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        root_ = dir_.path().toStdString() + "/";
    }
    void File(const std::string& relative) {
        fs::create_directories(fs::path(root_ + relative).parent_path());
        std::ofstream(root_ + relative) << "x";
    }
    // Every listed file as a path below the root, in walk order.
    std::vector<std::string> Walk(const std::string& folder, bool subFolders) {
        std::vector<std::string> paths;
        for (const auto& file : WalkFolder(root_ + folder, subFolders).Files)
            paths.push_back(file.Path.substr(root_.size()) + file.Name);
        return paths;
    }
    static std::vector<std::string> Sorted(std::vector<std::string> v) {
        std::sort(v.begin(), v.end());
        return v;
    }

    QTemporaryDir dir_;
    std::string root_;
};

TEST_F(FolderWalk, ListsFilesHiddenOnesIncluded) {
    File("top/a.txt");
    File("top/.hidden");
    File("top/sub/b.txt");
    File("top/sub/deeper/c.txt");
    fs::create_directories(root_ + "only/dirs/inside");
    EXPECT_EQ(Sorted(Walk("top", false)), (std::vector<std::string>{"top/.hidden", "top/a.txt"}));
    EXPECT_EQ(Sorted(Walk("top/", true)),
              (std::vector<std::string>{"top/.hidden", "top/a.txt", "top/sub/b.txt",
                                        "top/sub/deeper/c.txt"}));
    EXPECT_TRUE(Walk("only", false).empty());
    EXPECT_TRUE(Walk("only", true).empty());
    EXPECT_TRUE(Walk("missing", true).empty());
}

TEST_F(FolderWalk, SubfolderFilesComeWhereTheSubfolderIsMet) {
    File("t/sub/in.txt");
    File("t/sub/deeper/deep.txt");
    File("t/z.txt");
    const std::vector<std::string> walk = Walk("t", true);
    ASSERT_EQ(walk.size(), 3u);
    // The two files under "sub" stand together, deep.txt right where "deeper" was met.
    const auto in = std::find(walk.begin(), walk.end(), "t/sub/in.txt") - walk.begin();
    const auto deep = std::find(walk.begin(), walk.end(), "t/sub/deeper/deep.txt") - walk.begin();
    EXPECT_EQ(std::abs(in - deep), 1);
}

TEST_F(FolderWalk, LinksAreFollowedOnceAndLoopsEnd) {
    File("loop/a.txt");
    File("loop/sub/b.txt");
    fs::create_directory_symlink(root_ + "loop", root_ + "loop/sub/back");
    fs::create_symlink(root_ + "loop/a.txt", root_ + "loop/link.txt");
    fs::create_symlink(root_ + "nowhere", root_ + "loop/dangling");
    File("other/c.txt");
    fs::create_directory_symlink(root_ + "other", root_ + "loop/sub/toother");
    fs::create_directory_symlink(root_ + "other", root_ + "loop/toother2");
    // other/ is reached twice and loop/ again through "back": each is walked once.
    std::vector<std::string> walk = Sorted(Walk("loop", true));
    ASSERT_EQ(walk.size(), 5u);
    EXPECT_TRUE(walk[4] == "loop/sub/toother/c.txt" || walk[4] == "loop/toother2/c.txt") << walk[4];
    walk.pop_back();
    EXPECT_EQ(walk, (std::vector<std::string>{"loop/a.txt", "loop/dangling", "loop/link.txt",
                                              "loop/sub/b.txt"}));
}

TEST_F(FolderWalk, ProgressCanStopTheWalk) {
    for (int i = 0; i < 1200; ++i)
        File("many/f" + std::to_string(i));
    int calls = 0;
    const FolderWalkResult result = WalkFolder(root_ + "many", false, [&](std::size_t listed) {
        ++calls;
        return listed <= 512;
    });
    EXPECT_TRUE(result.Cancelled);
    EXPECT_EQ(result.Files.size(), 1024u);
    EXPECT_EQ(calls, 2);
}

} // namespace
} // namespace qm
