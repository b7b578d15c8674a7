#include "engine/newname.h"
#include "filetags/filetagreader.h"
#include "filetags/tagpool.h"
#include "mediafiles.h"
#include "renamefolder.h"
#include "settings/optionschemas.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <taglib/fileref.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>

namespace qm::test {
namespace {

namespace fs = std::filesystem;
using Make = std::function<void(const std::string&)>;

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

Make Photo(PhotoFields f, Make after = {}) {
    return [=](const std::string& p) {
        WriteJpeg(p, f), after ? after(p) : void();
    };
}
Make Song(MusicKind k, MusicFields f, Make after = {}) {
    return [=](const std::string& p) {
        WriteMusic(p, k, f), after ? after(p) : void();
    };
}
// Two ARTIST fields, as a tagger writes a song's two artists.
Make TwoArtists(const std::string& first, const std::string& second) {
    return [=](const std::string& p) {
        TagLib::FileRef file(p.c_str(), false);
        TagLib::PropertyMap properties;
        TagLib::StringList artists(TagLib::String(first, TagLib::String::UTF8));
        artists.append(TagLib::String(second, TagLib::String::UTF8));
        properties.insert("ARTIST", artists);
        file.file()->setProperties(properties);
        ASSERT_TRUE(file.save());
    };
}
Make CutTo(std::uintmax_t size) {
    return [=](const std::string& p) {
        fs::resize_file(p, size);
    };
}
// TagLib writes a title it can as Latin-1: bytes that are not UTF-8 in the file.
void HoldsLatin1Title(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    EXPECT_NE(std::string(std::istreambuf_iterator<char>(in), {}).find("Caf\xE9"),
              std::string::npos);
}
// The ID3v2 tag moved to an ID3v1 tag, as an old tagger leaves it.
void OnlyId3v1(const std::string& p) {
    TagLib::MPEG::File(p.c_str(), false).save(TagLib::MPEG::File::ID3v1, TagLib::File::StripOthers);
}

TEST(FileTagReader, EachTagFromAMadeUpFileThroughTheName) {
    const MusicFields song{"The Band", "Various", "Best Of", "AC/DC",
                           "Rock",     "7/12",    "2/3",     "1999-05-01"};
    const auto mp3 = MusicKind::Mp3;
    const std::string nulTitle("Back\0In Black", 13);
    struct Row {
        const char *label, *file;
        Make make;
        const char *text, *expected; // expected "": the folder's name
        bool missing;
    } rows[] = {
        {"date taken", "p.jpg", Photo({"2024:05:06 07:08:09", "", "", 8, 8}),
         "<taken:yyyy-MM-dd HH.mm.ss MMM>_", "2024-05-06 07.08.09 May_", false},
        {"hour out of range", "p.jpg", Photo({"2024:05:06 24:08:09", "", "", 8, 8}), "<taken>_",
         "_", true},
        {"make and model trimmed", "p.jpg", Photo({"", "  AC/DC Optics  ", "Model 1 ", 8, 8}),
         "<make>-<model>_", "AC_DC Optics-Model 1_", false},
        {"EXIF dimensions", "p.jpg", Photo({"", "Cam", "", 16, 8}), "<width>x<height>_", "16x8_",
         false},
        {"picture's own size", "p.jpg", Photo({"", "", "", 12, 10}), "<width>x<height>_", "12x10_",
         false},
        {"truncated photo", "p.jpg", Photo({"2024:05:06 07:08:09", "", "", 8, 8}, CutTo(40)),
         "<taken>_", "_", true},
        {"MP3 track of a set, disc, year", "s.mp3", Song(mp3, song), "<track:2>.<disc>.<year>_",
         "07.2.1999_", false},
        {"MP3 with ID3v1 only", "s.mp3", Song(mp3, song, OnlyId3v1),
         "<track:2> <albumartist|artist>_", "07 The Band_", false},
        {"FLAC", "s.flac", Song(MusicKind::Flac, song), "<albumartist> - <album> (<genre>)_",
         "Various - Best Of (Rock)_", false},
        {"Ogg Vorbis, a slash in the title", "s.ogg", Song(MusicKind::OggVorbis, song),
         "<artist> - <title>_", "The Band - AC_DC_", false},
        {"Latin-1 bytes", "s.mp3",
         Song(mp3, {"", "", "", "Caf\xC3\xA9", "", "", "", ""}, HoldsLatin1Title), "<title>_",
         "Caf\xC3\xA9_", false},
        {"truncated song", "s.mp3", Song(mp3, song, CutTo(30)), "<title>_", "_", true},
        // No control character from a tag reaches a name; a NUL inside a value is kept.
        {"make and model with line ends", "p.jpg", Photo({"", "Canon\n", " \tEOS\r\n", 8, 8}),
         "<make>-<model>_", "Canon-EOS_", false},
        {"MP3 title with a line break", "s.mp3",
         Song(mp3, {"", "", "", "Back\nIn Black", "", "", "", ""}), "<title>_", "Back_In Black_",
         false},
        {"FLAC title with a NUL", "s.flac",
         Song(MusicKind::Flac, {"", "", "", nulTitle, "", "", "", ""}), "<title>_",
         "Back_In Black_", false},
        {"Ogg title with a NUL", "s.ogg",
         Song(MusicKind::OggVorbis, {"", "", "", nulTitle, "", "", "", ""}), "<title>_",
         "Back_In Black_", false},
        // Fields of one key are joined by " ", also where one of them holds a NUL.
        {"two FLAC artists, one with a NUL", "s.flac",
         Song(MusicKind::Flac, {}, TwoArtists(nulTitle, "AC/DC")), "<artist>_",
         "Back_In Black AC_DC_", false},
        {"Opus title with a NUL", "s.opus",
         Song(MusicKind::OggOpus, {"", "", "", nulTitle, "", "", "", ""}), "<title>_",
         "Back_In Black_", false},
        // A number the text does not hold in range is none, not the tag library's reading.
        {"MP3 track and year out of range", "s.mp3",
         Song(mp3, {"A", "", "", "", "", "99999999999", "", "12345"}), "<track>.<year>_", "._",
         true},
        {"February 29th of a leap year", "p.jpg", Photo({"2024:02:29 10:00:00", "", "", 8, 8}),
         "<taken:yyyy-MM-dd>_", "2024-02-29_", false},
        {"February 29th of another year", "p.jpg", Photo({"2100:02:29 10:00:00", "", "", 8, 8}),
         "<taken>_", "_", true},
        {"April 30th", "p.jpg", Photo({"2023:04:30 10:00:00", "", "", 8, 8}), "<taken:yyyy-MM-dd>_",
         "2023-04-30_", false},
        {"April 31st", "p.jpg", Photo({"2024:04:31 10:00:00", "", "", 8, 8}), "<taken>_", "_",
         true},
        // Opening a FIFO for its content would wait for a writer that never comes.
        {"a FIFO", "f.mp3", [](auto& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
         "<title|folder>_", "", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        RenameFolder dir;
        const std::string path = dir.Path() + row.file;
        row.make(path);
        const NewName name = NameWithTags(path, row.text, "x");
        const std::string folder = fs::path(dir.Path()).parent_path().filename().string() + "_";
        EXPECT_EQ(name.Name, (*row.expected ? row.expected : folder) + "x");
        EXPECT_EQ(name.TagMissing, row.missing);
    }
}

constexpr unsigned kFile = static_cast<unsigned>(TagSource::File);
constexpr unsigned kPhoto = static_cast<unsigned>(TagSource::Photo);

TEST(TagPool, ReadsAgainOnlyAChangedFileWhenStampsAreCheckedAndKeepsWhatWasRead) {
    RenameFolder dir;
    for (const char* name : {"a.jpg", "b.jpg"})
        WriteJpeg(dir.Path() + name, {"", "Old", "", 8, 8});
    ListedFiles files(dir.Path(), {"a.jpg", "b.jpg"});
    std::atomic<bool> cancel{false};
    TTagReadRequest request{{&files[0], &files[1]}, kPhoto, false, 2};
    EXPECT_EQ(ReadTags(request, cancel), 2u);
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

// The folder is the path's last but one name, also in a relative path; a file in "/" or
// in the current folder has none. Each source gives its own values only.
TEST(FileTagReader, EachSourceGivesItsValuesOnly) {
    const struct {
        const char* path;
        std::optional<std::string> folder;
    } paths[] = {
        {"/nonexistent-qm/d/c.jpg", "d"}, {"d/c.jpg", "d"},    {"/c.jpg", std::nullopt},
        {"c.jpg", std::nullopt},          {"/a/d 2/x", "d 2"},
    };
    for (const auto& row : paths) {
        EXPECT_EQ(ReadFileTags(row.path, kFile)->Values.Folder, row.folder) << row.path;
        EXPECT_EQ(ReadFileTags(row.path, kPhoto)->Values.Folder, std::nullopt) << row.path;
    }

    RenameFolder dir;
    const std::string photo = dir.Path() + "p.jpg";
    WriteJpeg(photo, {"2024:05:06 07:08:09", "Cam", "", 8, 8});
    const std::string song = dir.Path() + "s.mp3";
    WriteMusic(song, MusicKind::Mp3, {"Band", "", "", "", "", "", "", ""});
    constexpr unsigned kMusic = static_cast<unsigned>(TagSource::Music);
    for (const unsigned sources : {kFile, kPhoto, kMusic, kFile | kPhoto, kPhoto | kMusic}) {
        SCOPED_TRACE(sources);
        const auto p = ReadFileTags(photo, sources);
        const auto s = ReadFileTags(song, sources);
        EXPECT_EQ(p->Sources, sources);
        EXPECT_EQ(p->Values.Size.has_value(), (sources & kFile) != 0);
        EXPECT_EQ(p->Values.Modified.has_value(), (sources & kFile) != 0);
        EXPECT_EQ(p->Values.Make.has_value(), (sources & kPhoto) != 0);
        EXPECT_EQ(p->Values.Taken.has_value(), (sources & kPhoto) != 0);
        EXPECT_EQ(s->Values.Artist.has_value(), (sources & kMusic) != 0);
        // Without a year, a track or a disc in the tags there is none to give.
        EXPECT_FALSE(s->Values.Year || s->Values.Track || s->Values.Disc);
        EXPECT_EQ(p->Stamp, ReadFileTags(photo, 0)->Stamp); // the stamp whatever is asked
    }
}

} // namespace
} // namespace qm::test
