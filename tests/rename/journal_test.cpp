#include "rename/journal.h"

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>
#include <unistd.h>

namespace qm::test {
namespace {

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Written the slow way, so that it checks the journal's own tables as well.
std::uint32_t Crc32c(std::string_view data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : data) {
        crc ^= static_cast<unsigned char>(c);
        for (int k = 0; k < 8; ++k)
            crc = crc & 1 ? (crc >> 1) ^ 0x82F63B78u : crc >> 1;
    }
    return ~crc;
}

std::string Describe(const TJournal& j) {
    std::ostringstream out;
    out << j.RunId << " started=" << j.Started << " closed=" << j.Closed << " undone=" << j.Undone
        << " " << j.UndoneBy << " tally=" << j.Tally.Renamed << "/" << j.Tally.Unchanged << "/"
        << j.Tally.Failed << "/" << j.Tally.NumberIncValue << "\n";
    for (const TJournalMove& m : j.Moves)
        out << m.Entry << " " << m.Temporary << " " << m.Folder << "|" << m.From << "|" << m.To
            << " ino=" << m.Inode << " result=" << static_cast<int>(m.Result) << "\n";
    return out.str();
}

class JournalFile : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path().string() + "/qm-journal-test-" +
                  std::to_string(getpid()) + "/journals/";
    }
    void TearDown() override { std::filesystem::remove_all(folder_ + ".."); }

    // A journal of every kind of record; the file's size after each step in `sizes`.
    std::string Write(std::vector<std::size_t>& sizes) {
        TJournalWriter writer;
        TJournal header;
        header.ProgramVersion = "2.01.43";
        header.EntryCount = 5;
        const std::vector<TJournalMoveRef> moves = {
            {0, false, "/a/", "Track 1.mp3", "Track 2.mp3", 1234567},
            {1, true, "/a/", "x", ".qm-plan-1", 1234568},
            {3, false, "/b/", "photo_0001.jpg", "holiday_0001.jpg", 99},
            {1, true, "/a/", ".qm-plan-1", "y", 1234568},
        };
        EXPECT_EQ(writer.Begin(folder_, header, moves), "");
        const std::string path = writer.Path();
        sizes.push_back(std::filesystem::file_size(path));
        EXPECT_EQ(writer.Replace(2, {3, false, "/b/", "photo_0001.jpg", "holiday_0002.jpg", 99}),
                  0);
        sizes.push_back(std::filesystem::file_size(path));
        EXPECT_EQ(writer.Insert(1, {4, false, "rel/", "z", "w", 0}), 0);
        sizes.push_back(std::filesystem::file_size(path));
        writer.SetResult(0, MoveResult::Done);
        writer.SetResult(2, MoveResult::Failed);
        writer.SetResult(4, MoveResult::Done);
        EXPECT_EQ(writer.Close({2, 1, 1, 7, false}), "");
        sizes.push_back(std::filesystem::file_size(path));
        EXPECT_EQ(MarkJournalUndone(path, "the-undo"), "");
        sizes.push_back(std::filesystem::file_size(path));
        return path;
    }

    std::string folder_;
};

TEST_F(JournalFile, ReadsBackWhatWasWritten) {
    std::vector<std::size_t> sizes;
    const TJournalRead read = ReadJournal(Write(sizes));
    ASSERT_EQ(read.Status, TJournalRead::Ok) << read.Problem;
    const TJournal& j = read.Journal;
    EXPECT_EQ(j.ProgramVersion, "2.01.43");
    EXPECT_EQ(j.EntryCount, 5);
    EXPECT_EQ(j.Pid, static_cast<std::uint32_t>(getpid()));
    const std::string cwd = std::filesystem::current_path().string();
    // The inserted move comes before announced move 1; a relative folder is read back
    // against the run's current folder.
    EXPECT_EQ(Describe(j), j.RunId +
                               " started=1 closed=1 undone=1 the-undo tally=2/1/1/7\n"
                               "0 0 /a/|Track 1.mp3|Track 2.mp3 ino=1234567 result=1\n" +
                               "4 0 " + cwd +
                               "/rel/|z|w ino=0 result=1\n"
                               "1 1 /a/|x|.qm-plan-1 ino=1234568 result=3\n"
                               "3 0 /b/|photo_0001.jpg|holiday_0002.jpg ino=99 result=2\n"
                               "1 1 /a/|.qm-plan-1|y ino=1234568 result=3\n");
}

