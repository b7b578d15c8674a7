#include "engine/namesteps.h"
#include "engine/newname.h"
#include "engine/utf8text.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace qm {
namespace {

using Setup = std::function<void(RenameOptionSet&)>;

struct Case {
    const char* label;
    std::string name;
    std::int32_t number;
    Setup setup;
    std::string expected;
};

void RunCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        RenameOptionSet options;
        c.setup(options);
        EXPECT_EQ(ComputeNewName(options, c.name, c.number), c.expected) << c.label;
    }
}

void Remove(RenameOptionSet& o) {
    o.RemoveGroup = true;
}
void Replace(RenameOptionSet& o) {
    o.ReplaceGroup = true;
}
void Insert(RenameOptionSet& o) {
    o.InsertGroup = true;
}
void Shuffle(RenameOptionSet& o, const std::string& pattern) {
    o.ShuffleGroup = true;
    o.AlterLogicFilename = true;
    o.AlterLogicFilenameString = pattern;
}
void Format(RenameOptionSet& o) {
    o.FormatGroup = true;
    o.FormatTextEnabled = true;
}
void AddPair(RenameOptionSet& o, std::string find, std::string with) {
    o.ReplaceEnabled = true;
    o.ReplacePairs[static_cast<std::size_t>(o.ReplaceCount++)] = {std::move(find), std::move(with)};
}

TEST(NewName, DefaultsChangeNothing) {
    RenameOptionSet options;
    for (const char* name : {"a.txt", "", ".hidden", "name.", "x\xff\xfey.bin"})
        EXPECT_EQ(ComputeNewName(options, name, 5), name);
}

TEST(NewName, ExtensionSplit) {
    auto upperAll = [](RenameOptionSet& o) {
        Format(o);
        o.FormatFirstLetterUp = true;
        o.FormatOtherLettersUp = true;
    };
    RunCases({
        {"hidden file is all extension", ".hidden", 0, upperAll, ".hidden"},
        {"trailing dot is the extension", "name.", 0, upperAll, "NAME."},
        {"only the last dot counts", "archive.tar.gz", 0, upperAll, "ARCHIVE.TAR.gz"},
        {"no dot, no extension", "readme", 0, upperAll, "README"},
        {"backslash and colon are ordinary", "a.b\\c:d", 0, upperAll, "A.b\\c:d"},
    });
}

TEST(NewName, GeneralTab) {
    RunCases({
        {"extension into the name", "my.file.txt", 0,
         [](RenameOptionSet& o) {
             o.AddFileExtToFilename = true;
             Replace(o);
             o.ConvertDotSpaces = true;
         },
         "my file txt"},
        {"empty new extension leaves a dot", "a.txt", 0,
         [](RenameOptionSet& o) { o.ChangeFileExt = true; }, "a."},
        {"new extension as typed", "a.txt", 0,
         [](RenameOptionSet& o) {
             o.ChangeFileExt = true;
             o.ChangeFileExtTo = "JPG";
         },
         "a.JPG"},
        {"old extension stays in the name, new one follows", "a.txt", 0,
         [](RenameOptionSet& o) {
             o.AddFileExtToFilename = true;
             o.ChangeFileExt = true;
             o.ChangeFileExtTo = "md";
         },
         "a.txt.md"},
        {"extension untouched by the base-name steps", "a_b.c_d", 0,
         [](RenameOptionSet& o) {
             Replace(o);
             o.ConvertUnderscoreSpaces = true;
         },
         "a b.c_d"},
    });
}

