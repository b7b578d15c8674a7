#pragma once

// The program's command line on Linux. Absolute paths begin with "/", so only "-" marks a
// switch; "--" ends the switches. The development switch is "--debug" (or the old "/DEBUG"
// in any letter case), and only as the first argument.
//
// Pure: no Qt, no I/O. Parsing needs no display, so "--help" and "--version" can answer
// before any window exists.

#include <string>
#include <vector>

namespace qm {

struct CommandLine {
    enum class Action { Run, Help, Version };
    Action action = Action::Run;
    bool useDevelopmentKey = false;
    std::vector<std::string> paths; // file paths in command-line order, unchanged
};

// `args` without the program name.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The text "--help" prints.
std::string CommandLineHelp(const std::string& programName);

} // namespace qm
