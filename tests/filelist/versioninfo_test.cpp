// Version information: reading the embedded block back from files, the version texts,
// and files that are not what they claim to be.

#include "elfimage.h"
#include "filelist/elfsection.h"
#include "filelist/versionblock.h"
#include "filelist/versioninfo.h"

#include <QTemporaryDir>
#include <cstdlib>
#include <fstream>
#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <unicode/uloc.h>

namespace qm {
namespace {

namespace vb = versionblock;

struct BlockLayout {
    std::array<std::uint16_t, 4> Version{};
    std::uint16_t Language = 0x0409;
    std::uint16_t CodePage = 0x04E4;
    std::vector<vb::Field> Strings;
};

std::vector<unsigned char> Block(const BlockLayout& layout) {
    vb::Description d{layout.Version, layout.Language, layout.CodePage, layout.Strings};
    return vb::EncodeVersionBlock(d);
}

class VersionFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        UErrorCode status = U_ZERO_ERROR;
        uloc_setDefault("en_US", &status); // language names in English
    }

    // An ELF file holding `block` as its version section.
    std::string ElfWith(const std::vector<unsigned char>& block, bool is64 = true,
                        bool bigEndian = false) {
        auto image =
            test::MakeElf(is64, bigEndian, {{".text", {0x90, 0x90}}, {vb::kSectionName, block}});
        return Write(image.Bytes);
    }

    std::string Write(const std::vector<unsigned char>& bytes) {
        const std::string path = dir_.path().toStdString() + "/f" + std::to_string(next_++);
        EXPECT_TRUE(test::WriteFile(path, bytes));
        return path;
    }

    QTemporaryDir dir_;
    int next_ = 0;
};

