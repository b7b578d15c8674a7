#include "rename/journalundo.h"

#include "rename/movefile.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <unordered_map>

namespace qm {
namespace {

constexpr std::uint32_t kNone = ~std::uint32_t{0};

// An entry as the undo finds it: its inode number, whether it is a folder, and where it is
// on disk now (the plan renames nothing, so that place holds until the undo runs): the
// entry of a folder's listing that FolderState::Path spells.
struct Node {
    std::uint64_t Inode = 0;
    bool IsFolder = false;
    std::uint32_t Listed = kNone;
};

// "sub/f" below "d/" is "f" in "d/sub/": a new name may name a place in a sub-folder. The
// folder is `folder` itself, or `joined` when the name holds a slash; `base` views `name`.
std::string_view Split(std::string_view folder, std::string_view name, std::string& joined,
                       std::string_view& base) {
    const std::size_t slash = name.rfind('/');
    if (slash == std::string_view::npos) {
        base = name;
        return folder;
    }
    base = name.substr(slash + 1);
    joined.assign(folder).append(name.substr(0, slash + 1));
    return joined;
}

bool ParkedName(std::string_view name) {
    return name.starts_with(".qm-case-");
}

std::uint32_t KeyHash(std::uint32_t folder, std::string_view name) {
    const std::size_t h = std::hash<std::string_view>{}(name) ^
                          (std::size_t{folder} * std::size_t{0x9E3779B97F4A7C15});
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

// Positions in a vector that the owner keeps, found by a hash of their keys and a
// comparison the caller gives: open addressing, never more than three quarters full. A
// table of a million names costs a few bytes a name and no allocation of its own, where
// node-based hash tables took a hundred and more, and a tenth of the undo's time to free.
class IndexTable {
public:
    template <class Same> std::uint32_t Find(std::uint32_t hash, const Same& same) const {
        if (slots_.empty())
            return kNone;
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot& slot = slots_[i];
            if (slot.Index == kNone)
                return kNone;
            if (slot.Hash == hash && same(slot.Index))
                return slot.Index;
        }
    }

    // `index` under `hash`; its key is not in the table yet.
    void Add(std::uint32_t hash, std::uint32_t index) {
        if ((used_ + 1) * 4 > slots_.size() * 3)
            Grow();
        Put({index, hash});
        ++used_;
    }

private:
    struct Slot {
        std::uint32_t Index = kNone;
        std::uint32_t Hash = 0;
    };

    void Put(Slot slot) {
        const std::size_t mask = slots_.size() - 1;
        std::size_t i = slot.Hash & mask;
        while (slots_[i].Index != kNone)
            i = (i + 1) & mask;
        slots_[i] = slot;
    }

    void Grow() {
        std::vector<Slot> old(std::max<std::size_t>(64, slots_.size() * 2));
        old.swap(slots_);
        for (const Slot& slot : old)
            if (slot.Index != kNone)
                Put(slot);
    }

    std::vector<Slot> slots_; // a power of two in size, or empty
    std::size_t used_ = 0;
};

// The folders as the undo will leave them: what the disk lists, overlaid by the moves
// planned so far. Names come from the folder's listing, never from a lookup by name: a
// folder that ignores letter case answers a lookup of "readme.txt" with "README.txt", and
// a file system in user space may answer one from a cache that a killed run left stale.
//
// The names the planned moves give are views of the strings Move is given, which must
// outlive this state (the journal's moves, and the names Parked gives); the listed names
// are copied into blocks of its own.
class FolderState {
public:
    FolderState() = default;
    FolderState(const FolderState&) = delete;
    FolderState& operator=(const FolderState&) = delete;

    std::optional<Node> Look(std::string_view folder, std::string_view name) {
        std::string joined;
        std::string_view base;
        const std::uint32_t disk = DiskFolder(Split(folder, name, joined, base));
        if (disk == kNone)
            return std::nullopt;
        const std::uint32_t hash = KeyHash(disk, base);
        if (const std::uint32_t planned = FindPlanned(disk, base, hash); planned != kNone)
            return NodeOf(planned_[planned].Listed);
        List(disk);
        return NodeOf(FindListed(disk, base, hash));
    }

