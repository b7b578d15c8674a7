#include "filetags/tagpool.h"
#include "mediafiles.h"
#include "renamefolder.h"

#include <gtest/gtest.h>

namespace qm::test {
namespace {

constexpr unsigned kFile = static_cast<unsigned>(TagSource::File);
constexpr unsigned kPhoto = static_cast<unsigned>(TagSource::Photo);

TEST(TagPool, ReadsAgainOnlyAChangedFileWhenStampsAreCheckedAndKeepsWhatWasRead) {
    RenameFolder dir;
    for (const char* name : {"a.jpg", "b.jpg"})
        WriteJpeg(dir.Path() + name, {"", "Old", "", 8, 8});
    ListedFiles files(dir.Path(), {"a.jpg", "b.jpg"});
    std::atomic<bool> cancel{false};
    std::vector<std::size_t> reports;
    TTagReadRequest request{{&files[0], &files[1]}, kPhoto, false, 2};
    EXPECT_EQ(ReadTags(request, cancel, [&](std::size_t n) { reports.push_back(n); }), 2u);
    EXPECT_EQ(reports, std::vector<std::size_t>{2});
    const auto unchanged = files[1].Tags();
    WriteJpeg(dir.Path() + "a.jpg", {"", "Newer make", "", 8, 8}); // another program writes
    ReadTags(request, cancel);
    EXPECT_EQ(files[0].Tags()->Values.Make, "Old");
    request.CheckStamps = true;
    ReadTags(request, cancel);
    EXPECT_EQ(files[0].Tags()->Values.Make, "Newer make");
    EXPECT_EQ(files[1].Tags(), unchanged);
    request.Sources = kFile; // another source: the one read before stays
    ReadTags(request, cancel);
    EXPECT_EQ(files[0].Tags()->Sources, kFile | kPhoto);
    EXPECT_EQ(files[0].Tags()->Values.Make, "Newer make");

    // Paths without entries: in order, and none read once cancelled.
    const std::vector<std::string> paths = {dir.Path() + "b.jpg", dir.Path() + "a.jpg"};
    const auto tags = ReadTagsOfPaths(paths, kPhoto, 2, cancel);
    EXPECT_EQ(tags.at(0)->Values.Make, "Old");
    EXPECT_EQ(tags.at(1)->Values.Make, "Newer make");
    cancel = true;
    EXPECT_EQ(ReadTagsOfPaths(paths, kPhoto, 2, cancel).at(0), nullptr);
}

} // namespace
} // namespace qm::test
