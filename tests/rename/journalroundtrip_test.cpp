// Journals of random runs written and read back: every field of every move, the results,
// the counts and the marks come back as written, whole and through the header alone, so
// that history and undo never call a well-written journal damaged.

#include "rename/journal.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <sstream>
#include <unistd.h>

namespace qm::test {
namespace {

using Random = std::mt19937_64;

std::uint64_t Pick(Random& random, std::uint64_t n) {
    return std::uniform_int_distribution<std::uint64_t>(0, n - 1)(random);
}

// Names as runs make them (numbered, sharing their ends with the one before) and as no
// run would (any byte but "/" and NUL, long, empty parts).
std::string RandomName(Random& random, const std::string& before) {
    switch (Pick(random, 5)) {
    case 0: {
        char name[40];
        std::snprintf(name, sizeof name, "IMG_%06u.jpg",
                      static_cast<unsigned>(Pick(random, 1000000)));
        return name;
    }
    case 1: // the name before with a part changed
        if (!before.empty()) {
            std::string name = before;
            const std::size_t at = Pick(random, name.size());
            name.replace(at, Pick(random, name.size() - at + 1), std::string(Pick(random, 4), 'x'));
            return name.empty() ? "e" : name;
        }
        return "b";
    case 2:
        return std::string(1 + Pick(random, 255), static_cast<char>('a' + Pick(random, 26)));
    default: {
        std::string name(1 + Pick(random, 20), 'a');
        for (char& c : name) {
            do
                c = static_cast<char>(1 + Pick(random, 255));
            while (c == '/');
        }
        return name;
    }
    }
}

struct Model {
    std::vector<TJournalMove> announced;
    std::vector<std::pair<std::size_t, TJournalMove>> inserted; // before announced move .first
    std::vector<MoveResult> results;                            // announced, then inserted
};

TJournalMove RandomMove(Random& random, const std::vector<std::string>& folders,
                        const TJournalMove* before) {
    TJournalMove m;
    // Entries mostly rising by a small step, now and then none (-1) or the largest.
    const std::int64_t step = static_cast<std::int64_t>(Pick(random, 7)) - 2;
    const std::int64_t entry = (before ? before->Entry : 0) + step;
    m.Entry = static_cast<int>(std::clamp<std::int64_t>(entry, 0, 0x7FFFFFFE));
    if (Pick(random, 8) == 0)
        m.Entry = -1;
    if (Pick(random, 20) == 0)
        m.Entry = 0x7FFFFFFE;
    m.Temporary = Pick(random, 4) == 0;
    m.Missing = Pick(random, 6) == 0;
    m.Folder = folders[Pick(random, folders.size())];
    const std::uint64_t inodes[] = {0,
                                    1,
                                    before ? before->Inode + 1 : 2,
                                    before ? before->Inode - 1 : 3,
                                    random(),
                                    ~std::uint64_t{0}};
    m.Inode = inodes[Pick(random, 6)];
    m.From = RandomName(random, before ? before->From : "");
    m.To = Pick(random, 3) == 0 ? RandomName(random, m.From)
                                : RandomName(random, before ? before->To : "");
    return m;
}

TJournalMoveRef Ref(const TJournalMove& m) {
    return {m.Entry, m.Temporary, m.Folder, m.From, m.To, m.Inode, m.Missing};
}

std::string Describe(const TJournalMove& m) {
    std::ostringstream out;
    out << m.Entry << " t" << m.Temporary << " m" << m.Missing << " " << m.Folder << "|" << m.From
        << "|" << m.To << " ino=" << m.Inode << " r" << static_cast<int>(m.Result);
    return out.str();
}

class JournalRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path().string() + "/qm-journal-roundtrip-" +
                  std::to_string(getpid()) + "/";
        cwd_ = std::filesystem::current_path().string() + "/";
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string folder_, cwd_;
};

// The descriptors the process holds, to tell one left open.
int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& fd : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// The run's id begins with its time in UTC, so that journal names sort by time.
std::string TimeInId(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &utc);
    return text;
}

