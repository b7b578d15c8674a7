#include "app/commandline.h"

#include "engine/asciitext.h"

namespace qm {

namespace {

bool IsOldDebugSwitch(const std::string& arg) {
    return EqualIgnoringAsciiCase(arg, "/debug");
}

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine result;
    bool switches = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // An empty argument names no file; adding it would list the current folder's
        // nameless entry.
        if (arg.empty()) {
            continue;
        }
        if (i == 0 && (arg == "--debug" || IsOldDebugSwitch(arg))) {
            result.useDevelopmentKey = true;
            continue;
        }
        if (switches && arg[0] == '-') {
            if (arg == "--") {
                switches = false;
            } else if (arg == "--help") {
                result.action = CommandLine::Action::Help;
            } else if (arg == "--version" && result.action == CommandLine::Action::Run) {
                result.action = CommandLine::Action::Version;
            }
            continue;
        }
        result.paths.push_back(arg);
    }
    return result;
}

std::string CommandLineHelp(const std::string& programName) {
    return "Usage: " + programName +
           " [--debug] [--] [FILE...]\n"
           "Renames many files at once. The files named are put in the list.\n"
           "\n"
           "  --debug    keep the settings under the development key (first argument only)\n"
           "  --help     show this text and exit\n"
           "  --version  show the version and exit\n"
           "  --         every later argument is a file, even when it begins with \"-\"\n";
}

} // namespace qm