TEST(NewName, RemoveTab) {
    auto front = [](int m) {
        return [m](RenameOptionSet& o) {
            Remove(o);
            o.RemoveFront = true;
            o.RemoveFrontCount = m;
        };
    };
    auto atPos = [](int m, int p) {
        return [m, p](RenameOptionSet& o) {
            Remove(o);
            o.RemoveAtPosition = true;
            o.RemoveAtPositionCount = m;
            o.RemoveAtPositionIndex = p;
        };
    };
    auto back = [](int m) {
        return [m](RenameOptionSet& o) {
            Remove(o);
            o.RemoveBack = true;
            o.RemoveBackCount = m;
        };
    };
    RunCases({
        {"front 3", "abcdef.txt", 0, front(3), "def.txt"},
        {"front equal to length never empties", "abcdef.txt", 0, front(6), "abcdef.txt"},
        {"front negative does nothing", "abcdef", 0, front(-2), "abcdef"},
        {"at position 2 after 1", "abcdef", 0, atPos(2, 1), "adef"},
        {"at position reaching the end does nothing", "abcdef", 0, atPos(2, 4), "abcdef"},
        {"at position 0 removes from the front", "abcdef", 0, atPos(2, 0), "cdef"},
        {"a count below 1 removes nothing", "abcdef", 0, atPos(-1, 2), "abcdef"},
        {"back 1 on code points", "Café.txt", 0, back(1), "Caf.txt"},
        {"back never empties", "ab", 0, back(2), "ab"},
        {"emoji is never split", "x\xF0\x9F\x98\x80y.png", 0, back(1), "x\xF0\x9F\x98\x80.png"},
        {"group switch off keeps the name", "abcdef", 0,
         [](RenameOptionSet& o) {
             o.RemoveFront = true;
             o.RemoveFrontCount = 3;
         },
         "abcdef"},
    });
}

TEST(NewName, SpacesRemoval) {
    auto spaces = [](bool all, bool trim, bool doubles) {
        return [=](RenameOptionSet& o) {
            Remove(o);
            o.RemoveAllSpaces = all;
            o.RemoveFrontAndBackSpaces = trim;
            o.RemoveDoubleSpaces = doubles;
        };
    };
    RunCases({
        {"double spaces collapse", "a     b", 0, spaces(false, false, true), "a b"},
        {"trim strips every blank", " \t a b \t", 0, spaces(false, true, false), "a b"},
        {"all spaces go, tabs stay", " a \tb ", 0, spaces(true, false, false), "a\tb"},
        {"all overrides the other two", " a  \tb ", 0, spaces(true, true, true), "a\tb"},
        {"all keeps the tabs trim would strip", "\ta b\t", 0, spaces(true, true, false), "\tab\t"},
        {"trim then collapse", "  a   b  .txt", 0, spaces(false, true, true), "a b.txt"},
        {"a space beside a tab is no double space", "a \tb", 0, spaces(false, false, true),
         "a \tb"},
    });
}

TEST(NewName, ReplaceTab) {
    RunCases({
        {"pairs apply in order, later sees earlier", "ab", 0,
         [](RenameOptionSet& o) {
             Replace(o);
             AddPair(o, "a", "b");
             AddPair(o, "b", "c");
         },
         "cc"},
        {"no overlap, no rescan", "aaaa", 0,
         [](RenameOptionSet& o) {
             Replace(o);
             AddPair(o, "aa", "a");
         },
         "aa"},
        {"replacement is not searched again", "ab", 0,
         [](RenameOptionSet& o) {
             Replace(o);
             AddPair(o, "a", "aa");
         },
         "aab"},
        {"case-sensitive", "Abca", 0,
         [](RenameOptionSet& o) {
             Replace(o);
             AddPair(o, "a", "x");
         },
         "Abcx"},
        {"empty find changes nothing", "abc", 0,
         [](RenameOptionSet& o) {
             Replace(o);
             AddPair(o, "", "x");
         },
         "abc"},
        {"pairs off while ReplaceEnabled is off", "abc", 0,
         [](RenameOptionSet& o) {
             Replace(o);
             AddPair(o, "a", "x");
             o.ReplaceEnabled = false;
         },
         "abc"},
        {"internet, underscore and dot spaces", "a%20b_c.d.e", 0,
         [](RenameOptionSet& o) {
             Replace(o);
             o.ConvertInternetSpaces = true;
             o.ConvertUnderscoreSpaces = true;
             o.ConvertDotSpaces = true;
         },
         "a b c d.e"},
        {"%20 becomes one space only", "%2020", 0,
         [](RenameOptionSet& o) {
             Replace(o);
             o.ConvertInternetSpaces = true;
         },
         " 20"},
        {"convert before remove before replace", "__ab", 0,
         [](RenameOptionSet& o) {
             Replace(o);
             Remove(o);
             o.ConvertUnderscoreSpaces = true;
             o.RemoveFrontAndBackSpaces = true;
             AddPair(o, " ", "-");
         },
         "ab"},
        {"non-ASCII find text", "größe.txt", 0,
         [](RenameOptionSet& o) {
             Replace(o);
             AddPair(o, "ö", "oe");
         },
         "groeße.txt"},
    });
}

