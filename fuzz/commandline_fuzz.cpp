// Any bytes as the window's command line (NUL ends an argument; the first byte picks the
// current folder). Checked: the paths are the non-empty arguments that are no switch,
// unchanged and in order; "--" makes every later one a path; only a first argument turns
// on the development key; and each path splits into a folder ending in "/" and a name
// without "/" that together give the path.

#include "app/commandline.h"
#include "app/list/commandpath.h"
#include "engine/asciitext.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string current = data[0] & 1 ? "/home/user/" : "/";
    std::vector<std::string> args;
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    for (std::size_t start = 0; start <= bytes.size();) {
        std::size_t end = bytes.find('\0', start);
        if (end == std::string::npos)
            end = bytes.size();
        args.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    const qm::CommandLine line = qm::ParseCommandLine(args);

    const bool debug = args[0] == "--debug" || qm::EqualIgnoringAsciiCase(args[0], "/debug");
    Check(line.useDevelopmentKey == debug);
    std::vector<std::string> expected;
    bool switches = true, help = false, version = false;
    for (std::size_t i = debug ? 1 : 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.empty())
            continue;
        if (switches && arg[0] == '-') {
            switches = arg != "--";
            help |= arg == "--help";
            version |= arg == "--version";
            continue;
        }
        expected.push_back(arg);
    }
    Check(line.paths == expected);
    Check((line.action == qm::CommandLine::Action::Help) == help);
    Check((line.action == qm::CommandLine::Action::Version) == (version && !help));

    for (const std::string& path : line.paths) {
        const qm::SplitPath split = qm::SplitCommandLinePath(path, current);
        const std::string full = path[0] == '/' ? path : current + path;
        Check(split.path + split.name == full);
        Check(split.path.ends_with('/') && split.name.find('/') == std::string::npos);
    }
    return 0;
}
