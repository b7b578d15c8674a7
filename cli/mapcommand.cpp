#include "cli/mapcommand.h"

#include "cli/givenpath.h"
#include "cli/handnames.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

namespace qm::cli {
namespace {

// The pairs of the map `file`, read whole ("-": standard input) into `text`, which they
// point into; nothing after a line on stderr.
std::optional<std::vector<MapPair>> ReadMap(const char* command, const std::string& file,
                                            bool nullSeparated, std::string& text) {
    std::string problem;
    std::optional<std::string> read =
        ReadWholeFile(file, std::numeric_limits<std::size_t>::max(), problem);
    if (!read) {
        std::fprintf(stderr, "quillmark-cli %s: cannot read the map '%s': %s\n", command,
                     file.c_str(), problem.c_str());
        return std::nullopt;
    }
    text = std::move(*read);
    std::optional<std::vector<MapPair>> pairs = ReadRenameMap(text, nullSeparated, problem);
    if (!pairs)
        std::fprintf(stderr, "quillmark-cli %s: %s: %s\n", command, file.c_str(), problem.c_str());
    else if (pairs->empty())
        std::fprintf(stderr, "quillmark-cli %s: %s: the map names no file\n", command,
                     file.c_str());
    if (pairs && pairs->empty())
        return std::nullopt;
    return pairs;
}

} // namespace

int RunRenameMap(const RenameArgs& args) {
    std::string text;
    std::optional<std::vector<MapPair>> pairs =
        ReadMap("rename", *args.map, args.nullSeparated, text);
    if (!pairs)
        return 2;
    GivenEntries given;
    given.Entries.reserve(pairs->size());
    for (const MapPair& pair : *pairs)
        given.Add(pair.Old, std::make_shared<const std::string>(pair.New));
    pairs.reset();
    text = {};
    // The options name no entry: every one carries its name by hand.
    const RenameOptionSet options;
    if (args.dryRun)
        return FinishRun("rename", TellPlannedRun(options, given, false).Tally);
    return RunGivenPlanned("rename", std::move(given), options, args.verbose);
}

int RunPreviewMap(const PreviewArgs& args) {
    std::string text;
    const std::optional<std::vector<MapPair>> pairs =
        ReadMap("preview", *args.map, args.nullSeparated, text);
    if (!pairs)
        return 2;
    std::string line;
    for (const MapPair& pair : *pairs) {
        line.assign(pair.Old);
        line += '\t';
        line += SplitGivenPath(pair.Old).Folder;
        line += pair.New;
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "quillmark-cli preview: cannot write the names: %s\n",
                     std::strerror(errno));
        return 2;
    }
    return 0;
}

} // namespace qm::cli
