#pragma once

// Places of names for the planner, on top of the folder model: names that lie at the
// same place (one folder reached by two paths; names that fold alike on a folder that
// ignores letter case) get the same small number, so that the planner can tell which
// entry's file holds the name another entry wants. Each folder is read once, through the
// model; nothing is changed on disk. One thread.
//
// Place numbers run from 0 to PlaceCount() - 1 and grow as new names are met.

#include "rename/filecalls.h"
#include "rename/foldermodel.h"
#include "rename/nameblock.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qm {

class TPlanPlaces {
public:
    explicit TPlanPlaces(TFileCalls& calls) : calls_(calls), model_(calls) {}

    // Room for `places` names, so that the tables, grown by doubling, do not end up
    // nearly twice as large as they need to be.
    void Reserve(std::size_t places);
    // The place of the file `name` in `folder` ("" or ending in "/"; `name` may lead
    // into a sub-folder); the errno value when the folder cannot be read.
    int Locate(const std::string& folder, const std::string& name, int& place);
    // The place the file `from` of `folder` would take under `candidate` once no other
    // file holds that name, or the error that refuses the rename all the same. `kept`
    // holds the text of `candidate` for as long as the places (the place keeps a view into
    // it), or no data.
    RunError Target(const std::string& folder, const std::string& from,
                    const std::string& candidate, std::string_view kept, int& place);
    // Whether a file lay at `place` when its folder was read.
    bool Present(int place);
    int PlaceCount() const { return static_cast<int>(folderOf_.size()); }
    // A short name in the folder of `place`, new for each call, that lies at no place met
    // so far: clear of the folder's files and of every candidate of the planning.
    std::string FreeName(int place);
    // The places of the folders on the way to `folder` ("" or ending in "/") that lie
    // directly in a folder Locate has read, nearest last: a run that renames one of them
    // first cuts that way. The folders are told apart by identity, so that "./d/" and
    // "d/" lead through the same place; a folder that cannot be opened adds nothing.
    void FoldersOnPath(const std::string& folder, std::vector<int>& places);
    // The place of `name` in the folder at `parent` ("" or ending in "/") when Locate has
    // read that folder, else -1.
    int FolderPlace(const std::string& parent, std::string_view name);

private:
    // `kept`: the same text as `name`, valid as long as the places, or a view without
    // data.
    int Intern(TModelFolder& folder, std::string_view name, std::string_view kept = {});
    std::uint32_t IndexOf(TModelFolder& folder);
    std::string_view Key(std::size_t place) const { return keys_[place]; }
    // The folder Locate read at the identity of `path`, or nullptr.
    TModelFolder* ReadFolderAt(const std::string& path);

    TFileCalls& calls_;
    void Grow();

    TFolderModel model_;
    // An open-addressing table of place numbers (-1: empty), a power of two long: a run
    // over a hundred thousand files meets as many names, and a node per name would cost
    // more than the rest of the planning.
    std::vector<int> table_;
    // Per place: the name as its folder compares it.
    TNameBlock keys_;
    // Per place: the low half of its hash, all a table of fewer than 2^32 slots uses.
    std::vector<std::uint32_t> hashOf_;
    // Per place: its folder, by index into folders_.
    std::vector<std::uint32_t> folderOf_;
    std::vector<TModelFolder*> folders_;
    std::unordered_map<const TModelFolder*, std::uint32_t> folderIndex_;
    std::uint32_t lastIndex_ = 0;
    // Per place: 0 no file there, 1 a file, 2 not asked yet. The files of the run's own
    // entries are asked for only where it matters: the move of each is checked anyway.
    std::vector<char> present_;
    std::string lastPath_;
    TModelFolder* last_ = nullptr;
    // The folders Locate read, by device and inode.
    std::map<std::pair<dev_t, ino_t>, TModelFolder*> read_;
    unsigned serial_ = 0;
};

} // namespace qm
