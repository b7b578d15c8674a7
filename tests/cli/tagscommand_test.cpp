#include "exfatmount.h"
#include "mediafiles.h"
#include "renamefolder.h"
#include "runprocess.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace qm::test {
namespace {

TEST(TagsCommand, PreviewTellsMissingTagsRefusesUnknownOnesRenamesAndUndoes) {
    RenameFolder dir;
    const std::string savedState = std::getenv("XDG_STATE_HOME");
    setenv("XDG_STATE_HOME", (dir.Path() + "state").c_str(), 1);
    const std::string cli = BinPath("quillmark-cli"), a = dir.Path();
    auto scheme = [&](const std::string& text) {
        std::ofstream(a + "s.scheme") << "Version=1\nInsertGroup=true\nInsertTags=true\n"
                                         "InsertFront=true\nInsertFrontText="
                                      << text << "\n";
        return a + "s.scheme";
    };
    WriteJpeg(a + "IMG_1.jpg", {"2024:05:06 07:08:09", "", "", 8, 8});
    // The make's entry claims more bytes than the EXIF block holds: the photo library
    // would say so on stderr if it were let.
    WriteJpeg(a + "IMG_2.jpg", {"", "Camera Maker", "", 8, 8});
    {
        std::fstream file(a + "IMG_2.jpg", std::ios::in | std::ios::out | std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(file), {}};
        file.seekp(static_cast<std::streamoff>(bytes.find(std::string("\x0f\x01\x02\x00", 4)) + 5));
        file.put('\x01');
    }
    WriteMusic(a + "s.mp3", MusicKind::Mp3, {"", "", "", "AC/DC", "", "7/12", "", ""});

    ProcessResult r =
        RunProcess(cli, {"preview", "--scheme-file", scheme("<taken:yyyy-MM-dd MMMM>_"),
                         a + "IMG_1.jpg", a + "IMG_2.jpg"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, a + "IMG_1.jpg\t" + a + "2024-05-06 May_IMG_1.jpg\n" + a + "IMG_2.jpg\t" + a +
                         "_IMG_2.jpg\n");
    EXPECT_EQ(r.err, "quillmark-cli preview: " + a + "IMG_2.jpg: no value for the tag <taken>\n");

    // Refused before anything is read or moved; the first tag not known is named.
    scheme("<title>_<tken>_<tkn>");
    for (const char* command : {"preview", "rename"}) {
        r = RunProcess(cli, {command, "--scheme-file", a + "s.scheme", a + "s.mp3"});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(
            r.err,
            std::string("quillmark-cli ") + command +
                ": the insert text '<title>_<tken>_<tkn>' holds a tag that is not known: <tken>\n");
    }

    // The dry run reads the tags and tells a missing one as the run does, renaming nothing.
    r = RunProcess(cli, {"rename", "--dry-run", "--scheme-file", scheme("<track:2> <title> - "),
                         a + "s.mp3", a + "IMG_1.jpg"});
    EXPECT_EQ(r.out, a + "s.mp3\t" + a + "07 AC_DC - s.mp3\n" + a + "IMG_1.jpg\t" + a +
                         "  - IMG_1.jpg\n2 renamed, 0 unchanged, 0 failed\n");
    EXPECT_EQ(r.err, "quillmark-cli rename: " + a + "IMG_1.jpg: no value for the tag <track>\n");

    // A "/" in a title never moves the file out of its folder; the run is undone whole.
    r = RunProcess(cli, {"rename", "--scheme-file", a + "s.scheme", a + "s.mp3", a + "IMG_1.jpg"});
    EXPECT_EQ(r.out, "2 renamed, 0 unchanged, 0 failed\n");
    EXPECT_EQ(r.err, "quillmark-cli rename: " + a + "IMG_1.jpg: no value for the tag <track>\n");
    EXPECT_TRUE(std::filesystem::exists(a + "07 AC_DC - s.mp3"));
    EXPECT_TRUE(std::filesystem::exists(a + "  - IMG_1.jpg")); // both tags without a value
    EXPECT_EQ(RunProcess(cli, {"undo"}).exitCode, 0);
    EXPECT_TRUE(std::filesystem::exists(a + "s.mp3") && std::filesystem::exists(a + "IMG_1.jpg"));
    setenv("XDG_STATE_HOME", savedState.c_str(), 1);
}

// A date taken with its time, onto a camera card: the card refuses ":", and the preview,
// the dry run and the run all say so; the photo keeps its name.
TEST(TagsCommand, ACameraCardRefusesTheColonOfATimeTaken) {
    ExfatMount card;
    if (!card.Error().empty())
        GTEST_SKIP() << "no exFAT mount: " << card.Error();
    RenameFolder dir;
    const std::string cli = BinPath("quillmark-cli"), photo = card.Folder() + "IMG_0001.JPG";
    std::ofstream(dir.Path() + "s.scheme") << "Version=1\nInsertGroup=true\nInsertTags=true\n"
                                              "InsertFront=true\n"
                                              "InsertFrontText=<taken:yyyy-MM-dd HH:mm> \n";
    WriteJpeg(photo, {"2024:07:14 09:30:00", "", "", 8, 8});
    const std::string why = photo + ": the new name holds \u201c:\u201d, which this drive does "
                                    "not allow in a name\n";

    ProcessResult r = RunProcess(cli, {"preview", "--scheme-file", dir.Path() + "s.scheme", photo});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, photo + "\t" + card.Folder() + "2024-07-14 09:30 IMG_0001.JPG\n");
    EXPECT_EQ(r.err, "quillmark-cli preview: " + why);
    for (const bool dryRun : {true, false}) {
        std::vector<std::string> args = {"rename", "--scheme-file", dir.Path() + "s.scheme", photo};
        if (dryRun)
            args.insert(args.begin() + 1, "--dry-run");
        r = RunProcess(cli, args);
        EXPECT_EQ(r.exitCode, 1) << dryRun;
        EXPECT_TRUE(r.out.ends_with("0 renamed, 0 unchanged, 1 failed\n")) << r.out;
        EXPECT_EQ(r.err, "quillmark-cli: " + why) << dryRun;
    }
    EXPECT_TRUE(std::filesystem::exists(photo));
}

} // namespace
} // namespace qm::test
