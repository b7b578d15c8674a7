#include "app/list/predictionmarks.h"

#include "app/widgets/qttext.h"
#include "engine/newname.h"
#include "engine/organize.h"
#include "engine/runningnumber.h"
#include "filelist/columnset.h"
#include "rename/namerules.h"
#include "rename/runrules.h"

#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>
#include <type_traits>
#include <unordered_map>

namespace qm {

namespace {

// A row that the run gives another number than the column: marked when the name it gets
// differs from the one the column shows, which only computing the column's name can tell;
// a failure is marked anyway, and its tip names the name the run tries when it differs.
struct Unsure {
    std::size_t mark;  // its mark
    std::size_t entry; // its entry
};

// Where each entry's number counts from in the column: its slot, or its place as the
// number per folder and companions count it (NumberPositions).
std::vector<std::int64_t> ColumnPositions(const std::vector<TRunEntry>& entries,
                                          const RenameOptionSet& options) {
    if (options.NumberIncEnabled && (options.NumberPerFolder || options.RenameCompanions)) {
        std::vector<TCompanionEntry> listed;
        listed.reserve(entries.size());
        for (const TRunEntry& entry : entries)
            listed.push_back({entry.Path, entry.Name, entry.HandName != nullptr});
        return NumberPositions(listed, options.NumberPerFolder, options.RenameCompanions);
    }
    std::vector<std::int64_t> positions;
    positions.reserve(entries.size());
    for (const TRunEntry& entry : entries)
        positions.push_back(entry.Slot);
    return positions;
}

// The first pass: failures, and the rows that the run numbers otherwise than the column.
// With `take`, the marks of renamed rows are left without their names, for the caller to
// take out of `prediction` once every earlier name was looked at.
void FirstPass(const std::vector<TRunEntry>& entries, const std::vector<std::int64_t>& positions,
               const TPrediction& prediction, bool take, const RenameOptionSet& options,
               std::vector<TRowMark>& marks, std::vector<Unsure>& unsure) {
    const bool numbered = options.InsertGroup && options.NumberIncEnabled;
    const std::size_t count = std::min(entries.size(), prediction.Entries.size());
    // Where each rename of the run puts its file, to tell a name taken by the run from one
    // that was there before; filled only once a name is found taken.
    std::unordered_map<std::string, std::size_t> newNames;
    std::size_t indexed = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const TRunEntry& entry = entries[i];
        const TPredictedEntry& outcome = prediction.Entries[i];
        const auto gets = [&] {
            return take ? std::string() : outcome.Candidate;
        };
        const bool renumbered =
            numbered && outcome.Number != NumberAtPosition(options.NumberIncValue, positions[i]);
        switch (outcome.Outcome) {
        case RenameOutcome::Failed: {
            if (outcome.Error == EEXIST) {
                for (; indexed < i; ++indexed) {
                    const TPredictedEntry& earlier = prediction.Entries[indexed];
                    if (earlier.Outcome == RenameOutcome::Renamed) {
                        newNames.emplace(entries[indexed].Path + earlier.Candidate, indexed);
                    }
                }
                const auto taker = newNames.find(entry.Path + outcome.Candidate);
                if (taker != newNames.end()) {
                    if (renumbered)
                        unsure.push_back({marks.size(), i});
                    marks.push_back({entry.Slot,
                                     MarkKind::Taken,
                                     outcome.Error,
                                     entries[taker->second].Name,
                                     {}});
                    break;
                }
            }
            if (renumbered)
                unsure.push_back({marks.size(), i});
            marks.push_back({entry.Slot, MarkKind::Fails, outcome.Error, {}, {}});
            break;
        }
        case RenameOutcome::Renamed:
            if (renumbered) {
                unsure.push_back({marks.size(), i});
                marks.push_back({entry.Slot, MarkKind::Shifted, 0, gets(), {}});
            } else if (options.NumberTakenNames || options.RenameCompanions) {
                // Numbered or Companion once held against the name shown (MarkRows).
                unsure.push_back({marks.size(), i});
                marks.push_back({entry.Slot, MarkKind::Numbered, 0, gets(), {}});
            }
            break;
        case RenameOutcome::Unchanged:
            if (renumbered) {
                unsure.push_back({marks.size(), i});
                marks.push_back({entry.Slot, MarkKind::Keeps, 0, {}, {}});
            }
            break;
        }
    }
}

// The rows without a mark of the run whose name as the column shows it lacks a tag's
// value or holds a tag not understood, merged into `marks` in slot order. A tag not
// understood goes first: it is a typing slip, and every row has it.
// `count`: the entries the prediction went through.
void AddTagMarks(const std::vector<TRunEntry>& entries, const std::vector<std::int64_t>& positions,
                 std::size_t count, const RenameOptionSet& options, const std::atomic<bool>* cancel,
                 std::vector<TRowMark>& marks) {
    std::vector<TRowMark> merged;
    merged.reserve(marks.size());
    std::size_t m = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (cancel != nullptr && i % 256 == 0 && cancel->load(std::memory_order_relaxed))
            break;
        const TRunEntry& entry = entries[i];
        for (; m < marks.size() && marks[m].Slot < entry.Slot; ++m)
            merged.push_back(std::move(marks[m]));
        if ((m < marks.size() && marks[m].Slot == entry.Slot) || entry.HandName)
            continue; // a name typed by hand reads no tag
        const NewName name = ComputeNewNameChecked(
            options, entry.Name, NumberAtPosition(options.NumberIncValue, positions[i]),
            NameTags{entry.Tags ? &entry.Tags->Values : nullptr, nullptr});
        if (name.TagUnknown)
            merged.push_back({entry.Slot, MarkKind::TagUnknown, 0, {}, {}});
        else if (name.TagMissing)
            merged.push_back({entry.Slot, MarkKind::TagMissing, 0, name.MissingTag, {}});
    }
    for (; m < marks.size(); ++m)
        merged.push_back(std::move(marks[m]));
    marks = std::move(merged);
}

