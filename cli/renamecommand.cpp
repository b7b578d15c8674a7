#include "cli/renamecommand.h"

#include "cli/clitags.h"
#include "cli/givenpath.h"
#include "cli/previewcommand.h"
#include "cli/undocommand.h"
#include "engine/newname.h"
#include "engine/runningnumber.h"
#include "filelist/fileitem.h"
#include "filelist/fileitems.h"
#include "filelist/filelist.h"
#include "rename/journaledrun.h"
#include "rename/namerules.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <future>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace qm::cli {
namespace {

int Usage(const std::string& message) {
    std::fprintf(stderr, "quillmark-cli rename: %s\n", message.c_str());
    return 2;
}

// The entry of a path (see SplitGivenPath).
TFileItems::NewEntry SplitPath(std::string_view path) {
    const GivenPath split = SplitGivenPath(path);
    return {std::string(split.Name), std::string(split.Folder)};
}

// The preview's lines of a dry run in list order, written after the prediction: where
// the run would try an entry's new name with the number the preview gives it, the name
// is the prediction's, so that a million names are not computed twice. Returns false
// when stdout cannot be written.
bool WritePredictedPreview(const RenameOptionSet& options, const std::vector<TRunEntry>& entries,
                           const TPrediction& prediction,
                           const std::unordered_map<std::size_t, std::string>& trailingSlashes) {
    std::string line;
    std::vector<TCompanionEntry> listed;
    listed.reserve(entries.size());
    for (const TRunEntry& entry : entries)
        listed.push_back({entry.Path, entry.Name, entry.HandName != nullptr});
    const std::vector<std::int64_t> positions =
        NumberPositions(listed, options.NumberPerFolder, options.RenameCompanions);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const TRunEntry& entry = entries[i];
        line.assign(entry.Path);
        line += entry.Name;
        if (const auto slashes = trailingSlashes.find(i); slashes != trailingSlashes.end())
            line += slashes->second;
        line += '\t';
        line += entry.Path;
        const std::int32_t number = NumberAtPosition(options.NumberIncValue, positions[i]);
        const TPredictedEntry* predicted =
            i < prediction.Entries.size() ? &prediction.Entries[i] : nullptr;
        if (predicted != nullptr && predicted->Outcome != RenameOutcome::Failed &&
            (!options.NumberIncEnabled || predicted->Number == number))
            line += predicted->Candidate;
        else
            line += ComputeNewNameChecked(options, entry.Name, number,
                                          entry.Tags ? NameTags{&entry.Tags->Values, nullptr}
                                                     : NameTags{})
                        .Name;
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    return std::fflush(stdout) == 0;
}

// The dry run: its preview lines, then what the run would report, worked out from the
// names in the folders, with nothing renamed. A planned run's names are the plan's, so
// it prints its own lines in place of the preview's.
int PredictRename(const RenameOptionSet& options, const GivenEntries& given, RunOrder order) {
    if (order == RunOrder::Planned)
        return FinishRun("rename", TellPlannedRun(options, given, false).Tally);
    const std::atomic<bool> never{false};
    const TPrediction prediction =
        PredictRenames(given.Entries, options, RenameMode::Rename, order, never);
    if (!WritePredictedPreview(options, given.Entries, prediction, given.Trailing)) {
        std::fprintf(stderr, "quillmark-cli rename: cannot write the names: %s\n",
                     std::strerror(errno));
        return 1;
    }
    std::string line;
    for (std::size_t i = 0; i < prediction.Entries.size(); ++i)
        if (const TPredictedEntry& predicted = prediction.Entries[i];
            predicted.Outcome == RenameOutcome::Failed) {
            given.PathOf(i, line);
            ReportFailure(line, predicted.Error, predicted.Candidate.empty());
        }
    return FinishRun("rename", prediction.Tally);
}

// Runs the entries of `items` (in update mode, tags read where the options need them),
// journaled, telling each failure on stderr and with `verbose` each renamed file on
// stdout, then the counts; returns the exit status.
int RunItems(const char* command, TFileItems& items,
             const std::unordered_map<std::size_t, std::string>& trailingSlashes,
             const RenameOptionSet& options, RunOrder order, bool verbose, TJournalPlace place,
             std::shared_ptr<const TSlotsArriving> arriving = {}) {
    std::string line;
    // The path as it was given: a renamed entry's old name is its undo name.
    auto givenPath = [&](int slot, const TFileItem& entry, RenameOutcome outcome) {
        line.assign(entry.Path());
        line += outcome == RenameOutcome::Renamed ? entry.PrevName() : entry.Name();
        if (const auto slashes = trailingSlashes.find(static_cast<std::size_t>(slot));
            slashes != trailingSlashes.end())
            line += slashes->second;
    };
    // Whether the name the run tried for a slot was empty: the run tells the names of each
    // move it takes; a planned run settles the failures it foresees without a move, and
    // for those the name is worked out here, empty only when it is for any number.
    int namedSlot = -1;
    bool namedEmpty = false;
    auto triedEmptyName = [&](int slot, const TFileItem& entry) {
        if (slot == namedSlot)
            return namedEmpty;
        return ComputeNewName(options, entry.Name(), options.NumberIncValue).empty() &&
               ComputeNewName(options, entry.Name(), MaxNumberIncValue).empty();
    };
    RenameCallbacks callbacks;
    callbacks.OnNames = [&](int slot, const std::string&, const std::string& to) {
        namedSlot = slot;
        namedEmpty = to.empty();
    };
    callbacks.OnOutcome = [&](int slot, RenameOutcome outcome, RunError error) {
        const TFileItem& entry = *items.Items(slot);
        if (outcome == RenameOutcome::Failed) {
            givenPath(slot, entry, outcome);
            ReportFailure(line, error, error == ENOENT && triedEmptyName(slot, entry));
        } else if (outcome == RenameOutcome::Renamed && verbose) {
            givenPath(slot, entry, outcome);
            line += '\t';
            line += entry.Path();
            line += entry.Name();
            line += '\n';
            std::fwrite(line.data(), 1, line.size(), stdout);
        }
    };
    const std::atomic<bool> never{false};
    place.Arriving = std::move(arriving);
    return FinishJournaledRun(command, RunJournaledRenames(items, options, RenameMode::Rename,
                                                           order, callbacks, never, {}, place));
}

// Reads the tags of every entry before the first file is moved, when the options need
// any, and tells each entry whose name lacks one (`given(slot, entry)` is its path as
// given).
template <class GivenPathOf>
void ReadEntryTags(const RenameOptionSet& options, TFileItems& items, GivenPathOf&& given) {
    if (TagSourcesNeeded(options) == 0)
        return;
    std::vector<std::string> readPaths;
    readPaths.reserve(static_cast<std::size_t>(items.Count()));
    for (int slot = 0; slot < items.Count(); ++slot)
        readPaths.push_back(TagPathOf(items.Items(slot)->Path(), items.Items(slot)->Name()));
    std::vector<std::shared_ptr<const TEntryTags>> tags = ReadTagsFor(options, readPaths);
    readPaths = {};
    for (int slot = 0; slot < items.Count(); ++slot) {
        TFileItem& entry = *items.Items(slot);
        entry.SetTags(std::move(tags[static_cast<std::size_t>(slot)]));
        TellMissingTag("rename", given(slot, entry),
                       ComputeNewNameChecked(options, entry.Name(), options.NumberIncValue,
                                             NameTags{&entry.Tags()->Values, nullptr}));
    }
}

// ReadEntryTags for the entries of a dry run.
void ReadGivenEntryTags(const RenameOptionSet& options, GivenEntries& given) {
    if (TagSourcesNeeded(options) == 0)
        return;
    std::vector<std::string> readPaths;
    readPaths.reserve(given.Entries.size());
    for (const TRunEntry& entry : given.Entries)
        readPaths.push_back(TagPathOf(entry.Path, entry.Name));
    std::vector<std::shared_ptr<const TEntryTags>> tags = ReadTagsFor(options, readPaths);
    readPaths = {};
    std::string line;
    for (std::size_t i = 0; i < given.Entries.size(); ++i) {
        TRunEntry& entry = given.Entries[i];
        entry.Tags = std::move(tags[i]);
        given.PathOf(i, line);
        TellMissingTag("rename", line,
                       ComputeNewNameChecked(options, entry.Name, options.NumberIncValue,
                                             NameTags{&entry.Tags->Values, nullptr}));
    }
}

} // namespace

