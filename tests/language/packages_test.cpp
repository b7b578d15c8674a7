// Checks of the shipped language files in lang/: every key the program reads is there in
// every language of its package, in the shape the code that reads it expects.

#include "language/dynlang.h"
#include "language/textkeys.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace qm {
namespace {

namespace fs = std::filesystem;

struct ShippedLanguage {
    std::string name;
    std::string native;
};

const std::vector<ShippedLanguage>& ShippedLanguages() {
    static const std::vector<ShippedLanguage> languages = {
        {"English", "English"}, {"Danish", "Dansk"}, {"German", "Deutsch"}};
    return languages;
}

fs::path SourceLangDir() {
    const char* root = std::getenv("QUILLMARK_SOURCE_DIR");
    return fs::path(root ? root : ".") / "lang";
}

// The folder as the program passes it: ending in "/".
std::string Location() {
    return SourceLangDir().string() + "/";
}

std::vector<fs::path> LanFiles(const fs::path& dir) {
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error)) {
        if (entry.is_regular_file() && entry.path().extension() == ".lan") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool IsValidUtf8(const std::string& bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x6  ? 2
                                   : (lead >> 4) == 0xE  ? 3
                                   : (lead >> 3) == 0x1E ? 4
                                                         : 0;
        if (length == 0 || i + length > bytes.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) >> 6) != 0x2) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

// Both clients on the shipped folder, switched together as the Languages menu does.
struct Clients {
    TDynLang common{Location(), std::string(CommonPackageName)};
    TDynLang program{Location(), std::string(ProgramPackageName)};

    explicit Clients(const std::string& language) {
        common.SelectLanguage(language);
        program.SelectLanguage(language);
    }
    const TDynLang& For(const TextKey& key) const {
        return key.client == TextClient::Common ? common : program;
    }
    // The text as the program reads it.
    std::string Read(const TextKey& key) const {
        const std::string name(key.name);
        switch (key.form) {
        case TextForm::Text:
            return For(key).GetText(name);
        case TextForm::Line:
            return For(key).GetLine(name);
        case TextForm::Keyed:
            return For(key).GetKeyedLine(name);
        }
        return {};
    }
};

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

bool EndsWith(const std::string& text, std::string_view end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

TEST(LanguageFiles, AreUtf8WithCarriageReturnLineFeedLineEnds) {
    const auto files = LanFiles(SourceLangDir());
    ASSERT_GE(files.size(), ShippedLanguages().size()) << SourceLangDir();
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        const std::string bytes = ReadBytes(file);
        ASSERT_FALSE(bytes.empty());
        EXPECT_TRUE(IsValidUtf8(bytes));
        EXPECT_TRUE(EndsWith(bytes, "\r\n"));
        // The reader ends a line only at CR; a lone LF would glue two lines together.
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\n') {
                ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "LF without CR at byte " << i;
            } else if (bytes[i] == '\r') {
                ASSERT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n')
                    << "CR without LF at byte " << i;
            }
            ASSERT_NE(bytes[i], '\x1a') << "end-of-file mark at byte " << i;
        }
    }
}

TEST(LanguageFiles, ProgramFolderCopiesMatchTheSources) {
    const char* bin = std::getenv("QUILLMARK_BIN_DIR");
    if (!bin || LanFiles(bin).empty()) {
        GTEST_SKIP() << "the language files have not been copied into the program folder";
    }
    for (const auto& file : LanFiles(SourceLangDir())) {
        const fs::path copy = fs::path(bin) / file.filename();
        ASSERT_TRUE(fs::exists(copy)) << copy;
        EXPECT_EQ(ReadBytes(copy), ReadBytes(file)) << copy << " is stale";
    }
}

TEST(LanguagePackages, OfferEachLanguageOnceWithItsOwnName) {
    std::map<std::string, std::string> expected;
    for (const auto& language : ShippedLanguages()) {
        expected[language.name] = language.native;
    }
    for (const TextClient client : {TextClient::Common, TextClient::Program}) {
        SCOPED_TRACE(PackageName(client));
        TDynLang lang(Location(), std::string(PackageName(client)));
        const auto names = lang.LanguageNames();
        const auto natives = lang.NativeLanguageNames();
        ASSERT_EQ(names.size(), natives.size());
        std::map<std::string, std::string> offered;
        for (std::size_t i = 0; i < names.size(); ++i) {
            EXPECT_TRUE(offered.emplace(names[i], natives[i]).second) << names[i] << " twice";
        }
        EXPECT_EQ(offered, expected);
    }
}

