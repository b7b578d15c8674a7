#pragma once

// The folders a rename run touches, as names only: what each folder holds, whether it
// ignores letter case, how long a name may be and what it refuses, so that the answer
// of every rename of the run (MoveFileNoReplace through TMoveFolder) can be worked out
// before the run, in the run's order, without changing the disk.
//
// Each folder is read once, through `calls`, when a rename first needs it, and is known
// by its identity (device and inode), so that one folder reached by two paths is one
// folder. Apply() then makes the model's names follow a rename as the disk would.
//
// A path is followed part by part as the run's system calls would follow it then: in a
// folder the model knows (whatever path it was reached by) a part must still be one of
// its names, and a name that a rename of the run put there leads to the entry that was
// moved there. So "d/sub/" no longer leads anywhere once "./d/sub" was renamed, and
// "d/new/" leads into the old "d/sub" once that was renamed to "new". Where no folder on
// the way is known, the disk answers as it stands.
//
// A link on the way is followed as the kernel follows it: its target is walked in the
// same way, from the link's folder.
//
// The answers hold as long as nothing else changes the folders. Not modelled: a ".."
// part is followed as the disk had it before the run (after a folder that the run moved
// into another, it leads where the folder was); a folder that ignores case through FUSE
// reached by paths spelt in two letter cases (the kernel takes them for two folders,
// each with its own cache of names, and what the run meets then hangs on the caches'
// timing); the sticky bit; bind mounts (EXDEV is predicted only between devices).
//
// Where a folder ignores letter case, names are compared by Unicode's simple case
// folding, as TMoveFolder compares them; the file system's own table differs for a few
// letters (the Kelvin sign folds to "k" here, not on exFAT). A FUSE folder is found to
// ignore case by asking it about a name it holds; one without a name that has letters is
// taken to heed case. The kernel's FAT and exFAT are taken to refuse the same bytes as
// exFAT through FUSE, with EINVAL. What the file system refuses before that, the run
// refuses before any rename, and so does the model, by the same rules (namerules.h).
//
// One thread at a time; owns the descriptors it opens and closes them before returning.

#include "rename/filecalls.h"
#include "rename/namerules.h"
#include "rename/nametable.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qm {

// One folder as the model sees it.
class TModelFolder {
public:
    // The path it was first reached by: "" (the current folder) or ending in "/".
    const std::string& Path() const { return path_; }
    bool IgnoresCase() const { return ignoresCase_; }
    // The longest name, in bytes, that the file system takes.
    long NameMax() const { return nameMax_; }
    // Whether a name is there now, as a lookup in this folder would answer (letter case
    // ignored where the folder ignores it).
    bool Holds(std::string_view name) const;
    // The model's own copy of `name` when the folder's listing holds it as it is, which
    // lives as long as the folder; else a view without data.
    std::string_view Kept(std::string_view name) const {
        return listError_ == 0 ? names_.Kept(name) : std::string_view();
    }

private:
    friend class TFolderModel;
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const {
            return std::hash<std::string_view>{}(s);
        }
    };

    // How the file system judges a new name beyond its length in bytes.
    enum class Rules {
        Posix,     // any byte but "/" and NUL
        FuseFat,   // exFAT through FUSE: UTF-16 lengths, some bytes refused
        KernelFat, // the kernel's FAT and exFAT
    };

    // What the lookup of a new name answers before the rename itself: 0, ENAMETOOLONG
    // or EILSEQ.
    int LookupError(std::string_view name) const;
    // What the file system's rename answers for a name it cannot store.
    int StoreError(std::string_view name) const;
    bool HoldsExactly(std::string_view name) const;
    int FoldedCount(std::string_view name) const;
    // Both give the model's own copy of the name (nothing when Remove found none), which
    // lives as long as the folder.
    std::string_view Add(std::string_view name);
    std::string_view Remove(std::string_view name);

    TFileCalls* calls_ = nullptr;
    std::string path_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    // 0 when the names were read; else the error of the reading, and names are looked up
    // on disk one by one, with `changed_` holding what the run did to them since.
    int listError_ = 0;
    TNameTable names_;
    std::unordered_map<std::u32string, int> folded_; // where the case is ignored
    mutable std::unordered_map<std::string, bool, Hash, std::equal_to<>> changed_;
    bool ignoresCase_ = false;
    Rules rules_ = Rules::Posix;
    NameRules nameRules_ = NameRules::Posix;
    long nameMax_ = 255;
    unsigned long fsType_ = 0;
    bool readOnly_ = false;
    int writeError_ = 0;      // what a change of names is refused with (EACCES), or 0
    bool arrivedAny_ = false; // a rename of the run has put a name here
};

// What Check found out about a rename, for Apply.
struct TModelMove {
    TModelFolder* From = nullptr; // the entry's folder
    TModelFolder* To = nullptr;   // the folder the new name is in (From unless it holds "/")
    std::string_view FromName;    // views into the arguments of Check
    std::string_view ToName;      // the last part of the new name
};