void GivenEntries::Add(std::string_view path, std::shared_ptr<const std::string> handName,
                       std::shared_ptr<const TEntryTags> tags) {
    const GivenPath split = SplitGivenPath(path);
    if (!split.Trailing.empty())
        Trailing.emplace(Entries.size(), std::string(split.Trailing));
    // The files of a folder come together: they share its path.
    TSharedPath folder = !Entries.empty() && Entries.back().Path == split.Folder
                             ? Entries.back().Path
                             : TSharedPath(std::string(split.Folder));
    Entries.push_back({static_cast<int>(Entries.size()),
                       false,
                       std::move(folder),
                       std::string(split.Name),
                       {},
                       std::move(tags),
                       std::move(handName)});
}

void GivenEntries::PathOf(std::size_t slot, std::string& line) const {
    line.assign(Entries[slot].Path);
    line += Entries[slot].Name;
    if (const auto slashes = Trailing.find(slot); slashes != Trailing.end())
        line += slashes->second;
}

void ReportFailure(const std::string& path, RunError error, bool emptyName) {
    const std::string refused = NameRuleErrorText(error);
    const char* reason = refused.empty() ? PatternErrorText(error) : refused.c_str();
    if (reason == nullptr)
        reason = emptyName ? "the new name is empty" : std::strerror(error.Errno());
    std::fprintf(stderr, "quillmark-cli: %s: %s\n", path.c_str(), reason);
}

