#pragma once

// How far the slots of a list (TFileItems::OpenSlots) are filled while others read the
// slots filled so far: a command-line run of a hundred thousand files starts renaming
// the first while the last are still being made.
//
// Either a thread of its own fills them, telling each step with Filled and the end with
// End; or they are made on demand, by the reader that first awaits a slot not yet there,
// through the function given (a step at a time, one reader at a time). A reader waits
// with Await before it reads a slot, and sees the slot as the filler left it. Nothing
// else of the list may change meanwhile.

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>

namespace qm {

class alignas(64) TSlotsArriving {
public:
    // What a step of making slots on demand answers when nothing more comes.
    static constexpr std::size_t kEnded = static_cast<std::size_t>(-1);
    // Makes the next slots and answers how many are in place from the first on, or kEnded
    // once every slot is (or the making failed: a slot left empty reads as empty).
    using Make = std::function<std::size_t()>;

    // `entries`: the slots the filler will fill, each with an entry.
    explicit TSlotsArriving(std::size_t entries) : entries_(entries) {}
    // Slots made on demand by `make`, on the thread of the reader that awaits them.
    TSlotsArriving(std::size_t entries, Make make) : entries_(entries), make_(std::move(make)) {}
    TSlotsArriving(const TSlotsArriving&) = delete;
    TSlotsArriving& operator=(const TSlotsArriving&) = delete;

    std::size_t Entries() const { return entries_; }

    // For the filler: the slots below `filled` are in place.
    void Filled(std::size_t filled) {
        filled_.store(filled, std::memory_order_release);
        filled_.notify_all();
    }
    // For the filler, last: nothing more comes (all is filled, or the filler failed): every
    // wait returns, and a slot left empty reads as empty.
    void End() { Filled(kEnded); }

    // Returns once `slot` is in place, or nothing more comes.
    void Await(std::size_t slot) const {
        std::size_t filled = filled_.load(std::memory_order_acquire);
        if (filled > slot)
            return;
        if (make_) {
            const std::lock_guard<std::mutex> lock(making_);
            for (filled = filled_.load(std::memory_order_relaxed); filled <= slot;) {
                // A step that makes nothing has nothing more to make.
                const std::size_t made = make_();
                filled = made > filled ? made : kEnded;
                filled_.store(filled, std::memory_order_release);
            }
            return;
        }
        while (filled <= slot) {
            filled_.wait(filled, std::memory_order_acquire);
            filled = filled_.load(std::memory_order_acquire);
        }
    }

    // Returns once nothing more comes.
    void AwaitEnd() const { Await(kEnded - 1); }

private:
    const std::size_t entries_;
    // Raised by a reader too when the slots are made on demand: making a slot changes the
    // list, not what this object promises.
    mutable std::atomic<std::size_t> filled_{0};
    mutable Make make_;
    mutable std::mutex making_;
};

} // namespace qm
