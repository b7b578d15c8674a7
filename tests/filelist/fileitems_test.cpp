// The file item list: sorted adding, update mode, the name setters and undo.

#include "filelist/fileitem.h"
#include "filelist/filelist.h"
#include "filelist/iconnames.h"
#include "filelist/textcollator.h"

#include <QTemporaryDir>
#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <thread>

namespace qm {
namespace {

const std::string kNowhere = "/nonexistent-qm-test/";

int ByName(const TFileItem& a, const TFileItem& b) {
    return a.Name().compare(b.Name());
}

std::vector<std::string> Names(const TFileItems& items) {
    std::vector<std::string> names;
    for (int i = 0; i < items.Count(); ++i)
        names.push_back(items.Items(i) ? items.Items(i)->Name() : "<empty>");
    return names;
}

// Name and folder of every slot, to tell equal names apart.
std::vector<std::string> Keys(const TFileItems& items) {
    std::vector<std::string> keys;
    for (int i = 0; i < items.Count(); ++i)
        keys.push_back(items.Items(i)->Path() + items.Items(i)->Name());
    return keys;
}

class FileItems : public ::testing::Test {
protected:
    TFileItems& Sorted(std::initializer_list<const char*> names) {
        list_.Items().SetOnCompare(ByName);
        for (const char* name : names)
            list_.Items().Add(name, kNowhere);
        return list_.Items();
    }

