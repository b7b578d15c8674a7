#include "app/run/journalmessages.h"

#include "app/widgets/qttext.h"
#include "language/dynlang.h"
#include "language/placeholders.h"
#include "rename/journal.h"
#include "rename/journalundo.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <map>

namespace qm {
namespace {

// The English texts, for a language file that lacks them.
const std::map<std::string, std::string>& BuiltInTexts() {
    static const std::map<std::string, std::string> texts = {
        {"JOURNALNOTWRITTEN",
         "Nothing was renamed: the journal that lets a run be undone after a crash could not "
         "be written.\n\r%1"},
        {"JOURNALINCOMPLETE", "The journal of this run is incomplete.\n\r%1"},
        {"INTERRUPTEDRUN", "The last rename run (%1, %2 files) was interrupted before it "
                           "ended.\n\r%3 files still have their new names.\n\rUndo it now?"},
        {"UNDOINGRUN", "Undoing the interrupted run"},
        {"HISTORYUNDOING", "Undoing the run"},
        {"UNDONERENAME", "Names restored: %1\n\rNames not restored: %2"},
        {"UNDONEPARTLY", "The run is only partly undone: %1 files are not back under their "
                         "old names."},
        {"UNDONEBOTHNAMES",
         "%1 files are under their old names and still under their new ones too. It could "
         "not be told whether both names are one file, so the new names were left: check "
         "them and remove them by hand."},
        {"INTERRUPTEDUNDO", "&Undo"},
        {"INTERRUPTEDKEEP", "&Keep the new names"},
        {"INTERRUPTEDLATER", "Ask me &later"},
    };
    return texts;
}

int Ask(QWidget* parent, QMessageBox::Icon icon, const char* name, const std::string& text,
        QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, parent != nullptr ? parent->windowTitle() : QString(), ScreenText(text),
                    buttons, parent);
    box.setObjectName(QString::fromLatin1(name));
    return box.exec();
}

// A button's caption with its accelerator, or the English one when the language lacks it.
QString ButtonText(const TDynLang* program, const std::string& key) {
    std::string text = program != nullptr ? program->GetKeyedLine(key) : std::string();
    if (text.empty())
        text = JournalText(nullptr, key);
    return ScreenText(text);
}

enum class Answer { Undo, Keep, Later };

// Undo, keep the new names for good, or ask again at the next start (also on Escape or
// the close box: a question put away is not an answer).
Answer AskAboutInterruptedRun(QWidget* parent, const TDynLang* program,
                              const std::string& question) {
    QMessageBox box(QMessageBox::Question, parent != nullptr ? parent->windowTitle() : QString(),
                    ScreenText(question), QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("InterruptedRunMessage"));
    QPushButton* undo = box.addButton(ButtonText(program, "INTERRUPTEDUNDO"), QMessageBox::YesRole);
    undo->setObjectName(QStringLiteral("InterruptedUndo"));
    QPushButton* keep = box.addButton(ButtonText(program, "INTERRUPTEDKEEP"), QMessageBox::NoRole);
    keep->setObjectName(QStringLiteral("InterruptedKeep"));
    QPushButton* later =
        box.addButton(ButtonText(program, "INTERRUPTEDLATER"), QMessageBox::RejectRole);
    later->setObjectName(QStringLiteral("InterruptedLater"));
    box.setDefaultButton(undo);
    box.setEscapeButton(later);
    box.exec();
    if (box.clickedButton() == undo)
        return Answer::Undo;
    return box.clickedButton() == keep ? Answer::Keep : Answer::Later;
}

} // namespace

TUndoResult UndoWithProgress(QWidget* parent, const QString& text, const QString& cancelCaption,
                             const UndoWork& work) {
    std::atomic<bool> cancel{false};
    std::atomic<std::size_t> done{0};
    std::atomic<std::size_t> total{0};
    TUndoResult result;
    QProgressDialog progress(text, cancelCaption, 0, 0, parent);
    progress.setObjectName(QStringLiteral("UndoProgress"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    QObject::connect(&progress, &QProgressDialog::canceled, [&cancel] { cancel.store(true); });
    std::unique_ptr<QThread> worker(QThread::create([&] {
        result = work(cancel, [&](std::size_t n, std::size_t all) {
            total.store(all, std::memory_order_relaxed);
            done.store(n, std::memory_order_relaxed);
        });
    }));
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        progress.setMaximum(static_cast<int>(total.load(std::memory_order_relaxed)));
        progress.setValue(static_cast<int>(done.load(std::memory_order_relaxed)));
    });
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    tick.start(50);
    worker->start();
    loop.exec();
    worker->wait();
    progress.close();
    return result;
}

