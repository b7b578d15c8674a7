#pragma once

// The file list's columns as the main window shows them: which columns the view has and
// how wide they are, the header's sort indicator, and the column dialog. The shown set and
// the sort order live in the list's comparer and model; this class keeps the view's header
// in step with them.
//
// Does not own the view, the model, the comparer or the list: the window creates it once
// they exist and destroys it before them (a sort in steps under way then ends). Window
// thread only.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QTreeView;
class QWidget;

namespace qm {

class TDynLang;
class TEntryComparer;
class TFileItems;
class TFileListModel;
class TSettings;
struct RenameOptionSet;

class TListColumns {
public:
    TListColumns(QTreeView& view, TFileListModel& model, TEntryComparer& comparer,
                 TFileItems& items);
    TListColumns(const TListColumns&) = delete;
    TListColumns& operator=(const TListColumns&) = delete;

    // Shows the columns of a column set (see the settings' "Columns"), each at the width of
    // a new column.
    void ApplyColumnSet(const std::string& columnSet);
    // Widths as the settings' "ColumnsWidth" gives them, for the columns shown now.
    void ApplyColumnWidths(const std::string& widths);
    // The present widths of all columns, each followed by ",".
    std::string ColumnWidthsText() const;
    // Shows `columnSet` again (its captions may have changed) at the present widths.
    void Rebuild(const std::string& columnSet);

    // A click on the header at `position`: the sort column reverses its direction, any
    // other column becomes the sort column; the list is sorted again. In the user's own
    // order (the list moved by hand, see TFileItems::MoveUp) the column sorts again the
    // way it sorted last.
    void SortBy(int position);
    // The stored sort order, with the options the new-name column sorts by; the list is
    // sorted again.
    void RestoreSort(int position, bool declining, const RenameOptionSet& options);
    // Sorts the list again after the comparer's order changed (nothing in the user's own
    // order). A list of SortInStepsFrom entries or more is sorted in steps, the window
    // turning meanwhile: the keys made a slice at a time, ordered on another thread, the
    // order put in place once it is ready (and the whole again when the list changed in
    // between); the header shows the new order at once.
    void Sort();
    // Whether a sort in steps is under way.
    bool Sorting() const { return job_ != nullptr; }
    static inline int SortInStepsFrom = 20000;

    // The column dialog, owned by `parent`; on OK the settings hold the new column set and
    // widths and the view shows them. Returns whether the user chose OK.
    bool Customize(TSettings& settings, const TDynLang& common, const TDynLang& program,
                   QWidget* parent);

    // The header shows the sort column and direction, or nothing in the user's own order.
    void ShowSortIndicator();

private:
    struct Job;
    void SortInSteps();
    void MakeKeys(const std::shared_ptr<Job>& job);
    void PutInPlace(const std::shared_ptr<Job>& job, std::vector<std::uint32_t> order);

    QTreeView& view_;
    TFileListModel& model_;
    TEntryComparer& comparer_;
    TFileItems& items_;
    std::shared_ptr<Job> job_; // the sort in steps under way
};

} // namespace qm