TEST(NewName, InsertTab) {
    auto number = [](int minLength, bool sep) {
        return [=](RenameOptionSet& o) {
            Insert(o);
            o.NumberIncEnabled = true;
            o.NumberIncAddFrontSep = sep;
            o.NumberIncMinLength = minLength;
        };
    };
    RunCases({
        {"front, position, back", "abcd", 0,
         [](RenameOptionSet& o) {
             Insert(o);
             o.InsertFront = true;
             o.InsertFrontText = "F";
             o.InsertAtPosition = true;
             o.InsertAtPositionText = "P";
             o.InsertAtPositionIndex = 2;
             o.InsertBack = true;
             o.InsertBackText = "B";
         },
         "FaPbcdB"},
        {"position beyond the end appends", "ab", 0,
         [](RenameOptionSet& o) {
             Insert(o);
             o.InsertAtPosition = true;
             o.InsertAtPositionText = "X";
             o.InsertAtPositionIndex = 999999;
         },
         "abX"},
        {"negative position inserts at the front", "ab", 0,
         [](RenameOptionSet& o) {
             Insert(o);
             o.InsertAtPosition = true;
             o.InsertAtPositionText = "X";
             o.InsertAtPositionIndex = -4;
         },
         "Xab"},
        {"position counts code points", "éé", 0,
         [](RenameOptionSet& o) {
             Insert(o);
             o.InsertAtPosition = true;
             o.InsertAtPositionText = "-";
             o.InsertAtPositionIndex = 1;
         },
         "é-é"},
        {"number with separator and fill", "Track", 7, number(3, true), "Track - 007"},
        {"zero filled", "Track", 0, number(3, false), "Track000"},
        {"longer number written in full", "Track", 1234, number(3, false), "Track1234"},
        {"no fill at length 0", "T", 0, number(0, false), "T0"},
        {"negative number keeps its sign in front", "T", -7, number(3, false), "T-007"},
        {"most negative number", "T", INT32_MIN, number(0, false), "T-2147483648"},
        {"advanced format", "n", 1234567,
         [](RenameOptionSet& o) {
             Insert(o);
             o.NumberIncEnabled = true;
             o.NumberFormatSelect = 1;
             o.NumberIncAdvFormat = "#.##0";
         },
         "n1234.567"},
    });
}

TEST(NewName, InsertedTagsComeFromTheEntry) {
    TagValues values;
    values.Taken = TagDate{2024, 5, 6, 7, 8, 9};
    values.Title = "AC/DC";
    values.Track = 3;
    RenameOptionSet o;
    Insert(o);
    o.InsertTags = true;
    o.InsertFront = true;
    o.InsertFrontText = "<taken:yyyy-MM-dd> ";
    o.InsertAtPosition = true;
    o.InsertAtPositionText = "<track:2>";
    o.InsertAtPositionIndex = 2;
    o.InsertBack = true;
    o.InsertBackText = " <title>";
    const NameTags tags{&values, nullptr};
    // The position counts in the name as it stands after the front text went in.
    EXPECT_EQ(ComputeNewName(o, "ab.jpg", 0, tags), "200324-05-06 ab AC_DC.jpg");

    const NewName none = ComputeNewNameChecked(o, "ab.jpg", 0);
    EXPECT_EQ(none.Name, " ab .jpg");
    EXPECT_TRUE(none.TagMissing);
    EXPECT_EQ(none.MissingTag, "taken");
    EXPECT_EQ(none.Fault, NameFault::None);

    o.InsertBackText = " <tilte>";
    const NewName typo = ComputeNewNameChecked(o, "ab.jpg", 0, tags);
    EXPECT_EQ(typo.Name, "200324-05-06 ab <tilte>.jpg");
    EXPECT_TRUE(typo.TagUnknown);
    EXPECT_FALSE(typo.TagMissing);

    o.InsertTags = false;
    EXPECT_EQ(ComputeNewName(o, "ab.jpg", 0, tags), "<t<track:2>aken:yyyy-MM-dd> ab <tilte>.jpg");
}

