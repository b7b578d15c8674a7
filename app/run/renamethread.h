#pragma once

// TRenameThread, the worker of one rename or undo run from the window: the rename core's
// run (RunRenames, or RunPlannedRenames when the order is planned) on a thread of its
// own, at a lower priority, so that the window stays responsive. It keeps only the latest
// state of the run (the last pair of names, the files done, the running number) and tells
// the window of it at most about 30 times a second through progressed(), a queued signal;
// TakeProgress hands that state over. Updates therefore come in the worker's order,
// coalesced; the per-file count goes straight to `filesSinceTick`.
//
// A rename whose names need tags (newname.h) first makes sure every entry has them: it
// reads those of the entries that lack them and again those of the files that changed
// since they were read (tagpool.h), telling of it as it goes; a cancel meanwhile ends the
// run before anything is renamed. An undo needs no tags.
//
// Created by the window for one run, which starts with start(); the owner waits for
// the thread before destroying it. The file items must be in update mode for the whole
// run, and `filesSinceTick` must outlive the thread.

#include "engine/renameoptionset.h"
#include "rename/journaledrun.h"
#include "rename/renamerun.h"

#include <QThread>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

namespace qm {

class TFileItems;

class TRenameThread : public QThread {
    Q_OBJECT
public:
    TRenameThread(TFileItems& items, const RenameOptionSet& options, bool undoMode,
                  std::atomic<std::int32_t>& filesSinceTick, MoveEntryFile move = {},
                  RunOrder order = RunOrder::ListOrder, QObject* parent = nullptr);
    ~TRenameThread() override;

    bool UndoMode() const { return undoMode_; }

    // Asks the run to stop before its next file; any thread.
    void Cancel() { cancel_.store(true, std::memory_order_release); }

    // What the run has done since the last TakeProgress. Window thread.
    struct Progress {
        bool hasNames = false; // a new pair of names since the last time
        std::string from;
        std::string to;
        std::int64_t done = 0;  // files finished in all
        bool hasNumber = false; // a new running number since the last time
        std::int32_t number = 0;
        // While the tags are read, before the first rename: entries settled of how many.
        bool readingTags = false;
        std::int64_t tagsDone = 0;
        std::int64_t tagsTotal = 0;
    };
    Progress TakeProgress();

    // Where the run's journal goes; before start().
    void SetJournal(TJournalPlace place) { journal_ = std::move(place); }

    // The counts of the run; valid once the thread has finished.
    const RenameTally& Tally() const { return tally_; }
    // Whether the run took place (false: its journal could not be begun and nothing was
    // renamed), and what went wrong with the journal ("" when nothing); once finished.
    bool Ran() const { return ran_; }
    // The id of the run's journal ("" when none was begun); once finished.
    const std::string& RunId() const { return runId_; }
    const std::string& JournalProblem() const { return journalProblem_; }

signals:
    // The state has changed and the window has not been told yet.
    void progressed();

protected:
    void run() override;

private:
    void Notify(bool force);
    // Reads the tags of `sources` for every entry that lacks them or whose file changed;
    // false when cancelled.
    bool ReadRunTags(unsigned sources);

    TFileItems& items_;
    const RenameOptionSet options_;
    const bool undoMode_;
    std::atomic<std::int32_t>& filesSinceTick_;
    const MoveEntryFile move_;
    const RunOrder order_;
    std::atomic<bool> cancel_{false};
    RenameTally tally_;
    TJournalPlace journal_;
    bool ran_ = false;
    std::string journalProblem_;
    std::string runId_;

    std::mutex mutex_;
    Progress latest_;      // guarded by mutex_
    bool pending_ = false; // a progressed() is on its way; guarded by mutex_
    std::chrono::steady_clock::time_point lastNotice_; // worker only
};

} // namespace qm
