#include "rename/movefile.h"

#include "rename/foldcase.h"
#include "rename/namepath.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace qm {
namespace {

// The answers of a file system that does not know RENAME_NOREPLACE (NFS, FUSE, 9p and
// older local file systems).
bool NoReplaceRefused(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

// The answers of a file system without hard links (FAT, exFAT, many FUSE ones).
bool LinkRefused(int error) {
    return error == EPERM || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

// One rename that does not replace, with the fallbacks for file systems that cannot
// promise that in one call.
int MoveOnce(TFileCalls& calls, int dir, const std::string& from, const std::string& to) {
    int error = calls.Rename2(dir, from.c_str(), to.c_str(), RENAME_NOREPLACE);
    if (!NoReplaceRefused(error))
        return error;

    struct stat st {};
    if (const int statError = calls.LStat(dir, from.c_str(), st))
        return statError;
    if (S_ISREG(st.st_mode)) {
        // A new link fails with EEXIST when the name is taken, so this is as safe as the
        // flag; between the two calls the file merely has both names.
        error = calls.Link(dir, from.c_str(), to.c_str());
        if (error == 0) {
            error = calls.Unlink(dir, from.c_str());
            if (error == 0)
                return 0;
            // The old name cannot go (a sticky folder, say): drop the new name again so
            // that the run reports a failure and the disk looks as before.
            calls.Unlink(dir, to.c_str());
            return error;
        }
        if (!LinkRefused(error))
            return error;
    }

    // Neither the flag nor links: look first, then rename. A file that another program
    // creates under `to` between the look and the rename is replaced; no call of this
    // file system closes that window.
    error = calls.LStat(dir, to.c_str(), st);
    if (error == 0)
        return EEXIST;
    if (error != ENOENT)
        return error;
    return calls.RenameReplacing(dir, from.c_str(), to.c_str());
}

std::string TemporaryName() {
    // Short, so that it fits beside a name of the full 255 bytes; a name already taken
    // is skipped by the caller, never replaced.
    static std::atomic<unsigned> serial{0};
    char name[32];
    std::snprintf(name, sizeof name, ".qm-case-%x-%x", static_cast<unsigned>(getpid()),
                  serial.fetch_add(1, std::memory_order_relaxed));
    return name;
}

// readme.txt -> README.TXT on a folder that ignores case: the folder itself answers
// that README.TXT exists, so the file goes to a free temporary name and from there to
// the new name. When the second step fails the first is undone.
int MoveThroughTemporaryName(TFileCalls& calls, int dir, const std::string& from,
                             const std::string& to, int original) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string parked = TemporaryName();
        const int error = MoveOnce(calls, dir, from, parked);
        if (error == EEXIST)
            continue;
        if (error != 0)
            return error;
        const int finalError = MoveOnce(calls, dir, parked, to);
        if (finalError == 0)
            return 0;
        // Should even this fail, the file stays under the temporary name beside its old
        // place: nothing is lost, and the caller hears the failure.
        MoveOnce(calls, dir, parked, from);
        return finalError;
    }
    return original;
}

} // namespace

RunError MoveFileNoReplace(const std::string& folder, const std::string& from,
                           const std::string& to, TFileCalls& calls) {
    return TMoveFolder(calls).Move(folder, from, to);
}

bool TwoLinksOfOneFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino &&
           (a.st_mode & S_IFMT) == (b.st_mode & S_IFMT) && a.st_nlink >= 2 && b.st_nlink >= 2;
}

namespace {

// The folder path and the last part of `name`, which may name a place below `folder`.
std::pair<std::string, std::string> Entry(const std::string& folder, const std::string& name) {
    const std::size_t slash = name.rfind('/');
    if (slash == std::string::npos)
        return {folder, name};
    return {folder + name.substr(0, slash + 1), name.substr(slash + 1)};
}

// Whether `base` is an entry of `folder` spelt exactly so: a folder that ignores letter case
// (or the form of accented letters) answers a lookup of another spelling with the same
// entry, which its listing does not.
bool ListedAs(TFileCalls& calls, const std::string& folder, const std::string& base) {
    int dir = AT_FDCWD;
    if (!folder.empty() && calls.OpenFolder(folder.c_str(), dir) != 0)
        return false;
    struct Look {
        const std::string& base;
        bool found = false;
    } look{base};
    const int error = calls.ListFolder(
        dir,
        [](void* context, const char* name) {
            Look& l = *static_cast<Look*>(context);
            l.found = l.found || l.base == name;
        },
        &look);
    if (dir != AT_FDCWD)
        calls.CloseFolder(dir);
    return error == 0 && look.found;
}

// Whether `a` and `b` (each in its folder) are one entry spelt twice ("a" and "./a").
bool OneEntry(TFileCalls& calls, const std::pair<std::string, std::string>& a,
              const std::pair<std::string, std::string>& b) {
    if (a.second != b.second)
        return false;
    struct stat folderA {};
    struct stat folderB {};
    if (calls.LStat(AT_FDCWD, a.first.empty() ? "." : a.first.c_str(), folderA) != 0 ||
        calls.LStat(AT_FDCWD, b.first.empty() ? "." : b.first.c_str(), folderB) != 0)
        return true; // cannot tell: take the worse
    return folderA.st_dev == folderB.st_dev && folderA.st_ino == folderB.st_ino;
}

} // namespace