TEST(NewName, TagSourcesNeededFollowTheEnabledTexts) {
    constexpr auto Photo = static_cast<unsigned>(TagSource::Photo);
    constexpr auto Music = static_cast<unsigned>(TagSource::Music);
    RenameOptionSet o;
    Insert(o);
    o.InsertTags = true;
    o.InsertFront = true;
    o.InsertFrontText = "<taken>";
    o.InsertBackText = "<title>"; // its box is off
    EXPECT_EQ(TagSourcesNeeded(o), Photo);
    o.InsertBack = true;
    EXPECT_EQ(TagSourcesNeeded(o), Photo | Music);
    o.InsertTags = false;
    EXPECT_EQ(TagSourcesNeeded(o), 0u);
    o.InsertTags = true;
    o.InsertGroup = false;
    EXPECT_EQ(TagSourcesNeeded(o), 0u);
}

TEST(NewName, FormatNumber) {
    struct Row {
        std::int64_t number;
        std::u32string format;
        std::u32string expected;
    };
    const std::vector<Row> rows = {
        {5, U"0", U"5"},
        {5, U"#.##0", U"5"},
        {1234, U"#.##0", U"1.234"},
        {12, U"#.###", U"12"},
        {12345, U"#.###", U"12.345"},
        {0, U"#.###", U""},
        {7, U"000", U"007"},
        {0, U"000", U"000"},
        {7, U"9x9", U"0x7"},
        {42, U"", U"42"},
        {-42, U"0000", U"-0042"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(steps::FormatNumber(r.number, r.format), r.expected)
            << r.number << " " << EncodeUtf8(r.format);
    EXPECT_EQ(steps::DigitCount(0), 1);
    EXPECT_EQ(steps::DigitCount(-100), 3);
}

TEST(NewName, ShuffleTab) {
    auto shuffle = [](const std::string& pattern) {
        return [pattern](RenameOptionSet& o) {
            Shuffle(o, pattern);
        };
    };
    RunCases({
        {"blocks swap", "Artist - Title.mp3", 0, shuffle("%b - %a"), "Title - Artist.mp3"},
        {"missing block gives empty output, name stays", "Artist - Title", 0, shuffle("%c"),
         "Artist - Title"},
        {"literal pattern", "Artist - Title", 0, shuffle("New"), "New"},
        {"empty pattern keeps the name", "Artist - Title", 0, shuffle(""), "Artist - Title"},
        {"upper-case code", "A - B", 0, shuffle("%B%A"), "BA"},
        {"non-letter code swallowed", "A - B", 0, shuffle("x%1y"), "xy"},
        {"trailing percent consumed alone", "A - B", 0, shuffle("%a%"), "A"},
        {"blocks are stripped", "  A  -  B  ", 0,
         [](RenameOptionSet& o) {
             Shuffle(o, "%b+%a");
             o.AlterLogicFilenameSep = "-";
         },
         "B+A"},
        {"name ending in % keeps it", "Rate 100%", 0, shuffle("%a"), "Rate 100%"},
        {"block ending in % keeps it", "x - 50%", 0, shuffle("%b"), "50%"},
        {"number is the last block", "Song", 3,
         [](RenameOptionSet& o) {
             Insert(o);
             o.NumberIncEnabled = true;
             o.NumberIncAddFrontSep = true;
             o.NumberIncMinLength = 2;
             Shuffle(o, "%b - %a");
         },
         "03 - Song"},
        {"empty separator: one block", "A - B", 0,
         [](RenameOptionSet& o) {
             Shuffle(o, "[%a][%b]");
             o.AlterLogicFilenameSep = "";
         },
         "[A - B][]"},
    });
}

TEST(NewName, ShuffleKeepsOnlyTwentySixBlocks) {
    std::string name;
    for (char c = 'a'; c <= 'z'; ++c)
        name += std::string(1, c) + "-";
    name += "extra-more"; // pieces 27 and 28
    RenameOptionSet o;
    Shuffle(o, "%z|%a|%Z");
    o.AlterLogicFilenameSep = "-";
    EXPECT_EQ(ComputeNewName(o, name, 0), "z|a|z");
}

TEST(NewName, FormatTab) {
    auto words = [](bool first, bool rest) {
        return [=](RenameOptionSet& o) {
            Format(o);
            o.FormatWordsSeparately = true;
            o.FormatFirstLetterUp = first;
            o.FormatOtherLettersUp = rest;
        };
    };
    RunCases({
        {"special words", "the BEST of me", 0,
         [words](RenameOptionSet& o) {
             words(true, false)(o);
             o.FormatSpecialWords = "of;the";
         },
         "the Best of Me"},
        {"special words with a blank after ; never match", "of the", 0,
         [words](RenameOptionSet& o) {
             words(true, false)(o);
             o.FormatSpecialWords = "of; the";
         },
         "of The"},
        {"special words ignored without words separately", "of the", 0,
         [](RenameOptionSet& o) {
             Format(o);
             o.FormatFirstLetterUp = true;
             o.FormatSpecialWords = "of;the";
         },
         "Of the"},
        {"brackets delimit words", "(live) [remix]", 0, words(true, false), "(Live) [Remix]"},
        {"underscore and dash do not", "hello_world-again", 0, words(true, false),
         "Hello_world-again"},
        {"all four shapes: all upper", "mIxEd", 0, words(true, true), "MIXED"},
        {"all four shapes: first lower rest upper", "mIxEd", 0, words(false, true), "mIXED"},
        {"all four shapes: all lower", "mIxEd", 0, words(false, false), "mixed"},
        {"first character even if not a letter", "1abc", 0, words(true, true), "1ABC"},
        {"whole text without words: one first letter", "hello world", 0,
         [](RenameOptionSet& o) {
             Format(o);
             o.FormatFirstLetterUp = true;
         },
         "Hello world"},
        {"Unicode case per code point", "élan ÇA ǆ", 0, words(true, false), "Élan Ça Ǆ"},
        {"leading separator stays", "-abc", 0,
         [](RenameOptionSet& o) {
             Format(o);
             o.FormatLogicBlocksSeparately = true;
             o.FormatFirstLetterUp = true;
             o.AlterLogicFilenameSep = "-";
         },
         "-Abc"},
        {"blocks keep their spaces", "artist  -   title ", 0,
         [](RenameOptionSet& o) {
             Format(o);
             o.FormatLogicBlocksSeparately = true;
             o.FormatFirstLetterUp = true;
             o.AlterLogicFilenameSep = "-";
         },
         "Artist  -   Title "},
        {"blocks and words both on", "a b-c d", 0,
         [words](RenameOptionSet& o) {
             words(true, false)(o);
             o.FormatLogicBlocksSeparately = true;
             o.AlterLogicFilenameSep = "-";
         },
         "A B-C D"},
        {"extension keeps its case", "a.TXT", 0, words(true, true), "A.TXT"},
        {"a block of blanks keeps its blanks once", "a- -b", 0,
         [](RenameOptionSet& o) {
             Format(o);
             o.FormatLogicBlocksSeparately = true;
             o.FormatFirstLetterUp = true;
             o.AlterLogicFilenameSep = "-";
         },
         "A- -B"},
        {"a prefix of a special word is not special", "o", 0,
         [words](RenameOptionSet& o) {
             words(true, false)(o);
             o.FormatSpecialWords = "of";
         },
         "O"},
        {"special words take their own rest-up flag", "of", 0,
         [words](RenameOptionSet& o) {
             words(true, false)(o);
             o.FormatSpecialWords = "of";
             o.FormatSpecialOtherLettersUp = true;
         },
         "oF"},
    });
}

TEST(NewName, BytesThatAreNotUtf8PassThrough) {
    // Latin-1 names from old archives: the bytes the options do not touch stay as they were.
    RunCases({
        {"untouched around a replace", "caf\xe9_au lait.txt", 0,
         [](RenameOptionSet& o) {
             Replace(o);
             o.ConvertUnderscoreSpaces = true;
         },
         "caf\xe9 au lait.txt"},
        {"a bad byte counts as one character", "ab\xff.txt", 0,
         [](RenameOptionSet& o) {
             Remove(o);
             o.RemoveFront = true;
             o.RemoveFrontCount = 2;
         },
         "\xff.txt"},
        {"case mapping leaves bad bytes alone", "x\xc3(\xa9", 0,
         [](RenameOptionSet& o) {
             Format(o);
             o.FormatFirstLetterUp = true;
             o.FormatOtherLettersUp = true;
         },
         "X\xc3(\xa9"},
        {"truncated sequence at the end", "n\xe2\x82", 0,
         [](RenameOptionSet& o) {
             Insert(o);
             o.InsertBack = true;
             o.InsertBackText = "!";
         },
         "n\xe2\x82!"},
    });
}

TEST(NewName, NextNewNameUsesTheStartNumber) {
    RenameOptionSet o;
    Insert(o);
    o.NumberIncEnabled = true;
    o.NumberIncValue = 41;
    EXPECT_EQ(ComputeNextNewName(o, "n.txt"), "n41.txt");
}

} // namespace
} // namespace qm
