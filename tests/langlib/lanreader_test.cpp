#include "langlib/attributereader.h"
#include "langlib/lanreader.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace vocalith {
namespace {

// Records every event as one readable line.
class TRecordingSink : public TLanSink {
public:
    void LanguageFound(const TLanScope& scope, std::string_view native) override {
        events.push_back("L " + std::string(scope.package) + "|" + std::string(scope.language) +
                         "|" + std::string(native));
    }
    void TextFound(const TLanScope& scope, std::string_view attributes) override {
        events.push_back("T " + std::string(scope.package) + "|" + std::string(scope.language) +
                         "|" + std::string(attributes));
    }
    std::vector<std::string> events;
};

std::vector<std::string> ReadWhole(std::string_view bytes) {
    TRecordingSink sink;
    TLanReader reader(sink);
    reader.Feed(bytes);
    return sink.events;
}

std::vector<std::string> ReadByteByByte(std::string_view bytes) {
    TRecordingSink sink;
    TLanReader reader(sink);
    for (char c : bytes) {
        reader.Feed(std::string_view(&c, 1));
    }
    return sink.events;
}

using Events = std::vector<std::string>;

const std::string Head = "<IDENTIFICATION TYPE=\"t\"><PACKAGE NAME=\"P\"><LANGUAGE NAME=\"L\" "
                         "NATIVE=\"N\">";

struct ReaderCase {
    const char* name;
    std::string file;
    Events expected;
};

const std::vector<ReaderCase> ReaderCases = {
    {"well-formed CR LF file",
     "<IDENTIFICATION TYPE=\"x\">\r\n<PACKAGE NAME=\"P\">\r\n<LANGUAGE NAME=\"L\" "
     "NATIVE=\"N\">\r\n<TEXT ID=\"1\" NAME=\"A\">\r\n</LANGUAGE>\r\n</PACKAGE>\r\n"
     "</IDENTIFICATION>\r\n",
     {"L P|L|N", "T P|L|ID=\"1\" NAME=\"A\""}},
    {"CR alone ends a line",
     "<IDENTIFICATION TYPE=\"x\">\r<PACKAGE NAME=\"P\">\r<LANGUAGE "
     "NAME=\"L\">\r<TEXT NAME=\"A\">\r",
     {"L P|L|", "T P|L|NAME=\"A\""}},
    {"LF alone is an ordinary character: one long line still works",
     "<IDENTIFICATION TYPE=\"x\">\n<PACKAGE NAME=\"P\">\n<LANGUAGE NAME=\"L\">\n<TEXT "
     "NAME=\"A\">\n",
     {"L P|L|", "T P|L|NAME=\"A\""}},
    {"a LF inside a tag belongs to the tag",
     Head + "<TEXT NAME=\"A\"\nTEXT=\"x\">",
     {"L P|L|N", "T P|L|NAME=\"A\"\nTEXT=\"x\""}},
    {"a tag split by CR is dropped",
     Head + "<TEXT NAME=\"A\"\r\nTEXT=\"x\"><TEXT NAME=\"B\">",
     {"L P|L|N", "T P|L|NAME=\"B\""}},
    {"byte 26 ends the file",
     Head + "<TEXT NAME=\"A\">\x1a<TEXT NAME=\"B\">",
     {"L P|L|N", "T P|L|NAME=\"A\""}},
    {"byte 26 inside a tag drops it", Head + "<TEXT NAME=\"A\x1a\">", {"L P|L|N"}},
    {"text between tags is ignored",
     "junk<IDENTIFICATION TYPE=\"x\">more<PACKAGE "
     "NAME=\"P\">x<LANGUAGE NAME=\"L\">y<TEXT NAME=\"A\">z",
     {"L P|L|", "T P|L|NAME=\"A\""}},
    {"a further < inside a tag is part of it",
     Head + "<TEXT NAME=\"<A\">",
     {"L P|L|N", "T P|L|NAME=\"<A\""}},
    {"element names in any case",
     "<identification TYPE=\"x\"><Package NAME=\"P\"><language "
     "NAME=\"L\"><Text NAME=\"A\"></LANGUAGE><TEXT NAME=\"B\">",
     {"L P|L|", "T P|L|NAME=\"A\""}},
    {"a declaration before IDENTIFICATION abandons the file",
     "<?xml version=\"1.0\"?>\r\n" + Head + "<TEXT NAME=\"A\">",
     {}},
    {"IDENTIFICATION without TYPE contributes nothing",
     "<IDENTIFICATION><PACKAGE NAME=\"P\"><LANGUAGE NAME=\"L\"><TEXT NAME=\"A\">",
     {}},
    {"IDENTIFICATION with an empty TYPE contributes nothing",
     "<IDENTIFICATION TYPE=\"\"><PACKAGE NAME=\"P\"><LANGUAGE NAME=\"L\">",
     {}},
    {"an empty tag is ignored even before IDENTIFICATION",
     "<>" + Head + "<><TEXT NAME=\"A\">",
     {"L P|L|N", "T P|L|NAME=\"A\""}},
    {"LANGUAGE outside a package abandons",
     "<IDENTIFICATION TYPE=\"x\"><LANGUAGE NAME=\"L\"><PACKAGE NAME=\"P\">",
     {}},
    {"a TEXT outside a language abandons the rest",
     "<IDENTIFICATION TYPE=\"x\"><PACKAGE NAME=\"P\"><TEXT NAME=\"A\"><LANGUAGE NAME=\"L\">",
     {}},
    {"unknown tags inside a language are ignored",
     Head + "<!-- note --><BR><TEXT NAME=\"A\">",
     {"L P|L|N", "T P|L|NAME=\"A\""}},
    {"a tag beginning with a space is a whole-tag name", Head + "< TEXT NAME=\"A\">", {"L P|L|N"}},
    {"a language without a name is reported, its texts abandon",
     "<IDENTIFICATION TYPE=\"x\"><PACKAGE NAME=\"P\"><LANGUAGE NATIVE=\"N\"><TEXT "
     "NAME=\"A\"><LANGUAGE NAME=\"L\">",
     {"L P||N"}},
    {"closing tags walk back out and a second package follows",
     Head + "</LANGUAGE></PACKAGE><PACKAGE NAME=\"Q\"><LANGUAGE NAME=\"M\"><TEXT NAME=\"A\">",
     {"L P|L|N", "L Q|M|", "T Q|M|NAME=\"A\""}},
    {"a second IDENTIFICATION after closing the first",
     Head + "</LANGUAGE></PACKAGE></IDENTIFICATION><IDENTIFICATION TYPE=\"y\"><PACKAGE "
            "NAME=\"Q\"><LANGUAGE NAME=\"M\">",
     {"L P|L|N", "L Q|M|"}},
    {"attributes of a closing tag do not matter",
     Head + "</LANGUAGE x=\"1\"><LANGUAGE NAME=\"M\">",
     {"L P|L|N", "L P|M|"}},
};

TEST(LanReader, FollowsLinesTagsAndStructure) {
    for (const ReaderCase& c : ReaderCases) {
        EXPECT_EQ(ReadWhole(c.file), c.expected) << c.name;
    }
}

// CR LF split across two reads, or a tag split across reads, must read the same.
TEST(LanReader, ChunkBoundariesDoNotMatter) {
    for (const ReaderCase& c : ReaderCases) {
        EXPECT_EQ(ReadByteByByte(c.file), c.expected) << c.name;
    }
}

TEST(LanReader, StopsAskingForBytesOnceAbandonedOrEnded) {
    TRecordingSink sink;
    TLanReader abandoned(sink);
    EXPECT_TRUE(abandoned.Feed("<IDENTIFICATION TYPE=\"x\">"));
    EXPECT_FALSE(abandoned.Feed("<TEXT>"));
    EXPECT_TRUE(abandoned.Abandoned());
    EXPECT_FALSE(abandoned.Feed("</IDENTIFICATION>"));

    TLanReader ended(sink);
    EXPECT_FALSE(ended.Feed("abc\x1a"));
    EXPECT_FALSE(ended.Abandoned());
}

struct AttributeCase {
    const char* name;
    const char* attributes;
    std::vector<std::string> expected; // ID, NAME, KEY, TEXT
};

TEST(AttributeReader, ReadsInFixedOrder) {
    const std::vector<AttributeCase> cases = {
        {"all four", "ID=\"7\" NAME=\"Exit\" KEY=\"x\" TEXT=\"Exit\"", {"7", "Exit", "x", "Exit"}},
        {"names in any case, values keep theirs",
         "id=\"7\" Name=\"eXit\" kEy=\"x\" text=\"ExIt\"",
         {"7", "eXit", "x", "ExIt"}},
        {"NAME written before ID is lost", "NAME=\"A\" ID=\"7\" TEXT=\"t\"", {"7", "", "", "t"}},
        {"a missing attribute leaves the position", "NAME=\"A\" TEXT=\"t\"", {"", "A", "", "t"}},
        {"no closing quote gives an empty value", "ID=\"7\" NAME=\"A", {"7", "", "", ""}},
        {"blanks around = hide the attribute", "ID = \"7\" NAME=\"A\"", {"", "A", "", ""}},
        {"a marker inside an earlier value is found there",
         "ID=\"NAME=\" TEXT=\"t\"",
         {"NAME=", " TEXT=", "", "t"}},
        {"empty values", "ID=\"\" NAME=\"\" KEY=\"\" TEXT=\"\"", {"", "", "", ""}},
        {"multi-byte values are kept",
         "NAME=\"\xC3\xA9t\xC3\xA9\" TEXT=\"\xE2\x82\xAC\"",
         {"", "\xC3\xA9t\xC3\xA9", "", "\xE2\x82\xAC"}},
    };
    for (const AttributeCase& c : cases) {
        TAttributeReader reader(c.attributes);
        std::vector<std::string> got;
        for (const char* name : {"ID", "NAME", "KEY", "TEXT"}) {
            got.emplace_back(reader.Value(name));
        }
        EXPECT_EQ(got, c.expected) << c.name;
    }
}

TEST(AttributeReader, ReportsWhetherTheMarkerWasThere) {
    TAttributeReader reader("TYPE=\"\" NAME=\"P");
    std::string_view value = "unchanged";
    EXPECT_TRUE(reader.Read("TYPE", value));
    EXPECT_EQ(value, "");
    EXPECT_FALSE(reader.Read("NATIVE", value));
    EXPECT_TRUE(reader.Read("NAME", value));
    EXPECT_EQ(value, "");
}

} // namespace
} // namespace vocalith
