#include "renamefolder.h"
#include "runprocess.h"

#include <fstream>
#include <gtest/gtest.h>
#include <set>

namespace qm::test {
namespace {

std::set<std::string> Names(const RenameFolder& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.insert(entry.path().filename().string());
    return names;
}

TEST(RenameCommand, PathsFromTheCommandLineThenTheListWithNumbersForSuccessesOnly) {
    RenameFolder dir;
    for (const char* name : {"a0", "b6", "c0", "d0", "s.scheme", "list/"})
        dir.Make(name);
    std::ofstream(dir.Path() + "s.scheme")
        << "Version=1\nRemoveGroup=true\nRemoveBack=true\nRemoveBackCount=1\n"
           "InsertGroup=true\nNumberIncEnabled=true\nNumberIncValue=1\n";
    const std::string& p = dir.Path();
    // NUL-separated from standard input: c0 then d0; a blank entry names nothing.
    const std::string shell = "printf '" + p + "c0\\0\\0" + p + "d0' | '" +
                              BinPath("quillmark-cli") + "' rename --verbose --scheme-file '" + p +
                              "s.scheme' --start 5 --files-from - -0 -- '" + p + "a0' '" + p +
                              "b6'";
    const ProcessResult r = RunProcess("/bin/sh", {"-c", shell});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, p + "a0\t" + p + "a5\n" + p + "c0\t" + p + "c6\n" + p + "d0\t" + p +
                         "d7\n3 renamed, 1 unchanged, 0 failed\n");
    EXPECT_EQ(Names(dir), (std::set<std::string>{"a5", "b6", "c6", "d7", "s.scheme", "list"}));