TEST_F(JournalFile, TheHeaderReadsAloneAndAsTheWholeJournalDoes) {
    std::vector<std::size_t> sizes;
    const std::string path = Write(sizes);
    const TJournalRead whole = ReadJournal(path);
    const TJournalRead header = ReadJournalHeader(path);
    ASSERT_EQ(header.Status, TJournalRead::Ok) << header.Problem;
    EXPECT_EQ(header.Journal.RunId, whole.Journal.RunId);
    EXPECT_EQ(header.Journal.ProgramVersion, "2.01.43");
    EXPECT_EQ(header.Journal.EntryCount, 5);
    EXPECT_TRUE(header.Journal.Moves.empty());
    EXPECT_FALSE(header.Journal.Started);
    EXPECT_EQ(ReadJournalHeader(path + ".missing").Status, TJournalRead::Unreadable);
}

TEST_F(JournalFile, ACutFileReadsUpToItsLastWholeRecordOrIsRefused) {
    std::vector<std::size_t> sizes;
    const std::string bytes = Bytes(Write(sizes));
    ASSERT_EQ(sizes.back(), bytes.size());
    // What a reader must see at each whole record the writer had finished.
    std::vector<std::string> expected;
    for (const std::size_t size : sizes)
        expected.push_back(Describe(ParseJournal(bytes.substr(0, size)).Journal));
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        SCOPED_TRACE(cut);
        const TJournalRead read = ParseJournal(std::string_view(bytes).substr(0, cut));
        if (cut < sizes[0]) {
            // Inside the announcement: refused, or a run that never started.
            if (read.Status == TJournalRead::Ok)
                EXPECT_FALSE(read.Journal.Started || read.Journal.Closed);
            else
                EXPECT_EQ(read.Status, TJournalRead::Damaged);
            continue;
        }
        ASSERT_EQ(read.Status, TJournalRead::Ok) << read.Problem;
        std::size_t whole = 0;
        while (whole + 1 < sizes.size() && sizes[whole + 1] <= cut)
            ++whole;
        EXPECT_EQ(Describe(read.Journal), expected[whole]);
    }
}

