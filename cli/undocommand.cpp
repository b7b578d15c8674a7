#include "cli/undocommand.h"

#include "filelist/versioninfo.h"
#include "rename/journalhistory.h"
#include "rename/journalundo.h"
#include "rename/namerules.h"
#include "settings/settings.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <optional>
#include <set>
#include <sys/stat.h>

namespace qm::cli {
namespace {

int Fail(const char* command, const std::string& message) {
    std::fprintf(stderr, "quillmark-cli %s: %s\n", command, message.c_str());
    return 2;
}

std::string Reason(const TUndoFailure& failure) {
    if (failure.BothNames)
        return "also under its old name '" + failure.Old +
               "', but whether both are one file cannot be told here; left, to be checked "
               "and removed by hand";
    if (failure.Error == EEXIST)
        return "cannot get back its name '" + failure.Old + "': the name is taken";
    if (failure.Error == ENOENT)
        return "no longer there (cannot get back its name '" + failure.Old + "')";
    if (failure.Error.DriveRefused())
        return NameRuleErrorText(failure.Error);
    return std::strerror(failure.Error.Errno());
}

void PrintFailures(const std::vector<TUndoFailure>& failures) {
    for (const TUndoFailure& failure : failures)
        std::fprintf(stderr, "quillmark-cli: %s%s: %s\n", failure.Folder.c_str(),
                     failure.Current.c_str(), Reason(failure).c_str());
}

std::string Counts(const RenameTally& tally) {
    return std::to_string(tally.Renamed) + " renamed, " + std::to_string(tally.Unchanged) +
           " unchanged, " + std::to_string(tally.Failed) + " failed";
}

std::string Files(int count) {
    return std::to_string(count) + (count == 1 ? " file" : " files");
}

int Flush(const char* command) {
    if (std::fflush(stdout) != 0)
        return Fail(command, std::string("cannot write the output: ") + std::strerror(errno));
    return 0;
}

} // namespace

std::string ProgramVersion() {
    const TVersionInfo version;
    return version.GetInfo(TVersionInfo::InfoLongVersion);
}

TJournalPlace CommandLineJournalPlace() {
    TJournalPlace place{JournalFolder(), ProgramVersion()};
    place.Origin = JournalOrigin::CommandLine;
    TSettings settings;
    settings.Load();
    place.Keep.Days = settings.JournalKeepDays;
    return place;
}

int RunUndo(const UndoArgs& args) {
    const std::string folder = JournalFolder();
    std::string path;
    TJournalRead read;
    bool finishing = false;
    if (args.run) {
        path = JournalPath(folder, *args.run);
        struct stat st {};
        if (args.run->empty() || args.run->find('/') != std::string::npos ||
            stat(path.c_str(), &st) != 0)
            return Fail("undo",
                        "no journaled run '" + *args.run + "' (see 'quillmark-cli history')");
        const std::vector<THistoryRun> runs = ReadHistory(folder);
        const auto named = std::find_if(runs.begin(), runs.end(), [&](const THistoryRun& run) {
            return run.Summary.Path == path;
        });
        if (named != runs.end()) {
            if (const std::string refusal =
                    UndoRefusal(runs, static_cast<std::size_t>(named - runs.begin()));
                !refusal.empty())
                return Fail("undo", refusal);
        }
        read = ReadJournal(path);
    } else {
        TRunToUndo last = LastRunToUndo(folder);
        if (last.Path.empty())
            return Fail("undo", "no journaled run in " + folder);
        path = std::move(last.Path);
        read = std::move(last.Read);
        finishing = last.Finishing;
        if (finishing)
            std::fprintf(stderr, "quillmark-cli undo: finishing the undo of %s\n",
                         read.Journal.RunId.c_str());
    }
    if (read.Status != TJournalRead::Ok)
        return Fail("undo", path + ": " + read.Problem + "; left alone");
    const TJournal& journal = read.Journal;
    if (!args.run && journal.Undone)
        return Fail("undo", "the last run (" + journal.RunId +
                                ") was undone already; name a run with --run (see "
                                "'quillmark-cli history')");
    if (!args.run && !finishing && journal.Mode == RenameMode::Undo)
        return Fail("undo", "the last run (" + journal.RunId +
                                ") was itself an undo; name it with --run to take it back");
    if (!journal.Closed && JournalWriterAlive(journal))
        return Fail("undo", "the run " + journal.RunId + " is still going on (process " +
                                std::to_string(journal.Pid) + ")");

    RenameTally tally;
    std::vector<TUndoFailure> failures;
    std::vector<TJournalMove> moves;
    std::vector<RunError> errors;
    bool partly = false;
    int foldersRemoved = 0;
    if (args.dryRun) {
        const TUndoPlan plan = PlanUndo(journal, UndosOf(folder, journal.RunId));
        tally = CountUndo(plan);
        failures = plan.Failures;
        moves = plan.Moves;
        errors.assign(moves.size(), 0);
    } else {
        const std::atomic<bool> never{false};
        TUndoResult result = UndoJournal(path, journal, CommandLineJournalPlace(), never);
        if (!result.Run.Ran)
            return Fail("undo", "cannot write the journal of the undo (" +
                                    result.Run.JournalProblem + "); nothing was undone");
        tally = result.Tally;
        // Taken over, not copied: a million moves held twice were the undo's peak.
        failures = std::move(result.Failures);
        moves = std::move(result.Moves);
        errors = std::move(result.Run.Errors);
        if (!result.Run.JournalProblem.empty())
            std::fprintf(stderr, "quillmark-cli undo: warning: %s\n",
                         result.Run.JournalProblem.c_str());
        if (!result.MarkProblem.empty())
            std::fprintf(stderr,
                         "quillmark-cli undo: warning: the run could not be marked "
                         "undone: %s\n",
                         result.MarkProblem.c_str());
        partly = !result.Complete && !result.Tally.Cancelled;
        if (result.Folders.Kept > 0)
            std::fprintf(stderr,
                         "quillmark-cli undo: %d of the folders the run made hold other files "
                         "now and were left\n",
                         result.Folders.Kept);
        foldersRemoved = result.Folders.Removed;
    }
    PrintFailures(failures);
    if (partly)
        std::fprintf(stderr,
                     "quillmark-cli undo: the run %s is partly undone (%s not back); "
                     "'quillmark-cli undo' takes it further once the names are free\n",
                     journal.RunId.c_str(), Files(tally.Failed).c_str());
    if (args.list) {
        for (std::size_t i = 0; i < moves.size(); ++i)
            if (errors[i] == 0)
                std::printf("%s%s\t%s%s\n", moves[i].Folder.c_str(), moves[i].From.c_str(),
                            moves[i].Folder.c_str(), moves[i].To.c_str());
    }
    std::printf("%s\n", Counts(tally).c_str());
    if (foldersRemoved > 0)
        std::printf("%d %s made by the run removed\n", foldersRemoved,
                    foldersRemoved == 1 ? "folder" : "folders");
    if (const int error = Flush("undo"))
        return error;
    return tally.Failed == 0 ? 0 : 1;
}

int RunHistory(bool all) {
    const std::vector<THistoryRun> runs = ReadHistory(JournalFolder(), all ? 0 : kHistoryShown + 1);
    const std::size_t shown = all ? runs.size() : std::min(runs.size(), kHistoryShown);
    for (std::size_t i = 0; i < shown; ++i) {
        const THistoryRun& run = runs[i];
        const TJournal& j = run.Summary.Journal;
        const bool read = run.Summary.Status == TJournalRead::Ok;
        // A journal that cannot be read is a row too, named by its file.
        std::string id = j.RunId;
        if (!read) {
            id = run.Summary.Path.substr(run.Summary.Path.rfind('/') + 1);
            id = id.substr(0, id.rfind('.'));
        }
        const std::int64_t time = read ? j.Time : JournalNameTime(run.Summary.Path);
        const char* by = j.Origin == JournalOrigin::Window        ? "window"
                         : j.Origin == JournalOrigin::CommandLine ? "command line"
                                                                  : "-";
        std::printf("%s\t%s\t%s\t%s\t%s\t%s\n", id.c_str(),
                    time >= 0 ? JournalLocalTime(time, "%Y-%m-%d %H:%M:%S").c_str() : "-",
                    HistoryStateText(run).c_str(), HistoryCountsText(run).c_str(),
                    HistoryFolderText(run).c_str(), read ? by : "-");
    }
    if (shown < runs.size()) {
        const std::size_t more = JournalFiles(JournalFolder()).size() - shown;
        std::fprintf(stderr, "quillmark-cli history: %zu older %s not listed; --all lists %s\n",
                     more, more == 1 ? "run" : "runs", more == 1 ? "it" : "them");
    }
    return Flush("history");
}

} // namespace qm::cli
