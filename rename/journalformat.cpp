#include "rename/journalformat.h"

#include <algorithm>
#include <array>
#include <limits>

namespace qm {
namespace {

constexpr std::string_view kMagic = "QMJRNL\r\n";
constexpr std::size_t kFrame = 8; // length and checksum, 32 bits each
constexpr std::size_t kChunk = 64 * 1024;
static_assert(kJournalLead == kMagic.size() + kFrame);

enum RecordType : std::uint8_t {
    kHeader = 1,
    kFolder = 2,
    kMoves = 3,
    kStarted = 4,
    kReplace = 5,
    kInsert = 6,
    kClose = 7,
    kUndone = 8,
    kKept = 9,
};

// CRC-32C, eight bytes a step: the journal of a large run is a few megabytes, and the
// checksum must not cost the run its speed.
struct Crc32cTables {
    std::array<std::array<std::uint32_t, 256>, 8> t{};
    Crc32cTables() {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? (c >> 1) ^ 0x82F63B78u : c >> 1;
            t[0][i] = c;
        }
        for (std::uint32_t i = 0; i < 256; ++i)
            for (int k = 1; k < 8; ++k)
                t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    }
};

std::uint32_t Crc32c(std::string_view data) {
    static const Crc32cTables tables;
    const auto& t = tables.t;
    std::uint32_t crc = 0xFFFFFFFFu;
    const auto* p = reinterpret_cast<const unsigned char*>(data.data());
    std::size_t n = data.size();
    while (n >= 8) {
        const std::uint32_t lo = crc ^ (p[0] | std::uint32_t{p[1]} << 8 |
                                        std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24);
        crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
              t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
        p += 8;
        n -= 8;
    }
    while (n-- > 0)
        crc = (crc >> 8) ^ t[0][(crc ^ *p++) & 0xFF];
    return ~crc;
}

// ---- encoding ----

void PutU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>(v >> (8 * i));
}

void PutVar(std::string& out, std::uint64_t v) {
    while (v >= 0x80) {
        out += static_cast<char>(v | 0x80);
        v >>= 7;
    }
    out += static_cast<char>(v);
}

void PutText(std::string& out, std::string_view text) {
    PutVar(out, text.size());
    out.append(text);
}

// Opens a record in `out`; CloseRecord fills in its frame.
std::size_t OpenRecord(std::string& out, RecordType type) {
    const std::size_t at = out.size();
    out.append(kFrame, '\0');
    out += static_cast<char>(type);
    return at;
}

void CloseRecord(std::string& out, std::size_t at) {
    const std::string_view body = std::string_view(out).substr(at + kFrame);
    std::string frame;
    PutU32(frame, static_cast<std::uint32_t>(body.size()));
    PutU32(frame, Crc32c(body));
    out.replace(at, kFrame, frame);
}

char Flags(const TJournalMoveRef& m) {
    return static_cast<char>((m.Temporary ? 1 : 0) | (m.Missing ? 2 : 0));
}

bool ReadFlags(std::uint8_t flags, TJournalMove& m) {
    m.Temporary = flags & 1;
    m.Missing = flags & 2;
    return flags <= 3;
}

std::uint64_t ZigZag(std::int64_t v) {
    return (static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63);
}

std::int64_t UnZigZag(std::uint64_t v) {
    return static_cast<std::int64_t>(v >> 1) ^ -static_cast<std::int64_t>(v & 1);
}