// A run in list order announces its moves in parts, the run taking each part's moves (and
// writing those that differ) while the next is written: a part reads only once its mark
// is whole, an inserted move stays before the part announced after it, and a record that
// names a move not announced yet is damage.
TEST_F(JournalFile, APartIsReadOnlyOnceItsMarkIsWhole) {
    TJournalWriter writer;
    const std::vector<TJournalMoveRef> first = {{0, false, "/a/", "x1", "y1", 11},
                                                {1, false, "/a/", "x2", "y2", 12}};
    const std::vector<TJournalMoveRef> second = {{3, false, "/b/", "p", "q", 20},
                                                 {4, false, "/a/", "x4", "y4", 14},
                                                 {5, false, "/a/", "x5", "y5", 0, true}};
    ASSERT_EQ(writer.Begin(folder_, TJournal{}, std::span(first), {}, 6), "");
    const std::string path = writer.Path();
    std::vector<std::size_t> sizes = {std::filesystem::file_size(path)};
    ASSERT_EQ(writer.Insert(2, {2, false, "/a/", "x3", "z3", 13}), 0);
    const std::size_t inserted = writer.LastInserted();
    sizes.push_back(std::filesystem::file_size(path));
    ASSERT_EQ(writer.Announce(second), 0);
    EXPECT_EQ(writer.Announced(), 5u);
    sizes.push_back(std::filesystem::file_size(path));
    ASSERT_EQ(writer.Replace(3, {4, false, "/a/", "x4", "w4", 14}), 0);
    sizes.push_back(std::filesystem::file_size(path));
    // More than the room told at the start is refused, and writes nothing.
    EXPECT_EQ(writer.Announce(second), EOVERFLOW);
    EXPECT_EQ(std::filesystem::file_size(path), sizes.back());
    writer.SetResult(0, MoveResult::Done);
    writer.SetResult(inserted, MoveResult::Failed);
    writer.SetResult(3, MoveResult::Done);
    EXPECT_EQ(writer.Close({2, 0, 1, 0, false}), "");
    sizes.push_back(std::filesystem::file_size(path));

    const std::string bytes = Bytes(path);
    const TJournalRead whole = ParseJournal(bytes);
    ASSERT_EQ(whole.Status, TJournalRead::Ok) << whole.Problem;
    std::string order;
    for (const TJournalMove& m : whole.Journal.Moves)
        order += m.To + ":" + std::to_string(static_cast<int>(m.Result)) + " ";
    EXPECT_EQ(order, "y1:1 y2:3 z3:2 q:3 w4:1 y5:3 ");
    EXPECT_TRUE(whole.Journal.Moves[5].Missing);
    // At every cut, the moves of the parts whose mark is whole, and nothing of the next.
    const std::vector<std::size_t> seen = {2, 3, 6, 6, 6};
    for (std::size_t cut = sizes[0]; cut <= bytes.size(); ++cut) {
        SCOPED_TRACE(cut);
        const TJournalRead read = ParseJournal(std::string_view(bytes).substr(0, cut));
        ASSERT_EQ(read.Status, TJournalRead::Ok) << read.Problem;
        std::size_t at = 0;
        while (at + 1 < sizes.size() && sizes[at + 1] <= cut)
            ++at;
        EXPECT_EQ(read.Journal.Moves.size(), seen[at]);
        EXPECT_EQ(read.Journal.Closed, at == 4);
        std::uint64_t size = bytes.size();
        const TJournalOutline outline =
            ParseJournalOutline(cut, [&](std::uint64_t from, std::size_t n, std::string& out) {
                out.assign(bytes, from, std::min<std::uint64_t>(n, size - from));
                return true;
            });
        EXPECT_EQ(outline.Announced + outline.Inserted, seen[at]);
    }
    // A move that differs must name an announced one.
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        << bytes.substr(0, sizes[0]) << EncodeReplace(2, {2, false, "/a/", "x3", "z3", 13});
    EXPECT_EQ(ReadJournal(path).Status, TJournalRead::Damaged);
}

TEST_F(JournalFile, DamagedOrNewerIsRefused) {
    std::vector<std::size_t> sizes;
    const std::string path = Write(sizes);
    const std::string bytes = Bytes(path);
    // The header record: magic (8), length (4), checksum (4), type (1), version (4).
    std::string newer = bytes;
    newer[17] = static_cast<char>(kJournalVersion + 1);
    const std::uint32_t length =
        static_cast<unsigned char>(newer[8]) | static_cast<unsigned char>(newer[9]) << 8;
    const std::uint32_t crc = Crc32c(std::string_view(newer).substr(16, length));
    for (int i = 0; i < 4; ++i)
        newer[12 + i] = static_cast<char>(crc >> (8 * i));
    std::string flipped = bytes;
    flipped[sizes[0] - 20] ^= 0x20;
    struct Row {
        const char* name;
        std::string bytes;
        TJournalRead::Kind status;
    } rows[] = {
        {"a newer format", newer, TJournalRead::NewerVersion},
        {"one bit of a move flipped", flipped, TJournalRead::Damaged},
        {"not a journal", "hello, world\n", TJournalRead::Damaged},
        {"a tail of zeros is a cut", bytes + std::string(300, '\0'), TJournalRead::Ok},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << row.bytes;
        const TJournalRead read = ReadJournal(path);
        EXPECT_EQ(read.Status, row.status) << read.Problem;
        // Refused, never removed.
        EXPECT_EQ(Bytes(path), row.bytes);
    }
}

