// quillmark-cli: the command-line companion of the renamer.

#include "cli/previewcommand.h"
#include "cli/versioncommand.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kHelp[] =
    "Usage: quillmark-cli COMMAND [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  preview --scheme-file FILE [--start N] [--] NAME...\n"
    "      Print the new name of every NAME as the rename options in FILE give it,\n"
    "      one line per NAME: NAME, a tab, the new name. Nothing is renamed.\n"
    "      FILE holds an option scheme (key=value lines, opened by Version=1); its\n"
    "      lines may end in CR, LF or CR LF. Options it does not name keep their\n"
    "      defaults. A NAME may carry a folder: the folder stays, the bare name is\n"
    "      renamed. The k-th NAME (from 0) gets the number N + k; N defaults to the\n"
    "      scheme's NumberIncValue. Use -- before names that begin with '-'.\n"
    "\n"
    "Options:\n"
    "  -h, --help     Show this help and exit.\n"
    "  --version      Show the product name and version and exit.\n"
    "\n"
    "Exit status: 0 on success, 2 on a usage error or an unreadable scheme file.\n";

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
    std::fprintf(stderr, "quillmark-cli: unknown command '%s'; try 'quillmark-cli --help'\n",
                 command.c_str());
    return 2;
}