std::size_t SharedPrefix(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

// The bytes `a` and `b` share at their ends, leaving their first `skip` bytes out.
std::size_t SharedSuffix(std::string_view a, std::string_view b, std::size_t skip) {
    const std::size_t n = std::min(a.size(), b.size()) - skip;
    std::size_t i = 0;
    while (i < n && a[a.size() - 1 - i] == b[b.size() - 1 - i])
        ++i;
    return i;
}

// A chunk of moves, each told against the one before (entry, folder, inode, old name)
// and its new name against its old one: numbered names in one folder share most of
// their bytes, and the journal of a large run stays small enough to cost the run nothing
// to write. Format 2 tells the old name between the ends it shares with the one before
// ("file_000124.jpg" after "file_000123.jpg" is "4"), the part of the new name that
// differs from the old against the one before ("pic_000124" after "pic_000123"), and the
// entry's step, its flags and whether its folder changed in one byte: a million-file
// journal where every name changes its front and gains a number is half the size.
struct ChunkCoder {
    std::int64_t entry = 0;
    std::size_t folder = std::numeric_limits<std::size_t>::max();
    std::uint64_t inode = 0;
    std::string from;
    std::string middle;

    void Put(std::string& out, const TJournalMoveRef& m, std::size_t folderIndex) {
        const bool newFolder = folderIndex != folder;
        PutVar(out, ZigZag(std::int64_t{m.Entry} + 1 - entry) << 3 |
                        static_cast<std::uint64_t>(Flags(m)) << 1 | (newFolder ? 1 : 0));
        entry = std::int64_t{m.Entry} + 1;
        if (newFolder)
            PutVar(out, folderIndex);
        folder = folderIndex;
        PutVar(out, ZigZag(static_cast<std::int64_t>(m.Inode - inode)));
        inode = m.Inode;
        const std::size_t front = SharedPrefix(from, m.From);
        const std::size_t back = SharedSuffix(from, m.From, front);
        PutVar(out, front);
        PutVar(out, back);
        PutText(out, m.From.substr(front, m.From.size() - front - back));
        from.assign(m.From);
        const std::size_t prefix = SharedPrefix(m.From, m.To);
        const std::size_t suffix = SharedSuffix(m.From, m.To, prefix);
        PutVar(out, prefix);
        PutVar(out, suffix);
        const std::string_view changed = m.To.substr(prefix, m.To.size() - prefix - suffix);
        const std::size_t sharedMiddle = SharedPrefix(middle, changed);
        PutVar(out, sharedMiddle);
        PutText(out, changed.substr(sharedMiddle));
        middle.assign(changed);
    }
};

// The results of a run's moves, as runs of one result: a run that renamed every file
// tells it in a few bytes, not one a file.
void PutResults(std::string& out, const std::vector<MoveResult>& results) {
    PutVar(out, results.size());
    for (std::size_t i = 0; i < results.size();) {
        std::size_t end = i + 1;
        while (end < results.size() && results[end] == results[i])
            ++end;
        out += static_cast<char>(results[i]);
        PutVar(out, end - i);
        i = end;
    }
}

void PutInlineMove(std::string& out, const TJournalMoveRef& move) {
    // One more than the entry, so that a move of no known entry (-1) is 0.
    PutVar(out, static_cast<std::uint64_t>(move.Entry + 1));
    out += Flags(move);
    PutText(out, move.Folder);
    PutVar(out, move.Inode);
    PutText(out, move.From);
    PutText(out, move.To);
}

// ---- decoding ----

struct Reader {
    std::string_view in;
    bool bad = false;

    std::uint8_t Byte() {
        if (in.empty()) {
            bad = true;
            return 0;
        }
        const auto b = static_cast<std::uint8_t>(in.front());
        in.remove_prefix(1);
        return b;
    }
    std::uint32_t U32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= std::uint32_t{Byte()} << (8 * i);
        return v;
    }
    std::uint64_t Var() {
        std::uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const std::uint8_t b = Byte();
            v |= std::uint64_t{b & 0x7Fu} << shift;
            if (!(b & 0x80))
                return v;
        }
        bad = true;
        return 0;
    }
    std::string Text() {
        const std::uint64_t n = Var();
        if (bad || n > in.size()) {
            bad = true;
            return {};
        }
        std::string text(in.substr(0, n));
        in.remove_prefix(n);
        return text;
    }
    int Int() {
        const std::uint64_t v = Var();
        if (v > 0x7FFFFFFF)
            bad = true;
        return static_cast<int>(v);
    }
};

std::string Absolute(const TJournal& journal, std::string folder) {
    return folder.starts_with('/') ? folder : journal.CurrentFolder + folder;
}

TJournalMove ReadInlineMove(Reader& r, const TJournal& journal) {
    TJournalMove move;
    move.Entry = r.Int() - 1;
    r.bad |= !ReadFlags(r.Byte(), move);
    move.Folder = Absolute(journal, r.Text());
    move.Inode = r.Var();
    move.From = r.Text();
    move.To = r.Text();
    return move;
}

TJournalRead Refused(TJournalRead::Kind status, std::string problem) {
    TJournalRead read;
    read.Status = status;
    read.Problem = std::move(problem);
    return read;
}