TEST_F(JournalFile, NumberedRenamesReadBackAtAFewBytesAMove) {
    // "file_000000.jpg" -> "pic_000000_7.jpg", ... in one folder, as in a large run; one
    // move in the middle failed.
    constexpr int kMoves = 2000;
    std::vector<std::string> from(kMoves), to(kMoves);
    std::vector<TJournalMoveRef> moves;
    char name[40];
    for (int i = 0; i < kMoves; ++i) {
        std::snprintf(name, sizeof name, "file_%06d.jpg", i);
        from[i] = name;
        std::snprintf(name, sizeof name, "pic_%06d_%d.jpg", i, i + 7);
        to[i] = name;
    }
    for (int i = 0; i < kMoves; ++i)
        moves.push_back({i, false, "/photos/", from[i], to[i], 5000u + static_cast<unsigned>(i)});
    TJournalWriter writer;
    ASSERT_EQ(writer.Begin(folder_, TJournal{}, moves), "");
    for (int i = 0; i < kMoves; ++i)
        writer.SetResult(i, i == 1000 ? MoveResult::Failed : MoveResult::Done);
    ASSERT_EQ(writer.Close({kMoves - 1, 0, 1, 0, false}), "");

    const TJournalRead read = ReadJournal(writer.Path());
    ASSERT_EQ(read.Status, TJournalRead::Ok) << read.Problem;
    ASSERT_EQ(read.Journal.Moves.size(), std::size_t{kMoves});
    int wrong = 0;
    for (int i = 0; i < kMoves; ++i) {
        const TJournalMove& m = read.Journal.Moves[i];
        wrong += m.Entry != i || m.Folder != "/photos/" || m.From != from[i] || m.To != to[i] ||
                 m.Inode != 5000u + static_cast<unsigned>(i) ||
                 m.Result != (i == 1000 ? MoveResult::Failed : MoveResult::Done);
    }
    EXPECT_EQ(wrong, 0);
    // Names told against the move before's, a step, flags and an unchanged folder in one
    // byte, the results as runs: about 16 MB for a million such moves.
    EXPECT_LT(std::filesystem::file_size(writer.Path()), kMoves * 16u);
}

TEST(JournalFormat, AJournalOfTheFirstFormatStillReads) {
    // Three moves in /tmp/qv1/d/ (given as "d/"), the last one failed, as the first
    // format's writer wrote them.
    const char* hex = "514d4a524e4c0d0a3c000000d1a4d9f001010000001832303236313230382d32323539"
                      "33372d3633332d66303130d997e2d80607322e30312e34330000eaf0010300092f746d"
                      "702f7176312f040000006bccd7080202642f3c0000008d1c72c10303020000a282c10a"
                      "000661312e7478740005047069635f020000020105322e7478740005047069635f0200"
                      "00020105332e7478740005047069635f02000000fae5bbac04030d000000dd2c2ab207"
                      "020001000000000003010102";
    std::string bytes;
    for (const char* p = hex; p[0] && p[1]; p += 2)
        bytes += static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16));
    const TJournalRead read = ParseJournal(bytes);
    ASSERT_EQ(read.Status, TJournalRead::Ok) << read.Problem;
    EXPECT_EQ(read.Journal.Version, 1u);
    EXPECT_EQ(Describe(read.Journal),
              "20261208-225937-633-f010 started=1 closed=1 undone=0  tally=2/0/1/0\n"
              "0 0 /tmp/qv1/d/|a1.txt|pic_1.txt ino=11018385 result=1\n"
              "1 0 /tmp/qv1/d/|a2.txt|pic_2.txt ino=11018386 result=1\n"
              "2 0 /tmp/qv1/d/|a3.txt|pic_3.txt ino=11018387 result=2\n");
}

