#include "filelist/folder.h"

#include <QStandardPaths>
#include <sys/stat.h>

namespace qm {

void TFolder::OpenSpecial(SpecialFolder id) {
    valid_ = false;
    path_.clear();
    QString location;
    switch (id) {
    case SpecialFolder::Personal:
        location = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        break;
    }
    if (location.isEmpty())
        return;
    std::string path = location.toStdString();
    // Qt names the folder the user settings point to even when it was never made; such a
    // folder cannot be opened, so it counts as not found.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return;
    if (path.back() != '/')
        path += '/';
    path_ = std::move(path);
    valid_ = true;
}

std::string TFolder::GetFolderPath() const {
    return valid_ ? path_ : std::string();
}

} // namespace qm
