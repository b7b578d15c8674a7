#include "app/list/marktable.h"

#include <algorithm>

namespace qm {

TMarkTable::TMarkTable(const std::vector<TRowMark>& marks) : counts_(CountMarks(marks)) {
    std::size_t bytes = 0;
    for (const TRowMark& mark : marks)
        bytes += mark.Name.size() + mark.Tried.size();
    text_.reserve(bytes);
    records_.reserve(marks.size());
    for (const TRowMark& mark : marks) {
        records_.push_back({mark.Slot, mark.Kind, mark.Error, text_.size(),
                            static_cast<std::uint32_t>(mark.Name.size()),
                            static_cast<std::uint32_t>(mark.Tried.size())});
        text_ += mark.Name;
        text_ += mark.Tried;
    }
}

const TMarkTable::Record* TMarkTable::At(int slot) const {
    const auto at =
        std::lower_bound(records_.begin(), records_.end(), slot,
                         [](const Record& record, int wanted) { return record.Slot < wanted; });
    return at != records_.end() && at->Slot == slot ? &*at : nullptr;
}

std::optional<TMarkTable::Found> TMarkTable::Find(int slot) const {
    const Record* record = At(slot);
    if (record == nullptr)
        return std::nullopt;
    return Found{record->Kind, View(record->NameAt, record->NameSize)};
}

TMarkRef TMarkTable::Of(int slot) const {
    const Record* record = At(slot);
    if (record == nullptr)
        return TMarkRef();
    return TMarkRef(
        TRowMark{record->Slot, record->Kind, record->Error,
                 std::string(View(record->NameAt, record->NameSize)),
                 std::string(View(record->NameAt + record->NameSize, record->TriedSize))});
}

} // namespace qm
