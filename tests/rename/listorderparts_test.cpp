// A run in list order journals its moves a part at a time while it takes those of the
// parts before. Wherever the parts end, the run (its events, counts and files), its
// journal and the undo of that journal must be what they are when the run is one part.

#include "rename/journal.h"
#include "rename/journaledrun.h"
#include "rename/journalundo.h"
#include "renamefolder.h"
#include "runerrorprint.h"

#include <atomic>
#include <gtest/gtest.h>
#include <random>
#include <thread>

namespace qm::test {
namespace {

const std::atomic<bool> kPartsGoOn{false};

struct PartsOutcome {
    std::vector<std::string> events;
    std::string tally;
    std::string journal;
    std::map<std::string, std::vector<std::string>> after;
    std::string undo;
    std::map<std::string, std::vector<std::string>> undone;
};

// The moves of the newest journal of `journals`, folders told against `dir`; an inode only
// as known or not (two folders never share them).
std::string DescribePartsJournal(const std::string& journals, const std::string& dir) {
    const std::vector<std::string> files = JournalFiles(journals);
    if (files.empty())
        return "no journal";
    const TJournalRead read = ReadJournal(files.back());
    if (read.Status != TJournalRead::Ok)
        return "unreadable: " + read.Problem;
    std::string out = "closed=" + std::to_string(read.Journal.Closed) +
                      " entries=" + std::to_string(read.Journal.EntryCount) + "\n";
    for (const TJournalMove& m : read.Journal.Moves) {
        const std::string folder =
            m.Folder.starts_with(dir) ? m.Folder.substr(dir.size()) : "?" + m.Folder;
        out += std::to_string(m.Entry) + " " + folder + "|" + m.From + ">" + m.To +
               (m.Inode != 0 ? " ino" : "") + (m.Missing ? " missing" : "") + " " +
               std::to_string(static_cast<int>(m.Result)) + "\n";
    }
    return out;
}

std::string PartsTally(const RenameTally& t) {
    return std::to_string(t.Renamed) + "/" + std::to_string(t.Unchanged) + "/" +
           std::to_string(t.Failed) + "/" + std::to_string(t.NumberIncValue);
}

// Runs `options` over `names` of a fresh folder of `files`, then undoes it from its
// journal, the first part of the run `firstPart` entries long; with `arriving`, the list's
// slots are filled while the run reads them, a few at a time, on another thread (or, with
// `made`, by whichever thread first awaits them); with `hurried`, a part ends wherever the
// run comes close behind it.
PartsOutcome RunInParts(std::size_t firstPart, const std::vector<std::string>& files,
                        const std::vector<std::string>& names, const RenameOptionSet& options,
                        RenameMode mode, bool arriving = false, bool hurried = false,
                        bool made = false) {
    SetFirstListOrderPart(firstPart, hurried ? 1 : 1000);
    RenameFolder dir("/dev/shm");
    for (const std::string& f : files)
        dir.Make(f);
    const RenameFolder journalFolder("/dev/shm");
    const std::string& journals = journalFolder.Path();
    ListedFiles list(dir.Path(), arriving ? std::vector<std::string>{} : names);
    // An undo name from an earlier run, on every other slot.
    auto undoName = [&](int slot) {
        if (mode == RenameMode::Undo && slot % 2 == 0)
            list[slot].SetNewName(names[static_cast<std::size_t>(slot)]);
    };
    std::shared_ptr<TSlotsArriving> arrived;
    std::jthread filling;
    std::size_t next = 0;
    const auto folder = std::make_shared<const std::string>(dir.Path());
    if (arriving && made) {
        list.items().OpenSlots(static_cast<int>(names.size()));
        arrived = std::make_shared<TSlotsArriving>(names.size(), [&]() -> std::size_t {
            for (int step = 0; step < 2 && next < names.size(); ++step, ++next) {
                list.items().FillSlot(static_cast<int>(next), names[next], folder);
                undoName(static_cast<int>(next));
            }
            return next < names.size() ? next : TSlotsArriving::kEnded;
        });
    } else if (arriving) {
        list.items().OpenSlots(static_cast<int>(names.size()));
        arrived = std::make_shared<TSlotsArriving>(names.size());
        filling = std::jthread([&, arrived] {
            for (std::size_t slot = 0; slot < names.size(); ++slot) {
                list.items().FillSlot(static_cast<int>(slot), names[slot], folder);
                undoName(static_cast<int>(slot));
                if (slot % 2 == 1) {
                    arrived->Filled(slot + 1);
                    std::this_thread::yield();
                }
            }
            arrived->End();
        });
    } else {
        for (int slot = 0; slot < static_cast<int>(names.size()); ++slot)
            undoName(slot);
    }
    PartsOutcome o;
    RenameCallbacks callbacks;
    callbacks.OnNames = [&](int slot, const std::string& from, const std::string& to) {
        o.events.push_back(std::to_string(slot) + " " + from + ">" + to);
    };
    callbacks.OnOutcome = [&](int slot, RenameOutcome outcome, RunError error) {
        o.events.push_back(std::to_string(slot) + " " + std::to_string(static_cast<int>(outcome)) +
                           " " + ErrorCode(error));
    };
    TJournalPlace place{journals, ""};
    place.Arriving = arrived;
    const TJournaledRun run = RunJournaledRenames(list.items(), options, mode, RunOrder::ListOrder,
                                                  callbacks, kPartsGoOn, {}, place);
    if (filling.joinable())
        filling.join();
    EXPECT_TRUE(run.Ran);
    EXPECT_EQ(run.JournalProblem, "");
    o.tally = PartsTally(run.Tally);
    o.journal = DescribePartsJournal(journals, dir.Path());
    o.after = dir.Contents();
    const std::string path = JournalFiles(journals).back();
    const TUndoResult undo =
        UndoJournal(path, ReadJournal(path).Journal, TJournalPlace{journals, ""}, kPartsGoOn);
    o.undo = PartsTally(undo.Tally) + (undo.Complete ? " complete" : "");
    o.undone = dir.Contents();
    return o;
}

// Small folders of names that collide, some listed twice or not there, numbering on,
// options drawn at random, run in parts of one entry, then two, four...
TEST(ListOrderParts, WhereverThePartsEndTheRunAndItsUndoAreThoseOfOnePart) {
    std::mt19937 random(41);
    auto pick = [&](int n) {
        return static_cast<int>(random() % static_cast<unsigned>(n));
    };
    const std::vector<std::string> files = {"a1", "a2", "b1", "B2", "c", "s/", "ab1", "Ab2"};
    const std::vector<std::string> pairs = {"a:b", "b:a",  "1:2",  "2:1", "a:A",
                                            "b:B", "ab:a", "c:a1", "s:t", "2:a1"};
    int differing = 0;
    for (int run = 0; run < 150; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        RenameOptionSet options;
        options.ReplaceGroup = options.ReplaceEnabled = true;
        for (int i = pick(3) + 1; i > 0; --i) {
            const std::string& pair = pairs[static_cast<std::size_t>(pick(10))];
            options.ReplacePairs[static_cast<std::size_t>(options.ReplaceCount++)] = {
                pair.substr(0, pair.find(':')), pair.substr(pair.find(':') + 1)};
        }
        options.InsertGroup = pick(3) != 0;
        options.NumberIncEnabled = pick(4) != 0;
        options.NumberIncValue = pick(4) == 0 ? 999998 : pick(3);
        std::vector<std::string> names;
        for (int i = pick(9) + 2; i > 0; --i) {
            std::string name = pick(8) == 0 ? "gone" : files[static_cast<std::size_t>(pick(8))];
            if (name.ends_with('/'))
                name.pop_back();
            names.push_back(name);
        }
        const RenameMode mode = run % 5 == 4 ? RenameMode::Undo : RenameMode::Rename;
        const PartsOutcome whole = RunInParts(1000, files, names, options, mode);
        const PartsOutcome parts = RunInParts(run % 3 == 2 ? 2 : 1, files, names, options, mode,
                                              run % 2 == 1, run % 3 == 2, run % 4 == 3);
        EXPECT_EQ(parts.events, whole.events);
        EXPECT_EQ(parts.tally, whole.tally);
        EXPECT_EQ(parts.journal, whole.journal);
        EXPECT_EQ(parts.after, whole.after);
        EXPECT_EQ(parts.undo, whole.undo);
        EXPECT_EQ(parts.undone, whole.undone);
        differing += whole.after != whole.undone;
        if (HasFailure())
            break;
    }
    SetFirstListOrderPart(512);
    // The runs changed files, so the comparison above is not of runs that did nothing.
    EXPECT_GT(differing, 50);
}

} // namespace
} // namespace qm::test