int FinishJournaledRun(const char* command, const TJournaledRun& run) {
    if (!run.Ran) {
        // A run that could not be undone after a crash is not started at all.
        std::fprintf(stderr,
                     "quillmark-cli %s: cannot write the run's journal (%s); nothing was "
                     "renamed\n",
                     command, run.JournalProblem.c_str());
        return 2;
    }
    if (!run.JournalProblem.empty())
        std::fprintf(stderr, "quillmark-cli %s: warning: %s\n", command,
                     run.JournalProblem.c_str());
    return FinishRun(command, run.Tally);
}

int FinishRun(const char* command, const RenameTally& tally) {
    std::printf("%d renamed, %d unchanged, %d failed\n", tally.Renamed, tally.Unchanged,
                tally.Failed);
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "quillmark-cli %s: cannot write the names: %s\n", command,
                     std::strerror(errno));
        return 1;
    }
    return tally.Failed == 0 ? 0 : 1;
}

TPrediction TellPlannedRun(const RenameOptionSet& options, const GivenEntries& given,
                           bool movesOnly) {
    const std::atomic<bool> never{false};
    TPrediction prediction =
        PredictRenames(given.Entries, options, RenameMode::Rename, RunOrder::Planned, never);
    std::string line;
    for (std::size_t i = 0; i < prediction.Entries.size(); ++i) {
        const TPredictedEntry& predicted = prediction.Entries[i];
        given.PathOf(i, line);
        if (!movesOnly || predicted.Outcome == RenameOutcome::Renamed) {
            const std::string named =
                line + '\t' + given.Entries[i].Path + predicted.Candidate + '\n';
            std::fwrite(named.data(), 1, named.size(), stdout);
        }
        if (predicted.Outcome == RenameOutcome::Failed)
            ReportFailure(line, predicted.Error, predicted.Candidate.empty());
    }
    std::fflush(stdout);
    return prediction;
}

int RunGivenPlanned(const char* command, GivenEntries given, const RenameOptionSet& options,
                    bool verbose) {
    TFileList list;
    TFileItems& items = list.Items();
    items.BeginUpdate();
    std::vector<TFileItems::NewEntry> added;
    added.reserve(given.Entries.size());
    for (TRunEntry& entry : given.Entries)
        added.push_back({std::move(entry.Name), std::move(entry.Path)});
    items.AddNamesOnly(std::move(added));
    for (std::size_t slot = 0; slot < given.Entries.size(); ++slot)
        if (const auto& hand = given.Entries[slot].HandName)
            items.Items(static_cast<int>(slot))->SetHandName(*hand);
    given.Entries = {};
    return RunItems(command, items, given.Trailing, options, RunOrder::Planned, verbose,
                    CommandLineJournalPlace());
}

