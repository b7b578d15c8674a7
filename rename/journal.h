#pragma once

// The journal of a rename run: one file per run under $XDG_STATE_HOME/Marlowick/Quillmark/
// (by default ~/.local/state/Marlowick/Quillmark/), from which the run can be undone later,
// also after the program was killed in the middle of it.
//
// What a journal holds, in the order it is written:
//   - before the first rename: a header (format version, run id, time, program version,
//     mode, order) and every move the run is expected to take (folder, old name, new name,
//     temporary names of cycles, and the file's inode number where the file system keeps
//     those stable), then a mark that the list is complete; written in one piece,
//     fdatasync'ed, and the folder fsync'ed. A run in list order announces its moves in
//     parts instead, each written and fdatasync'ed, with its mark, before the first move
//     of it is taken: the run renames one part while the next is worked out;
//   - during the run, nothing as long as the run takes the moves it announced; a move that
//     differs (a failure that shifted the numbering, a cycle taken back) is written with
//     write() before it is taken, never synced: a killed process has handed it to the
//     kernel, and only a lost machine could lose it, together with the renames after it;
//   - at the end, the outcome of every move and the counts, synced;
//   - later, a mark that the run has been undone, or that the user keeps its new names
//     (an interrupted run is then not offered for undo again).
// So a run costs two fdatasync's (one more a part) and one folder fsync, and no system call
// per file.
//
// How the records are coded, and how a journal is read from its bytes: journalformat.h.
//
// Nothing here is shared between threads, but for a writer's Announce, which one thread
// may call while another takes the moves announced before (Replace, Insert, SetResult).

#include "rename/journalformat.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// The journal of the file at `path`, read as ParseJournal reads its bytes.
TJournalRead ReadJournal(const std::string& path);
// The header of the journal at `path` alone (no moves, not Started): which run it is and
// what it undoes, without reading the moves of a run of a million files.
TJournalRead ReadJournalHeader(const std::string& path);

// $XDG_STATE_HOME/Marlowick/Quillmark/ (or ~/.local/state/...), ending in "/".
std::string JournalFolder();
// The journal files of `folder`, oldest first (their names sort by time).
std::vector<std::string> JournalFiles(const std::string& folder);
// A run's time (seconds since 1970) in local time, as strftime formats it.
std::string JournalLocalTime(std::int64_t seconds, const char* format);
// A run's time from its journal's name (seconds since 1970), -1 when the name does not
// tell it.
std::int64_t JournalNameTime(const std::string& path);
// The path of the journal of `runId` in `folder`.
std::string JournalPath(const std::string& folder, const std::string& runId);

// Appends the mark that the run of `path` was undone by `undoRunId`, synced. Returns ""
// or the reason it could not.
std::string MarkJournalUndone(const std::string& path, const std::string& undoRunId);

// Appends the mark that the user keeps the new names of the run of `path`, synced.
// Returns "" or the reason it could not.
std::string MarkJournalKept(const std::string& path);

// Whether the writer of the journal at `path` still holds it: a run going on, in this
// process or another.
bool JournalInUse(const std::string& path);

// How long journals are kept: each for `Days` (0: for ever), and the newest `Newest` of
// any age, whichever keeps more; and, of those, never more than `MaxBytes` together, the
// oldest going first.
struct TJournalKeep {
    static constexpr std::uint64_t kDefaultMaxBytes = std::uint64_t{512} << 20;
    int Days = 30;
    std::size_t Newest = 10;
    std::uint64_t MaxBytes = kDefaultMaxBytes;
};

// Removes the journals of `folder` that `keep` lets go at `now` (seconds since 1970, UTC),
// oldest first. Never `current` (the run being written), one a writer holds (a run going
// on elsewhere), or one that does not read well (left for the user to look at). A
// journal's age is its run's time, which its name tells. Returns how many went.
int PruneJournals(const std::string& folder, const TJournalKeep& keep, const std::string& current,
                  std::int64_t now);

// The writer of one run's journal.
class TJournalWriter {
public:
    TJournalWriter() = default;
    ~TJournalWriter();
    TJournalWriter(const TJournalWriter&) = delete;
    TJournalWriter& operator=(const TJournalWriter&) = delete;

    // Creates the journal in `folder` (made if missing), writes `header` (its RunId, Time
    // and Pid are filled in here) and `moves`, and syncs file and folder. Returns "" or the
    // reason nothing could be written; the run must not start then. `room`: how many moves the run may announce in all, when it announces
    // more later (Announce).
    std::string Begin(const std::string& folder, TJournal header,
                      std::span<const TJournalMoveRef> moves, const TJournalKeep& keep = {},
                      std::size_t room = 0);
    std::string Begin(const std::string& folder, TJournal header,
                      const std::vector<TJournalMoveRef>& moves, const TJournalKeep& keep = {}) {
        return Begin(folder, std::move(header), std::span<const TJournalMoveRef>(moves), keep);
    }

    // Another part of the run's moves, after those announced before, written and synced.
    // Returns 0 or the errno value of a write or sync that failed; the journal is then cut
    // back to what it held, and none of these moves may be taken. More moves than Begin's
    // `room` are refused with EOVERFLOW.
    int Announce(std::span<const TJournalMoveRef> moves);
    std::size_t Announced() const { return announced_.load(std::memory_order_acquire); }

    // A move that differs from the one announced, written before it is taken: it stands
    // for move `index` (Replace) or comes before it (Insert; `index` may be the count of
    // moves). Returns 0 or the errno value of a failed write, after which the move must not
    // be taken.
    int Replace(std::size_t index, const TJournalMoveRef& actual);
    int Insert(std::size_t index, const TJournalMoveRef& actual);

    // The result of move `index`: an announced move's place, or LastInserted() after its
    // Insert (when every move was announced at Begin, inserted moves also count on from
    // the announced ones, in the order they were written).
    void SetResult(std::size_t index, MoveResult result);
    std::size_t LastInserted() const { return kInserted + inserted_.size() - 1; }
    std::size_t MoveCount() const { return Announced() + inserted_.size(); }

    // The closing record with every result and the counts, synced; then PruneOlder, if no
    // one called it yet. Returns "" or why the record could not be written.
    std::string Close(const RenameTally& tally);

    // Once a run's journal is begun: removes the older journals that Begin's `keep` lets
    // go (PruneJournals; the writer keeps a lock on its journal until Close or its end, so
    // a run going on in another program keeps its journal). Only the first call does it;
    // any thread may make it. Not part of Begin: a prune may read old journals, some tens
    // of milliseconds that the first rename would wait for, so a run calls it once its
    // renames are under way, or Close does.
    void PruneOlder();

    const std::string& Path() const { return path_; }
    const std::string& RunId() const { return runId_; }

private:
    int Append(std::string_view record);

    static constexpr std::size_t kInserted = std::size_t{1} << 62;
    int fd_ = -1;
    std::string path_;
    std::string runId_;
    // Held while a record is written: the announcing thread and the run both write.
    std::mutex writing_;
    std::uint64_t size_ = 0; // bytes written, under writing_
    TAnnounceCoder coder_;
    // What the run touches at every move, on cache lines of their own: the announcing
    // thread writes the coder at every move it announces.
    alignas(64) std::atomic<std::size_t> announced_{0};
    std::vector<MoveResult> results_; // the room for every announced move's result
    std::vector<MoveResult> inserted_;
    // What PruneOlder needs, set by Begin.
    std::string folder_;
    TJournalKeep keep_;
    std::int64_t time_ = 0;
    std::atomic<bool> pruned_{true};
};

} // namespace qm
