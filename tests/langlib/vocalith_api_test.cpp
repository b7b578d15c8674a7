// The exported C interface of libvocalith.so, called as the program calls it. The library's
// tables live for the whole test program, so every test closes what it opens.

#include "lanfolder.h"
#include "langlib/vocalith.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace qm {
namespace {

using test::LanFile;
using test::TLanFolder;

// Opens a language and closes it again at the end of the scope.
class TOpened {
public:
    TOpened(const std::string& folder, const char* package, const char* language) {
        result = OpenLanguage(&handle, folder.c_str(), package, language);
    }
    ~TOpened() { CloseLanguage(handle); }
    std::string Text(const char* name) const { return GetTextByName(&handle, name); }
    std::string Keyed(const char* name) const { return GetTextByNameWithKey(&handle, name); }

    uint16_t handle = 0;
    uint8_t result = 255;
};

// Every (Name, NativeName) an enumeration yields, and the code that ended it.
struct TEnumeration {
    std::vector<std::string> names;
    std::vector<std::string> natives;
    int32_t first = -1;
    int32_t last = -1;
};

TEnumeration Enumerate(const std::string& folder, const char* package) {
    TEnumeration found;
    TLangSearchRec rec{};
    found.first = found.last = FindLangFirst(folder.c_str(), package, &rec);
    while (found.last == 0) {
        found.names.emplace_back(rec.Name);
        found.natives.emplace_back(rec.NativeName);
        found.last = FindLangNext(&rec);
    }
    FindLangClose(&rec);
    return found;
}

TEST(VocalithApi, HandlesAreAppendedAndReleasedFromTheEnd) {
    TLanFolder folder;
    uint16_t h1 = 0, h2 = 0, h3 = 0, h4 = 0;
    ASSERT_EQ(OpenLanguage(&h1, folder.Path().c_str(), "P", "English"), 0);
    ASSERT_EQ(OpenLanguage(&h2, folder.Path().c_str(), "P", "German"), 0);
    EXPECT_EQ(h1, 1);
    EXPECT_EQ(h2, 2);

    // Closing the first leaves the second valid; closing the second empties the table.
    EXPECT_EQ(CloseLanguage(h1), 0);
    EXPECT_EQ(CloseLanguage(h1), 1);
    EXPECT_STREQ(GetLanguageName(h2), "German");
    EXPECT_EQ(CloseLanguage(h2), 0);
    ASSERT_EQ(OpenLanguage(&h1, folder.Path().c_str(), "P", "English"), 0);
    EXPECT_EQ(h1, 1);

    // A closed handle in the middle is not given out again while entries follow it.
    ASSERT_EQ(OpenLanguage(&h2, folder.Path().c_str(), "P", "B"), 0);
    ASSERT_EQ(OpenLanguage(&h3, folder.Path().c_str(), "P", "C"), 0);
    EXPECT_EQ(CloseLanguage(h2), 0);
    ASSERT_EQ(OpenLanguage(&h4, folder.Path().c_str(), "P", "D"), 0);
    EXPECT_EQ(h4, 4);
    EXPECT_STREQ(GetLanguageName(h2), "");
    EXPECT_STREQ(GetLanguageName(h3), "C");
    for (uint16_t h : {h4, h3, h1}) {
        EXPECT_EQ(CloseLanguage(h), 0);
    }
    EXPECT_EQ(CloseLanguage(0), 1);
    EXPECT_EQ(CloseLanguage(65535), 1);
}

TEST(VocalithApi, GettersAnswerEmptyNeverNull) {
    TLanFolder folder;
    folder.Write("a.lan",
                 LanFile("Pkg", "German", "Deutsch", "<TEXT ID=\"3\" NAME=\"A\" TEXT=\"a\">"));
    TOpened lang(folder.Path(), "pkg", "GERMAN");
    ASSERT_EQ(lang.result, 0);
    // The pack keeps exactly what was passed: no "/" is added to the stored folder.
    EXPECT_EQ(std::string(GetLanguageLocation(lang.handle)), folder.Path());
    EXPECT_STREQ(GetLanguagePackageName(lang.handle), "pkg");
    EXPECT_STREQ(GetLanguageName(lang.handle), "GERMAN");
    EXPECT_STREQ(GetLanguageNativeName(lang.handle), "Deutsch");
    EXPECT_STREQ(GetTextByID(&lang.handle, 3), "a");

    const uint16_t invalid = static_cast<uint16_t>(lang.handle + 1);
    for (const char* s :
         {GetLanguageLocation(invalid), GetLanguagePackageName(invalid), GetLanguageName(invalid),
          GetLanguageNativeName(invalid), GetTextByID(&invalid, 3), GetTextByIDWithKey(&invalid, 3),
          GetTextByName(&invalid, "A"), GetTextByNameWithKey(&invalid, "A"),
          GetTextByID(nullptr, 3), GetTextByName(nullptr, "A"),
          GetTextByName(&lang.handle, nullptr), GetTextByName(&lang.handle, "B"),
          GetTextByIDWithKey(&lang.handle, 4)}) {
        ASSERT_NE(s, nullptr);
        EXPECT_STREQ(s, "");
    }
}

TEST(VocalithApi, OpenWithNullNameKeepsItsEntryUntilClosed) {
    TLanFolder folder;
    folder.Write("a.lan", LanFile("P", "English", "English", "<TEXT NAME=\"A\" TEXT=\"x\">"));
    const char* path = folder.Path().c_str();
    EXPECT_EQ(OpenLanguage(nullptr, path, "P", "English"), 1);  // takes no entry

    uint16_t handles[3] = {77, 77, 77};
    EXPECT_EQ(OpenLanguage(&handles[0], nullptr, "P", "English"), 1);
    EXPECT_EQ(OpenLanguage(&handles[1], path, nullptr, "English"), 1);
    EXPECT_EQ(OpenLanguage(&handles[2], path, "P", nullptr), 1);
    EXPECT_EQ(handles[0], 1);
    EXPECT_EQ(handles[1], 2);
    EXPECT_EQ(handles[2], 3);
    for (uint16_t h : handles) {
        EXPECT_STREQ(GetTextByName(&h, "A"), "");
    }

    // Until closed, the refused entries hold their places.
    uint16_t handle = 0;
    ASSERT_EQ(OpenLanguage(&handle, path, "P", "English"), 0);
    EXPECT_EQ(handle, 4);
    EXPECT_STREQ(GetTextByName(&handle, "A"), "x");
    for (uint16_t h : {handle, handles[0], handles[1], handles[2]}) {
        EXPECT_EQ(CloseLanguage(h), 0);
    }
    ASSERT_EQ(OpenLanguage(&handle, path, "P", "English"), 0);
    EXPECT_EQ(handle, 1);
    EXPECT_EQ(CloseLanguage(handle), 0);
}

TEST(VocalithApi, MissingOrEmptyFolderOpensWithoutTexts) {
    TLanFolder folder;
    for (const std::string& location : {folder.Path(), folder.Path() + "/missing"}) {
        TOpened lang(location, "P", "English");
        EXPECT_EQ(lang.result, 0) << location;
        EXPECT_NE(lang.handle, 0);
        EXPECT_EQ(lang.Text(""), "");
        EXPECT_STREQ(GetTextByID(&lang.handle, 0), "");
        EXPECT_EQ(Enumerate(location, "P").first, 1);
    }
}

TEST(VocalithApi, LanguageTableHoldsAtMost65535) {
    TLanFolder folder;
    const std::string missing = folder.Path() + "/missing";
    std::vector<uint16_t> handles;
    for (int i = 0; i < 65535; ++i) {
        uint16_t handle = 0;
        ASSERT_EQ(OpenLanguage(&handle, missing.c_str(), "P", "L"), 0);
        handles.push_back(handle);
    }
    EXPECT_EQ(handles.back(), 65535);
    uint16_t full = 5;
    EXPECT_EQ(OpenLanguage(&full, missing.c_str(), "P", "L"), 1);
    EXPECT_EQ(full, 0);
    full = 5;
    EXPECT_EQ(OpenLanguage(&full, nullptr, "P", "L"), 1);  // full comes first
    EXPECT_EQ(full, 0);
    for (auto it = handles.rbegin(); it != handles.rend(); ++it) {
        CloseLanguage(*it);
    }
    uint16_t handle = 0;
    ASSERT_EQ(OpenLanguage(&handle, missing.c_str(), "P", "L"), 0);
    EXPECT_EQ(handle, 1);
    CloseLanguage(handle);
}

TEST(VocalithApi, SearchTableHoldsAtMost65535) {
    TLanFolder folder;
    const std::string missing = folder.Path() + "/missing";
    std::vector<TLangSearchRec> recs(65535);
    for (TLangSearchRec& rec : recs) {
        ASSERT_EQ(FindLangFirst(missing.c_str(), "P", &rec), 1);
    }
    TLangSearchRec untouched{"a", "b", "c", "d", 12345};
    EXPECT_EQ(FindLangFirst(missing.c_str(), "P", &untouched), 2);
    EXPECT_STREQ(untouched.Name, "c");
    EXPECT_EQ(untouched.Handle, 12345u);
    for (auto it = recs.rbegin(); it != recs.rend(); ++it) {
        FindLangClose(&*it);
    }
    TLangSearchRec rec{};
    EXPECT_EQ(FindLangFirst(missing.c_str(), "P", &rec), 1);
    EXPECT_EQ(rec.Handle, 1u);
    FindLangClose(&rec);
}

TEST(VocalithApi, EnumerationCodes) {
    TLanFolder folder;
    folder.Write("a.lan", LanFile("Pkg", "English", "English", "") +
                              LanFile("Pkg", "German", "Deutsch", ""));
    TLangSearchRec rec{};
    ASSERT_EQ(FindLangFirst(folder.Path().c_str(), "PKG", &rec), 0);
    EXPECT_EQ(std::string(rec.Location), folder.Slashed());
    EXPECT_STREQ(rec.PackageName, "PKG");
    EXPECT_STREQ(rec.Name, "English");
    EXPECT_EQ(FindLangNext(&rec), 0);
    EXPECT_STREQ(rec.Name, "German");
    EXPECT_STREQ(rec.NativeName, "Deutsch");
    EXPECT_EQ(FindLangNext(&rec), 1);
    EXPECT_EQ(FindLangNext(&rec), 1);
    EXPECT_STREQ(rec.Name, "German");

    // Only the low 16 bits of the handle count.
    TLangSearchRec high = rec;
    high.Handle |= 0x70000u;
    EXPECT_EQ(FindLangNext(&high), 1);

    FindLangClose(&rec);
    EXPECT_EQ(FindLangNext(&rec), 2);
    EXPECT_STREQ(rec.Name, "");
    FindLangClose(&rec); // an invalid handle is ignored
    EXPECT_EQ(FindLangNext(nullptr), 2);
    FindLangClose(nullptr);
    EXPECT_EQ(FindLangFirst(folder.Path().c_str(), "Pkg", nullptr), 2);

    // A folder already ending in "/" is not given a second one.
    TLangSearchRec slashed{};
    ASSERT_EQ(FindLangFirst(folder.Slashed().c_str(), "Pkg", &slashed), 0);
    EXPECT_EQ(std::string(slashed.Location), folder.Slashed());
    FindLangClose(&slashed);
}

TEST(VocalithApi, EnumerationListsEveryLanguageElement) {
    TLanFolder folder;
    folder.Write("b.lan", LanFile("Pkg", "German", "Deutsch", "") +
                              LanFile("Other", "French",
                                      "Fran\xC3\xA7"
                                      "ais",
                                      "") +
                              LanFile("pkg", "", "Nameless", ""));
    folder.Write("a.lan", LanFile("Pkg", "German", "Deutsch", ""));
    folder.Write("c.txt", LanFile("Pkg", "Dutch", "Nederlands", ""));
    folder.Write(".lan", LanFile("Pkg", "Danish", "Dansk", "")); // a name of only the suffix
    const TEnumeration found = Enumerate(folder.Path(), "Pkg");
    EXPECT_EQ(found.names, (std::vector<std::string>{"Danish", "German", "German", ""}));
    EXPECT_EQ(found.natives,
              (std::vector<std::string>{"Dansk", "Deutsch", "Deutsch", "Nameless"}));
    EXPECT_EQ(found.last, 1);
}

TEST(VocalithApi, FirstFileAndFirstDefinitionWin) {
    TLanFolder folder;
    // Read in file-name order: "A.lan" < "a.lan" < "b.LAN" byte by byte.
    folder.Write("b.LAN", LanFile("P", "English", "Other",
                                  "<TEXT NAME=\"ONE\" TEXT=\"from b\">"
                                  "<TEXT NAME=\"THREE\" TEXT=\"from b\">"));
    folder.Write("a.lan", LanFile("P", "English", "Anglais",
                                  "<TEXT NAME=\"ONE\" TEXT=\"from a\">"
                                  "<TEXT NAME=\"TWO\" TEXT=\"from a\">"));
    folder.Write("A.lan", LanFile("P", "English", "",
                                  "<TEXT NAME=\"TWO\" TEXT=\"from A\">"
                                  "<TEXT NAME=\"two\" TEXT=\"A again\">"));
    TOpened lang(folder.Path(), "P", "English");
    EXPECT_EQ(lang.Text("one"), "from a");
    // "A.lan" gives no native name, so the first file that gives one wins.
    EXPECT_STREQ(GetLanguageNativeName(lang.handle), "Anglais");
    EXPECT_EQ(lang.Text("Two"), "from A");
    EXPECT_EQ(lang.Text("THREE"), "from b");
}

TEST(VocalithApi, EachFileMatchesPackageAndLanguageAfresh) {
    TLanFolder folder;
    // The first file names another package, then the wanted package with another language;
    // the second names the wanted ones at the same places.
    folder.Write("a.lan", LanFile("Other", "English", "Anglais",
                                  "<TEXT NAME=\"T\" TEXT=\"other package\">"));
    folder.Write("b.lan", LanFile("P", "English", "English", "<TEXT NAME=\"T\" TEXT=\"mine\">"));
    folder.Write("c.lan", LanFile("P", "German", "Deutsch", "<TEXT NAME=\"U\" TEXT=\"german\">"));
    folder.Write("d.lan", LanFile("P", "English", "", "<TEXT NAME=\"U\" TEXT=\"english\">"));
    TOpened lang(folder.Path(), "P", "English");
    EXPECT_EQ(lang.Text("T"), "mine");
    EXPECT_EQ(lang.Text("U"), "english");
    EXPECT_STREQ(GetLanguageNativeName(lang.handle), "English");

    const TEnumeration found = Enumerate(folder.Path(), "P");
    EXPECT_EQ(found.names, (std::vector<std::string>{"English", "German", "English"}));
    const TEnumeration other = Enumerate(folder.Path(), "Other");
    EXPECT_EQ(other.names, (std::vector<std::string>{"English"}));
}

TEST(VocalithApi, SkipsWhatIsNotALanguageFile) {
    TLanFolder folder;
    const std::string text = "<TEXT NAME=\"T\" TEXT=\"found\">";
    folder.Write("notes.txt", LanFile("P", "English", "", "<TEXT NAME=\"X\" TEXT=\"txt\">"));
    folder.Write("z.lan", LanFile("P", "English", "", text));
    ASSERT_EQ(mkdir((folder.Path() + "/dir.lan").c_str(), 0700), 0);
    // A pipe must neither be read nor block the scan.
    ASSERT_EQ(mkfifo((folder.Path() + "/pipe.lan").c_str(), 0600), 0);
    TOpened lang(folder.Path(), "P", "English");
    EXPECT_EQ(lang.Text("T"), "found");
    EXPECT_EQ(lang.Text("X"), "");
}

TEST(VocalithApi, TextsByNameNumberAndKey) {
    TLanFolder folder;
    folder.Write("a.lan", LanFile("Marlowick Quillmark", "English", "English",
                                  "<TEXT ID=\"10\" NAME=\"EXIT\" KEY=\"x\" TEXT=\"Exit\">\r\n"
                                  "<text name=\"ADDFILES\" key=\"f\" text=\"Add files\">\r\n"
                                  "<TEXT ID=\"11\" KEY=\"\" TEXT=\"No name\">\r\n"
                                  "<TEXT NAME=\"SAVE\" ID=\"12\" TEXT=\"Save\">") +
                              LanFile("Marlowick Quillmark", "German", "Deutsch",
                                      "<TEXT ID=\"10\" NAME=\"EXIT\" KEY=\"b\" TEXT=\"Beenden\">"));
    TOpened lang(folder.Path(), "marlowick quillmark", "english");
    ASSERT_EQ(lang.result, 0);
    EXPECT_EQ(lang.Text("exit"), "Exit");
    EXPECT_EQ(lang.Keyed("Exit"), "E&xit");
    EXPECT_EQ(lang.Keyed("ADDFILES"), "Add &files");
    EXPECT_STREQ(GetTextByID(&lang.handle, 10), "Exit");
    EXPECT_STREQ(GetTextByIDWithKey(&lang.handle, 10), "E&xit");
    EXPECT_STREQ(GetTextByID(&lang.handle, 0), "Add files");
    EXPECT_EQ(lang.Text(""), "No name");
    EXPECT_EQ(lang.Keyed(""), "No name");
    // NAME written before ID is lost, so the text is found by its number only.
    EXPECT_EQ(lang.Text("SAVE"), "");
    EXPECT_STREQ(GetTextByID(&lang.handle, 12), "Save");
    EXPECT_STREQ(GetLanguageNativeName(lang.handle), "English");
}

TEST(VocalithApi, LongTextsAndLinesHaveNoLimit) {
    TLanFolder folder;
    // One line of LF-separated tags far longer than one read of the file.
    std::string big(300000, 'x');
    big[150000] = '\n';
    std::string file = "<IDENTIFICATION TYPE=\"t\">\n<PACKAGE NAME=\"P\">\n<LANGUAGE NAME=\"L\">";
    for (int i = 0; i < 3; ++i) {
        file += "\n<TEXT NAME=\"T" + std::to_string(i) + "\" TEXT=\"" + big + "\">";
    }
    folder.Write("big.lan", file);
    TOpened lang(folder.Path(), "P", "L");
    EXPECT_EQ(lang.Text("T0"), big);
    EXPECT_EQ(lang.Text("T2"), big);
}

TEST(VocalithApi, TextsAreReadAtOpeningOnly) {
    TLanFolder folder;
    folder.Write("a.lan", LanFile("P", "English", "", "<TEXT NAME=\"T\" TEXT=\"old\">"));
    uint16_t handle = 0;
    ASSERT_EQ(OpenLanguage(&handle, folder.Path().c_str(), "P", "English"), 0);
    const char* old = GetTextByName(&handle, "T");
    folder.Write("a.lan", LanFile("P", "English", "", "<TEXT NAME=\"T\" TEXT=\"new\">"));
    EXPECT_STREQ(GetTextByName(&handle, "T"), "old");
    // A pointer handed out stays valid while other languages open and the table grows.
    std::vector<uint16_t> more(40);
    for (uint16_t& h : more) {
        ASSERT_EQ(OpenLanguage(&h, folder.Path().c_str(), "P", "English"), 0);
    }
    EXPECT_STREQ(old, "old");
    EXPECT_STREQ(GetTextByName(&more.back(), "T"), "new");
    for (auto it = more.rbegin(); it != more.rend(); ++it) {
        CloseLanguage(*it);
    }
    CloseLanguage(handle);
}

} // namespace
} // namespace qm