// The header's fields; false for a journal of a newer format, whose fields are not read.
bool ReadHeader(Reader& r, TJournal& journal) {
    journal.Version = r.U32();
    if (!r.bad && journal.Version > kJournalVersion)
        return false;
    journal.RunId = r.Text();
    journal.Time = static_cast<std::int64_t>(r.Var());
    journal.ProgramVersion = r.Text();
    journal.Mode = r.Byte() ? RenameMode::Undo : RenameMode::Rename;
    journal.Order = r.Byte() ? RunOrder::Planned : RunOrder::ListOrder;
    journal.Pid = static_cast<std::uint32_t>(r.Var());
    journal.EntryCount = r.Int();
    journal.UndoOf = r.Text();
    journal.CurrentFolder = r.Text();
    if (journal.Version >= 3) {
        const std::uint8_t origin = r.Byte();
        r.bad |= origin > static_cast<std::uint8_t>(JournalOrigin::CommandLine);
        journal.Origin = static_cast<JournalOrigin>(origin);
    }
    return true;
}

TJournalRead NewerVersion(const TJournal& journal) {
    return Refused(TJournalRead::NewerVersion,
                   "the journal was written by a newer version (format " +
                       std::to_string(journal.Version) + ")");
}

// A mark after the run's own records.
void ReadMark(RecordType type, Reader& r, TJournal& journal) {
    r.bad |= !journal.Started;
    if (type == kUndone) {
        journal.Undone = true;
        journal.UndoneBy = r.Text();
    } else {
        journal.Kept = true;
    }
}

// The closing record's counts, up to its results.
void ReadCloseCounts(Reader& r, TJournal& journal) {
    journal.Tally.Renamed = r.Int();
    journal.Tally.Unchanged = r.Int();
    journal.Tally.Failed = r.Int();
    journal.Tally.NumberIncValue = static_cast<std::int32_t>(r.U32());
    journal.Tally.Cancelled = r.Byte() != 0;
    journal.Closed = true;
}

} // namespace

