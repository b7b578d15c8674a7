#pragma once

// A fresh folder for one test, removed afterwards, and a file list over names in it.

#include "filelist/fileitem.h"
#include "filelist/fileitems.h"
#include "filelist/filelist.h"

#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace qm::test {

// Scheme lines that turn on the replace pairs `pairs` ("FIND:REPLACEMENT"), applied one
// after the other in the order given where the options are read unsorted: "a:#", "b:a",
// "#:b" swaps a and b.
inline std::string Pairs(const std::vector<std::string>& pairs) {
    std::string text =
        "ReplaceGroup=true\nReplaceEnabled=true\nReplaceCount=" + std::to_string(pairs.size()) +
        "\n";
    for (std::size_t i = 0; i < pairs.size(); ++i)
        text += "ReplaceText" + std::to_string(i + 1) + "=" + pairs[i] + "\n";
    return text;
}

class RenameFolder {
public:
    // A new folder below `base`, or below the system's temporary folder when `base` is "".
    explicit RenameFolder(const std::string& base = "");
    ~RenameFolder();
    RenameFolder(const RenameFolder&) = delete;
    RenameFolder& operator=(const RenameFolder&) = delete;

    // The folder, ending in "/".
    const std::string& Path() const { return path_; }
    // Makes `name` below the folder: "d/" a folder, "l@target" a symbolic link to target,
    // anything else a regular file whose content is its own name.
    void Make(const std::string& name) const;
    // Regular file contents found below the folder (links not followed), each with the
    // paths (relative) where it was found.
    std::map<std::string, std::vector<std::string>> Contents() const;

private:
    std::string path_;
};

// A file list in update mode over `names` in `folder`, properties not read.
struct ListedFiles {
    ListedFiles(const std::string& folder, const std::vector<std::string>& names) {
        items().BeginUpdate();
        std::vector<TFileItems::NewEntry> entries;
        for (const std::string& name : names)
            entries.push_back({name, folder});
        items().AddNamesOnly(std::move(entries));
    }
    TFileItems& items() { return list.Items(); }
    TFileItem& operator[](int slot) { return *items().Items(slot); }
    TFileList list;
};

} // namespace qm::test
