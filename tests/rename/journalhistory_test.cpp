#include "rename/journalhistory.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace qm::test {
namespace {

namespace fs = std::filesystem;

class JournalHistory : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path().string() + "/qm-history-test-" +
                  std::to_string(getpid()) + "/journals/";
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_ + ".."); }

    std::string Bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void Put(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }

    // A closed run (an undo of `undoOf` when given) with `failed` of its two moves failed.
    std::string Run(const std::string& undoOf = "", int failed = 0) {
        // Two runs begun within one millisecond may sort either way by their ids.
        usleep(2000);
        TJournalWriter writer;
        TJournal header;
        header.EntryCount = 2;
        header.Mode = undoOf.empty() ? RenameMode::Rename : RenameMode::Undo;
        header.UndoOf = undoOf;
        EXPECT_EQ(writer.Begin(folder_, header,
                               {{0, false, "/p/", "a", "b", 1}, {1, false, "/q/", "c", "d", 2}}),
                  "");
        EXPECT_EQ(writer.Close({2 - failed, 0, failed, 0, false}), "");
        return writer.RunId();
    }

    std::string folder_;
};

// The list reads each journal's small records: every cut of a journal reads to the same
// facts as the whole reading, and a damaged frame or small record is damaged in both.
TEST_F(JournalHistory, ASummaryTellsWhatTheWholeJournalTells) {
    TJournalWriter writer;
    TJournal header;
    header.EntryCount = 5;
    ASSERT_EQ(writer.Begin(folder_, header,
                           {{0, false, "/a/", "Track 1.mp3", "Track 2.mp3", 1234567},
                            {1, true, "/a/", "x", ".qm-plan-1", 1234568},
                            {3, false, "/b/", "photo_0001.jpg", "holiday_0001.jpg", 99},
                            {1, true, "/a/", ".qm-plan-1", "y", 1234568}}),
              "");
    ASSERT_EQ(writer.Insert(1, {4, false, "rel/", "z", "w", 0}), 0);
    ASSERT_EQ(writer.Close({2, 1, 1, 7, true}), "");
    ASSERT_EQ(MarkJournalUndone(writer.Path(), "the-undo"), "");
    ASSERT_EQ(MarkJournalKept(writer.Path()), "");
    const std::string whole = Bytes(writer.Path());
    const std::string path = folder_ + "cut.qmjournal";
    for (std::size_t size = 0; size <= whole.size(); ++size) {
        SCOPED_TRACE(size);
        Put(path, whole.substr(0, size));
        const TJournalRead read = ReadJournal(path);
        const TJournalSummary summary = ReadJournalSummary(path);
        ASSERT_EQ(summary.Status, read.Status) << read.Problem;
        if (read.Status != TJournalRead::Ok)
            continue;
        const TJournal& j = summary.Journal;
        EXPECT_EQ(j.RunId, read.Journal.RunId);
        EXPECT_EQ(j.EntryCount, 5);
        EXPECT_EQ(j.Started, read.Journal.Started);
        EXPECT_EQ(j.Closed, read.Journal.Closed);
        EXPECT_EQ(j.Tally.Failed, read.Journal.Tally.Failed);
        EXPECT_EQ(j.Tally.Cancelled, read.Journal.Tally.Cancelled);
        EXPECT_EQ(j.Undone, read.Journal.Undone);
        EXPECT_EQ(j.UndoneBy, read.Journal.UndoneBy);
        EXPECT_EQ(j.Kept, read.Journal.Kept);
        if (j.Started) {
            EXPECT_EQ(summary.Announced, 4u);
            EXPECT_EQ(summary.FirstFolder, "/a/");
            EXPECT_EQ(summary.FolderCount, 2);
        }
    }
    // A changed byte: where the summary reads it, it is damaged as in the whole reading;
    // inside a chunk of moves it is stepped over.
    const std::size_t headerEnd = kJournalLead + JournalFirstRecordLength(whole);
    for (std::size_t at = 0; at < whole.size(); ++at) {
        std::string changed = whole;
        changed[at] = static_cast<char>(changed[at] ^ 0x20);
        Put(path, changed);
        const TJournalSummary summary = ReadJournalSummary(path);
        if (summary.Status != TJournalRead::Ok) {
            EXPECT_NE(ReadJournal(path).Status, TJournalRead::Ok) << at;
        } else {
            EXPECT_GE(at, headerEnd);
        }
        // The last mark is read whole: its checksum and contents (a changed length reads
        // as a cut).
        if (at >= whole.size() - 5) {
            EXPECT_NE(summary.Journal.Kept && summary.Journal.UndoneBy == "the-undo" &&
                          summary.Journal.Closed,
                      summary.Status != TJournalRead::Ok)
                << at;
        }
    }
}

