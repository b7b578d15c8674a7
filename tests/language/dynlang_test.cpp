#include "lanfolder.h"
#include "langlib/vocalith.h"
#include "language/dynlang.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using test::LanFile;
using test::TLanFolder;

TEST(DynLang, DecodeEscapes) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Line one\\nLine two", "Line one\n\rLine two"},
        {"upper\\Ncase", "upper\n\rcase"},
        {"a\\\\b", "a\\b"},
        {"a\\\\\\\\b", "a\\\\b"},
        {"a\\\\\\b", "a\\\\b"},
        {"single \\ stays", "single \\ stays"},
        {"C:\\temp", "C:\\temp"},
        {"pair before n\\\\n", "pair before n\\\n\r"},
        {"trailing\\", "trailing\\"},
        {"\\n\\n", "\n\r\n\r"},
        {"", ""},
    };
    for (const auto& [text, decoded] : cases) {
        EXPECT_EQ(TDynLang::DecodeEscapes(text), decoded) << text;
    }
}

TEST(DynLang, FirstLine) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Line one\\nLine two", "Line one"},
        {"no break", "no break"},
        {"A\\Nb\\nc", "A"},
        // Only an upper-case break: the text is not cut, its break is decoded.
        {"Only\\Nupper", "Only\n\rupper"},
        {"a\\\\b\\nc", "a\\b"},
        {"dir\\\\nnext", "dir\\"},
        {"\\nstarts with a break", ""},
    };
    for (const auto& [text, line] : cases) {
        EXPECT_EQ(TDynLang::FirstLine(text), line) << text;
    }
}

constexpr const char* Package = "Marlowick Quillmark";

std::string TwoLanguages() {
    return LanFile(Package, "English", "English",
                   "<TEXT NAME=\"TWO\" TEXT=\"Line one\\nLine two\">\r\n"
                   "<TEXT NAME=\"EXIT\" KEY=\"x\" TEXT=\"Exit\\nand close\">\r\n"
                   "<TEXT NAME=\"PATH\" KEY=\"t\" TEXT=\"C:\\\\temp\">\r\n"
                   "<TEXT NAME=\"CLOSE\" KEY=\"n\" TEXT=\"Exit\\nand close\">") +
           LanFile(Package, "German", "Deutsch", "<TEXT NAME=\"EXIT\" KEY=\"b\" TEXT=\"Beenden\">");
}

TEST(DynLang, CreateSelectsEnglishAndReadsTexts) {
    TLanFolder folder;
    folder.Write("quillmark.lan", TwoLanguages());
    TDynLang lang(folder.Slashed(), Package);
    EXPECT_EQ(lang.LanguageName(), "English");
    EXPECT_EQ(lang.Location(), folder.Slashed());
    EXPECT_NE(lang.Handle(), 0);
    EXPECT_EQ(lang.GetText("two"), "Line one\n\rLine two");
    EXPECT_EQ(lang.GetLine("TWO"), "Line one");
    EXPECT_EQ(lang.GetText("EXIT"), "Exit\n\rand close");
    EXPECT_EQ(lang.GetKeyedLine("EXIT"), "E&xit");
    EXPECT_EQ(lang.GetText("PATH"), "C:\\temp");
    EXPECT_EQ(lang.GetKeyedLine("PATH"), "C:\\&temp");
    // The key letter first occurs as the "n" of the break: the mark must not split it.
    EXPECT_EQ(lang.GetKeyedLine("CLOSE"), "Exit");
    EXPECT_EQ(lang.GetText("CLOSE"), "Exit\n\rand close");
    EXPECT_EQ(lang.GetText("MISSING"), "");
    EXPECT_EQ(lang.GetKeyedLine("MISSING"), "");

    lang.SelectLanguage("german");
    EXPECT_EQ(lang.LanguageName(), "german");
    EXPECT_EQ(lang.GetKeyedLine("exit"), "&Beenden");
    EXPECT_EQ(lang.GetText("TWO"), "");
}

