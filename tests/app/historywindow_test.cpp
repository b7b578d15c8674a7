// The history window on real files and journals: a run taken back from it leaves the disk
// as `quillmark-cli undo --run` leaves an identical tree, a damaged journal is a row of
// its own, and the window's last run undone from here ends the window's Undo.

#include "app/history/historywindow.h"
#include "app/mainwindow.h"
#include "app/options/optionmapping.h"
#include "rename/journal.h"
#include "rename/journalundo.h"
#include "settings/settings.h"

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace qm::test {

namespace {

// Every file and folder under `root`, relative, sorted.
QString Tree(const QString& root) {
    QStringList names;
    QDirIterator it(root, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names << QDir(root).relativeFilePath(it.next());
    names.sort();
    return names.join(QLatin1Char('|'));
}

bool Touch(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::WriteOnly);
}

// One scenario made in `root` with its journals in `journals`; returns the id of the run
// to take back, "" when it could not be made.
std::string Prepare(const QString& kind, const std::string& root, const std::string& journals) {
    for (const char* name : {"a1", "a2", "a3"})
        if (!Touch(root + name))
            return {};
    TJournal header;
    header.EntryCount = 3;
    // The third file goes into a folder the run makes, which the undo removes again.
    const std::vector<TJournalMoveRef> moves = {{0, false, root, "a1", "b1"},
                                                {1, false, root, "a2", "b2"},
                                                {2, false, root, "", "sub"},
                                                {2, false, root, "a3", "sub/c3"}};
    std::string runId;
    std::string path;
    {
        TJournalWriter writer;
        if (!writer.Begin(journals, header, moves).empty())
            return {};
        const std::size_t taken = kind == "interrupted" ? 2 : moves.size();
        for (std::size_t i = 0; i < taken; ++i) {
            const std::string to = root + std::string(moves[i].To);
            const int error =
                moves[i].From.empty()
                    ? mkdir(to.c_str(), 0777)
                    : std::rename((root + std::string(moves[i].From)).c_str(), to.c_str());
            if (error != 0)
                return {};
            writer.SetResult(i, MoveResult::Done);
        }
        // An interrupted run's writer is never closed.
        if (kind != "interrupted" && !writer.Close({3, 0, 0, 0, false}).empty())
            return {};
        runId = writer.RunId();
        path = writer.Path();
    }
    if (kind == "partly undone") {
        // Another file took a2's old name: the first undo leaves b2; then the name is free.
        if (!Touch(root + "a2"))
            return {};
        const std::atomic<bool> never{false};
        const TUndoResult first =
            UndoJournal(path, ReadJournal(path).Journal, {journals, "test"}, never);
        if (first.Complete || first.Tally.Failed != 1 ||
            !QFile::remove(QString::fromStdString(root + "a2")))
            return {};
    }
    return runId;
}

} // namespace

class HistoryWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    // What the message boxes said, and the answer given to the question.
    QStringList seen_;
    QTimer answerer_;

    THistoryWindow* OpenHistory(TMain& main) {
        main.findChild<QAction*>(QStringLiteral("A_History"))->trigger();
        auto* history = main.findChild<THistoryWindow*>(QStringLiteral("HistoryWindow"));
        if (history != nullptr) {
            QSignalSpy shown(history, &THistoryWindow::runsShown);
            if (!shown.wait(5000))
                return nullptr;
        }
        return history;
    }

    // Selects the run `runId` and waits for its renames.
    bool Select(THistoryWindow& history, const std::string& runId) {
        const auto& runs = history.Runs();
        for (std::size_t row = 0; row < runs.size(); ++row) {
            if (runs[row].Summary.Journal.RunId != runId)
                continue;
            QSignalSpy moves(&history, &THistoryWindow::movesShown);
            history.SelectRow(static_cast<int>(row));
            return moves.wait(5000);
        }
        return false;
    }

    QString Cell(THistoryWindow& history, int row, int column) {
        auto* view = history.findChild<QTableView*>(QStringLiteral("HistoryRuns"));
        return view->model()->index(row, column).data().toString();
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        qputenv("XDG_CONFIG_HOME", (dir_->path() + "/home").toUtf8());
        qputenv("XDG_CONFIG_DIRS", (dir_->path() + "/etc").toUtf8());
        qputenv("XDG_STATE_HOME", (dir_->path() + "/state").toUtf8());
        seen_.clear();
        answerer_.disconnect();
        connect(&answerer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr)
                return;
            seen_ << box->objectName() + ": " + box->text();
            if (box->objectName() == QLatin1String("HistoryUndoQuestion"))
                box->button(QMessageBox::Yes)->click();
            else
                box->accept();
        });
        answerer_.start(5);
    }

    void undoLeavesTheDiskAsUndoRunDoes_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("restored");
        QTest::addColumn<QString>("state");
        QTest::addRow("finished") << "finished"
                                  << "3"
                                  << "finished, undone";
        QTest::addRow("interrupted") << "interrupted"
                                     << "2"
                                     << "interrupted, undone";
        QTest::addRow("partly undone") << "partly undone"
                                       << "1"
                                       << "finished, undone";
    }

    void undoLeavesTheDiskAsUndoRunDoes() {
        QFETCH(QString, kind);
        QFETCH(QString, restored);
        QFETCH(QString, state);
        TMain main{CommandLine{}};
        main.show();
        // After the window's own look for an interrupted run.
        QCoreApplication::processEvents();
        const QString window = dir_->path() + "/window/";
        const QString cli = dir_->path() + "/cli/";
        QVERIFY(QDir().mkpath(window) && QDir().mkpath(cli));
        const std::string cliJournals =
            (dir_->path() + "/cli-state/Marlowick/Quillmark/").toStdString();
        const std::string windowRun = Prepare(kind, window.toStdString(), JournalFolder());
        const std::string cliRun = Prepare(kind, cli.toStdString(), cliJournals);
        QVERIFY(!windowRun.empty() && !cliRun.empty());
        QCOMPARE(Tree(window), Tree(cli));

        THistoryWindow* history = OpenHistory(main);
        QVERIFY(history != nullptr);
        QVERIFY(Select(*history, windowRun));
        auto* undo = history->findChild<QPushButton*>(QStringLiteral("HistoryUndo"));
        QVERIFY(undo->isEnabled());
        QSignalSpy reread(history, &THistoryWindow::runsShown);
        undo->click();
        QVERIFY(reread.wait(5000));

        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_STATE_HOME"), dir_->path() + "/cli-state");
        process.setProcessEnvironment(env);
        process.start(
            QCoreApplication::applicationDirPath() + "/quillmark-cli",
            {QStringLiteral("undo"), QStringLiteral("--run"), QString::fromStdString(cliRun)});
        QVERIFY(process.waitForFinished(10000));
        const QString printed = QString::fromUtf8(process.readAllStandardOutput());
        QVERIFY2(printed.startsWith(restored + " renamed,") && printed.contains(" 0 failed"),
                 qPrintable(printed));
        QCOMPARE(process.exitCode(), 0);

        QCOMPARE(Tree(window), Tree(cli));
        QCOMPARE(Tree(window), QStringLiteral("a1|a2|a3"));
        QVERIFY2(seen_.size() == 2 && seen_[1].startsWith("HistoryUndoResult: Names restored: " +
                                                          restored + "\nNames not restored: 0"),
                 qPrintable(seen_.join(" / ")));
        // The same run is selected again, and shows that it is undone.
        const int row = history->SelectedRow();
        QVERIFY(row >= 0);
        QCOMPARE(history->Runs()[static_cast<std::size_t>(row)].Summary.Journal.RunId, windowRun);
        QCOMPARE(Cell(*history, row, 6), state);
        QVERIFY(!undo->isEnabled());
        QCOMPARE(history->findChild<QLabel*>(QStringLiteral("HistoryRefusal"))->text(),
                 QStringLiteral("The run is undone already."));
    }

    // A journal whose header is damaged is a row that says so, and cannot be undone; its
    // renames are replaced by the reason.
    void damagedJournalIsListed() {
        TMain main{CommandLine{}};
        main.show();
        QCoreApplication::processEvents();
        const std::string root = (dir_->path() + "/").toStdString();
        QVERIFY(Touch(root + "b1"));
        std::string damaged;
        for (int run = 0; run < 2; ++run) {
            TJournalWriter writer;
            TJournal header;
            header.EntryCount = 1;
            QCOMPARE(writer.Begin(JournalFolder(), header, {{0, false, root, "a1", "b1"}}),
                     std::string());
            writer.SetResult(0, MoveResult::Done);
            QCOMPARE(writer.Close({1, 0, 0, 0, false}), std::string());
            damaged = writer.Path();
        }
        {
            QFile file(QString::fromStdString(damaged));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QByteArray bytes = file.readAll();
            bytes[kJournalLead + 4] = static_cast<char>(bytes[kJournalLead + 4] ^ 0x5a);
            QVERIFY(file.seek(0) && file.write(bytes) == bytes.size());
        }
        THistoryWindow* history = OpenHistory(main);
        QVERIFY(history != nullptr);
        auto* runs = history->findChild<QTableView*>(QStringLiteral("HistoryRuns"));
        QAbstractItemModelTester tester(runs->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(runs->model()->rowCount(), 2);
        const int bad = history->Runs()[0].Summary.Path == damaged ? 0 : 1;
        const int good = 1 - bad;
        QVERIFY2(Cell(*history, bad, 6).startsWith("damaged: "),
                 qPrintable(Cell(*history, bad, 6)));
        QCOMPARE(Cell(*history, good, 6), QStringLiteral("finished"));
        QCOMPARE(Cell(*history, good, 3), QStringLiteral("1"));
        QSignalSpy moves(history, &THistoryWindow::movesShown);
        history->SelectRow(bad);
        QVERIFY(moves.wait(5000));
        QVERIFY(!history->findChild<QPushButton*>(QStringLiteral("HistoryUndo"))->isEnabled());
        QCOMPARE(history->findChild<QLabel*>(QStringLiteral("HistoryRefusal"))->text(),
                 QStringLiteral("Its journal cannot be read."));
        auto* note = history->findChild<QLabel*>(QStringLiteral("HistoryMovesNote"));
        QVERIFY2(note->isVisible() && note->text().startsWith("This journal cannot be read: "),
                 qPrintable(note->text()));
        history->SelectRow(good);
        QVERIFY(moves.wait(5000));
        QVERIFY(history->findChild<QPushButton*>(QStringLiteral("HistoryUndo"))->isEnabled());
        auto* renames = history->findChild<QTableView*>(QStringLiteral("HistoryMoves"));
        QVERIFY(renames->isVisible());
        QCOMPARE(renames->model()->index(0, 1).data().toString(), QStringLiteral("b1"));
        QCOMPARE(renames->model()->index(0, 2).data().toString(), QStringLiteral("done"));
    }

    // The user's way: a rename in the window, then "History of renames..." from the Edit
    // menu, right after Undo. The run is the window's; undone from the history, the
    // window's own Undo of it is over. The window's size is kept for the next opening.
    void windowsLastRunUndoneFromTheHistory() {
        const std::string root = (dir_->path() + "/").toStdString();
        QVERIFY(Touch(root + "a1"));
        CommandLine commandLine;
        commandLine.paths.push_back(root + "a1");
        TMain main(commandLine);
        main.show();
        QCoreApplication::processEvents();
        auto* edit = main.findChild<QMenu*>(QStringLiteral("M_Edit"));
        const QList<QAction*> items = edit->actions();
        QVERIFY(items.size() > 2);
        QCOMPARE(items[0]->objectName(), QStringLiteral("A_Undo"));
        QCOMPARE(items[1]->objectName(), QStringLiteral("A_History"));
        QCOMPARE(items[1]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_H));
        // The stored days are checked in the Options menu; a choice stores its days.
        QVERIFY(main.findChild<QAction*>(QStringLiteral("A_Keep30Days"))->isChecked());
        main.findChild<QAction*>(QStringLiteral("A_Keep1Year"))->trigger();
        QCOMPARE(main.Settings()->JournalKeepDays, 365);
        QVERIFY(!main.findChild<QAction*>(QStringLiteral("A_Keep30Days"))->isChecked());

        RenameOptionSet options;
        options.InsertGroup = options.InsertFront = true;
        options.InsertFrontText = "x_";
        ApplyOptionsToControls(main.Options(), options);
        main.RefreshOptionControls();
        main.findChild<QAction*>(QStringLiteral("A_RenameFiles"))->trigger();
        QVERIFY(QFile::exists(dir_->filePath(QStringLiteral("x_a1"))));
        auto* undoAction = main.findChild<QAction*>(QStringLiteral("A_Undo"));
        QVERIFY(undoAction->isEnabled());

        THistoryWindow* history = OpenHistory(main);
        QVERIFY(history != nullptr);
        QCOMPARE(Cell(*history, 0, 2), QStringLiteral("window"));
        QVERIFY(history->SelectedRow() == 0);
        QSignalSpy reread(history, &THistoryWindow::runsShown);
        history->findChild<QPushButton*>(QStringLiteral("HistoryUndo"))->click();
        QVERIFY(reread.wait(5000));
        QVERIFY(QFile::exists(dir_->filePath(QStringLiteral("a1"))));
        QVERIFY(!undoAction->isEnabled());
        // The undo is the newest row now, and the run undone stays selected.
        QCOMPARE(Cell(*history, 0, 2), QStringLiteral("undo of a run"));
        QCOMPARE(history->SelectedRow(), 1);

        history->resize(700, 450);
        auto* runs = history->findChild<QTableView*>(QStringLiteral("HistoryRuns"));
        runs->setColumnWidth(1, 321);
        history->close();
        QCOMPARE(main.Settings()->HistoryWidth, 700);
        history->resize(400, 300);
        runs->setColumnWidth(1, 50);
        main.findChild<QAction*>(QStringLiteral("A_History"))->trigger();
        QCOMPARE(history->width(), 700);
        QCOMPARE(runs->columnWidth(1), 321);
    }
};

} // namespace qm::test

QTEST_MAIN(qm::test::HistoryWindowTest)
#include "historywindow_test.moc"
