#include "engine/newname.h"
#include "filetags/filetagreader.h"
#include "mediafiles.h"
#include "renamefolder.h"
#include "settings/optionschemas.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <taglib/mpegfile.h>

namespace qm::test {
namespace {

namespace fs = std::filesystem;

// The name `text` inserted at the front gives `name`, the tags read from `path`.
NewName NameWithTags(const std::string& path, const std::string& text, const std::string& name) {
    RenameOptionSet options;
    ReadSchemeText(NormalizeLineEnds("Version=1\nInsertGroup=true\nInsertTags=true\n"
                                     "InsertFront=true\nInsertFrontText=" +
                                     text + "\n"),
                   options);
    const auto tags = ReadFileTags(path, TagSourcesNeeded(options));
    return ComputeNewNameChecked(options, name, 1, {&tags->Values, &EnglishMonthNames()});
}

void CutShort(const std::string& path, std::uintmax_t keep) {
    fs::resize_file(path, keep);
}

// The file's ID3v2 tag moved to an ID3v1 tag, as an old tagger leaves it.
void OnlyId3v1(const std::string& path) {
    TagLib::MPEG::File file(path.c_str(), false);
    file.save(TagLib::MPEG::File::ID3v1, TagLib::File::StripOthers);
}

TEST(FileTagReader, EachTagFromAMadeUpFileThroughTheName) {
    const MusicFields song{"The Band", "Various", "Best Of", "Song",
                           "Rock",     "7/12",    "2/3",     "1999-05-01"};
    struct Row {
        const char* label;
        const char* file;
        std::function<void(const std::string&)> make;
        const char* text;
        const char* expected;
        bool missing;
    };
    const Row rows[] = {
        {"date taken with a format", "p.jpg",
         [](auto& p) {
             WriteJpeg(p, {"2024:05:06 07:08:09", "", "", 8, 8});
         },
         "<taken:yyyy-MM-dd HH.mm.ss MMM>_", "2024-05-06 07.08.09 May_", false},
        {"a clock never set is no date", "p.jpg",
         [](auto& p) {
             WriteJpeg(p, {"0000:00:00 00:00:00", "Cam", "", 8, 8});
         },
         "<taken:yyyy|make>_", "Cam_", false},
        {"an hour out of range is no date", "p.jpg",
         [](auto& p) {
             WriteJpeg(p, {"2024:05:06 24:08:09", "", "", 8, 8});
         },
         "<taken>_", "_", true},
        {"no EXIF at all", "p.jpg", [](auto& p) { WriteJpeg(p, {}); }, "<taken>_", "_", true},
        {"make and model trimmed, a slash made harmless", "p.jpg",
         [](auto& p) {
             WriteJpeg(p, {"", "  AC/DC Optics  ", "Model 1 ", 8, 8});
         },
         "<make>-<model>_", "AC_DC Optics-Model 1_", false},
        {"EXIF dimensions", "p.jpg",
         [](auto& p) {
             WriteJpeg(p, {"", "Cam", "", 16, 8});
         },
         "<width>x<height>_", "16x8_", false},
        {"the picture's own size without EXIF", "p.jpg",
         [](auto& p) {
             WriteJpeg(p, {"", "", "", 12, 10});
         },
         "<width>x<height>_", "12x10_", false},
        {"a truncated photo lacks its date", "p.jpg",
         [](auto& p) {
             WriteJpeg(p, {"2024:05:06 07:08:09", "", "", 8, 8});
             CutShort(p, 40);
         },
         "<taken>_", "_", true},
        {"MP3 track of a set, disc, year of a date", "s.mp3",
         [&](auto& p) { WriteMusic(p, MusicKind::Mp3, song); }, "<track:2>.<disc>.<year>_",
         "07.2.1999_", false},
        {"MP3 with ID3v1 only", "s.mp3",
         [&](auto& p) {
             WriteMusic(p, MusicKind::Mp3, song);
             OnlyId3v1(p);
         },
         "<track:2> <title> <albumartist|artist>_", "07 Song The Band_", false},
        {"FLAC album artist, album, genre", "s.flac",
         [&](auto& p) { WriteMusic(p, MusicKind::Flac, song); },
         "<albumartist> - <album> (<genre>)_", "Various - Best Of (Rock)_", false},
        {"Ogg Vorbis artist and title", "s.ogg",
         [&](auto& p) { WriteMusic(p, MusicKind::OggVorbis, song); }, "<artist> - <title>_",
         "The Band - Song_", false},
        {"a title with a slash never moves the file", "s.ogg",
         [](auto& p) {
             WriteMusic(p, MusicKind::OggVorbis, {"", "", "", "AC/DC", "", "", "", ""});
         },
         "<title>_", "AC_DC_", false},
        {"Latin-1 bytes in the tag come out as UTF-8", "s.mp3",
         [](auto& p) {
             WriteMusic(p, MusicKind::Mp3, {"", "", "", "Caf\xC3\xA9", "", "", "", ""});
             std::ifstream in(p, std::ios::binary);
             const std::string bytes{std::istreambuf_iterator<char>(in), {}};
             EXPECT_NE(bytes.find("Caf\xE9"), std::string::npos);
         },
         "<title>_", "Caf\xC3\xA9_", false},
        {"a truncated song lacks its title", "s.mp3",
         [&](auto& p) {
             WriteMusic(p, MusicKind::Mp3, song);
             CutShort(p, 30);
         },
         "<title>_", "_", true},
        {"a text file has no music tags", "t.txt", [](auto& p) { std::ofstream(p) << "Title: no"; },
         "<title|folder>_", "", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        RenameFolder dir;
        const std::string path = dir.Path() + row.file;
        row.make(path);
        const NewName name = NameWithTags(path, row.text, "x");
        std::string expected = row.expected;
        if (expected.empty()) // the folder's own name as the fallback
            expected = fs::path(dir.Path()).parent_path().filename().string() + "_";
        EXPECT_EQ(name.Name, expected + "x");
        EXPECT_EQ(name.TagMissing, row.missing);
    }
}

TEST(FileTagReader, OnlyRegularFilesAreOpened) {
    RenameFolder dir;
    const std::string fifo = dir.Path() + "pipe.mp3";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Opening a FIFO for its content would wait for a writer that never comes.
    const auto tags = ReadFileTags(fifo, static_cast<unsigned>(TagSource::Music) |
                                             static_cast<unsigned>(TagSource::File));
    EXPECT_FALSE(tags->Values.Title);
    EXPECT_TRUE(tags->Values.Modified);
}

} // namespace
} // namespace qm::test
