#pragma once

// The history of journaled runs (journal.h), as `quillmark-cli history` and the window's
// history list show it: one row a journal, newest first, each with its state worked out
// from the journals after it (an undo tells what became of the run it took back).
//
// A row is read from the journal's small records only: the header, the folders, the mark
// that the list of moves is complete, the closing counts and the marks after them. The
// chunks of moves are stepped over by their frames, so listing a run of a million files
// reads a few kilobytes of it; a chunk damaged inside shows when the run is opened
// (ReadJournal), a damaged frame or small record already in the list.

#include "rename/journal.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qm {

// A journal as the history lists it: TJournalRead without the moves.
struct TJournalSummary {
    std::string Path;
    TJournalRead::Kind Status = TJournalRead::Ok;
    std::string Problem; // when not Ok
    TJournal Journal;    // its Moves left empty
    // The moves announced before the run (folders made count as moves), and those written
    // during it in front of an announced one.
    std::uint64_t Announced = 0;
    std::uint64_t Inserted = 0;
    std::string FirstFolder; // the folder of the first move, "" when none
    int FolderCount = 0;     // the folders the announced moves are in
    std::uint64_t FileSize = 0;
    std::uint64_t BytesRead = 0; // of the file, to fill this in
};

TJournalSummary ReadJournalSummary(const std::string& path);

struct THistoryRun {
    TJournalSummary Summary;
    // The run's own course.
    enum class Course { NotStarted, Interrupted, Cancelled, Finished };
    Course Progress = Course::NotStarted;
    // A run not closed whose writer still holds its journal: it is going on now.
    bool GoingOn = false;
    // An undo of the run was taken that did not finish it (and the run is not marked
    // undone): how many files the newest such undo left not back, 0 when it did not say
    // (it was cut short or cancelled).
    std::optional<int> PartlyUndone;
    // Marked undone, and the undo that took it back was itself taken back since: the run's
    // names are on the disk again.
    bool UndoTakenBack = false;
};

// The journals of `folder`, newest first; `limit` > 0 reads the newest `limit` only (the
// state of each is still told from every newer one).
std::vector<THistoryRun> ReadHistory(const std::string& folder, std::size_t limit = 0);

// The state as `quillmark-cli history` prints it ("finished, undone", "interrupted,
// partly undone (3 files not back)", "damaged: ..."), in English.
std::string HistoryStateText(const THistoryRun& run);
// The counts: "R renamed, U unchanged, F failed" once closed, else "N files, M renames
// planned".
std::string HistoryCountsText(const THistoryRun& run);
// Where: the first folder, with " (+N more)" for the others; "-" for a run of no moves.
std::string HistoryFolderText(const THistoryRun& run);

// Why the run `runs[index]` cannot be taken back now, "" when it can: a journal that
// cannot be read (damaged, unreadable, of a newer version), a run going on, or a run
// marked undone (also when its undo was taken back since: the undo's journal tells the
// moves as taken back, so the undo of the undo's undo is the one to take). `quillmark-cli undo --run` and the window's
// "Undo this run" refuse alike.
std::string UndoRefusal(const std::vector<THistoryRun>& runs, std::size_t index);

} // namespace qm