// A journal put together field by field, with valid checksums: what a forger could write.
class ForgedJournal {
public:
    explicit ForgedJournal(std::uint32_t version) {
        bytes_ = "QMJRNL\r\n";
        Open(1);
        for (int i = 0; i < 4; ++i)
            body_ += static_cast<char>(version >> (8 * i));
        Text("run");
        Var(0);
        Text("2");
        Var(0);
        Var(0);
        Var(1);
        Var(2);
        Text("");
        Text("/tmp/");
        Close();
        Open(2);
        Text("d/");
        Close();
    }
    void Open(char type) { body_ = type; }
    void Var(std::uint64_t v) {
        for (; v >= 0x80; v >>= 7)
            body_ += static_cast<char>(v | 0x80);
        body_ += static_cast<char>(v);
    }
    void Text(std::string_view text) {
        Var(text.size());
        body_ += text;
    }
    void Close() {
        const std::uint32_t length = static_cast<std::uint32_t>(body_.size());
        const std::uint32_t crc = Crc32c(body_);
        for (const std::uint32_t v : {length, crc})
            for (int i = 0; i < 4; ++i)
                bytes_ += static_cast<char>(v >> (8 * i));
        bytes_ += body_;
    }
    const std::string& Bytes() const { return bytes_; }

private:
    std::string bytes_;
    std::string body_;
};

TEST(JournalFormat, ForgedCountsReadAsDamaged) {
    // A name's shared start and end that add up past 2^64 to a count that looks small.
    ForgedJournal wrapped(kJournalVersion);
    wrapped.Open(3);
    wrapped.Var(1);
    wrapped.Var(2 << 3 | 1); // entry 0, no flags, a folder follows
    wrapped.Var(0);          // the folder
    wrapped.Var(2);          // inode 1
    wrapped.Var(0);          // old name: nothing shared
    wrapped.Var(0);
    wrapped.Text("a.txt");
    wrapped.Var(1);                 // new name: one byte of the old one's start
    wrapped.Var(~std::uint64_t{0}); // and 2^64 - 1 of its end
    wrapped.Var(0);
    wrapped.Text("b");
    wrapped.Close();
    // In the first format, an entry step that overflows the running entry.
    ForgedJournal overflow(1);
    overflow.Open(3);
    overflow.Var(2);
    for (const std::uint64_t step : {std::uint64_t{2}, ~std::uint64_t{0} - 1}) {
        overflow.Var(step); // +1, then +2^63 - 1
        overflow.Var(0);    // flags
        overflow.Var(0);    // the folder
        overflow.Var(2);
        overflow.Var(0);
        overflow.Text("a.txt");
        overflow.Var(0);
        overflow.Var(0);
        overflow.Text("b.txt");
    }
    overflow.Close();
    for (const ForgedJournal* forged : {&wrapped, &overflow}) {
        const TJournalRead read = ParseJournal(forged->Bytes());
        EXPECT_EQ(read.Status, TJournalRead::Damaged) << read.Problem;
    }
}

// A copy of a well-read journal under the name of a run `age` seconds before `now`.
std::string JournalAged(const std::string& folder, const std::string& bytes, std::int64_t now,
                        std::int64_t age) {
    const std::time_t t = static_cast<std::time_t>(now - age);
    tm utc{};
    gmtime_r(&t, &utc);
    char name[64];
    std::strftime(name, sizeof name, "%Y%m%d-%H%M%S-000-0000.qmjournal", &utc);
    std::ofstream(folder + name, std::ios::binary) << bytes;
    return folder + name;
}

