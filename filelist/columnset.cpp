#include "filelist/columnset.h"

#include "engine/asciitext.h"

#include <algorithm>
#include <charconv>
#include <sys/stat.h>

namespace qm {

namespace {

constexpr std::array<ColumnInfo, 8> Columns{{
    {ColumnId::Name, "NAME", "FILENAME_COLUMN", "Name"},
    {ColumnId::Path, "PATH", "LOCATION_COLUMN", "Folder"},
    {ColumnId::NewName, "NEWNAME", "NEWFILENAME_COLUMN", "New name"},
    {ColumnId::PrevName, "PREVNAME", "PREVFILENAME_COLUMN", "Previous name"},
    {ColumnId::TypeName, "TYPENAME", "TYPENAME_COLUMN", "Type"},
    {ColumnId::Size, "SIZE", "SIZE_COLUMN", "Size"},
    {ColumnId::Attribute, "ATTRIBUTE", "ATTRIBUTE_COLUMN", "Attributes"},
    {ColumnId::ModDate, "MODDATE", "MODDATE_COLUMN", "Modified"},
}};

// The items of a comma-separated text, read the old way: an empty item swallows the
// rest of the text as one item.
std::vector<std::string_view> Items(std::string_view text) {
    std::vector<std::string_view> items;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        if (comma == 0) {
            items.push_back(text);
            break;
        }
        items.push_back(text.substr(0, comma));
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    return items;
}

} // namespace

const std::array<ColumnInfo, 8>& AllColumns() {
    return Columns;
}

const ColumnInfo& InfoOf(ColumnId id) {
    return Columns[static_cast<std::size_t>(id)];
}

std::optional<ColumnId> ColumnOfIdentifier(std::string_view identifier) {
    for (const ColumnInfo& column : Columns)
        if (EqualIgnoringAsciiCase(column.Identifier, identifier))
            return column.Id;
    return std::nullopt;
}

std::vector<ShownColumn> ParseColumnSet(std::string_view columnSet) {
    std::vector<ShownColumn> shown;
    for (std::string_view item : Items(columnSet))
        if (const auto id = ColumnOfIdentifier(item))
            shown.push_back({*id, std::string(item)});
    return shown;
}

std::vector<int> ParseColumnWidths(std::string_view widths, std::size_t columnCount) {
    std::vector<int> result;
    for (std::string_view item : Items(widths)) {
        if (result.size() >= columnCount)
            break;
        int value = 0;
        const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), value);
        result.push_back(error == std::errc() && end == item.data() + item.size() ? value : 0);
    }
    return result;
}

std::string FormatThousands(std::uint64_t number) {
    const std::string digits = std::to_string(number);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += '.';
        text += digits[i];
    }
    return text;
}

std::uint64_t Kilobytes(std::uint64_t bytes) {
    // Written so that the largest sizes cannot wrap around.
    return bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0);
}

std::string AttributeLetters(FileAttributes attributes) {
    std::string letters;
    if (attributes & FileAttribute::ReadOnly)
        letters += 'R';
    if (attributes & FileAttribute::Hidden)
        letters += 'H';
    if (attributes & FileAttribute::System)
        letters += 'S';
    if (attributes & FileAttribute::Archive)
        letters += 'A';
    return letters;
}

std::uint64_t FileSizeOnDisk(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return 0;
    return static_cast<std::uint64_t>(info.st_size);
}

} // namespace qm
