#pragma once

// What the file list needs to know about one entry on disk: its type name, icon, size,
// attribute bits and last-write time.
//
// Made by TFileSystem::GetFile, owned by the caller, used at once and dropped. It refers
// to its TFileSystem (types, icons), so it must not outlive it. The entry is looked at
// once, in OpenPath; the getters answer from that look. Not thread-safe.

#include "filelist/fileattributes.h"

#include <QMimeType>
#include <cstdint>
#include <string>
#include <sys/stat.h>

namespace qm {

class TFileSystem;

class TFile {
public:
    explicit TFile(const TFileSystem& fileSystem);

    // Looks at the entry named by `path` (UTF-8 or any bytes; symbolic links are
    // followed, a link whose target is missing counts as the link itself). The file is
    // `Valid` when the entry exists.
    void OpenPath(const std::string& path);

    bool Valid() const { return valid_; }

    // The type's description, such as "PNG image"; empty when not `Valid`.
    std::string GetTypeName() const;
    // Index in the icon list of the type's icon; 0 when not `Valid`. Both sizes come from
    // one list of theme names, so `large` changes nothing; `open` asks for the open
    // folder icon of a directory.
    int GetIconIndex(bool large, bool open) const;
    // Size in bytes of a file (through a link to one); 0 for anything else and when not
    // `Valid`.
    std::uint64_t GetSize() const;
    FileAttributes GetAttributes() const;
    // Local last-write time as a date-time value (see datetimevalue.h); 0 when not
    // `Valid` or when the entry carries no time.
    double GetModified() const;

private:
    const QMimeType& MimeType() const;

    const TFileSystem& fileSystem_;
    bool valid_ = false;
    bool isLink_ = false; // a dangling symbolic link, seen through lstat
    struct stat info_ {};
    std::string name_; // the last component of the path
    mutable QMimeType mimeType_;
};

} // namespace qm
