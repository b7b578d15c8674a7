#include "runprocess.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace qm::test {
namespace {

namespace fs = std::filesystem;

class PreviewCommand : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("qm-cli-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string WriteScheme(const std::string& text) {
        const fs::path path = dir_ / "test.scheme";
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    ProcessResult Cli(const std::vector<std::string>& args) {
        return RunProcess(BinPath("quillmark-cli"), args);
    }

    fs::path dir_;
};

TEST_F(PreviewCommand, PrintsOneLinePerNameWithNumbersFromTheStart) {
    // LF line ends, as a text editor writes them.
    const std::string scheme = WriteScheme("Version=1\n"
                                           "InsertGroup=true\n"
                                           "NumberIncEnabled=true\n"
                                           "NumberIncAddFrontSep=true\n"
                                           "NumberIncMinLength=2\n"
                                           "NumberIncValue=5\n"
                                           "ReplaceGroup=true\n"
                                           "ConvertUnderscoreSpaces=true\n");
    ProcessResult r = Cli({"preview", "--scheme-file", scheme, "a_b.txt", "photos/c.jpg", "d"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "a_b.txt\ta b - 05.txt\n"
                     "photos/c.jpg\tphotos/c - 06.jpg\n"
                     "d\td - 07\n");

    r = Cli({"preview", "--start=-1", "--scheme-file=" + scheme, "--", "-x"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "-x\t-x - -01\n");
}

TEST_F(PreviewCommand, PairsApplyInSortedOrderWhateverTheFileOrder) {
    // Stored as b then a; the window's list holds them sorted, so "a" goes first:
    // "ab" -> "bb" -> "cc". In file order it would be "ac".
    const std::string scheme =
        WriteScheme("Version=1\r\nReplaceGroup=true\r\nReplaceEnabled=true\r\n"
                    "ReplaceText1=b:c\r\nReplaceText2=a:b\r\n");
    ProcessResult r = Cli({"preview", "--scheme-file", scheme, "ab.txt"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "ab.txt\tcc.txt\n");
}

TEST_F(PreviewCommand, SchemeFileMayStartWithAByteOrderMark) {
    // Some editors put one in front of UTF-8 text; it is not part of the first key.
    const std::string scheme =
        WriteScheme("\xEF\xBB\xBFVersion=1\r\nInsertGroup=true\r\nInsertFront=true\r\n"
                    "InsertFrontText=\xEF\xBB\xBFx\r\n");
    ProcessResult r = Cli({"preview", "--scheme-file", scheme, "a.txt"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "a.txt\t\xEF\xBB\xBFxa.txt\n");
}

TEST_F(PreviewCommand, BadInputGivesOneLineOnStderrAndExit2) {
    const std::string scheme = WriteScheme("Version=1\n");
    struct Row {
        std::vector<std::string> args;
        std::string errorPart;
    };
    const std::vector<Row> rows = {
        {{"preview", "--scheme-file", (dir_ / "missing").string(), "a"}, "cannot read scheme file"},
        {{"preview", "--scheme-file", dir_.string(), "a"}, "cannot read scheme file"},
        // A device that never ends is refused, not read until memory runs out.
        {{"preview", "--scheme-file", "/dev/zero", "a"}, "too large"},
        {{"preview", "a"}, "missing '--scheme NAME' or '--scheme-file FILE'"},
        {{"preview", "--scheme-file"}, "needs a file name"},
        {{"preview", "--scheme-file", scheme, "--start", "12x", "a"}, "not a whole number"},
        {{"preview", "--scheme-file", scheme, "--start", "99999999999", "a"}, "not a whole number"},
        {{"preview", "--scheme-file", scheme, "--frobnicate", "a"}, "unknown option"},
        {{"rename", "a"}, "unknown command"},
        {{}, "missing command"},
    };
    for (const Row& row : rows) {
        const ProcessResult r = Cli(row.args);
        EXPECT_EQ(r.exitCode, 2) << row.errorPart;
        EXPECT_EQ(r.out, "") << row.errorPart;
        EXPECT_NE(r.err.find(row.errorPart), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

TEST_F(PreviewCommand, NeverTouchesTheNamedFiles) {
    const fs::path file = dir_ / "keep_me.txt";
    std::ofstream(file) << "data";
    const std::string scheme =
        WriteScheme("Version=1\nReplaceGroup=true\nConvertUnderscoreSpaces=true\n");
    const ProcessResult r = Cli({"preview", "--scheme-file", scheme, file.string()});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, file.string() + "\t" + (dir_ / "keep me.txt").string() + "\n");
    EXPECT_TRUE(fs::exists(file));
    EXPECT_FALSE(fs::exists(dir_ / "keep me.txt"));
}

TEST_F(PreviewCommand, HelpExplainsThePreview) {
    const ProcessResult r = Cli({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("--scheme-file FILE"), std::string::npos);
    EXPECT_NE(r.out.find("--start"), std::string::npos);
}

} // namespace
} // namespace qm::test
