#include "langlib/langsinks.h"

#include <gtest/gtest.h>

namespace vocalith {
namespace {

std::vector<std::string> OpenTexts(std::string_view file, const char* package,
                                   const char* language) {
    TLangData data;
    data.Pack.PackageName = package;
    data.Pack.LanguageName = language;
    TOpenSink sink(data);
    TLanReader reader(sink);
    reader.Feed(file);
    std::vector<std::string> texts;
    for (const TLangText& text : data.Texts) {
        texts.push_back(text.Text);
    }
    return texts;
}

TEST(LangSinks, TextsFollowTheCurrentPackageAndLanguage) {
    // Closing a package leaves the language set, so texts after a second PACKAGE belong to
    // that package and the old language.
    const std::string file =
        "<IDENTIFICATION TYPE=\"x\"><PACKAGE NAME=\"P\"><LANGUAGE NAME=\"L\"><TEXT TEXT=\"1\">"
        "</LANGUAGE><LANGUAGE NAME=\"M\"><TEXT TEXT=\"2\"></LANGUAGE><LANGUAGE NAME=\"l\">"
        "<TEXT TEXT=\"3\"></PACKAGE><PACKAGE NAME=\"Q\"><TEXT TEXT=\"4\"></PACKAGE>"
        "<PACKAGE NAME=\"p\"><TEXT TEXT=\"5\">";
    const std::vector<std::tuple<const char*, const char*, std::vector<std::string>>> cases = {
        {"P", "L", {"1", "3", "5"}},
        {"p", "m", {"2"}},
        {"Q", "L", {"4"}},
        {"Q", "M", {}},
        {"R", "L", {}},
    };
    for (const auto& [package, language, texts] : cases) {
        EXPECT_EQ(OpenTexts(file, package, language), texts) << package << "/" << language;
    }
}

TEST(LangSinks, SearchListsLanguagesOfThePackage) {
    const std::string file =
        "<IDENTIFICATION TYPE=\"x\"><PACKAGE NAME=\"P\"><LANGUAGE NAME=\"L\" NATIVE=\"n\">"
        "</LANGUAGE><LANGUAGE NAME=\"L\"></LANGUAGE></PACKAGE><PACKAGE NAME=\"Q\">"
        "<LANGUAGE NAME=\"X\"></LANGUAGE></PACKAGE><PACKAGE NAME=\"p\"><LANGUAGE NATIVE=\"e\">";
    std::vector<TLangSearchPack> results;
    TSearchSink sink("P", results);
    TLanReader reader(sink);
    reader.Feed(file);
    std::vector<std::string> found;
    for (const TLangSearchPack& result : results) {
        found.push_back(result.Name + "/" + result.NativeName);
    }
    EXPECT_EQ(found, (std::vector<std::string>{"L/n", "L/", "/e"}));
}

} // namespace
} // namespace vocalith
