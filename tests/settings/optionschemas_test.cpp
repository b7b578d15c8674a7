#include "engine/newname.h"
#include "engine/optionfields.h"
#include "optionprobe.h"
#include "settings/optionschemas.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace qm {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t cr = text.find('\r'); cr != std::string::npos; cr = text.find('\r', from)) {
        lines.push_back(text.substr(from, cr - from));
        from = cr + 1;
    }
    lines.push_back(text.substr(from));
    return lines;
}

RenameOptionSet Everything() {
    RenameOptionSet o;
    o.AddFileExtToFilename = true;
    o.ChangeFileExt = true;
    o.ChangeFileExtTo = "jpg";
    o.RemoveGroup = true;
    o.RemoveFrontCount = 3;
    o.RemoveAtPositionIndex = 0;
    o.ReplaceGroup = true;
    o.ReplaceEnabled = true;
    o.ReplaceRegularExpressions = true;
    o.ReplaceIgnoreCase = true;
    o.InsertTags = true;
    o.ReplaceCount = 2;
    o.ReplacePairs[0] = {"a", "b:c"};
    o.ReplacePairs[1] = {"é", ""};
    o.InsertGroup = true;
    o.InsertFrontText = "x=y";
    o.NumberIncValue = -12;
    o.NumberFormatSelect = 1;
    o.NumberIncAdvFormat = "#.##0";
    o.AlterLogicFilenameString = "%b - %a";
    o.AlterLogicFilenameSep = "";
    o.FormatSpecialWords = "of;the";
    o.FormatSpecialOtherLettersUp = true;
    return o;
}

// Pairs whose find text holds ":", beside pairs that hold it only in the replacement.
RenameOptionSet Colons() {
    RenameOptionSet o = Everything();
    o.ReplaceCount = 4;
    o.ReplacePairs[0] = {":", "-"};
    o.ReplacePairs[1] = {"a", "b:c"};
    o.ReplacePairs[2] = {"x:", ""};
    o.ReplacePairs[3] = {"::", ":"};
    return o;
}

// The key of a scheme line: what comes before its first "=".
std::string Key(const std::string& line) {
    return line.substr(0, line.find('='));
}

// The line with `key`, or "" when there is none.
std::string Line(const std::vector<std::string>& lines, const std::string& key) {
    for (const std::string& line : lines)
        if (Key(line) == key)
            return line;
    return "";
}

TEST(SchemeText, WriterLayout) {
    const std::string text = WriteSchemeText(Everything());
    EXPECT_EQ(text.find('\n'), std::string::npos);
    const std::vector<std::string> lines = Lines(text);
    ASSERT_EQ(lines.size(), 1u + OptionFields().size() + 2u);
    EXPECT_EQ(lines[0], "Version=1");
    // One line per field, in the table's order, under the field's name but for the two
    // extension fields; the pairs right after ReplaceEnabled.
    std::vector<std::string> keys;
    for (const OptionField& field : OptionFields())
        keys.emplace_back(field.name == "ChangeFileExt"     ? "ChangeFileExtEnabled"
                          : field.name == "ChangeFileExtTo" ? "ChangeFileExtString"
                                                            : field.name);
    keys.insert(keys.begin(), "Version");
    const auto enabled = std::find(keys.begin(), keys.end(), "ReplaceEnabled");
    ASSERT_NE(enabled, keys.end());
    const std::size_t pairs = static_cast<std::size_t>(enabled - keys.begin()) + 1;
    keys.insert(enabled + 1, {"ReplaceText1", "ReplaceText2"});
    std::vector<std::string> written;
    for (const std::string& line : lines)
        written.push_back(Key(line));
    EXPECT_EQ(written, keys);
    EXPECT_EQ(Line(lines, "ChangeFileExtEnabled"), "ChangeFileExtEnabled=true");
    EXPECT_EQ(Line(lines, "ChangeFileExtString"), "ChangeFileExtString=jpg");
    EXPECT_EQ(Line(lines, "ReplaceEnabled"), "ReplaceEnabled=true");
    EXPECT_EQ(lines[pairs], "ReplaceText1=a:b:c");
    EXPECT_EQ(lines[pairs + 1], "ReplaceText2=é:");
    EXPECT_EQ(Line(lines, "FormatSpecialOtherLettersUp"), "FormatSpecialOtherLettersUp=true");

    const std::vector<std::string> colons = Lines(WriteSchemeText(Colons()));
    ASSERT_EQ(colons.size(), lines.size() + 5u);
    const auto colonPairs = colons.begin() + static_cast<std::ptrdiff_t>(pairs);
    EXPECT_EQ(std::vector<std::string>(colonPairs, colonPairs + 7),
              (std::vector<std::string>{
                  "ReplaceFind1=:", "ReplaceText1=::-", "ReplaceText2=a:b:c",
                  "ReplaceFind3=x:", "ReplaceText3=x::", "ReplaceFind4=::", "ReplaceText4=::::"}));
    EXPECT_EQ(Key(*(colonPairs + 7)), "ReplaceRegularExpressions");

    const std::vector<std::string> defaults = Lines(WriteSchemeText(RenameOptionSet{}));
    EXPECT_EQ(Line(defaults, "AddFileExtToFilename"), "AddFileExtToFilename=false");
    EXPECT_EQ(defaults.size(), 1u + OptionFields().size());
}

