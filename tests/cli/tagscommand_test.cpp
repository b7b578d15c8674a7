#include "mediafiles.h"
#include "renamefolder.h"
#include "runprocess.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace qm::test {
namespace {

namespace fs = std::filesystem;

std::string TagScheme(const RenameFolder& dir, const std::string& name, const std::string& text) {
    const std::string path = dir.Path() + name;
    std::ofstream(path, std::ios::binary) << "Version=1\nInsertGroup=true\nInsertTags=true\n"
                                             "InsertFront=true\nInsertFrontText="
                                          << text << "\n";
    return path;
}

TEST(TagsCommand, PreviewTellsMissingTagsRefusesUnknownOnesRenamesAndUndoes) {
    RenameFolder dir;
    const std::string state = dir.Path() + "state";
    const std::string savedState = std::getenv("XDG_STATE_HOME");
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    const std::string cli = BinPath("quillmark-cli");
    dir.Make("a/");
    const std::string a = dir.Path() + "a/";
    WriteJpeg(a + "IMG_1.jpg", {"2024:05:06 07:08:09", "", "", 8, 8});
    WriteJpeg(a + "IMG_2.jpg", {});
    // The make's entry claims more bytes than the EXIF block holds: the photo library
    // would complain on stderr if it were let.
    WriteJpeg(a + "IMG_3.jpg", {"", "Camera Maker", "", 8, 8});
    {
        std::fstream file(a + "IMG_3.jpg", std::ios::in | std::ios::out | std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(file), {}};
        const std::size_t make = bytes.find(std::string("\x0f\x01\x02\x00", 4));
        ASSERT_NE(make, std::string::npos);
        file.seekp(static_cast<std::streamoff>(make + 5));
        file.put('\x01');
    }
    WriteMusic(a + "s.mp3", MusicKind::Mp3, {"", "", "", "AC/DC", "", "7/12", "", ""});

    const std::string taken = TagScheme(dir, "taken.scheme", "<taken:yyyy-MM-dd MMMM>_");
    ProcessResult r = RunProcess(cli, {"preview", "--scheme-file", taken, a + "IMG_1.jpg",
                                       a + "IMG_2.jpg", a + "IMG_3.jpg"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, a + "IMG_1.jpg\t" + a + "2024-05-06 May_IMG_1.jpg\n" + a + "IMG_2.jpg\t" + a +
                         "_IMG_2.jpg\n" + a + "IMG_3.jpg\t" + a + "_IMG_3.jpg\n");
    EXPECT_EQ(r.err, "quillmark-cli preview: " + a + "IMG_2.jpg: no value for the tag <taken>\n" +
                         "quillmark-cli preview: " + a +
                         "IMG_3.jpg: no value for the tag <taken>\n");

    // Refused before anything is read or moved, whichever enabled text holds the tag.
    const std::string unknown = TagScheme(dir, "unknown.scheme", "<title>_<tken>_<tkn>");
    r = RunProcess(cli, {"preview", "--scheme-file", unknown, a + "s.mp3"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "quillmark-cli preview: the insert text '<title>_<tken>_<tkn>' holds a "
                     "tag that is not known: <tken>\n");
    r = RunProcess(cli, {"rename", "--scheme-file", unknown, a + "s.mp3"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "quillmark-cli rename: the insert text '<title>_<tken>_<tkn>' holds a "
                     "tag that is not known: <tken>\n");

    // A "/" in a title never moves the file out of its folder; the run is undone whole.
    const std::string song = TagScheme(dir, "song.scheme", "<track:2> <title> - ");
    r = RunProcess(cli, {"rename", "--scheme-file", song, a + "s.mp3", a + "IMG_1.jpg"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "2 renamed, 0 unchanged, 0 failed\n");
    EXPECT_EQ(r.err, "quillmark-cli rename: " + a + "IMG_1.jpg: no value for the tag <track>\n");
    EXPECT_TRUE(fs::exists(a + "07 AC_DC - s.mp3"));
    EXPECT_TRUE(fs::exists(a + "  - IMG_1.jpg")); // two tags without a value
    r = RunProcess(cli, {"undo"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::exists(a + "s.mp3"));
    EXPECT_TRUE(fs::exists(a + "IMG_1.jpg"));
    setenv("XDG_STATE_HOME", savedState.c_str(), 1);
}

} // namespace
} // namespace qm::test
