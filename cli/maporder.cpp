#include "cli/maporder.h"

#include "rename/foldcase.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unordered_map>
#include <utility>

namespace qm::cli {
namespace {

// A name as a folder that ignores letter case compares it, as a 64-bit hash (FNV-1a over
// the folded code points). Two names that hash alike are taken for one: a rare false
// match costs a plan, never a wrong run. An ASCII name folds byte by byte, sparing a
// million names FoldCase's copy.
std::uint64_t FoldedHash(std::string_view name) {
    constexpr std::uint64_t kPrime = 0x100000001b3ULL;
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    if (std::all_of(name.begin(), name.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        for (const char c : name)
            hash = (hash ^ static_cast<std::uint64_t>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c)) *
                   kPrime;
        return hash;
    }
    for (const char32_t c : FoldCase(name))
        hash = (hash ^ static_cast<std::uint64_t>(c)) * kPrime;
    return hash;
}

// A name in the folder numbered `folder`.
std::uint64_t Key(std::uint32_t folder, std::string_view name) {
    return FoldedHash(name) ^ ((folder + 1ULL) * 0x9E3779B97F4A7C15ULL);
}

// A set of keys without an allocation per key: two million of them are put in it.
class KeySet {
public:
    explicit KeySet(std::size_t count) {
        while ((std::size_t{1} << bits_) < 2 * count)
            ++bits_;
        table_.assign(std::size_t{1} << bits_, 0);
    }
    // False when the key is in the set already.
    bool Insert(std::uint64_t key) {
        std::uint64_t& slot = SlotOf(key);
        if (slot != 0)
            return false;
        slot = key == 0 ? 1 : key;
        return true;
    }
    bool Contains(std::uint64_t key) { return SlotOf(key) != 0; }
    // Asks for the memory of the key's slot, to be read a little later.
    void Prefetch(std::uint64_t key) const { __builtin_prefetch(&table_[Home(key)]); }

private:
    std::size_t Home(std::uint64_t key) const {
        return static_cast<std::size_t>(((key == 0 ? 1 : key) * 0x9E3779B97F4A7C15ULL) >>
                                        (64 - bits_));
    }
    // The slot holding `key`, else the empty slot where it goes.
    std::uint64_t& SlotOf(std::uint64_t key) {
        if (key == 0)
            key = 1; // 0 marks an empty slot
        const std::size_t mask = table_.size() - 1;
        for (std::size_t at = Home(key);; at = (at + 1) & mask)
            if (table_[at] == 0 || table_[at] == key)
                return table_[at];
    }
    unsigned bits_ = 4;
    std::vector<std::uint64_t> table_;
};

// The folders of the entries, each numbered by its identity, and the names their paths
// pass through (a key per folder passed and part taken from it).
class Folders {
public:
    // The number of the folder `path` ("" or ending in "/"), nothing when the path does
    // not go plainly from folder to folder.
    std::optional<std::uint32_t> Resolve(std::string_view path) {
        std::string key(path);
        const auto known = resolved_.find(key);
        if (known != resolved_.end())
            return known->second;
        const std::optional<std::uint32_t> folder = Follow(key);
        resolved_.emplace(std::move(key), folder);
        return folder;
    }
    const std::vector<std::uint64_t>& Passed() const { return passed_; }

private:
    std::optional<std::uint32_t> Follow(const std::string& path) {
        std::string prefix = path.starts_with('/') ? "/" : "";
        std::optional<std::uint32_t> folder = Identity(prefix.empty() ? "." : prefix);
        for (std::size_t at = 0; folder && at < path.size();) {
            std::size_t end = path.find('/', at);
            if (end == std::string::npos)
                end = path.size();
            const std::string_view part = std::string_view(path).substr(at, end - at);
            at = end + 1;
            if (part.empty() || part == ".")
                continue;
            // Rare enough in a map to be left to the plan, which follows it by identity.
            if (part == "..")
                return std::nullopt;
            passed_.push_back(Key(*folder, part));
            prefix += part;
            folder = Identity(prefix);
            prefix += '/';
        }
        return folder;
    }
    // A folder itself, not a symbolic link to one: the names the path passes are then
    // the folder's own.
    std::optional<std::uint32_t> Identity(const std::string& path) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return std::nullopt;
        return ids_
            .emplace(std::pair(st.st_dev, st.st_ino), static_cast<std::uint32_t>(ids_.size()))
            .first->second;
    }
    std::map<std::pair<dev_t, ino_t>, std::uint32_t> ids_;
    std::unordered_map<std::string, std::optional<std::uint32_t>> resolved_;
    std::vector<std::uint64_t> passed_;
};

// A name no entry is plainly renamed from or to.
bool Special(std::string_view name) {
    return name.empty() || name == "." || name == "..";
}

} // namespace

bool ListOrderIsPlanned(const std::vector<TJournalMoveRef>& moves) {
    Folders folders;
    // The keys are worked out first, so that the slot of a later one is fetched from
    // memory while an earlier one is placed: a table of millions of keys is mostly
    // waiting for memory otherwise.
    std::vector<std::uint64_t> named;
    named.reserve(2 * moves.size());
    std::optional<std::string_view> lastPath;
    std::uint32_t folder = 0;
    for (const TJournalMoveRef& move : moves) {
        if (Special(move.From) || Special(move.To) || move.To.find('/') != std::string::npos)
            return false;
        // Most maps name the files of one folder, spelt alike.
        if (!lastPath || move.Folder != *lastPath) {
            const std::optional<std::uint32_t> found = folders.Resolve(move.Folder);
            if (!found)
                return false;
            folder = *found;
            lastPath = move.Folder;
        }
        named.push_back(Key(folder, move.From));
        named.push_back(Key(folder, move.To));
    }
    KeySet keys(named.size());
    constexpr std::size_t kAhead = 16;
    for (std::size_t k = 0; k < named.size(); ++k) {
        if (k + kAhead < named.size())
            keys.Prefetch(named[k + kAhead]);
        if (!keys.Insert(named[k]))
            return false;
    }
    return std::none_of(folders.Passed().begin(), folders.Passed().end(),
                        [&keys](std::uint64_t passed) { return keys.Contains(passed); });
}

} // namespace qm::cli