TJournalRead ParseJournal(std::string_view bytes) {
    if (bytes.size() < kMagic.size() || bytes.substr(0, kMagic.size()) != kMagic)
        return Refused(TJournalRead::Damaged, kMagic.starts_with(bytes)
                                                  ? "the journal holds no whole header"
                                                  : "not a journal of this program");
    TJournalRead read;
    TJournal& journal = read.Journal;
    std::vector<std::string> folders;
    std::vector<TJournalMove> moves;
    std::vector<std::pair<std::size_t, TJournalMove>> inserts;
    std::vector<MoveResult> results;
    bool header = false;
    // The moves announced by the last mark; those written after it were not taken.
    std::size_t announced = 0;
    std::string_view rest = bytes.substr(kMagic.size());
    while (rest.size() >= kFrame) {
        // A tail the file system filled with zeros after a lost machine is a cut too.
        if (rest.find_first_not_of('\0') == std::string_view::npos)
            break;
        Reader frame{rest.substr(0, kFrame)};
        const std::uint32_t length = frame.U32();
        const std::uint32_t crc = frame.U32();
        if (length > rest.size() - kFrame)
            break; // cut inside this record
        const std::string_view body = rest.substr(kFrame, length);
        if (length == 0 || Crc32c(body) != crc)
            return Refused(TJournalRead::Damaged, "a record of the journal is damaged");
        rest.remove_prefix(kFrame + length);
        Reader r{body.substr(1)};
        const auto type = static_cast<RecordType>(body[0]);
        if (!header && type != kHeader)
            return Refused(TJournalRead::Damaged, "the journal does not begin with its header");
        switch (type) {
        case kHeader: {
            if (header)
                r.bad = true;
            header = true;
            if (!ReadHeader(r, journal))
                return NewerVersion(journal);
            break;
        }
        case kFolder:
            r.bad |= journal.Started && journal.Version < 4;
            folders.push_back(Absolute(journal, r.Text()));
            break;
        case kMoves: {
            r.bad |= journal.Started && journal.Version < 4;
            const std::uint64_t count = r.Var();
            std::int64_t entry = 0;
            std::uint64_t inode = 0;
            std::string from;
            std::string middle;
            std::uint64_t folder = folders.size(); // none yet
            for (std::uint64_t i = 0; i < count && !r.bad; ++i) {
                TJournalMove move;
                std::uint64_t front = 0, back = 0;
                // Each step is bounded before it is added, so that a forged one cannot
                // overflow the running entry before the range check below sees it.
                const auto step = [&r](std::uint64_t coded) {
                    const std::int64_t v = UnZigZag(coded);
                    if (v > 0x7FFFFFFF || v < -0x7FFFFFFF) {
                        r.bad = true;
                        return std::int64_t{0};
                    }
                    return v;
                };
                if (journal.Version < 2) {
                    entry += step(r.Var());
                    r.bad |= !ReadFlags(r.Byte(), move);
                    folder = r.Var();
                    inode += static_cast<std::uint64_t>(UnZigZag(r.Var()));
                    front = r.Var();
                } else {
                    const std::uint64_t head = r.Var();
                    entry += step(head >> 3);
                    ReadFlags(static_cast<std::uint8_t>(head >> 1 & 3), move);
                    if (head & 1)
                        folder = r.Var();
                    inode += static_cast<std::uint64_t>(UnZigZag(r.Var()));
                    front = r.Var();
                    back = r.Var();
                }
                move.Entry = static_cast<int>(entry - 1);
                move.Inode = inode;
                if (r.bad || entry < 0 || entry > 0x7FFFFFFF || folder >= folders.size() ||
                    front > from.size() || back > from.size() - front) {
                    r.bad = true;
                    break;
                }
                move.Folder = folders[folder];
                const std::string fromBack = from.substr(from.size() - back);
                from.resize(front);
                from += r.Text();
                from += fromBack;
                move.From = from;
                const std::uint64_t prefix = r.Var();
                const std::uint64_t suffix = r.Var();
                const std::uint64_t sharedMiddle = journal.Version >= 2 ? r.Var() : 0;
                if (r.bad || sharedMiddle > middle.size()) {
                    r.bad = true;
                    break;
                }
                middle.resize(sharedMiddle);
                middle += r.Text();
                // Two huge counts may add up to a small one.
                if (r.bad || prefix > from.size() || suffix > from.size() - prefix) {
                    r.bad = true;
                    break;
                }
                move.To = from.substr(0, prefix) + middle + from.substr(from.size() - suffix);
                moves.push_back(std::move(move));
            }
            break;
        }
        case kStarted:
            // Formats before 4 announce every move in one part.
            r.bad |= (journal.Started && journal.Version < 4) || journal.Closed ||
                     r.Var() != moves.size();
            journal.Started = true;
            announced = moves.size();
            break;
        case kReplace: {
            const std::uint64_t index = r.Var();
            TJournalMove move = ReadInlineMove(r, journal);
            r.bad |= !journal.Started || journal.Closed || index >= announced;
            if (!r.bad)
                moves[index] = std::move(move);
            break;
        }
        case kInsert: {
            const std::uint64_t index = r.Var();
            TJournalMove move = ReadInlineMove(r, journal);
            r.bad |= !journal.Started || journal.Closed || index > announced;
            inserts.emplace_back(index, std::move(move));
            break;
        }
        case kClose: {
            r.bad |= !journal.Started || journal.Closed;
            ReadCloseCounts(r, journal);
            const std::uint64_t count = r.Var();
            r.bad |= count != announced + inserts.size();
            // Format 1 tells one result a move, format 2 runs of one result.
            r.bad |= journal.Version < 2 && count > r.in.size();
            while (results.size() < count && !r.bad) {
                const std::uint8_t result = r.Byte();
                const std::uint64_t run = journal.Version < 2 ? 1 : r.Var();
                r.bad |= result > static_cast<std::uint8_t>(MoveResult::NotReached) || run == 0 ||
                         run > count - results.size();
                if (!r.bad)
                    results.insert(results.end(), run, static_cast<MoveResult>(result));
            }
            journal.Closed = true;
            break;
        }
        case kUndone:
        case kKept:
            ReadMark(type, r, journal);
            break;
        default:
            r.bad = true;
        }
        // A record must be read to its last byte: anything else is not what was written.
        if (r.bad || !r.in.empty())
            return Refused(TJournalRead::Damaged, "a record of the journal is damaged");
    }
    if (!header)
        return Refused(TJournalRead::Damaged, "the journal holds no whole header");
    if (journal.Started)
        moves.resize(announced);

    // The moves in the order the run took them: each inserted one before the announced
    // move it was written in front of. The results list the announced moves first, then
    // the inserted ones in the order they were written.
    announced = moves.size();
    auto resultOf = [&](std::size_t written) {
        return journal.Closed ? results[written] : MoveResult::Unknown;
    };
    std::vector<std::size_t> order(inserts.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return inserts[a].first < inserts[b].first;
    });
    journal.Moves.reserve(announced + inserts.size());
    std::size_t next = 0;
    for (std::size_t i = 0; i <= announced; ++i) {
        for (; next < order.size() && inserts[order[next]].first == i; ++next) {
            journal.Moves.push_back(std::move(inserts[order[next]].second));
            journal.Moves.back().Result = resultOf(announced + order[next]);
        }
        if (i < announced) {
            journal.Moves.push_back(std::move(moves[i]));
            journal.Moves.back().Result = resultOf(i);
        }
    }
    return read;
}

