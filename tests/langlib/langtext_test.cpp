#include "langlib/langtext.h"
#include "langlib/utf8text.h"

#include <gtest/gtest.h>

namespace vocalith {
namespace {

TEST(LangText, ParsesTheNumber) {
    const std::vector<std::pair<const char*, std::int32_t>> cases = {
        {"ID=\"42\"", 42},
        {"ID=\"-7\"", -7},
        {"ID=\"+7\"", 7},
        {"ID=\"2147483647\"", 2147483647},
        {"ID=\"-2147483648\"", -2147483647 - 1},
        {"ID=\"2147483648\"", 0},
        {"ID=\"99999999999999999999\"", 0},
        {"ID=\"12a\"", 0},
        {"ID=\" 12\"", 0},
        {"ID=\"+-1\"", 0},
        {"ID=\"+\"", 0},
        {"ID=\"\"", 0},
        {"NAME=\"A\"", 0},
    };
    for (const auto& [attributes, id] : cases) {
        EXPECT_EQ(MakeLangText(attributes).ID, id) << attributes;
    }
}

TEST(LangText, PutsTheAcceleratorMark) {
    struct Case {
        const char* attributes;
        const char* key;
        const char* keyed;
    };
    const std::vector<Case> cases = {
        {"KEY=\"x\" TEXT=\"Exit\"", "X", "E&xit"},
        {"KEY=\"f\" TEXT=\"Add files\"", "F", "Add &files"},
        {"KEY=\"E\" TEXT=\"exit\"", "E", "&exit"},
        {"KEY=\"i\" TEXT=\"Edit list\"", "I", "Ed&it list"},
        {"KEY=\"q\" TEXT=\"Exit\"", "Q", "Exit"},
        {"KEY=\"\" TEXT=\"Exit\"", "", "Exit"},
        {"TEXT=\"Exit\"", "", "Exit"},
        {"KEY=\"xyz\" TEXT=\"Exit\"", "X", "E&xit"},
        {"KEY=\"&\" TEXT=\"A&B\"", "&", "A&&B"},
        // Letter case counts by ASCII rules only: a letter beyond ASCII matches itself, and
        // the mark goes before the whole letter.
        {"KEY=\"\xC3\xA9\" TEXT=\"R\xC3\xA9sum\xC3\xA9\"", "\xC3\xA9", "R&\xC3\xA9sum\xC3\xA9"},
        {"KEY=\"\xD0\xB4\" TEXT=\"\xD0\x94\xD0\xB4\"", "\xD0\xB4", "\xD0\x94&\xD0\xB4"},
        {"KEY=\"\xD0\xB4\" TEXT=\"\xD0\x94\xD0\xB0\"", "\xD0\xB4", "\xD0\x94\xD0\xB0"},
        // Dotless i and long s upper-case to I and S in Unicode, yet are not those keys.
        {"KEY=\"i\" TEXT=\"K\xC4\xB1rm\xC4\xB1z\xC4\xB1 ile\"", "I",
         "K\xC4\xB1rm\xC4\xB1z\xC4\xB1 &ile"},
        {"KEY=\"s\" TEXT=\"\xC5\xBFo Save\"", "S", "\xC5\xBFo &Save"},
        // The "n" of a line break ("\n", "\N", also after a doubled backslash) is no letter.
        {"KEY=\"n\" TEXT=\"Exit\\nand close\"", "N", "Exit\\na&nd close"},
        {"KEY=\"n\" TEXT=\"a\\Nb\"", "N", "a\\Nb"},
        {"KEY=\"n\" TEXT=\"C:\\\\new\"", "N", "C:\\\\new"},
        {"KEY=\"n\" TEXT=\"a\\xn\"", "N", "a\\x&n"},
        {"KEY=\"\\\" TEXT=\"a\\nb\\\\c\"", "\\", "a\\nb&\\\\c"},
        // A byte that is not UTF-8 stands for itself.
        {"KEY=\"\xFF\" TEXT=\"a\xFF\"", "\xFF", "a&\xFF"},
    };
    for (const Case& c : cases) {
        const TLangText text = MakeLangText(c.attributes);
        EXPECT_EQ(text.Key, c.key) << c.attributes;
        EXPECT_EQ(text.KeyedText, c.keyed) << c.attributes;
    }
}

TLangData Texts(std::initializer_list<const char*> attributes) {
    TLangData data;
    for (const char* a : attributes) {
        data.Texts.push_back(MakeLangText(a));
    }
    return data;
}

TEST(LangText, FindsTheFirstMatchByName) {
    const TLangData data = Texts({
        "ID=\"1\" TEXT=\"unnamed\"",
        "ID=\"2\" NAME=\"Exit\" TEXT=\"first\"",
        "ID=\"3\" NAME=\"EXIT\" TEXT=\"second\"",
        "ID=\"4\" NAME=\"\xC3\x84NDERN\" TEXT=\"umlaut\"",
        "ID=\"5\" NAME=\"\xCE\xA3\" TEXT=\"sigma\"",
        "ID=\"6\" NAME=\"a\xFF\" TEXT=\"raw\"",
        "ID=\"7\" NAME=\"Zz\" TEXT=\"zed\"",
    });
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"exit", "first"},     {"eXiT", "first"}, {"\xC3\xA4ndern", "umlaut"},
        {"\xCF\x82", "sigma"}, // final sigma folds like capital sigma
        {"A\xFF", "raw"},      {"", "unnamed"},   {"exi", nullptr},
        {"a\xFE", nullptr},   {"zZ", "zed"},
    };
    for (const auto& [name, expected] : cases) {
        const TLangText* found = FindTextByName(data, name);
        if (expected == nullptr) {
            EXPECT_EQ(found, nullptr) << name;
        } else {
            ASSERT_NE(found, nullptr) << name;
            EXPECT_EQ(found->Text, expected) << name;
        }
    }
}

TEST(LangText, FindsTheFirstMatchByNumber) {
    const TLangData data = Texts({
        "NAME=\"A\" TEXT=\"no number\"",
        "ID=\"7\" TEXT=\"seven\"",
        "ID=\"7\" TEXT=\"seven again\"",
        "ID=\"0\" TEXT=\"explicit zero\"",
    });
    ASSERT_NE(FindTextByID(data, 0), nullptr);
    EXPECT_EQ(FindTextByID(data, 0)->Text, "no number");
    ASSERT_NE(FindTextByID(data, 7), nullptr);
    EXPECT_EQ(FindTextByID(data, 7)->Text, "seven");
    EXPECT_EQ(FindTextByID(data, 8), nullptr);
}

TEST(Utf8Text, MalformedBytesFoldToThemselves) {
    // Overlong, surrogate, truncated and stray continuation bytes each stay one unit.
    const std::vector<std::string> malformed = {"\xC0\xAF", "\xE0\x81\x81", "\xED\xA0\x80",
                                                "\xE2\x82", "\x80", "\xF5\x80\x80\x80"};
    for (const std::string& bytes : malformed) {
        EXPECT_EQ(FoldCase(bytes).size(), bytes.size()) << bytes;
        std::string back;
        std::size_t pos = 0;
        while (pos < bytes.size()) {
            AppendCodePoint(back, NextCodePoint(bytes, pos));
        }
        EXPECT_EQ(back, bytes);
    }
    EXPECT_EQ(FoldCase("\xC3\x89"), FoldCase("\xC3\xA9"));
    EXPECT_NE(FoldCase("\xE0\x81\x81"), FoldCase("a")); // an overlong "A" is not "a"
}

} // namespace
} // namespace vocalith
