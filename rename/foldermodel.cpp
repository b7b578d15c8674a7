#include "rename/foldermodel.h"

#include "engine/utf8text.h"
#include "rename/foldcase.h"
#include "rename/namepath.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <optional>
#include <sys/statvfs.h>
#include <unicode/uchar.h>
#include <unistd.h>
#include <vector>

namespace qm {
namespace {

// Types whose folders ignore letter case throughout (the kernel's FAT and exFAT).
bool FileSystemIgnoresCase(unsigned long type) {
    return type == MSDOS_SUPER_MAGIC || type == EXFAT_SUPER_MAGIC;
}

// The longest name FUSE hands to its file system at all.
constexpr std::size_t kFuseNameMax = 1024;
// exFAT and FAT keep names of up to 255 UTF-16 units.
constexpr int kFatUnitsMax = 255;

// The UTF-16 units exFAT stores `name` in; -1 when its daemon cannot decode the bytes.
// Its decoder goes by the lead byte alone (overlong forms, surrogates and sequences of
// five and six bytes pass) but wants every continuation byte.
int FatUnits(std::string_view name) {
    int units = 0;
    for (std::size_t i = 0; i < name.size();) {
        const auto lead = static_cast<unsigned char>(name[i]);
        const std::size_t length = lead < 0x80   ? 1
                                   : lead < 0xc0 ? 0
                                   : lead < 0xe0 ? 2
                                   : lead < 0xf0 ? 3
                                   : lead < 0xf8 ? 4
                                   : lead < 0xfc ? 5
                                   : lead < 0xfe ? 6
                                                 : 0;
        if (length == 0 || i + length > name.size())
            return -1;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(name[i + k]) & 0xc0) != 0x80)
                return -1;
        // Beyond the first 65536 code points a character takes two units.
        units += length >= 4 ? 2 : 1;
        i += length;
    }
    return units;
}

bool HasFatRefusedByte(std::string_view name) {
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 ||
            std::string_view("\"*:<>?\\|").find(c) != std::string_view::npos)
            return true;
    return false;
}

// `name` with the letter case of every letter turned round; equal to `name` when it
// holds no letter that has another case.
std::string OtherCase(std::string_view name) {
    std::u32string text = DecodeUtf8(name);
    for (char32_t& c : text) {
        const UChar32 upper = u_toupper(static_cast<UChar32>(c));
        c = static_cast<char32_t>(
            upper != static_cast<UChar32>(c) ? upper : u_tolower(static_cast<UChar32>(c)));
    }
    return EncodeUtf8(text);
}

// A path as the kernel splits it: the parts between slashes, empty ones dropped.
struct SplitName {
    std::string_view parent; // everything before the last part, "" when there is none
    std::string_view last;
    bool trailingSlash = false;
};

SplitName Split(std::string_view name) {
    SplitName split;
    std::size_t end = name.size();
    while (end > 0 && name[end - 1] == '/')
        --end;
    split.trailingSlash = end < name.size();
    const std::size_t slash = name.rfind('/', end == 0 ? 0 : end - 1);
    const std::size_t start = slash == std::string_view::npos || end == 0 ? 0 : slash + 1;
    split.last = name.substr(start, end - start);
    split.parent = name.substr(0, start);
    return split;
}

// The parts of a relative path, "" and "." left out.
std::vector<std::string_view> PathParts(std::string_view path) {
    std::vector<std::string_view> parts;
    for (std::size_t begin = 0; begin <= path.size();) {
        const std::size_t end = std::min(path.find('/', begin), path.size());
        const std::string_view part = path.substr(begin, end - begin);
        if (!part.empty() && part != ".")
            parts.push_back(part);
        begin = end + 1;
    }
    return parts;
}

// A folder moved into itself: the target's parent is `from` or lies below it, spelt
// through the same names (the kernel refuses this with EINVAL).
bool IntoItself(std::string_view from, const SplitName& target) {
    const std::vector<std::string_view> source = PathParts(from);
    const std::vector<std::string_view> parent = PathParts(target.parent);
    return !source.empty() && parent.size() >= source.size() &&
           std::equal(source.begin(), source.end(), parent.begin());
}

} // namespace

