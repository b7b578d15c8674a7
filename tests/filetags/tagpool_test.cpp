#include "filetags/tagpool.h"
#include "mediafiles.h"
#include "renamefolder.h"

#include <gtest/gtest.h>

namespace qm::test {
namespace {

constexpr unsigned kFile = static_cast<unsigned>(TagSource::File);
constexpr unsigned kPhoto = static_cast<unsigned>(TagSource::Photo);

TEST(TagPool, ReadsOnceAndAgainOnlyWhenTheFileChangedAndStampsAreChecked) {
    RenameFolder dir;
    WriteJpeg(dir.Path() + "a.jpg", {"", "Old", "", 8, 8});
    WriteJpeg(dir.Path() + "b.jpg", {"", "Bee", "", 8, 8});
    ListedFiles files(dir.Path(), {"a.jpg", "b.jpg"});
    const std::atomic<bool> goOn{false};
    std::vector<std::size_t> reports;
    TTagReadRequest request{{&files[0], &files[1]}, kPhoto, false, 2};
    EXPECT_EQ(ReadTags(request, goOn, [&](std::size_t n) { reports.push_back(n); }), 2u);
    EXPECT_EQ(reports, std::vector<std::size_t>{2});
    const auto first = files[1].Tags();
    ASSERT_TRUE(first && first->Values.Make);

    // Another program writes the file: without the stamp check the old tags stand.
    WriteJpeg(dir.Path() + "a.jpg", {"", "Newer make", "", 8, 8});
    ReadTags(request, goOn);
    EXPECT_EQ(files[0].Tags()->Values.Make, "Old");
    request.CheckStamps = true;
    ReadTags(request, goOn);
    EXPECT_EQ(files[0].Tags()->Values.Make, "Newer make");
    EXPECT_EQ(files[1].Tags(), first); // unchanged: not read again

    // Asking for another source keeps the one read before.
    request.Sources = kFile;
    ReadTags(request, goOn);
    EXPECT_EQ(files[0].Tags()->Sources, kFile | kPhoto);
    EXPECT_EQ(files[0].Tags()->Values.Make, "Newer make");
    EXPECT_TRUE(files[0].Tags()->Values.Size);
}

TEST(TagPool, PathsAreReadInOrderAndACancelledReadLeavesTheRestUnread) {
    RenameFolder dir;
    std::vector<std::string> paths;
    for (const char* make : {"A", "B", "C", "D", "E"}) {
        paths.push_back(dir.Path() + make + ".jpg");
        WriteJpeg(paths.back(), {"", make, "", 8, 8});
    }
    std::atomic<bool> cancel{false};
    const auto tags = ReadTagsOfPaths(paths, kPhoto, 3, cancel);
    ASSERT_EQ(tags.size(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i)
        EXPECT_EQ(tags[i]->Values.Make, std::string(1, static_cast<char>('A' + i)));
    cancel = true;
    for (const auto& unread : ReadTagsOfPaths(paths, kPhoto, 3, cancel))
        EXPECT_EQ(unread, nullptr);
}

} // namespace
} // namespace qm::test
