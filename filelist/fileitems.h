#pragma once

// The ordered collection of collected files. The order is the display order: row i of
// the list view shows slot i. Outside update mode the collection keeps itself sorted by
// the installed comparison (when one is installed); additions go straight to their
// sorted place, after entries that compare equal, which gives the order a full stable
// sort would give.
//
// Update mode keeps slot numbers still while a caller works through the list by slot:
// deletions leave empty slots and nothing is sorted until EndUpdate.
//
// Owns its entries. Belongs to a TFileList, whose file system reads the properties of
// added entries. Used on the window thread, except that during a rename run (in update
// mode) one worker thread changes entry names through the TFileItem setters; a reader
// on another thread then holds ReadLock() while it reads entries.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

namespace qm {

class TFileItem;
class TFileList;

class TFileItems {
public:
    // Negative when `a` goes before `b`, zero when they are equal, positive otherwise. It
    // must be a consistent order (a strict weak order on its negative results).
    using Compare = std::function<int(const TFileItem& a, const TFileItem& b)>;

    // A byte string per entry whose plain byte order is the order of the comparison
    // (such as a collation sort key of the sort column's text).
    using SortKey = std::function<std::string(const TFileItem& entry)>;

    // A name and folder to add (see AddMany).
    struct NewEntry {
        std::string Name;
        std::string Path;
    };

    explicit TFileItems(TFileList& list);
    ~TFileItems();
    TFileItems(const TFileItems&) = delete;
    TFileItems& operator=(const TFileItems&) = delete;

    TFileList& List() const { return list_; }

    // Number of slots, empty slots included.
    int Count() const { return static_cast<int>(slots_.size()); }
    // The entry in `slot`; nullptr for an empty slot or a slot out of range.
    TFileItem* Items(int slot) const;
    // The slot of `entry`; -1 when it is not listed.
    int IndexOf(const TFileItem* entry) const;

    // Appends an entry with empty name and folder; reads nothing, sorts nothing.
    TFileItem& AddBlank();
    // Adds the file `path` + `name` (`path` ends in "/") with its properties read from
    // disk, at its sorted place. A path that does not resolve is added all the same,
    // with empty properties; the same file added twice is listed twice.
    TFileItem& Add(const std::string& name, const std::string& path);
    // Called while AddMany reads properties, with the number of entries read so far;
    // false stops the reading.
    using AddProgress = std::function<bool(std::size_t added)>;
    // Adds many files and sorts once: the same order as adding them one by one with Add,
    // at a fraction of the work. When `progress` stops it, the entries read until then
    // are added all the same. Returns the number added.
    std::size_t AddMany(const std::vector<NewEntry>& entries,
                        const AddProgress& progress = nullptr);
    // Appends entries without reading their properties (type, icon, size and time stay
    // empty and zero) and without sorting: for a caller that only renames them and
    // would pay for properties it never shows.
    void AddNamesOnly(std::vector<NewEntry> entries);
    // The same, filled while a run already reads the list: in update mode, OpenSlots
    // appends `count` empty slots, and one thread then fills them in order with FillSlot,
    // telling a TSlotsArriving how far it got, while the run reads each slot once that
    // says it is there. Nothing else may change the slots meanwhile; neither counts as a
    // change (Changes()).
    void OpenSlots(int count);
    // Puts the file `folder` + `name` into the empty slot `slot`, its properties unread.
    void FillSlot(int slot, std::string name, std::shared_ptr<const std::string> folder);

    // Destroys the entry in `slot`. Outside update mode later slots move up by one; in
    // update mode the slot stays, empty. Does nothing for a slot out of range.
    void Delete(int slot);
    // Destroys every entry; in update mode the slots stay, empty.
    void Clear();

    // Sorts the slots with the installed comparison; entries that compare equal keep
    // their order. Does nothing in update mode or without a comparison.
    void Sort();
    // Installs the comparison (or none). The list is not sorted here; the next Add,
    // AddMany or Sort does it.
    void SetOnCompare(Compare compare);
    const Compare& OnCompare() const { return onCompare_; }
    // To be called when the installed comparison would now order the entries differently
    // (it reads a sort column, a direction or rename options that changed): the next
    // Add then sorts the whole list instead of only placing the new entry.
    void CompareChanged() {
        sorted_ = false;
        Changed();
    }
    // Optional, beside the comparison: when set, Sort makes each entry's key once and
    // orders by the keys, which is much cheaper than comparing texts by collation again
    // and again. The keys must order exactly as the comparison does; additions still use
    // the comparison. Cleared by SetOnCompare.
    void SetSortKey(SortKey key) {
        sortKey_ = std::move(key);
        Changed();
    }