TEST(LanguagePackages, HoldEveryKeyInEveryLanguage) {
    for (const auto& language : ShippedLanguages()) {
        Clients clients(language.name);
        ASSERT_EQ(clients.program.LanguageName(), language.name);
        for (const TextKey& key : TextKeys()) {
            EXPECT_FALSE(clients.For(key).GetText(std::string(key.name)).empty())
                << language.name << " lacks " << key.name << " in " << PackageName(key.client);
        }
    }
}

TEST(LanguagePackages, PlaceholdersStandOnceWhereTheProgramFillsThemIn) {
    for (const auto& language : ShippedLanguages()) {
        Clients clients(language.name);
        for (const TextKey& key : TextKeys()) {
            const std::string text = clients.Read(key);
            for (int n = 1; n <= 9; ++n) {
                const std::size_t wanted = n <= key.placeholders ? 1 : 0;
                EXPECT_EQ(Count(text, "%" + std::to_string(n)), wanted)
                    << language.name << " " << key.name << ": \"" << text << "\"";
            }
        }
    }
}

TEST(LanguagePackages, OnlyWholeTextMessagesSpanLines) {
    for (const auto& language : ShippedLanguages()) {
        Clients clients(language.name);
        for (const TextKey& key : TextKeys()) {
            if (key.form == TextForm::Text && key.role == TextRole::Message) {
                continue;
            }
            // A break would cut a line-form text short, or split a caption or title.
            const std::string whole = clients.For(key).GetText(std::string(key.name));
            EXPECT_EQ(whole.find_first_of("\r\n"), std::string::npos)
                << language.name << " " << key.name;
        }
    }
}

TEST(LanguagePackages, TextsDoNotRepeatWhatTheProgramAppends) {
    for (const auto& language : ShippedLanguages()) {
        Clients clients(language.name);
        for (const TextKey& key : TextKeys()) {
            std::string_view suffix = key.suffix;
            while (!suffix.empty() && suffix.front() == ' ') {
                suffix.remove_prefix(1);
            }
            while (!suffix.empty() && suffix.back() == ' ') {
                suffix.remove_suffix(1);
            }
            if (suffix.empty()) {
                continue;
            }
            const std::string text = clients.For(key).GetLine(std::string(key.name));
            EXPECT_FALSE(EndsWith(text, suffix))
                << language.name << " " << key.name << " already ends in \"" << suffix << "\"";
            if (suffix == "...") {
                EXPECT_FALSE(EndsWith(text, "\u2026")) << language.name << " " << key.name;
            }
            if (suffix == "Quillmark") {
                EXPECT_EQ(text.find("Quillmark"), std::string::npos) << language.name;
            }
        }
    }
}

// Keyed texts carry at most one accelerator, an ASCII letter or digit: the library marks
// the first occurrence of the key byte, so a key outside ASCII would split a character.
// A caption goes without one where its neighbours on screen hold all its letters. No other
// text carries "&", which the toolkit would take for an accelerator.
TEST(LanguagePackages, AcceleratorMarksAreSingleAsciiLetters) {
    for (const auto& language : ShippedLanguages()) {
        Clients clients(language.name);
        for (const TextKey& key : TextKeys()) {
            SCOPED_TRACE(language.name + " " + std::string(key.name));
            const std::string name(key.name);
            const std::string plain = clients.For(key).GetLine(name);
            if (key.form != TextForm::Keyed) {
                EXPECT_EQ(clients.For(key).GetText(name).find('&'), std::string::npos);
                continue;
            }
            const std::string keyed = clients.Read(key);
            ASSERT_LE(Count(keyed, "&"), 1u) << keyed;
            const auto at = keyed.find('&');
            if (at == std::string::npos) {
                EXPECT_EQ(keyed, plain);
                continue;
            }
            ASSERT_LT(at + 1, keyed.size()) << keyed;
            const auto letter = static_cast<unsigned char>(keyed[at + 1]);
            EXPECT_TRUE(std::isalnum(letter) && letter < 0x80) << keyed;
            EXPECT_EQ(std::string(keyed).erase(at, 1), plain);
        }
    }
}