int DropSecondName(const std::string& folder, const std::string& name, const std::string& other,
                   TFileCalls& calls) {
    if (RefusedNames(name, other) != 0)
        return EEXIST;
    const std::string path = folder + name;
    struct stat named {};
    struct stat kept {};
    if (calls.LStat(AT_FDCWD, path.c_str(), named) != 0 ||
        calls.LStat(AT_FDCWD, (folder + other).c_str(), kept) != 0 ||
        !TwoLinksOfOneFile(named, kept))
        return EEXIST;
    // Two spellings of one entry show one file whose other links are elsewhere: removing
    // one spelling would remove the entry the file was to keep.
    const auto nameEntry = Entry(folder, name);
    const auto otherEntry = Entry(folder, other);
    if (OneEntry(calls, nameEntry, otherEntry) ||
        !ListedAs(calls, nameEntry.first, nameEntry.second) ||
        !ListedAs(calls, otherEntry.first, otherEntry.second))
        return EEXIST;
    return calls.Unlink(AT_FDCWD, path.c_str());
}

// Whether `to` is taken only because the folder ignores letter case and `to` folds to
// `from` itself needs the folder's names: no entry may be called exactly `to`, and no
// entry but `from` may fold to it. (Inode numbers cannot tell: FUSE file systems make
// them up per name.) Reading the folder for every file would make a run over a large
// folder quadratic, so the names are read once and then follow this object's own
// renames. Changes by others may leave them behind; that costs no file, because both
// steps through the temporary name refuse to replace, and a refused second step is
// undone.
struct TMoveFolder::FolderNames {
    std::unordered_set<std::string> exact;
    std::unordered_map<std::u32string, int> folded; // how many names fold to each

    void Add(const std::string& name) {
        if (exact.insert(name).second)
            ++folded[FoldCase(name)];
    }
    void Remove(const std::string& name) {
        if (exact.erase(name) == 0)
            return;
        const auto it = folded.find(FoldCase(name));
        if (it != folded.end() && --it->second == 0)
            folded.erase(it);
    }
    static void Collect(void* context, const char* name) {
        static_cast<FolderNames*>(context)->Add(name);
    }
};

TMoveFolder::TMoveFolder(TFileCalls& calls) : calls_(calls) {}

bool TMoveFolder::OnlyTheCaseDiffers(const std::string& from, const std::string& to) {
    if (from == to || from.find('/') != std::string::npos || to.find('/') != std::string::npos)
        return false;
    const std::u32string foldedTo = FoldCase(to);
    if (FoldCase(from) != foldedTo)
        return false;
    if (!names_) {
        auto names = std::make_unique<FolderNames>();
        if (calls_.ListFolder(dir_, FolderNames::Collect, names.get()) != 0)
            return false;
        names_ = std::move(names);
    }
    // An entry called exactly `to` folds to it as well.
    const auto it = names_->folded.find(foldedTo);
    const int folding = it == names_->folded.end() ? 0 : it->second;
    return folding - static_cast<int>(names_->exact.count(from)) == 0;
}

TMoveFolder::~TMoveFolder() {
    if (open_ && dir_ != AT_FDCWD)
        calls_.CloseFolder(dir_);
}

RunError TMoveFolder::Move(const std::string& folder, const std::string& from,
                           const std::string& to) {
    if (const int refused = RefusedNames(from, to))
        return refused;
    if (const int error = Open(folder))
        return error;
    // Some drivers lose the file they are asked to give a name they cannot store.
    if (const RunError refused = NameRuleError(rules_, to))
        return refused;
    int error = MoveOnce(calls_, dir_, from, to);
    if (error == EEXIST && OnlyTheCaseDiffers(from, to))
        error = MoveThroughTemporaryName(calls_, dir_, from, to, error);
    if (error == 0 && names_) {
        // A name with a "/" lives in a folder below, not among these names.
        if (from.find('/') == std::string::npos)
            names_->Remove(from);
        if (to.find('/') == std::string::npos)
            names_->Add(to);
    }
    return error;
}

RunError TMoveFolder::MakeFolder(const std::string& folder, const std::string& relative) {
    if (relative.empty())
        return ENOENT;
    if (const int error = Open(folder))
        return error;
    // With the user's umask, as any folder they make.
    return calls_.MakeFolder(dir_, relative.c_str());
}

RunError TMoveFolder::MoveOrMake(const std::string& folder, const std::string& from,
                                 const std::string& to) {
    return from.empty() ? MakeFolder(folder, to) : Move(folder, from, to);
}

int TMoveFolder::Open(const std::string& folder) {
    if (!open_ || folder != path_) {
        if (open_ && dir_ != AT_FDCWD)
            calls_.CloseFolder(dir_);
        open_ = false;
        dir_ = AT_FDCWD;
        if (!folder.empty()) {
            if (const int error = calls_.OpenFolder(folder.c_str(), dir_))
                return error;
        }
        path_ = folder;
        open_ = true;
        names_.reset();
        rules_ = devices_.Of(calls_, dir_);
    }
    return 0;
}

} // namespace qm
