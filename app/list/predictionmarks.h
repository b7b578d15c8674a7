#pragma once

// Which rows of the file list would not get the name their new-name column shows, worked
// out from a prediction of the run, and the tool tip that says why. The column shows each
// row's new name with the start number plus the row (with the number per folder, plus its
// place among the rows of its folder); the run raises the number only after
// a rename that succeeds, and some renames fail. A row is marked when the run would fail
// it, or give it another name than the column shows (the numbering shifted, the name
// shown is taken and gets a number, or the file goes with others that share its name), or
// leave it as it is while the column shows another name. With tags in the inserted texts, a row
// the run would give the name shown is also marked when a tag of its name has no value
// or is not understood: the name stands, but it is likely not the one meant.
//
// MarkRows is plain computation on copies, safe on any thread; MarkTip reads the language
// through the caller's text source, on the caller's thread.

#include "engine/renameoptionset.h"
#include "rename/predict.h"

#include <QString>
#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

enum class MarkKind {
    Fails,      // the rename would be refused (Error)
    Taken,      // refused: a file renamed earlier in the run (Name) takes the name first
    Shifted,    // renamed, but to another name (Name) than the column shows
    Keeps,      // left as it is, while the column shows another name
    Numbered,   // renamed to a numbered form of the name shown (Name), which is taken
    Companion,  // renamed with the files that share its name, to their new name (Name)
    TagMissing, // a tag of its new name has no value (Name: the tag, as newname.h names it)
    TagUnknown, // a tag of its new name is not understood and stays as typed
};

struct TRowMark {
    int Slot = -1;
    MarkKind Kind = MarkKind::Fails;
    // Fails: the error the run would report: an errno value, or the fault of a name the
    // options cannot compute or the folder's drive refuses (rename/runerror.h).
    RunError Error;
    std::string Name; // Taken: the earlier file's name; else the name the file gets
    // Fails and Taken: the name the run would try, where the numbering shifted it away
    // from the name the column shows; empty when the run tries the name shown.
    std::string Tried;
};

// How many rows carry each kind of mark: the run's marks (the first four kinds) together;
// Numbered and Companion, whose names the column shows, are not counted.
struct TMarkCounts {
    int Run = 0;
    int MissingTaken = 0; // TagMissing of "taken"
    int MissingOther = 0; // TagMissing of any other tag
    int Unknown = 0;
};
TMarkCounts CountMarks(const std::vector<TRowMark>& marks);

// Names in one block of text, for many: two allocations instead of one a name.
class TShownNameBlock {
public:
    void Reserve(std::size_t names) { ends_.reserve(names); }
    void Add(std::string_view name) {
        text_ += name;
        ends_.push_back(text_.size());
    }
    std::size_t Size() const { return ends_.size(); }
    std::string_view operator[](std::size_t i) const {
        const std::size_t start = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(text_).substr(start, ends_[i] - start);
    }

private:
    std::string text_;
    std::vector<std::size_t> ends_;
};

// The names the column shows as MarkRows takes them: each entry's, from a vector or a
// block, or none (MarkRows computes those it needs). Views what it is made from.
class TShownNames {
public:
    TShownNames(std::nullptr_t = nullptr) {}
    TShownNames(const std::vector<std::string>* names) : vector_(names) {}
    TShownNames(const TShownNameBlock* names) : block_(names) {}
    bool Given() const { return vector_ != nullptr || block_ != nullptr; }
    std::string_view operator[](std::size_t i) const {
        return vector_ != nullptr ? std::string_view((*vector_)[i]) : (*block_)[i];
    }

private:
    const std::vector<std::string>* vector_ = nullptr;
    const TShownNameBlock* block_ = nullptr;
};

// The marks for `entries` (a snapshot in slot order) given their predicted outcomes,
// ordered by slot. `options` are the options of the prediction; their NumberIncValue is
// the start number the column counts from, and each entry's Number the one the run
// gives it. An incomplete prediction marks what it covers.
// A row the run renames or leaves as shown gets a tag mark instead, where it has one;
// the names are made with each entry's tags (TRunEntry::Tags).
// Once `cancel` is set, the marks returned are incomplete.
// `shown`, where given, holds each entry's name as the column shows it (ShownNames of the
// same entries and options), so that none is computed here.
std::vector<TRowMark> MarkRows(const std::vector<TRunEntry>& entries, const TPrediction& prediction,
                               const RenameOptionSet& options,
                               const std::atomic<bool>* cancel = nullptr,
                               TShownNames shown = nullptr);
// The same, with the names the run gives taken out of `prediction` into the marks instead of
// copied (a million of them with every row marked).
std::vector<TRowMark> MarkRows(const std::vector<TRunEntry>& entries, TPrediction&& prediction,
                               const RenameOptionSet& options,
                               const std::atomic<bool>* cancel = nullptr,
                               TShownNames shown = nullptr);

// Whether MarkRows may need the names the column shows: only where the run numbers the
// files otherwise than the column can, numbers a name that is taken, or renames files
// that share a name together.
bool MarksNeedShownNames(const RenameOptionSet& options);
// Whether `name` is `shown` in the numbered form of a taken name (NumberedName of
// organize.h, in `form`), with any number.
bool NumberedFrom(const std::string& name, const std::string& shown, const std::string& form);

// Each entry's new name as the column shows it (the start number plus its slot, or its
// place as NumberPositions counts it), for MarkRows; they do not hang on the prediction,
// so they can be made while it runs. Empty once `cancel` is set.
std::vector<std::string> ShownNames(const std::vector<TRunEntry>& entries,
                                    const RenameOptionSet& options,
                                    const std::atomic<bool>* cancel = nullptr);
// The same in one block, for a long list: a million names in the vector's strings took
// 64 MB, in the block 27 MB.
TShownNameBlock ShownNameBlock(const std::vector<TRunEntry>& entries,
                               const RenameOptionSet& options,
                               const std::atomic<bool>* cancel = nullptr);

// The text of a language key, empty when the language lacks it (program package, line
// form).
using MarkTextSource = std::function<std::string(const std::string& key)>;

// The text of `key` from `texts`, or `english` when there is none, ready for the screen.
QString SourceText(const MarkTextSource& texts, const char* key, const char* english);
// `pattern` with its first "%1" replaced by `value` (a value holding "%1" is not expanded
// again).
QString FillFirst(QString pattern, const QString& value);

// The tool tip of a marked row, in the language of `texts`, English where it has no text.
QString MarkTip(const TRowMark& mark, const MarkTextSource& texts);

// The status line's note of how many rows are marked; empty for none.
QString MarkCountText(int marked, const MarkTextSource& texts);
// The same of the tag marks: the rows without a date taken, without another tag's value,
// and with a tag not understood, each note joined by `separator`; empty for none.
QString TagMarkCountText(const TMarkCounts& counts, const QString& separator,
                         const MarkTextSource& texts);
// The status line's note of a read of tags under way.
QString ReadingTagsText(std::size_t done, std::size_t total, const MarkTextSource& texts);

} // namespace qm