class TFolderModel {
public:
    explicit TFolderModel(TFileCalls& calls = TFileCalls::System());
    ~TFolderModel();
    TFolderModel(const TFolderModel&) = delete;
    TFolderModel& operator=(const TFolderModel&) = delete;

    // The answer TMoveFolder::Move(folder, from, to) would give now: none, an errno
    // value or the drive's refusal. On none `move` says what Apply must change; it views
    // into `from` and `to`.
    RunError Check(const std::string& folder, const std::string& from, const std::string& to,
                   TModelMove& move);
    // Check as though the new name were free: what else would refuse the rename once
    // the file that holds the name has moved away (a planned run moves it first).
    RunError CheckFreed(const std::string& folder, const std::string& from, const std::string& to,
                        TModelMove& move);
    // Makes the names follow a rename that Check allowed.
    void Apply(const TModelMove& move);
    // The answer mkdirat(folder, relative) would give now (none, EEXIST for any name
    // there, or the errno value of the way), and on none the folder made, empty, with
    // its parent's rules: later paths lead into it.
    RunError MakeFolder(const std::string& folder, const std::string& relative);
    // Tells that `name` in `folder` is checked soon: where the folder is the one the last
    // Check was in, its lookup is started early. Changes nothing.
    void Prefetch(const std::string& folder, std::string_view name) const;

    // The folder at `path` ("" or ending in "/"), followed through the names as the
    // model has them now and read if it was not yet; nullptr and the errno value in
    // `error` when the path leads to no folder.
    TModelFolder* Folder(const std::string& path, int& error);

private:
    struct Opened {
        TModelFolder* folder = nullptr;
        int error = 0;
    };
    RunError CheckMove(const std::string& folder, const std::string& from, const std::string& to,
                       bool toFreed, TModelMove& move);
    // What a path names before the run: a folder's identity, or the errno value of the
    // walk to it.
    struct Identity {
        int error = 0;
        dev_t device = 0;
        ino_t inode = 0;
    };
    // A rename that Apply made, for following paths through the names it put there.
    struct Arrival {
        TModelFolder* from;
        TModelFolder* to;
        std::string_view fromName, toName; // the folders' own copies
    };

    // The folder at `disk` (a path as the disk has it before the run, "" or ending in
    // "/"), read if it was not yet.
    Opened Open(const std::string& path);
    // Where `relative` leads from the folder that `disk` names before the run, through
    // the model's names.
    Opened Walk(std::string disk, std::string_view relative);
    Opened Resolve(const std::string& path);
    const Identity& IdentityOf(const std::string& disk);
    // The path (as before the run) of the entry that a rename of the run put under
    // `name` in `folder`, or "" when `name` is the folder's own from before.
    std::string ArrivedFrom(TModelFolder& folder, std::string_view name);
    std::string ArrivalKey(const TModelFolder& folder, std::string_view name) const;
    // What the link at `entry` (a path as before the run) points to; nullptr when it is no
    // link.
    const std::string* LinkTarget(const std::string& entry);
    int ReadNames(TModelFolder& folder, int dir);
    void DecideCase(TModelFolder& folder, int dir);

    TFileCalls& calls_;
    TDeviceRules devices_;
    std::unordered_map<std::string, Opened, TModelFolder::Hash, std::equal_to<>> byPath_;
    std::unordered_map<std::string, Identity> identities_;
    std::unordered_map<std::string, std::optional<std::string>> links_;
    std::map<std::pair<dev_t, ino_t>, TModelFolder*> byIdentity_;
    std::vector<std::unique_ptr<TModelFolder>> folders_;
    // Every rename applied, in order; the index of the renames into each folder and name
    // is built only when a path asks for it.
    std::deque<Arrival> arrivals_;       // no copy of the whole as it grows
    std::deque<std::string> spareNames_; // for the rare name a folder keeps no copy of
    std::unordered_map<std::string, std::vector<std::uint32_t>> arrivalsByName_;
    std::size_t arrivalsIndexed_ = 0;
    // The folders MakeFolder made, by ArrivalKey of their parent and name: the path that
    // stands for each where the walk would take a path on disk (none exists there).
    // Each folder made under a name, in the order they were made: the count of arrivals
    // when it was made, and the path that stands for it.
    std::unordered_map<std::string, std::vector<std::pair<std::size_t, std::string>>> made_;
    // The latest folder made under `key` before arrival `before` (its place among the
    // arrivals and its path); null when none.
    const std::pair<std::size_t, std::string>* MadeBefore(const std::string& key,
                                                          std::size_t before) const;
    // The last entry folder asked for; the run keeps it open while entries share it.
    std::string lastPath_;
    bool haveLast_ = false;
    Opened last_;
};

} // namespace qm