std::string ShownName(const RenameOptionSet& options, const TRunEntry& entry,
                      std::int64_t position) {
    if (entry.HandName)
        return *entry.HandName;
    return ComputeNewName(options, entry.Name, NumberAtPosition(options.NumberIncValue, position),
                          NameTags{entry.Tags ? &entry.Tags->Values : nullptr, nullptr});
}

} // namespace

bool MarksNeedShownNames(const RenameOptionSet& options) {
    return (options.InsertGroup && options.NumberIncEnabled) || options.NumberTakenNames ||
           options.RenameCompanions;
}

bool NumberedFrom(const std::string& name, const std::string& shown, const std::string& form) {
    // The forms of the numbers 2 and 3 differ only in the number's place.
    const std::string two = NumberedName(shown, 2, form);
    const std::string three = NumberedName(shown, 3, form);
    std::size_t front = 0;
    while (front < two.size() && front < three.size() && two[front] == three[front])
        ++front;
    std::size_t back = 0;
    while (back < two.size() - front && back < three.size() - front &&
           two[two.size() - 1 - back] == three[three.size() - 1 - back])
        ++back;
    if (name.size() <= front + back || name.compare(0, front, two, 0, front) != 0 ||
        name.compare(name.size() - back, back, two, two.size() - back, back) != 0)
        return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(front),
                       name.end() - static_cast<std::ptrdiff_t>(back),
                       [](char c) { return c >= '0' && c <= '9'; });
}

namespace {

template <class Names>
Names MakeShownNames(const std::vector<TRunEntry>& entries, const RenameOptionSet& options,
                     const std::atomic<bool>* cancel) {
    const std::vector<std::int64_t> positions = ColumnPositions(entries, options);
    Names names;
    if constexpr (std::is_same_v<Names, TShownNameBlock>)
        names.Reserve(entries.size());
    else
        names.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (cancel != nullptr && i % 256 == 0 && cancel->load(std::memory_order_relaxed))
            return {};
        std::string name = ShownName(options, entries[i], positions[i]);
        if constexpr (std::is_same_v<Names, TShownNameBlock>)
            names.Add(name);
        else
            names.push_back(std::move(name));
    }
    return names;
}

} // namespace

std::vector<std::string> ShownNames(const std::vector<TRunEntry>& entries,
                                    const RenameOptionSet& options,
                                    const std::atomic<bool>* cancel) {
    return MakeShownNames<std::vector<std::string>>(entries, options, cancel);
}

