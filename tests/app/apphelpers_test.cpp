#include "app/commandline.h"
#include "app/list/commandpath.h"
#include "app/list/predictionmarks.h"
#include "app/monthnames.h"
#include "app/options/patternnote.h"
#include "app/options/renamesummary.h"
#include "app/run/takennumbers.h"
#include "language/placeholders.h"
#include "optionprobe.h"
#include "rename/runrules.h"
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
        {"CONVERTTOSPACE_SUMMARY", "conv %1"},       {"REMOVEPOSITION_SUMMARY", "rp %1 at %2"},
        {"INSERTFRONT_SUMMARY", "if %1 %1"},         {"REPLACETEXT_SUMMARY", "pairs %1"},
        {"REPLACEREGEXP_SUMMARY", "re %1"},          {"REPLACEREGEXPNOCASE_SUMMARY", "re-i %1"},
        {"REPLACETEXTNOCASE_SUMMARY", "pairs-i %1"}, {"DEFINENEWFILEEXT_SUMMARY", "ext"},
        {"INSERTPOSITION_SUMMARY", "ip %1 at %2"},
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
        {"regular expressions",
         "ReplaceGroup=true;ReplaceEnabled=true;ReplaceRegularExpressions=true", "re 0"},
        {"regular expressions ignoring case",
         "ReplaceGroup=true;ReplaceEnabled=true;ReplaceRegularExpressions=true;"
         "ReplaceIgnoreCase=true",
         "re-i 0"},
        {"plain text ignoring case", "ReplaceGroup=true;ReplaceEnabled=true;ReplaceIgnoreCase=true",
         "pairs-i 0"},
        {"engine order",
         "FormatGroup=true;FormatTextEnabled=true;ChangeFileExtEnabled=true;"
         "ChangeFileExtString=png;AddFileExtToFilename=true",
         "INCLUDEFILEEXT_SUMMARY  -  ext \"png\"  -  FORMATFILENAME_SUMMARY"},
        {"tags after the inserted texts, before the number",
         "InsertGroup=true;InsertBack=true;InsertTags=true;NumberIncEnabled=true",
         "INSERTBACK_SUMMARY  -  INSERTTAGS_SUMMARY  -  INSERTINCREASINGNUMBER_SUMMARY"},
        {"tags with the text at a position",
         "InsertGroup=true;InsertAtPosition=true;InsertTags=true",
         "ip \"\" at 1  -  INSERTTAGS_SUMMARY"},
        {"tags without an inserted text", "InsertGroup=true;InsertTags=true;NumberIncEnabled=true",
         "INSERTINCREASINGNUMBER_SUMMARY"},
        {"tags without the group", "InsertFront=true;InsertTags=true",
         "NOSELECTEDRENAMEOPTIONS_SUMMARY"},
        {"per folder after the number, only with it",
         "InsertGroup=true;NumberIncEnabled=true;NumberPerFolder=true;FormatGroup=true;"
         "FormatTextEnabled=true",
         "INSERTINCREASINGNUMBER_SUMMARY  -  NUMBERPERFOLDER_SUMMARY  -  FORMATFILENAME_SUMMARY"},
        {"per folder without the number", "InsertGroup=true;NumberPerFolder=true",
         "NOSELECTEDRENAMEOPTIONS_SUMMARY"},
        {"the run's own steps last, without a group",
         "CreateFolders=true;NumberTakenNames=true;RenameCompanions=true;"
         "AddFileExtToFilename=true",
         "INCLUDEFILEEXT_SUMMARY  -  RENAMECOMPANIONS_SUMMARY  -  NUMBERTAKENNAMES_SUMMARY  -  "
         "CREATEFOLDERS_SUMMARY"},
        {"separator item before number item",
         "InsertGroup=true;NumberIncEnabled=true;NumberIncAddFrontSep=true",
         "INSERTINCREASINGNUMBERSEPERATOR_SUMMARY  -  INSERTINCREASINGNUMBER_SUMMARY"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(BuildRenameSummary(Options(row.options), lookup), row.summary) << row.name;
    }
}

