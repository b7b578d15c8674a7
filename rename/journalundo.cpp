#include "rename/journalundo.h"

#include "rename/movefile.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace qm {
namespace {

// An entry as the undo finds it: its inode number, whether it is a folder, and its path on
// disk now (the plan renames nothing, so that path holds until the undo runs).
struct Node {
    std::uint64_t Inode = 0;
    bool IsFolder = false;
    std::string Disk;
};

// "sub/f" below "d/" is "f" in "d/sub/": a new name may name a place in a sub-folder.
std::pair<std::string, std::string> Split(const std::string& folder, const std::string& name) {
    const std::size_t slash = name.rfind('/');
    if (slash == std::string::npos)
        return {folder, name};
    return {folder + name.substr(0, slash + 1), name.substr(slash + 1)};
}

bool ParkedName(std::string_view name) {
    return name.starts_with(".qm-case-");
}

// The folders as the undo will leave them: what the disk lists, overlaid by the moves
// planned so far. Names come from the folder's listing, never from a lookup by name: a
// folder that ignores letter case answers a lookup of "readme.txt" with "README.txt", and
// a file system in user space may answer one from a cache that a killed run left stale.
class FolderState {
public:
    std::optional<Node> Look(const std::string& folder, const std::string& name) {
        const auto [in, base] = Split(folder, name);
        const std::optional<std::string> disk = DiskFolder(in);
        if (!disk)
            return std::nullopt;
        if (const std::optional<Node>* node = Overlaid(*disk, base))
            return *node;
        const Listing& listing = List(*disk);
        const auto it = listing.find(base);
        if (it == listing.end())
            return std::nullopt;
        return Node{it->second.first, it->second.second, *disk + base};
    }

    void Move(const std::string& folder, const std::string& from, const std::string& to,
              const Node& node) {
        const auto [fromIn, fromBase] = Split(folder, from);
        const auto [toIn, toBase] = Split(folder, to);
        const std::optional<std::string> fromDisk = DiskFolder(fromIn);
        const std::optional<std::string> toDisk = DiskFolder(toIn);
        if (fromDisk)
            overlay_[*fromDisk][fromBase] = std::nullopt;
        if (toDisk)
            overlay_[*toDisk][toBase] = node;
        folderMoved_ |= node.IsFolder;
    }

    // The names in `folder` that a case-only move of one of `pids` parked there when it
    // was cut short (".qm-case-PID-...").
    // Read once per folder: a run whose files were deleted by hand asks for every one.
    const std::vector<std::string>& Parked(const std::string& folder,
                                           const std::vector<std::uint32_t>& pids) {
        static const std::vector<std::string> none;
        const std::optional<std::string> disk = DiskFolder(folder);
        if (!disk)
            return none;
        auto it = parked_.find(*disk);
        if (it != parked_.end())
            return it->second;
        std::vector<std::string> names;
        for (const auto& [name, node] : List(*disk)) {
            if (!ParkedName(name))
                continue;
            for (const std::uint32_t pid : pids) {
                char prefix[32];
                std::snprintf(prefix, sizeof prefix, ".qm-case-%x-", pid);
                if (name.starts_with(prefix))
                    names.push_back(name);
            }
        }
        return parked_.emplace(*disk, std::move(names)).first->second;
    }

private:
    using Listing = std::unordered_map<std::string, std::pair<std::uint64_t, bool>>;

    // The planned state of `name` in the folder `disk`; null when no move touched it.
    const std::optional<Node>* Overlaid(const std::string& disk, const std::string& name) const {
        const auto in = overlay_.find(disk);
        if (in == overlay_.end())
            return nullptr;
        const auto it = in->second.find(name);
        return it == in->second.end() ? nullptr : &it->second;
    }

