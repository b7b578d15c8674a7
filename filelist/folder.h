#pragma once

// A folder with a well-known role, such as the user's documents folder.
//
// Made by TFileSystem::GetPersonalFolder and owned by the caller. The path is read once,
// when the folder is opened; later changes to the user's folder settings are not seen.
// Not thread-safe; cheap enough to make for one use and drop.

#include <string>

namespace qm {

enum class SpecialFolder {
    Personal, // the user's documents folder
};

class TFolder {
public:
    TFolder() = default;

    // Looks the folder up. The folder is `Valid` when it is known and exists as a
    // directory; otherwise it stays not `Valid` and its path is empty.
    void OpenSpecial(SpecialFolder id);

    bool Valid() const { return valid_; }

    // The folder's path ending in "/"; empty when not `Valid`. UTF-8.
    std::string GetFolderPath() const;

private:
    bool valid_ = false;
    std::string path_;
};

} // namespace qm