// Every option flag that changes a name when turned on alone (its tab's group on, its
// texts filled in) has an item in the summary: the user sees what the rename will do.
TEST(RenameSummary, EveryFlagThatChangesANameHasAnItem) {
    const TextLookup keys = [](const std::string& key) {
        return key;
    };
    const RenameOptionSet base = GroupsOn();
    const std::string none = BuildRenameSummary(base, keys);
    EXPECT_EQ(none, "NOSELECTEDRENAMEOPTIONS_SUMMARY");
    int changing = 0;
    for (const OptionField& field : OptionFields()) {
        if (!std::holds_alternative<OptionFlag>(field.member) || IsGroupSwitch(field)) {
            continue;
        }
        RenameOptionSet on = base;
        ChangeField(on, field);
        if (ChangesAName(base, on)) {
            ++changing;
            EXPECT_NE(BuildRenameSummary(on, keys), none) << field.name;
        }
    }
    EXPECT_GE(changing, 17) << "the probe's name no longer shows what the options do";
}

// The General tab has no group switch: any of its options marks it.
TEST(RenameSummary, GeneralTabInUseByEachOfItsOptions) {
    EXPECT_FALSE(GeneralTabInUse(Options("InsertGroup=true;NumberPerFolder=true")));
    for (const char* on :
         {"AddFileExtToFilename=true", "ChangeFileExtEnabled=true", "CreateFolders=true",
          "NumberTakenNames=true", "RenameCompanions=true"}) {
        EXPECT_TRUE(GeneralTabInUse(Options(on))) << on;
    }
}

