#include "rename/journalundo.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace qm {
namespace {

// The names of the folders as the undo will leave them: what the disk says, overlaid by
// the moves planned so far.
class FolderState {
public:
    // The inode of `folder` + `name`, or nothing when no such entry exists.
    std::optional<std::uint64_t> Look(const std::string& folder, const std::string& name) {
        if (const auto it = overlay_.find(Key(folder, name)); it != overlay_.end())
            return it->second;
        struct stat st {};
        const std::string path = folder + name;
        if (fstatat(AT_FDCWD, path.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return std::nullopt;
        return static_cast<std::uint64_t>(st.st_ino);
    }

    void Move(const std::string& folder, const std::string& from, const std::string& to,
              std::uint64_t inode) {
        overlay_[Key(folder, from)] = std::nullopt;
        overlay_[Key(folder, to)] = inode;
    }

    // A file parked by a case-only move of process `pid` that was cut short
    // (".qm-case-PID-..."); with `inode` known, only that file.
    std::optional<std::string> CaseParked(const std::string& folder, std::uint32_t pid,
                                          std::uint64_t inode) {
        char prefix[32];
        std::snprintf(prefix, sizeof prefix, ".qm-case-%x-", pid);
        auto it = parked_.find(folder);
        if (it == parked_.end()) {
            std::vector<std::pair<std::string, std::uint64_t>> names;
            if (DIR* dir = opendir(folder.empty() ? "." : folder.c_str())) {
                while (const dirent* entry = readdir(dir))
                    if (std::string_view(entry->d_name).starts_with(prefix))
                        names.emplace_back(entry->d_name, entry->d_ino);
                closedir(dir);
            }
            it = parked_.emplace(folder, std::move(names)).first;
        }
        for (const auto& [name, ino] : it->second)
            if (Look(folder, name) && (inode == 0 || Look(folder, name) == inode))
                return name;
        return std::nullopt;
    }

private:
    static std::string Key(const std::string& folder, const std::string& name) {
        return folder + '\0' + name;
    }
    std::unordered_map<std::string, std::optional<std::uint64_t>> overlay_;
    std::unordered_map<std::string, std::vector<std::pair<std::string, std::uint64_t>>> parked_;
};

} // namespace

TUndoPlan PlanUndo(const TJournal& journal) {
    TUndoPlan plan;
    plan.Entries = journal.EntryCount;
    if (!journal.Started)
        return plan; // nothing was renamed before the moves were all written
    // Which moves leave a cycle's temporary name (the second move of its parked entry, or
    // a park taken back): until the cycle began, that name did not exist.
    std::vector<char> fromTemporary(journal.Moves.size(), 0);
    {
        std::set<int> parked;
        for (std::size_t i = 0; i < journal.Moves.size(); ++i)
            if (journal.Moves[i].Temporary)
                fromTemporary[i] = !parked.insert(journal.Moves[i].Entry).second;
    }
    FolderState disk;
    for (std::size_t i = journal.Moves.size(); i-- > 0;) {
        const TJournalMove& m = journal.Moves[i];
        if (m.Result == MoveResult::Failed || m.Result == MoveResult::NotReached ||
            (m.Missing && m.Result != MoveResult::Done))
            continue;
        const bool known = m.Inode != 0;
        const bool done = m.Result == MoveResult::Done;
        const std::optional<std::uint64_t> to = disk.Look(m.Folder, m.To);
        const std::optional<std::uint64_t> from = disk.Look(m.Folder, m.From);
        auto restore = [&](const std::string& current) {
            plan.Moves.push_back({m.Entry, m.Temporary, m.Folder, current, m.From, m.Inode, false,
                                  MoveResult::Unknown});
            disk.Move(m.Folder, current, m.From, m.Inode);
        };
        auto fail = [&](int error) {
            plan.Failures.push_back({m.Entry, m.Folder, m.To, m.From, error});
        };
        if (to && (!known || *to == m.Inode)) {
            if (!from)
                restore(m.To);
            else if (known ? *from != m.Inode : done)
                fail(EEXIST); // the old name was taken since
            // else: the move was never taken (its target is someone else's file).
            continue;
        }
        if (from && (!known || *from == m.Inode))
            continue; // never taken, or taken back already
        if (!done) {
            // Killed between the two steps of a case-only move.
            if (const auto parked = disk.CaseParked(m.Folder, journal.Pid, m.Inode)) {
                if (!from)
                    restore(*parked);
                else
                    fail(EEXIST);
                continue;
            }
        }
        if (done || (!from && !fromTemporary[i]))
            fail(ENOENT); // the file is gone from its new name
    }
    return plan;
}

RenameTally CountUndo(const TUndoPlan& plan, const std::vector<int>& errors) {
    // Per entry: a cycle's parked entry has two moves and counts once; a move not reached
    // (cancelled) leaves its entry as it is.
    enum State { Left, Restored, Failed };
    std::map<long, State> state;
    long unknown = -1;
    auto key = [&unknown](int entry) {
        return entry >= 0 ? long{entry} : --unknown;
    };
    for (std::size_t i = 0; i < plan.Moves.size(); ++i) {
        const int error = i < errors.size() ? errors[i] : 0;
        State& s = state[key(plan.Moves[i].Entry)];
        if (error != 0 && error != ECANCELED)
            s = Failed;
        else if (error == 0 && s == Left)
            s = Restored;
    }
    for (const TUndoFailure& failure : plan.Failures)
        state[key(failure.Entry)] = Failed;
    RenameTally tally;
    for (const auto& [entry, s] : state) {
        if (s == Restored)
            ++tally.Renamed;
        else if (s == Failed)
            ++tally.Failed;
    }
    tally.Unchanged = std::max(0, plan.Entries - tally.Renamed - tally.Failed);
    return tally;
}

TUndoResult UndoJournal(const std::string& path, const TJournal& journal,
                        const TJournalPlace& place, const std::atomic<bool>& cancel,
                        const std::function<void(std::size_t done, std::size_t total)>& done) {
    TUndoResult result;
    const TUndoPlan plan = PlanUndo(journal);
    TJournal header;
    header.Mode = RenameMode::Undo;
    header.Order = RunOrder::Planned;
    header.EntryCount = journal.EntryCount;
    header.UndoOf = journal.RunId;
    result.Run = RunJournaledMoves(plan.Moves, header, place, cancel, [&](std::size_t index, int) {
        if (done)
            done(index + 1, plan.Moves.size());
    });
    result.Failures = plan.Failures;
    result.Moves = plan.Moves;
    if (!result.Run.Ran)
        return result;
    for (std::size_t i = 0; i < plan.Moves.size(); ++i) {
        const int error = result.Run.Errors[i];
        if (error != 0 && error != ECANCELED) {
            const TJournalMove& m = plan.Moves[i];
            result.Failures.push_back({m.Entry, m.Folder, m.From, m.To, error});
        }
    }
    result.Tally = CountUndo(plan, result.Run.Errors);
    result.Tally.Cancelled = cancel.load();
    if (!result.Tally.Cancelled)
        result.MarkProblem = MarkJournalUndone(path, result.Run.RunId);
    return result;
}

bool JournalWriterAlive(const TJournal& journal) {
    if (journal.Pid == 0 || journal.Pid == static_cast<std::uint32_t>(getpid()))
        return false;
    if (kill(static_cast<pid_t>(journal.Pid), 0) != 0 && errno != EPERM)
        return false;
    // The number may have gone to another program since.
    char link[64];
    std::snprintf(link, sizeof link, "/proc/%u/exe", journal.Pid);
    char target[4096];
    const ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return errno == EACCES; // not ours to look at: assume the worst
    const std::string_view exe(target, static_cast<std::size_t>(n));
    const std::string_view base = exe.substr(exe.rfind('/') + 1);
    return base.starts_with("quillmark");
}

} // namespace qm