    // The same sort in steps, for a list too long to sort in one go on the window thread:
    // each entry's key made (SortKeyOf, a slice at a time), the keys ordered anywhere
    // (OrderOfKeys, a plain function of them), and that order put in place (ApplyOrder)
    // when Changes() has not moved since the first key: any change of the slots, of an
    // entry's names, of the comparison or of update mode moves it.
    bool CanSortByKeys() const { return !updating_ && onCompare_ && sortKey_; }
    std::string SortKeyOf(int slot) const {
        return sortKey_(*slots_[static_cast<std::size_t>(slot)]);
    }
    static std::vector<std::uint32_t> OrderOfKeys(const std::vector<std::string>& keys);
    // `order` holds every slot once: slot i gets the entry of slot order[i].
    void ApplyOrder(const std::vector<std::uint32_t>& order);
    std::uint64_t Changes() const { return changes_.load(std::memory_order_relaxed); }

    // The user's own order. Each move takes the entries in `moving` (in any order; slots
    // out of range are ignored) and returns the slots they stand in afterwards, ascending.
    // A move that changes the order drops the comparison (the list is no longer in the
    // order of any column; additions then go to the end) until one is installed again.
    // In update mode nothing moves.
    //
    // One place toward the top (or the bottom), the way a playlist moves a selection:
    // each run of neighbouring slots trades places with the entry before (after) it; a
    // run at the edge stays, and the runs behind it close up to it.
    std::vector<int> MoveUp(const std::vector<int>& moving) { return MoveByOne(moving, false); }
    std::vector<int> MoveDown(const std::vector<int>& moving) { return MoveByOne(moving, true); }
    // Where a drag lets them go: the entries, in their order, stand together in front of
    // the entry in slot `place` (the slots counted before the move; Count() is the end).
    std::vector<int> MoveTo(const std::vector<int>& moving, int place);
    // The slot after a move of the entry that stood in `slot` before it, where the move
    // took the entries in slots `before` (ascending) to `after` (what it returned).
    static int SlotAfterMove(int slot, const std::vector<int>& before,
                             const std::vector<int>& after);
    // The ascending, distinct slots of `slotList` that are in range.
    std::vector<int> ValidSlots(std::vector<int> slotList) const;

    // Update mode is a flag, not a counter: it does not nest.
    void BeginUpdate() {
        updating_ = true;
        sorted_ = false;
        Changed();
    }
    // Leaves update mode, removes the empty slots (the entries keep their order), sorts.
    void EndUpdate();
    bool Updating() const { return updating_; }

    // Number of entries whose Renamed() is true; empty slots are skipped.
    int RenamedCount() const;

    // Held by a thread that reads entries while a worker may change their names.
    std::shared_lock<std::shared_mutex> ReadLock() const {
        return std::shared_lock<std::shared_mutex>(entryMutex_);
    }

private:
    friend class TFileItem;

    bool Less(const TFileItem& a, const TFileItem& b) const;
    void SortByKeys();
    // Slot where an entry goes so that the list stays sorted, after its equals.
    std::size_t SortedPlace(const TFileItem& entry) const;
    std::vector<int> MoveByOne(const std::vector<int>& moving, bool down);
    // After a move: the order is the user's now.
    void DropOrder(const std::vector<int>& before, const std::vector<int>& after);
    // Taken by every setter of an entry: what it changes may change the order.
    std::unique_lock<std::shared_mutex> WriteLock() {
        Changed();
        return std::unique_lock<std::shared_mutex>(entryMutex_);
    }
    void Changed() { changes_.fetch_add(1, std::memory_order_relaxed); }

    TFileList& list_;
    std::vector<std::unique_ptr<TFileItem>> slots_;
    bool updating_ = false;
    Compare onCompare_;
    SortKey sortKey_;
    // The slots are in the order of onCompare_ as it stands, so a new entry can simply
    // be put in its place.
    bool sorted_ = false;
    // With the counter below on a cache line of their own: a rename worker takes them at
    // every entry it renames.
    alignas(64) mutable std::shared_mutex entryMutex_;
    // Raised by a rename worker's setters too.
    std::atomic<std::uint64_t> changes_{0};
};

} // namespace qm