    void Move(std::string_view folder, const std::string& from, const std::string& to,
              const Node& node) {
        std::string joinedFrom;
        std::string joinedTo;
        std::string_view fromBase;
        std::string_view toBase;
        const std::uint32_t fromDisk = DiskFolder(Split(folder, from, joinedFrom, fromBase));
        const std::uint32_t toDisk = DiskFolder(Split(folder, to, joinedTo, toBase));
        if (fromDisk != kNone)
            Plan(fromDisk, fromBase, kNone);
        if (toDisk != kNone)
            Plan(toDisk, toBase, node.Listed);
        folderMoved_ |= node.IsFolder;
    }

    // The path on disk now of the entry `node`.
    std::string Path(const Node& node) const {
        const Listed& listed = listed_[node.Listed];
        return folders_[listed.Folder].Path + std::string(listed.Name, listed.Size);
    }

    // The names in `folder` that a case-only move of one of `pids` parked there when it
    // was cut short (".qm-case-PID-...").
    // Read once per folder: a run whose files were deleted by hand asks for every one.
    const std::vector<std::string>& Parked(std::string_view folder,
                                           const std::vector<std::uint32_t>& pids) {
        static const std::vector<std::string> none;
        const std::uint32_t disk = DiskFolder(folder);
        if (disk == kNone)
            return none;
        if (folders_[disk].Parked)
            return *folders_[disk].Parked;
        List(disk);
        auto names = std::make_unique<std::vector<std::string>>();
        for (std::uint32_t i = folders_[disk].First; i < folders_[disk].End; ++i) {
            const std::string_view name(listed_[i].Name, listed_[i].Size);
            if (!ParkedName(name))
                continue;
            for (const std::uint32_t pid : pids) {
                char prefix[32];
                std::snprintf(prefix, sizeof prefix, ".qm-case-%x-", pid);
                if (name.starts_with(prefix))
                    names->emplace_back(name);
            }
        }
        folders_[disk].Parked = std::move(names);
        return *folders_[disk].Parked;
    }

private:
    struct Folder {
        std::string Path;
        bool Listed = false;
        std::uint32_t First = 0; // its entries in listed_
        std::uint32_t End = 0;
        std::unique_ptr<std::vector<std::string>> Parked; // once asked for
    };
    // An entry of a folder's listing.
    struct Listed {
        const char* Name = nullptr; // in blocks_
        std::uint64_t Inode = 0;
        std::uint32_t Folder = 0;
        std::uint16_t Size = 0;
        bool IsFolder = false;
    };
    // A name that a planned move took (Listed kNone) or gave to the entry Listed.
    struct Planned {
        const char* Name = nullptr;
        std::uint32_t Size = 0;
        std::uint32_t Folder = 0;
        std::uint32_t Listed = kNone;
    };

    std::optional<Node> NodeOf(std::uint32_t listed) const {
        if (listed == kNone)
            return std::nullopt;
        return Node{listed_[listed].Inode, listed_[listed].IsFolder, listed};
    }

    std::uint32_t FindListed(std::uint32_t folder, std::string_view name,
                             std::uint32_t hash) const {
        return listedIndex_.Find(hash, [&](std::uint32_t i) {
            const Listed& l = listed_[i];
            return l.Folder == folder && std::string_view(l.Name, l.Size) == name;
        });
    }

    std::uint32_t FindPlanned(std::uint32_t folder, std::string_view name,
                              std::uint32_t hash) const {
        return plannedIndex_.Find(hash, [&](std::uint32_t i) {
            const Planned& p = planned_[i];
            return p.Folder == folder && std::string_view(p.Name, p.Size) == name;
        });
    }

    void Plan(std::uint32_t folder, std::string_view name, std::uint32_t listed) {
        const std::uint32_t hash = KeyHash(folder, name);
        if (const std::uint32_t planned = FindPlanned(folder, name, hash); planned != kNone) {
            planned_[planned].Listed = listed;
            return;
        }
        plannedIndex_.Add(hash, static_cast<std::uint32_t>(planned_.size()));
        planned_.push_back({name.data(), static_cast<std::uint32_t>(name.size()), folder, listed});
    }

