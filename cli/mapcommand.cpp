#include "cli/mapcommand.h"

#include "cli/givenpath.h"
#include "cli/handnames.h"
#include "cli/maporder.h"
#include "cli/undocommand.h"
#include "rename/journaledrun.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <future>
#include <limits>
#include <memory>

namespace qm::cli {
namespace {

// The pairs of the map `file`, read whole ("-": standard input) into `text`, which they
// point into; nothing after a line on stderr. `read` is handed the text before it is
// parsed.
std::optional<std::vector<MapPair>>
ReadMap(const char* command, const std::string& file, bool nullSeparated, std::string& text,
        const std::function<void(std::string_view text)>& read = {}) {
    std::string problem;
    std::optional<std::string> whole =
        ReadWholeFile(file, std::numeric_limits<std::size_t>::max(), problem);
    if (!whole) {
        std::fprintf(stderr, "quillmark-cli %s: cannot read the map '%s': %s\n", command,
                     file.c_str(), problem.c_str());
        return std::nullopt;
    }
    text = std::move(*whole);
    if (read)
        read(text);
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

// The folder of the first OLD of a map's `text`, as the run splits it (see ReadRenameMap).
std::string FirstFolder(std::string_view text, bool nullSeparated) {
    std::size_t start = 0;
    if (!nullSeparated)
        while (start < text.size() && (text[start] == '\n' || text[start] == '\r'))
            ++start;
    const std::size_t end = text.find(nullSeparated ? '\0' : '\t', start);
    return std::string(
        SplitGivenPath(text.substr(start, end == std::string_view::npos ? 0 : end - start)).Folder);
}

// Entry k renames pairs[k].Old to pairs[k].New; the views point into the map's text.
std::vector<TJournalMoveRef> MapMoves(const std::vector<MapPair>& pairs) {
    std::vector<TJournalMoveRef> moves;
    moves.reserve(pairs.size());
    for (const MapPair& pair : pairs) {
        const GivenPath split = SplitGivenPath(pair.Old);
        moves.push_back(
            {static_cast<int>(moves.size()), false, split.Folder, split.Name, pair.New, 0, false});
    }
    return moves;
}

// The run in list order of a map that needs no plan (ListOrderIsPlanned), told as rename
// tells its runs; each entry's move is its only one.
int RunMapInListOrder(const std::vector<MapPair>& pairs, std::vector<TJournalMoveRef> moves,
                      TFolderListings listings, bool verbose) {
    std::string line;
    const std::atomic<bool> never{false};
    const TJournaledRun run =
        RunJournaledListMoves(std::move(moves), std::move(listings), CommandLineJournalPlace(),
                              never, [&](std::size_t k, RunError error) {
                                  if (error != 0) {
                                      ReportFailure(std::string(pairs[k].Old), error, false);
                                  } else if (verbose) {
                                      line.assign(pairs[k].Old);
                                      line += '\t';
                                      line += SplitGivenPath(pairs[k].Old).Folder;
                                      line += pairs[k].New;
                                      line += '\n';
                                      std::fwrite(line.data(), 1, line.size(), stdout);
                                  }
                              });
    return FinishJournaledRun("rename", run);
}

} // namespace

int RunRenameMap(const RenameArgs& args) {
    // The listing of the first folder, for the journal, is read on a thread of its own
    // while the map is read and checked: most maps name the files of one folder.
    std::string firstFolder;
    std::future<std::unique_ptr<FolderInodes>> listing;
    std::string text;
    std::optional<std::vector<MapPair>> pairs =
        ReadMap("rename", *args.map, args.nullSeparated, text, [&](std::string_view read) {
            if (args.dryRun)
                return;
            firstFolder = FirstFolder(read, args.nullSeparated);
            listing = std::async(std::launch::async, [firstFolder] {
                return std::make_unique<FolderInodes>(firstFolder);
            });
        });
    if (!pairs)
        return 2;
    if (!args.dryRun) {
        std::vector<TJournalMoveRef> moves = MapMoves(*pairs);
        // A map without chains, swaps or names in each other's way needs no plan: the
        // run in list order ends the same, without the prediction of every folder.
        if (ListOrderIsPlanned(moves)) {
            TFolderListings listings;
            listings.emplace(firstFolder, listing.get());
            return RunMapInListOrder(*pairs, std::move(moves), std::move(listings), args.verbose);
        }
    }
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
