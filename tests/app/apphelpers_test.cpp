#include "app/commandline.h"
#include "app/renamesummary.h"
#include "language/placeholders.h"
#include "settings/optionschemas.h"

#include <gtest/gtest.h>
#include <map>

namespace qm::test {
namespace {

TEST(CommandLine, SwitchesAndPaths) {
    struct Row {
        const char* name;
        std::vector<std::string> args;
        bool debug;
        std::vector<std::string> paths;
        CommandLine::Action action = CommandLine::Action::Run;
    };
    const Row rows[] = {
        {"no arguments", {}, false, {}},
        {"old switch first, any case", {"/debug", "a.txt"}, true, {"a.txt"}},
        {"old switch first, capitals", {"/DeBUG", "a.txt"}, true, {"a.txt"}},
        {"new switch first", {"--debug"}, true, {}},
        {"old switch later is a path", {"a.txt", "/DEBUG"}, false, {"a.txt", "/DEBUG"}},
        {"new switch later is ignored", {"a.txt", "--debug"}, false, {"a.txt"}},
        {"dash switch ignored", {"a.txt", "-x", "/tmp/b.txt"}, false, {"a.txt", "/tmp/b.txt"}},
        {"double dash ends switches", {"--", "-x", "--help"}, false, {"-x", "--help"}},
        {"help", {"a", "--help"}, false, {"a"}, CommandLine::Action::Help},
        {"version", {"--version"}, false, {}, CommandLine::Action::Version},
        {"empty argument skipped", {"", "a"}, false, {"a"}},
    };
    for (const Row& row : rows) {
        const CommandLine parsed = ParseCommandLine(row.args);
        EXPECT_EQ(parsed.useDevelopmentKey, row.debug) << row.name;
        EXPECT_EQ(parsed.paths, row.paths) << row.name;
        EXPECT_EQ(parsed.action, row.action) << row.name;
    }
}

TEST(CommandLine, RelativePathsStartInTheCurrentFolder) {
    EXPECT_EQ(SplitCommandLinePath("a.txt", "/home/u/").path, "/home/u/");
    EXPECT_EQ(SplitCommandLinePath("sub/a.txt", "/home/u/").path, "/home/u/sub/");
    EXPECT_EQ(SplitCommandLinePath("/tmp/b.txt", "/home/u/").path, "/tmp/");
    EXPECT_EQ(SplitCommandLinePath("/tmp/b.txt", "/home/u/").name, "b.txt");
}

// The options of a row are given as scheme lines, so each row reads as what is switched on.
RenameOptionSet Options(const std::string& lines) {
    RenameOptionSet options;
    std::string text = "Version=1";
    if (!lines.empty()) {
        text += "\r" + lines;
    }
    std::replace(text.begin(), text.end(), ';', '\r');
    ReadSchemeText(text, options);
    return options;
}

TEST(RenameSummary, ItemsOrderAndPlaceholders) {
    const std::map<std::string, std::string> texts = {
        {"CONVERTTOSPACE_SUMMARY", "conv %1"}, {"REMOVEPOSITION_SUMMARY", "rp %1 at %2"},
        {"INSERTFRONT_SUMMARY", "if %1 %1"},   {"REPLACETEXT_SUMMARY", "pairs %1"},
        {"DEFINENEWFILEEXT_SUMMARY", "ext"},   {"INSERTPOSITION_SUMMARY", "ip %1 at %2"},
    };
    const TextLookup lookup = [&](const std::string& key) {
        const auto it = texts.find(key);
        return it != texts.end() ? it->second : key;
    };
    struct Row {
        const char* name;
        std::string options;
        std::string summary;
    };
    const Row rows[] = {
        {"nothing on", "", "NOSELECTEDRENAMEOPTIONS_SUMMARY"},
        {"sub-option without its group", "RemoveFront=true", "NOSELECTEDRENAMEOPTIONS_SUMMARY"},
        {"three convert choices",
         "ReplaceGroup=true;ConvertInternetSpaces=true;ConvertUnderscoreSpaces=true;"
         "ConvertDotSpaces=true",
         "conv \"%20\"  -  conv \"_\"  -  conv \".\""},
        {"all spaces hides the lighter space options",
         "RemoveGroup=true;RemoveAllSpaces=true;RemoveDoubleSpaces=true;"
         "RemoveFrontAndBackSpaces=true",
         "REMOVEALLSPACES_SUMMARY"},
        {"only the first %1 is replaced", "InsertGroup=true;InsertFront=true;InsertFrontText=x",
         "if \"x\" %1"},
        {"two placeholders",
         "RemoveGroup=true;RemoveAtPosition=true;RemoveAtPositionCount=3;"
         "RemoveAtPositionIndex=2",
         "rp 3 at 2"},
        {"a typed %2 stays as typed",
         "InsertGroup=true;InsertAtPosition=true;InsertAtPositionText=y%2;"
         "InsertAtPositionIndex=3",
         "ip \"y%2\" at 3"},
        {"replace without pairs counts 0", "ReplaceGroup=true;ReplaceEnabled=true", "pairs 0"},
        {"engine order",
         "FormatGroup=true;FormatTextEnabled=true;ChangeFileExtEnabled=true;"
         "ChangeFileExtString=png;AddFileExtToFilename=true",
         "INCLUDEFILEEXT_SUMMARY  -  ext \"png\"  -  FORMATFILENAME_SUMMARY"},
        {"separator item before number item",
         "InsertGroup=true;NumberIncEnabled=true;NumberIncAddFrontSep=true",
         "INSERTINCREASINGNUMBERSEPERATOR_SUMMARY  -  INSERTINCREASINGNUMBER_SUMMARY"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(BuildRenameSummary(Options(row.options), lookup), row.summary) << row.name;
    }
}

TEST(Placeholders, OnePassOverTheLanguageText) {
    // A value holding a placeholder is never filled in itself.
    EXPECT_EQ(FillPlaceholders("%1 then %2", {"%2", "%1"}), "%2 then %1");
    EXPECT_EQ(FillPlaceholders("%3 %1 %1", {"A", "B"}), "%3 A %1");
    EXPECT_EQ(FillPlaceholders("100% %1%", {"A"}), "100% A%");
}

TEST(RenameSummary, AnItemWithoutTextIsStillAnItem) {
    const TextLookup missing = [](const std::string& key) {
        return key == "NOSELECTEDRENAMEOPTIONS_SUMMARY" ? std::string("none") : std::string();
    };
    EXPECT_EQ(BuildRenameSummary(Options("AddFileExtToFilename=true"), missing), "");
}

TEST(TabMarks, AtMostOneMark) {
    const std::string marked = std::string("&Replace") + TabMark;
    struct Row {
        const char* name;
        std::string caption;
        bool inUse;
        std::string expected;
    };
    const Row rows[] = {
        {"mark added", "&Replace", true, marked},
        {"never twice", marked, true, marked},
        {"mark removed", marked, false, "&Replace"},
        {"unmarked stays", "&Replace", false, "&Replace"},
        {"empty stays empty", "", true, ""},
        {"three characters go, not bytes", "ab\u00d7", false, ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(MarkTabCaption(row.caption, row.inUse), row.expected) << row.name;
    }
}

} // namespace
} // namespace qm::test