TShownNameBlock ShownNameBlock(const std::vector<TRunEntry>& entries,
                               const RenameOptionSet& options, const std::atomic<bool>* cancel) {
    return MakeShownNames<TShownNameBlock>(entries, options, cancel);
}

namespace {

std::vector<TRowMark> Mark(const std::vector<TRunEntry>& entries, TPrediction& prediction,
                           bool take, const RenameOptionSet& options,
                           const std::atomic<bool>* cancel, const TShownNames& shown) {
    std::vector<TRowMark> marks;
    std::vector<Unsure> unsure;
    // At most one of each per entry. Pages never written take no memory, and a million
    // marks grown by doubling held the old and the new block at once.
    marks.reserve(prediction.Entries.size());
    unsure.reserve(prediction.Entries.size());
    // A row whose number is the column's gets the column's name: the same computation on
    // the same name and number.
    const std::vector<std::int64_t> positions = ColumnPositions(entries, options);
    FirstPass(entries, positions, prediction, take, options, marks, unsure);
    const std::size_t predicted = std::min(entries.size(), prediction.Entries.size());
    // Only now: a name taken is looked for among the names of every earlier row. A failed
    // row's candidate goes where the mark keeps the name it tried, taken out again below
    // when the column shows it; the prediction's entries are done with then, and go (a
    // million of them with every row marked).
    if (take) {
        for (const Unsure& u : unsure) {
            TRowMark& mark = marks[u.mark];
            std::string& candidate = prediction.Entries[u.entry].Candidate;
            if (mark.Kind == MarkKind::Shifted || mark.Kind == MarkKind::Numbered)
                mark.Name = std::move(candidate);
            else if (mark.Kind == MarkKind::Fails || mark.Kind == MarkKind::Taken)
                mark.Tried = std::move(candidate);
        }
        std::vector<TPredictedEntry>().swap(prediction.Entries);
    }
    std::vector<char> differs(unsure.size(), 0);
    const std::string form = TakenNameForm();
    const auto compare = [&](std::size_t from, std::size_t to) {
        for (std::size_t u = from; u < to; ++u) {
            if (cancel != nullptr && u % 256 == 0 && cancel->load(std::memory_order_relaxed)) {
                return;
            }
            const TRunEntry& entry = entries[unsure[u].entry];
            const TRowMark& mark = marks[unsure[u].mark];
            // A renamed row's mark holds the name it gets, a failed row's the name it
            // tried, once the candidates are taken.
            const std::string& gets =
                mark.Kind == MarkKind::Keeps                                        ? entry.Name
                : mark.Kind == MarkKind::Shifted || mark.Kind == MarkKind::Numbered ? mark.Name
                : take                                                              ? mark.Tried
                       : prediction.Entries[unsure[u].entry].Candidate;
            const std::string made = shown.Given()
                                         ? std::string()
                                         : ShownName(options, entry, positions[unsure[u].entry]);
            const std::string_view column = shown.Given() ? shown[unsure[u].entry] : made;
            if (gets == column) {
                differs[u] = 0;
            } else if (mark.Kind != MarkKind::Numbered) {
                differs[u] = 1;
            } else if (options.NumberTakenNames && NumberedFrom(gets, std::string(column), form)) {
                differs[u] = 1;
            } else {
                differs[u] = options.RenameCompanions ? 2 : 0; // its group's name
            }
        }
    };
    // After a failure near the top every later row is numbered otherwise: the names are
    // computed on two threads, as the window's thread is mostly idle meanwhile.
    if (unsure.size() >= 4096 && !shown.Given()) {
        const std::size_t half = unsure.size() / 2;
        std::thread helper(compare, half, unsure.size());
        compare(0, half);
        helper.join();
    } else {
        compare(0, unsure.size());
    }
    std::vector<char> drop(marks.size(), 0);
    for (std::size_t u = 0; u < unsure.size(); ++u) {
        TRowMark& mark = marks[unsure[u].mark];
        if (mark.Kind == MarkKind::Fails || mark.Kind == MarkKind::Taken) {
            if (differs[u] == 0)
                std::string().swap(mark.Tried);
            else if (!take)
                mark.Tried = prediction.Entries[unsure[u].entry].Candidate;
        } else {
            drop[unsure[u].mark] = differs[u] == 0;
            if (differs[u] == 2)
                mark.Kind = MarkKind::Companion;
        }
    }
    std::size_t kept = 0;
    for (std::size_t m = 0; m < marks.size(); ++m) {
        if (drop[m] == 0) {
            if (kept != m) {
                marks[kept] = std::move(marks[m]);
            }
            ++kept;
        }
    }
    marks.resize(kept);
    if (options.InsertGroup && options.InsertTags)
        AddTagMarks(entries, positions, predicted, options, cancel, marks);
    return marks;
}

} // namespace

