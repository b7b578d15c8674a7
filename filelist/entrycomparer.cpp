#include "filelist/entrycomparer.h"

#include "engine/newname.h"
#include "filelist/fileitem.h"
#include "filelist/fileitems.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <string_view>
#include <unicode/uloc.h>

namespace qm {

namespace {

// The name the column shows for the first row, with the entry's tags as far as read.
std::string NextNewName(const RenameOptionSet& options, const TFileItem& entry) {
    if (const std::shared_ptr<const std::string>& hand = entry.HandName())
        return *hand;
    const std::shared_ptr<const TEntryTags> tags = entry.Tags();
    return ComputeNewName(options, entry.Name(), options.NumberIncValue,
                          NameTags{tags ? &tags->Values : nullptr, nullptr});
}

template <class T> int Sign(T a, T b) {
    return a < b ? -1 : b < a ? 1 : 0;
}

std::string BigEndian(std::uint64_t value) {
    std::string bytes(8, '\0');
    for (int i = 7; i >= 0; --i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<char>(value & 0xFF);
        value >>= 8;
    }
    return bytes;
}

// Bits of a double whose unsigned order is the number's order.
std::uint64_t OrderedBits(double value) {
    if (value == 0)
        value = 0; // -0 and +0 compare equal, so they must get one key
    const auto bits = std::bit_cast<std::uint64_t>(value);
    return (bits & 0x8000000000000000ULL) != 0 ? ~bits : bits | 0x8000000000000000ULL;
}

// The first part of a folder ("a" of "a/b/"), taken off `rest` with its "/".
std::string_view NextPart(std::string_view& rest) {
    const std::size_t slash = std::min(rest.find('/'), rest.size());
    const std::string_view part = rest.substr(0, slash);
    rest.remove_prefix(std::min(slash + 1, rest.size()));
    return part;
}

// The collation for text columns. The POSIX locale's collation orders by character code,
// which puts every capital before every small letter; text columns compare without
// regard to letter case, so that locale takes the root collation instead.
std::string CollationLocale(const std::string& locale) {
    if (!locale.empty())
        return locale;
    const std::string_view current = uloc_getDefault();
    return current.starts_with("en_US_POSIX") ? std::string("root") : std::string();
}

} // namespace

TEntryComparer::TEntryComparer(const std::string& locale)
    : locale_(CollationLocale(locale)),
      collator_(std::make_unique<TTextCollator>(TTextCollator::LetterCase::Ignore, locale_)) {}

void TEntryComparer::Install(TFileItems& items) {
    items_ = &items;
    items.SetOnCompare(
        [this](const TFileItem& a, const TFileItem& b) { return CompareEntries(a, b); });
    items.SetSortKey([this](const TFileItem& entry) { return SortKey(entry); });
}

void TEntryComparer::Changed() {
    if (items_ != nullptr)
        items_->CompareChanged();
}

void TEntryComparer::SetColumns(std::vector<ColumnId> columns) {
    columns_ = std::move(columns);
    Changed();
}

void TEntryComparer::SetSortColumn(int position) {
    sortColumn_ = position;
    Changed();
}

void TEntryComparer::SetSortDeclining(bool declining) {
    sortDeclining_ = declining;
    Changed();
}

void TEntryComparer::SetOptions(const RenameOptionSet& options) {
    options_ = options;
    // Only the new-name order depends on the options.
    if (const ColumnId* id = SortedBy(); id != nullptr && *id == ColumnId::NewName)
        Changed();
}

void TEntryComparer::SetNumbersByValue(bool byValue) {
    if (byValue == numbersByValue_)
        return;
    numbersByValue_ = byValue;
    // A collator keeps its settings for life, so the other numbering takes a new one.
    collator_ = std::make_unique<TTextCollator>(TTextCollator::LetterCase::Ignore, locale_,
                                                byValue ? TTextCollator::Numbers::ByValue
                                                        : TTextCollator::Numbers::AsText);
    Changed();
}

const ColumnId* TEntryComparer::SortedBy() const {
    if (sortColumn_ < 0 || sortColumn_ >= static_cast<int>(columns_.size()))
        return nullptr;
    return &columns_[static_cast<std::size_t>(sortColumn_)];
}

int TEntryComparer::CompareEntries(const TFileItem& a, const TFileItem& b) const {
    const int result = CompareAscending(a, b);
    return sortDeclining_ ? result : -result;
}

int TEntryComparer::CompareAscending(const TFileItem& a, const TFileItem& b) const {
    const ColumnId* id = SortedBy();
    if (id == nullptr)
        return 0;
    switch (*id) {
    case ColumnId::Name:
        return collator_->Compare(a.Name(), b.Name());
    case ColumnId::Path:
        if (const int path = CompareFolders(a.Path(), b.Path()); path != 0)
            return path;
        return collator_->Compare(a.Name(), b.Name());
    case ColumnId::NewName:
        return collator_->Compare(NextNewName(options_, a), NextNewName(options_, b));
    case ColumnId::PrevName:
        return collator_->Compare(a.PrevName(), b.PrevName());
    case ColumnId::TypeName:
        return collator_->Compare(a.TypeName(), b.TypeName());
    case ColumnId::Size:
        return Sign(a.Size(), b.Size());
    case ColumnId::Attribute:
        return collator_->Compare(AttributeLetters(a.Attributes()),
                                  AttributeLetters(b.Attributes()));
    case ColumnId::ModDate:
        return Sign(a.ModDate(), b.ModDate());
    }
    return 0;
}

std::string TEntryComparer::SortKey(const TFileItem& entry) const {
    std::string key = AscendingKey(entry);
    if (sortDeclining_)
        return key;
    // Complemented bytes order backwards, and the closing 0xFF puts a key after every
    // longer key it begins. That holds because no key begins a longer key that goes on
    // with a zero byte (a complemented 0xFF): zero bytes only end the folder's parts and
    // the folder (PathKey) and, by value, separate a collation key from its tie-break, and
    // those parts cannot end where another key has its separator.
    for (char& c : key)
        c = static_cast<char>(~static_cast<unsigned char>(c));
    key += '\xFF';
    return key;
}

std::string TEntryComparer::AscendingKey(const TFileItem& entry) const {
    const ColumnId* id = SortedBy();
    if (id == nullptr)
        return std::string();
    switch (*id) {
    case ColumnId::Name:
        return collator_->SortKey(entry.Name());
    case ColumnId::Path:
        return PathKey(entry.Path(), entry.Name());
    case ColumnId::NewName:
        return collator_->SortKey(NextNewName(options_, entry));
    case ColumnId::PrevName:
        return collator_->SortKey(entry.PrevName());
    case ColumnId::TypeName:
        return collator_->SortKey(entry.TypeName());
    case ColumnId::Size:
        return BigEndian(entry.Size());
    case ColumnId::Attribute:
        return collator_->SortKey(AttributeLetters(entry.Attributes()));
    case ColumnId::ModDate:
        return BigEndian(OrderedBits(entry.ModDate()));
    }
    return std::string();
}

// Folders compare part by part: compared whole, "photos/" would go after "photos 2/" and
// "photos-old/", since "/" sorts after " ", "-" and ".".
int TEntryComparer::CompareFolders(std::string_view a, std::string_view b) const {
    while (!a.empty() && !b.empty())
        if (const int part = collator_->Compare(NextPart(a), NextPart(b)); part != 0)
            return part;
    return a.empty() ? (b.empty() ? 0 : -1) : 1;
}

// Each part of the folder is 0x01, its collation key with 0x00 and 0x01 written as 0x01
// 0x01 and 0x01 0x02, and 0x00; the folder ends with one more 0x00. The escaped key keeps
// its order and holds no 0x00, so a part's end goes before every longer part it begins,
// and a folder's end before every part a deeper folder goes on with.
std::string TEntryComparer::PathKey(std::string_view folder, std::string_view name) const {
    std::string key;
    for (std::string_view rest = folder; !rest.empty();) {
        key += '\x01';
        for (const char c : collator_->SortKey(NextPart(rest))) {
            if (c == '\0' || c == '\x01')
                key += {'\x01', static_cast<char>(c + 1)};
            else
                key += c;
        }
        key += '\0';
    }
    key += '\0';
    return key + collator_->SortKey(name);
}

} // namespace qm