TEST_F(JournalFile, PrunedByAgeCountAndSizeNeverTheRunGoingOnOrADamagedOne) {
    constexpr std::int64_t kDay = 24 * 60 * 60;
    std::vector<std::size_t> sizes;
    const std::string first = Write(sizes);
    std::ifstream in(first, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    std::filesystem::remove(first);
    const std::int64_t now = 2'000'000'000;
    struct Row {
        const char* what;
        std::vector<std::int64_t> ages; // in seconds, newest first
        TJournalKeep keep;
        std::size_t kept; // the newest this many stay
    } rows[] = {
        {"the newest ten of any age",
         {kDay, 2 * kDay, 40 * kDay, 41 * kDay, 42 * kDay, 43 * kDay, 44 * kDay, 45 * kDay,
          46 * kDay, 47 * kDay, 48 * kDay, 49 * kDay},
         {30, 10},
         10},
        {"all younger than the days",
         {kDay, 2 * kDay, 3 * kDay, 4 * kDay, 30 * kDay - 60},
         {30, 2},
         5},
        {"a day over the days", {kDay, 6 * kDay, 7 * kDay + 60, 8 * kDay}, {7, 1}, 2},
        {"for ever", {kDay, 400 * kDay, 4000 * kDay}, {0, 1}, 3},
        {"the size caps even the young",
         {kDay, 2 * kDay, 3 * kDay, 4 * kDay},
         {30, 10, bytes.size() * 2 + bytes.size() / 2},
         2},
        // The second newest is three times as large (a tail of zeros reads as a cut).
        {"past the size the older ones go too",
         {kDay, 2 * kDay, 3 * kDay, 4 * kDay},
         {30, 10, bytes.size() * 2 + bytes.size() / 2},
         1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        std::vector<std::string> paths;
        for (const std::int64_t age : row.ages)
            paths.push_back(JournalAged(folder_,
                                        paths.size() == 1 && row.kept == 1
                                            ? bytes + std::string(bytes.size() * 2, '\0')
                                            : bytes,
                                        now, age));
        EXPECT_EQ(PruneJournals(folder_, row.keep, "", now),
                  static_cast<int>(row.ages.size() - row.kept));
        for (std::size_t i = 0; i < paths.size(); ++i)
            EXPECT_EQ(std::filesystem::exists(paths[i]), i < row.kept) << i;
    }

    // Over the size, all go but the run being written, a run going on in another program
    // (its writer holds the lock), and one that does not read well.
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    const std::string damaged = JournalAged(folder_, "QMJRNL\r\nbroken", now, 50 * kDay);
    const std::string old = JournalAged(folder_, bytes, now, 40 * kDay);
    TJournalWriter going;
    ASSERT_EQ(going.Begin(folder_, TJournal{}, {{0, false, "/a/", "x", "y", 7}}), "");
    const std::string between = JournalAged(folder_, bytes, std::time(nullptr), 0);
    TJournalWriter current;
    ASSERT_EQ(current.Begin(folder_, TJournal{}, {{0, false, "/a/", "x", "y", 7}}, {30, 10, 0}),
              "");
    // Not while the run begins: its first rename would wait for the prune.
    EXPECT_TRUE(std::filesystem::exists(old));
    current.PruneOlder();
    EXPECT_TRUE(std::filesystem::exists(damaged));
    EXPECT_TRUE(std::filesystem::exists(going.Path()));
    EXPECT_TRUE(std::filesystem::exists(current.Path()));
    EXPECT_FALSE(std::filesystem::exists(old));
    EXPECT_FALSE(std::filesystem::exists(between));
    // Closed, it is pruned like any other.
    going.SetResult(0, MoveResult::Done);
    EXPECT_EQ(going.Close({1, 0, 0, 0, false}), "");
    EXPECT_EQ(PruneJournals(folder_, {30, 10, 0}, current.Path(), std::time(nullptr)), 1);
    EXPECT_FALSE(std::filesystem::exists(going.Path()));
}

TEST_F(JournalFile, InUseFromBeginToClose) {
    TJournalWriter writer;
    ASSERT_EQ(writer.Begin(folder_, TJournal{}, {{0, false, "/a/", "x", "y", 7}}), "");
    EXPECT_TRUE(JournalInUse(writer.Path()));
    // A look leaves the writer's lock as it was.
    EXPECT_TRUE(JournalInUse(writer.Path()));
    EXPECT_EQ(writer.Close({0, 0, 0, 0, false}), "");
    // What an earlier call left in errno says nothing of this look.
    errno = EWOULDBLOCK;
    EXPECT_FALSE(JournalInUse(writer.Path()));
    EXPECT_FALSE(JournalInUse(folder_ + "none.qmjournal"));
}

} // namespace
} // namespace qm::test
