#include "cli/renamecommand.h"

#include "cli/previewcommand.h"
#include "filelist/fileitem.h"
#include "filelist/fileitems.h"
#include "filelist/filelist.h"
#include "rename/renamerun.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

namespace qm::cli {
namespace {

int Usage(const std::string& message) {
    std::fprintf(stderr, "quillmark-cli rename: %s\n", message.c_str());
    return 2;
}

void AppendList(const std::string& text, char separator, std::vector<std::string>& paths) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::string::npos)
            end = text.size();
        // Blank lines name nothing; every other byte belongs to a name, CR included.
        if (end > start)
            paths.emplace_back(text, start, end - start);
        start = end + 1;
    }
}

// The folder (ending in "/", or "" for the current one) and the bare name of a path. A
// trailing "/" names the folder itself, and the folder itself is what gets renamed.
TFileItems::NewEntry SplitPath(const std::string& path) {
    std::size_t end = path.size();
    while (end > 1 && path[end - 1] == '/')
        --end;
    const std::size_t slash = path.rfind('/', end - 1);
    if (slash == std::string::npos)
        return {path.substr(0, end), std::string()};
    return {path.substr(slash + 1, end - slash - 1), path.substr(0, slash + 1)};
}

} // namespace

int RunRename(const RenameArgs& args) {
    RenameOptionSet options;
    if (auto error = LoadScheme(args.scheme, options))
        return Usage(*error);

    std::vector<std::string> paths = args.paths;
    if (args.filesFrom) {
        std::string readError;
        const auto list =
            ReadWholeFile(*args.filesFrom, std::numeric_limits<std::size_t>::max(), readError);
        if (!list)
            return Usage("cannot read the list '" + *args.filesFrom + "': " + readError);
        AppendList(*list, args.nullSeparated ? '\0' : '\n', paths);
    }
    if (paths.empty())
        return Usage("no paths to rename");
    if (args.start)
        options.NumberIncValue = *args.start;

    if (args.dryRun) {
        if (!WritePreview(options, options.NumberIncValue, paths)) {
            std::fprintf(stderr, "quillmark-cli rename: cannot write the names: %s\n",
                         std::strerror(errno));
            return 1;
        }
        return 0;
    }

    std::vector<TFileItems::NewEntry> entries;
    entries.reserve(paths.size());
    for (const std::string& path : paths)
        entries.push_back(SplitPath(path));
    TFileList list;
    TFileItems& items = list.Items();
    items.BeginUpdate();
    items.AddNamesOnly(std::move(entries));

    std::string line;
    RenameCallbacks callbacks;
    callbacks.OnOutcome = [&](int slot, RenameOutcome outcome, int error) {
        const std::string& path = paths[static_cast<std::size_t>(slot)];
        if (outcome == RenameOutcome::Failed) {
            std::fprintf(stderr, "quillmark-cli: %s: %s\n", path.c_str(), std::strerror(error));
        } else if (outcome == RenameOutcome::Renamed && args.verbose) {
            const TFileItem* entry = items.Items(slot);
            line.assign(path);
            line += '\t';
            line += entry->Path();
            line += entry->Name();
            line += '\n';
            std::fwrite(line.data(), 1, line.size(), stdout);
        }
    };
    const std::atomic<bool> never{false};
    const RenameTally tally = RunRenames(items, options, RenameMode::Rename, callbacks, never);

    std::printf("%d renamed, %d unchanged, %d failed\n", tally.Renamed, tally.Unchanged,
                tally.Failed);
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "quillmark-cli rename: cannot write the names: %s\n",
                     std::strerror(errno));
        return 1;
    }
    return tally.Failed == 0 ? 0 : 1;
}

} // namespace qm::cli