// A run of a million moves is listed from a few kilobytes of its journal.
TEST_F(JournalHistory, AMillionMovesAreNotReadToListTheRun) {
    std::vector<std::string> names(1'000'000);
    std::vector<TJournalMoveRef> moves;
    moves.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        names[i] = "IMG_" + std::to_string(1'000'000 + i) + ".jpg";
        moves.push_back({static_cast<int>(i), false, i < 500'000 ? "/photos/a/" : "/photos/b/",
                         names[i], std::string_view(names[i]).substr(4), i + 1});
    }
    TJournalWriter writer;
    TJournal header;
    header.EntryCount = static_cast<int>(names.size());
    ASSERT_EQ(writer.Begin(folder_, header, moves), "");
    ASSERT_EQ(writer.Close({1'000'000, 0, 0, 0, false}), "");
    const TJournalSummary summary = ReadJournalSummary(writer.Path());
    ASSERT_EQ(summary.Status, TJournalRead::Ok) << summary.Problem;
    EXPECT_EQ(summary.Announced, 1'000'000u);
    EXPECT_EQ(summary.FolderCount, 2);
    EXPECT_GT(summary.FileSize, 4u << 20);
    EXPECT_LT(summary.BytesRead, 64u << 10);
    const std::vector<THistoryRun> runs = ReadHistory(folder_);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(HistoryCountsText(runs[0]), "1000000 renamed, 0 unchanged, 0 failed");
    EXPECT_EQ(HistoryFolderText(runs[0]), "/photos/a/ (+1 more)");
}

// What became of a run is told by the undos after it, and decides whether it can be taken
// back now.
TEST_F(JournalHistory, StatesAndRefusalsFollowTheUndos) {
    const std::string run = Run();
    const std::string partly = Run(run, 1);
    std::vector<THistoryRun> runs = ReadHistory(folder_);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].Summary.Journal.RunId, partly);
    EXPECT_EQ(HistoryStateText(runs[1]), "finished, partly undone (1 file not back)");
    EXPECT_EQ(UndoRefusal(runs, 1), "");

    const std::string undo = Run(run);
    ASSERT_EQ(MarkJournalUndone(JournalPath(folder_, run), undo), "");
    runs = ReadHistory(folder_);
    EXPECT_EQ(HistoryStateText(runs[2]), "finished, undone");
    EXPECT_NE(UndoRefusal(runs, 2), "");
    EXPECT_EQ(HistoryStateText(runs[0]), "finished, undo of " + run);
    EXPECT_EQ(UndoRefusal(runs, 0), "");

    // Its undo taken back, the run's names are on the disk again, but the run is still
    // refused: the undo's undo is the one to take back.
    const std::string redo = Run(undo);
    ASSERT_EQ(MarkJournalUndone(JournalPath(folder_, undo), redo), "");
    runs = ReadHistory(folder_);
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_TRUE(runs[3].UndoTakenBack);
    EXPECT_EQ(HistoryStateText(runs[3]), "finished, undone, its undo taken back");
    EXPECT_NE(UndoRefusal(runs, 3).find("take back the run that took it back"), std::string::npos);
    EXPECT_NE(UndoRefusal(runs, 1), "");
    EXPECT_EQ(UndoRefusal(runs, 0), "");
    // The newest two only, each still told by the newer ones.
    const std::vector<THistoryRun> newest = ReadHistory(folder_, 2);
    ASSERT_EQ(newest.size(), 2u);
    EXPECT_EQ(HistoryStateText(newest[1]), HistoryStateText(runs[1]));

    // A damaged journal is a row of its own, and refused.
    const std::string broken = JournalPath(folder_, run);
    std::string bytes = Bytes(broken);
    bytes[20] = static_cast<char>(bytes[20] ^ 1);
    Put(broken, bytes);
    runs = ReadHistory(folder_);
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[3].Summary.Status, TJournalRead::Damaged);
    EXPECT_EQ(HistoryStateText(runs[3]).rfind("damaged: ", 0), 0u);
    EXPECT_NE(UndoRefusal(runs, 3), "");
}

} // namespace
} // namespace qm::test
