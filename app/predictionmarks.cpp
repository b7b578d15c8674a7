#include "app/predictionmarks.h"

#include "app/maintexts.h"
#include "engine/newname.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_map>

namespace qm {

std::vector<TRowMark> MarkRows(const std::vector<TRunEntry>& entries, const TPrediction& prediction,
                               const RenameOptionSet& options) {
    std::vector<TRowMark> marks;
    // Only the running number can make the run's name differ from the column's: without
    // it every name the run tries is the one the column shows.
    const bool numbered = options.InsertGroup && options.NumberIncEnabled;
    const auto shown = [&](const TRunEntry& entry) {
        return ComputeNewName(options, entry.Name, options.NumberIncValue + entry.Slot);
    };
    // Where each rename of the run puts its file, to tell a name taken by the run from one
    // that was there before.
    std::unordered_map<std::string, std::size_t> newNames;
    const std::size_t count = std::min(entries.size(), prediction.Entries.size());
    for (std::size_t i = 0; i < count; ++i) {
        const TRunEntry& entry = entries[i];
        const TPredictedEntry& outcome = prediction.Entries[i];
        switch (outcome.Outcome) {
        case RenameOutcome::Failed: {
            const auto taker = outcome.Error == EEXIST
                                   ? newNames.find(entry.Path + outcome.Candidate)
                                   : newNames.end();
            if (taker != newNames.end()) {
                marks.push_back(
                    {entry.Slot, MarkKind::Taken, outcome.Error, entries[taker->second].Name});
            } else {
                marks.push_back({entry.Slot, MarkKind::Fails, outcome.Error, {}});
            }
            break;
        }
        case RenameOutcome::Renamed:
            newNames.emplace(entry.Path + outcome.Candidate, i);
            if (numbered && outcome.Candidate != shown(entry)) {
                marks.push_back({entry.Slot, MarkKind::Shifted, 0, outcome.Candidate});
            }
            break;
        case RenameOutcome::Unchanged:
            if (numbered && entry.Name != shown(entry)) {
                marks.push_back({entry.Slot, MarkKind::Keeps, 0, {}});
            }
            break;
        }
    }
    return marks;
}

namespace {

QString Text(const MarkTextSource& texts, const char* key, const char* english) {
    const std::string text = texts ? texts(key) : std::string();
    return ScreenText(text.empty() ? std::string(english) : text);
}

// Only the first "%1": a file name that itself holds "%1" is not expanded again.
QString Fill(QString pattern, const QString& value) {
    const qsizetype at = pattern.indexOf(QLatin1String("%1"));
    return at < 0 ? pattern : pattern.replace(at, 2, value);
}

QString FailureReason(int error, const MarkTextSource& texts) {
    switch (error) {
    case EEXIST:
        return Text(texts, "PREDICTEXISTS", "A file of this name already exists");
    case ENAMETOOLONG:
        return Text(texts, "PREDICTTOOLONG", "The new name is too long for this file system");
    case EILSEQ:
        return Text(texts, "PREDICTBADCHAR",
                    "The new name holds a character that this file system does not allow");
    case EINVAL:
        return Text(texts, "PREDICTINVALID", "The new name is not a valid name in this folder");
    case ENOENT:
        return Text(texts, "PREDICTMISSING",
                    "The file or the folder of its new name does not exist");
    case EACCES:
    case EPERM:
        return Text(texts, "PREDICTNOACCESS", "No permission to rename files in this folder");
    case EROFS:
        return Text(texts, "PREDICTREADONLY", "The file system is read-only");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

} // namespace

QString MarkTip(const TRowMark& mark, const MarkTextSource& texts) {
    const QString name = QString::fromStdString(mark.Name);
    switch (mark.Kind) {
    case MarkKind::Fails:
        return Fill(Text(texts, "PREDICTFAILS", "Would not be renamed: %1"),
                    FailureReason(mark.Error, texts));
    case MarkKind::Taken:
        return Fill(
            Text(texts, "PREDICTFAILS", "Would not be renamed: %1"),
            Fill(Text(texts, "PREDICTTAKEN", "\u201c%1\u201d gets this name earlier in the run"),
                 name));
    case MarkKind::Shifted:
        return Fill(Text(texts, "PREDICTSHIFTED",
                         "Would be renamed to \u201c%1\u201d: the number rises only for files "
                         "that are renamed"),
                    name);
    case MarkKind::Keeps:
        return Text(texts, "PREDICTKEEPS",
                    "Would keep its name: the number rises only for files that are renamed");
    }
    return QString();
}

QString MarkCountText(int marked, const MarkTextSource& texts) {
    if (marked <= 0) {
        return QString();
    }
    // The language files have no plural forms: one text for one file, one for the rest.
    if (marked == 1) {
        return Text(texts, "PREDICTCOUNTONE", "1 file would not get the name shown");
    }
    return Fill(Text(texts, "PREDICTCOUNT", "%1 files would not get the name shown"),
                QString::number(marked));
}

} // namespace qm
