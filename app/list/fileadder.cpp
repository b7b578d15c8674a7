#include "app/list/fileadder.h"

#include "app/list/addprogress.h"
#include "app/list/commandpath.h"
#include "app/list/filelistmodel.h"
#include "filelist/folderwalk.h"
#include "settings/settings.h"

#include <QDir>
#include <QFileDialog>
#include <QRegularExpression>
#include <QUrl>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace qm {

namespace {

// Folder and name of a path; a bare name or relative path is taken from the current
// folder, read as bytes so that a folder name that is not UTF-8 survives.
SplitPath SplitFilePath(const std::string& path) {
    std::error_code error;
    std::string current = std::filesystem::current_path(error).native();
    if (current.empty() || current.back() != '/') {
        current += '/';
    }
    SplitPath split = SplitCommandLinePath(path, current);
    // "./" names the folder it stands in; shown in the folder column it only puzzles.
    // ("../" stays: dropping it by text would be wrong behind a link.)
    std::string& folder = split.path;
    for (std::size_t at; (at = folder.find("/./")) != std::string::npos;) {
        folder.erase(at, 2);
    }
    return split;
}

// The file's path as the bytes the file manager sent: a name that is not UTF-8 arrives
// percent-encoded byte by byte and must not be decoded as text.
std::string LocalPath(const QUrl& url) {
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

// Where the file dialog opens: the folder used last, at first the documents folder. A
// profile without a documents folder expands that to nothing, and the folder used last
// may be gone; the dialog would then open at the root, so the home folder serves.
QString AddFilesFolder(const TSettings& settings) {
    const bool noDocuments = settings.ExpandPath("%DOCUMENTPATH%") == "/";
    const QString stored = QString::fromStdString(settings.LastUsedFilePath);
    const std::string folder = settings.ExpandPath(settings.LastUsedFilePath);
    std::error_code error;
    if ((noDocuments && stored.contains(QLatin1String("%DOCUMENTPATH%"), Qt::CaseInsensitive)) ||
        !std::filesystem::is_directory(folder, error)) {
        return QDir::homePath();
    }
    return QFile::decodeName(QByteArray::fromStdString(folder));
}

} // namespace

TFileAdder::TFileAdder(TFileItems& items, TFileListModel& model, QWidget& window)
    : items_(items), model_(model), window_(window) {}

void TFileAdder::AddFile(const std::string& path) {
    const SplitPath split = SplitFilePath(path);
    const TFileListModel::Change change(model_);
    items_.Add(split.name, split.path);
}

bool TFileAdder::AddEntries(const std::vector<TFileItems::NewEntry>& entries,
                            TAddProgress& progress) {
    if (entries.empty() || progress.Cancelled()) {
        return !progress.Cancelled();
    }
    const TFileListModel::Change change(model_);
    items_.AddMany(entries,
                   [&](std::size_t added) { return progress.Update(added, entries.size()); });
    return !progress.Cancelled();
}

bool TFileAdder::AddFolder(const std::string& folder, bool subFolders) {
    TAddProgress progress(&window_);
    const FolderWalkResult walk = WalkFolder(
        folder, subFolders, [&](std::size_t listed) { return progress.Update(listed, 0); });
    // A cancel while looking adds nothing: the files found have not been read yet, and
    // reading them is the long part the user just stopped.
    if (walk.Cancelled) {
        return false;
    }
    return AddEntries(walk.Files, progress);
}

bool TFileAdder::AddDropped(const QList<QUrl>& urls) {
    TAddProgress progress(&window_);
    std::vector<TFileItems::NewEntry> entries;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) {
            continue;
        }
        const std::string path = LocalPath(url);
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) {
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            const FolderWalkResult walk = WalkFolder(
                path, false, [&](std::size_t listed) { return progress.Update(listed, 0); });
            if (walk.Cancelled) {
                return false;
            }
            entries.insert(entries.end(), walk.Files.begin(), walk.Files.end());
        } else {
            const SplitPath split = SplitFilePath(path);
            entries.push_back({split.name, split.path});
        }
    }
    AddEntries(entries, progress);
    return true;
}

bool TFileAdder::AddFromDialog(TSettings& settings, const QString& title, QString filter,
                               const QString& fallback) {
    filter = filter.remove(QLatin1Char('|')).trimmed();
    // Every file, with or without an extension: a pattern of "*.*" in the language text
    // would hide files without a dot.
    static const QRegularExpression patterns(QStringLiteral("\\s*\\([^()]*\\)$"));
    filter.remove(patterns);
    if (filter.isEmpty()) {
        filter = fallback;
    }
    filter += QStringLiteral(" (*)");
    const QStringList files =
        QFileDialog::getOpenFileNames(&window_, title, AddFilesFolder(settings), filter);
    if (files.isEmpty()) {
        return false;
    }
    std::vector<TFileItems::NewEntry> entries;
    for (const QString& file : files) {
        const SplitPath split = SplitFilePath(QFile::encodeName(file).toStdString());
        entries.push_back({split.name, split.path});
    }
    settings.LastUsedFilePath = entries.front().Path;
    TAddProgress progress(&window_);
    AddEntries(entries, progress);
    return true;
}

} // namespace qm
