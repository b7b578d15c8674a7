#include "app/list/columnchecklist.h"

#include "filelist/columnset.h"

#include <QString>
#include <utility>

namespace qm {

namespace {

int CompareCaptions(const std::string& a, const std::string& b) {
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive);
}

} // namespace

TColumnChecklist::TColumnChecklist(const std::vector<std::string>& captions,
                                   const std::vector<Shown>& shown) {
    const auto& columns = AllColumns();
    for (std::size_t i = 0; i < columns.size(); ++i)
        rows_.push_back({i < captions.size() ? captions[i] : std::string(),
                         std::string(columns[i].Identifier), std::string(), false});
    int placed = 0;
    for (const Shown& column : shown) {
        for (int row = 0; row < Count(); ++row) {
            if (CompareCaptions(rows_[static_cast<std::size_t>(row)].Caption, column.Caption) != 0)
                continue;
            // The first row with that caption only: a column shown twice is listed once.
            Row& found = rows_[static_cast<std::size_t>(row)];
            if (!found.Checked) {
                found.Checked = true;
                found.Width = std::to_string(column.Width);
                Row moved = std::move(found);
                rows_.erase(rows_.begin() + row);
                rows_.insert(rows_.begin() + placed, std::move(moved));
                ++placed;
            }
            break;
        }
    }
    for (Row& row : rows_)
        if (!row.Checked)
            row.Width = "200";
}

bool TColumnChecklist::Checked(int row) const {
    return row >= 0 && row < Count() && rows_[static_cast<std::size_t>(row)].Checked;
}

void TColumnChecklist::Swap(int a, int b) {
    std::swap(rows_[static_cast<std::size_t>(a)], rows_[static_cast<std::size_t>(b)]);
}

void TColumnChecklist::SetChecked(int row, bool checked) {
    if (row < 0 || row >= Count())
        return;
    rows_[static_cast<std::size_t>(row)].Checked = checked;
    // One bubble pass down lets an unchecked row sink into its fixed place, one pass up
    // lets a checked row rise to the last checked one.
    for (int i = 0; i + 1 < Count(); ++i) {
        const bool sinks = !Checked(i) && Checked(i + 1);
        const bool unordered = !Checked(i) && !Checked(i + 1) &&
                               CompareCaptions(rows_[static_cast<std::size_t>(i)].Caption,
                                               rows_[static_cast<std::size_t>(i + 1)].Caption) > 0;
        if (sinks || unordered)
            Swap(i, i + 1);
    }
    for (int i = Count() - 1; i >= 1; --i)
        if (Checked(i) && !Checked(i - 1))
            Swap(i, i - 1);
}

bool TColumnChecklist::CanMoveUp(int row) const {
    return Checked(row) && Checked(row - 1);
}

bool TColumnChecklist::CanMoveDown(int row) const {
    return Checked(row) && Checked(row + 1);
}

int TColumnChecklist::MoveUp(int row) {
    if (!CanMoveUp(row))
        return row;
    Swap(row, row - 1);
    return row - 1;
}

int TColumnChecklist::MoveDown(int row) {
    if (!CanMoveDown(row))
        return row;
    Swap(row, row + 1);
    return row + 1;
}

bool TColumnChecklist::AnyChecked() const {
    for (const Row& row : rows_)
        if (row.Checked)
            return true;
    return false;
}

std::string TColumnChecklist::ColumnSet() const {
    std::string set;
    for (const Row& row : rows_) {
        if (!row.Checked)
            break;
        set += row.Identifier + ',';
    }
    return set;
}

std::string TColumnChecklist::ColumnWidths() const {
    std::string widths;
    for (const Row& row : rows_) {
        if (!row.Checked)
            break;
        widths += row.Width + ',';
    }
    return widths;
}

} // namespace qm
