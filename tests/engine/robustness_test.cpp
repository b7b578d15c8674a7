#include "engine/namesteps.h"
#include "engine/newname.h"
#include "engine/optionfields.h"
#include "engine/utf8text.h"

#include <gtest/gtest.h>
#include <random>
#include <string>

namespace qm {
namespace {

class Random {
public:
    explicit Random(std::uint32_t seed) : gen_(seed) {}
    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen_); }
    bool Flag() { return Int(0, 1) == 1; }

    // Short texts built from the characters the options react to, plus multi-byte ones.
    std::string Utf8Text(int maxLen) {
        static const char* const pieces[] = {"a",
                                             "B",
                                             " ",
                                             "  ",
                                             ".",
                                             "_",
                                             "%",
                                             "%20",
                                             "-",
                                             " - ",
                                             "(",
                                             "]",
                                             "#",
                                             "0",
                                             "9",
                                             "é",
                                             "ß",
                                             "Ǆ",
                                             "\xF0\x9F\x98\x80",
                                             ";",
                                             "\t",
                                             "z",
                                             "Z",
                                             "x"};
        std::string out;
        const int n = Int(0, maxLen);
        for (int i = 0; i < n; ++i)
            out += pieces[Int(0, static_cast<int>(std::size(pieces)) - 1)];
        return out;
    }
    std::string Bytes(int maxLen) {
        std::string out;
        const int n = Int(0, maxLen);
        for (int i = 0; i < n; ++i)
            out += static_cast<char>(Int(1, 255));
        return out;
    }
    std::int32_t Number() {
        switch (Int(0, 3)) {
        case 0:
            return Int(-3, 20);
        case 1:
            return Int(INT32_MIN, INT32_MAX);
        case 2:
            return INT32_MIN;
        default:
            return INT32_MAX;
        }
    }

    // Every field of the table random: flags either way, numbers anywhere in 32 bits,
    // texts from the pieces above (or any bytes).
    RenameOptionSet Options(bool bytes) {
        auto text = [&](int len) {
            return bytes && Flag() ? Bytes(len) : Utf8Text(len);
        };
        RenameOptionSet o;
        for (const OptionField& field : OptionFields()) {
            if (auto flag = std::get_if<OptionFlag>(&field.member))
                o.*(*flag) = Flag();
            else if (auto number = std::get_if<OptionInt>(&field.member))
                o.*(*number) = Number();
            else
                o.*std::get<OptionText>(field.member) = text(6);
        }
        // Narrower: a fill length in the millions would make every name megabytes long
        // (GrowthStopsAtTheWorkingLimit tries that once), the format choice has two values,
        // and a separator of its own splits more names into blocks than a random one.
        o.NumberFormatSelect = Int(-1, 2);
        o.NumberIncMinLength = Int(-5, 40);
        if (Flag())
            o.AlterLogicFilenameSep = " - ";
        o.ReplaceCount = Int(0, 5);
        for (int i = 0; i < o.ReplaceCount; ++i)
            o.ReplacePairs[static_cast<std::size_t>(i)] = {text(3), text(3)};
        return o;
    }

private:
    std::mt19937 gen_;
};

TEST(Utf8, RoundTripOfAnyBytes) {
    Random random(7);
    for (int i = 0; i < 20000; ++i) {
        const std::string bytes = random.Bytes(24);
        const std::u32string decoded = DecodeUtf8(bytes);
        ASSERT_EQ(EncodeUtf8(decoded), bytes);
        ASSERT_TRUE(IsValidUtf8(bytes) ==
                    (std::count_if(decoded.begin(), decoded.end(),
                                   [](char32_t c) { return c >= 0xDC80 && c <= 0xDCFF; }) == 0));
    }
    // Overlong forms, encoded surrogates and values past U+10FFFF are not UTF-8.
    for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"}) {
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
        EXPECT_EQ(DecodeUtf8(bad).size(), std::string(bad).size());
    }
    EXPECT_EQ(DecodeUtf8("\xF0\x9F\x98\x80"), U"\U0001F600");
}

// Random option sets and names: the engine never crashes or hangs, keeps valid UTF-8
// valid, and is a pure function of its inputs.
TEST(NewNameRandom, ValidTextStaysValid) {
    Random random(20261207);
    for (int i = 0; i < 20000; ++i) {
        const RenameOptionSet o = random.Options(false);
        const std::string name = random.Utf8Text(12);
        const std::int32_t number = random.Number();
        const std::string result = ComputeNewName(o, name, number);
        ASSERT_TRUE(IsValidUtf8(result)) << "name '" << name << "'";
        ASSERT_EQ(ComputeNewName(o, name, number), result);
    }
}

TEST(NewNameRandom, AnyBytesGiveNoCrash) {
    Random random(99);
    for (int i = 0; i < 20000; ++i) {
        const RenameOptionSet o = random.Options(true);
        const std::string name = random.Bytes(16);
        const std::string result = ComputeNewName(o, name, random.Number());
        // Nothing that the options did not produce appears: with no active option the
        // name comes back byte for byte.
        if (!HasActiveOptions(o) && !o.AddFileExtToFilename) {
            ASSERT_EQ(result, name);
        }
    }
}

// Options that make the name grow without bound (a pair that doubles a letter, added
// again and again; a fill length or pattern from a hand-made scheme) must not exhaust
// memory: the working name stops at a length no file name comes near.
TEST(NewNameRandom, GrowthStopsAtTheWorkingLimit) {
    const std::size_t limit = steps::kMaxWorkingLength;
    struct Row {
        const char* label;
        void (*setup)(RenameOptionSet&);
    };
    const Row rows[] = {
        {"doubling pairs",
         [](RenameOptionSet& o) {
             o.ReplaceGroup = o.ReplaceEnabled = true;
             o.ReplaceCount = MaxReplacePairs;
             for (ReplacePair& p : o.ReplacePairs)
                 p = {"a", "aa"};
         }},
        {"doubling patterns",
         [](RenameOptionSet& o) {
             o.ReplaceGroup = o.ReplaceEnabled = o.ReplaceRegularExpressions = true;
             o.ReplaceCount = 16; // past the limit; each match there costs a call
             for (ReplacePair& p : o.ReplacePairs)
                 p = {"a", "$0$0$0"};
         }},
        {"fill length from a scheme",
         [](RenameOptionSet& o) {
             o.InsertGroup = o.NumberIncEnabled = true;
             o.NumberIncMinLength = 2147483647;
         }},
        {"pattern repeating a long block",
         [](RenameOptionSet& o) {
             o.InsertGroup = o.NumberIncEnabled = true;
             o.NumberIncMinLength = 999999;
             o.ShuffleGroup = o.AlterLogicFilename = true;
             o.AlterLogicFilenameString.clear();
             for (int i = 0; i < 16000; ++i)
                 o.AlterLogicFilenameString += "%a";
         }},
    };
    for (const Row& row : rows) {
        RenameOptionSet o;
        row.setup(o);
        const std::string result = ComputeNewName(o, "a.txt", 7);
        EXPECT_EQ(result.size(), limit + 4) << row.label; // the extension comes on top
        EXPECT_EQ(result.substr(result.size() - 4), ".txt") << row.label;
    }
}

} // namespace
} // namespace qm
