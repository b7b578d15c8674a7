#include "rename/planplaces.h"

#include "rename/foldcase.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace qm {

int TPlanPlaces::Intern(TModelFolder& folder, std::string_view name, std::string_view kept) {
    std::u32string folded;
    std::string_view key = name;
    if (folder.IgnoresCase()) {
        folded = FoldCase(name);
        key = std::string_view(reinterpret_cast<const char*>(folded.data()),
                               folded.size() * sizeof(char32_t));
    }
    const std::size_t hash = std::hash<std::string_view>()(key) ^
                             std::hash<const void*>()(&folder) * 0x9e3779b97f4a7c15u;
    const std::uint32_t index = IndexOf(folder);
    if (2 * (folderOf_.size() + 1) > table_.size())
        Grow();
    const std::size_t mask = table_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        const int place = table_[at];
        if (place < 0) {
            table_[at] = PlaceCount();
            break;
        }
        const auto p = static_cast<std::size_t>(place);
        if (hashOf_[p] == static_cast<std::uint32_t>(hash) && folderOf_[p] == index &&
            Key(p) == key)
            return place;
    }
    // A name of the folder's listing, or one held elsewhere for as long as the places, is
    // not copied: a million names and as many candidates would be held twice.
    if (folder.IgnoresCase())
        keys_.Push(key);
    else if (kept.data() != nullptr || (kept = folder.Kept(name)).data() != nullptr)
        keys_.PushView(kept);
    else
        keys_.Push(key);
    hashOf_.push_back(static_cast<std::uint32_t>(hash));
    folderOf_.push_back(index);
    // A folder that ignores case keeps the folded key only, which is no name to ask for.
    present_.push_back(folder.IgnoresCase() ? folder.Holds(name) : 2);
    return PlaceCount() - 1;
}

std::uint32_t TPlanPlaces::IndexOf(TModelFolder& folder) {
    // Nearly every call is for the folder of the call before.
    if (lastIndex_ < folders_.size() && folders_[lastIndex_] == &folder)
        return lastIndex_;
    const auto [known, added] =
        folderIndex_.try_emplace(&folder, static_cast<std::uint32_t>(folders_.size()));
    if (added)
        folders_.push_back(&folder);
    return lastIndex_ = known->second;
}

void TPlanPlaces::Reserve(std::size_t places) {
    keys_.Reserve(places);
    hashOf_.reserve(places);
    folderOf_.reserve(places);
    present_.reserve(places);
}

void TPlanPlaces::Grow() {
    table_.assign(std::max<std::size_t>(1024, table_.size() * 2), -1);
    const std::size_t mask = table_.size() - 1;
    for (std::size_t place = 0; place < hashOf_.size(); ++place) {
        std::size_t at = hashOf_[place] & mask;
        while (table_[at] >= 0)
            at = (at + 1) & mask;
        table_[at] = static_cast<int>(place);
    }
}

int TPlanPlaces::Locate(const std::string& folder, const std::string& name, int& place) {
    // A file moved into a sub-folder by an earlier run is named from its entry's folder.
    if (const std::size_t slash = name.rfind('/'); slash != std::string::npos)
        return Locate(folder + name.substr(0, slash + 1), name.substr(slash + 1), place);
    if (last_ == nullptr || folder != lastPath_) {
        int error = 0;
        TModelFolder* const found = model_.Folder(folder, error);
        if (found == nullptr)
            return error;
        last_ = found;
        lastPath_ = folder;
        int dir = -1;
        if (calls_.OpenFolder(folder.empty() ? "." : folder.c_str(), dir) == 0) {
            struct stat st {};
            if (calls_.LStat(dir, ".", st) == 0)
                read_.emplace(std::make_pair(st.st_dev, st.st_ino), found);
            calls_.CloseFolder(dir);
        }
    }
    place = Intern(*last_, name);
    return 0;
}

RunError TPlanPlaces::Target(const std::string& folder, const std::string& from,
                             const std::string& candidate, std::string_view kept, int& place) {
    TModelMove move;
    if (const RunError error = model_.CheckFreed(folder, from, candidate, move))
        return error;
    // The new name's last part, in `kept`.
    const auto begin = reinterpret_cast<std::uintptr_t>(candidate.data());
    const auto last = reinterpret_cast<std::uintptr_t>(move.ToName.data());
    const bool inside = kept.size() == candidate.size() && last >= begin &&
                        last + move.ToName.size() <= begin + candidate.size();
    place = Intern(*move.To, move.ToName,
                   inside ? kept.substr(last - begin, move.ToName.size()) : std::string_view());
    return 0;
}

bool TPlanPlaces::Present(int place) {
    char& present = present_[static_cast<std::size_t>(place)];
    if (present == 2) {
        const auto at = static_cast<std::size_t>(place);
        present = folders_[folderOf_[at]]->Holds(Key(at)) ? 1 : 0;
    }
    return present == 1;
}

TModelFolder* TPlanPlaces::ReadFolderAt(const std::string& path) {
    int dir = -1;
    if (calls_.OpenFolder(path.empty() ? "." : path.c_str(), dir) != 0)
        return nullptr;
    struct stat st {};
    const int error = calls_.LStat(dir, ".", st);
    calls_.CloseFolder(dir);
    if (error != 0)
        return nullptr;
    const auto found = read_.find(std::make_pair(st.st_dev, st.st_ino));
    return found == read_.end() ? nullptr : found->second;
}

void TPlanPlaces::FoldersOnPath(const std::string& folder, std::vector<int>& places) {
    // "/" opens an absolute path and names no folder of its own.
    std::size_t begin = folder.starts_with('/') ? 1 : 0;
    for (std::size_t end; (end = folder.find('/', begin)) != std::string::npos; begin = end + 1) {
        const std::string_view name(folder.data() + begin, end - begin);
        if (name.empty() || name == "." || name == "..")
            continue;
        if (const int place = FolderPlace(folder.substr(0, begin), name); place >= 0)
            places.push_back(place);
    }
}

int TPlanPlaces::FolderPlace(const std::string& parent, std::string_view name) {
    TModelFolder* folder = ReadFolderAt(parent);
    return folder == nullptr ? -1 : Intern(*folder, name);
}

std::string TPlanPlaces::FreeName(int place) {
    TModelFolder& folder = *folders_[folderOf_[static_cast<std::size_t>(place)]];
    for (;;) {
        // Short, so that it fits beside a name of the full length.
        char name[40];
        std::snprintf(name, sizeof name, ".qm-plan-%x-%x", static_cast<unsigned>(getpid()),
                      serial_++);
        const int count = PlaceCount();
        const int parked = Intern(folder, name);
        if (parked == count && !Present(parked))
            return name;
    }
}

} // namespace qm