int TModelFolder::LookupError(std::string_view name) const {
    switch (rules_) {
    case Rules::Posix:
        return static_cast<long>(name.size()) > nameMax_ ? ENAMETOOLONG : 0;
    case Rules::FuseFat: {
        if (name.size() > kFuseNameMax)
            return ENAMETOOLONG;
        const int units = FatUnits(name);
        return units < 0 ? EILSEQ : units > kFatUnitsMax ? ENAMETOOLONG : 0;
    }
    case Rules::KernelFat:
        return FatUnits(name) > kFatUnitsMax ? ENAMETOOLONG : 0;
    }
    return 0;
}

int TModelFolder::StoreError(std::string_view name) const {
    switch (rules_) {
    case Rules::Posix:
        return 0;
    case Rules::FuseFat:
        // Its lookup answers "no such file" for such a name, and so does its rename.
        return HasFatRefusedByte(name) ? ENOENT : 0;
    case Rules::KernelFat:
        return HasFatRefusedByte(name) || FatUnits(name) < 0 ? EINVAL : 0;
    }
    return 0;
}

bool TModelFolder::HoldsExactly(std::string_view name) const {
    if (listError_ == 0)
        return names_.Contains(name);
    // Not readable: ask the disk once per name and remember what the run changed.
    if (const auto it = changed_.find(name); it != changed_.end())
        return it->second;
    struct stat st {};
    const std::string path = path_ + std::string(name);
    const bool there = calls_->LStat(AT_FDCWD, path.c_str(), st) == 0;
    changed_.emplace(std::string(name), there);
    return there;
}

int TModelFolder::FoldedCount(std::string_view name) const {
    const auto it = folded_.find(FoldCase(name));
    return it == folded_.end() ? 0 : it->second;
}

bool TModelFolder::Holds(std::string_view name) const {
    if (HoldsExactly(name))
        return true;
    // An unreadable folder answered through the disk, which already ignores the case.
    return ignoresCase_ && listError_ == 0 && FoldedCount(name) > 0;
}

std::string_view TModelFolder::Add(std::string_view name) {
    if (listError_ != 0)
        return changed_.insert_or_assign(std::string(name), true).first->first;
    std::string_view kept;
    if (names_.Insert(name, kept) && ignoresCase_)
        ++folded_[FoldCase(name)];
    return kept;
}

std::string_view TModelFolder::Remove(std::string_view name) {
    if (listError_ != 0)
        return changed_.insert_or_assign(std::string(name), false).first->first;
    auto unfold = [this](std::string_view gone) {
        const auto f = folded_.find(FoldCase(gone));
        if (f != folded_.end() && --f->second == 0)
            folded_.erase(f);
    };
    std::string_view kept;
    if (names_.Erase(name, kept)) {
        if (ignoresCase_)
            unfold(name);
        return kept;
    }
    if (!ignoresCase_)
        return {};
    // The lookup found the file under another letter case.
    const std::u32string folded = FoldCase(name);
    std::string gone;
    names_.ForEach([&](std::string_view there) {
        if (gone.empty() && FoldCase(there) == folded)
            gone = there;
    });
    if (!gone.empty() && names_.Erase(gone, kept))
        unfold(gone);
    return kept;
}

TFolderModel::TFolderModel(TFileCalls& calls) : calls_(calls) {}

TFolderModel::~TFolderModel() = default;

int TFolderModel::ReadNames(TModelFolder& folder, int dir) {
    // Each name goes in a few names after it was read, its place in the table asked for
    // meanwhile: the inserts of a large folder otherwise wait for memory one by one.
    constexpr std::size_t kAhead = 8;
    struct Collect {
        explicit Collect(TNameTable& table) : names(table) {}
        TNameTable& names;
        std::string waiting[kAhead];
        std::size_t count = 0;

        static void Each(void* context, const char* name) {
            auto& self = *static_cast<Collect*>(context);
            std::string& slot = self.waiting[self.count++ % kAhead];
            if (self.count > kAhead)
                self.names.Insert(slot);
            slot.assign(name);
            self.names.Prefetch(slot);
        }
        void Finish() {
            for (std::size_t i = count > kAhead ? count - kAhead : 0; i < count; ++i)
                names.Insert(waiting[i % kAhead]);
        }
    };
    Collect collect(folder.names_);
    const int error = calls_.ListFolder(dir, Collect::Each, &collect);
    collect.Finish();
    return error;
}

