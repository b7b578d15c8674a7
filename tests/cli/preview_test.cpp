#include "runprocess.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>

namespace qm::test {
namespace {

namespace fs = std::filesystem;

// Runs `f` when it leaves scope, so that a failed check cannot leak changed variables
// into the tests that follow.
template <class F> struct ScopeExit {
    F f;
    ~ScopeExit() { f(); }
};
template <class F> ScopeExit<F> OnScopeExit(F f) {
    return ScopeExit<F>{std::move(f)};
}

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
    ProcessResult r =
        Cli({"preview", "--scheme-file", scheme, "a_b.txt", "photos/c.jpg", "d", "e_f//"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "a_b.txt\ta b - 05.txt\n"
                     "photos/c.jpg\tphotos/c - 06.jpg\n"
                     "d\td - 07\n"
                     "e_f//\te f - 08\n");

    // The number stays at the top of its range, as in the run; both ends are accepted.
    r = Cli({"preview", "--start=999999", "--scheme-file=" + scheme, "--", "-x", "y"});
    EXPECT_EQ(r.out, "-x\t-x - 999999\ny\ty - 999999\n");
    EXPECT_EQ(Cli({"preview", "--start=0", "--scheme-file=" + scheme, "y"}).out, "y\ty - 00\n");
    // A scheme's number outside the range is held in it, as the window's field holds it.
    const std::string low = WriteScheme("Version=1\nInsertGroup=true\nNumberIncEnabled=true\n"
                                        "NumberIncValue=-4\n");
    const std::string y = (dir_ / "y").string();
    std::ofstream{y};
    r = Cli({"rename", "--verbose", "--scheme-file", low, y});
    EXPECT_EQ(r.out, y + "\t" + y + "0\n1 renamed, 0 unchanged, 0 failed\n");
}

// The number counts each folder's names on their own with the number per folder, and
// files that share a name as one with companions, in the preview as in the dry run, whose
// lines take the prediction's names.
TEST_F(PreviewCommand, NumbersPerFolderAndForCompanionsAsTheRunGivesThem) {
    const struct {
        const char* key;
        std::vector<std::pair<std::string, std::string>> names; // given, and as renamed
    } rows[] = {
        {"NumberPerFolder", {{"x/a", "x/1"}, {"y/b", "y/1"}, {"x/c", "x/2"}, {"y/d", "y/2"}}},
        {"RenameCompanions",
         {{"IMG_1.JPG", "1.JPG"}, {"IMG_1.xmp", "1.xmp"}, {"IMG_2.JPG", "2.JPG"}}},
    };
    for (const auto& row : rows) {
        const std::string scheme = WriteScheme(
            "Version=1\n" + std::string(row.key) +
            "=true\nReplaceGroup=true\nReplaceEnabled=true\nReplaceRegularExpressions=true\n"
            "ReplaceText1=.+\nInsertGroup=true\nNumberIncEnabled=true\nNumberIncValue=1\n");
        std::vector<std::string> preview = {"preview", "--scheme-file", scheme};
        std::vector<std::string> dryRun = {"rename", "--dry-run", "--scheme-file", scheme};
        std::string expected;
        for (const auto& [given, renamed] : row.names) {
            fs::create_directories((dir_ / given).parent_path());
            std::ofstream{dir_ / given};
            preview.push_back((dir_ / given).string());
            dryRun.push_back((dir_ / given).string());
            expected += (dir_ / given).string() + "\t" + (dir_ / renamed).string() + "\n";
        }
        EXPECT_EQ(Cli(preview).out, expected) << row.key;
        EXPECT_EQ(Cli(dryRun).out,
                  expected + std::to_string(row.names.size()) + " renamed, 0 unchanged, 0 failed\n")
            << row.key;
    }
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

    // A find text holding ":" is named on a line of its own before its pair.
    const std::string colon =
        WriteScheme("Version=1\nReplaceGroup=true\nReplaceEnabled=true\n"
                    "ReplaceFind1=:\nReplaceText1=::-\n");
    r = Cli({"preview", "--scheme-file", colon, "a:b:c.txt"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "a:b:c.txt\ta-b-c.txt\n");
}

TEST_F(PreviewCommand, PairOrderFollowsTheCollationLocale) {
    // Swedish sorts "ä" after "z", English before it: pair order decides the result. "C"
    // and "POSIX" order by code point, beyond ASCII too: "f" before "é".
    const std::string swedish = WriteScheme("Version=1\nReplaceGroup=true\nReplaceEnabled=true\n"
                                            "ReplaceText1=\xC3\xA4:x\nReplaceText2=z:\xC3\xA4\n");
    const std::string posix = (dir_ / "posix.scheme").string();
    std::ofstream(posix) << "Version=1\nReplaceGroup=true\nReplaceEnabled=true\n"
                            "ReplaceText1=\xC3\xA9:f\nReplaceText2=f:g\n";
    struct Env {
        const char* lcAll;
        const char* lcCollate;
        const char* lang;
        const std::string& scheme;
        const char* name;
        const char* expected; // "z" first gives "xx", "ä" first "äx"; "f" first gives "f"
    };
    const char* za = "z\xC3\xA4";
    const std::vector<Env> rows = {
        {nullptr, nullptr, "en_US.UTF-8", swedish, za, "\xC3\xA4x"},
        {nullptr, "sv_SE.UTF-8", "en_US.UTF-8", swedish, za, "xx"},
        {"en_US.UTF-8", "sv_SE.UTF-8", "sv_SE.UTF-8", swedish, za, "\xC3\xA4x"},
        {nullptr, nullptr, "sv_SE.UTF-8", swedish, za, "xx"},
        {nullptr, nullptr, "en_US.UTF-8", posix, "\xC3\xA9", "g"},
        {"C", nullptr, "en_US.UTF-8", posix, "\xC3\xA9", "f"},
        {nullptr, "POSIX", "en_US.UTF-8", posix, "\xC3\xA9", "f"},
        {nullptr, nullptr, "C.UTF-8", posix, "\xC3\xA9", "f"},
    };
    std::vector<std::pair<const char*, std::optional<std::string>>> saved;
    for (const char* var : {"LC_ALL", "LC_COLLATE", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(var);
        saved.emplace_back(var, value ? std::optional<std::string>(value) : std::nullopt);
    }
    auto restore = OnScopeExit([&] {
        for (const auto& [var, value] : saved) {
            if (value)
                setenv(var, value->c_str(), 1);
            else
                unsetenv(var);
        }
    });
    unsetenv("LC_MESSAGES");
    for (const Env& e : rows) {
        auto set = [](const char* var, const char* value) {
            if (value)
                setenv(var, value, 1);
            else
                unsetenv(var);
        };
        set("LC_ALL", e.lcAll);
        set("LC_COLLATE", e.lcCollate);
        set("LANG", e.lang);
        const ProcessResult r = Cli({"preview", "--scheme-file", e.scheme, e.name});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, std::string(e.name) + "\t" + e.expected + "\n")
            << (e.lcAll ? e.lcAll : "-") << " " << (e.lcCollate ? e.lcCollate : "-") << " "
            << e.lang;
    }
}

TEST_F(PreviewCommand, SortNumbersByFolderThenName) {
    const std::string scheme = WriteScheme("Version=1\nInsertGroup=true\nNumberIncEnabled=true\n"
                                           "NumberIncAddFrontSep=true\nNumberIncValue=1\n");
    // Given backwards; a folder goes after the names without one whatever its name.
    std::vector<std::string> args = {"preview",       "--sort", "natural",
                                     "--scheme-file", scheme,   "a/IMG_0"};
    std::string natural;
    for (int i = 12; i >= 1; --i) {
        const std::string name = "IMG_" + std::to_string(13 - i);
        args.push_back("IMG_" + std::to_string(i));
        natural += name + "\t" + name + " - " + std::to_string(13 - i) + "\n";
    }
    EXPECT_EQ(Cli(args).out, natural + "a/IMG_0\ta/IMG_0 - 13\n");
    args[2] = "name";
    EXPECT_NE(Cli(args).out.find("IMG_1\tIMG_1 - 1\nIMG_10\tIMG_10 - 2\n"), std::string::npos);

    // The run numbers the files in the same order.
    args = {"rename", "--sort=natural", "--scheme-file", scheme};
    for (const char* name : {"IMG_10", "IMG_2", "IMG_1"})
        std::ofstream{args.emplace_back((dir_ / name).string())};
    EXPECT_EQ(Cli(args).exitCode, 0);
    EXPECT_TRUE(fs::exists(dir_ / "IMG_1 - 1") && fs::exists(dir_ / "IMG_2 - 2") &&
                fs::exists(dir_ / "IMG_10 - 3"));

    // A folder before those whose names begin with its own.
    EXPECT_EQ(
        Cli({"preview", "--sort", "name", "--scheme-file", scheme, "--", "photos 2/a", "photos/b",
             "photos-old/c"})
            .out,
        "photos/b\tphotos/b - 1\nphotos 2/a\tphotos 2/a - 2\nphotos-old/c\tphotos-old/c - 3\n");

    const ProcessResult r = Cli({"preview", "--sort", "size", "--scheme-file", scheme, "x"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("'size'"), std::string::npos) << r.err;
}

TEST_F(PreviewCommand, NamesFromAListComeAfterTheCommandLinesAndAreNumberedOn) {
    const std::string scheme = WriteScheme("Version=1\nInsertGroup=true\nNumberIncEnabled=true\n"
                                           "NumberIncValue=1\n");
    const std::string nul = (dir_ / "nul").string(), lines = (dir_ / "lines").string();
    std::ofstream(nul, std::ios::binary) << std::string("b\0\0d/c\0", 7);
    std::ofstream(lines, std::ios::binary) << "b\n\nd/c";
    const std::string given = "z\tz1\nb\tb2\nd/c\td/c3\n";
    EXPECT_EQ(Cli({"preview", "--scheme-file", scheme, "--files-from", nul, "-0", "z"}).out, given);
    EXPECT_EQ(Cli({"preview", "--scheme-file", scheme, "--files-from", lines, "z"}).out, given);
    // Sorted, the list's names and the command line's are one set.
    EXPECT_EQ(
        Cli({"preview", "--sort", "name", "--scheme-file", scheme, "--files-from", lines, "z"}).out,
        "b\tb1\nz\tz2\nd/c\td/c3\n");
    // A list read as lines that holds a NUL byte is refused, as rename refuses it.
    const ProcessResult r = Cli({"preview", "--scheme-file", scheme, "--files-from", nul, "z"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("holds a NUL byte"), std::string::npos) << r.err;
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
    auto notScheme = [&](const std::string& name, const std::string& text, const char* reason) {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return Row{{"preview", "--scheme-file", path, "a"},
                   path + " is not a scheme file: " + reason};
    };
    const std::vector<Row> rows = {
        notScheme("blank", "\r\n\n", "it is empty"),
        notScheme("binary", std::string("\177ELF\0\0=\1", 8), "it has no 'Version=1' line"),
        notScheme("v2", "Version=2\n", "it is of version 2"),
        notScheme("nul", std::string("Version=1\nInsertBackText=x\0y\n", 29),
                  "the value of 'InsertBackText' holds a NUL byte"),
        {{"preview", "--scheme-file", scheme, "--start", "-1", "a"}, "from 0 to 999999"},
        {{"preview", "--scheme-file", scheme, "--start", "1000000", "a"}, "from 0 to 999999"},
        {{"rename", "--scheme-file", scheme, "--files-from", scheme, "--files-from", scheme, "a"},
         "'--files-from' was given twice"},
        {{"preview", "--scheme-file", scheme, "--files-from", scheme, "--files-from", scheme},
         "'--files-from' was given twice"},
        {{"preview", "--scheme-file", scheme, "-0", "a"}, "'-0' needs '--files-from LIST'"},
        {{"preview", "--scheme-file", (dir_ / "missing").string(), "a"}, "cannot read scheme file"},
        {{"preview", "--scheme-file", dir_.string(), "a"}, "cannot read scheme file"},
        // A device that never ends is refused, not read until memory runs out.
        {{"preview", "--scheme-file", "/dev/zero", "a"}, "too large"},
        {{"preview", "a"}, "missing '--scheme NAME' or '--scheme-file FILE'"},
        {{"preview", "--scheme-file"}, "needs a file name"},
        {{"preview", "--scheme-file", scheme, "--start", "12x", "a"}, "not a whole number"},
        {{"preview", "--scheme-file", scheme, "--start", "99999999999", "a"}, "not a whole number"},
        {{"preview", "--scheme-file", scheme, "--frobnicate", "a"}, "unknown option"},
        {{"frobnicate", "a"}, "unknown command"},
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
    // The options that act on the run rather than on the names, which no example shows.
    for (const char* key :
         {"CreateFolders=", "NumberTakenNames=", "RenameCompanions=", "NumberPerFolder="}) {
        EXPECT_NE(r.out.find(key), std::string::npos) << key;
    }
}

TEST(BuiltPrograms, CliPrintsItsVersion) {
    const ProcessResult result = RunProcess(BinPath("quillmark-cli"), {"--version"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "quillmark-cli (Quillmark) 2.1.0.43\n");
    EXPECT_EQ(result.err, "");
}

} // namespace
} // namespace qm::test
