#pragma once

// Adding files to the main window's list: a path from the command line, the files of a
// folder, files and folders dropped on the list, and the files picked in the file dialog.
// Many files are added in their order with one sort, and with the progress window when
// that takes long. Paths are bytes as the file system gives them: a name that is not
// UTF-8 survives.
//
// Does not own the list, the model or the window (the progress window's parent): the
// window creates it once they exist and destroys it before them. Window thread only.

#include "filelist/fileitems.h"

#include <QList>
#include <QString>
#include <string>
#include <vector>

class QUrl;
class QWidget;

namespace qm {

class TAddProgress;
class TFileListModel;
class TSettings;

class TFileAdder {
public:
    TFileAdder(TFileItems& items, TFileListModel& model, QWidget& window);
    TFileAdder(const TFileAdder&) = delete;
    TFileAdder& operator=(const TFileAdder&) = delete;

    // One file path; a bare name or relative path is taken from the current folder.
    void AddFile(const std::string& path);
    // The files of `folder`, with those of its subfolders when asked, depth first. Returns
    // false when the user cancelled (what was added until then stays).
    bool AddFolder(const std::string& folder, bool subFolders);
    // Dropped files and folders, in the order of the drop: a file is added, a folder adds
    // its own files (never its subfolders); anything else is skipped. Returns false when
    // the user cancelled while a folder was read, which adds nothing.
    bool AddDropped(const QList<QUrl>& urls);
    // The file dialog, titled `title`, showing every file under the name `filter` (the
    // language's filter text, whose patterns are dropped; `fallback` when that leaves
    // nothing). Remembers the folder of the files picked. Returns false when none was
    // picked.
    bool AddFromDialog(TSettings& settings, const QString& title, QString filter,
                       const QString& fallback);

private:
    bool AddEntries(const std::vector<TFileItems::NewEntry>& entries, TAddProgress& progress);

    TFileItems& items_;
    TFileListModel& model_;
    QWidget& window_;
};

} // namespace qm