void ShowUndoResult(QWidget* parent, const TDynLang* program, const TUndoResult& result,
                    const char* name) {
    if (!result.Run.Ran) {
        ShowJournalProblem(parent, program, false, result.Run.JournalProblem);
        return;
    }
    std::string done = FillPlaceholders(
        JournalText(program, "UNDONERENAME"),
        {std::to_string(result.Tally.Renamed), std::to_string(result.Tally.Failed)});
    // A cancelled undo is not "partly undone": the user stopped it, and it can be taken
    // further.
    if (!result.Complete && !result.Tally.Cancelled) {
        done += "\n\r" + FillPlaceholders(JournalText(program, "UNDONEPARTLY"),
                                          {std::to_string(result.Tally.Failed)});
    }
    const auto bothNames = std::count_if(result.Failures.begin(), result.Failures.end(),
                                         [](const TUndoFailure& f) { return f.BothNames; });
    if (bothNames > 0) {
        done += "\n\r" + FillPlaceholders(JournalText(program, "UNDONEBOTHNAMES"),
                                          {std::to_string(bothNames)});
    }
    Ask(parent, result.Complete ? QMessageBox::Information : QMessageBox::Warning, name, done,
        QMessageBox::Ok);
    if (!result.Run.JournalProblem.empty())
        ShowJournalProblem(parent, program, true, result.Run.JournalProblem);
}

std::string JournalText(const TDynLang* program, const std::string& key) {
    std::string text = program != nullptr ? program->GetText(key) : std::string();
    if (text.empty()) {
        if (const auto it = BuiltInTexts().find(key); it != BuiltInTexts().end())
            text = it->second;
    }
    return text;
}

void ShowJournalProblem(QWidget* parent, const TDynLang* program, bool ran,
                        const std::string& problem) {
    const std::string text = FillPlaceholders(
        JournalText(program, ran ? "JOURNALINCOMPLETE" : "JOURNALNOTWRITTEN"), {problem});
    Ask(parent, QMessageBox::Warning, "JournalMessage", text, QMessageBox::Ok);
}

bool OfferUndoOfInterruptedRun(QWidget* parent, const TDynLang* program,
                               const TJournalPlace& place) {
    // The newest run, or the run that an undo after it left partly undone. Its writer
    // writes the run's end before it lets the lock go, so the journal is read again once
    // the lock is seen free: read only before, a run that ended between the reading and
    // the look at its lock would pass for an interrupted one.
    TRunToUndo last = LastRunToUndo(place.Folder);
    if (last.Path.empty() || JournalInUse(last.Path))
        return false;
    last = LastRunToUndo(place.Folder);
    const TJournal& journal = last.Read.Journal;
    // A run that goes on is not interrupted, in another window or in this one (a run
    // started before this look). Its writer holds the journal's lock; the process check
    // alone takes this process, and one whose program it does not know, for ended. An
    // interrupted undo is taken further with quillmark-cli, not reversed from here.
    if (last.Path.empty() || last.Read.Status != TJournalRead::Ok || !journal.Started ||
        journal.Closed || journal.Undone || journal.Kept || journal.Mode != RenameMode::Rename ||
        JournalWriterAlive(journal) || JournalInUse(last.Path))
        return false;
    const TUndoPlan plan = PlanUndo(journal, UndosOf(place.Folder, journal.RunId));
    const RenameTally waiting = CountUndo(plan);
    // A file gone for good is no reason to ask at every start: an undo cannot bring it.
    const auto gone = std::count_if(plan.Failures.begin(), plan.Failures.end(),
                                    [](const TUndoFailure& f) { return f.Error == ENOENT; });
    const int stillRenamed = waiting.Renamed + waiting.Failed - static_cast<int>(gone);
    if (stillRenamed <= 0)
        return false;
    const std::string question =
        FillPlaceholders(JournalText(program, "INTERRUPTEDRUN"),
                         {JournalLocalTime(journal.Time, "%Y-%m-%d %H:%M"),
                          std::to_string(journal.EntryCount), std::to_string(stillRenamed)});
    switch (AskAboutInterruptedRun(parent, program, question)) {
    case Answer::Later:
        return true;
    case Answer::Keep:
        // Should the mark not be written, the question merely comes back next time.
        MarkJournalKept(last.Path);
        return true;
    case Answer::Undo:
        break;
    }
    const TUndoResult result =
        UndoWithProgress(parent, ScreenText(JournalText(program, "UNDOINGRUN")), QString(),
                         [&](const std::atomic<bool>& cancel, const UndoProgress& progress) {
                             return UndoJournal(last.Path, journal, place, cancel, progress);
                         });
    ShowUndoResult(parent, program, result, "InterruptedRunResult");
    return true;
}

} // namespace qm