TEST(DynLang, UnknownLanguageBecomesCurrentWithEmptyTexts) {
    TLanFolder folder;
    folder.Write("quillmark.lan", TwoLanguages());
    TDynLang lang(folder.Slashed(), Package);
    lang.SelectLanguage("Klingon");
    EXPECT_EQ(lang.LanguageName(), "Klingon");
    EXPECT_NE(lang.Handle(), 0);
    EXPECT_EQ(lang.GetText("EXIT"), "");
    EXPECT_EQ(lang.GetLine("EXIT"), "");
    EXPECT_EQ(lang.GetKeyedLine("EXIT"), "");
}

TEST(DynLang, SelectingAgainRereadsTheFiles) {
    TLanFolder folder;
    folder.Write("quillmark.lan", TwoLanguages());
    TDynLang lang(folder.Slashed(), Package);
    folder.Write("quillmark.lan",
                 LanFile(Package, "English", "English", "<TEXT NAME=\"EXIT\" TEXT=\"Quit\">"));
    EXPECT_EQ(lang.GetText("EXIT"), "Exit\n\rand close");
    lang.SelectLanguage("English");
    EXPECT_EQ(lang.GetText("EXIT"), "Quit");
}

TEST(DynLang, ListsLanguagesSideBySide) {
    TLanFolder folder;
    folder.Write("a.lan", TwoLanguages());
    folder.Write("b.lan", LanFile(Package, "German", "Deutsch", "") +
                              LanFile("Marlowick Common Langauge Pack", "French",
                                      "Fran\xC3\xA7"
                                      "ais",
                                      ""));
    const TDynLang lang(folder.Slashed(), Package);
    EXPECT_EQ(lang.LanguageNames(), (std::vector<std::string>{"English", "German", "German"}));
    EXPECT_EQ(lang.NativeLanguageNames(),
              (std::vector<std::string>{"English", "Deutsch", "Deutsch"}));
}

TEST(DynLang, NoLanguageFilesGiveEmptyListsAndTexts) {
    TLanFolder folder;
    const TDynLang lang(folder.Slashed(), Package);
    EXPECT_EQ(lang.LanguageName(), "English");
    EXPECT_TRUE(lang.LanguageNames().empty());
    EXPECT_TRUE(lang.NativeLanguageNames().empty());
    EXPECT_EQ(lang.GetText("EXIT"), "");
}

TEST(DynLang, FailedSelectionKeepsTheFormerName) {
    TLanFolder folder;
    folder.Write("quillmark.lan", TwoLanguages());
    TDynLang lang(folder.Slashed(), Package);
    ASSERT_EQ(lang.GetLine("TWO"), "Line one");
    // Fill the library's language table behind the client's entry.
    std::vector<std::uint16_t> filler;
    for (int i = 0; i < 70000; ++i) {
        std::uint16_t handle = 0;
        if (OpenLanguage(&handle, "/nonexistent", "P", "L") != 0) {
            break;
        }
        filler.push_back(handle);
    }
    // The old language is closed first, but its slot stays in the table behind the others.
    lang.SelectLanguage("German");
    EXPECT_EQ(lang.Handle(), 0);
    EXPECT_EQ(lang.LanguageName(), "English");
    EXPECT_EQ(lang.GetText("TWO"), "");
    for (auto it = filler.rbegin(); it != filler.rend(); ++it) {
        CloseLanguage(*it);
    }
    lang.SelectLanguage("German");
    EXPECT_NE(lang.Handle(), 0);
    EXPECT_EQ(lang.LanguageName(), "German");
    EXPECT_EQ(lang.GetKeyedLine("EXIT"), "&Beenden");
}

TEST(DynLang, DestroyingAClientFreesItsLanguage) {
    TLanFolder folder;
    std::uint16_t first = 0;
    {
        const TDynLang lang(folder.Slashed(), Package);
        first = lang.Handle();
    }
    const TDynLang again(folder.Slashed(), Package);
    EXPECT_EQ(again.Handle(), first);
}

} // namespace
} // namespace qm