    const Listing& List(const std::string& folder) {
        auto it = listings_.find(folder);
        if (it != listings_.end())
            return it->second;
        Listing listing;
        if (DIR* dir = opendir(folder.empty() ? "." : folder.c_str())) {
            while (const dirent* entry = readdir(dir)) {
                const std::string_view name = entry->d_name;
                if (name == "." || name == "..")
                    continue;
                bool isFolder = entry->d_type == DT_DIR;
                if (entry->d_type == DT_UNKNOWN) {
                    struct stat st {};
                    isFolder = fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                               S_ISDIR(st.st_mode);
                }
                listing.emplace(std::string(name), std::make_pair(entry->d_ino, isFolder));
            }
            closedir(dir);
        }
        return listings_.emplace(folder, std::move(listing)).first->second;
    }

    // Where the folder that the undo will call `folder` is on disk now; nothing when no
    // folder will have that path. Only a planned move of a folder changes paths below it.
    std::optional<std::string> DiskFolder(const std::string& folder) {
        if (!folderMoved_ || !folder.starts_with('/'))
            return folder;
        std::string disk = "/";
        for (std::size_t start = 1; start < folder.size();) {
            std::size_t end = folder.find('/', start);
            if (end == std::string::npos)
                end = folder.size();
            const std::string part = folder.substr(start, end - start);
            start = end + 1;
            if (part.empty() || part == ".")
                continue;
            if (part == "..") {
                if (disk.size() > 1)
                    disk.resize(disk.rfind('/', disk.size() - 2) + 1);
                continue;
            }
            if (const std::optional<Node>* node = Overlaid(disk, part)) {
                if (!*node)
                    return std::nullopt;
                disk = (*node)->Disk + '/';
            } else {
                disk += part + '/';
            }
        }
        return disk;
    }

    std::unordered_map<std::string, Listing> listings_;
    std::unordered_map<std::string, std::vector<std::string>> parked_;
    // By folder, then by name: a million moves in one folder keep its path once, not once
    // per name.
    std::unordered_map<std::string, std::unordered_map<std::string, std::optional<Node>>> overlay_;
    bool folderMoved_ = false;
};

// The other path of a folder that the run renamed: "d/sub/" for "d/sub_x/" and back, also
// for the folders below it. Read from the journal's moves, only when a file is not found
// through the folder path its move names.
class FolderNames {
public:
    explicit FolderNames(const TJournal& journal) : journal_(journal) {}

    std::vector<std::string> Others(const std::string& folder) {
        if (!built_) {
            built_ = true;
            for (const TJournalMove& m : journal_.Moves) {
                if (m.Result == MoveResult::Failed || m.Result == MoveResult::NotReached ||
                    ParkedName(m.From) || ParkedName(m.To))
                    continue;
                const std::string before = m.Folder + m.From + '/';
                const std::string after = m.Folder + m.To + '/';
                other_.emplace(before, after);
                other_.emplace(after, before);
            }
        }
        std::vector<std::string> others;
        for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
             slash = folder.find('/', slash + 1)) {
            const auto [first, last] = other_.equal_range(folder.substr(0, slash + 1));
            for (auto it = first; it != last; ++it)
                others.push_back(it->second + folder.substr(slash + 1));
        }
        return others;
    }

private:
    const TJournal& journal_;
    bool built_ = false;
    std::unordered_multimap<std::string, std::string> other_;
};

enum class Likeness { Different, OneFile, Unproven };

