#include "engine/namesteps.h"
#include "engine/tagtext.h"

#include <gtest/gtest.h>
#include <string>

namespace qm {
namespace {

TEST(TagText, Expand) {
    TagValues values;
    values.Taken = TagDate{2024, 3, 7, 9, 5, 2};
    values.Modified = TagDate{2023, 12, 31, 23, 59, 58};
    values.Track = 7;
    values.Size = UINT64_MAX;
    values.Title = std::string("AC/DC\0x", 7);
    values.Artist = "Caf\xe9";
    values.Make = "";
    // Spaces and control characters go at the ends; inside, each run of them is one "_".
    values.Model = " \tEOS\r\n";
    values.Album = "Back\r\n\r\nIn Black";
    values.Genre = "\xC2\x85Pop\xC2\x9B 1 \x7F\xC2\x9F"; // C1 controls, and DEL
    values.AlbumArtist = " \r\n\t ";
    MonthNames months;
    for (int i = 0; i < 12; ++i) {
        months.Short[i] = "S" + std::to_string(i + 1);
        months.Long[i] = "L" + std::to_string(i + 1);
    }
    const struct Row {
        std::string text, expected;
        bool missing = false, unknown = false;
    } rows[] = {
        {"<taken>", "2024-03-07 09.05.02"},
        {"<taken:yy MMMM MMM MM dd HH mm ss yyyy>", "24 L3 S3 03 07 09 05 02 2024"},
        {"<taken:yyy/M>", "24y_M"},
        {"<folder|make|modified:yyyy|taken>", "2023"},
        {"<TRACK:3>.<track>.<size>", "007.7.18446744073709551615"},
        {"a<<b>", "a<b>"},
        {"a<b <track:2>", "a<b 07"},
        {"x<track", "x<track"},
        {"<nosuch>-<title|nosuch>-<track:ab>-<>", "<nosuch>-<title|nosuch>-<track:ab>-<>", false,
         true},
        {"<title>", "AC_DC_x"},
        {"<artist>", "Caf\xe9"},
        {"<model>|<album>|<genre>", "EOS|Back_In Black|Pop_ 1"},
        {"<albumartist|track>", "7"},
        {"[<folder>]", "[]", true},
        {"<folder|make>", "", true},
    };
    for (const Row& row : rows) {
        const TagExpansion got = ExpandTags(row.text, values, months);
        EXPECT_EQ(got.Text, row.expected) << row.text;
        EXPECT_EQ(got.Missing, row.missing) << row.text;
        EXPECT_EQ(got.Unknown, row.unknown) << row.text;
    }
    values.Album = std::string(steps::kMaxWorkingLength - 1, 'a');
    EXPECT_EQ(ExpandTags("<album>\xc3\xa9<track>", values, months).Text.size(),
              steps::kMaxWorkingLength - 1); // "é" does not fit whole, and "7" must not follow
    values.Taken->Month = 13;
    EXPECT_EQ(ExpandTags("<taken:MMM|size>", values, months).Text, "18446744073709551615");
}

TEST(TagText, SourcesOf) {
    constexpr auto File = static_cast<unsigned>(TagSource::File);
    constexpr auto Photo = static_cast<unsigned>(TagSource::Photo);
    constexpr auto Music = static_cast<unsigned>(TagSource::Music);
    EXPECT_EQ(TagSourcesOf("<taken|size> <Title>"), Photo | File | Music);
    EXPECT_EQ(TagSourcesOf("<<taken> <nosuch|folder> <folder:x> <width"), 0u);
}

} // namespace
} // namespace qm