// The keys the scheme text writes for the fields of the table.
std::vector<std::string> FieldKeys() {
    std::vector<std::string> keys;
    const std::vector<std::string> lines = Lines(WriteSchemeText(RenameOptionSet{}));
    for (std::size_t i = 1; i < lines.size(); ++i)
        keys.push_back(Key(lines[i]));
    return keys;
}

std::string SourceFile(const std::string& path) {
    std::ifstream file(QUILLMARK_TEST_SOURCE_DIR "/" + path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Every key is in the fuzz target's dictionary, so that the fuzzer spells a new option's
// line from the start, and in the manual's scheme-file reference, with its kind.
TEST(SchemeText, EveryKeyIsInTheFuzzDictionaryAndTheManual) {
    const std::string dict = "\n" + SourceFile("fuzz/schemetext.dict") + "\n";
    const std::string manual = SourceFile("doc/quillmark-cli.1.scd");
    ASSERT_GT(dict.size(), 2u);
    ASSERT_FALSE(manual.empty());
    for (const std::string& key : FieldKeys()) {
        EXPECT_NE(dict.find("\n\"" + key + "=\"\n"), std::string::npos)
            << key << " is missing from fuzz/schemetext.dict";
        EXPECT_NE(manual.find("*" + key + "* ("), std::string::npos)
            << key << " is missing from doc/quillmark-cli.1.scd";
    }
}

// The flags are lines of their own and the pair lines are as before, so a reader that
// does not know them (an older version) reads the pattern as a plain find text.
TEST(SchemeText, AnOlderReaderTakesAPatternLiterally) {
    RenameOptionSet o;
    o.ReplaceGroup = o.ReplaceEnabled = o.ReplaceRegularExpressions = o.ReplaceIgnoreCase = true;
    o.ReplaceCount = 1;
    o.ReplacePairs[0] = {"(\\d+)-(\\d+)", "$2-$1"};
    RenameOptionSet plain = o;
    plain.ReplaceRegularExpressions = plain.ReplaceIgnoreCase = false;
    std::string older;
    for (const std::string& line : Lines(WriteSchemeText(o)))
        if (!line.starts_with("ReplaceRegularExpressions=") &&
            !line.starts_with("ReplaceIgnoreCase="))
            older += line + "\r";
    RenameOptionSet read;
    ReadSchemeText(older, read);
    EXPECT_EQ(read, plain);
    EXPECT_EQ(ComputeNewName(o, "12-34", 0), "34-12");
    EXPECT_EQ(ComputeNewName(read, "12-34", 0), "12-34");
}

TEST(SchemeText, RoundTrip) {
    RenameOptionSet stale = Everything();
    stale.InsertBackText = "stale";
    // Every field of the table is loaded over a set that differs in it, so that a field the
    // text loses keeps a wrong value.
    const std::pair<RenameOptionSet, RenameOptionSet> rows[] = {
        {RenameOptionSet{}, test::EveryFieldChanged()},
        {test::EveryFieldChanged(), RenameOptionSet{}},
        {Everything(), stale},
        {Colons(), stale},
    };
    for (const auto& [original, before] : rows) {
        TOptionSchemas schemes;
        schemes.SaveOptions("s", original);
        RenameOptionSet loaded = before;
        schemes.LoadOptions("s", loaded);
        EXPECT_EQ(test::DifferingFields(loaded, original), "");
        EXPECT_EQ(loaded, original);
    }
}

TEST(SchemeText, ReaderRules) {
    struct Row {
        const char* label;
        std::string text;
        std::function<void(const RenameOptionSet&)> check;
    };
    RenameOptionSet base;
    base.RemoveFrontCount = 9;
    base.FormatGroup = true;
    base.ReplaceCount = 1;
    base.ReplacePairs[0] = {"old", "pair"};
    const std::vector<Row> rows = {
        {"bad integer gives the default", "Version=1\rREMOVEFRONTCOUNT=abc",
         [](const RenameOptionSet& o) {
             EXPECT_EQ(o.RemoveFrontCount, 1);
         }},
        {"keys match without case", "Version=1\rnumberincvalue=7",
         [](const RenameOptionSet& o) {
             EXPECT_EQ(o.NumberIncValue, 7);
         }},
        {"TRUE is true", "Version=1\rFormatGroup=TRUE",
         [](const RenameOptionSet& o) {
             EXPECT_TRUE(o.FormatGroup);
         }},
        {"1 is not true", "Version=1\rFormatGroup=1",
         [](const RenameOptionSet& o) {
             EXPECT_FALSE(o.FormatGroup);
         }},
        {"value keeps its =", "Version=1\rInsertFrontText=a=b",
         [](const RenameOptionSet& o) {
             EXPECT_EQ(o.InsertFrontText, "a=b");
         }},
        {"lines before Version are ignored", "RemoveFrontCount=4\rVersion=1\rRemoveFront=true",
         [](const RenameOptionSet& o) {
             EXPECT_EQ(o.RemoveFrontCount, 9);
             EXPECT_TRUE(o.RemoveFront);
         }},
        {"version 2 applies nothing but empties the pairs",
         "Version=2\rRemoveFrontCount=4\rReplaceText1=x:y",
         [](const RenameOptionSet& o) {
             EXPECT_EQ(o.RemoveFrontCount, 9);
             EXPECT_TRUE(o.FormatGroup);
             EXPECT_EQ(o.ReplaceCount, 0);
             EXPECT_EQ(o.ReplacePairs[0], ReplacePair{});
         }},
        {"pair without colon, number after the key not read",
         "Version=1\rReplaceText7=abc\rreplacetext1=d:e:f",
         [](const RenameOptionSet& o) {
             ASSERT_EQ(o.ReplaceCount, 2);
             EXPECT_EQ(o.ReplacePairs[0], (ReplacePair{"abc", ""}));
             EXPECT_EQ(o.ReplacePairs[1], (ReplacePair{"d", "e:f"}));
         }},
        {"a find line tells where the find text ends",
         "Version=1\rReplaceFind1=a:b\rReplaceText1=a:b:c",
         [](const RenameOptionSet& o) {
             ASSERT_EQ(o.ReplaceCount, 1);
             EXPECT_EQ(o.ReplacePairs[0], (ReplacePair{"a:b", "c"}));
         }},
        {"a find line the pair does not begin with is ignored",
         "Version=1\rReplaceFind1=a:c\rReplaceText1=a:b:c",
         [](const RenameOptionSet& o) {
             EXPECT_EQ(o.ReplacePairs[0], (ReplacePair{"a", "b:c"}));
         }},
        {"a find line must end where the pair's colon is",
         "Version=1\rReplaceFind1=a:b\rReplaceText1=a:bc:d",
         [](const RenameOptionSet& o) {
             EXPECT_EQ(o.ReplacePairs[0], (ReplacePair{"a", "bc:d"}));
         }},
        {"a find line holds for the next line only",
         "Version=1\rReplaceFind1=a:b\rRemoveBack=true\rReplaceText1=a:b:c",
         [](const RenameOptionSet& o) {
             ASSERT_EQ(o.ReplaceCount, 1);
             EXPECT_EQ(o.ReplacePairs[0], (ReplacePair{"a", "b:c"}));
         }},
        {"old names of the extension fields are not keys",
         "Version=1\rChangeFileExt=true\rChangeFileExtTo=png",
         [](const RenameOptionSet& o) {
             EXPECT_FALSE(o.ChangeFileExt);
             EXPECT_EQ(o.ChangeFileExtTo, "");
         }},
        {"empty value at the end of the text", "Version=1\rInsertBackText=",
         [](const RenameOptionSet& o) {
             EXPECT_EQ(o.InsertBackText, "");
         }},
        {"unknown keys are skipped", "Version=1\rColour=blue\rRemoveBack=true",
         [](const RenameOptionSet& o) {
             EXPECT_TRUE(o.RemoveBack);
         }},
        {"empty text", "",
         [](const RenameOptionSet& o) {
             EXPECT_EQ(o.ReplaceCount, 0);
         }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.label);
        RenameOptionSet o = base;
        ReadSchemeText(r.text, o);
        r.check(o);
    }
}

TEST(SchemeText, ReaderCountsCodePointsAndUpperCasesByUnicode) {
    RenameOptionSet o;
    // Keys are upper-cased per code point: dotless i and long s map to I and S.
    ReadSchemeText("Version=1\r\u0131nsertFront=true\r\u017FhuffleGroup=true", o);
    EXPECT_TRUE(o.InsertFront);
    EXPECT_TRUE(o.ShuffleGroup);

    // A line without "=" makes the key run into the next line, and the step past it
    // (key, value and two more characters) ends after the first character of the next
    // value: one code point, here the two bytes of "é", so the rest starts cleanly.
    RenameOptionSet spanned;
    ReadSchemeText("Version=1\rab\rInsertFrontText=\u00E9RemoveGroup=true", spanned);
    EXPECT_EQ(spanned.InsertFrontText, "");
    EXPECT_TRUE(spanned.RemoveGroup);

    // Values keep bytes that are not UTF-8.
    RenameOptionSet raw;
    ReadSchemeText("Version=1\rInsertBackText=a\xff\xfe", raw);
    EXPECT_EQ(raw.InsertBackText, "a\xff\xfe");
}

TEST(SchemeText, AtMost99Pairs) {
    std::string text = "Version=1";
    for (int i = 1; i <= 120; ++i)
        text += "\rReplaceText" + std::to_string(i) + "=f" + std::to_string(i) + ":r";
    RenameOptionSet o;
    ReadSchemeText(text, o);
    EXPECT_EQ(o.ReplaceCount, 99);
    EXPECT_EQ(o.ReplacePairs[98].Replace, "f99");
}

TEST(SchemeText, MalformedTextNeverHangsOrCrashes) {
    // Every prefix and a few mangled variants of a real scheme: the reader must always end.
    const std::string text = WriteSchemeText(Everything());
    for (std::size_t n = 0; n <= text.size(); ++n) {
        RenameOptionSet o;
        ReadSchemeText(text.substr(0, n), o);
        std::string mangled = text.substr(0, n) + "\r\r=\r==x\rnoequals\r";
        ReadSchemeText(mangled, o);
    }
    RenameOptionSet o;
    ReadSchemeText(text, o);
    EXPECT_EQ(o, Everything());
}

TEST(SchemeText, ReaderTellsWhatItReadAndRefusesANulInAValueWhole) {
    using V = SchemeRead::Verdict;
    struct Row {
        std::string text;
        V verdict;
        bool insertGroup;
    } rows[] = {
        {"Version=2\rInsertGroup=true", V::OtherVersion, false},
        {"Version=1\rInsertGroup=true\rVersion=3", V::Applied, true},
        {std::string("InsertFrontText=x\0y\rVersion=1\rInsertGroup=true", 46), V::Applied, true},
        {std::string("Version=1\rInsertGroup=true\rinsertFrontText=x\0y", 46), V::NulInValue,
         false},
    };
    RenameOptionSet base;
    base.ReplaceCount = 1;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        RenameOptionSet o = base;
        const SchemeRead read = ReadSchemeText(r.text, o);
        EXPECT_EQ(read.Result, r.verdict);
        EXPECT_EQ(o.InsertGroup, r.insertGroup);
        EXPECT_EQ(o.ReplaceCount, r.verdict == V::NulInValue ? 1 : 0);
        TOptionSchemas stored; // as the window's scheme box loads it
        stored.Add({"s", r.text});
        EXPECT_EQ(stored.LoadOptions("s", o = base), r.verdict == V::Applied);
    }
}

TEST(SchemeText, NormalizeLineEnds) {
    EXPECT_EQ(NormalizeLineEnds("a=1\nb=2\r\nc=3\rd=4\n"), "a=1\rb=2\rc=3\rd=4");
    EXPECT_EQ(NormalizeLineEnds("\n\na=1\r\n\r\n\nb=2\n\n"), "a=1\rb=2");
    EXPECT_EQ(NormalizeLineEnds(""), "");
}

TEST(OptionSchemas, ListOperations) {
    TOptionSchemas schemes;
    EXPECT_EQ(schemes.Count(), 0);
    EXPECT_EQ(schemes.IndexOf("x"), -1);

    RenameOptionSet a;
    a.RemoveGroup = true;
    schemes.SaveOptions("Photos", a);
    schemes.SaveOptions("photos", RenameOptionSet{}); // case twins are two schemes
    schemes.Add({"Music", "Version=1\rInsertGroup=true"});
    ASSERT_EQ(schemes.Count(), 3);
    EXPECT_EQ(schemes.Names(0), "Photos");
    EXPECT_EQ(schemes.Names(1), "photos");
    EXPECT_EQ(schemes.Names(2), "Music");
    EXPECT_EQ(schemes.Names(3), "");

    // Saving under an existing name replaces its text in place.
    a.FormatGroup = true;
    schemes.SaveOptions("Photos", a);
    EXPECT_EQ(schemes.Count(), 3);
    EXPECT_EQ(schemes.IndexOf("Photos"), 0);
    RenameOptionSet loaded;
    schemes.LoadOptions("Photos", loaded);
    EXPECT_EQ(loaded, a);

    // An unknown name loads nothing.
    RenameOptionSet untouched = a;
    untouched.ReplaceCount = 1;
    untouched.ReplacePairs[0] = {"k", "v"};
    RenameOptionSet probe = untouched;
    schemes.LoadOptions("Nope", probe);
    EXPECT_EQ(probe, untouched);

    // A scheme always has a name: saving under the empty name stores nothing.
    schemes.SaveOptions("", a);
    EXPECT_EQ(schemes.Count(), 3);
    EXPECT_EQ(schemes.IndexOf(""), -1);

    schemes.Delete("photos");
    EXPECT_EQ(schemes.Count(), 2);
    EXPECT_EQ(schemes.IndexOf("photos"), -1);
    EXPECT_EQ(schemes.IndexOf("Photos"), 0);
    schemes.Delete("photos"); // nothing left of that name
    EXPECT_EQ(schemes.Count(), 2);
    EXPECT_EQ(schemes.Items(1).Text, "Version=1\rInsertGroup=true");
}

} // namespace
} // namespace qm
