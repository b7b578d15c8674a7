#pragma once

// How far one thread has filled the slots of a list (TFileItems::OpenSlots) while others
// read the slots filled so far: a command-line run of a hundred thousand files starts
// renaming the first while the last are still being made.
//
// The filler tells each step with Filled; a reader waits with Await before it reads a
// slot, and sees the slot as the filler left it. Nothing else of the list may change
// meanwhile.

#include <atomic>
#include <cstddef>

namespace qm {

class alignas(64) TSlotsArriving {
public:
    // `entries`: the slots the filler will fill, each with an entry.
    explicit TSlotsArriving(std::size_t entries) : entries_(entries) {}
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
        while (filled <= slot) {
            filled_.wait(filled, std::memory_order_acquire);
            filled = filled_.load(std::memory_order_acquire);
        }
    }

    // Returns once nothing more comes.
    void AwaitEnd() const { Await(kEnded - 1); }

private:
    static constexpr std::size_t kEnded = static_cast<std::size_t>(-1);
    const std::size_t entries_;
    std::atomic<std::size_t> filled_{0};
};

} // namespace qm