// The month names of a language: twelve non-empty names per list, or English.
TEST(MonthNames, TwelveNamesOrEnglish) {
    const std::string german = "Januar, Februar,März,April,Mai,Juni,Juli,August,September,"
                               "Oktober,November,Dezember";
    struct Row {
        const char* name;
        std::string list;
        const char* march;
        const char* december;
    };
    const Row rows[] = {
        {"twelve names, spaces trimmed", german, "März", "Dezember"},
        {"eleven names", "a,b,c,d,e,f,g,h,i,j,k", "March", "December"},
        {"thirteen names", german + ",x", "March", "December"},
        {"an empty name", "a,b,c,d,e,f,g,h,i,j,k, ", "March", "December"},
        {"the language lacks the text", "", "March", "December"},
    };
    for (const Row& row : rows) {
        const auto names = LanguageMonthNames([&](const std::string& key) {
            return key == "MONTHNAMES" ? row.list : std::string("1,2,3,4,5,6,7,8,9,10,11,12");
        });
        EXPECT_EQ(names->Long[2], row.march) << row.name;
        EXPECT_EQ(names->Long[11], row.december) << row.name;
        EXPECT_EQ(names->Short[11], "12") << row.name;
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

// The note under the find field: a refusal names the character from 1 and lasts until the
// find text or the switch changes; else the first pair of the list that does not compile.
TEST(PatternNote, RefusalAndListedPairs) {
    const TextLookup text = [](const std::string& key) {
        return key == "REPLACEPATTERNREFUSED" ? std::string("no %1: %2") : std::string();
    };
    RenameOptionSet on;
    on.ReplaceGroup = on.ReplaceEnabled = on.ReplaceRegularExpressions = true;
    RenameOptionSet off = on;
    off.ReplaceRegularExpressions = false;
    TPatternNote note;
    EXPECT_TRUE(note.Admit("a(b", off));
    EXPECT_EQ(note.Update("a(b", off, text), "");
    EXPECT_TRUE(note.Admit("a(b)", on));
    EXPECT_FALSE(note.Admit("a(b", on));
    EXPECT_EQ(note.Update("a(b", on, text), "no 4: missing closing parenthesis");
    EXPECT_EQ(note.Update("a(bc", on, text), "");
    EXPECT_EQ(note.Update("a(b", on, text), "") << "typed back, it stays forgotten";
    EXPECT_FALSE(note.Admit("a(b", on));
    EXPECT_EQ(note.Update("a(b", off, text), "");
    EXPECT_EQ(note.Update("a(b", on, text), "") << "switched back on, it stays forgotten";

    on.ReplaceCount = 2;
    on.ReplacePairs[0] = {"ok", "1"};
    on.ReplacePairs[1] = {"x[", "2"};
    EXPECT_EQ(note.Update("", on, text),
              "\u201cx[\u201d in the list is not a valid regular expression: at character 3, "
              "missing terminating ] for character class");
}

TEST(PredictionMarks, PatternFaultsHaveTheirOwnReason) {
    const MarkTextSource english = [](const std::string&) {
        return std::string();
    };
    TRowMark mark;
    mark.Error = RunError::Of(RunFault::PatternInvalid);
    EXPECT_EQ(MarkTip(mark, english).toStdString(),
              "Would not be renamed: A find text is not a valid regular expression");
    mark.Error = RunError::Of(RunFault::PatternLimit);
    EXPECT_EQ(MarkTip(mark, english).toStdString(),
              "Would not be renamed: A find text takes too long to match this name");
}

// The faults of making folders and of companions, each in the language's own words:
// none of them is an errno value for strerror to word.
TEST(PredictionMarks, OrganizingFaultsHaveTheirOwnReason) {
    const MarkTextSource keys = [](const std::string& key) {
        return key == "PREDICTFAILS" ? std::string("%1") : key;
    };
    const std::pair<RunFault, const char*> rows[] = {
        {RunFault::FolderPart, "PREDICTFOLDERPART"},
        {RunFault::FolderIsFile, "PREDICTFOLDERISFILE"},
        {RunFault::CompanionFailed, "PREDICTCOMPANIONFAILED"},
    };
    for (const auto& [fault, key] : rows) {
        TRowMark mark;
        mark.Error = RunError::Of(fault);
        EXPECT_EQ(MarkTip(mark, keys).toStdString(), key);
    }
}

// A file counts as numbered otherwise than shown when the run renamed it to a numbered
// form of its plain name that is not the one the list showed, also into a sub-folder.
TEST(TakenNumbers, OnlyAnotherNumberOfThePlainNameCounts) {
    const struct {
        const char* what;
        TShownName shown;
        std::string now;
        int counted;
    } rows[] = {
        {"not renamed", {0, "/d/", "a.txt", "x.txt", "x.txt"}, "/d/a.txt", 0},
        {"renamed as shown", {0, "/d/", "a.txt", "x (2).txt", "x.txt"}, "/d/x (2).txt", 0},
        {"the next number", {0, "/d/", "a.txt", "x (2).txt", "x.txt"}, "/d/x (3).txt", 1},
        {"a number where none was shown", {0, "/d/", "a.txt", "x.txt", "x.txt"}, "/d/x (2).txt", 1},
        {"another name, not numbered", {0, "/d/", "a.txt", "x.txt", "x.txt"}, "/d/y.txt", 0},
        {"into a sub-folder",
         {0, "/d/", "a.jpg", "2024/a.jpg", "2024/a.jpg"},
         "/d/2024/a (2).jpg",
         1},
        {"no longer in its folder", {0, "/d/", "a.txt", "x.txt", "x.txt"}, "/e/x (2).txt", 0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(CountOtherNumbers(
                      {row.shown}, [&](int) { return row.now; }, "%1 (%2)"),
                  row.counted)
            << row.what;
    }
}

// A name the folder's drive refuses: the character named, a control character by its
// code, in the language's own words where it has them.
TEST(PredictionMarks, RefusedNamesNameTheCharacter) {
    const MarkTextSource english = [](const std::string&) {
        return std::string();
    };
    const MarkTextSource german = [](const std::string& key) {
        return key == "PREDICTDRIVECHAR" ? std::string("Enth\u00e4lt \u201e%1\u201c")
                                         : std::string();
    };
    TRowMark mark;
    mark.Error = RunError::Of(RunFault::NameCharacter, ':');
    EXPECT_EQ(MarkTip(mark, english).toStdString(),
              "Would not be renamed: The new name holds \u201c:\u201d, which this drive does not "
              "allow in a name");
    EXPECT_EQ(MarkTip(mark, german).toStdString(),
              "Would not be renamed: Enth\u00e4lt \u201e:\u201c");
    mark.Error = RunError::Of(RunFault::NameCharacter, '\r');
    EXPECT_EQ(MarkTip(mark, english).toStdString(),
              "Would not be renamed: The new name holds \u201cU+000D\u201d, which this drive does "
              "not allow in a name");
    mark.Error = RunError::Of(RunFault::NameEnd, '.');
    EXPECT_EQ(MarkTip(mark, english).toStdString(),
              "Would not be renamed: The new name ends in \u201c.\u201d, which this drive does not "
              "allow");
    mark.Error = RunError::Of(RunFault::NameTooLong);
    EXPECT_EQ(MarkTip(mark, english).toStdString(),
              "Would not be renamed: The new name is longer than this drive allows");
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