    void List(std::uint32_t folder) {
        if (folders_[folder].Listed)
            return;
        folders_[folder].Listed = true;
        folders_[folder].First = static_cast<std::uint32_t>(listed_.size());
        const std::string& path = folders_[folder].Path;
        if (DIR* dir = opendir(path.empty() ? "." : path.c_str())) {
            while (const dirent* entry = readdir(dir)) {
                const std::string_view name = entry->d_name;
                if (name == "." || name == "..")
                    continue;
                const std::uint32_t hash = KeyHash(folder, name);
                if (FindListed(folder, name, hash) != kNone)
                    continue;
                bool isFolder = entry->d_type == DT_DIR;
                if (entry->d_type == DT_UNKNOWN) {
                    struct stat st {};
                    isFolder = fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                               S_ISDIR(st.st_mode);
                }
                listedIndex_.Add(hash, static_cast<std::uint32_t>(listed_.size()));
                listed_.push_back({Keep(name), entry->d_ino, folder,
                                   static_cast<std::uint16_t>(name.size()), isFolder});
            }
            closedir(dir);
        }
        folders_[folder].End = static_cast<std::uint32_t>(listed_.size());
    }

    // A listed name's bytes, kept until this state goes.
    const char* Keep(std::string_view name) {
        constexpr std::size_t kBlock = 256 * 1024;
        if (blocks_.empty() || name.size() > blockLeft_) {
            blocks_.push_back(std::make_unique<char[]>(kBlock));
            blockLeft_ = kBlock;
        }
        char* kept = blocks_.back().get() + (kBlock - blockLeft_);
        std::memcpy(kept, name.data(), name.size());
        blockLeft_ -= name.size();
        return kept;
    }

    // The folder that the undo will call `path`, made on first sight.
    std::uint32_t FolderId(std::string_view path) {
        if (last_ != kNone && folders_[last_].Path == path)
            return last_;
        auto it = folderIds_.find(path);
        if (it == folderIds_.end()) {
            it = folderIds_.emplace(std::string(path), static_cast<std::uint32_t>(folders_.size()))
                     .first;
            folders_.emplace_back().Path = path;
        }
        last_ = it->second;
        return last_;
    }

    // Where the folder that the undo will call `folder` is on disk now; kNone when no
    // folder will have that path. Only a planned move of a folder changes paths below it.
    std::uint32_t DiskFolder(std::string_view folder) {
        if (!folderMoved_ || !folder.starts_with('/'))
            return FolderId(folder);
        std::string disk = "/";
        for (std::size_t start = 1; start < folder.size();) {
            std::size_t end = folder.find('/', start);
            if (end == std::string_view::npos)
                end = folder.size();
            const std::string_view part = folder.substr(start, end - start);
            start = end + 1;
            if (part.empty() || part == ".")
                continue;
            if (part == "..") {
                if (disk.size() > 1)
                    disk.resize(disk.rfind('/', disk.size() - 2) + 1);
                continue;
            }
            const auto known = folderIds_.find(std::string_view(disk));
            const std::uint32_t planned =
                known == folderIds_.end()
                    ? kNone
                    : FindPlanned(known->second, part, KeyHash(known->second, part));
            if (planned != kNone) {
                if (planned_[planned].Listed == kNone)
                    return kNone;
                disk = Path(*NodeOf(planned_[planned].Listed)) + '/';
            } else {
                disk.append(part).push_back('/');
            }
        }
        return FolderId(disk);
    }