void TFolderModel::DecideCase(TModelFolder& folder, int dir) {
    unsigned flags = 0;
    if (calls_.FolderFlags(dir, flags) == 0 && (flags & FS_CASEFOLD_FL)) {
        folder.ignoresCase_ = true;
        return;
    }
    // The folder's own lookup decides: a name it holds, spelt in the other case and not
    // listed itself, is found only when the folder ignores case. One such lookup is
    // enough.
    std::string asked;
    folder.names_.ForEach([&](std::string_view name) {
        if (!asked.empty())
            return;
        std::string other = OtherCase(name);
        if (other != name && !folder.names_.Contains(other))
            asked = std::move(other);
    });
    if (!asked.empty()) {
        struct stat st {};
        folder.ignoresCase_ = calls_.LStat(dir, asked.c_str(), st) == 0;
        return;
    }
    // No name with letters to ask with (or the names cannot be read). The kernel's FAT
    // types were settled before; FUSE does not tell which file system it serves, so the
    // folder is taken as one that heeds case.
    folder.ignoresCase_ = false;
}

TFolderModel::Opened TFolderModel::Open(const std::string& path) {
    if (const auto it = byPath_.find(path); it != byPath_.end())
        return it->second;
    Opened opened;
    int dir = -1;
    opened.error = calls_.OpenFolder(path.empty() ? "." : path.c_str(), dir);
    if (opened.error == 0) {
        struct stat st {};
        opened.error = calls_.LStat(dir, ".", st);
        if (opened.error == 0) {
            const auto key = std::make_pair(st.st_dev, st.st_ino);
            identities_.emplace(path, Identity{0, st.st_dev, st.st_ino});
            if (const auto known = byIdentity_.find(key); known != byIdentity_.end()) {
                opened.folder = known->second;
            } else {
                auto folder = std::make_unique<TModelFolder>();
                folder->calls_ = &calls_;
                folder->path_ = path;
                folder->device_ = st.st_dev;
                folder->inode_ = st.st_ino;
                struct statfs fs {};
                if (calls_.FolderFileSystem(dir, fs) == 0) {
                    folder->fsType_ = static_cast<unsigned long>(fs.f_type);
                    if (fs.f_namelen > 0)
                        folder->nameMax_ = fs.f_namelen;
                    folder->readOnly_ = (fs.f_flags & ST_RDONLY) != 0;
                    folder->nameRules_ = devices_.Of(calls_, dir, folder->fsType_, st.st_dev);
                    // These count a name's length in UTF-16 units (NameRuleError), not
                    // in the bytes statfs gives: 131 letters of two bytes each fit.
                    if (folder->nameRules_ == NameRules::Windows)
                        folder->nameMax_ = static_cast<long>(kFuseNameMax);
                }
                folder->writeError_ = calls_.Access(dir, ".", W_OK | X_OK);
                folder->listError_ = ReadNames(*folder, dir);
                if (folder->listError_ != 0)
                    folder->names_.Clear();
                if (FileSystemIgnoresCase(folder->fsType_)) {
                    folder->ignoresCase_ = true;
                    folder->rules_ = TModelFolder::Rules::KernelFat;
                } else {
                    DecideCase(*folder, dir);
                    // A FUSE file system that ignores case is taken for exFAT, the one
                    // such that Debian mounts through FUSE.
                    if (folder->ignoresCase_ && folder->fsType_ == FUSE_SUPER_MAGIC)
                        folder->rules_ = TModelFolder::Rules::FuseFat;
                }
                if (folder->ignoresCase_ && folder->listError_ == 0)
                    folder->names_.ForEach(
                        [&](std::string_view name) { ++folder->folded_[FoldCase(name)]; });
                opened.folder = folder.get();
                byIdentity_.emplace(key, opened.folder);
                folders_.push_back(std::move(folder));
            }
        }
        calls_.CloseFolder(dir);
    }
    byPath_.emplace(path, opened);
    return opened;
}

