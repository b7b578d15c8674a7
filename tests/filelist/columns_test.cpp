// Column sets, widths, cell texts and the list order by column.

#include "engine/renameoptionset.h"
#include "filelist/columnset.h"
#include "filelist/entrycomparer.h"
#include "filelist/fileitem.h"
#include "filelist/filelist.h"
#include "filelist/iconnames.h"
#include "filelist/textcollator.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

namespace qm {
namespace {

std::string Identifiers(std::string_view set) {
    std::string text;
    for (const ShownColumn& column : ParseColumnSet(set))
        text += column.Identifier + "|";
    return text;
}

TEST(ColumnSet, ParsesTheOldWay) {
    const struct {
        const char* set;
        const char* shown;
    } rows[] = {
        {"Name,Newname", "Name|Newname|"}, {"NAME,NEWNAME,", "NAME|NEWNAME|"},
        {"size,Bogus,NAME", "size|NAME|"}, {",NAME", ""},
        {"Name,,Path", "Name|"},           {"Path,path", "Path|path|"},
        {"ModDate", "ModDate|"},           {"", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Identifiers(row.set), row.shown) << row.set;
}

TEST(ColumnSet, WidthsFillTheShownColumnsOnly) {
    const struct {
        const char* widths;
        std::size_t columns;
        std::vector<int> expected;
    } rows[] = {
        {"237,237", 2, {237, 237}},
        {"237,237,", 2, {237, 237}},
        {"100,200,300", 2, {100, 200}},
        {"100", 3, {100}},
        {"abc,50", 2, {0, 50}},
        {",50", 2, {0}},
        {"50", 0, {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ParseColumnWidths(row.widths, row.columns), row.expected) << row.widths;
}

TEST(ColumnSet, CellTexts) {
    const struct {
        std::uint64_t bytes;
        const char* kilobytes;
    } sizes[] = {
        {0, "0"},
        {1, "1"},
        {1024, "1"},
        {1025, "2"},
        {1023999, "1.000"},
        {1048576000, "1.024.000"},
        {999 * 1024, "999"},
        {UINT64_MAX, "18.014.398.509.481.984"},
    };
    for (const auto& row : sizes)
        EXPECT_EQ(FormatThousands(Kilobytes(row.bytes)), row.kilobytes) << row.bytes;
    EXPECT_EQ(FormatThousands(1234567), "1.234.567");

    using A = FileAttribute;
    EXPECT_EQ(AttributeLetters(A::ReadOnly | A::Hidden | A::Archive), "RHA");
    EXPECT_EQ(AttributeLetters(A::System | A::Directory), "S");
    EXPECT_EQ(AttributeLetters(A::Archive | A::ReadOnly), "RA");
    EXPECT_EQ(AttributeLetters({}), "");
}

class Order : public ::testing::Test {
protected:
    void SetUp() override { comparer_.Install(list_.Items()); }

    void Add(const char* name, const char* path = "/nonexistent-qm-test/") {
        list_.Items().Add(name, path);
    }
    std::string Names() const {
        std::string text;
        for (int i = 0; i < list_.Items().Count(); ++i)
            text += list_.Items().Items(i)->Name() + "|";
        return text;
    }

    TIconNames icons_;
    TFileList list_{icons_};
    TEntryComparer comparer_;
};

TEST_F(Order, SortsByTheColumnInItsDirection) {
    RenameOptionSet options; // "apple" becomes "zzz" in the new name
    options.ReplaceGroup = true;
    options.ReplaceEnabled = true;
    options.ReplaceCount = 1;
    options.ReplacePairs[0] = {"apple", "zzz"};
    const struct {
        std::vector<ColumnId> columns;
        int sortColumn;
        bool declining;
        const char* expected;
    } rows[] = {
        {{ColumnId::Name}, 0, true, "apple|Banana|holiday_photo 001|Holiday_Photo 002|"},
        {{ColumnId::Name}, 0, false, "Holiday_Photo 002|holiday_photo 001|Banana|apple|"},
        {{ColumnId::Path, ColumnId::NewName},
         1,
         true,
         "Banana|holiday_photo 001|Holiday_Photo 002|apple|"},
        {{ColumnId::NewName}, 0, false, "apple|Holiday_Photo 002|holiday_photo 001|Banana|"},
        {{ColumnId::Path, ColumnId::Name},
         0,
         true,
         "apple|Banana|holiday_photo 001|Holiday_Photo 002|"},
        {{ColumnId::Name}, 1, true, "Banana|Holiday_Photo 002|apple|holiday_photo 001|"},
        {{ColumnId::Name}, -1, false, "Banana|Holiday_Photo 002|apple|holiday_photo 001|"},
    };
    for (const auto& row : rows) {
        list_.Items().Clear();
        comparer_.SetColumns(row.columns);
        comparer_.SetSortColumn(row.sortColumn);
        comparer_.SetSortDeclining(row.declining);
        comparer_.SetOptions(options);
        // One by one (comparison, sorted places), then a whole sort (keys): both orders
        // must agree.
        for (const char* name : {"Banana", "Holiday_Photo 002", "apple", "holiday_photo 001"})
            Add(name);
        EXPECT_EQ(Names(), row.expected) << "added, row " << &row - rows;
        list_.Items().CompareChanged();
        list_.Items().Sort();
        EXPECT_EQ(Names(), row.expected) << "sorted, row " << &row - rows;
    }
}

TEST(TextCollator, NumbersByValueCompareAndKeyAgree) {
    const TTextCollator collator(TTextCollator::LetterCase::Ignore, "root",
                                 TTextCollator::Numbers::ByValue);
    const struct {
        std::string a, b;
        int expected;
    } rows[] = {
        {"a2", "a10", -1},
        {"a2", "a02", -1},                   // equal values: the shorter run first
        {"x01y2", "x1y02", 1},               // the first run of another length decides
        {"a02b", "a2c", -1},                 // the text decides before leading zeros do
        {"a2", "a18446744073709551617", -1}, // 2^64 + 1
        {"IMG_2.jpg", "img_10.JPG", -1},
        {"Img_02", "img_02", 0},
        {"a\u0662", "a10", -1}, // an Arabic-Indic two
        {"a" + std::string(255, '0') + "7", "a" + std::string(254, '0') + "7", 1},
    };
    for (const auto& row : rows) {
        const std::string a = collator.SortKey(row.a), b = collator.SortKey(row.b);
        EXPECT_EQ(collator.Compare(row.a, row.b), row.expected) << row.a << " " << row.b;
        EXPECT_EQ((a > b) - (a < b), row.expected) << row.a << " " << row.b;
    }
}

TEST_F(Order, NumbersByValueInFoldersThenNamesBothWays) {
    comparer_.SetColumns({ColumnId::Path});
    comparer_.SetSortColumn(0);
    const struct {
        bool declining, byValue;
        const char* expected;
    } rows[] = {
        {true, true, "x02|x10|x3|x2|"},
        {false, true, "x2|x3|x10|x02|"},
        {true, false, "x3|x2|x02|x10|"}, // and back to text order
    };
    for (const auto& row : rows) {
        list_.Items().Clear();
        comparer_.SetSortDeclining(row.declining);
        comparer_.SetNumbersByValue(row.byValue);
        Add("x10", "/d2/");
        Add("x2", "/d10/");
        Add("x02", "/d2/");
        Add("x3", "/d02/");
        EXPECT_EQ(Names(), row.expected) << "added, row " << &row - rows;
        list_.Items().CompareChanged();
        list_.Items().Sort();
        EXPECT_EQ(Names(), row.expected) << "sorted, row " << &row - rows;
    }
}

// A folder goes before the folders whose names begin with its own, whatever sorts
// between (" ", "-", "." before "/"), and before the folders in it.
TEST_F(Order, FolderBeforeTheFoldersItsNameBegins) {
    comparer_.SetColumns({ColumnId::Path});
    comparer_.SetSortColumn(0);
    for (const bool byValue : {false, true}) {
        comparer_.SetNumbersByValue(byValue);
        for (const bool declining : {true, false}) {
            list_.Items().Clear();
            comparer_.SetSortDeclining(declining);
            Add("d", "/p/photos-old/");
            Add("b", "/p/photos 2/");
            Add("f", "/p/photos.x/");
            Add("e", "/p/photos/sub/");
            Add("c", "/p/photos/");
            Add("a", "/p/");
            const std::string expected = declining ? "a|c|e|b|d|f|" : "f|d|b|e|c|a|";
            EXPECT_EQ(Names(), expected) << "added " << byValue;
            list_.Items().CompareChanged();
            list_.Items().Sort();
            EXPECT_EQ(Names(), expected) << "sorted " << byValue;
        }
    }
}

// A folder's entries come before those of its sub-folders, whatever their names.
TEST_F(Order, FolderBeforeItsSubFoldersWhateverTheNames) {
    comparer_.SetColumns({ColumnId::Path});
    comparer_.SetSortColumn(0);
    comparer_.SetSortDeclining(true);
    Add("a", "/q/photos/sub/");
    Add("z", "/q/photos/");
    EXPECT_EQ(Names(), "z|a|");
    list_.Items().CompareChanged();
    list_.Items().Sort();
    EXPECT_EQ(Names(), "z|a|");
}

} // namespace
} // namespace qm

namespace qm {
namespace {

// Real files of random names, types, sizes, times and attributes, in two folders, some
// renamed in the list: what every column orders.
class RandomEntries : public Order {
protected:
    void SetUp() override {
        Order::SetUp();
        char pattern[] = "/tmp/qm-order-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        std::mt19937 random(20261209);
        auto pick = [&random](int n) {
            return std::uniform_int_distribution<int>(0, n - 1)(random);
        };
        const char* const stems[] = {"a", "B", "a2", "a10", "img 1", "IMG_1", "z", "_x", ".h"};
        const char* const types[] = {"", ".txt", ".jpg", ".mp3", ".TXT"};
        for (const char* sub : {"/d/", "/d 2/"}) {
            const std::string folder = root_ + sub;
            std::filesystem::create_directory(folder);
            std::filesystem::create_directory(folder + "sub" + std::to_string(pick(3)));
            for (int i = 0; i < 14; ++i) {
                const std::string name =
                    std::string(stems[pick(9)]) + std::to_string(pick(4)) + types[pick(5)];
                if (std::filesystem::exists(folder + name))
                    continue;
                std::ofstream(folder + name) << std::string(static_cast<std::size_t>(pick(4)), 'x');
                // Some in the year 2300, whose day count has another first byte.
                const time_t when = pick(5) == 0 ? 10413792000 : 1700000000 + pick(3) * 86400;
                const timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
                utimensat(AT_FDCWD, (folder + name).c_str(), times, 0);
                if (pick(4) == 0)
                    chmod((folder + name).c_str(), 0444);
            }
            for (const auto& file : std::filesystem::directory_iterator(folder))
                Add(file.path().filename().c_str(), folder.c_str());
        }
        for (int i = 0; i < list_.Items().Count(); i += 3)
            list_.Items().Items(i)->SetNewName("renamed " + std::to_string(pick(5)));
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    std::string root_;
};

// For every column both ways: the comparison and the sort key order every pair of
// entries alike, the comparison is antisymmetric, and a whole sort leaves every neighbour
// pair in order (the key's order is a total one, so the comparison is transitive too).
TEST_F(RandomEntries, CompareAndKeyAgreeOnEveryColumn) {
    RenameOptionSet options;
    options.ReplaceGroup = options.ReplaceEnabled = true;
    options.ReplaceCount = 1;
    options.ReplacePairs[0] = {"a", "zz"};
    comparer_.SetOptions(options);
    const std::vector<ColumnId> columns = {
        ColumnId::Name,     ColumnId::Path, ColumnId::NewName,   ColumnId::PrevName,
        ColumnId::TypeName, ColumnId::Size, ColumnId::Attribute, ColumnId::ModDate};
    comparer_.SetColumns(columns);
    const TFileItems& items = list_.Items();
    ASSERT_GT(items.Count(), 20);
    auto sign = [](int v) {
        return (v > 0) - (v < 0);
    };
    for (int column = 0; column < static_cast<int>(columns.size()); ++column) {
        for (const bool ascending : {true, false}) {
            SCOPED_TRACE("column " + std::to_string(column) + (ascending ? " up" : " down"));
            comparer_.SetSortColumn(column);
            comparer_.SetSortDeclining(ascending);
            int unequal = 0, wrong = 0;
            for (int i = 0; i < items.Count(); ++i) {
                for (int j = 0; j < items.Count(); ++j) {
                    const TFileItem& a = *items.Items(i);
                    const TFileItem& b = *items.Items(j);
                    const int c = sign(comparer_.CompareEntries(a, b));
                    const std::string ka = comparer_.SortKey(a), kb = comparer_.SortKey(b);
                    unequal += c != 0;
                    wrong +=
                        c != (ka > kb) - (ka < kb) || c != -sign(comparer_.CompareEntries(b, a));
                }
            }
            EXPECT_EQ(wrong, 0);
            EXPECT_GT(unequal, items.Count()); // the column tells entries apart
            list_.Items().Sort();
            for (int i = 0; i + 1 < items.Count(); ++i)
                EXPECT_LE(comparer_.CompareEntries(*items.Items(i), *items.Items(i + 1)), 0) << i;
            const TFileItem& first = *items.Items(0);
            const TFileItem& last = *items.Items(items.Count() - 1);
            if (columns[column] == ColumnId::Size) {
                EXPECT_EQ(first.Size() < last.Size(), ascending);
            }
            if (columns[column] == ColumnId::ModDate) {
                EXPECT_EQ(first.ModDate() < last.ModDate(), ascending);
            }
        }
    }
}

// Each change of the order is told to the list, so that the next entry added goes into a
// list sorted the new way, not into the old order by halving.
TEST_F(RandomEntries, EveryChangeOfTheOrderResortsTheList) {
    RenameOptionSet options;
    options.ReplaceGroup = options.ReplaceEnabled = true;
    options.ReplaceCount = 1;
    options.ReplacePairs[0] = {"a", "zz"};
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"columns",
         [&] {
             comparer_.SetColumns({ColumnId::Size, ColumnId::Name});
         }},
        {"sort column",
         [&] {
             comparer_.SetSortColumn(1);
         }},
        {"direction",
         [&] {
             comparer_.SetSortDeclining(false);
         }},
        {"numbers by value",
         [&] {
             comparer_.SetNumbersByValue(true);
         }},
        {"new-name column",
         [&] {
             comparer_.SetColumns({ColumnId::NewName});
         }},
        {"options of the new-name column",
         [&] {
             comparer_.SetOptions(options);
         }},
    };
    comparer_.SetColumns({ColumnId::Name});
    comparer_.SetSortColumn(0);
    list_.Items().Sort();
    int added = 0;
    for (const auto& [what, change] : changes) {
        SCOPED_TRACE(what);
        change();
        Add(("a" + std::to_string(added++)).c_str(), (root_ + "/d/").c_str());
        const TFileItems& items = list_.Items();
        int outOfOrder = 0;
        for (int i = 0; i + 1 < items.Count(); ++i)
            outOfOrder += comparer_.CompareEntries(*items.Items(i), *items.Items(i + 1)) > 0;
        EXPECT_EQ(outOfOrder, 0);
    }
}

} // namespace
} // namespace qm
