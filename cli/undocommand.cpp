#include "cli/undocommand.h"

#include "filelist/versioninfo.h"
#include "rename/journalundo.h"
#include "rename/namerules.h"

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

// `tried`: an undo of the run was taken (its journal is there), which did not finish it,
// with how many files the newest such undo left (0 when it did not say: it was cut short
// or cancelled).
std::string State(const TJournal& journal, std::optional<int> tried) {
    std::string state = !journal.Started          ? "not started"
                        : !journal.Closed         ? "interrupted"
                        : journal.Tally.Cancelled ? "cancelled"
                                                  : "finished";
    if (journal.Mode == RenameMode::Undo)
        state += journal.UndoOf.empty() ? ", undo" : ", undo of " + journal.UndoOf;
    if (journal.Undone)
        state += ", undone";
    else if (tried)
        state +=
            *tried > 0 ? ", partly undone (" + Files(*tried) + " not back)" : ", partly undone";
    else if (journal.Kept)
        state += ", new names kept";
    return state;
}

std::string Folders(const TJournal& journal) {
    std::set<std::string> folders;
    for (const TJournalMove& move : journal.Moves)
        folders.insert(move.Folder);
    if (folders.empty())
        return "-";
    std::string first = journal.Moves.front().Folder.empty() ? "./" : journal.Moves.front().Folder;
    if (folders.size() > 1)
        first += " (+" + std::to_string(folders.size() - 1) + " more)";
    return first;
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
        const TUndoResult result =
            UndoJournal(path, journal, TJournalPlace{folder, ProgramVersion()}, never);
        if (!result.Run.Ran)
            return Fail("undo", "cannot write the journal of the undo (" +
                                    result.Run.JournalProblem + "); nothing was undone");
        tally = result.Tally;
        failures = result.Failures;
        moves = result.Moves;
        errors = result.Run.Errors;
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

int RunHistory() {
    const std::vector<std::string> files = JournalFiles(JournalFolder());
    // Runs with an undo of their own, and how many files the newest of those left: an
    // undo is newer than its run, so newest first meets it before the run.
    std::map<std::string, int> tried;
    for (auto it = files.rbegin(); it != files.rend(); ++it) {
        const TJournalRead read = ReadJournal(*it);
        if (read.Status != TJournalRead::Ok) {
            std::fprintf(stderr, "quillmark-cli: %s: %s; left alone\n", it->c_str(),
                         read.Problem.c_str());
            continue;
        }
        const TJournal& j = read.Journal;
        if (j.Mode == RenameMode::Undo)
            tried.emplace(j.UndoOf, j.Closed && !j.Tally.Cancelled ? j.Tally.Failed : 0);
        const auto undo = tried.find(j.RunId);
        const std::string counts = j.Closed
                                       ? Counts(j.Tally)
                                       : std::to_string(j.EntryCount) + " files, " +
                                             std::to_string(std::count_if(
                                                 j.Moves.begin(), j.Moves.end(),
                                                 [](const TJournalMove& m) {
                                                     return !m.From.empty();
                                                 })) +
                                             " renames planned";
        std::printf(
            "%s\t%s\t%s\t%s\t%s\n", j.RunId.c_str(),
            JournalLocalTime(j.Time, "%Y-%m-%d %H:%M:%S").c_str(),
            State(j, undo != tried.end() ? std::optional(undo->second) : std::nullopt).c_str(),
            counts.c_str(), Folders(j).c_str());
    }
    return Flush("history");
}

} // namespace qm::cli