int RunRename(const RenameArgs& args) {
    RenameOptionSet options;
    if (auto error = LoadScheme(args.scheme, options))
        return Usage(*error);
    if (auto problem = UnknownTagProblem(options))
        return Usage(*problem);

    // The journal's place (the program's version, the settings' keep days) is worked out
    // on another core while the list is read: a few milliseconds before the first rename.
    std::future<TJournalPlace> placeAhead;
    if (!args.dryRun)
        placeAhead = std::async(std::launch::async, CommandLineJournalPlace);

    std::optional<std::string> listed;
    if (args.filesFrom) {
        std::string problem;
        listed = ReadPathList(*args.filesFrom, args.nullSeparated, problem);
        if (!listed)
            return Usage(problem);
    }
    auto forEachGiven = [&](auto&& each) {
        for (const std::string& path : args.paths)
            each(std::string_view(path));
        if (listed)
            ForEachListed(*listed, args.nullSeparated ? '\0' : '\n', each);
    };
    // A sorted order needs every path at once; the given order streams them.
    std::vector<std::string> sorted;
    if (args.order != PathOrder::Given) {
        forEachGiven([&sorted](std::string_view path) { sorted.emplace_back(path); });
        listed.reset();
        SortPaths(sorted, args.order);
    }
    auto forEachPath = [&](auto&& each) {
        if (args.order == PathOrder::Given) {
            forEachGiven(each);
            return;
        }
        for (const std::string& path : sorted)
            each(std::string_view(path));
    };
    std::size_t count = 0;
    // The rare trailing slashes of a path, by slot, kept aside for the messages.
    std::unordered_map<std::size_t, std::string> trailingSlashes;
    forEachPath([&](std::string_view path) {
        if (path.size() > 1 && path.back() == '/')
            if (const GivenPath split = SplitGivenPath(path); !split.Trailing.empty())
                trailingSlashes.emplace(count, std::string(split.Trailing));
        ++count;
    });
    if (count == 0)
        return Usage("no paths to rename");
    if (args.start)
        options.NumberIncValue = *args.start;

    if (args.dryRun) {
        // Straight from the list into the entries: a copy of every path besides would be
        // freed before the prediction, but its memory stays with the process.
        GivenEntries given;
        given.Entries.reserve(count);
        forEachPath([&given](std::string_view path) { given.Add(path); });
        listed.reset();
        sorted = {};
        ReadGivenEntryTags(options, given);
        return PredictRename(options, given, args.plan ? RunOrder::Planned : RunOrder::ListOrder);
    }

    // Each path is kept only as its entry's folder and name (a hundred thousand paths
    // would otherwise be held twice). The list is left to the end of the process, which
    // follows the run: freeing a million entries one by one would add a tenth of a second
    // to a run that is done.
    static TFileList* leftToTheEnd = nullptr;
    leftToTheEnd = new TFileList;
    TFileItems& items = leftToTheEnd->Items();
    items.BeginUpdate();

    if (args.plan || TagSourcesNeeded(options) != 0) {
        // Every entry is needed before the first move: the plan is made of them all, and
        // the tags are read first. The entries go to the list in small batches, so that
        // they are never all held twice.
        constexpr std::size_t kBatch = 4096;
        std::vector<TFileItems::NewEntry> batch;
        batch.reserve(kBatch);
        forEachPath([&](std::string_view path) {
            batch.push_back(SplitPath(path));
            if (batch.size() == kBatch) {
                items.AddNamesOnly(std::exchange(batch, {}));
                batch.reserve(kBatch);
            }
        });
        items.AddNamesOnly(std::move(batch));
        listed.reset();
        sorted = {};
        std::string line;
        ReadEntryTags(options, items, [&](int slot, const TFileItem& entry) {
            line.assign(entry.Path());
            line += entry.Name();
            if (const auto slashes = trailingSlashes.find(static_cast<std::size_t>(slot));
                slashes != trailingSlashes.end())
                line += slashes->second;
            return line;
        });
        return RunItems("rename", items, trailingSlashes, options,
                        args.plan ? RunOrder::Planned : RunOrder::ListOrder, args.verbose,
                        placeAhead.get());
    }

    // Otherwise the run starts on the first files while the entries of the last are still
    // to be made: the thread that works out the moves ahead of the run makes each step of
    // entries as it comes to them. (On a thread of their own, the entries took the
    // processor from that thread or from the run, on two cores, just when the run starts.)
    items.OpenSlots(static_cast<int>(count));
    std::size_t made = 0;
    bool outOfMemory = false;
    const std::vector<std::string>& before = args.order == PathOrder::Given ? args.paths : sorted;
    TListedPaths listedPaths(args.order == PathOrder::Given && listed ? std::string_view(*listed)
                                                                      : std::string_view(),
                             args.nullSeparated ? '\0' : '\n');
    // The files of a folder come together: they share its path.
    std::shared_ptr<const std::string> folder;
    const auto arriving = std::make_shared<TSlotsArriving>(count, [&]() -> std::size_t {
        constexpr std::size_t kStep = 256;
        try {
            std::string_view path;
            for (std::size_t step = 0; step < kStep; ++step) {
                if (made < before.size())
                    path = before[made];
                else if (!listedPaths.Next(path))
                    return TSlotsArriving::kEnded;
                const GivenPath split = SplitGivenPath(path);
                if (folder == nullptr || *folder != split.Folder)
                    folder = std::make_shared<const std::string>(split.Folder);
                items.FillSlot(static_cast<int>(made), std::string(split.Name), folder);
                ++made;
            }
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
            return TSlotsArriving::kEnded;
        }
        return made < count ? made : TSlotsArriving::kEnded;
    });
    const int status = RunItems("rename", items, trailingSlashes, options, RunOrder::ListOrder,
                                args.verbose, placeAhead.get(), arriving);
    if (outOfMemory) {
        std::fprintf(stderr,
                     "quillmark-cli rename: out of memory after %zu of %zu files; the others "
                     "were not renamed\n",
                     made, count);
        return 1;
    }
    return status;
}

} // namespace qm::cli
