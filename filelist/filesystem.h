#pragma once

// Entry point to what the file list needs to know about the disk: properties of single
// entries (GetFile), the user's documents folder (GetPersonalFolder) and the icon list
// that entries' image indexes refer to.
//
// Owned by its user (the file list keeps one for the whole run; a settings expansion may
// make one for a single call). The icon list is borrowed and must outlive this object.
// Calls on one object come from one thread at a time.

#include <QHash>
#include <QMimeType>
#include <memory>
#include <string>

class QMimeDatabase;

namespace qm {

class TFile;
class TFolder;
class TIconNames;
class TMimeMatcher;

class TFileSystem {
public:
    // Entries get their image indexes from `icons`; by default the program's own list.
    explicit TFileSystem(TIconNames& icons);
    TFileSystem();
    ~TFileSystem();
    TFileSystem(const TFileSystem&) = delete;
    TFileSystem& operator=(const TFileSystem&) = delete;

    // The icon lists that image indexes point into. Both sizes share one list of theme
    // names; the view picks the pixel size.
    const TIconNames& GetLargeImages() const { return icons_; }
    const TIconNames& GetSmallImages() const { return icons_; }

    // The entry at `path`; a new object owned by the caller, not `Valid` when nothing is
    // there. It must not outlive this TFileSystem.
    std::unique_ptr<TFile> GetFile(const std::string& path) const;

    // The user's documents folder; a new object owned by the caller, not `Valid` when
    // the folder cannot be found.
    std::unique_ptr<TFolder> GetPersonalFolder() const;

    // For TFile: what it needs of a MIME type, worked out once per type.
    struct TypeFacts {
        std::string TypeName; // the type's description, "PNG image"
        int IconIndex = 0;    // the type's icon in the icon list
    };
    // The type of a bare file name, matched by name only.
    QMimeType MimeTypeOfFileName(const std::string& name) const;
    // The type called `mimeName`, such as "inode/directory".
    QMimeType MimeTypeNamed(const char* mimeName) const;
    const TypeFacts& FactsOf(const QMimeType& type) const;
    // The index of a theme icon name and its fallback in the icon list.
    int IconIndexOf(const char* name, const char* fallback) const;

private:
    TIconNames& icons_;
    std::unique_ptr<QMimeDatabase> mimeTypes_;
    // Caches, filled as entries are looked at; hence mutable.
    mutable std::unique_ptr<TMimeMatcher> matcher_;
    mutable QHash<QString, TypeFacts> facts_;
};

} // namespace qm
