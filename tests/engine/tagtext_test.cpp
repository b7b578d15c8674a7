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
    // Letters whose UTF-8 begins as a C1 control's does, or goes on with a byte of that
    // range, are kept, also at the ends: "°", "©", "Ā".
    values.Title = "25\xC2\xB0"
                   "C \xC2\xA9 \xC4\x80";
    EXPECT_EQ(ExpandTags("<title>", values, months).Text, *values.Title);
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

namespace qm {
namespace {

// Every tag from its own value, in any letter case, asking for its own source; missing and
// named as missing without it. A tag wired to a neighbour's value or source fails a row.
TEST(TagText, EachTagGivesItsOwnValueAndSource) {
    TagValues values;
    values.Modified = TagDate{2001, 2, 3, 4, 5, 6};
    values.Taken = TagDate{2011, 12, 13, 14, 15, 16};
    values.Size = 101;
    values.Width = 102;
    values.Height = 103;
    values.Track = 104;
    values.Disc = 105;
    values.Year = 106;
    values.Folder = "fo";
    values.Make = "ma";
    values.Model = "mo";
    values.Artist = "ar";
    values.AlbumArtist = "aa";
    values.Album = "al";
    values.Title = "ti";
    values.Genre = "ge";
    constexpr auto File = static_cast<unsigned>(TagSource::File);
    constexpr auto Photo = static_cast<unsigned>(TagSource::Photo);
    constexpr auto Music = static_cast<unsigned>(TagSource::Music);
    const struct Row {
        const char *tag, *upper, *value;
        unsigned source;
    } rows[] = {
        {"modified", "MODIFIED", "2001-02-03 04.05.06", File},
        {"taken", "Taken", "2011-12-13 14.15.16", Photo},
        {"size", "SIZE", "101", File},
        {"width", "Width", "102", Photo},
        {"height", "HEIGHT", "103", Photo},
        {"track", "Track", "104", Music},
        {"disc", "DISC", "105", Music},
        {"year", "Year", "106", Music},
        {"folder", "FOLDER", "fo", File},
        {"make", "Make", "ma", Photo},
        {"model", "MODEL", "mo", Photo},
        {"artist", "Artist", "ar", Music},
        {"albumartist", "AlbumArtist", "aa", Music},
        {"album", "ALBUM", "al", Music},
        {"title", "Title", "ti", Music},
        {"genre", "GENRE", "ge", Music},
    };
    const TagValues none;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.tag);
        const std::string lower = std::string("<") + row.tag + ">";
        const std::string upper = std::string("<") + row.upper + ">";
        for (const std::string& text : {lower, upper}) {
            const TagExpansion got = ExpandTags(text, values, EnglishMonthNames());
            EXPECT_EQ(got.Text, row.value);
            EXPECT_FALSE(got.Missing || got.Unknown);
            EXPECT_EQ(TagSourcesOf(text), row.source);
        }
        const TagExpansion missing = ExpandTags("a" + upper + "b", none, EnglishMonthNames());
        EXPECT_EQ(missing.Text, "ab");
        EXPECT_TRUE(missing.Missing);
        EXPECT_EQ(missing.MissingTag, row.tag);
    }
}

// A number's format is one digit, 0 to 9, its minimum width; anything else is not
// understood.
TEST(TagText, NumberFormatsFromZeroToNine) {
    TagValues values;
    values.Track = 7;
    const struct Row {
        const char *text, *expected;
        bool unknown;
    } rows[] = {
        {"<track:0>", "7", false},
        {"<track:1>", "7", false},
        {"<track:9>", "000000007", false},
        {"<track:/>", "<track:/>", true}, // the characters either side of the digits
        {"<track::>", "<track::>", true},
        {"<track:10>", "<track:10>", true},
        {"<track:>", "7", false},
    };
    for (const Row& row : rows) {
        const TagExpansion got = ExpandTags(row.text, values, EnglishMonthNames());
        EXPECT_EQ(got.Text, row.expected) << row.text;
        EXPECT_EQ(got.Unknown, row.unknown) << row.text;
    }
}

} // namespace
} // namespace qm