std::vector<TRowMark> MarkRows(const std::vector<TRunEntry>& entries, const TPrediction& prediction,
                               const RenameOptionSet& options, const std::atomic<bool>* cancel,
                               TShownNames shown) {
    // Not changed: nothing is taken out of it.
    return Mark(entries, const_cast<TPrediction&>(prediction), false, options, cancel, shown);
}

std::vector<TRowMark> MarkRows(const std::vector<TRunEntry>& entries, TPrediction&& prediction,
                               const RenameOptionSet& options, const std::atomic<bool>* cancel,
                               TShownNames shown) {
    return Mark(entries, prediction, true, options, cancel, shown);
}

TMarkCounts CountMarks(const std::vector<TRowMark>& marks) {
    TMarkCounts counts;
    for (const TRowMark& mark : marks) {
        switch (mark.Kind) {
        case MarkKind::TagMissing:
            ++(mark.Name == "taken" ? counts.MissingTaken : counts.MissingOther);
            break;
        case MarkKind::TagUnknown:
            ++counts.Unknown;
            break;
        case MarkKind::Numbered:
        case MarkKind::Companion:
            // The column shows the name these get (filelistmodel.cpp): nothing to warn of.
            break;
        default:
            ++counts.Run;
            break;
        }
    }
    return counts;
}

QString SourceText(const MarkTextSource& texts, const char* key, const char* english) {
    const std::string text = texts ? texts(key) : std::string();
    return ScreenText(text.empty() ? std::string(english) : text);
}

QString FillFirst(QString pattern, const QString& value) {
    const qsizetype at = pattern.indexOf(QLatin1String("%1"));
    return at < 0 ? pattern : pattern.replace(at, 2, value);
}

namespace {

QString Text(const MarkTextSource& texts, const char* key, const char* english) {
    return SourceText(texts, key, english);
}

QString Fill(QString pattern, const QString& value) {
    return FillFirst(std::move(pattern), value);
}

// Each placeholder once, in one pass over the pattern: a value that itself holds "%1" or
// "%2" is never filled in again.
QString Fill(const QString& pattern, const QString& first, const QString& second) {
    QString filled;
    bool firstDone = false;
    bool secondDone = false;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == QLatin1Char('%') && i + 1 < pattern.size()) {
            const QChar digit = pattern[i + 1];
            if (digit == QLatin1Char('1') && !firstDone) {
                filled += first;
                firstDone = true;
                ++i;
                continue;
            }
            if (digit == QLatin1Char('2') && !secondDone) {
                filled += second;
                secondDone = true;
                ++i;
                continue;
            }
        }
        filled += pattern[i];
    }
    return filled;
}

// Why a row would not be renamed; with the name the run tries when the column shows
// another, so that "already exists" is said of the name that does.
QString NotRenamed(const TRowMark& mark, const QString& reason, const MarkTextSource& texts) {
    if (mark.Tried.empty())
        return Fill(Text(texts, "PREDICTFAILS", "Would not be renamed: %1"), reason);
    return Fill(Text(texts, "PREDICTFAILSAS", "Would not be renamed to \u201c%1\u201d: %2"),
                QString::fromStdString(mark.Tried), reason);
}