    // One per line; the folder itself is renamed, trailing "/" or not, and a message gives
    // the path as it was given.
    std::ofstream(p + "paths") << p << "list/\n\n" << p << "missing9//\n";
    const ProcessResult lines =
        RunProcess(BinPath("quillmark-cli"), {"rename", "--scheme-file", p + "s.scheme",
                                              "--files-from", p + "paths", "--start=2"});
    EXPECT_EQ(lines.exitCode, 1);
    EXPECT_EQ(lines.out, "1 renamed, 0 unchanged, 1 failed\n");
    EXPECT_EQ(lines.err, "quillmark-cli: " + p + "missing9//: No such file or directory\n");
    EXPECT_TRUE(std::filesystem::is_directory(p + "lis2"));
}

TEST(RenameCommand, BadArgumentsExit2AndTouchNothing) {
    RenameFolder dir;
    dir.Make("x1");
    const std::string scheme = dir.Path() + "s.scheme";
    std::ofstream(scheme) << "Version=1\nReplaceGroup=true\nReplaceEnabled=true\n"
                             "ReplaceCount=1\nReplaceText1=x:y\n";
    const std::string file = dir.Path() + "x1";
    std::ofstream(dir.Path() + "nul-list") << std::string("x1\0", 3) << "\n";
    // The checks rename shares with preview (an unknown option, no scheme, a stored scheme
    // not found) have their rows in the preview's tests; "--start x" shows rename makes
    // them before it touches a file.
    const std::vector<std::vector<std::string>> rows = {
        {"rename", "--scheme-file", dir.Path() + "nothing", file},
        {"rename", "--scheme-file", scheme},
        {"rename", "--scheme-file", scheme, "--files-from", dir.Path() + "nothing", file},
        {"rename", "--scheme-file", scheme, "--start", "x", file},
        {"rename", "--scheme-file", scheme, "-0", file},
        {"rename", "--scheme-file", scheme, "--files-from", dir.Path() + "nul-list", file},
    };
    for (const auto& args : rows) {
        SCOPED_TRACE(args[args.size() - 2]);
        const ProcessResult r = RunProcess(BinPath("quillmark-cli"), args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_TRUE(std::filesystem::exists(file));
    }
    const ProcessResult dry = RunProcess(BinPath("quillmark-cli"),
                                         {"rename", "--dry-run", "--scheme-file", scheme, file});
    EXPECT_EQ(dry.exitCode, 0);
    EXPECT_EQ(dry.out, file + "\t" + dir.Path() + "y1\n1 renamed, 0 unchanged, 0 failed\n");
    EXPECT_TRUE(std::filesystem::exists(file));

    const ProcessResult help = RunProcess(BinPath("quillmark-cli"), {"rename", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--files-from"), std::string::npos);
}

// The dry run and the run on two copies of one folder: the same counts, the same failure
// lines (but for the folder's own path) and the same exit status; the dry run renames
// nothing and still prints the preview first.
TEST(RenameCommand, DryRunEndsWithTheRunsCountsFailuresAndStatus) {
    struct Row {
        const char* title;
        std::vector<std::string> files;
        std::string scheme;
        std::vector<std::string> paths; // relative to the folder
        int status;
        std::string preview = {}; // the preview's lines (DIR/ for the folder); "": unchecked
    };
    const std::string numbered = "RemoveGroup=true\nRemoveBack=true\nRemoveBackCount=1\n"
                                 "InsertGroup=true\nNumberIncEnabled=true\nNumberIncValue=1\n";
    const std::string pairs = "ReplaceGroup=true\nReplaceEnabled=true\nReplaceCount=3\n"
                              "ReplaceText1=x:y\nReplaceText2=z:y\nReplaceText3=d:e\n";
    const std::vector<Row> rows = {
        {"taken, missing, chain, folder with slashes",
         {"x1", "y1", "xx", "xd/", "yd/"},
         "ReplaceGroup=true\nReplaceEnabled=true\nReplaceCount=1\nReplaceText1=x:y\n",
         {"x1", "xx", "gone", "xd//"},
         1},
        // a0 cannot take a1, so b0 gets number 1, not the 2 its preview line shows
        // (b2 is taken).
        {"a failure shifts the numbers",
         {"a0", "a1", "b0", "b2"},
         numbered,
         {"a0", "b0"},
         1,
         "DIR/a0\tDIR/a1\nDIR/b0\tDIR/b2\n"},
        {"all free", {"p0", "q0"}, numbered, {"p0", "q0"}, 0, "DIR/p0\tDIR/p1\nDIR/q0\tDIR/q2\n"},
        // One folder reached by two paths: z1 finds the y1 that x1 became.
        {"one folder, two paths", {"x1", "z1"}, pairs, {"x1", "./z1"}, 1},
        // d1 is gone by the time its file's turn comes.
        {"a folder renamed before its file", {"d1/", "d1/x1"}, pairs, {"d1", "d1/x1"}, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        RenameFolder dry, real;
        std::ofstream(dry.Path() + "s.scheme") << "Version=1\n" << row.scheme;
        for (const std::string& f : row.files) {
            dry.Make(f);
            real.Make(f);
        }
        auto run = [&](const RenameFolder& dir, bool dryRun) {
            std::vector<std::string> args = {"rename", "--scheme-file", dry.Path() + "s.scheme"};
            if (dryRun)
                args.push_back("--dry-run");
            args.push_back("--");
            for (const std::string& p : row.paths)
                args.push_back(dir.Path() + p);
            ProcessResult r = RunProcess(BinPath("quillmark-cli"), args);
            for (std::size_t at; (at = r.err.find(dir.Path())) != std::string::npos;)
                r.err.replace(at, dir.Path().size(), "DIR/");
            return r;
        };
        const auto before = Names(dry);
        const ProcessResult predicted = run(dry, true);
        const ProcessResult done = run(real, false);
        EXPECT_EQ(Names(dry), before);
        EXPECT_EQ(predicted.exitCode, row.status);
        EXPECT_EQ(predicted.exitCode, done.exitCode);
        EXPECT_EQ(predicted.err, done.err);
        const std::size_t counts = predicted.out.rfind('\n', predicted.out.size() - 2) + 1;
        EXPECT_EQ(predicted.out.substr(counts), done.out);
        if (!row.preview.empty()) {
            std::string preview = predicted.out.substr(0, counts);
            for (std::size_t at; (at = preview.find(dry.Path())) != std::string::npos;)
                preview.replace(at, dry.Path().size(), "DIR/");
            EXPECT_EQ(preview, row.preview);
        }
        EXPECT_EQ(std::count(predicted.out.begin(), predicted.out.end(), '\n'),
                  static_cast<long>(row.paths.size()) + 1);
    }
}

// Not the system's "no such file", which would send the user looking for the file.
TEST(RenameCommand, AnEmptyNewNameFailsAsSuch) {
    RenameFolder dir;
    dir.Make("e1");
    std::ofstream(dir.Path() + "s") << "Version=1\nReplaceGroup=true\nReplaceEnabled=true\n"
                                       "ReplaceText1=e1:\n";
    for (const char* flags : {"--verbose", "--plan", "--dry-run", "--plan --dry-run"}) {
        const ProcessResult r =
            RunProcess("/bin/sh", {"-c", "cd '" + dir.Path() + "' && '" + BinPath("quillmark-cli") +
                                             "' rename --scheme-file s " + flags + " e1"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, "quillmark-cli: e1: the new name is empty\n");
    }
}

TEST(RenameCommand, PlanRenumbersWhereTheListOrderFails) {
    struct Row {
        std::vector<std::string> flags;
        std::string out; // "@" stands for the folder
        std::string err;
        int exitCode;
        std::set<std::string> names;
    } rows[] = {
        {{},
         "0 renamed, 1 unchanged, 2 failed\n",
         "quillmark-cli: @t1: File exists\nquillmark-cli: @t3: File exists\n",
         1,
         {"t1", "t2", "t3"}},
        {{"--plan", "--dry-run"},
         "@t1\t@t2\n@t2\t@t3\n@t3\t@t4\n3 renamed, 0 unchanged, 0 failed\n",
         "",
         0,
         {"t1", "t2", "t3"}},
        {{"--plan"}, "3 renamed, 0 unchanged, 0 failed\n", "", 0, {"t2", "t3", "t4"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.flags.empty() ? "list order" : row.flags.back());
        RenameFolder dir;
        for (const char* name : {"t1", "t2", "t3"})
            dir.Make(name);
        const std::string scheme = dir.Path() + "../" + std::to_string(getpid()) + ".scheme";
        std::ofstream(scheme) << "Version=1\nRemoveGroup=true\nRemoveBack=true\n"
                                 "RemoveBackCount=1\nInsertGroup=true\nNumberIncEnabled=true\n";
        std::vector<std::string> args = {"rename", "--scheme-file", scheme, "--start", "2"};
        args.insert(args.end(), row.flags.begin(), row.flags.end());
        for (const char* name : {"t1", "t2", "t3"})
            args.push_back(dir.Path() + name);
        const ProcessResult r = RunProcess(BinPath("quillmark-cli"), args);
        std::filesystem::remove(scheme);
        const auto expand = [&](std::string text) {
            for (std::size_t at; (at = text.find('@')) != std::string::npos;)
                text.replace(at, 1, dir.Path());
            return text;
        };
        EXPECT_EQ(r.out, expand(row.out));
        EXPECT_EQ(r.err, expand(row.err));
        EXPECT_EQ(r.exitCode, row.exitCode);
        EXPECT_EQ(Names(dir), row.names);
        if (row.names.count("t4")) {
            EXPECT_EQ(dir.Contents().at("t3"), std::vector<std::string>{"t4"});
        }
    }
}

// A find text that does not compile stops every mode before anything is touched; a name
// that takes a pattern beyond its limits fails with words of its own.
TEST(RenameCommand, PatternsRefusedOrFailingSayWhy) {
    RenameFolder dir;
    const std::string stuck = std::string(40, 'a') + "b";
    dir.Make(stuck);
    const std::string regex = "Version=1\nReplaceGroup=true\nReplaceEnabled=true\n"
                              "ReplaceRegularExpressions=true\nReplaceCount=2\n";
    std::ofstream(dir.Path() + "bad") << regex << "ReplaceText1=z(:w\nReplaceText2=x:y\n";
    std::ofstream(dir.Path() + "slow") << regex << "ReplaceText1=(a+)+$:x\nReplaceText2=q:r\n";
    // Named by its find text, not by its place among the sorted pairs (second here).
    const std::string why = ": the find text 'z(' cannot be used: at character 3, "
                            "missing closing parenthesis\n";
    for (const char* command :
         {"preview", "rename", "rename --dry-run", "rename --plan", "rename --plan --dry-run"}) {
        SCOPED_TRACE(command);
        const auto run = [&](const char* scheme) {
            return RunProcess("/bin/sh", {"-c", "cd '" + dir.Path() + "' && '" +
                                                    BinPath("quillmark-cli") + "' " + command +
                                                    " --scheme-file " + scheme + " " + stuck});
        };
        const ProcessResult bad = run("bad");
        EXPECT_EQ(bad.exitCode, 2);
        EXPECT_EQ(bad.out, "");
        const std::string name = std::string(command).substr(0, std::string(command).find(' '));
        EXPECT_EQ(bad.err, "quillmark-cli " + name + why);
        const ProcessResult slow = run("slow");
        EXPECT_EQ(slow.exitCode, name == "rename" ? 1 : 0);
        EXPECT_EQ(slow.err, (name == "rename" ? "quillmark-cli: " : "quillmark-cli preview: ") +
                                stuck +
                                ": a regular expression went beyond its match limits on "
                                "this name\n");
        EXPECT_EQ(Names(dir), (std::set<std::string>{stuck, "bad", "slow"}));
    }
}

} // namespace
} // namespace qm::test
