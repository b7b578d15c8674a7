// Any bytes as a run journal, raw or with every record's checksum made good (a forged
// journal). Beyond not crashing: a journal that reads well, cut at any byte, reads as a
// shorter run (never as damaged, never with more moves); and the undo planned for it,
// over a private folder holding the files it names, takes back only moves the journal
// names: each planned move gives an entry the name the journal says it had, from the
// name the journal says it got (or the run's parked name of a case-only move).
//
// QM_JOURNAL_SEEDS=<folder> writes seed journals there with the run's own writer.

#include "fuzz/fuzzsupport.h"
#include "rename/journal.h"
#include "rename/journalundo.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

using qm::fuzz::Check;

std::uint32_t Crc32c(std::string_view data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : data) {
        crc ^= static_cast<std::uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0x82F63B78u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// Every whole frame after the magic gets the checksum of its body.
void Forge(std::string& bytes) {
    constexpr std::size_t kMagic = 8, kFrame = 8;
    std::size_t at = kMagic;
    while (bytes.size() >= at + kFrame) {
        std::uint32_t length = 0;
        for (int i = 0; i < 4; ++i)
            length |= std::uint32_t{static_cast<std::uint8_t>(bytes[at + i])} << (8 * i);
        if (length > bytes.size() - at - kFrame)
            break;
        const std::uint32_t crc = Crc32c(std::string_view(bytes).substr(at + kFrame, length));
        for (int i = 0; i < 4; ++i)
            bytes[at + 4 + i] = static_cast<char>(crc >> (8 * i));
        at += kFrame + length;
    }
}

std::string& Folder() {
    static std::string folder = [] {
        char name[] = "/tmp/journal-fuzz-XXXXXX";
        Check(mkdtemp(name) != nullptr);
        return std::string(name) + "/";
    }();
    return folder;
}

void EmptyFolder() {
    qm::fuzz::EmptyFolder(Folder());
}

bool PlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.size() < 200 &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

void WriteSeeds(const std::string& folder) {
    using namespace qm;
    const std::string a = "a.txt", b = "b.txt", t = ".qm-case-1-0", sub = "/data/photos/";
    auto run = [&](std::vector<TJournalMoveRef> moves, bool close, bool undo) {
        TJournalWriter writer;
        TJournal header;
        header.ProgramVersion = "2.1";
        header.EntryCount = 2;
        header.CurrentFolder = "/data/";
        Check(writer.Begin(folder, header, moves).empty());
        writer.Replace(0, {0, false, "", a, "c.txt", 0, false});
        writer.Insert(1, {1, true, sub, b, t, 0, false});
        for (std::size_t i = 0; i < writer.MoveCount(); ++i)
            writer.SetResult(i, i % 2 ? MoveResult::Failed : MoveResult::Done);
        if (close)
            Check(writer.Close({1, 0, 1, 3, false}).empty());
        if (undo)
            Check(MarkJournalUndone(writer.Path(), "later").empty());
    };
    run({{0, false, "", a, b, 12, false}, {1, false, sub, b, a, 13, false}}, true, true);
    run({{0, false, sub, a, t, 0, false}, {0, true, sub, t, "A.TXT", 0, true}}, false, false);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* seeds = std::getenv("QM_JOURNAL_SEEDS")) {
        WriteSeeds(std::string(seeds) + "/");
        std::exit(0);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1)
        Forge(bytes);
    const qm::TJournalRead read = qm::ParseJournal(bytes);
    // The outline the history lists reads a part of the same records: it never finds a
    // journal damaged that reads well, and of one that reads well it tells the same.
    const qm::TJournalOutline outline = qm::ParseJournalOutline(
        bytes.size(), [&bytes](std::uint64_t at, std::size_t n, std::string& out) {
            out.assign(std::string_view(bytes).substr(std::min<std::uint64_t>(at, bytes.size()), n));
            return true;
        });
    if (outline.Read.Status != qm::TJournalRead::Ok)
        Check(read.Status != qm::TJournalRead::Ok);
    if (read.Status != qm::TJournalRead::Ok)
        return 0;
    const qm::TJournal& journal = read.Journal;
    {
        const qm::TJournal& o = outline.Read.Journal;
        Check(outline.Read.Status == qm::TJournalRead::Ok && o.RunId == journal.RunId &&
              o.Started == journal.Started && o.Closed == journal.Closed &&
              o.Undone == journal.Undone && o.UndoneBy == journal.UndoneBy &&
              o.Kept == journal.Kept && o.Tally.Failed == journal.Tally.Failed &&
              o.EntryCount == journal.EntryCount && o.Origin == journal.Origin);
        Check(outline.Announced + outline.Inserted == journal.Moves.size() || !journal.Started);
    }

    const std::size_t cut = data[0] * bytes.size() / 256;
    const qm::TJournalRead shorter = qm::ParseJournal(std::string_view(bytes).substr(0, cut));
    // Only a cut before the header record's end leaves nothing to read.
    std::uint32_t headerLength = 0;
    for (int i = 0; i < 4; ++i)
        headerLength |= std::uint32_t{static_cast<std::uint8_t>(bytes[8 + i])} << (8 * i);
    if (cut >= 16 + std::size_t{headerLength}) {
        Check(shorter.Status == qm::TJournalRead::Ok);
        Check(shorter.Journal.Moves.size() <= journal.Moves.size() &&
              shorter.Journal.RunId == journal.RunId);
    } else {
        Check(shorter.Status == qm::TJournalRead::Damaged);
    }

    // The undo over a private folder: every move lands there, and the files it names as
    // renamed are there (any inode will do).
    if (journal.Moves.size() > 64)
        return 0;
    EmptyFolder();
    qm::TJournal here = journal;
    for (qm::TJournalMove& m : here.Moves) {
        m.Folder = Folder();
        m.Inode = 0;
        if (PlainName(m.To))
            close(open((Folder() + m.To).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
    }
    const qm::TUndoPlan plan = qm::PlanUndo(here);
    for (const qm::TJournalMove& undo : plan.Moves) {
        bool named = false;
        for (const qm::TJournalMove& m : here.Moves)
            named |=
                m.Entry == undo.Entry && m.From == undo.To &&
                (m.To == undo.From || (undo.From.starts_with(".qm-case-") && PlainName(undo.From)));
        Check(named);
        Check(undo.Folder.starts_with(Folder()));
    }
    return 0;
}