// KEY="" gives a caption no accelerator; a KEY whose letter its TEXT lacks gives none
// either, silently, so that is a slip of the translator's.
TEST(LanguagePackages, GivenKeysOccurInTheirText) {
    const std::regex text(R"re(<TEXT NAME="([^"]*)" KEY="([^"]+)" TEXT="([^"]*)">)re");
    for (const auto& file : LanFiles(SourceLangDir())) {
        const std::string bytes = ReadBytes(file);
        for (std::sregex_iterator it(bytes.begin(), bytes.end(), text), end; it != end; ++it) {
            EXPECT_NE(Upper((*it)[3]).find(Upper((*it)[2]).front()), std::string::npos)
                << file.filename() << ": " << it->str();
        }
    }
}

TEST(LanguagePackages, AcceleratorsDifferWithinEachMenuTabAndDialog) {
    for (const auto& language : ShippedLanguages()) {
        Clients clients(language.name);
        for (int g = 0; g < AccelGroupCount; ++g) {
            const auto group = static_cast<AccelGroup>(g);
            std::map<char, std::string> taken;
            for (const TextKey& key : TextKeys()) {
                if (!Contains(key.accelGroups, group)) {
                    continue;
                }
                const std::string keyed = clients.Read(key);
                const auto at = keyed.find('&');
                if (at == std::string::npos || at + 1 >= keyed.size()) {
                    continue; // reported by AcceleratorMarksAreSingleAsciiLetters
                }
                const char letter = Upper(keyed.substr(at + 1, 1))[0];
                const auto [entry, fresh] = taken.emplace(letter, keyed);
                EXPECT_TRUE(fresh)
                    << language.name << ", " << AccelGroupName(group) << ": \"" << keyed
                    << "\" and \"" << entry->second << "\" share " << letter;
            }
        }
    }
}

// The names each (package, language) of the files defines, read straight from the files.
// The library keeps the first of two equal names silently and ignores names nobody asks
// for, so a duplicate or a misspelt name shows only here.
std::map<std::pair<std::string, std::string>, std::vector<std::string>> NamesInFiles() {
    std::map<std::pair<std::string, std::string>, std::vector<std::string>> names;
    const auto attribute = [](const std::string& tag, const std::string& attr) {
        const auto at = Upper(tag).find(" " + attr + "=\"");
        if (at == std::string::npos) {
            return std::string();
        }
        const auto start = at + attr.size() + 3;
        return tag.substr(start, tag.find('"', start) - start);
    };
    for (const auto& file : LanFiles(SourceLangDir())) {
        std::string package;
        std::string language;
        std::istringstream lines(ReadBytes(file));
        for (std::string line; std::getline(lines, line, '\r');) {
            for (auto open = line.find('<'); open != std::string::npos;
                 open = line.find('<', open + 1)) {
                const auto close = line.find('>', open);
                if (close == std::string::npos) {
                    break;
                }
                const std::string tag = line.substr(open + 1, close - open - 1);
                const std::string element = Upper(tag.substr(0, tag.find(' ')));
                if (element == "PACKAGE") {
                    package = attribute(tag, "NAME");
                } else if (element == "LANGUAGE") {
                    language = attribute(tag, "NAME");
                } else if (element == "TEXT") {
                    names[{package, language}].push_back(attribute(tag, "NAME"));
                }
            }
        }
    }
    return names;
}

TEST(LanguagePackages, DefineOnlyKnownKeysAndEachOnce) {
    const auto names = NamesInFiles();
    for (const TextClient client : {TextClient::Common, TextClient::Program}) {
        const std::string package(PackageName(client));
        std::size_t keysOfClient = 0;
        for (const TextKey& key : TextKeys()) {
            keysOfClient += key.client == client ? 1 : 0;
        }
        for (const auto& language : ShippedLanguages()) {
            SCOPED_TRACE(package + " / " + language.name);
            const auto found = names.find({package, language.name});
            ASSERT_NE(found, names.end());
            std::set<std::string> seen;
            for (const std::string& name : found->second) {
                EXPECT_TRUE(seen.insert(Upper(name)).second) << name << " is defined twice";
                const TextKey* key = FindTextKey(name);
                EXPECT_TRUE(key && key->client == client) << name << " is not read from here";
            }
            EXPECT_EQ(seen.size(), keysOfClient);
        }
    }
}

TEST(TextKeyList, EveryMenuAndActionCaptionHasItsHint) {
    for (const TextKey& key : TextKeys()) {
        const bool menuOrAction = key.control.starts_with("M_") || key.control.starts_with("A_");
        if (key.role != TextRole::Caption || !menuOrAction) {
            continue;
        }
        const TextKey* hint = FindTextKey(std::string(key.name) + "_HINT");
        ASSERT_NE(hint, nullptr) << key.name;
        EXPECT_EQ(hint->role, TextRole::Hint);
        EXPECT_EQ(hint->control, key.control);
        EXPECT_NE(key.accelGroups, 0u) << key.name << " belongs to no menu";
    }
    for (const TextKey& key : TextKeys()) {
        EXPECT_EQ(key.accelGroups != 0, key.form == TextForm::Keyed) << key.name;
    }
    ASSERT_NE(FindTextKey("doneRename"), nullptr);
    EXPECT_EQ(FindTextKey("doneRename")->placeholders, 2);
    EXPECT_EQ(FindTextKey("NO_SUCH_KEY"), nullptr);
}

} // namespace
} // namespace qm
