// quillmark-cli against a settings store: `schemes` lists what is stored, `preview
// --scheme NAME` renames by a stored scheme, `--debug` reads the development settings.

#include "runprocess.h"
#include "settings/settings.h"
#include "storefixture.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace qm {
namespace {

using test::BinPath;
using test::ProcessResult;
using test::RunProcess;

class CliSchemes : public test::StoreFixture {
protected:
    static ProcessResult Cli(const std::vector<std::string>& args) {
        return RunProcess(BinPath("quillmark-cli"), args);
    }

    static void Store(bool development, const std::vector<SchemeEntry>& schemes) {
        TSettings settings;
        settings.UseDevelopmentKey = development;
        for (const SchemeEntry& entry : schemes)
            settings.Schemas.Add(entry);
        ASSERT_TRUE(settings.Save());
    }
};

TEST_F(CliSchemes, ListsTheStoredNamesInStoreOrder) {
    ProcessResult r = Cli({"schemes"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(std::filesystem::exists(UserFile())) << "listing must not create the store";

    Store(false, {{"Zebra", "Version=1"}, {"Holiday photos", "Version=1"}, {"ärger", ""}});
    Store(true, {{"Only in development", "Version=1"}});
    r = Cli({"schemes"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "Zebra\nHoliday photos\närger\n");
    r = Cli({"schemes", "--debug"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Only in development\n");

    r = Cli({"schemes", "--verbose"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

TEST_F(CliSchemes, PreviewUsesTheNamedStoredScheme) {
    RenameOptionSet spaces;
    spaces.ReplaceGroup = true;
    spaces.ConvertUnderscoreSpaces = true;
    RenameOptionSet numbered;
    numbered.InsertGroup = true;
    numbered.NumberIncEnabled = true;
    numbered.NumberIncAddFrontSep = true;
    numbered.NumberIncValue = 7;
    TSettings settings;
    settings.Schemas.SaveOptions("Spaces", spaces);
    settings.Schemas.SaveOptions("spaces", numbered); // a case twin: the store keeps one
    settings.Schemas.SaveOptions("Numbered", numbered);
    ASSERT_TRUE(settings.Save());

    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string out;
        std::string errPart = ""; // within the one line on stderr, when it is not ""
    };
    const std::vector<Case> cases = {
        {{"preview", "--scheme", "Numbered", "a_b.txt", "dir/c"},
         0,
         "a_b.txt\ta_b - 7.txt\ndir/c\tdir/c - 8\n"},
        {{"preview", "--scheme=Numbered", "--start", "1", "x"}, 0, "x\tx - 1\n"},
        // The twin written last holds the value, under the first spelling.
        {{"preview", "--scheme", "Spaces", "a_b.txt"}, 0, "a_b.txt\ta_b - 7.txt\n"},
        {{"preview", "--scheme", "spaces", "a_b.txt"}, 2, ""},
        {{"preview", "--scheme", "Missing", "a"}, 2, "", "no scheme named 'Missing'"},
        {{"preview", "--scheme", "Numbered", "--debug", "a"}, 2, ""},
        {{"preview", "--scheme"}, 2, ""},
        {{"preview", "--scheme", "Numbered", "--scheme-file", "/dev/null", "a"}, 2, ""},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const std::string& a : c.args)
            joined += a + " ";
        SCOPED_TRACE(joined);
        const ProcessResult r = Cli(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(r.out, c.out);
        if (c.exitCode != 0) {
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        }
        EXPECT_NE(r.err.find(c.errPart), std::string::npos) << r.err;
    }
}

TEST_F(CliSchemes, ADamagedStoreIsReportedAndListsNothing) {
    std::filesystem::create_directories(std::filesystem::path(UserFile()).parent_path());
    std::ofstream(UserFile()) << "not a database";
    const ProcessResult r = Cli({"schemes"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("moved it to"), std::string::npos) << r.err;
}

} // namespace
} // namespace qm
