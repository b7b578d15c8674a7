#pragma once

// The rows of the column dialog and their rules, apart from the widgets: one row per
// column with its caption, identifier, width and check mark. Checked rows stand at the
// top in display order; unchecked rows below them in the fixed column order. Pure data;
// the dialog mirrors it into its check list.

#include <string>
#include <vector>

namespace qm {

class TColumnChecklist {
public:
    struct Row {
        std::string Caption;
        std::string Identifier; // upper case
        std::string Width;      // decimal pixels
        bool Checked = false;
    };
    struct Shown {
        std::string Caption; // the shown column's caption
        int Width = 0;
    };

    // `captions` of the eight columns in their fixed order; `shown` the window's columns
    // in display order. A column shown twice is listed once.
    TColumnChecklist(const std::vector<std::string>& captions, const std::vector<Shown>& shown);

    const std::vector<Row>& Rows() const { return rows_; }
    int Count() const { return static_cast<int>(rows_.size()); }

    // Sets a row's check mark and lets checked rows rise and unchecked rows sink.
    void SetChecked(int row, bool checked);
    // Whether the selected row may move up or down: only among checked rows.
    bool CanMoveUp(int row) const;
    bool CanMoveDown(int row) const;
    // Moves the row one place; returns its new place.
    int MoveUp(int row);
    int MoveDown(int row);
    bool AnyChecked() const;

    // The checked rows from the top as "ID1,ID2," and their widths as "w1,w2,".
    std::string ColumnSet() const;
    std::string ColumnWidths() const;

private:
    bool Checked(int row) const;
    void Swap(int a, int b);

    std::vector<Row> rows_;
};

} // namespace qm