const TFolderModel::Identity& TFolderModel::IdentityOf(const std::string& disk) {
    if (const auto it = identities_.find(disk); it != identities_.end())
        return it->second;
    Identity identity;
    int dir = -1;
    identity.error = calls_.OpenFolder(disk.empty() ? "." : disk.c_str(), dir);
    if (identity.error == 0) {
        struct stat st {};
        identity.error = calls_.LStat(dir, ".", st);
        identity.device = st.st_dev;
        identity.inode = st.st_ino;
        calls_.CloseFolder(dir);
    }
    return identities_.emplace(disk, identity).first->second;
}

std::string TFolderModel::ArrivalKey(const TModelFolder& folder, std::string_view name) const {
    // The folder's address, not its first bytes: those are alike in every folder.
    const TModelFolder* const address = &folder;
    std::string key(reinterpret_cast<const char*>(&address), sizeof address);
    // Where letter case is ignored, a path may spell the name otherwise than the rename.
    key += folder.ignoresCase_ ? EncodeUtf8(FoldCase(name)) : std::string(name);
    return key;
}

std::string TFolderModel::ArrivedFrom(TModelFolder& folder, std::string_view name) {
    if (!folder.arrivedAny_)
        return {};
    for (; arrivalsIndexed_ < arrivals_.size(); ++arrivalsIndexed_) {
        const Arrival& a = arrivals_[arrivalsIndexed_];
        arrivalsByName_[ArrivalKey(*a.to, a.toName)].push_back(
            static_cast<std::uint32_t>(arrivalsIndexed_));
    }
    // The name's latest arrival before this moment, then the one that brought its old
    // name, and so on back to a name the disk knows, or to a folder the run made under
    // that name after the arrival there (or with none).
    TModelFolder* at = &folder;
    std::string_view atName = name;
    std::size_t before = arrivals_.size();
    bool moved = false;
    for (;;) {
        const std::string key = ArrivalKey(*at, atName);
        std::optional<std::size_t> arrival;
        if (const auto it = arrivalsByName_.find(key); it != arrivalsByName_.end()) {
            const auto later = std::lower_bound(it->second.begin(), it->second.end(), before);
            if (later != it->second.begin())
                arrival = *(later - 1);
        }
        if (!made_.empty())
            if (const auto made = MadeBefore(key, before);
                made != nullptr && (!arrival || made->first > *arrival))
                return made->second;
        if (!arrival)
            break;
        before = *arrival;
        const Arrival& a = arrivals_[before];
        at = a.from;
        atName = a.fromName;
        moved = true;
    }
    return moved ? at->path_ + std::string(atName) : std::string();
}

const std::pair<std::size_t, std::string>* TFolderModel::MadeBefore(const std::string& key,
                                                                    std::size_t before) const {
    const auto it = made_.find(key);
    if (it == made_.end())
        return nullptr;
    // Made at or before that moment: the folders made later under the name came after.
    const std::pair<std::size_t, std::string>* found = nullptr;
    for (const auto& made : it->second)
        if (made.first <= before)
            found = &made;
    return found;
}

const std::string* TFolderModel::LinkTarget(const std::string& entry) {
    auto it = links_.find(entry);
    if (it == links_.end()) {
        std::optional<std::string> target;
        struct stat st {};
        if (calls_.LStat(AT_FDCWD, entry.c_str(), st) == 0 && S_ISLNK(st.st_mode)) {
            std::string text(PATH_MAX, '\0');
            const ssize_t size = ::readlink(entry.c_str(), text.data(), text.size());
            if (size > 0) {
                text.resize(static_cast<std::size_t>(size));
                target = std::move(text);
            }
        }
        it = links_.emplace(entry, std::move(target)).first;
    }
    return it->second ? &*it->second : nullptr;
}

