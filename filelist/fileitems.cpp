#include "filelist/fileitems.h"

#include "filelist/fileitem.h"

#include <algorithm>

namespace qm {

namespace {

// The folder of the entry added last, shared with the next entry of the same folder: the
// files of a folder come together.
class SharedFolder {
public:
    const std::shared_ptr<const std::string>& operator()(const std::string& path) {
        if (last_ == nullptr || *last_ != path)
            last_ = std::make_shared<const std::string>(path);
        return last_;
    }

private:
    std::shared_ptr<const std::string> last_;
};

} // namespace

TFileItems::TFileItems(TFileList& list) : list_(list) {}

TFileItems::~TFileItems() = default;

TFileItem* TFileItems::Items(int slot) const {
    if (slot < 0 || slot >= Count())
        return nullptr;
    return slots_[static_cast<std::size_t>(slot)].get();
}

int TFileItems::IndexOf(const TFileItem* entry) const {
    if (entry == nullptr)
        return -1;
    for (std::size_t i = 0; i < slots_.size(); ++i)
        if (slots_[i].get() == entry)
            return static_cast<int>(i);
    return -1;
}

TFileItem& TFileItems::AddBlank() {
    sorted_ = false;
    Changed();
    slots_.push_back(std::make_unique<TFileItem>(*this, std::string(), std::string()));
    return *slots_.back();
}

bool TFileItems::Less(const TFileItem& a, const TFileItem& b) const {
    return onCompare_(a, b) < 0;
}

std::size_t TFileItems::SortedPlace(const TFileItem& entry) const {
    // Past the last entry that does not compare greater: where a stable sort of the list
    // with `entry` appended would put it.
    auto place = std::upper_bound(
        slots_.begin(), slots_.end(), &entry,
        [this](const TFileItem* a, const std::unique_ptr<TFileItem>& b) { return Less(*a, *b); });
    return static_cast<std::size_t>(place - slots_.begin());
}

TFileItem& TFileItems::Add(const std::string& name, const std::string& path) {
    Changed();
    auto entry = std::make_unique<TFileItem>(*this, path, name);
    if (path.empty() && name.empty())
        entry->ReadProperties(); // the constructor skips an empty path; Add never does
    TFileItem& added = *entry;
    if (updating_ || !onCompare_) {
        slots_.push_back(std::move(entry));
    } else if (sorted_) {
        const std::size_t place = SortedPlace(added);
        slots_.insert(slots_.begin() + static_cast<std::ptrdiff_t>(place), std::move(entry));
    } else {
        slots_.push_back(std::move(entry));
        Sort();
    }
    return added;
}

std::size_t TFileItems::AddMany(const std::vector<NewEntry>& entries, const AddProgress& progress) {
    Changed();
    constexpr std::size_t ProgressEvery = 256;
    const std::size_t before = slots_.size();
    slots_.reserve(before + entries.size());
    SharedFolder folder;
    for (const NewEntry& e : entries) {
        const std::size_t done = slots_.size() - before;
        if (progress && done > 0 && done % ProgressEvery == 0 && !progress(done))
            break;
        slots_.push_back(std::make_unique<TFileItem>(*this, folder(e.Path), e.Name));
        if (e.Path.empty() && e.Name.empty())
            slots_.back()->ReadProperties();
    }
    const std::size_t added = slots_.size() - before;
    if (updating_ || !onCompare_)
        return added;
    // With sort keys a whole stable sort is cheaper than a merge by comparisons, and it
    // gives the same order: the old entries stand first among equals either way.
    if (!sorted_ || sortKey_) {
        Sort();
        return added;
    }
    // The list was sorted: sorting the newcomers and merging them in (both stable, old
    // entries first among equals) gives what inserting them one by one gives.
    auto less = [this](const std::unique_ptr<TFileItem>& a, const std::unique_ptr<TFileItem>& b) {
        return Less(*a, *b);
    };
    const auto middle = slots_.begin() + static_cast<std::ptrdiff_t>(before);
    std::stable_sort(middle, slots_.end(), less);
    std::inplace_merge(slots_.begin(), middle, slots_.end(), less);
    return added;
}

void TFileItems::AddNamesOnly(std::vector<NewEntry> entries) {
    sorted_ = false;
    Changed();
    // Geometric growth, as callers may add in many small batches.
    const std::size_t needed = slots_.size() + entries.size();
    if (needed > slots_.capacity())
        slots_.reserve(std::max(needed, 2 * slots_.capacity()));
    SharedFolder folder;
    for (NewEntry& e : entries) {
        auto entry = std::make_unique<TFileItem>(*this, std::string(), std::string());
        entry->name_ = std::move(e.Name);
        entry->path_ = folder(e.Path);
        slots_.push_back(std::move(entry));
    }
}

void TFileItems::OpenSlots(int count) {
    if (!updating_ || count <= 0)
        return;
    slots_.resize(slots_.size() + static_cast<std::size_t>(count));
}

void TFileItems::FillSlot(int slot, std::string name, std::shared_ptr<const std::string> folder) {
    if (slot < 0 || slot >= Count() || slots_[static_cast<std::size_t>(slot)] != nullptr)
        return;
    auto entry = std::make_unique<TFileItem>(*this, std::string(), std::string());
    entry->name_ = std::move(name);
    if (folder != nullptr)
        entry->path_ = std::move(folder);
    slots_[static_cast<std::size_t>(slot)] = std::move(entry);
}

void TFileItems::SetOnCompare(Compare compare) {
    onCompare_ = std::move(compare);
    sortKey_ = nullptr;
    sorted_ = false;
    Changed();
}

std::vector<int> TFileItems::ValidSlots(std::vector<int> slotList) const {
    std::erase_if(slotList, [this](int slot) { return slot < 0 || slot >= Count(); });
    std::sort(slotList.begin(), slotList.end());
    slotList.erase(std::unique(slotList.begin(), slotList.end()), slotList.end());
    return slotList;
}

std::vector<int> TFileItems::MoveByOne(const std::vector<int>& moving, bool down) {
    Changed();
    const std::vector<int> before = ValidSlots(moving);
    std::vector<int> after = before;
    if (updating_ || before.empty())
        return after;
    const auto at = [this](int slot) {
        return slots_.begin() + slot;
    };
    // Runs of neighbours are separated by at least one other entry, so each run trades
    // with its own neighbour and the runs never meet in one step.
    for (std::size_t first = 0; first < after.size();) {
        std::size_t last = first;
        while (last + 1 < after.size() && after[last + 1] == after[last] + 1)
            ++last;
        const int top = after[first];
        const int bottom = after[last];
        if (down && bottom + 1 < Count()) {
            std::rotate(at(top), at(bottom + 1), at(bottom + 2));
            for (std::size_t i = first; i <= last; ++i)
                ++after[i];
        } else if (!down && top > 0) {
            std::rotate(at(top - 1), at(top), at(bottom + 1));
            for (std::size_t i = first; i <= last; ++i)
                --after[i];
        }
        first = last + 1;
    }
    DropOrder(before, after);
    return after;
}

std::vector<int> TFileItems::MoveTo(const std::vector<int>& moving, int place) {
    Changed();
    const std::vector<int> before = ValidSlots(moving);
    if (updating_ || before.empty())
        return before;
    place = std::clamp(place, 0, Count());
    std::vector<std::unique_ptr<TFileItem>> moved;
    moved.reserve(before.size());
    for (int slot : before)
        moved.push_back(std::move(slots_[static_cast<std::size_t>(slot)]));
    // The slots the moving entries left empty, and those in front of the place among them.
    const auto ahead = std::lower_bound(before.begin(), before.end(), place) - before.begin();
    const int start = place - static_cast<int>(ahead);
    std::erase_if(slots_, [](const std::unique_ptr<TFileItem>& slot) { return !slot; });
    slots_.insert(slots_.begin() + start, std::make_move_iterator(moved.begin()),
                  std::make_move_iterator(moved.end()));
    std::vector<int> after(before.size());
    for (std::size_t i = 0; i < after.size(); ++i)
        after[i] = start + static_cast<int>(i);
    DropOrder(before, after);
    return after;
}

void TFileItems::DropOrder(const std::vector<int>& before, const std::vector<int>& after) {
    // The same slots hold the same entries when both sets of slots are the same: the
    // moving entries keep their order among themselves, and so do the others.
    if (before != after)
        SetOnCompare(nullptr);
}

int TFileItems::SlotAfterMove(int slot, const std::vector<int>& before,
                              const std::vector<int>& after) {
    const auto found = std::lower_bound(before.begin(), before.end(), slot);
    if (found != before.end() && *found == slot)
        return after[static_cast<std::size_t>(found - before.begin())];
    // An entry that stayed keeps its rank among the entries that stayed: the rank-th slot
    // that no moved entry took. after[j] - j counts the free slots in front of after[j].
    const int rank = slot - static_cast<int>(found - before.begin());
    std::size_t low = 0;
    std::size_t high = after.size();
    while (low < high) {
        const std::size_t middle = (low + high) / 2;
        if (after[middle] - static_cast<int>(middle) <= rank)
            low = middle + 1;
        else
            high = middle;
    }
    return rank + static_cast<int>(low);
}

void TFileItems::Delete(int slot) {
    if (slot < 0 || slot >= Count())
        return;
    Changed();
    const auto at = slots_.begin() + slot;
    if (updating_)
        at->reset();
    else
        slots_.erase(at);
}

void TFileItems::Clear() {
    Changed();
    if (updating_) {
        for (auto& slot : slots_)
            slot.reset();
    } else {
        slots_.clear();
    }
}

void TFileItems::Sort() {
    if (updating_ || !onCompare_)
        return;
    Changed();
    if (sortKey_) {
        SortByKeys();
        return;
    }
    std::stable_sort(slots_.begin(), slots_.end(),
                     [this](const std::unique_ptr<TFileItem>& a,
                            const std::unique_ptr<TFileItem>& b) { return Less(*a, *b); });
    sorted_ = true;
}

void TFileItems::SortByKeys() {
    std::vector<std::string> keys;
    keys.reserve(slots_.size());
    for (const auto& slot : slots_)
        keys.push_back(sortKey_(*slot));
    ApplyOrder(OrderOfKeys(keys));
}

std::vector<std::uint32_t> TFileItems::OrderOfKeys(const std::vector<std::string>& keys) {
    std::vector<std::uint32_t> order(keys.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<std::uint32_t>(i);
    std::stable_sort(order.begin(), order.end(),
                     [&keys](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; });
    return order;
}

void TFileItems::ApplyOrder(const std::vector<std::uint32_t>& order) {
    if (order.size() != slots_.size())
        return;
    Changed();
    std::vector<std::unique_ptr<TFileItem>> sorted;
    sorted.reserve(slots_.size());
    for (const std::uint32_t index : order)
        sorted.push_back(std::move(slots_[index]));
    slots_.swap(sorted);
    sorted_ = true;
}

void TFileItems::EndUpdate() {
    updating_ = false;
    Changed();
    std::erase_if(slots_, [](const std::unique_ptr<TFileItem>& slot) { return !slot; });
    Sort();
}

int TFileItems::RenamedCount() const {
    return static_cast<int>(std::count_if(
        slots_.begin(), slots_.end(), [](const auto& slot) { return slot && slot->Renamed(); }));
}

} // namespace qm