QString FailureReason(RunError error, const MarkTextSource& texts) {
    switch (error.Fault()) {
    case RunFault::PatternInvalid:
        return Text(texts, "PREDICTPATTERNINVALID",
                    "A find text is not a valid regular expression");
    case RunFault::PatternLimit:
        return Text(texts, "PREDICTPATTERNLIMIT", "A find text takes too long to match this name");
    case RunFault::NameTooLong:
        return Text(texts, "PREDICTDRIVELONG", "The new name is longer than this drive allows");
    case RunFault::FolderPart:
        return Text(texts, "PREDICTFOLDERPART",
                    "The folder part of the new name is \u201c.\u201d or \u201c..\u201d, or it "
                    "begins with \u201c/\u201d");
    case RunFault::FolderIsFile:
        return Text(texts, "PREDICTFOLDERISFILE", "A folder the new name names is a file");
    case RunFault::CompanionFailed:
        return Text(texts, "PREDICTCOMPANIONFAILED",
                    "A file renamed with it (same name, other extension) could not be renamed");
    case RunFault::NameCharacter:
    case RunFault::NameEnd:
    case RunFault::None:
        break;
    }
    switch (error.Errno()) {
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
        break;
    }
    const QString refused = QString::fromStdString(RefusedCharacterText(error));
    if (refused.isEmpty())
        return QString::fromLocal8Bit(std::strerror(error.Errno()));
    if (error.Fault() == RunFault::NameEnd)
        return Fill(Text(texts, "PREDICTDRIVEEND",
                         "The new name ends in \u201c%1\u201d, which this drive does not allow"),
                    refused);
    return Fill(
        Text(texts, "PREDICTDRIVECHAR",
             "The new name holds \u201c%1\u201d, which this drive does not allow in a name"),
        refused);
}

} // namespace

QString MarkTip(const TRowMark& mark, const MarkTextSource& texts) {
    const QString name = QString::fromStdString(mark.Name);
    switch (mark.Kind) {
    case MarkKind::Fails:
        return NotRenamed(mark, FailureReason(mark.Error, texts), texts);
    case MarkKind::Taken:
        return NotRenamed(
            mark,
            Fill(Text(texts, "PREDICTTAKEN", "\u201c%1\u201d gets this name earlier in the run"),
                 name),
            texts);
    case MarkKind::Shifted:
        return Fill(Text(texts, "PREDICTSHIFTED",
                         "Would be renamed to \u201c%1\u201d: the number rises only for files "
                         "that are renamed"),
                    name);
    case MarkKind::Numbered:
        return Fill(Text(texts, "PREDICTNUMBERED",
                         "Would be renamed to \u201c%1\u201d, as the name shown is taken"),
                    name);
    case MarkKind::Companion:
        return Fill(Text(texts, "PREDICTCOMPANION",
                         "Would be renamed to \u201c%1\u201d with the files that share its name"),
                    name);
    case MarkKind::Keeps:
        return Text(texts, "PREDICTKEEPS",
                    "Would keep its name: the number rises only for files that are renamed");
    case MarkKind::TagMissing:
        if (mark.Name == "taken")
            return Text(texts, "PREDICTNOTAKEN", "No date taken");
        return Fill(Text(texts, "PREDICTNOTAG", "No value for the tag \u201c%1\u201d"), name);
    case MarkKind::TagUnknown:
        return Text(texts, "PREDICTTAGUNKNOWN", "A tag is not understood and stays as typed");
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

QString TagMarkCountText(const TMarkCounts& counts, const QString& separator,
                         const MarkTextSource& texts) {
    QStringList notes;
    const auto note = [&](int count, const char* oneKey, const char* one, const char* manyKey,
                          const char* many) {
        if (count == 1)
            notes << Text(texts, oneKey, one);
        else if (count > 1)
            notes << Fill(Text(texts, manyKey, many), QString::number(count));
    };
    note(counts.MissingTaken, "PREDICTNOTAKENCOUNTONE", "1 file has no date taken",
         "PREDICTNOTAKENCOUNT", "%1 files have no date taken");
    note(counts.MissingOther, "PREDICTNOTAGCOUNTONE", "1 file lacks the value of a tag",
         "PREDICTNOTAGCOUNT", "%1 files lack the value of a tag");
    note(counts.Unknown, "PREDICTTAGUNKNOWNCOUNTONE", "1 file has a tag that is not understood",
         "PREDICTTAGUNKNOWNCOUNT", "%1 files have a tag that is not understood");
    return notes.join(separator);
}

QString ReadingTagsText(std::size_t done, std::size_t total, const MarkTextSource& texts) {
    // Plain numbers, as the other counts of the status line: the size column's dots would
    // read as decimals in English.
    return Fill(Text(texts, "READINGTAGS", "Reading tags: %1 of %2"), QString::number(done),
                QString::number(total));
}

} // namespace qm
