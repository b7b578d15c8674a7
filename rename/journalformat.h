#pragma once

// The journal's bytes, apart from its files (journal.h): what each record holds and how
// it is coded, and the reading of a journal back from its bytes. No system calls here.
//
// Every record is framed by its length and a CRC-32C of its contents. A file cut at any
// byte reads up to its last whole record; a record whose checksum fails, or a file from a
// newer format version, is refused as a whole (reported, never deleted, never trusted).

#include "rename/predict.h"
#include "rename/renamerun.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// Format 2 tells each new name's changed part against the move before's and the results
// as runs; format 3 adds to the header who ran the run; format 4 lets a run announce its
// moves in parts, each part's folders and moves followed by a mark of the moves announced
// so far, so that the first part is renamed while the next is worked out. Journals of
// formats 1 to 3 are still read.
inline constexpr std::uint32_t kJournalVersion = 4;

// Who ran a run: the window, the command line, or a journal of format 2 or older that
// does not say.
enum class JournalOrigin : std::uint8_t { Unknown, Window, CommandLine };

enum class MoveResult : std::uint8_t {
    Unknown,    // the journal was not closed: only the disk can tell
    Done,       // the file took the new name
    Failed,     // the move was refused; nothing changed
    NotReached, // the run ended (cancelled, or the journal broke) before this move
};

struct TJournalMove {
    int Entry = -1;          // the entry's index in the run
    bool Temporary = false;  // `From` or `To` is a temporary name of a cycle
    std::string Folder;      // "" or ending in "/"
    std::string From;        // relative to Folder
    std::string To;          // relative to Folder
    std::uint64_t Inode = 0; // the file's inode number; 0 where it cannot be trusted
    // The file was not in its folder when the run began (known only where inode numbers
    // are): the move cannot have been taken.
    bool Missing = false;
    MoveResult Result = MoveResult::Unknown;
};

// A move as the writer takes it: views of names held elsewhere, so that announcing a run
// of a hundred thousand files copies no name.
struct TJournalMoveRef {
    int Entry = -1;
    bool Temporary = false;
    std::string_view Folder;
    std::string_view From;
    std::string_view To;
    std::uint64_t Inode = 0;
    bool Missing = false;
};

struct TJournal {
    std::uint32_t Version = kJournalVersion;
    std::string RunId;
    std::int64_t Time = 0; // seconds since 1970, UTC
    std::string ProgramVersion;
    RenameMode Mode = RenameMode::Rename;
    RunOrder Order = RunOrder::ListOrder;
    std::uint32_t Pid = 0; // the process that ran it (case-only moves park under its id)
    int EntryCount = 0;    // entries in the run, changed or not
    std::string UndoOf;    // the run this one took back, for an undo from a journal
    // The run's current folder, ending in "/": moves of relative folders are read back
    // relative to it, so that an undo works from anywhere.
    std::string CurrentFolder;
    JournalOrigin Origin = JournalOrigin::Unknown;
    // A part of the moves was written and synced: renames may have begun. Moves written
    // after the last such mark are left out: none of them can have been taken.
    bool Started = false;
    std::vector<TJournalMove> Moves; // in the order the run took them
    bool Closed = false;
    RenameTally Tally; // when Closed
    bool Undone = false;
    std::string UndoneBy; // the run id of the undo
    bool Kept = false;    // the user chose to keep the new names of this interrupted run
};

struct TJournalRead {
    enum Kind { Ok, Unreadable, Damaged, NewerVersion };
    Kind Status = Ok;
    std::string Problem; // for the user, when not Ok
    TJournal Journal;
};

// The journal in `bytes`: whole records only; a cut tail is left out.
TJournalRead ParseJournal(std::string_view bytes);

// Where the announcing of a run's moves stands, from one part to the next: the folders
// are numbered across the parts.
struct TAnnounceCoder {
    std::size_t Folders = 0;
    std::string LastFolder;
    std::uint64_t Announced = 0;
};
// The magic and the header record (`header`'s fields as given, but for its Version, which
// is kJournalVersion).
std::string EncodeJournalHeader(const TJournal& header);
// A part of the moves, appended to `out`: the folders it enters, its moves in chunks, and
// the mark of every move announced so far.
void EncodeAnnounced(TAnnounceCoder& coder, std::span<const TJournalMoveRef> moves,
                     std::string& out);
// The bytes of a journal's start, before the run's first rename: the header and every
// move of `moves` as one part.
std::string EncodeJournalStart(const TJournal& header, std::span<const TJournalMoveRef> moves);
// The record of a move that differs from the one announced: it stands for move `index`
// (Replace) or comes before it (Insert).
std::string EncodeReplace(std::size_t index, const TJournalMoveRef& actual);
std::string EncodeInsert(std::size_t index, const TJournalMoveRef& actual);
// The closing record: the counts and the result of every move, announced ones first.
std::string EncodeClose(const RenameTally& tally, const std::vector<MoveResult>& results);
// The marks appended after a run's own records.
std::string EncodeUndoneMark(std::string_view undoRunId);
std::string EncodeKeptMark();

// A journal read for a list of runs, stepping over its moves: the header, the folders,
// the marks and the closing counts are read (and their checksums checked), the chunks of
// moves only by their frames and counts. Read.Journal holds no moves.
struct TJournalOutline {
    TJournalRead Read;
    std::uint64_t Announced = 0; // the moves announced before the run
    std::uint64_t Inserted = 0;  // moves written during the run in front of an announced one
    std::string FirstFolder;     // "" when the run has no folder
    int FolderCount = 0;
    std::uint64_t BytesRead = 0;
};
// `read(at, n, out)` puts up to `n` bytes of the journal from offset `at` into `out`
// (cleared before); false when it cannot.
using ReadJournalBytes = std::function<bool(std::uint64_t at, std::size_t n, std::string& out)>;
TJournalOutline ParseJournalOutline(std::uint64_t size, const ReadJournalBytes& read);

// A journal's first kJournalLead bytes are its magic and its header record's frame;
// JournalFirstRecordLength tells from them how long that record is, so that the header
// can be read without the moves behind it (0 when `lead` is shorter).
inline constexpr std::size_t kJournalLead = 16;
std::uint32_t JournalFirstRecordLength(std::string_view lead);

} // namespace qm
