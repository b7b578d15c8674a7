// quillmark-cli: the command-line companion of the renamer.

#include "cli/editcommand.h"
#include "cli/mapcommand.h"
#include "cli/previewcommand.h"
#include "cli/renamecommand.h"
#include "cli/schemescommand.h"
#include "cli/undocommand.h"
#include "cli/versioncommand.h"
#include "engine/newname.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

const char kHelp[] =
    "Usage: quillmark-cli COMMAND [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  preview (--scheme NAME | --scheme-file FILE) [--debug] [--start N]\n"
    "          [--files-from LIST [-0|--null]] [--] NAME...\n"
    "      Print the new name of every NAME as the rename options of a scheme give it,\n"
    "      one line per NAME: NAME, a tab, the new name. Nothing is renamed. The NAMEs\n"
    "      of the command line come first, then those of LIST, read as rename reads it.\n"
    "      --scheme NAME takes the scheme saved under NAME (exact letter case) in the\n"
    "      renamer's settings; --scheme-file FILE reads one from FILE (key=value\n"
    "      lines, opened by Version=1, ending in CR, LF or CR LF). Options the scheme\n"
    "      does not name keep their defaults. A NAME may carry a folder: the folder\n"
    "      stays, the bare name is renamed; a NAME ending in '/' is a folder, and\n"
    "      its own name is renamed, as rename does. N is a whole number from 0 to\n"
    "      999999 and defaults to the scheme's NumberIncValue; the k-th NAME (from 0)\n"
    "      gets the number N + k, which stays at 999999 once there, as in the rename.\n"
    "      Use -- before names that begin with '-'.\n"
    "      With ReplaceRegularExpressions=true the find texts are regular expressions:\n"
    "      (\\d+)-(\\d+) replaced with $2-$1 turns 12-34 into 34-12; a find text that\n"
    "      does not compile is refused before anything is touched (exit status 2).\n"
    "  rename (--scheme NAME | --scheme-file FILE) [--start N] [--plan] [--dry-run]\n"
    "         [--verbose] [--debug] [--files-from LIST [-0|--null]] [--] PATH...\n"
    "      Rename every PATH (a file, a folder or a link; a folder's contents are not\n"
    "      touched) in its folder, in the given order: the PATHs of the command line,\n"
    "      then those of LIST (one per line, or NUL-separated with -0; '-' reads\n"
    "      standard input). A '/' in a new name names a sub-folder of the file's\n"
    "      folder, and the file moves into it; that fails when the folder does not\n"
    "      exist, unless CreateFolders=true (see below). An existing file is never\n"
    "      replaced: a rename that would replace one fails. The number starts at N\n"
    "      (0 to 999999) and rises by one after each renamed file, up to 999999. A\n"
    "      new name that is empty fails.\n"
    "      --dry-run renames nothing: it prints what preview prints,\n"
    "      then works out what the rename would do from the names in the folders and\n"
    "      ends as the rename would: its failure lines, its counts, its exit status.\n"
    "      --plan renames in an order in which chains, swaps and renumbering succeed\n"
    "      (a name is taken only after its file has moved on; a cycle goes through a\n"
    "      temporary name), the number rising with each file the plan renames; with\n"
    "      --dry-run its lines give every PATH the name the plan gives it.\n"
    "      Exit status 1 when some file could not be renamed. Every run is journaled\n"
    "      (see below) before its first rename, so that it can be undone later; when\n"
    "      the journal cannot be written nothing is renamed (exit status 2).\n"
    "  rename --map FILE [-0|--null] [--dry-run] [--verbose]\n"
    "  preview --map FILE [-0|--null]\n"
    "      The files and their new names from FILE ('-': standard input), one pair a\n"
    "      line: OLD, a tab, NEW (CR LF read as LF); with -0 OLD NUL NEW NUL. NEW is\n"
    "      the new name in OLD's folder. Renamed in the order of --plan, so that\n"
    "      swaps and chains succeed; journaled. A line without a tab, an empty side\n"
    "      or an OLD given twice is refused, naming the line, before anything moves\n"
    "      (exit status 2). No scheme, PATH, --files-from, --start or --sort with it.\n"
    "  edit [--scheme NAME | --scheme-file FILE] [--start N] [--yes] [--dry-run]\n"
    "       [--debug] [--files-from LIST [-0|--null]] [--] PATH...\n"
    "      Write the new names of the PATHs (a scheme's, or today's names) to a\n"
    "      temporary file, one line per PATH: its number, a tab, the name; open it\n"
    "      in $VISUAL, else $EDITOR, else editor or vi. When the editor ends, print\n"
    "      what would be renamed (PATH<TAB>NEW PATH) and what would fail, ask\n"
    "      'Rename N files? [y/N]' on the terminal (--yes: do not ask; --dry-run:\n"
    "      stop here) and rename in the order of --plan, journaled. A line deleted\n"
    "      or joined, a number repeated or unknown, an empty name, an editor that\n"
    "      fails, a file changed meanwhile or no terminal to ask on renames nothing\n"
    "      (exit status 2); a file left as it was renames nothing (exit status 0).\n"
    "  undo [--list] [--run ID] [--dry-run]\n"
    "      Take back the last run (or the run ID of 'history'), also one that was\n"
    "      interrupted: what happened to each file is read from the disk. A name taken\n"
    "      since is never replaced: that file is reported and stays. --list prints\n"
    "      CURRENT<TAB>OLD per file taken back; --dry-run renames nothing. A run is\n"
    "      undone only when every file is back; otherwise it is partly undone, and\n"
    "      without --run undo takes it further. A last run that was undone already\n"
    "      or was itself an undo is refused; so is --run of a run undone already.\n"
    "      Exit status 1 when some file could not be taken back.\n"
    "  history [--all]\n"
    "      List the journaled runs, newest first: ID, time, state, counts, folder,\n"
    "      who ran it (window, command line);\n"
    "      the newest 20, or with --all every journal kept.\n"
    "  schemes [--debug]\n"
    "      Print the names of the schemes saved in the renamer's settings, one a line.\n"
    "\n"
    "Tags: with InsertTags=true the insert texts may hold tags, filled in for each\n"
    "file from its own data (read on several threads before anything is printed or\n"
    "renamed): <NAME>, <NAME:FORMAT>, <NAME|OTHER|...> (the first with a value),\n"
    "<< for a literal '<'.\n"
    "  file:   modified (date and time), size (bytes), folder (its folder's name)\n"
    "  photo:  taken (date and time), make, model, width, height (EXIF data)\n"
    "  music:  artist, albumartist, album, title, track, disc, year, genre\n"
    "  Dates take yyyy yy MM MMM MMMM dd HH mm ss, other characters as they are\n"
    "  (default yyyy-MM-dd HH.mm.ss, without ':'); numbers one digit, their least\n"
    "  width (<track:2> gives 07). A '/' a tag gives becomes '_'. A file lacking a\n"
    "  tag gets it empty and is named on standard error; a tag that is not\n"
    "  understood is refused (exit status 2). Photos by date taken and songs by\n"
    "  track and title (whole schemes in quillmark-cli(1); every rule under TAGS):\n"
    "    InsertFrontText=<taken:yyyy-MM-dd HH.mm.ss|modified:yyyy-MM-dd HH.mm.ss>\n"
    "    InsertFrontText=<track:2> - <title>\n"
    "\n"
    "Organizing, scheme keys that are off by default:\n"
    "  CreateFolders=true     make the folders new names name ('2024/07/IMG_1.jpg')\n"
    "  NumberTakenNames=true  a taken new name gets the first free 'name (2).ext'\n"
    "                         instead of failing\n"
    "  RenameCompanions=true  files of a folder that share a name (IMG_1.CR2,\n"
    "                         IMG_1.JPG, IMG_1.xmp or IMG_1.CR2.xmp) take one new\n"
    "                         name, each its own extension; all of them or none\n"
    "  NumberPerFolder=true   the number starts at N again in each folder\n"
    "\n"
    "The settings are read from $XDG_CONFIG_HOME/Marlowick/registry.db (by default\n"
    "~/.config/Marlowick/registry.db) and never written. --debug reads the settings\n"
    "of the development build (as the program's /DEBUG switch selects them).\n"
    "The journals of the last 10 runs are kept in $XDG_STATE_HOME/Marlowick/Quillmark/\n"
    "(by default ~/.local/state/Marlowick/Quillmark/).\n"
    "'quillmark-cli COMMAND --help' describes one command.\n"
    "--sort name|natural (preview, rename): by folder, then name; natural: 9 before 10.\n"
    "\n"
    "Options:\n"
    "  -h, --help     Show this help and exit.\n"
    "  --version      Show the product name and version and exit.\n"
    "\n"
    "Exit status: 0 on success, 2 on a usage error, a scheme file that cannot be read\n"
    "or is not a scheme (empty, without a Version=1 line, or a value holding a NUL\n"
    "byte), a scheme name that is not stored or an insert text holding a tag that is\n"
    "not understood.\n";

