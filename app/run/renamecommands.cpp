#include "app/run/renamecommands.h"

#include "app/list/filelistmodel.h"
#include "app/options/optionmapping.h"
#include "app/options/optiontabs.h"
#include "app/run/journalmessages.h"
#include "app/run/renameprocess.h"
#include "app/run/renamethread.h"
#include "app/run/takennumbers.h"
#include "app/widgets/qttext.h"
#include "engine/organize.h"
#include "filelist/fileitem.h"
#include "filelist/fileitems.h"
#include "filelist/versioninfo.h"
#include "language/dynlang.h"
#include "language/placeholders.h"
#include "settings/settings.h"

#include <QMessageBox>
#include <QSpinBox>
#include <QWidget>

namespace qm {

TRenameCommands::TRenameCommands(QWidget& window, TFileItems& items, TFileListModel& model,
                                 TOptionTabs& tabs, const TSettings& settings,
                                 const TVersionInfo& versionInfo, const TDynLang& common,
                                 const TDynLang& program)
    : window_(window), items_(items), model_(model), tabs_(tabs), settings_(settings),
      versionInfo_(versionInfo), common_(common), program_(program) {}

TRenameCommands::~TRenameCommands() = default;

TJournalPlace JournalPlace(const TSettings& settings, const TVersionInfo& versionInfo) {
    TJournalPlace place;
    place.Folder = JournalFolder();
    place.ProgramVersion = versionInfo.GetInfo(TVersionInfo::InfoLongVersion);
    place.Origin = JournalOrigin::Window;
    place.Keep.Days = settings.JournalKeepDays;
    return place;
}

void TRenameCommands::RunUndoneFromJournal(const std::string& runId) {
    // Its entries still carry the run's names as theirs: an undo from here would find
    // every file back and fail each.
    if (!runId.empty() && runId == lastRunId_)
        emit undoAvailable(false);
}

void TRenameCommands::Run(bool undoMode, bool marksCurrent) {
    items_.BeginUpdate();
    // Another number than the one shown comes only of taken names numbered, and only marks
    // of the list as it is tell which names were shown.
    std::vector<TShownName> shown;
    if (!undoMode && marksCurrent && ReadOptionsFromControls(tabs_).NumberTakenNames) {
        shown = TakeShownNames(items_, model_);
    }
    int undoable = 0;
    if (undoMode) {
        for (int slot = 0; slot < items_.Count(); ++slot) {
            const TFileItem* entry = items_.Items(slot);
            undoable += entry != nullptr && entry->CanUndo() ? 1 : 0;
        }
    }
    // Kept until the run's messages have been shown, as the window's child.
    TRenameProcess process(
        &window_, [this](const std::string& key) { return program_.GetLine(key); },
        common_.GetKeyedLine("CANCEL"));
    const int changed = RunThread(process, undoMode);
    const int count = items_.Count();
    const auto now = [this](int slot) {
        const auto lock = items_.ReadLock();
        const TFileItem* entry = items_.Items(slot);
        return entry != nullptr ? entry->Path() + entry->Name() : std::string();
    };
    const int otherNumbers = shown.empty() ? 0 : CountOtherNumbers(shown, now, TakenNameForm());
    if (!journalRan_) {
        ShowJournalProblem(&window_, &program_, false, journalProblem_);
    } else if (settings_.ShowRenameSuccess || changed != count || otherNumbers > 0) {
        const std::string more = otherNumbers == 0 ? std::string()
                                 : otherNumbers == 1
                                     ? program_.GetLine("TOOKOTHERNUMBERONE")
                                     : FillPlaceholders(program_.GetLine("TOOKOTHERNUMBER"),
                                                        {std::to_string(otherNumbers)});
        ShowMessage(undoMode ? "UNDONERENAME" : "DONERENAME", changed,
                    (undoMode ? undoable : count) - changed, more);
    }
    if (journalRan_ && !journalProblem_.empty()) {
        ShowJournalProblem(&window_, &program_, true, journalProblem_);
    }
    // After a run, also a cancelled one or one that renamed nothing: what undo would do is
    // decided per entry. After an undo, a restore that failed leaves nothing more to undo
    // for the others, and trying the failed one again would fail the same way.
    emit undoAvailable(!undoMode || changed == undoable);
    {
        const TFileListModel::Change change(model_);
        items_.EndUpdate();
    }
    emit runFinished();
}

int TRenameCommands::RunThread(TRenameProcess& process, bool undoMode) {
    process.SetRunActive([this] { return thread_ != nullptr; });
    const RunOrder order = settings_.PlanRenameOrder ? RunOrder::Planned : RunOrder::ListOrder;
    TRenameThread thread(items_, ReadOptionsFromControls(tabs_), undoMode, process.FilesSinceTick,
                         move_, order);
    // Undo takes back the last run, and with it the folders that run made.
    TJournalPlace place = JournalPlace(settings_, versionInfo_);
    place.FoldersOf = undoMode ? lastRunId_ : std::string();
    thread.SetJournal(std::move(place));
    connect(&process, &TRenameProcess::stopRequested, this, [this] {
        if (thread_ != nullptr) {
            thread_->Cancel();
        }
    });
    // Both arrive queued, in the order the worker sent them: its last notice of progress
    // comes before the end.
    connect(&thread, &TRenameThread::progressed, this, &TRenameCommands::ThreadProgress);
    connect(&thread, &QThread::finished, this, &TRenameCommands::ThreadTerminate);
    process_ = &process;
    emit runStarting();
    process.BeginRun(items_.Count());
    thread_ = &thread;
    thread.start();
    process.exec();
    // Normally over already: the dialog closes only once the worker has ended.
    thread.Cancel();
    thread.wait();
    thread_ = nullptr;
    process_ = nullptr;
    journalRan_ = thread.Ran();
    journalProblem_ = thread.JournalProblem();
    if (!undoMode && thread.Ran())
        lastRunId_ = thread.RunId();
    // The run's own count: an entry that a cancelled run never reached still carries the
    // mark of the run before, and counting it would report files this run did not touch.
    return thread.Tally().Renamed;
}

void TRenameCommands::ThreadProgress() {
    if (thread_ == nullptr || process_ == nullptr) {
        return; // a notice that came after the end handler
    }
    const TRenameThread::Progress progress = thread_->TakeProgress();
    if (progress.readingTags) {
        process_->ShowReadingTags(progress.tagsDone, progress.tagsTotal);
    }
    if (progress.hasNames) {
        process_->ShowNames(progress.from, progress.to);
    }
    process_->StepProgress(progress.done - process_->DoneFiles());
    if (progress.hasNumber) {
        // A change of the control like any other: the scheme selection goes and the
        // window refreshes, once for all the files since the last notice.
        tabs_.IncValue->setValue(progress.number);
    }
}

void TRenameCommands::ThreadTerminate() {
    if (thread_ == nullptr || process_ == nullptr) {
        return;
    }
    // Whatever the worker did after its last notice shows before the window closes.
    ThreadProgress();
    process_->EndRun();
    // First: the progress window refuses to close while a run is under way.
    thread_ = nullptr;
    process_->Finish();
}

void TRenameCommands::ShowMessage(const std::string& key, int done, int notDone,
                                  const std::string& more) {
    std::string text =
        FillPlaceholders(program_.GetText(key), {std::to_string(done), std::to_string(notDone)});
    if (!more.empty()) {
        text += "\n" + more;
    }
    // The language's line breaks are LF CR pairs; the box wants one break each.
    QMessageBox box(QMessageBox::Information, window_.windowTitle(),
                    Q(text).replace(QStringLiteral("\n\r"), QStringLiteral("\n")), QMessageBox::Ok,
                    &window_);
    box.setObjectName(QStringLiteral("RenameMessage"));
    box.exec();
}

} // namespace qm