TEST(PadNumber, PadsOnTheLeftAndNeverCuts) {
    struct Row {
        unsigned n;
        int width;
        char ch;
        const char* expected;
    } rows[] = {
        {7, 2, '0', "07"}, {43, 2, '0', "43"},  {123, 2, '0', "123"},     {0, 2, '0', "00"},
        {5, 0, 'x', "5"},  {5, -3, 'x', "5"},   {5, 4, ' ', "   5"},      {0, 1, '0', "0"},
        {9, 1, '0', "9"},  {10, 3, '*', "*10"}, {65535, 5, '0', "65535"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(PadNumber(row.n, row.width, row.ch), row.expected)
            << row.n << " width " << row.width;
}

TEST_F(VersionFiles, ShortAndLongVersionTexts) {
    struct Row {
        std::array<std::uint16_t, 4> version;
        const char* shortText;
        const char* longText;
        const char* dotted;
    } rows[] = {
        {{1, 0, 0, 7}, "1.0", "1.00.07", "1.0.0.7"},
        {{2, 10, 0, 0}, "2.1", "2.10.00", "2.10.0.0"},
        {{10, 10, 0, 0}, "10.10", "10.10.00", "10.10.0.0"},
        {{1, 123, 0, 0}, "1.123", "1.123.00", "1.123.0.0"},
        {{2, 1, 0, 43}, "2.01", "2.01.43", "2.1.0.43"},
        {{1, 50, 0, 0}, "1.5", "1.50.00", "1.50.0.0"},
        {{1, 5, 9, 123}, "1.05", "1.05.123", "1.5.9.123"},
        {{12, 30, 0, 0}, "12.30", "12.30.00", "12.30.0.0"},
        {{0, 0, 0, 0}, "0.0", "0.00.00", "0.0.0.0"},
        {{3, 0, 0, 54}, "3.0", "3.00.54", "3.0.0.54"},
        {{65535, 65535, 65535, 65535},
         "65535.65535",
         "65535.65535.65535",
         "65535.65535.65535.65535"},
    };
    for (const Row& row : rows) {
        TVersionInfo info;
        info.LoadFromFile(ElfWith(Block({row.version, 0x0409, 0x04E4, {}})));
        ASSERT_TRUE(info.HasVersionData());
        EXPECT_EQ(info.GetInfo(TVersionInfo::InfoShortVersion), row.shortText);
        EXPECT_EQ(info.GetInfo(TVersionInfo::InfoLongVersion), row.longText);
        EXPECT_EQ(info.DottedVersion(), row.dotted);
        for (int part = 0; part < 4; ++part)
            EXPECT_EQ(info.GetVersionNumber(part), row.version[static_cast<std::size_t>(part)]);
        EXPECT_EQ(info.GetVersionNumber(4), 0);
        EXPECT_EQ(info.GetVersionNumber(-1), 0);
    }
}

TEST_F(VersionFiles, EveryInfoIndexReadsItsOwnValue) {
    BlockLayout layout{{4, 2, 0, 9}, 0x0407, 0x04E4, {}};
    const char* keys[] = {"CompanyName",    "FileDescription", "FileVersion",      "InternalName",
                          "LegalCopyright", "LegalTrademarks", "OriginalFilename", "ProductName",
                          "ProductVersion", "Comments"};
    std::vector<std::string> values;
    for (const char* key : keys)
        values.push_back(std::string("value of ") + key);
    // Keys match without regard to case: every other one is stored in capitals.
    std::vector<std::string> stored(std::begin(keys), std::end(keys));
    for (std::size_t i = 0; i < stored.size(); i += 2)
        std::transform(stored[i].begin(), stored[i].end(), stored[i].begin(), ::toupper);
    for (std::size_t i = 0; i < values.size(); ++i)
        layout.Strings.push_back({stored[i], values[i]});
    TVersionInfo info;
    info.LoadFromFile(ElfWith(Block(layout), /*is64=*/false, /*bigEndian=*/true));
    ASSERT_TRUE(info.HasVersionData());
    EXPECT_EQ(info.Translation(), "040704E4");
    EXPECT_EQ(info.GetInfo(0), "German (Germany)");
    for (int index = 1; index <= 10; ++index)
        EXPECT_EQ(info.GetInfo(index), values[static_cast<std::size_t>(index - 1)]) << index;
    for (int index : {-1, 13, 100})
        EXPECT_EQ(info.GetInfo(index), "") << index;
}

TEST_F(VersionFiles, StringValuesAreCutTo254Characters) {
    struct Row {
        std::string value;
        std::string expected;
    } rows[] = {
        {std::string(254, 'a'), std::string(254, 'a')},
        {std::string(255, 'a'), std::string(254, 'a')},
        {std::string(300, 'a'), std::string(254, 'a')},
        {[] {
             std::string s;
             for (int i = 0; i < 300; ++i)
                 s += "\xC3\xA9"; // é: cut by characters, not bytes
             return s;
         }(),
         [] {
             std::string s;
             for (int i = 0; i < 254; ++i)
                 s += "\xC3\xA9";
             return s;
         }()},
        // Bytes that are not UTF-8 count one character each, stray continuation bytes too.
        {std::string(300, '\x80'), std::string(254, '\x80')},
        {"\xC3\xA9" + std::string(300, '\xA9'), "\xC3\xA9" + std::string(253, '\xA9')},
        {[] { // a sequence cut short: two characters
             std::string s(100, 'a');
             for (int i = 0; i < 100; ++i)
                 s += "\xE2\x82";
             return s;
         }(),
         [] {
             std::string s(100, 'a');
             for (int i = 0; i < 77; ++i)
                 s += "\xE2\x82";
             return s;
         }()},
        {std::string("ab\0cd", 5), "ab"},
        {"", ""},
    };
    for (const Row& row : rows) {
        TVersionInfo info;
        info.LoadFromFile(
            ElfWith(Block({{1, 0, 0, 0}, 0x0409, 0x04E4, {{"Comments", row.value}}})));
        EXPECT_EQ(info.GetInfo(TVersionInfo::InfoComments), row.expected)
            << row.value.size() << " bytes";
    }
}

TEST_F(VersionFiles, FileWithoutVersionDataAnswersEmptyAndKeepsTheLanguage) {
    TVersionInfo info;
    const std::string withBlock =
        ElfWith(Block({{2, 5, 0, 1}, 0x0407, 0x04E4, {{"CompanyName", "Acme"}}}));
    info.LoadFromFile(withBlock);
    ASSERT_EQ(info.GetInfo(1), "Acme");

    const std::string plain = Write({'h', 'e', 'l', 'l', 'o'});
    info.LoadFromFile(plain);
    EXPECT_EQ(info.FileName(), plain);
    EXPECT_FALSE(info.HasVersionData());
    for (int index = 1; index <= 10; ++index)
        EXPECT_EQ(info.GetInfo(index), "") << index;
    EXPECT_EQ(info.GetInfo(11), "0.0");
    EXPECT_EQ(info.GetInfo(12), "0.00.00");
    for (int part = 0; part < 4; ++part)
        EXPECT_EQ(info.GetVersionNumber(part), 0);
    // Language name and translation stay as the earlier load left them.
    EXPECT_EQ(info.GetInfo(0), "German (Germany)");
    EXPECT_EQ(info.Translation(), "040704E4");
}

TEST_F(VersionFiles, MissingFileOrFolderChangesNothing) {
    TVersionInfo info;
    const std::string withBlock =
        ElfWith(Block({{2, 5, 0, 1}, 0x0409, 0x04E4, {{"ProductName", "P"}}}));
    info.LoadFromFile(withBlock);
    for (const std::string& name :
         {dir_.path().toStdString() + "/absent", dir_.path().toStdString(), std::string()}) {
        info.LoadFromFile(name);
        EXPECT_EQ(info.FileName(), withBlock);
        EXPECT_EQ(info.GetInfo(8), "P");
        EXPECT_EQ(info.GetInfo(12), "2.05.01");
    }
}

TEST_F(VersionFiles, BlockWithoutTranslationHasTranslationZero) {
    auto bytes = Block({{1, 0, 0, 0}, 0x0409, 0x04E4, {{"CompanyName", "Acme"}}});
    // Translation count (after magic, layout and four version numbers) to 0, pair gone.
    bytes[18] = 0;
    bytes.erase(bytes.begin() + 20, bytes.begin() + 24);
    TVersionInfo info;
    info.LoadFromFile(ElfWith(Block({{1, 0, 0, 0}, 0x0407, 0x04E4, {}})));
    ASSERT_EQ(info.Translation(), "040704E4");
    info.LoadFromFile(ElfWith(bytes)); // the earlier file's translation must not stay
    ASSERT_TRUE(info.HasVersionData());
    EXPECT_EQ(info.Translation(), "00000000");
    EXPECT_EQ(info.GetInfo(1), ""); // the strings belong to 040904E4, which is not asked
    EXPECT_EQ(info.GetInfo(11), "1.0");
}

TEST_F(VersionFiles, OnlyTheSectionOfExactlyThatNameIsTheBlock) {
    const auto block = Block({{1, 0, 0, 0}, 0x0409, 0x04E4, {{"CompanyName", "Acme"}}});
    const std::string longer = std::string(vb::kSectionName) + "2";
    TVersionInfo info;
    info.LoadFromFile(Write(test::MakeElf(true, false, {{longer, block}}).Bytes));
    EXPECT_FALSE(info.HasVersionData());
}

TEST_F(VersionFiles, BrokenFilesGiveNoDataAndNeverCrash) {
    const std::vector<unsigned char> block =
        Block({{2, 1, 0, 43}, 0x0409, 0x04E4, {{"ProductName", "Quillmark"}}});
    const test::ElfImage good =
        test::MakeElf(true, false, {{".text", {1, 2, 3}}, {vb::kSectionName, block}});
    const int versionSection = 2;
    struct Row {
        const char* what;
        std::function<void(test::ElfImage&)> damage;
    } rows[] = {
        {"not ELF",
         [](test::ElfImage& e) {
             e.Bytes[1] = 'X';
         }},
        {"unknown class",
         [](test::ElfImage& e) {
             e.Bytes[4] = 7;
         }},
        {"unknown byte order",
         [](test::ElfImage& e) {
             e.Bytes[5] = 0;
         }},
        {"section table far away",
         [](test::ElfImage& e) {
             e.Put(40, 0xFFFFFFFFFFFFFF00ull, 8);
         }},
        {"no section table",
         [](test::ElfImage& e) {
             e.Put(40, 0, 8);
         }},
        {"tiny section headers",
         [](test::ElfImage& e) {
             e.Put(58, 1, 2);
         }},
        {"too many sections",
         [](test::ElfImage& e) {
             e.Put(60, 0xFFFE, 2);
         }},
        {"name table index out of range",
         [](test::ElfImage& e) {
             e.Put(62, 0x7000, 2);
         }},
        {"section name outside table",
         [&](test::ElfImage& e) {
             e.Put(e.SectionField(versionSection, "name"), 0xFFFFFF, 4);
         }},
        {"section data past the end",
         [&](test::ElfImage& e) {
             e.Put(e.SectionField(versionSection, "offset"), e.Bytes.size() - 4, 8);
         }},
        {"section larger than the file",
         [&](test::ElfImage& e) {
             e.Put(e.SectionField(versionSection, "size"), 0xFFFFFFFFFFull, 8);
         }},
        {"section without contents",
         [&](test::ElfImage& e) {
             e.Put(e.SectionField(versionSection, "type"), 8, 4);
         }},
        {"block cut short",
         [&](test::ElfImage& e) {
             e.Put(e.SectionField(versionSection, "size"), block.size() - 3, 8);
         }},
        {"string length past the block",
         [&](test::ElfImage& e) {
             const std::uint64_t at = 0x40 + 3 + 32; // .text (3 bytes), then the fixed part
             e.Bytes[at] = 0xFF;
             e.Bytes[at + 1] = 0xFF;
         }},
        {"wrong layout version",
         [&](test::ElfImage& e) {
             e.Bytes[0x40 + 3 + 8] = 9;
         }},
    };
    for (const Row& row : rows) {
        test::ElfImage damaged = good;
        row.damage(damaged);
        TVersionInfo info;
        info.LoadFromFile(Write(damaged.Bytes));
        EXPECT_FALSE(info.HasVersionData()) << row.what;
        EXPECT_EQ(info.GetInfo(8), "") << row.what;
    }
    TVersionInfo intact;
    intact.LoadFromFile(Write(good.Bytes));
    EXPECT_EQ(intact.GetInfo(8), "Quillmark");

    // Every truncation, and random damage anywhere: no crash, and no data beyond the file.
    for (std::size_t length = 0; length < good.Bytes.size(); ++length) {
        const std::string path =
            Write({good.Bytes.begin(), good.Bytes.begin() + static_cast<std::ptrdiff_t>(length)});
        EXPECT_FALSE(ReadElfSection(path, vb::kSectionName, vb::kMaxBlockSize)) << length;
    }
    std::mt19937 random(7);
    const std::string path = dir_.path().toStdString() + "/fuzzed";
    for (int round = 0; round < 3000; ++round) {
        std::vector<unsigned char> bytes = good.Bytes;
        for (int flips = 1 + static_cast<int>(random() % 4); flips > 0; --flips)
            bytes[random() % bytes.size()] = static_cast<unsigned char>(random());
        ASSERT_TRUE(test::WriteFile(path, bytes));
        TVersionInfo info;
        info.LoadFromFile(path);
        if (info.HasVersionData()) {
            EXPECT_LE(info.GetInfo(8).size(), bytes.size());
        }
    }
}

TEST_F(VersionFiles, PipeIsNotWaitedOn) {
    const std::string fifo = dir_.path().toStdString() + "/pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    TVersionInfo info;
    info.LoadFromFile(fifo);
    EXPECT_EQ(info.FileName(), fifo);
    EXPECT_FALSE(info.HasVersionData());
}

TEST(VersionInfo, TestProgramHasNoVersionBlock) {
    TVersionInfo own; // this test program, which embeds no block
    // The name is the program's own path, not the link that leads to it.
    struct stat named {};
    struct stat running {};
    ASSERT_EQ(::stat(own.FileName().c_str(), &named), 0) << own.FileName();
    ASSERT_EQ(::stat("/proc/self/exe", &running), 0);
    EXPECT_EQ(own.FileName().front(), '/');
    EXPECT_EQ(own.FileName().find("/proc/"), std::string::npos) << own.FileName();
    EXPECT_EQ(named.st_ino, running.st_ino);
    EXPECT_EQ(named.st_dev, running.st_dev);
    EXPECT_FALSE(own.HasVersionData());
    EXPECT_EQ(own.GetInfo(12), "0.00.00");
}

std::string BinFile(const std::string& name) {
    const char* bin = std::getenv("QUILLMARK_BIN_DIR");
    return std::string(bin ? bin : ".") + "/" + name;
}

TEST(BuiltPrograms, CarryTheProductVersionBlock) {
    UErrorCode status = U_ZERO_ERROR;
    uloc_setDefault("en_US", &status);
    for (const std::string program : {"quillmark", "quillmark-cli"}) {
        SCOPED_TRACE(program);
        TVersionInfo info;
        info.LoadFromFile(BinFile(program));
        ASSERT_TRUE(info.HasVersionData());
        EXPECT_EQ(info.Translation(), "040904E4");
        EXPECT_EQ(info.GetInfo(0), "English (United States)");
        EXPECT_EQ(info.GetInfo(1), "Marlowick");
        EXPECT_FALSE(info.GetInfo(2).empty());
        EXPECT_EQ(info.GetInfo(3), "2.1.0.43");
        EXPECT_EQ(info.GetInfo(4), program);
        EXPECT_NE(info.GetInfo(5).find("Marlowick"), std::string::npos);
        EXPECT_EQ(info.GetInfo(7), program);
        EXPECT_EQ(info.GetInfo(8), "Quillmark");
        EXPECT_EQ(info.GetInfo(9), "2.1.0.43");
        EXPECT_EQ(info.GetInfo(11), "2.01");
        EXPECT_EQ(info.GetInfo(12), "2.01.43"); // the registration's "Version" value
        EXPECT_EQ(info.DottedVersion(), "2.1.0.43");
        EXPECT_EQ(info.GetVersionNumber(3), 43);
    }
}

} // namespace
} // namespace qm