// What a value-taking option is missing when it comes last.
const std::map<std::string, std::string> kValueNames = {
    {"--scheme-file", "a file name"},
    {"--scheme", "a scheme name"},
    {"--start", "a number"},
    {"--files-from", "a file name"},
    {"--run", "a run id"},
    {"--sort", "given, name or natural"},
    {"--map", "a file name"},
};

struct Parsed {
    qm::cli::PreviewArgs preview;
    qm::cli::RenameArgs rename;
    qm::cli::EditArgs edit;
    bool schemesDevelopment = false;
    std::string start;
    std::string sort = "given";
};

void AddSchemeOptions(CLI::App& command, qm::cli::SchemeSource& scheme, std::string& start) {
    command.add_option("--scheme", scheme.name, "The scheme saved under NAME (exact letter case)")
        ->option_text("NAME")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    command.add_option("--scheme-file", scheme.file, "A scheme read from FILE (key=value lines)")
        ->option_text("FILE")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    command.add_flag("--debug", scheme.development, "Read the development settings");
    command.add_option("--start", start, "The first number, 0 to 999999 (default: the scheme's)")
        ->option_text("N")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

void AddListOptions(CLI::App& command, std::optional<std::string>& filesFrom, bool& nullSeparated) {
    // Taken as often as given, so that a second one is told as such by CheckListOptions,
    // not as a missing value.
    command
        .add_option("--files-from", filesFrom,
                    "More paths from LIST, one a line ('-': standard input)")
        ->option_text("LIST")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    command.add_flag("-0,--null", nullSeparated, "LIST is NUL-separated");
}

std::string CheckListOptions(const CLI::App& command, const std::optional<std::string>& filesFrom,
                             bool nullSeparated) {
    if (command.count("--files-from") > 1)
        return "option '--files-from' was given twice; it takes one list "
               "(join the lists first, e.g. with cat)";
    if (nullSeparated && !filesFrom && command.count("--map") == 0)
        return "option '-0' needs '--files-from LIST'";
    return "";
}

void AddMapOption(CLI::App& command, std::optional<std::string>& map) {
    command
        .add_option("--map", map,
                    "Pairs OLD<TAB>NEW from FILE, one a line ('-': standard input); with -0 "
                    "OLD NUL NEW NUL")
        ->option_text("FILE")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

// A map names the files and their new names itself: nothing else may name either. A
// message, or "" when all is well.
std::string CheckMapOptions(CLI::App& command, const qm::cli::SchemeSource& scheme,
                            bool pathsGiven) {
    for (const std::string& arg : command.remaining())
        if (arg != "--")
            return "unknown option '" + arg + "' (use -- before names that begin with '-')";
    if (command.count("--map") > 1)
        return "option '--map' was given twice; it takes one map";
    if (scheme.file || scheme.name)
        return "give either '--map FILE' or a scheme, not both";
    for (const char* option : {"--files-from", "--start", "--sort"})
        if (command.count(option) > 0)
            return std::string("option '") + option + "' does not go with '--map FILE'";
    if (pathsGiven)
        return "'--map FILE' names the files itself; give no PATH with it";
    return "";
}

void AddSortOption(CLI::App& command, std::string& sort) {
    command
        .add_option("--sort", sort,
                    "Number in the order given (default), or by folder, then name; "
                    "natural: numbers by value")
        ->option_text("given|name|natural")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

std::string CheckSortOption(const std::string& sort, qm::cli::PathOrder& order) {
    const auto parsed = qm::cli::ParsePathOrder(sort);
    if (!parsed)
        return "'" + sort + "' is not an order: give given, name or natural";
    order = *parsed;
    return "";
}

// The checks both commands share, after parsing; a message, or "" when all is well.
std::string CheckSchemeOptions(CLI::App& command, const qm::cli::SchemeSource& scheme,
                               const std::string& start, std::optional<std::int32_t>& number,
                               bool schemeRequired = true) {
    // Arguments the parser did not know: only options end up here, as every other
    // argument is a name. The parser keeps a "--" it has acted on among them.
    for (const std::string& arg : command.remaining())
        if (arg != "--")
            return "unknown option '" + arg + "' (use -- before names that begin with '-')";
    if (scheme.file && scheme.name)
        return "give either '--scheme NAME' or '--scheme-file FILE', not both";
    if (!scheme.file && !scheme.name && schemeRequired)
        return "missing '--scheme NAME' or '--scheme-file FILE'";
    if (!scheme.file && !scheme.name && command.count("--start") > 0)
        return "option '--start' numbers a scheme's names: give '--scheme' or '--scheme-file'";
    if (command.count("--start") > 0) {
        // The run holds its number within this range, the window's field too; a start
        // outside it would number the preview and the two orders of the run differently.
        number = qm::cli::ParseInt32(start);
        if (!number || *number < 0 || *number > qm::MaxNumberIncValue)
            return "'" + start + "' is not a whole number from 0 to " +
                   std::to_string(qm::MaxNumberIncValue);
    }
    return "";
}

std::string ParseErrorMessage(const CLI::ParseError& error) {
    const std::string what = error.what();
    const std::string option = what.substr(0, what.find(':'));
    if (const auto value = kValueNames.find(option); value != kValueNames.end())
        return "option '" + option + "' needs " + value->second;
    return what;
}

int Usage(const char* command, const std::string& message) {
    std::fprintf(stderr, "quillmark-cli %s: %s\n", command, message.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs("quillmark-cli: missing command; try 'quillmark-cli --help'\n", stderr);
        return 2;
    }
    const std::string& first = args.front();
    if (first == "-h" || first == "--help" || first == "help") {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (first == "--version")
        return qm::cli::RunVersion();
    if (first != "preview" && first != "rename" && first != "edit" && first != "schemes" &&
        first != "undo" && first != "history") {
        std::fprintf(stderr, "quillmark-cli: unknown command '%s'; try 'quillmark-cli --help'\n",
                     first.c_str());
        return 2;
    }

    Parsed parsed;
    CLI::App app("Bulk file renamer, command-line companion", "quillmark-cli");
    app.require_subcommand(1, 1);

    CLI::App* preview = app.add_subcommand(
        "preview", "Print the new name of every NAME as a scheme gives it; rename nothing.");
    AddSchemeOptions(*preview, parsed.preview.scheme, parsed.start);
    AddSortOption(*preview, parsed.sort);
    AddListOptions(*preview, parsed.preview.filesFrom, parsed.preview.nullSeparated);
    AddMapOption(*preview, parsed.preview.map);
    preview->add_option("NAME", parsed.preview.names, "Names, each may carry a folder");
    preview->allow_extras();

    CLI::App* rename = app.add_subcommand(
        "rename", "Rename every PATH in its folder as a scheme gives it, never replacing a file.");
    AddSchemeOptions(*rename, parsed.rename.scheme, parsed.start);
    AddSortOption(*rename, parsed.sort);
    rename->add_flag("--dry-run", parsed.rename.dryRun,
                     "Print what preview prints; rename nothing");
    rename->add_flag("--verbose", parsed.rename.verbose, "Print OLD<TAB>NEW per renamed file");
    rename->add_flag("--plan", parsed.rename.plan,
                     "Rename in an order in which chains, swaps and renumbering succeed");
    AddListOptions(*rename, parsed.rename.filesFrom, parsed.rename.nullSeparated);
    AddMapOption(*rename, parsed.rename.map);
    rename->add_option("PATH", parsed.rename.paths, "Files, folders or links to rename");
    rename->allow_extras();
    rename->footer("Exit status: 0 when every file was renamed or already had its name, 1 when\n"
                   "some file could not be renamed, 2 on a usage error (nothing is touched).");

    CLI::App* edit = app.add_subcommand(
        "edit", "Edit the new names of PATHs in your editor, then rename them as planned.");
    AddSchemeOptions(*edit, parsed.edit.scheme, parsed.start);
    edit->add_flag("-y,--yes", parsed.edit.yes, "Rename without asking");
    edit->add_flag("--dry-run", parsed.edit.dryRun,
                   "Tell what would be renamed after the editor; rename nothing");
    AddListOptions(*edit, parsed.edit.filesFrom, parsed.edit.nullSeparated);
    edit->add_option("PATH", parsed.edit.paths, "Files, folders or links to rename");
    edit->allow_extras();
    edit->footer("Exit status: 0 when every file was renamed or already had its name (or the\n"
                 "names were left as they were), 1 when some file could not be renamed, 2\n"
                 "when nothing was touched: a usage error, an edit refused, an editor that\n"
                 "failed, a file changed meanwhile, or the question answered no.");

    CLI::App* schemes =
        app.add_subcommand("schemes", "Print the names of the stored schemes, one a line.");
    schemes->add_flag("--debug", parsed.schemesDevelopment, "Read the development settings");
    schemes->allow_extras();

    qm::cli::UndoArgs undoArgs;
    CLI::App* undo = app.add_subcommand(
        "undo", "Take back the last journaled run (or the one named), also an interrupted one.");
    undo->add_flag("--list", undoArgs.list, "Print CURRENT<TAB>OLD per file taken back");
    undo->add_option("--run", undoArgs.run, "The run to take back (see 'history')")
        ->option_text("ID")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    undo->add_flag("--dry-run", undoArgs.dryRun, "Report what would be done; rename nothing");
    undo->footer("Exit status: 0 when every file was taken back or had its old name, 1 when\n"
                 "some file could not be taken back, 2 when nothing was touched.");
    bool historyAll = false;
    CLI::App* history = app.add_subcommand(
        "history", "List the journaled runs, newest first (the newest " +
                       std::to_string(qm::cli::kHistoryShown) + " unless --all).");
    history->add_flag("--all", historyAll, "List every journaled run that is kept");

    const char* command = first.c_str();
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        CLI::App* asked = app.get_subcommands().empty() ? &app : app.get_subcommands().front();
        std::fputs(asked->help(asked == &app ? "" : "quillmark-cli").c_str(), stdout);
        return 0;
    } catch (const CLI::ParseError& error) {
        return Usage(command, ParseErrorMessage(error));
    }

    if (preview->parsed() && parsed.preview.map) {
        if (const std::string message =
                CheckMapOptions(*preview, parsed.preview.scheme, !parsed.preview.names.empty());
            !message.empty())
            return Usage(command, message);
        return qm::cli::RunPreviewMap(parsed.preview);
    }
    if (rename->parsed() && parsed.rename.map) {
        if (const std::string message =
                CheckMapOptions(*rename, parsed.rename.scheme, !parsed.rename.paths.empty());
            !message.empty())
            return Usage(command, message);
        return qm::cli::RunRenameMap(parsed.rename);
    }
    if (preview->parsed()) {
        const std::string message =
            CheckSchemeOptions(*preview, parsed.preview.scheme, parsed.start, parsed.preview.start);
        if (!message.empty())
            return Usage(command, message);
        if (const std::string sort = CheckSortOption(parsed.sort, parsed.preview.order);
            !sort.empty())
            return Usage(command, sort);
        if (const std::string list =
                CheckListOptions(*preview, parsed.preview.filesFrom, parsed.preview.nullSeparated);
            !list.empty())
            return Usage(command, list);
        return qm::cli::RunPreview(parsed.preview);
    }
    if (rename->parsed()) {
        const std::string message =
            CheckSchemeOptions(*rename, parsed.rename.scheme, parsed.start, parsed.rename.start);
        if (!message.empty())
            return Usage(command, message);
        if (const std::string sort = CheckSortOption(parsed.sort, parsed.rename.order);
            !sort.empty())
            return Usage(command, sort);
        if (const std::string list =
                CheckListOptions(*rename, parsed.rename.filesFrom, parsed.rename.nullSeparated);
            !list.empty())
            return Usage(command, list);
        return qm::cli::RunRename(parsed.rename);
    }
    if (edit->parsed()) {
        if (const std::string message = CheckSchemeOptions(*edit, parsed.edit.scheme, parsed.start,
                                                           parsed.edit.start, false);
            !message.empty())
            return Usage(command, message);
        if (const std::string list =
                CheckListOptions(*edit, parsed.edit.filesFrom, parsed.edit.nullSeparated);
            !list.empty())
            return Usage(command, list);
        return qm::cli::RunEdit(parsed.edit);
    }
    if (undo->parsed())
        return qm::cli::RunUndo(undoArgs);
    if (history->parsed())
        return qm::cli::RunHistory(historyAll);
    for (const std::string& arg : schemes->remaining())
        return Usage(command, "unknown argument '" + arg + "'");
    // The parser drops a "--" that no name follows; this command takes no names at all.
    if (std::find(args.begin(), args.end(), "--") != args.end())
        return Usage(command, "unknown argument '--'");
    return qm::cli::RunSchemes(parsed.schemesDevelopment);
}