TJournalOutline ParseJournalOutline(std::uint64_t size, const ReadJournalBytes& readAt) {
    TJournalOutline outline;
    TJournalRead& read = outline.Read;
    TJournal& journal = read.Journal;
    std::string bytes;
    const auto get = [&](std::uint64_t at, std::size_t n) {
        bytes.clear();
        const bool ok = readAt(at, n, bytes) && bytes.size() == n;
        outline.BytesRead += bytes.size();
        return ok;
    };
    const auto refuse = [&](TJournalRead::Kind status, std::string problem) {
        TJournalOutline refused;
        refused.Read = Refused(status, std::move(problem));
        refused.BytesRead = outline.BytesRead;
        return refused;
    };
    if (!get(0, kMagic.size()) || bytes != kMagic)
        return refuse(TJournalRead::Damaged, kMagic.starts_with(bytes)
                                                 ? "the journal holds no whole header"
                                                 : "not a journal of this program");
    bool header = false;
    std::vector<std::string> folders;
    std::uint64_t listed = 0; // the moves of every chunk, announced by a mark or not yet
    std::uint64_t at = kMagic.size();
    while (size - at >= kFrame) {
        if (!get(at, kFrame + 1))
            break;
        Reader frame{std::string_view(bytes).substr(0, kFrame)};
        const std::uint32_t length = frame.U32();
        const std::uint32_t crc = frame.U32();
        const auto type = static_cast<RecordType>(bytes[kFrame]);
        // A cut inside this record, or a tail the file system filled with zeros.
        if (length > size - at - kFrame || (length == 0 && crc == 0 && type == 0))
            break;
        if (length == 0)
            return refuse(TJournalRead::Damaged, "a record of the journal is damaged");
        const std::uint64_t body = at + kFrame;
        at = body + length;
        if (!header && type != kHeader)
            return refuse(TJournalRead::Damaged, "the journal does not begin with its header");
        if (type == kMoves || type == kReplace || type == kInsert) {
            // Stepped over: only a chunk's count is read, from its first bytes.
            if (type == kInsert)
                ++outline.Inserted;
            if (type == kMoves && get(body, std::min<std::size_t>(length, 11))) {
                Reader r{std::string_view(bytes).substr(1)};
                listed += r.Var();
            }
            continue;
        }
        if (!get(body, length) || Crc32c(bytes) != crc)
            return refuse(TJournalRead::Damaged, "a record of the journal is damaged");
        Reader r{std::string_view(bytes).substr(1)};
        switch (type) {
        case kHeader:
            r.bad |= header;
            header = true;
            if (!ReadHeader(r, journal)) {
                TJournalOutline newer;
                newer.Read = NewerVersion(journal);
                newer.BytesRead = outline.BytesRead;
                return newer;
            }
            break;
        case kFolder: {
            r.bad |= journal.Started && journal.Version < 4;
            std::string folder = Absolute(journal, r.Text());
            if (std::find(folders.begin(), folders.end(), folder) == folders.end())
                folders.push_back(std::move(folder));
            break;
        }
        case kStarted:
            r.bad |=
                (journal.Started && journal.Version < 4) || journal.Closed || r.Var() != listed;
            journal.Started = true;
            outline.Announced = listed;
            break;
        case kClose:
            r.bad |= !journal.Started || journal.Closed;
            ReadCloseCounts(r, journal);
            r.in = {}; // the results are for the run opened whole
            break;
        case kUndone:
        case kKept:
            ReadMark(type, r, journal);
            break;
        default:
            r.bad = true;
        }
        if (r.bad || !r.in.empty())
            return refuse(TJournalRead::Damaged, "a record of the journal is damaged");
    }
    if (!header)
        return refuse(TJournalRead::Damaged, "the journal holds no whole header");
    if (!journal.Started)
        outline.Announced = listed;
    outline.FolderCount = static_cast<int>(folders.size());
    if (!folders.empty())
        outline.FirstFolder = folders.front();
    return outline;
}

