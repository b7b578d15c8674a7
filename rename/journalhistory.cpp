#include "rename/journalhistory.h"

#include "rename/journalundo.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

TJournalSummary ReadJournalSummary(const std::string& path) {
    TJournalSummary summary;
    summary.Path = path;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0) {
        summary.Status = TJournalRead::Unreadable;
        summary.Problem = std::strerror(errno);
        if (fd >= 0)
            close(fd);
        return summary;
    }
    summary.FileSize = static_cast<std::uint64_t>(st.st_size);
    int error = 0;
    const auto readAt = [fd, &error](std::uint64_t at, std::size_t n, std::string& out) {
        out.clear();
        out.resize(n);
        std::size_t got = 0;
        while (got < n) {
            const ssize_t r = pread(fd, out.data() + got, n - got, static_cast<off_t>(at + got));
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0)
                error = errno;
            if (r <= 0)
                break;
            got += static_cast<std::size_t>(r);
        }
        out.resize(got);
        return error == 0;
    };
    TJournalOutline outline = ParseJournalOutline(summary.FileSize, readAt);
    close(fd);
    if (error != 0) {
        summary.Status = TJournalRead::Unreadable;
        summary.Problem = std::strerror(error);
        return summary;
    }
    summary.Status = outline.Read.Status;
    summary.Problem = std::move(outline.Read.Problem);
    summary.Journal = std::move(outline.Read.Journal);
    summary.Announced = outline.Announced;
    summary.Inserted = outline.Inserted;
    summary.FirstFolder = std::move(outline.FirstFolder);
    summary.FolderCount = outline.FolderCount;
    summary.BytesRead = outline.BytesRead;
    return summary;
}

std::vector<THistoryRun> ReadHistory(const std::string& folder, std::size_t limit) {
    const std::vector<std::string> files = JournalFiles(folder);
    std::vector<THistoryRun> runs;
    // Newest first: an undo is newer than its run, so each run meets every undo of it
    // before itself. For each run an undo took back: how many files the newest such undo
    // left; for each journal seen: whether it was undone.
    std::map<std::string, int> tried;
    std::map<std::string, bool> undone;
    for (auto it = files.rbegin(); it != files.rend(); ++it) {
        if (limit > 0 && runs.size() == limit)
            break;
        THistoryRun run;
        run.Summary = ReadJournalSummary(*it);
        const TJournal& j = run.Summary.Journal;
        if (run.Summary.Status == TJournalRead::Ok) {
            if (j.Mode == RenameMode::Undo && !j.UndoOf.empty())
                tried.emplace(j.UndoOf, j.Closed && !j.Tally.Cancelled ? j.Tally.Failed : 0);
            undone.emplace(j.RunId, j.Undone);
            run.Progress = !j.Started          ? THistoryRun::Course::NotStarted
                           : !j.Closed         ? THistoryRun::Course::Interrupted
                           : j.Tally.Cancelled ? THistoryRun::Course::Cancelled
                                               : THistoryRun::Course::Finished;
            // A run going on holds its journal; a journal of this process that is open
            // elsewhere in it is held too.
            run.GoingOn = !j.Closed && (JournalInUse(*it) || JournalWriterAlive(j));
            if (!j.Undone) {
                if (const auto undo = tried.find(j.RunId); undo != tried.end())
                    run.PartlyUndone = undo->second;
            } else if (const auto by = undone.find(j.UndoneBy); by != undone.end()) {
                run.UndoTakenBack = by->second;
            }
        }
        runs.push_back(std::move(run));
    }
    return runs;
}

namespace {

std::string Files(int count) {
    return std::to_string(count) + (count == 1 ? " file" : " files");
}

} // namespace

std::string HistoryStateText(const THistoryRun& run) {
    const TJournalSummary& s = run.Summary;
    if (s.Status != TJournalRead::Ok)
        return (s.Status == TJournalRead::NewerVersion ? "newer version: " : "damaged: ") +
               s.Problem;
    const TJournal& journal = s.Journal;
    std::string state = run.GoingOn ? "going on" : [&] {
        switch (run.Progress) {
        case THistoryRun::Course::NotStarted:
            return "not started";
        case THistoryRun::Course::Interrupted:
            return "interrupted";
        case THistoryRun::Course::Cancelled:
            return "cancelled";
        case THistoryRun::Course::Finished:
            break;
        }
        return "finished";
    }();
    if (journal.Mode == RenameMode::Undo)
        state += journal.UndoOf.empty() ? ", undo" : ", undo of " + journal.UndoOf;
    if (journal.Undone)
        state += run.UndoTakenBack ? ", undone, its undo taken back" : ", undone";
    else if (run.PartlyUndone)
        state += *run.PartlyUndone > 0
                     ? ", partly undone (" + Files(*run.PartlyUndone) + " not back)"
                     : ", partly undone";
    else if (journal.Kept)
        state += ", new names kept";
    return state;
}

std::string HistoryCountsText(const THistoryRun& run) {
    const TJournalSummary& s = run.Summary;
    if (s.Status != TJournalRead::Ok)
        return "-";
    const TJournal& j = s.Journal;
    if (j.Closed)
        return std::to_string(j.Tally.Renamed) + " renamed, " + std::to_string(j.Tally.Unchanged) +
               " unchanged, " + std::to_string(j.Tally.Failed) + " failed";
    return std::to_string(j.EntryCount) + " files, " + std::to_string(s.Announced) +
           " renames planned";
}

std::string HistoryFolderText(const THistoryRun& run) {
    const TJournalSummary& s = run.Summary;
    if (s.FolderCount == 0)
        return "-";
    std::string text = s.FirstFolder;
    if (s.FolderCount > 1)
        text += " (+" + std::to_string(s.FolderCount - 1) + " more)";
    return text;
}

std::string UndoRefusal(const std::vector<THistoryRun>& runs, std::size_t index) {
    if (index >= runs.size())
        return "no such run";
    const THistoryRun& run = runs[index];
    const TJournalSummary& s = run.Summary;
    if (s.Status != TJournalRead::Ok)
        return s.Problem + "; left alone";
    const TJournal& j = s.Journal;
    if (run.GoingOn)
        return "the run " + j.RunId + " is still going on (process " + std::to_string(j.Pid) + ")";
    // Also once its undo was taken back, and the run's names are on the disk again: the
    // undo's journal still tells those moves as taken back, so another undo of the run
    // would leave them. Taking back the undo's undo gives the old names again.
    if (j.Undone && run.UndoTakenBack)
        return "the run " + j.RunId + " was undone (by " + j.UndoneBy +
               "), and that undo was taken back; take back the run that took it back";
    if (j.Undone)
        return "the run " + j.RunId + " was undone already (by " + j.UndoneBy + ")";
    return {};
}

} // namespace qm