TEST_F(JournalRoundTrip, RandomRunsReadBackAsWritten) {
    Random random(32);
    const int descriptors = OpenDescriptors();
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        // Absolute and relative folders; a relative one reads back against the run's
        // current folder.
        std::vector<std::string> folders = {"/a/", "/a/b c/", "rel/", "/", ""};
        folders.resize(1 + Pick(random, folders.size()));
        Model model;
        const std::size_t count = round % 10 == 0 ? 0 : Pick(random, round % 3 == 0 ? 3000 : 40);
        for (std::size_t i = 0; i < count; ++i)
            model.announced.push_back(
                RandomMove(random, folders, i ? &model.announced.back() : nullptr));
        std::vector<TJournalMoveRef> refs;
        for (const TJournalMove& m : model.announced)
            refs.push_back(Ref(m));

        TJournal header;
        header.ProgramVersion = std::to_string(round) + ".0";
        header.Mode = round % 2 ? RenameMode::Undo : RenameMode::Rename;
        header.Order = round % 4 < 2 ? RunOrder::Planned : RunOrder::ListOrder;
        header.EntryCount = static_cast<int>(Pick(random, 100000));
        header.UndoOf = round % 2 ? "20260101-000000-000-abcd" : "";
        TJournalWriter writer;
        ASSERT_EQ(writer.Begin(folder_, header, refs), "");
        model.results.assign(count, MoveResult::NotReached);

        // Moves that differ from the announced ones, written during the run.
        const std::size_t changes = Pick(random, 6);
        for (std::size_t k = 0; k < changes; ++k) {
            TJournalMove m = RandomMove(random, folders, nullptr);
            if (count > 0 && Pick(random, 2) == 0) {
                const std::size_t index = Pick(random, count);
                ASSERT_EQ(writer.Replace(index, Ref(m)), 0);
                model.announced[index] = m;
            } else {
                const std::size_t index = Pick(random, count + 1);
                ASSERT_EQ(writer.Insert(index, Ref(m)), 0);
                model.inserted.emplace_back(index, m);
                model.results.push_back(MoveResult::NotReached);
            }
        }
        ASSERT_EQ(writer.MoveCount(), model.results.size());
        const bool closed = Pick(random, 4) != 0;
        RenameTally tally;
        if (closed) {
            // Results in runs, as a run leaves them, and scattered.
            const MoveResult kinds[] = {MoveResult::Done, MoveResult::Failed,
                                        MoveResult::NotReached, MoveResult::Unknown};
            MoveResult result = MoveResult::Done;
            for (std::size_t i = 0; i < model.results.size(); ++i) {
                if (Pick(random, 5) == 0)
                    result = kinds[Pick(random, 4)];
                model.results[i] = result;
                writer.SetResult(i, result);
            }
            tally = {static_cast<int>(Pick(random, 1000)), static_cast<int>(Pick(random, 1000)),
                     static_cast<int>(Pick(random, 1000)), static_cast<std::int32_t>(random()),
                     Pick(random, 2) == 0};
            ASSERT_EQ(writer.Close(tally), "");
        }
        const int mark = static_cast<int>(Pick(random, 3));
        if (mark == 1) {
            ASSERT_EQ(MarkJournalUndone(writer.Path(), "undo-" + std::to_string(round)), "");
        }
        if (mark == 2) {
            ASSERT_EQ(MarkJournalKept(writer.Path()), "");
        }

        const TJournalRead read = ReadJournal(writer.Path());
        ASSERT_EQ(read.Status, TJournalRead::Ok) << read.Problem;
        const TJournal& j = read.Journal;
        EXPECT_EQ(j.Version, kJournalVersion);
        EXPECT_EQ(j.RunId, writer.RunId());
        EXPECT_EQ(writer.Path(), JournalPath(folder_, j.RunId));
        EXPECT_EQ(j.ProgramVersion, header.ProgramVersion);
        EXPECT_EQ(j.Mode, header.Mode);
        EXPECT_EQ(j.Order, header.Order);
        EXPECT_EQ(j.EntryCount, header.EntryCount);
        EXPECT_EQ(j.UndoOf, header.UndoOf);
        EXPECT_EQ(j.Pid, static_cast<std::uint32_t>(getpid()));
        EXPECT_EQ(j.CurrentFolder, cwd_);
        EXPECT_LE(std::abs(j.Time - static_cast<std::int64_t>(std::time(nullptr))), 5);
        // The id and the time come from two clocks, which may stand a second apart.
        EXPECT_TRUE(j.RunId.starts_with(TimeInId(j.Time)) ||
                    j.RunId.starts_with(TimeInId(j.Time - 1)) ||
                    j.RunId.starts_with(TimeInId(j.Time + 1)))
            << j.RunId << " " << j.Time;
        EXPECT_TRUE(j.Started);
        EXPECT_EQ(j.Closed, closed);
        EXPECT_EQ(j.Undone, mark == 1);
        EXPECT_EQ(j.UndoneBy, mark == 1 ? "undo-" + std::to_string(round) : "");
        EXPECT_EQ(j.Kept, mark == 2);
        if (closed) {
            EXPECT_EQ(j.Tally.Renamed, tally.Renamed);
            EXPECT_EQ(j.Tally.Unchanged, tally.Unchanged);
            EXPECT_EQ(j.Tally.Failed, tally.Failed);
            EXPECT_EQ(j.Tally.NumberIncValue, tally.NumberIncValue);
            EXPECT_EQ(j.Tally.Cancelled, tally.Cancelled);
        }

        // Each inserted move before the announced one it was written in front of, in the
        // order written; results listed announced first.
        std::vector<std::string> expected;
        for (std::size_t i = 0; i <= count; ++i) {
            for (std::size_t k = 0; k < model.inserted.size(); ++k) {
                if (model.inserted[k].first != i)
                    continue;
                TJournalMove m = model.inserted[k].second;
                m.Result = closed ? model.results[count + k] : MoveResult::Unknown;
                if (!m.Folder.starts_with('/'))
                    m.Folder = cwd_ + m.Folder;
                expected.push_back(Describe(m));
            }
            if (i < count) {
                TJournalMove m = model.announced[i];
                m.Result = closed ? model.results[i] : MoveResult::Unknown;
                if (!m.Folder.starts_with('/'))
                    m.Folder = cwd_ + m.Folder;
                expected.push_back(Describe(m));
            }
        }
        std::vector<std::string> got;
        for (const TJournalMove& m : j.Moves)
            got.push_back(Describe(m));
        ASSERT_EQ(got.size(), expected.size());
        for (std::size_t i = 0; i < got.size(); ++i)
            ASSERT_EQ(got[i], expected[i]) << "move " << i;

        const TJournalRead head = ReadJournalHeader(writer.Path());
        ASSERT_EQ(head.Status, TJournalRead::Ok) << head.Problem;
        EXPECT_EQ(head.Journal.RunId, j.RunId);
        EXPECT_EQ(head.Journal.UndoOf, j.UndoOf);
        EXPECT_EQ(head.Journal.Mode, j.Mode);
        std::filesystem::remove(writer.Path());
    }
    // Neither reading nor marking a journal leaves a descriptor open: the window reads
    // the history again and again.
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