// Up to `size` bytes, fewer only at the end of the file; -1 on an error.
ssize_t ReadFully(int fd, char* to, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = read(fd, to + got, size - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

// Whether the files at `a` and `b` cannot be told apart by their first `limit` bytes:
// files that differ there are two files, wherever their numbers come from. Files that
// cannot be read cannot be told apart either.
bool SameStart(const std::string& a, const std::string& b, std::size_t limit) {
    const int fa = open(a.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    const int fb = open(b.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    bool same = true;
    if (fa >= 0 && fb >= 0) {
        std::vector<char> da(65536), db(65536);
        for (std::size_t done = 0; same && done < limit; done += da.size()) {
            const ssize_t na = ReadFully(fa, da.data(), da.size());
            const ssize_t nb = ReadFully(fb, db.data(), db.size());
            if (na < 0 || nb < 0)
                break;
            same = na == nb && std::equal(da.begin(), da.begin() + na, db.begin());
            if (static_cast<std::size_t>(na) < da.size())
                break;
        }
    }
    if (fa >= 0)
        close(fa);
    if (fb >= 0)
        close(fb);
    return same;
}

// Whether the files under `a` and `b` may be one file under two names (as a rename cut
// short between its link and its unlink leaves it; only regular files are so renamed).
// Where inode numbers are stable (`stable`), other numbers are other files; where they
// are not, two names that agree in every attribute the file system tells and in their
// first megabyte cannot be told apart from one file (files of a folder renumbered in a
// chain are told apart by their contents, photos mostly by their sizes already).
Likeness Compare(const Node& a, const Node& b, bool stable) {
    struct stat sa {};
    struct stat sb {};
    if (lstat(a.Disk.c_str(), &sa) != 0 || lstat(b.Disk.c_str(), &sb) != 0 ||
        !S_ISREG(sa.st_mode) || !S_ISREG(sb.st_mode))
        return Likeness::Different;
    if (TwoLinksOfOneFile(sa, sb))
        return Likeness::OneFile;
    if (sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino)
        return Likeness::Unproven;
    if (stable)
        return Likeness::Different;
    const bool alike = sa.st_size == sb.st_size && sa.st_mode == sb.st_mode &&
                       sa.st_uid == sb.st_uid && sa.st_gid == sb.st_gid &&
                       sa.st_mtim.tv_sec == sb.st_mtim.tv_sec &&
                       sa.st_mtim.tv_nsec == sb.st_mtim.tv_nsec;
    return alike && SameStart(a.Disk, b.Disk, std::size_t{1} << 20) ? Likeness::Unproven
                                                                    : Likeness::Different;
}

// Which moves of an undo were taken. A closed journal says; one cut short took its moves
// in order up to the last whose file is under the new name with the old one free.
std::vector<char> TakenMoves(const TJournal& undo) {
    std::vector<char> taken(undo.Moves.size(), 0);
    if (undo.Closed) {
        for (std::size_t j = 0; j < undo.Moves.size(); ++j)
            taken[j] = undo.Moves[j].Result == MoveResult::Done;
        return taken;
    }
    FolderState disk;
    for (std::size_t j = undo.Moves.size(); j-- > 0;) {
        const TJournalMove& u = undo.Moves[j];
        if (disk.Look(u.Folder, u.To) && !disk.Look(u.Folder, u.From)) {
            std::fill(taken.begin(), taken.begin() + static_cast<std::ptrdiff_t>(j) + 1, 1);
            break;
        }
    }
    return taken;
}

// The moves of `journal` that its earlier undos took back: each taken move of an undo
// stands for the latest move of the same entry from the name it gave back.
std::vector<char> TakenBack(const TJournal& journal, const std::vector<TJournal>& undos) {
    std::vector<char> back(journal.Moves.size(), 0);
    if (undos.empty())
        return back;
    std::map<std::pair<int, std::string>, std::vector<std::size_t>> byOldName;
    for (std::size_t i = 0; i < journal.Moves.size(); ++i)
        byOldName[{journal.Moves[i].Entry, journal.Moves[i].From}].push_back(i);
    for (const TJournal& undo : undos) {
        const std::vector<char> taken = TakenMoves(undo);
        for (std::size_t j = 0; j < undo.Moves.size(); ++j) {
            if (!taken[j])
                continue;
            const TJournalMove& u = undo.Moves[j];
            const auto it = byOldName.find({u.Entry, u.To});
            if (it == byOldName.end())
                continue;
            for (auto i = it->second.rbegin(); i != it->second.rend(); ++i) {
                if (!back[*i] && (journal.Moves[*i].To == u.From || ParkedName(u.From))) {
                    back[*i] = 1;
                    break;
                }
            }
        }
    }
    return back;
}

} // namespace

std::vector<std::string> FoldersMade(const TJournal& journal) {
    std::vector<std::string> folders;
    for (std::size_t i = journal.Moves.size(); i-- > 0;) {
        const TJournalMove& m = journal.Moves[i];
        if (m.From.empty() && !m.To.empty() && m.Result != MoveResult::Failed &&
            m.Result != MoveResult::NotReached)
            folders.push_back(m.Folder + m.To);
    }
    return folders;
}

TFoldersRemoved RemoveEmptyFolders(const std::vector<std::string>& folders) {
    TFoldersRemoved removed;
    for (const std::string& folder : folders) {
        const int error = TFileCalls::System().RemoveFolder(AT_FDCWD, folder.c_str());
        if (error == 0)
            ++removed.Removed;
        else if (error != ENOENT)
            ++removed.Kept;
    }
    return removed;
}

TUndoPlan PlanUndo(const TJournal& journal, const std::vector<TJournal>& undos) {
    // The folders made are no moves: they go once the files have left them.
    if (std::any_of(journal.Moves.begin(), journal.Moves.end(),
                    [](const TJournalMove& m) { return m.From.empty(); })) {
        TJournal moves = journal;
        std::erase_if(moves.Moves, [](const TJournalMove& m) { return m.From.empty(); });
        TUndoPlan plan = PlanUndo(moves, undos);
        if (journal.Started)
            plan.Folders = FoldersMade(journal);
        return plan;
    }
    TUndoPlan plan;
    plan.Entries = journal.EntryCount;
    if (!journal.Started)
        return plan; // nothing was renamed before the moves were all written
    // Which moves leave a cycle's temporary name (the second move of its parked entry, or
    // a park taken back): until the cycle began, that name did not exist.
    std::vector<char> fromTemporary(journal.Moves.size(), 0);
    // Each entry's first move: where its file is once the whole run is taken back.
    std::unordered_map<int, std::size_t> firstMove;
    {
        std::set<int> parked;
        for (std::size_t i = 0; i < journal.Moves.size(); ++i) {
            if (journal.Moves[i].Temporary)
                fromTemporary[i] = !parked.insert(journal.Moves[i].Entry).second;
            if (journal.Moves[i].Entry >= 0)
                firstMove.emplace(journal.Moves[i].Entry, i);
        }
    }
    const std::vector<char> takenBack = TakenBack(journal, undos);
    // A case-only move cut short parks its file under the id of the process that took it:
    // the run's, or an undo's.
    std::vector<std::uint32_t> pids{journal.Pid};
    for (const TJournal& undo : undos)
        pids.push_back(undo.Pid);
    FolderState disk;
    FolderNames folderNames(journal);
    // A move of the run after this one was taken, so this one was not cut short (a run
    // takes one move at a time): its file under both names was there before.
    bool laterTaken = false;
    for (std::size_t i = journal.Moves.size(); i-- > 0;) {
        const TJournalMove& m = journal.Moves[i];
        if (takenBack[i] || m.Result == MoveResult::Failed || m.Result == MoveResult::NotReached ||
            (m.Missing && m.Result != MoveResult::Done))
            continue;
        const bool known = m.Inode != 0;
        const bool done = m.Result == MoveResult::Done;
        auto isTheFile = [&](const std::optional<Node>& node) {
            return node && (!known || node->Inode == m.Inode);
        };
        std::string folder = m.Folder;
        std::optional<Node> to = disk.Look(folder, m.To);
        std::optional<Node> from = disk.Look(folder, m.From);
        if (!isTheFile(to) && !isTheFile(from)) {
            // Its folder may keep the name the run gave it (or have it back already); a
            // run that renamed the folder first never took this move at all.
            for (const std::string& other : folderNames.Others(folder)) {
                std::optional<Node> there = disk.Look(other, m.To);
                std::optional<Node> back = disk.Look(other, m.From);
                if (isTheFile(there) || isTheFile(back)) {
                    folder = other;
                    to = std::move(there);
                    from = std::move(back);
                    break;
                }
            }
        }
        auto restore = [&](const std::string& current, const Node& node) {
            plan.Moves.push_back({m.Entry, m.Temporary, folder, current, m.From, m.Inode, false,
                                  MoveResult::Unknown});
            disk.Move(folder, current, m.From, node);
            laterTaken = true;
        };
        auto fail = [&](RunError error, bool bothNames = false) {
            plan.Failures.push_back({m.Entry, folder, m.To, m.From, error, bothNames});
        };
        if (isTheFile(to)) {
            // Both names after a run (or an undo) cut between the link and the unlink of
            // this move: the undo's move drops the new name (DropSecondName).
            const Likeness both =
                from && (done || !laterTaken) ? Compare(*to, *from, known) : Likeness::Different;
            if (!from || both == Likeness::OneFile)
                restore(m.To, *to);
            else if (both == Likeness::Unproven)
                fail(EEXIST, true);
            else if (known ? from->Inode != m.Inode : done)
                fail(EEXIST); // the old name was taken since
            // else: the move was never taken (its target is someone else's file).
            continue;
        }
        if (isTheFile(from))
            continue; // never taken, or taken back already
        // Cut short between the two steps of a case-only move, the run's or an undo's.
        bool found = false;
        for (const std::string& name : disk.Parked(folder, pids)) {
            const std::optional<Node> parked = disk.Look(folder, name);
            if (!isTheFile(parked))
                continue;
            if (!from)
                restore(name, *parked);
            else
                fail(EEXIST);
            found = true;
            break;
        }
        if (found)
            continue;
        // Back under the name it had before the run already (a swap undone before).
        if (known && m.Entry >= 0) {
            const TJournalMove& first = journal.Moves[firstMove.at(m.Entry)];
            if (isTheFile(disk.Look(first.Folder, first.From)))
                continue;
        }
        if (done || (!from && !fromTemporary[i]))
            fail(ENOENT); // the file is gone from its new name
    }
    return plan;
}

RenameTally CountUndo(const TUndoPlan& plan, const std::vector<RunError>& errors) {
    // Per entry: a cycle's parked entry has two moves and counts once; a move not reached
    // (cancelled) leaves its entry as it is.
    enum State { Left, Restored, Failed };
    std::map<long, State> state;
    long unknown = -1;
    auto key = [&unknown](int entry) {
        return entry >= 0 ? long{entry} : --unknown;
    };
    for (std::size_t i = 0; i < plan.Moves.size(); ++i) {
        const RunError error = i < errors.size() ? errors[i] : RunError();
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

std::vector<TJournal> UndosOf(const std::string& folder, const std::string& runId) {
    std::vector<TJournal> undos;
    for (const std::string& file : JournalFiles(folder)) {
        // Each journal's header first: most are no undo of this run, and a run of a million
        // files takes a second and hundreds of megabytes to read whole.
        const TJournalRead header = ReadJournalHeader(file);
        if (header.Status != TJournalRead::Ok || header.Journal.Mode != RenameMode::Undo ||
            header.Journal.UndoOf != runId)
            continue;
        TJournalRead read = ReadJournal(file);
        if (read.Status == TJournalRead::Ok && read.Journal.Mode == RenameMode::Undo &&
            read.Journal.UndoOf == runId)
            undos.push_back(std::move(read.Journal));
    }
    return undos;
}

TRunToUndo LastRunToUndo(const std::string& folder) {
    TRunToUndo last;
    const std::vector<std::string> files = JournalFiles(folder);
    if (files.empty())
        return last;
    last.Path = files.back();
    last.Read = ReadJournal(last.Path);
    const TJournal& newest = last.Read.Journal;
    if (last.Read.Status != TJournalRead::Ok || newest.Mode != RenameMode::Undo ||
        newest.UndoOf.empty() || newest.UndoOf.find('/') != std::string::npos)
        return last;
    // An undo that left its run partly undone: the run itself is what is left to do.
    const std::string runPath = JournalPath(folder, newest.UndoOf);
    TJournalRead run = ReadJournal(runPath);
    if (run.Status == TJournalRead::Ok && !run.Journal.Undone) {
        last.Path = runPath;
        last.Read = std::move(run);
        last.Finishing = true;
    }
    return last;
}

namespace {

TUndoResult UndoOnce(const std::string& path, const TJournal& journal, const TJournalPlace& place,
                     const std::atomic<bool>& cancel,
                     const std::function<void(std::size_t done, std::size_t total)>& done) {
    TUndoResult result;
    const TUndoPlan plan = PlanUndo(journal, UndosOf(place.Folder, journal.RunId));
    TJournal header;
    header.Mode = RenameMode::Undo;
    header.Order = RunOrder::Planned;
    header.EntryCount = journal.EntryCount;
    header.UndoOf = journal.RunId;
    TMoveFolder folder;
    result.Run = RunJournaledMoves(
        plan.Moves, header, place, cancel,
        [&](std::size_t index, RunError) {
            if (done)
                done(index + 1, plan.Moves.size());
        },
        [&folder](const std::string& in, const std::string& from, const std::string& to) {
            const RunError error = folder.Move(in, from, to);
            return error == EEXIST ? DropSecondName(in, from, to) : error;
        },
        [&plan](const std::vector<RunError>& errors) { return CountUndo(plan, errors); });
    result.Failures = plan.Failures;
    result.Moves = plan.Moves;
    if (!result.Run.Ran)
        return result;
    for (std::size_t i = 0; i < plan.Moves.size(); ++i) {
        const RunError error = result.Run.Errors[i];
        if (error != 0 && error != ECANCELED) {
            const TJournalMove& m = plan.Moves[i];
            result.Failures.push_back({m.Entry, m.Folder, m.From, m.To, error});
        }
    }
    result.Tally = CountUndo(plan, result.Run.Errors);
    result.Tally.Cancelled = cancel.load();
    if (!result.Tally.Cancelled)
        result.Folders = RemoveEmptyFolders(plan.Folders);
    // Any failure leaves the run partly undone, also a file gone for good: "undone" says
    // that every file is back.
    if (!result.Tally.Cancelled && result.Failures.empty()) {
        result.MarkProblem = MarkJournalUndone(path, result.Run.RunId);
        result.Complete = true;
    }
    return result;
}

} // namespace

TUndoResult UndoJournal(const std::string& path, const TJournal& journal,
                        const TJournalPlace& place, const std::atomic<bool>& cancel,
                        const std::function<void(std::size_t done, std::size_t total)>& done) {
    TUndoResult result = UndoOnce(path, journal, place, cancel, done);
    // A folder the run made under a name a file of the run had left held that name until
    // the folder went, after the moves: once it is gone, the file can have it back. Each
    // pass that removes a folder may free another name; the undo of what is back already
    // is left alone.
    while (result.Run.Ran && !result.Complete && !result.Tally.Cancelled &&
           result.Folders.Removed > 0) {
        TUndoResult again = UndoOnce(path, journal, place, cancel, done);
        if (!again.Run.Ran)
            break;
        again.Tally.Renamed += result.Tally.Renamed;
        again.Tally.Unchanged = std::max(0, again.Tally.Unchanged - result.Tally.Renamed);
        again.Folders.Removed += result.Folders.Removed;
        result = std::move(again);
    }
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
