// quillmark-cli: the command-line companion of the renamer.

#include "cli/previewcommand.h"
#include "cli/schemescommand.h"
#include "cli/versioncommand.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kHelp[] =
    "Usage: quillmark-cli COMMAND [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  preview (--scheme NAME | --scheme-file FILE) [--debug] [--start N] [--] NAME...\n"
    "      Print the new name of every NAME as the rename options of a scheme give it,\n"
    "      one line per NAME: NAME, a tab, the new name. Nothing is renamed.\n"
    "      --scheme NAME takes the scheme saved under NAME (exact letter case) in the\n"
    "      renamer's settings; --scheme-file FILE reads one from FILE (key=value\n"
    "      lines, opened by Version=1, ending in CR, LF or CR LF). Options the scheme\n"
    "      does not name keep their defaults. A NAME may carry a folder: the folder\n"
    "      stays, the bare name is renamed. The k-th NAME (from 0) gets the number\n"
    "      N + k; N defaults to the scheme's NumberIncValue. Use -- before names that\n"
    "      begin with '-'.\n"
    "  schemes [--debug]\n"
    "      Print the names of the schemes saved in the renamer's settings, one a line.\n"
    "\n"
    "The settings are read from $XDG_CONFIG_HOME/Marlowick/registry.db (by default\n"
    "~/.config/Marlowick/registry.db) and never written. --debug reads the settings\n"
    "of the development build (as the program's /DEBUG switch selects them).\n"
    "\n"
    "Options:\n"
    "  -h, --help     Show this help and exit.\n"
    "  --version      Show the product name and version and exit.\n"
    "\n"
    "Exit status: 0 on success, 2 on a usage error, an unreadable scheme file or\n"
    "a scheme name that is not stored.\n";

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs("quillmark-cli: missing command; try 'quillmark-cli --help'\n", stderr);
        return 2;
    }
    const std::string& command = args.front();
    if (command == "-h" || command == "--help" || command == "help") {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (command == "--version")
        return qm::cli::RunVersion();
    if (command == "preview")
        return qm::cli::RunPreview({args.begin() + 1, args.end()});
    if (command == "schemes")
        return qm::cli::RunSchemes({args.begin() + 1, args.end()});
    std::fprintf(stderr, "quillmark-cli: unknown command '%s'; try 'quillmark-cli --help'\n",
                 command.c_str());
    return 2;
}