// A journal must begin with its header: the same records without it are damaged, not a
// journal of no moves (which undo would take for a run that renamed nothing).
TEST_F(JournalRoundTrip, RecordsWithoutTheirHeaderAreDamaged) {
    TJournalWriter writer;
    const std::vector<TJournalMoveRef> moves = {{0, false, "/a/", "x", "y", 7}};
    ASSERT_EQ(writer.Begin(folder_, TJournal{}, moves), "");
    ASSERT_EQ(writer.Close({1, 0, 0, 0, false}), "");
    std::ifstream in(writer.Path(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    // The magic (8 bytes), then the header record: its length (4), checksum (4), body.
    const std::size_t length = static_cast<unsigned char>(bytes[8]) |
                               static_cast<std::size_t>(static_cast<unsigned char>(bytes[9])) << 8;
    const std::string headless = bytes.substr(0, 8) + bytes.substr(16 + length);
    const TJournalRead read = ParseJournal(headless);
    EXPECT_EQ(read.Status, TJournalRead::Damaged);
    EXPECT_TRUE(read.Journal.Moves.empty());
    EXPECT_EQ(ParseJournal(bytes).Status, TJournalRead::Ok);
}

std::uint32_t SlowCrc32c(std::string_view data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : data) {
        crc ^= static_cast<unsigned char>(c);
        for (int k = 0; k < 8; ++k)
            crc = crc & 1 ? (crc >> 1) ^ 0x82F63B78u : crc >> 1;
    }
    return ~crc;
}

std::string Framed(const std::string& body) {
    std::string out;
    for (const std::uint32_t v : {static_cast<std::uint32_t>(body.size()), SlowCrc32c(body)})
        for (int i = 0; i < 4; ++i)
            out += static_cast<char>(v >> (8 * i));
    return out + body;
}

// Every record is read to its last byte: any record of a journal holding each kind, with
// a byte more or a byte less (its frame made to fit), makes the journal damaged, and so
// does a second header.
TEST_F(JournalRoundTrip, ARecordOfAnyKindThatIsLongerOrShorterIsDamaged) {
    TJournalWriter writer;
    const std::vector<TJournalMoveRef> moves = {{0, false, "/a/", "x1", "y1", 7},
                                                {1, true, "rel/", "x2", ".qm-plan-1", 8}};
    ASSERT_EQ(writer.Begin(folder_, TJournal{}, moves), "");
    ASSERT_EQ(writer.Replace(1, {1, false, "/a/", "x2", "y2", 8}), 0);
    ASSERT_EQ(writer.Insert(2, {2, false, "/b/", "x3", "y3", 9}), 0);
    writer.SetResult(0, MoveResult::Done);
    ASSERT_EQ(writer.Close({1, 0, 1, 3, false}), "");
    // The empty mark not last: an empty record's frame is all zeros, which at the end
    // reads as the zeros a lost machine leaves, a cut.
    ASSERT_EQ(MarkJournalKept(writer.Path()), "");
    ASSERT_EQ(MarkJournalUndone(writer.Path(), "undo"), "");
    std::ifstream in(writer.Path(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    ASSERT_EQ(ParseJournal(bytes).Status, TJournalRead::Ok);

    std::vector<std::string> bodies;
    for (std::size_t at = 8; at + 8 <= bytes.size();) {
        std::uint32_t length = 0;
        for (int i = 0; i < 4; ++i)
            length |= std::uint32_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
        bodies.push_back(bytes.substr(at + 8, length));
        at += 8 + length;
    }
    std::set<char> kinds;
    for (const std::string& body : bodies)
        kinds.insert(body[0]);
    EXPECT_EQ(kinds.size(), 9u); // header, folder, moves, started, replace, insert, close, marks
    for (std::size_t k = 0; k < bodies.size(); ++k) {
        for (const int change : {+1, -1}) {
            SCOPED_TRACE("record " + std::to_string(k) + " of kind " +
                         std::to_string(bodies[k][0]) +
                         (change > 0 ? ", a byte more" : ", a byte less"));
            std::string forged = bytes.substr(0, 8);
            for (std::size_t i = 0; i < bodies.size(); ++i) {
                std::string body = bodies[i];
                if (i == k)
                    change > 0 ? body.push_back('\0') : body.pop_back();
                forged += Framed(body);
            }
            EXPECT_EQ(ParseJournal(forged).Status, TJournalRead::Damaged);
        }
    }
    std::string twoHeaders = bytes.substr(0, 8) + Framed(bodies[0]);
    for (const std::string& body : bodies)
        twoHeaders += Framed(body);
    EXPECT_EQ(ParseJournal(twoHeaders).Status, TJournalRead::Damaged);
}

} // namespace
} // namespace qm::test