    TIconNames icons_;
    TFileList list_{icons_};
};

TEST_F(FileItems, AddKeepsTheListSortedAndEqualsAfterEarlierOnes) {
    TFileItems& items = Sorted({"delta", "alpha", "charlie", "bravo", "alpha"});
    EXPECT_EQ(Names(items),
              (std::vector<std::string>{"alpha", "alpha", "bravo", "charlie", "delta"}));
    items.Add("alpha", "/second/");
    EXPECT_EQ(items.Items(2)->Path(), "/second/");
    EXPECT_EQ(items.Items(2)->Owner().Count(), 6);
    EXPECT_EQ(items.IndexOf(items.Items(2)), 2);
    EXPECT_EQ(items.Items(2)->Index(), 2);
    EXPECT_EQ(items.Items(-1), nullptr);
    EXPECT_EQ(items.Items(6), nullptr);
    EXPECT_EQ(items.IndexOf(nullptr), -1);
}

TEST_F(FileItems, SortWithoutComparisonKeepsTheOrderOfAddition) {
    TFileItems& items = list_.Items();
    for (const char* name : {"c", "a", "b"})
        items.Add(name, kNowhere);
    items.Sort();
    EXPECT_EQ(Names(items), (std::vector<std::string>{"c", "a", "b"}));
    // A comparison installed later sorts the list at the next addition.
    items.SetOnCompare(ByName);
    EXPECT_EQ(Names(items), (std::vector<std::string>{"c", "a", "b"}));
    items.Add("0", kNowhere);
    EXPECT_EQ(Names(items), (std::vector<std::string>{"0", "a", "b", "c"}));
}

// A folder's path is held once for the entries of that folder added one after another,
// whichever way they come in; a change of folder starts a new one.
TEST_F(FileItems, EntriesOfOneFolderInARowShareItsPath) {
    const std::vector<TFileItems::NewEntry> entries = {
        {"a", kNowhere}, {"b", kNowhere}, {"c", "/other-qm-test/"}, {"d", kNowhere}, {"e", ""}};
    for (const bool namesOnly : {false, true}) {
        TFileList list(icons_);
        if (namesOnly)
            list.Items().AddNamesOnly(entries);
        else
            list.Items().AddMany(entries);
        ASSERT_EQ(list.Items().Count(), 5);
        const auto path = [&](int slot) {
            return list.Items().Items(slot)->SharedPath();
        };
        EXPECT_EQ(Keys(list.Items()),
                  (std::vector<std::string>{kNowhere + "a", kNowhere + "b", "/other-qm-test/c",
                                            kNowhere + "d", "e"}))
            << namesOnly;
        EXPECT_EQ(path(0), path(1)) << namesOnly;
        EXPECT_NE(path(1), path(2)) << namesOnly;
        EXPECT_NE(path(2), path(3)) << namesOnly;
    }
}

TEST_F(FileItems, AddingOneByOneOrManyAtOnceGivesTheOrderOfAFullSort) {
    // Few distinct names, so that many compare equal; folders tell them apart.
    std::mt19937 random(99);
    const TTextCollator collator;
    const TFileItems::Compare byCollation = [&](const TFileItem& a, const TFileItem& b) {
        return collator.Compare(a.Name(), b.Name());
    };
    for (int round = 0; round < 20; ++round) {
        std::vector<TFileItems::NewEntry> first;
        std::vector<TFileItems::NewEntry> second;
        const std::string words[] = {"b",   "B", "a",  "é",    "E",    "e",
                                     "a b", "z", "ab", "\xFF", "a\xC3"};
        for (int i = 0; i < 60; ++i)
            (i < 25 ? first : second)
                .push_back({words[random() % std::size(words)], "/" + std::to_string(i) + "/"});

        // The reference: everything appended, then one stable full sort.
        TFileList reference(icons_);
        for (const auto& e : first)
            reference.Items().Add(e.Name, e.Path);
        for (const auto& e : second)
            reference.Items().Add(e.Name, e.Path);
        reference.Items().SetOnCompare(byCollation);
        reference.Items().Sort();

        TFileList oneByOne(icons_);
        oneByOne.Items().SetOnCompare(byCollation);
        for (const auto& e : first)
            oneByOne.Items().Add(e.Name, e.Path);
        for (const auto& e : second)
            oneByOne.Items().Add(e.Name, e.Path);

        TFileList batches(icons_);
        batches.Items().SetOnCompare(byCollation);
        batches.Items().AddMany(first);
        batches.Items().AddMany(second);

        // Sorting by collation keys made once per entry gives the same order.
        TFileList byKeys(icons_);
        for (const auto& e : first)
            byKeys.Items().Add(e.Name, e.Path);
        for (const auto& e : second)
            byKeys.Items().Add(e.Name, e.Path);
        byKeys.Items().SetOnCompare(byCollation);
        byKeys.Items().SetSortKey(
            [&](const TFileItem& entry) { return collator.SortKey(entry.Name()); });
        byKeys.Items().Sort();

        // Batches into a list that sorts by keys.
        TFileList batchesByKeys(icons_);
        batchesByKeys.Items().SetOnCompare(byCollation);
        batchesByKeys.Items().SetSortKey(
            [&](const TFileItem& entry) { return collator.SortKey(entry.Name()); });
        batchesByKeys.Items().AddMany(first);
        batchesByKeys.Items().AddMany(second);

        EXPECT_EQ(Keys(byKeys.Items()), Keys(reference.Items())) << round;
        EXPECT_EQ(Keys(batchesByKeys.Items()), Keys(reference.Items())) << round;
        EXPECT_EQ(Keys(oneByOne.Items()), Keys(reference.Items())) << round;
        EXPECT_EQ(Keys(batches.Items()), Keys(reference.Items())) << round;
    }
}

TEST_F(FileItems, StoppedAddManyKeepsWhatItReadSorted) {
    std::vector<TFileItems::NewEntry> entries;
    for (int i = 999; i >= 0; --i)
        entries.push_back({"f" + std::to_string(1000 + i), kNowhere});
    TFileItems& items = Sorted({"f1500x"});
    std::vector<std::size_t> reports;
    const std::size_t added = items.AddMany(entries, [&](std::size_t done) {
        reports.push_back(done);
        return done < 512;
    });
    EXPECT_EQ(reports, (std::vector<std::size_t>{256, 512}));
    EXPECT_EQ(added, 512u);
    ASSERT_EQ(items.Count(), 513);
    EXPECT_EQ(items.Items(0)->Name(), "f1488");
    EXPECT_EQ(items.Items(13)->Name(), "f1500x");
    EXPECT_EQ(items.Items(512)->Name(), "f1999");
}

TEST_F(FileItems, ChangedComparisonSortsTheWholeListAtTheNextAdd) {
    bool descending = false;
    TFileItems& items = list_.Items();
    items.SetOnCompare([&](const TFileItem& a, const TFileItem& b) {
        return descending ? -ByName(a, b) : ByName(a, b);
    });
    for (const char* name : {"b", "c", "a"})
        items.Add(name, kNowhere);
    descending = true;
    items.CompareChanged();
    items.Add("d", kNowhere);
    EXPECT_EQ(Names(items), (std::vector<std::string>{"d", "c", "b", "a"}));

    // Keys belong to the comparison they were given with: a new comparison drops them.
    items.SetOnCompare(ByName);
    items.SetSortKey([](const TFileItem& entry) { return entry.Name(); });
    items.Sort();
    items.SetOnCompare([](const TFileItem& a, const TFileItem& b) { return -ByName(a, b); });
    items.Sort();
    EXPECT_EQ(Names(items), (std::vector<std::string>{"d", "c", "b", "a"}));

    // A blank entry is appended unsorted; the next Add must not trust the order.
    items.SetOnCompare(ByName);
    items.Sort();
    items.AddBlank();
    items.Add("bb", kNowhere);
    EXPECT_EQ(Names(items), (std::vector<std::string>{"", "a", "b", "bb", "c", "d"}));
}

TEST_F(FileItems, UpdateModeLeavesEmptySlotsUntilEndUpdate) {
    TFileItems& items = Sorted({"a", "b", "c", "d", "e", "f", "g"});
    items.BeginUpdate();
    items.Delete(2);
    items.Items(5)->Remove();
    EXPECT_EQ(items.Count(), 7);
    EXPECT_EQ(Names(items),
              (std::vector<std::string>{"a", "b", "<empty>", "d", "e", "<empty>", "g"}));
    items.Items(0)->SetNewName("z"); // not sorted while updating
    items.Add("0", kNowhere);        // appended
    EXPECT_EQ(items.Items(0)->Name(), "z");
    EXPECT_EQ(items.Items(7)->Name(), "0");
    items.EndUpdate();
    EXPECT_EQ(Names(items), (std::vector<std::string>{"0", "b", "d", "e", "g", "z"}));

    items.BeginUpdate();
    items.Clear();
    EXPECT_EQ(items.Count(), 6);
    EXPECT_EQ(items.Items(3), nullptr);
    items.EndUpdate();
    EXPECT_EQ(items.Count(), 0);
}

TEST_F(FileItems, DeleteOutsideUpdateModeClosesTheGap) {
    TFileItems& items = Sorted({"a", "b", "c", "d", "e", "f"});
    items.Delete(1);
    items.Delete(2); // "d", now in slot 2
    items.Delete(17);
    items.Delete(-1);
    EXPECT_EQ(Names(items), (std::vector<std::string>{"a", "c", "e", "f"}));
    items.Clear();
    EXPECT_EQ(items.Count(), 0);
}

TEST_F(FileItems, MovesTakeTheRowsWhereThePlaylistWouldAndLeaveTheColumnOrder) {
    enum How { Up, Down, To };
    struct Row {
        const char* what;
        How how;
        std::vector<int> moving;
        int place;
        const char* names; // one letter each, in slot order
        std::vector<int> after;
    };
    const std::vector<Row> rows{
        {"up: the top row stays, the run behind closes up", Up, {3, 0, 2}, 0, "acdbef", {0, 1, 2}},
        {"down: the last run stays, row 2 follows", Down, {4, 5, 2}, 0, "abdcef", {3, 4, 5}},
        {"down: scattered rows each move one place", Down, {0, 2, 4}, 0, "badcfe", {1, 3, 5}},
        {"up: a block moves as one", Up, {2, 3, 4}, 0, "acdebf", {1, 2, 3}},
        {"up: a block at the top stays", Up, {1, 0}, 0, "abcdef", {0, 1}},
        {"down: slots out of range and twice", Down, {7, -1, 2, 2}, 0, "abdcef", {3}},
        {"down: the slot just past the last row is none", Down, {2, 6}, 0, "abdcef", {3}},
        {"drop below", To, {1, 3}, 5, "acebdf", {3, 4}},
        {"drop at the top", To, {3, 4}, 0, "deabcf", {0, 1}},
        {"drop at the end", To, {0}, 6, "bcdefa", {5}},
        {"drop between scattered rows", To, {1, 4}, 3, "acbedf", {2, 3}},
        {"drop onto itself", To, {2, 3}, 3, "abcdef", {2, 3}},
        {"drop just after itself", To, {2, 3}, 4, "abcdef", {2, 3}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TIconNames icons;
        TFileList list(icons);
        TFileItems& items = list.Items();
        items.SetOnCompare(ByName);
        for (const char* name : {"f", "e", "d", "c", "b", "a"})
            items.Add(name, kNowhere);
        std::vector<const TFileItem*> entries;
        for (int i = 0; i < items.Count(); ++i)
            entries.push_back(items.Items(i));
        const std::vector<int> after = row.how == Up     ? items.MoveUp(row.moving)
                                       : row.how == Down ? items.MoveDown(row.moving)
                                                         : items.MoveTo(row.moving, row.place);
        std::string names;
        for (const std::string& name : Names(items))
            names += name;
        EXPECT_EQ(names, row.names);
        EXPECT_EQ(after, row.after);
        const std::vector<int> before = items.ValidSlots(row.moving);
        for (int i = 0; i < items.Count(); ++i)
            EXPECT_EQ(TFileItems::SlotAfterMove(i, before, after), items.IndexOf(entries[i]))
                << "slot " << i;
        // A move that changed nothing leaves the list in its column's order.
        const bool moved = before != after;
        EXPECT_EQ(!items.OnCompare(), moved);
        items.Add("0", kNowhere);
        EXPECT_EQ(items.Items(moved ? 6 : 0)->Name(), "0");
    }
}

TEST_F(FileItems, NothingMovesInUpdateMode) {
    TFileItems& items = Sorted({"a", "b", "c"});
    items.BeginUpdate();
    EXPECT_EQ(items.MoveDown({0}), std::vector<int>{0});
    EXPECT_EQ(items.MoveTo({0}, 3), std::vector<int>{0});
    items.EndUpdate();
    EXPECT_EQ(Names(items), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(items.OnCompare());
}

TEST_F(FileItems, RenameAndSingleLevelUndo) {
    TFileItems& items = Sorted({"b.txt", "m.txt"});
    TFileItem& entry = *items.Items(0);
    EXPECT_FALSE(entry.CanUndo());

    entry.UndoName(); // nothing to undo: nothing changes, not even Renamed
    EXPECT_EQ(entry.Name(), "b.txt");
    EXPECT_FALSE(entry.Renamed());

    entry.SetNewName("x.txt");
    EXPECT_EQ(entry.PrevName(), "b.txt");
    EXPECT_TRUE(entry.Renamed());
    EXPECT_EQ(entry.Index(), 1); // moved to its sorted place at once
    entry.SetNewName("y.txt");
    EXPECT_EQ(entry.PrevName(), "x.txt"); // one level only

    entry.ClearRenamed();
    EXPECT_FALSE(entry.Renamed());
    EXPECT_EQ(items.RenamedCount(), 0);
    entry.UndoName();
    EXPECT_EQ(entry.Name(), "x.txt");
    EXPECT_EQ(entry.PrevName(), "");
    EXPECT_TRUE(entry.Renamed());
    EXPECT_FALSE(entry.CanUndo());
    EXPECT_EQ(items.RenamedCount(), 1);

    entry.SetNewName("a.txt");
    EXPECT_EQ(entry.Index(), 0);
    entry.ClearPrevName();
    EXPECT_FALSE(entry.CanUndo());
    EXPECT_EQ(entry.Name(), "a.txt");
}

TEST_F(FileItems, PropertiesAreReadOnceWhenAdded) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString() + "/";
    std::ofstream(folder + "photo.png") << "12345";

    TFileItems& items = list_.Items();
    TFileItem& entry = items.Add("photo.png", folder);
    EXPECT_EQ(entry.Size(), 5u);
    EXPECT_FALSE(entry.TypeName().empty());
    EXPECT_NE(entry.ImageIndex(), 0);
    EXPECT_EQ(entry.Attributes(), FileAttributes(FileAttribute::Archive));
    EXPECT_NE(entry.ModDate(), 0.0);
    const std::string typeName = entry.TypeName();
    const int image = entry.ImageIndex();

    std::ofstream(folder + "photo.png", std::ios::app) << "more";
    entry.SetNewName("photo.txt"); // a new extension keeps the earlier type and icon
    EXPECT_EQ(entry.Size(), 5u);
    EXPECT_EQ(entry.TypeName(), typeName);
    EXPECT_EQ(entry.ImageIndex(), image);

    // A path that does not resolve is added all the same, with zero properties; the
    // same file twice gives two entries.
    TFileItem& missing = items.Add("absent.png", folder);
    EXPECT_EQ(missing.TypeName(), "");
    EXPECT_EQ(missing.ImageIndex(), 0);
    EXPECT_EQ(missing.Size(), 0u);
    EXPECT_EQ(missing.Attributes(), FileAttributes());
    EXPECT_EQ(missing.ModDate(), 0.0);
    items.Add("photo.png", folder);
    items.AddMany({{"photo.png", folder}});
    EXPECT_EQ(items.Count(), 4);
    EXPECT_EQ(items.Items(3)->Size(), 9u);

    TFileItem& blank = items.AddBlank();
    EXPECT_EQ(blank.Name(), "");
    EXPECT_EQ(blank.Path(), "");
    EXPECT_EQ(blank.Size(), 0u);
    EXPECT_EQ(items.IndexOf(&blank), 4);
}

TEST_F(FileItems, ImageListsAreTheIconNames) {
    EXPECT_EQ(&list_.GetSmallImages(), &icons_);
    EXPECT_EQ(&list_.GetLargeImages(), &icons_);
}

TEST_F(FileItems, WorkerRenamesWhileAReaderHoldsTheReadLock) {
    TFileItems& items = list_.Items();
    for (int i = 0; i < 200; ++i)
        items.Add("file" + std::to_string(i), kNowhere);
    items.BeginUpdate();
    std::thread worker([&] {
        for (int i = 0; i < items.Count(); ++i) {
            items.Items(i)->ClearRenamed();
            items.Items(i)->SetNewName("renamed" + std::to_string(i));
        }
    });
    std::size_t seen = 0;
    for (int pass = 0; pass < 50; ++pass) {
        auto lock = items.ReadLock();
        for (int i = 0; i < items.Count(); ++i)
            seen += items.Items(i)->Name().size();
    }
    worker.join();
    items.EndUpdate();
    EXPECT_GT(seen, 0u);
    EXPECT_EQ(items.RenamedCount(), 200);
    EXPECT_EQ(items.Items(0)->PrevName(), "file0");
}

} // namespace
} // namespace qm