TFolderModel::Opened TFolderModel::Walk(std::string disk, std::string_view relative) {
    // The parts still to walk: a link met on the way puts its target in front of them,
    // as the kernel does, so that the target is followed through the model's names too.
    std::string rest(relative);
    std::size_t at = 0;
    int links = 0;
    while (at < rest.size()) {
        const std::size_t slash = std::min(rest.find('/', at), rest.size());
        const std::string part = rest.substr(at, slash - at);
        at = slash + 1;
        if (part.empty() || part == ".")
            continue;
        // Until the model knows a folder, the disk is what the run will meet.
        if (part == ".." || byIdentity_.empty()) {
            disk += part;
            disk += '/';
            continue;
        }
        const Identity& here = IdentityOf(disk);
        if (here.error != 0)
            return {nullptr, here.error};
        std::string entry;
        if (const auto known = byIdentity_.find({here.device, here.inode});
            known != byIdentity_.end()) {
            TModelFolder& folder = *known->second;
            if (static_cast<long>(part.size()) > folder.NameMax())
                return {nullptr, ENAMETOOLONG};
            if (!folder.Holds(part))
                return {nullptr, ENOENT};
            entry = ArrivedFrom(folder, part);
            if (entry.empty() && !made_.empty())
                if (const auto made = MadeBefore(ArrivalKey(folder, part), arrivals_.size()))
                    entry = made->second;
        }
        if (entry.empty())
            entry = disk + part;
        if (const std::string* target = LinkTarget(entry)) {
            // The kernel's own limit on links followed in one walk.
            constexpr int kMaxLinks = 40;
            if (++links > kMaxLinks)
                return {nullptr, ELOOP};
            if (target->front() == '/')
                disk = "/";
            rest = *target + '/' + rest.substr(std::min(at, rest.size()));
            at = 0;
            continue;
        }
        disk = std::move(entry);
        disk += '/';
    }
    return Open(disk);
}

TFolderModel::Opened TFolderModel::Resolve(const std::string& path) {
    if (!path.empty() && path.front() == '/')
        return Walk("/", std::string_view(path).substr(1));
    return Walk("", path);
}

TModelFolder* TFolderModel::Folder(const std::string& path, int& error) {
    const Opened opened = Resolve(path);
    error = opened.error;
    return opened.folder;
}

RunError TFolderModel::Check(const std::string& folder, const std::string& from,
                             const std::string& to, TModelMove& move) {
    return CheckMove(folder, from, to, false, move);
}

RunError TFolderModel::CheckFreed(const std::string& folder, const std::string& from,
                                  const std::string& to, TModelMove& move) {
    return CheckMove(folder, from, to, true, move);
}

RunError TFolderModel::CheckMove(const std::string& folder, const std::string& from,
                                 const std::string& to, bool toFreed, TModelMove& move) {
    // The order of the answers is the order of TMoveFolder::Move and then of the
    // kernel's renameat2: both parents are walked, then the mount, then the source, then
    // the target, then the permissions.
    if (const int refused = RefusedNames(from, to))
        return refused;
    // As the run, the folder is looked up anew whenever its path is spelt otherwise than
    // the last one's.
    if (!haveLast_ || folder != lastPath_) {
        last_ = Resolve(folder);
        // A folder that could not be opened is tried again with the next entry.
        haveLast_ = last_.folder != nullptr;
        lastPath_ = folder;
    }
    if (!last_.folder)
        return last_.error;
    TModelFolder* const base = last_.folder;
    if (const RunError refused = NameRuleError(base->nameRules_, to))
        return refused;

    const SplitName source = Split(from);
    const SplitName target = Split(to);
    auto parentOf = [&](const SplitName& name, Opened& out) {
        if (name.parent.empty()) {
            out = {base, 0};
            return 0;
        }
        out = Walk(base->path_, name.parent);
        return out.error;
    };
    Opened fromParent, toParent;
    if (const int error = parentOf(source, fromParent))
        return error;
    if (const int error = parentOf(target, toParent))
        return error;
    TModelFolder& src = *fromParent.folder;
    TModelFolder& dst = *toParent.folder;
    if (src.device_ != dst.device_)
        return EXDEV;
    if (source.last.empty() || source.last == "." || source.last == "..")
        return EBUSY;
    // "." as the last part is not a name the new file could take.
    if (target.last == ".")
        return EEXIST;
    if (src.readOnly_)
        return EROFS;
    if (static_cast<long>(source.last.size()) > src.NameMax())
        return ENAMETOOLONG;
    if (!src.Holds(source.last))
        return ENOENT;
    if (const int error = dst.LookupError(target.last))
        return error;
    if (!toFreed && dst.Holds(target.last)) {
        // readme.txt -> README.TXT on a folder that ignores case goes through a
        // temporary name when no other entry takes that spelling.
        const bool plainNames = source.parent.empty() && target.parent.empty() &&
                                !source.trailingSlash && !target.trailingSlash;
        if (!plainNames || !src.ignoresCase_ || src.listError_ != 0 ||
            FoldCase(from) != FoldCase(to) ||
            src.FoldedCount(to) - static_cast<int>(src.HoldsExactly(from)) != 0)
            return EEXIST;
    }
    if (source.trailingSlash || target.trailingSlash) {
        struct stat st {};
        const std::string path = src.path_ + std::string(source.last);
        if (calls_.LStat(AT_FDCWD, path.c_str(), st) == 0 && !S_ISDIR(st.st_mode))
            return ENOTDIR;
    }
    if (IntoItself(from, target))
        return EINVAL;
    if (src.writeError_ != 0)
        return src.writeError_;
    if (dst.writeError_ != 0)
        return dst.writeError_;
    if (const int error = dst.StoreError(target.last))
        return error;
    move.From = &src;
    move.To = &dst;
    move.FromName = source.last;
    move.ToName = target.last;
    return 0;
}

