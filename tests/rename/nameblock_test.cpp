#include "rename/nameblock.h"
#include "rename/nametable.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace qm::test {
namespace {

// Names of every length that packs differently (empty, the longest that packs, the first
// that does not, longer than a block), set, set again and pushed: each reads back as
// given, and a view taken before a later name was set stays as it was.
TEST(NameBlock, EveryNameReadsBackAndEarlierViewsStay) {
    const std::vector<std::string> names = {"",
                                            "a.jpg",
                                            std::string(0xfffe, 'x'),
                                            std::string(0xffff, 'y'),
                                            std::string(0x10000, 'z'),
                                            std::string((1 << 20) + 3, 'w'),
                                            "last.jpg"};
    TNameBlock block;
    block.Assign(names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        block.Set(i, names[i]);
    const std::string_view before = block[1];
    block.Set(1, "again.jpg");
    const std::string outside = "outside.jpg";
    block.PushView(outside);
    block.Push(std::string(0xffff, 'p'));
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(block[i], i == 1 ? "again.jpg" : names[i]) << "name " << i;
    EXPECT_EQ(before, "a.jpg");
    EXPECT_EQ(block[names.size()].data(), outside.data());
    EXPECT_EQ(block[names.size() + 1], std::string(0xffff, 'p'));
    EXPECT_EQ(block.Count(), names.size() + 2);
}

// A table grows from half full to a quarter full, never emptier: a folder of a million
// names holds 2^21 slots of sixteen bytes, not 2^22. Where removed names fill the other
// quarter it keeps its size.
TEST(NameTable, GrowsToAQuarterFull) {
    struct Row {
        int inserted, erased, insertedAfter;
        std::size_t slotCount;
    };
    const Row rows[] = {
        {32, 0, 0, 64}, {33, 0, 0, 128}, {1000, 0, 0, 2048}, {32, 16, 1, 64}, {32, 15, 1, 128}};
    for (const Row& row : rows) {
        TNameTable table;
        int next = 0;
        for (int i = 0; i < row.inserted; ++i)
            table.Insert("n" + std::to_string(next++));
        for (int i = 0; i < row.erased; ++i)
            table.Erase("n" + std::to_string(i));
        for (int i = 0; i < row.insertedAfter; ++i)
            table.Insert("n" + std::to_string(next++));
        EXPECT_EQ(table.Slots(), row.slotCount) << row.inserted << " " << row.erased;
        EXPECT_EQ(table.Kept("n" + std::to_string(next - 1)), "n" + std::to_string(next - 1));
        EXPECT_EQ(table.Kept("absent").data(), nullptr);
    }
}

} // namespace
} // namespace qm::test