std::uint32_t JournalFirstRecordLength(std::string_view lead) {
    Reader frame{lead.substr(std::min(lead.size(), kMagic.size()))};
    const std::uint32_t length = frame.U32();
    return frame.bad ? 0 : length;
}

std::string EncodeJournalHeader(const TJournal& header) {
    std::string out(kMagic);
    const std::size_t at = OpenRecord(out, kHeader);
    PutU32(out, kJournalVersion);
    PutText(out, header.RunId);
    PutVar(out, static_cast<std::uint64_t>(header.Time));
    PutText(out, header.ProgramVersion);
    out += static_cast<char>(header.Mode == RenameMode::Undo);
    out += static_cast<char>(header.Order == RunOrder::Planned);
    PutVar(out, header.Pid);
    PutVar(out, static_cast<std::uint64_t>(std::max(header.EntryCount, 0)));
    PutText(out, header.UndoOf);
    PutText(out, header.CurrentFolder);
    out += static_cast<char>(header.Origin);
    CloseRecord(out, at);
    return out;
}

void EncodeAnnounced(TAnnounceCoder& coder, std::span<const TJournalMoveRef> moves,
                     std::string& out) {
    // Each folder when the moves enter it, the moves in chunks that name it by its place.
    std::vector<std::size_t> folderOf(moves.size());
    for (std::size_t i = 0; i < moves.size(); ++i) {
        if (coder.Folders == 0 || moves[i].Folder != coder.LastFolder) {
            coder.LastFolder.assign(moves[i].Folder);
            const std::size_t at = OpenRecord(out, kFolder);
            PutText(out, coder.LastFolder);
            CloseRecord(out, at);
            ++coder.Folders;
        }
        folderOf[i] = coder.Folders - 1;
    }
    std::string chunk;
    for (std::size_t i = 0; i < moves.size();) {
        const std::size_t at = OpenRecord(out, kMoves);
        chunk.clear();
        std::size_t count = 0;
        ChunkCoder coded;
        for (; i < moves.size() && chunk.size() < kChunk; ++i, ++count)
            coded.Put(chunk, moves[i], folderOf[i]);
        PutVar(out, count);
        out += chunk;
        CloseRecord(out, at);
    }
    coder.Announced += moves.size();
    const std::size_t at = OpenRecord(out, kStarted);
    PutVar(out, coder.Announced);
    CloseRecord(out, at);
}

std::string EncodeJournalStart(const TJournal& header, std::span<const TJournalMoveRef> moves) {
    std::string out = EncodeJournalHeader(header);
    TAnnounceCoder coder;
    EncodeAnnounced(coder, moves, out);
    return out;
}

namespace {

// A replacement or an insertion: the same record under two kinds.
std::string EncodeIndexedMove(RecordType kind, std::size_t index, const TJournalMoveRef& actual) {
    std::string record;
    const std::size_t at = OpenRecord(record, kind);
    PutVar(record, index);
    PutInlineMove(record, actual);
    CloseRecord(record, at);
    return record;
}

} // namespace

std::string EncodeReplace(std::size_t index, const TJournalMoveRef& actual) {
    return EncodeIndexedMove(kReplace, index, actual);
}

std::string EncodeInsert(std::size_t index, const TJournalMoveRef& actual) {
    return EncodeIndexedMove(kInsert, index, actual);
}

std::string EncodeClose(const RenameTally& tally, const std::vector<MoveResult>& results) {
    std::string record;
    const std::size_t at = OpenRecord(record, kClose);
    PutVar(record, static_cast<std::uint64_t>(std::max(tally.Renamed, 0)));
    PutVar(record, static_cast<std::uint64_t>(std::max(tally.Unchanged, 0)));
    PutVar(record, static_cast<std::uint64_t>(std::max(tally.Failed, 0)));
    PutU32(record, static_cast<std::uint32_t>(tally.NumberIncValue));
    record += static_cast<char>(tally.Cancelled);
    PutResults(record, results);
    CloseRecord(record, at);
    return record;
}

std::string EncodeUndoneMark(std::string_view undoRunId) {
    std::string record;
    const std::size_t at = OpenRecord(record, kUndone);
    PutText(record, undoRunId);
    CloseRecord(record, at);
    return record;
}

std::string EncodeKeptMark() {
    std::string record;
    const std::size_t at = OpenRecord(record, kKept);
    CloseRecord(record, at);
    return record;
}

} // namespace qm
