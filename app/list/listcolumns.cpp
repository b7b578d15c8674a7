#include "app/list/listcolumns.h"

#include "app/list/columnchecklist.h"
#include "app/list/customizecols.h"
#include "app/list/filelistmodel.h"
#include "filelist/columnset.h"
#include "filelist/entrycomparer.h"
#include "filelist/fileitems.h"
#include "settings/settings.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QThreadPool>
#include <QTimer>
#include <QTreeView>
#include <chrono>
#include <utility>
#include <vector>

namespace qm {

TListColumns::TListColumns(QTreeView& view, TFileListModel& model, TEntryComparer& comparer,
                           TFileItems& items)
    : view_(view), model_(model), comparer_(comparer), items_(items) {}

void TListColumns::ApplyColumnSet(const std::string& columnSet) {
    std::vector<ShownColumn> columns = ParseColumnSet(columnSet);
    std::vector<ColumnId> ids;
    for (const ShownColumn& column : columns) {
        ids.push_back(column.Id);
    }
    comparer_.SetColumns(std::move(ids));
    model_.SetColumns(std::move(columns));
    // New columns start at the width of a new column, not at the old ones' widths.
    for (int i = 0; i < model_.columnCount(); ++i) {
        view_.header()->resizeSection(i, view_.header()->defaultSectionSize());
    }
    ShowSortIndicator();
}

void TListColumns::ApplyColumnWidths(const std::string& widths) {
    const std::vector<int> parsed =
        ParseColumnWidths(widths, static_cast<std::size_t>(model_.columnCount()));
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        view_.header()->resizeSection(static_cast<int>(i), parsed[i]);
    }
}

std::string TListColumns::ColumnWidthsText() const {
    std::string text;
    for (int i = 0; i < model_.columnCount(); ++i) {
        text += std::to_string(view_.header()->sectionSize(i)) + ',';
    }
    return text;
}

void TListColumns::Rebuild(const std::string& columnSet) {
    const std::string widths = ColumnWidthsText();
    ApplyColumnSet(columnSet);
    ApplyColumnWidths(widths);
}

void TListColumns::SortBy(int position) {
    if (!items_.OnCompare()) {
        // No indicator showed a direction to reverse: the list goes back to a column's
        // order, and the stored direction keeps its meaning.
        comparer_.Install(items_);
        comparer_.SetSortColumn(position);
    } else if (position == comparer_.SortColumn()) {
        comparer_.SetSortDeclining(!comparer_.SortDeclining());
    } else {
        comparer_.SetSortColumn(position);
    }
    Sort();
}

void TListColumns::RestoreSort(int position, bool declining, const RenameOptionSet& options) {
    comparer_.SetSortColumn(position);
    comparer_.SetSortDeclining(declining);
    comparer_.SetOptions(options);
    Sort();
}

namespace {

// A slice of keys ends after this long, looked at every so many entries.
constexpr std::chrono::milliseconds SliceTime{4};
constexpr int SliceCheck = 256;

} // namespace

struct TListColumns::Job {
    std::uint64_t changes = 0; // the list's Changes() when its first key was made
    std::vector<std::string> keys;
};

void TListColumns::Sort() {
    // The user's own order stays what it is (and so do the selection and the marks).
    if (items_.OnCompare()) {
        if (items_.Count() >= SortInStepsFrom && items_.CanSortByKeys()) {
            SortInSteps();
        } else {
            job_.reset();
            const TFileListModel::Change change(model_, true);
            items_.Sort();
        }
    }
    ShowSortIndicator();
}

void TListColumns::SortInSteps() {
    // Meanwhile an entry added takes the whole sort at once: the list stands in an order
    // the comparison no longer gives.
    items_.CompareChanged();
    auto job = std::make_shared<Job>();
    job->changes = items_.Changes();
    job->keys.reserve(static_cast<std::size_t>(items_.Count()));
    job_ = job;
    MakeKeys(job);
}

void TListColumns::MakeKeys(const std::shared_ptr<Job>& job) {
    if (job != job_)
        return; // a newer sort took over, or the columns went
    if (items_.Changes() != job->changes) {
        job_.reset();
        Sort(); // the list changed in between: its order is made again, as it stands now
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    const int count = items_.Count();
    int next = static_cast<int>(job->keys.size());
    while (next < count) {
        const int end = std::min(count, next + SliceCheck);
        for (; next < end; ++next)
            job->keys.push_back(items_.SortKeyOf(next));
        if (next < count && std::chrono::steady_clock::now() - start >= SliceTime) {
            QTimer::singleShot(0, &model_, [this, weak = std::weak_ptr<Job>(job)] {
                if (const std::shared_ptr<Job> alive = weak.lock())
                    MakeKeys(alive);
            });
            return;
        }
    }
    // The keys go to the other thread and are freed there; only the order comes back.
    // The order comes back through the application object, which outlives the window
    // and waits for the pool; whether this object still stands is told there, on the
    // window thread, by the job it keeps.
    QThreadPool::globalInstance()->start(
        [this, weak = std::weak_ptr<Job>(job),
         keys = std::make_shared<std::vector<std::string>>(std::move(job->keys))] {
            std::vector<std::uint32_t> order = TFileItems::OrderOfKeys(*keys);
            std::vector<std::string>().swap(*keys);
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [this, weak, order = std::move(order)]() mutable {
                    if (const std::shared_ptr<Job> alive = weak.lock())
                        PutInPlace(alive, std::move(order));
                },
                Qt::QueuedConnection);
        });
}

void TListColumns::PutInPlace(const std::shared_ptr<Job>& job, std::vector<std::uint32_t> order) {
    if (job != job_)
        return;
    job_.reset();
    if (items_.Changes() != job->changes || !items_.CanSortByKeys()) {
        Sort();
        return;
    }
    const TFileListModel::Change change(model_, true);
    items_.ApplyOrder(order);
}

void TListColumns::ShowSortIndicator() {
    const int column = comparer_.SortColumn();
    QHeaderView* header = view_.header();
    if (column < 0 || column >= model_.columnCount() || !items_.OnCompare()) {
        header->setSortIndicator(-1, Qt::AscendingOrder);
        return;
    }
    header->setSortIndicator(column,
                             comparer_.SortDeclining() ? Qt::AscendingOrder : Qt::DescendingOrder);
}

bool TListColumns::Customize(TSettings& settings, const TDynLang& common, const TDynLang& program,
                             QWidget* parent) {
    std::vector<std::string> captions;
    for (const ColumnInfo& column : AllColumns()) {
        captions.push_back(model_.Caption(column.Id).toStdString());
    }
    std::vector<TColumnChecklist::Shown> shown;
    for (int i = 0; i < model_.columnCount(); ++i) {
        shown.push_back({model_.headerData(i, Qt::Horizontal).toString().toStdString(),
                         view_.header()->sectionSize(i)});
    }
    TCustomizeCols dialog(TColumnChecklist(captions, shown), settings, parent);
    dialog.UseLanguage(common, program);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    ApplyColumnSet(settings.Columns);
    ApplyColumnWidths(settings.ColumnsWidth);
    return true;
}

} // namespace qm
