#pragma once

// The marks of a whole list as the window keeps them: one fixed record per marked row
// and every name in one block of text, instead of a TRowMark with two strings each. With
// every row of a million marked, that is about 50 MB instead of 110 MB, and two blocks to
// free instead of a million small strings scattered through the heap, whose freed space
// the heap kept for itself.
//
// Built anywhere (the prediction's worker builds it); read on one thread at a time. A
// string view it hands out lives as long as the table.

#include "app/list/predictionmarks.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qm {

// A row's mark made from the table, held by value; compared with nullptr as the pointer to
// a row's mark it stands for would be.
class TMarkRef {
public:
    TMarkRef() = default;
    explicit TMarkRef(TRowMark mark) : mark_(std::move(mark)) {}
    const TRowMark* operator->() const { return &*mark_; }
    const TRowMark& operator*() const { return *mark_; }
    bool operator==(std::nullptr_t) const { return !mark_.has_value(); }

private:
    std::optional<TRowMark> mark_;
};

class TMarkTable {
public:
    TMarkTable() = default;
    // Takes `marks` (ordered by slot) in, counted as CountMarks counts them.
    explicit TMarkTable(const std::vector<TRowMark>& marks);

    bool Empty() const { return records_.empty(); }
    std::size_t Size() const { return records_.size(); }
    const TMarkCounts& Counts() const { return counts_; }

    // The kind and names of the mark of `slot`, the names viewed in the table.
    struct Found {
        MarkKind Kind;
        std::string_view Name;
    };
    std::optional<Found> Find(int slot) const;
    // The mark of `slot`, made on each call; null when `slot` has none.
    TMarkRef Of(int slot) const;

private:
    struct Record {
        std::int32_t Slot;
        MarkKind Kind;
        RunError Error;
        std::uint64_t NameAt; // the tried name follows the name
        std::uint32_t NameSize;
        std::uint32_t TriedSize;
    };
    const Record* At(int slot) const;
    std::string_view View(std::uint64_t at, std::uint32_t size) const {
        return std::string_view(text_).substr(at, size);
    }

    std::vector<Record> records_;
    std::string text_;
    TMarkCounts counts_;
};

} // namespace qm
