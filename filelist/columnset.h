#pragma once

// The file list's columns as the settings keep them: a column set such as
// "Name,Newname" and a width string such as "237,237", plus the texts of the cells that
// are not plain fields of an entry. Pure functions; no Qt Widgets, no state.

#include "filelist/fileattributes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

enum class ColumnId { Name, Path, NewName, PrevName, TypeName, Size, Attribute, ModDate };

struct ColumnInfo {
    ColumnId Id;
    std::string_view Identifier; // upper case, as the column dialog writes it
    std::string_view CaptionKey; // language key of the header text
    std::string_view Caption;    // the header text when the language has none
};

// The eight columns in their fixed order.
const std::array<ColumnInfo, 8>& AllColumns();
const ColumnInfo& InfoOf(ColumnId id);
// The column an identifier names, without regard to ASCII letter case.
std::optional<ColumnId> ColumnOfIdentifier(std::string_view identifier);

struct ShownColumn {
    ColumnId Id;
    std::string Identifier; // as written in the column set
};

// The columns a column set shows, in order. Items that name no column are skipped; an
// identifier named twice gives two columns. An empty item (a leading "," or two in a
// row) makes the rest of the text one item that names no column, so reading stops there.
std::vector<ShownColumn> ParseColumnSet(std::string_view columnSet);

// The widths of the first `columnCount` columns that the width string covers; an item
// that is not a number gives 0. Surplus items are ignored, so the result may be shorter
// than `columnCount` but never longer. Read like a column set.
std::vector<int> ParseColumnWidths(std::string_view widths, std::size_t columnCount);

// "1.234.567": groups of three digits joined by ".", whatever the locale.
std::string FormatThousands(std::uint64_t number);
// Whole kilobytes, any part of one counting as one: 0 -> 0, 1 -> 1, 1024 -> 1, 1025 -> 2.
std::uint64_t Kilobytes(std::uint64_t bytes);
// "R", "H", "S", "A" for read-only, hidden, system and archive, in that order.
std::string AttributeLetters(FileAttributes attributes);
// The present size in bytes of the file at `path` (through links); 0 when there is none.
std::uint64_t FileSizeOnDisk(const std::string& path);

} // namespace qm