    std::vector<Folder> folders_;
    std::map<std::string, std::uint32_t, std::less<>> folderIds_;
    std::uint32_t last_ = kNone; // the folder asked for last: most runs have one
    std::vector<Listed> listed_;
    IndexTable listedIndex_;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t blockLeft_ = 0;
    std::vector<Planned> planned_;
    IndexTable plannedIndex_;
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
Likeness Compare(const std::string& a, const std::string& b, bool stable) {
    struct stat sa {};
    struct stat sb {};
    if (lstat(a.c_str(), &sa) != 0 || lstat(b.c_str(), &sb) != 0 || !S_ISREG(sa.st_mode) ||
        !S_ISREG(sb.st_mode))
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
    return alike && SameStart(a, b, std::size_t{1} << 20) ? Likeness::Unproven
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
    // By entry and old name, then in the run's order: sorted views, not a tree of a
    // million names.
    using OldName = std::tuple<int, std::string_view, std::size_t>;
    std::vector<OldName> byOldName;
    byOldName.reserve(journal.Moves.size());
    for (std::size_t i = 0; i < journal.Moves.size(); ++i)
        byOldName.emplace_back(journal.Moves[i].Entry, journal.Moves[i].From, i);
    std::sort(byOldName.begin(), byOldName.end());
    for (const TJournal& undo : undos) {
        const std::vector<char> taken = TakenMoves(undo);
        for (std::size_t j = 0; j < undo.Moves.size(); ++j) {
            if (!taken[j])
                continue;
            const TJournalMove& u = undo.Moves[j];
            const auto first =
                std::lower_bound(byOldName.begin(), byOldName.end(), OldName{u.Entry, u.To, 0});
            auto last = first;
            while (last != byOldName.end() && std::get<0>(*last) == u.Entry &&
                   std::get<1>(*last) == u.To)
                ++last;
            for (auto it = last; it != first;) {
                const std::size_t i = std::get<2>(*--it);
                if (!back[i] && (journal.Moves[i].To == u.From || ParkedName(u.From))) {
                    back[i] = 1;
                    break;
                }
            }
        }
    }
    return back;
}

// A move back as planned while the state of the disk is held: the run's move, and its
// folder and current name where they are not the move's own (an index into `spelled`).
struct MoveBack {
    std::size_t Move = 0;
    std::uint32_t Folder = kNone;
    std::uint32_t Current = kNone;
};

// The moves that take `journal` back, last first, with the failures foreseen.
std::vector<MoveBack> MovesBack(const TJournal& journal, const std::vector<TJournal>& undos,
                                std::vector<TUndoFailure>& failures,
                                std::vector<std::string>& spelled) {
    // Which moves leave a cycle's temporary name (the second move of its parked entry, or
    // a park taken back): until the cycle began, that name did not exist.
    std::vector<char> fromTemporary(journal.Moves.size(), 0);
    // Each entry's first move: where its file is once the whole run is taken back. Sorted
    // by entry, then move: a table of a million nodes cost more than the lookups.
    std::vector<std::pair<int, std::size_t>> firstMove;
    {
        std::set<int> parked;
        for (std::size_t i = 0; i < journal.Moves.size(); ++i) {
            if (journal.Moves[i].Temporary)
                fromTemporary[i] = !parked.insert(journal.Moves[i].Entry).second;
            if (journal.Moves[i].Entry >= 0)
                firstMove.emplace_back(journal.Moves[i].Entry, i);
        }
        std::sort(firstMove.begin(), firstMove.end());
        firstMove.erase(
            std::unique(firstMove.begin(), firstMove.end(),
                        [](const auto& a, const auto& b) { return a.first == b.first; }),
            firstMove.end());
    }
    const std::vector<char> takenBack = TakenBack(journal, undos);
    // A case-only move cut short parks its file under the id of the process that took it:
    // the run's, or an undo's.
    std::vector<std::uint32_t> pids{journal.Pid};
    for (const TJournal& undo : undos)
        pids.push_back(undo.Pid);
    std::vector<MoveBack> moves;
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
        std::string otherFolder;
        std::string_view folder = m.Folder;
        std::optional<Node> to = disk.Look(folder, m.To);
        std::optional<Node> from = disk.Look(folder, m.From);
        if (!isTheFile(to) && !isTheFile(from)) {
            // Its folder may keep the name the run gave it (or have it back already); a
            // run that renamed the folder first never took this move at all.
            for (std::string& other : folderNames.Others(std::string(folder))) {
                std::optional<Node> there = disk.Look(other, m.To);
                std::optional<Node> back = disk.Look(other, m.From);
                if (isTheFile(there) || isTheFile(back)) {
                    otherFolder = std::move(other);
                    folder = otherFolder;
                    to = std::move(there);
                    from = std::move(back);
                    break;
                }
            }
        }
        auto restore = [&](const std::string& current, const Node& node) {
            auto spell = [&spelled](std::string_view text) {
                spelled.emplace_back(text);
                return static_cast<std::uint32_t>(spelled.size() - 1);
            };
            moves.push_back({i, folder == m.Folder ? kNone : spell(folder),
                             current == m.To ? kNone : spell(current)});
            disk.Move(folder, current, m.From, node);
            laterTaken = true;
        };
        auto fail = [&](RunError error, bool bothNames = false) {
            failures.push_back({m.Entry, std::string(folder), m.To, m.From, error, bothNames});
        };
        if (isTheFile(to)) {
            // Both names after a run (or an undo) cut between the link and the unlink of
            // this move: the undo's move drops the new name (DropSecondName).
            const Likeness both = from && (done || !laterTaken)
                                      ? Compare(disk.Path(*to), disk.Path(*from), known)
                                      : Likeness::Different;
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
            const TJournalMove& first =
                journal.Moves[std::lower_bound(firstMove.begin(), firstMove.end(),
                                               std::make_pair(m.Entry, std::size_t{0}))
                                  ->second];
            if (isTheFile(disk.Look(first.Folder, first.From)))
                continue;
        }
        if (done || (!from && !fromTemporary[i]))
            fail(ENOENT); // the file is gone from its new name
    }
    return moves;
}

// CountUndo of `moves` moves, the entry of move i given by `entryOf(i)`.
template <class EntryOf>
RenameTally CountByEntry(std::size_t moves, const EntryOf& entryOf,
                         const std::vector<TUndoFailure>& failures, int entries,
                         const std::vector<RunError>& errors) {
    // Per entry: a cycle's parked entry has two moves and counts once; a move not reached
    // (cancelled) leaves its entry as it is. A failure outweighs a move back, which
    // outweighs none, so an entry's state is the greatest of its moves'; a move or failure
    // of no known entry counts alone. Sorted, not kept in a tree of a million nodes.
    enum State : std::uint8_t { Left, Restored, Failed };
    std::vector<std::pair<int, State>> states;
    states.reserve(moves + failures.size());
    RenameTally tally;
    auto count = [&tally](State s) {
        if (s == Restored)
            ++tally.Renamed;
        else if (s == Failed)
            ++tally.Failed;
    };
    auto add = [&](int entry, State s) {
        if (entry >= 0)
            states.emplace_back(entry, s);
        else
            count(s);
    };
    for (std::size_t i = 0; i < moves; ++i) {
        const RunError error = i < errors.size() ? errors[i] : RunError();
        add(entryOf(i), error != 0 && error != ECANCELED ? Failed : error == 0 ? Restored : Left);
    }
    for (const TUndoFailure& failure : failures)
        add(failure.Entry, Failed);
    std::sort(states.begin(), states.end());
    for (std::size_t i = 0; i < states.size(); ++i)
        if (i + 1 == states.size() || states[i + 1].first != states[i].first)
            count(states[i].second); // the entry's last, its greatest
    tally.Unchanged = std::max(0, entries - tally.Renamed - tally.Failed);
    return tally;
}

// The plan while it is small: the moves back as the run's moves they undo, spelled out
// (MovesOf) or viewed (RefsOf) only once the state of the disk is gone.
struct PlanBack {
    // The run's moves without the folders it made, when it made any: the moves back index
    // these.
    std::unique_ptr<TJournal> Filtered;
    const TJournal* Journal = nullptr;
    std::vector<MoveBack> Back;
    std::vector<std::string> Spelled;
    std::vector<TUndoFailure> Failures;
    int Entries = 0;
    std::vector<std::string> Folders;
};

PlanBack PlanMovesBack(const TJournal& journal, const std::vector<TJournal>& undos) {
    PlanBack plan;
    plan.Entries = journal.EntryCount;
    plan.Journal = &journal;
    if (!journal.Started)
        return plan; // nothing was renamed before the moves were all written
    // The folders made are no moves: they go once the files have left them.
    if (std::any_of(journal.Moves.begin(), journal.Moves.end(),
                    [](const TJournalMove& m) { return m.From.empty(); })) {
        plan.Folders = FoldersMade(journal);
        plan.Filtered = std::make_unique<TJournal>(journal);
        std::erase_if(plan.Filtered->Moves, [](const TJournalMove& m) { return m.From.empty(); });
        plan.Journal = plan.Filtered.get();
    }
    plan.Back = MovesBack(*plan.Journal, undos, plan.Failures, plan.Spelled);
    return plan;
}

std::vector<TJournalMove> MovesOf(const PlanBack& plan) {
    std::vector<TJournalMove> moves;
    moves.reserve(plan.Back.size());
    for (const MoveBack& b : plan.Back) {
        const TJournalMove& m = plan.Journal->Moves[b.Move];
        moves.push_back({m.Entry, m.Temporary,
                         b.Folder == kNone ? m.Folder : plan.Spelled[b.Folder],
                         b.Current == kNone ? m.To : plan.Spelled[b.Current], m.From, m.Inode,
                         false, MoveResult::Unknown});
    }
    return moves;
}

// Views of the run's journal and of plan.Spelled, valid while both are.
std::vector<TJournalMoveRef> RefsOf(const PlanBack& plan) {
    std::vector<TJournalMoveRef> moves;
    moves.reserve(plan.Back.size());
    for (const MoveBack& b : plan.Back) {
        const TJournalMove& m = plan.Journal->Moves[b.Move];
        moves.push_back({m.Entry, m.Temporary,
                         b.Folder == kNone ? std::string_view(m.Folder) : plan.Spelled[b.Folder],
                         b.Current == kNone ? std::string_view(m.To) : plan.Spelled[b.Current],
                         m.From, m.Inode});
    }
    return moves;
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
    const PlanBack back = PlanMovesBack(journal, undos);
    TUndoPlan plan;
    plan.Entries = back.Entries;
    plan.Failures = back.Failures;
    plan.Folders = back.Folders;
    plan.Moves = MovesOf(back);
    return plan;
}

RenameTally CountUndo(const TUndoPlan& plan, const std::vector<RunError>& errors) {
    return CountByEntry(
        plan.Moves.size(), [&plan](std::size_t i) { return plan.Moves[i].Entry; }, plan.Failures,
        plan.Entries, errors);
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
    const PlanBack plan = PlanMovesBack(journal, UndosOf(place.Folder, journal.RunId));
    // The moves are announced and taken as views of the run's journal: the moves spelled
    // out, which the result gives, are made after, so that the two are never held at once.
    std::vector<TJournalMoveRef> moves = RefsOf(plan);
    auto count = [&](const std::vector<RunError>& errors) {
        return CountByEntry(
            moves.size(), [&moves](std::size_t i) { return moves[i].Entry; }, plan.Failures,
            plan.Entries, errors);
    };
    TJournal header;
    header.Mode = RenameMode::Undo;
    header.Order = RunOrder::Planned;
    header.EntryCount = journal.EntryCount;
    header.UndoOf = journal.RunId;
    TMoveFolder folder;
    result.Run = RunJournaledMoves(
        moves, header, place, cancel,
        [&](std::size_t index, RunError) {
            if (done)
                done(index + 1, moves.size());
        },
        [&folder](const std::string& in, const std::string& from, const std::string& to) {
            const RunError error = folder.Move(in, from, to);
            return error == EEXIST ? DropSecondName(in, from, to) : error;
        },
        count);
    result.Failures = plan.Failures;
    if (result.Run.Ran) {
        for (std::size_t i = 0; i < moves.size(); ++i) {
            const RunError error = result.Run.Errors[i];
            if (error != 0 && error != ECANCELED) {
                const TJournalMoveRef& m = moves[i];
                result.Failures.push_back({m.Entry, std::string(m.Folder), std::string(m.From),
                                           std::string(m.To), error});
            }
        }
        result.Tally = count(result.Run.Errors);
    }
    std::vector<TJournalMoveRef>().swap(moves);
    result.Moves = MovesOf(plan);
    if (!result.Run.Ran)
        return result;
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
    // pass that removes a folder may free another name, and there are only so many
    // folders; the undo of what is back already is left alone.
    for (int removed = result.Folders.Removed;
         removed > 0 && result.Run.Ran && !result.Complete && !result.Tally.Cancelled;) {
        TUndoResult again = UndoOnce(path, journal, place, cancel, done);
        if (!again.Run.Ran)
            break;
        removed = again.Folders.Removed;
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
