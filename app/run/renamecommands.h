#pragma once

// The main window's Rename and Undo commands: one run over the whole file list in the
// progress window, then the closing message and the journal's warnings, and whether Undo
// has something left to take back.
//
// Does not own the window, the list, the model, the tabs, the settings, the version
// information or the language clients: the window creates it once they exist and destroys
// it before them. Window thread only; the worker a run starts has ended when Run returns.

#include "rename/journaledrun.h"
#include "rename/renamerun.h"

#include <QObject>
#include <string>

class QWidget;

namespace qm {

class TDynLang;
class TFileItems;
class TFileListModel;
class TOptionTabs;
class TRenameProcess;
class TRenameThread;
class TSettings;
class TVersionInfo;

// Where the window's runs keep their journals: the journal folder, this program's version,
// the window as their origin, and the settings' days to keep them.
TJournalPlace JournalPlace(const TSettings& settings, const TVersionInfo& versionInfo);

class TRenameCommands : public QObject {
    Q_OBJECT
public:
    // `window` owns the progress window and the messages and gives them their title; the
    // options come from `tabs`, whose number control follows the run.
    TRenameCommands(QWidget& window, TFileItems& items, TFileListModel& model, TOptionTabs& tabs,
                    const TSettings& settings, const TVersionInfo& versionInfo,
                    const TDynLang& common, const TDynLang& program);
    ~TRenameCommands() override;

    // Renames the listed files with the options of the tabs or, in undo mode, gives back
    // the names of the last run; the list is in update mode throughout. `marksCurrent`:
    // the model's marks are those of the list and options as they are now, so that the
    // closing message may tell the files that got another number than the list showed.
    void Run(bool undoMode, bool marksCurrent = false);
    // Whether a run is under way (its worker started and not yet ended).
    bool Running() const { return thread_ != nullptr; }
    // How runs move files: MoveFileNoReplace unless set.
    void SetMove(MoveEntryFile move) { move_ = std::move(move); }
    // The run `runId` was taken back from its journal (the history window): when it is the
    // last run, Undo has nothing left to take back.
    void RunUndoneFromJournal(const std::string& runId);

signals:
    // The worker is about to start: the names change under anything that reads them.
    void runStarting();
    // Whether Undo has something to take back after the run.
    void undoAvailable(bool available);
    // The run is over and the list shows its result.
    void runFinished();

private:
    // The run in the progress window, shown modally until the worker has ended; returns
    // the number of files it renamed.
    int RunThread(TRenameProcess& process, bool undoMode);
    void ThreadProgress();
    void ThreadTerminate();
    // The closing message of `key` with its two counts, and `more` as a line after them.
    void ShowMessage(const std::string& key, int done, int notDone, const std::string& more);

    QWidget& window_;
    TFileItems& items_;
    TFileListModel& model_;
    TOptionTabs& tabs_;
    const TSettings& settings_;
    const TVersionInfo& versionInfo_;
    const TDynLang& common_;
    const TDynLang& program_;
    MoveEntryFile move_;
    // The running worker and its progress window; null between runs.
    TRenameThread* thread_ = nullptr;
    TRenameProcess* process_ = nullptr;
    // How the last run's journal went (see TRenameThread::Ran).
    bool journalRan_ = true;
    std::string journalProblem_;
    // The journal of the last run the window made, whose folders its undo removes.
    std::string lastRunId_;
};

} // namespace qm