void TFolderModel::Prefetch(const std::string& folder, std::string_view name) const {
    if (haveLast_ && last_.folder != nullptr && last_.folder->listError_ == 0 &&
        folder == lastPath_)
        last_.folder->names_.Prefetch(name);
}

void TFolderModel::Apply(const TModelMove& move) {
    // Kept for the paths that lead through the new name later (a folder renamed by the
    // run): views of the folders' own copies of the names, as most runs rename files that
    // no path leads through and should not pay for copies.
    Arrival arrival{move.From, move.To, move.From->Remove(move.FromName),
                    move.To->Add(move.ToName)};
    if (arrival.fromName.data() == nullptr)
        arrival.fromName = spareNames_.emplace_back(move.FromName);
    arrivals_.push_back(arrival);
    move.To->arrivedAny_ = true;
}

RunError TFolderModel::MakeFolder(const std::string& folder, const std::string& relative) {
    const SplitName made = Split(relative);
    Opened parent = Resolve(made.parent.empty() ? folder : folder + std::string(made.parent));
    if (parent.folder == nullptr)
        return parent.error;
    TModelFolder& in = *parent.folder;
    // The kernel's order: the lookup, then the name taken, then the mount, then the
    // permissions, then the file system's own refusal.
    if (made.last.empty() || made.last == "." || made.last == "..")
        return EEXIST;
    if (const int error = in.LookupError(made.last))
        return error;
    if (in.Holds(made.last))
        return EEXIST;
    if (in.readOnly_)
        return EROFS;
    if (in.writeError_ != 0)
        return in.writeError_;
    if (const int error = in.StoreError(made.last))
        return error;
    // A path that no disk walk reaches (it begins with a byte no path holds), so that
    // the walk's caches answer for it.
    const std::string stands = std::string(1, '\0') + "made" + std::to_string(folders_.size());
    auto folderMade = std::make_unique<TModelFolder>();
    TModelFolder& f = *folderMade;
    f.calls_ = &calls_;
    f.path_ = stands + '/';
    f.device_ = in.device_;
    // Inode numbers from the top of the range, which no real folder here has.
    f.inode_ = static_cast<ino_t>(~static_cast<ino_t>(0) - folders_.size());
    f.ignoresCase_ = in.ignoresCase_;
    f.rules_ = in.rules_;
    f.nameRules_ = in.nameRules_;
    f.nameMax_ = in.nameMax_;
    f.fsType_ = in.fsType_;
    in.Add(made.last);
    // A folder made under a name a folder made earlier has left since: the new one.
    made_[ArrivalKey(in, made.last)].emplace_back(arrivals_.size(), stands);
    identities_.emplace(f.path_, Identity{0, f.device_, f.inode_});
    links_.emplace(stands, std::nullopt);
    byIdentity_.emplace(std::make_pair(f.device_, f.inode_), &f);
    byPath_.emplace(f.path_, Opened{&f, 0});
    folders_.push_back(std::move(folderMade));
    return 0;
}

} // namespace qm
