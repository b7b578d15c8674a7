// quillmark-cli edit (with a scripted editor) and rename --map: names written by hand.

#include "renamefolder.h"
#include "runprocess.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qm::test {
namespace {

using namespace std::string_literals;

using Tree = std::map<std::string, std::vector<std::string>>;

// A folder of files, each holding its own name, with a journal folder of its own (so that
// `undo` takes back this test's run) and a place for the editor scripts and maps.
struct Bench {
    RenameFolder dir, state, tools;
    explicit Bench(const std::vector<std::string>& files) {
        for (const std::string& f : files)
            dir.Make(f);
        setenv("XDG_STATE_HOME", state.Path().c_str(), 1);
    }
    // An editor that runs the shell lines `script` on the file it is given ("$1").
    void Editor(const std::string& script) const {
        const std::string path = tools.Path() + "editor.sh";
        std::ofstream(path) << "#!/bin/sh\n" << script << "\n";
        ::chmod(path.c_str(), 0755);
        setenv("VISUAL", path.c_str(), 1);
    }
    std::string Map(const std::string& text) const {
        std::ofstream(tools.Path() + "map", std::ios::binary) << text;
        return tools.Path() + "map";
    }
    ProcessResult Cli(std::vector<std::string> args, const std::vector<std::string>& paths = {}) {
        for (const std::string& p : paths)
            args.push_back(dir.Path() + p);
        return RunProcess(BinPath("quillmark-cli"), args);
    }
};

// The tree after renaming `files` by `to` (to[k] is the new name of files[k]).
Tree Renamed(const std::vector<std::string>& files, const std::vector<std::string>& to) {
    Tree tree;
    for (std::size_t k = 0; k < files.size(); ++k)
        tree[files[k]].push_back(to[k]);
    return tree;
}

struct Moves {
    const char* title;
    std::vector<std::string> files;
    std::vector<std::string> to;
};

const std::vector<Moves> kMoves = {
    {"swap", {"a", "b"}, {"b", "a"}},
    {"rotation", {"a", "b", "c"}, {"b", "c", "a"}},
    {"renumbering chain", {"1", "2", "3"}, {"2", "3", "4"}},
};

TEST(HandNames, SwapRotationAndChainSucceedInEditAndMapAndUndo) {
    for (const Moves& row : kMoves)
        for (const bool map : {false, true}) {
            SCOPED_TRACE(std::string(row.title) + (map ? " in a map" : " in edit"));
            Bench bench(row.files);
            ProcessResult r;
            if (map) {
                std::string text;
                for (std::size_t k = 0; k < row.files.size(); ++k)
                    text += bench.dir.Path() + row.files[k] + "\t" + row.to[k] + "\n";
                r = bench.Cli({"rename", "--map", bench.Map(text)});
            } else {
                // Each file's line by its number, whatever its name.
                std::string script = "sed -i";
                for (std::size_t k = 0; k < row.files.size(); ++k)
                    script += " -e 's/^" + std::to_string(k + 1) + "\t.*/" + std::to_string(k + 1) +
                              "\t" + row.to[k] + "/'";
                bench.Editor(script + " \"$1\"");
                r = bench.Cli({"edit", "--yes", "--"}, row.files);
            }
            EXPECT_EQ(r.exitCode, 0) << r.err;
            // Only the counts; edit tells each file once, before it asks, and not again.
            const std::size_t lines = map ? 1 : row.files.size() + 1;
            EXPECT_EQ(static_cast<std::size_t>(std::count(r.out.begin(), r.out.end(), '\n')),
                      lines)
                << r.out;
            EXPECT_EQ(bench.dir.Contents(), Renamed(row.files, row.to));
            EXPECT_EQ(bench.Cli({"undo"}).exitCode, 0);
            EXPECT_EQ(bench.dir.Contents(), Renamed(row.files, row.files));
        }
}

TEST(HandNames, EveryRefusalLeavesTheFilesAsTheyWere) {
    struct Row {
        const char* title;
        std::string editor; // edit's editor script, on "$1"; "" for a map
        std::string map;    // the map's text, DIR/ for the folder
        std::vector<std::string> args = {};
        int status = 2;
        std::string said = {};   // a part of what stderr says
        std::string third = "c"; // edit's third path, after a and b
    };
    const std::vector<Row> rows = {
        {"line deleted", "sed -i '/^2\t/d' \"$1\"", "", {}, 2, "file number 2 has no line"},
        {"number repeated", "sed -i 's/^2\t/1\t/' \"$1\"", "", {}, 2, "given twice"},
        {"unknown number", "sed -i 's/^2\t/4\t/' \"$1\"", "", {}, 2, "no file number 4"},
        {"line without number", "sed -i 's/^2\t/\t/' \"$1\"", "", {}, 2, "no number and tab"},
        {"empty name", "sed -i 's/^2\t.*/2\t/' \"$1\"", "", {}, 2, "is empty"},
        {"lines joined", "sed -i -e '/^1\t/N' -e 's/\\n/ /' \"$1\"", "", {}, 2, "no line"},
        {"editor fails", "sed -i 's/a$/z/' \"$1\"; exit 3", "", {}, 2, "status 3"},
        {"editor killed", "sed -i 's/a$/z/' \"$1\"; kill -9 $$", "", {}, 2, "signal 9"},
        {"another file at a path",
         "cp a a.new && mv a.new a; sed -i 's/a$/z/' \"$1\"",
         "",
         {},
         2,
         "another file"},
        {"no terminal to ask on", "sed -i 's/a$/z/' \"$1\"", "", {"--"}, 2, "no terminal"},
        {"unchanged", "true", "", {}, 0, "left as they were"},
        {"a name holding a line break", "sed -i 's/a$/z/' \"$1\"", "", {}, 2, "line break", "x\ny"},
        {"no tab", "", "DIR/a\tz\nDIR/b z\n", {}, 2, "line 2: no tab"},
        {"empty old side", "", "\tz\n", {}, 2, "line 1: the old path is empty"},
        {"empty new side", "", "DIR/a\t\r\n", {}, 2, "line 1: the new name is empty"},
        {"the same old path twice",
         "",
         "DIR/a\tz\nDIR/c/\ty\nDIR/c\tx\n",
         {},
         2,
         "line 3: 'DIR/c' is given already (line 2)"},
        {"odd pairs", "", "DIR/a\0z\0DIR/b"s, {"-0"}, 2, "pair 2: 'DIR/b' has no new name"},
        {"a NUL byte without -0", "", "DIR/a\tz\nDIR/b\0z\n"s, {}, 2, "line 2: a NUL byte (use -0"},
        {"a map and a scheme", "", "DIR/a\tz\n", {"--scheme", "x"}, 2, "not both"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        Bench bench({"a", "b", "c/", "x\ny"});
        const Tree before = bench.dir.Contents();
        std::string said = row.said;
        for (std::size_t at; (at = said.find("DIR/")) != std::string::npos;)
            said.replace(at, 4, bench.dir.Path());
        ProcessResult r;
        if (!row.editor.empty()) {
            // Run in the folder, so that the script's bare names are its files.
            bench.Editor("cd '" + bench.dir.Path() + "' && " + row.editor);
            // A session of its own has no terminal to ask on, whoever runs the test; a row
            // with arguments of its own goes without --yes.
            std::vector<std::string> args = {"-w", BinPath("quillmark-cli"), "edit"};
            args.push_back(row.args.empty() ? "--yes" : row.args.front());
            for (const std::string& p : {std::string("a"), std::string("b"), row.third})
                args.push_back(bench.dir.Path() + p);
            r = RunProcess("/usr/bin/setsid", args);
        } else {
            std::string text = row.map;
            for (std::size_t at; (at = text.find("DIR/")) != std::string::npos;)
                text.replace(at, 4, bench.dir.Path());
            std::vector<std::string> args = {"rename", "--map", bench.Map(text)};
            args.insert(args.end(), row.args.begin(), row.args.end());
            r = bench.Cli(args);
            // preview reads a map as rename does, and refuses it alike.
            args.front() = "preview";
            const ProcessResult preview = bench.Cli(args);
            EXPECT_EQ(preview.exitCode, row.status) << preview.err;
            EXPECT_EQ(preview.out, "");
            EXPECT_NE(preview.err.find("quillmark-cli preview: "), std::string::npos)
                << preview.err;
            EXPECT_NE(preview.err.find(said), std::string::npos) << preview.err;
        }
        EXPECT_EQ(r.exitCode, row.status) << r.err;
        EXPECT_NE(r.err.find(said), std::string::npos) << r.err;
        // One line of ours (the shell that ran a killed editor says so on a line of its own).
        std::size_t ours = 0;
        for (std::size_t at = 0; (at = r.err.find("quillmark-cli", at)) != std::string::npos; ++at)
            ++ours;
        EXPECT_EQ(ours, 1u) << r.err;
        EXPECT_EQ(bench.dir.Contents(), before);
    }
}

// quillmark-cli with `args` on a terminal of its own, which answers `answer` once asked;
// `out` is all the terminal showed. The terminal is read throughout, so that the program
// never waits on a full terminal.
ProcessResult OnTerminal(const std::vector<std::string>& args, const std::string& answer) {
    const std::string cli = BinPath("quillmark-cli");
    std::vector<char*> argv{const_cast<char*>(cli.c_str())};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        ::execv(cli.c_str(), argv.data());
        ::_exit(127);
    }
    ProcessResult result;
    if (pid < 0)
        return result;
    bool asked = false;
    for (;;) {
        pollfd fd{master, POLLIN, 0};
        if (::poll(&fd, 1, 30000) <= 0) {
            ADD_FAILURE() << "no end after 30 s: " << result.out;
            ::kill(pid, SIGKILL);
            break;
        }
        char buffer[4096];
        // EIO once the program and its editor have closed the terminal.
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        result.out.append(buffer, static_cast<std::size_t>(n));
        if (!asked && result.out.find("? [y/N] ") != std::string::npos) {
            asked = true;
            (void)!::write(master, answer.data(), answer.size());
        }
    }
    ::close(master);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

TEST(HandNames, EditAsksOnTheTerminalAndRenamesOnlyOnYes) {
    struct Row {
        std::string answer;
        bool renamed;
    };
    for (const Row& row : {Row{"y\n", true}, Row{"YES\n", true}, Row{"n\n", false}}) {
        SCOPED_TRACE(row.answer);
        Bench bench({"a", "b"});
        bench.Editor("sed -i -e 's/^1\t.*/1\tb/' -e 's/^2\t.*/2\ta/' \"$1\"");
        const ProcessResult r =
            OnTerminal({"edit", bench.dir.Path() + "a", bench.dir.Path() + "b"}, row.answer);
        EXPECT_NE(r.out.find("Rename 2 files? [y/N] "), std::string::npos) << r.out;
        if (row.renamed) {
            EXPECT_EQ(r.exitCode, 0) << r.out;
            EXPECT_EQ(bench.dir.Contents(), Renamed({"a", "b"}, {"b", "a"}));
            EXPECT_EQ(bench.Cli({"undo"}).exitCode, 0);
        } else {
            EXPECT_EQ(r.exitCode, 2) << r.out;
            EXPECT_NE(r.out.find("nothing renamed"), std::string::npos) << r.out;
        }
        EXPECT_EQ(bench.dir.Contents(), Renamed({"a", "b"}, {"a", "b"}));
    }
}

// The file to edit holds the scheme's names, numbered on in the order the run gives the
// numbers, or without a scheme the names as they are.
TEST(HandNames, EditWritesTheSchemesNamesOrTodays) {
    Bench bench({"b", "a", "c"});
    const std::string scheme = bench.tools.Path() + "numbered.scheme";
    std::ofstream(scheme) << "Version=1\nInsertGroup=true\nNumberIncEnabled=true\n"
                             "NumberIncAddFrontSep=true\nNumberIncValue=7\n";
    const std::string copy = bench.tools.Path() + "written";
    bench.Editor("cp \"$1\" '" + copy + "'");
    for (const bool withScheme : {true, false}) {
        SCOPED_TRACE(withScheme ? "a scheme" : "no scheme");
        std::vector<std::string> args = {"edit", "--yes"};
        if (withScheme)
            args.insert(args.end(), {"--scheme-file", scheme});
        args.push_back("--");
        const ProcessResult r = bench.Cli(args, {"b", "a", "c"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        // The lines of names, without the comment above them.
        std::ifstream in(copy);
        std::string written;
        for (std::string line; std::getline(in, line);)
            if (!line.starts_with('#'))
                written += line + "\n";
        EXPECT_EQ(written, withScheme ? "1\tb - 7\n2\ta - 8\n3\tc - 9\n" : "1\tb\n2\ta\n3\tc\n");
    }
    EXPECT_EQ(bench.dir.Contents(), Renamed({"a", "b", "c"}, {"a", "b", "c"}));
}

// No $VISUAL or $EDITOR and neither `editor` nor `vi` on PATH: nothing to edit in.
TEST(HandNames, EditWithoutAnEditorRefuses) {
    Bench bench({"a", "b"});
    const RenameFolder emptyFolder;
    const ProcessResult r =
        RunProcess("/usr/bin/env", {"-u", "EDITOR", "VISUAL=", "PATH=" + emptyFolder.Path(),
                                    BinPath("quillmark-cli"), "edit", "--yes",
                                    bench.dir.Path() + "a", bench.dir.Path() + "b"});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_EQ(r.err, "quillmark-cli edit: no editor: set VISUAL or EDITOR\n");
    EXPECT_EQ(bench.dir.Contents(), Renamed({"a", "b"}, {"a", "b"}));
}

// A name taken by a file that stays: the run fails it as the dry run said, and replaces
// nothing.
TEST(HandNames, ACollisionFailsAsTheDryRunSaid) {
    Bench bench({"a", "b", "c"});
    const std::string map = bench.Map(bench.dir.Path() + "a\tc\n" + bench.dir.Path() + "b\tx\n");
    const ProcessResult dry = bench.Cli({"rename", "--dry-run", "--map", map});
    const ProcessResult run = bench.Cli({"rename", "--map", map});
    EXPECT_EQ(dry.exitCode, 1);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(dry.err, "quillmark-cli: " + bench.dir.Path() + "a: File exists\n");
    EXPECT_EQ(run.err, dry.err);
    EXPECT_EQ(dry.out, bench.dir.Path() + "a\t" + bench.dir.Path() + "c\n" + bench.dir.Path() +
                           "b\t" + bench.dir.Path() + "x\n1 renamed, 0 unchanged, 1 failed\n");
    EXPECT_EQ(run.out, "1 renamed, 0 unchanged, 1 failed\n");
    EXPECT_EQ(bench.dir.Contents(), Renamed({"a", "b", "c"}, {"a", "x", "c"}));
}

} // namespace
} // namespace qm::test
