// The window at start-up after a run that was interrupted: one question with the counts,
// and on yes the run taken back from its journal.

#include "app/mainwindow.h"
#include "app/options/optionmapping.h"
#include "rename/journal.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace qm::test {

class JournalStartTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString files_;

    QString OnDisk() const {
        return QDir(files_).entryList(QDir::Files, QDir::Name).join(QLatin1Char('|'));
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        files_ = dir_->path() + QLatin1String("/files/");
        QVERIFY(QDir().mkpath(files_));
        qputenv("XDG_CONFIG_HOME", (dir_->path() + "/home").toUtf8());
        qputenv("XDG_CONFIG_DIRS", (dir_->path() + "/etc").toUtf8());
        qputenv("XDG_STATE_HOME", (dir_->path() + "/state").toUtf8());
    }

    void offersToUndoAnInterruptedRun_data() {
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("asksAgain");
        QTest::addColumn<QString>("prepare");
        QTest::addRow("interrupted, undone")
            << false << "InterruptedUndo"
            << QStringList{"3 files) was interrupted before it ended.\n2 files still have their "
                           "new names.\nUndo it now?",
                           "Names restored: 2\nNames not restored: 0"}
            << "a1|a2|a3" << false << "";
        QTest::addRow("interrupted, new names kept for good")
            << false << "InterruptedKeep" << QStringList{"2 files still have their new names."}
            << "a3|b1|b2" << false << "";
        QTest::addRow("interrupted, asked again later")
            << false << "InterruptedLater" << QStringList{"2 files still have their new names."}
            << "a3|b1|b2" << true << "";
        QTest::addRow("finished: nothing asked")
            << true << "InterruptedUndo" << QStringList{} << "a3|b1|b2" << false << "";
        // A file gone for good leaves the run partly undone, and is no reason to ask again.
        QTest::addRow("interrupted, a file gone")
            << false << "InterruptedUndo"
            << QStringList{"1 files still have their new names.",
                           "Names restored: 1\nNames not restored: 1\nThe run is only partly "
                           "undone: 1 files are not back"}
            << "a1|a3" << false << "b2 gone";
        // Killed between the link and the unlink of a3's move where the journal holds no
        // inode numbers: b3 looks like a3 and stays; the question comes back (b1 and b2
        // are back by then).
        QTest::addRow("interrupted, a file also under its new name")
            << false << "InterruptedUndo"
            << QStringList{"files still have their new names.",
                           "Names not restored: 1\nThe run is only partly undone: 1 files are "
                           "not back under their old names.\n1 files are under their old names "
                           "and still under their new ones too."}
            << "a1|a2|a3|b3" << true << "b3 too";
    }

    void offersToUndoAnInterruptedRun() {
        QFETCH(bool, closed);
        QFETCH(QString, answer);
        QFETCH(QStringList, texts);
        QFETCH(QString, after);
        QFETCH(bool, asksAgain);
        QFETCH(QString, prepare);
        const std::string folder = files_.toStdString();
        for (const char* name : {"a1", "a2", "a3"}) {
            QFile file(files_ + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        {
            // A run that renamed two of its three files and went no further.
            TJournalWriter writer;
            TJournal header;
            header.EntryCount = 3;
            QCOMPARE(writer.Begin(JournalFolder(), header,
                                  {{0, false, folder, "a1", "b1"},
                                   {1, false, folder, "a2", "b2"},
                                   {2, false, folder, "a3", "b3"}}),
                     std::string());
            for (const char* n : {"1", "2"}) {
                QVERIFY(std::rename((folder + "a" + n).c_str(), (folder + "b" + n).c_str()) == 0);
                writer.SetResult(static_cast<std::size_t>(n[0] - '1'), MoveResult::Done);
            }
            if (closed) {
                QCOMPARE(writer.Close({2, 0, 0, 0, true}), std::string());
            }
        }
        if (prepare == "b2 gone") {
            QVERIFY(QFile::remove(files_ + "b2"));
        } else if (prepare == "b3 too") {
            QVERIFY(QFile::copy(files_ + "a3", files_ + "b3"));
            const timespec times[2] = {{1700000000, 0}, {1700000000, 0}};
            for (const char* name : {"a3", "b3"}) {
                QCOMPARE(utimensat(AT_FDCWD, (folder + name).c_str(), times, 0), 0);
            }
        }

        QStringList seen;
        QTimer answerer;
        connect(&answerer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                return;
            }
            seen << box->text();
            if (box->objectName() == QLatin1String("InterruptedRunMessage")) {
                box->findChild<QAbstractButton*>(answer)->click();
            } else {
                box->accept();
            }
        });
        answerer.start(5);
        for (int start = 0; start < 2; ++start) {
            TMain main{CommandLine{}};
            main.show();
            // The question comes once the window is up; give it the time to come and go.
            QTest::qWait(200);
            QTRY_COMPARE(seen.size(), texts.size());
            for (int i = 0; i < texts.size(); ++i) {
                QVERIFY2(seen[i].contains(texts[i]), qPrintable(seen[i]));
            }
            QCOMPARE(OnDisk(), after);
            // At the next start, only "Ask me later" asks again.
            if (!asksAgain) {
                texts.clear();
            }
            seen.clear();
        }
    }

    // A run whose journal cannot be written does not start, and the window says why.
    void refusesARunWithoutJournal() {
        QFile blocker(dir_->path() + "/state-is-a-file");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        qputenv("XDG_STATE_HOME", blocker.fileName().toUtf8());
        QFile file(files_ + "a1");
        QVERIFY(file.open(QIODevice::WriteOnly));
        CommandLine commandLine;
        commandLine.paths.push_back(file.fileName().toStdString());
        TMain main(commandLine);
        main.show();
        RenameOptionSet options;
        options.InsertGroup = options.InsertFront = true;
        options.InsertFrontText = "x_";
        ApplyOptionsToControls(main.Options(), options);
        main.RefreshOptionControls();
        QStringList seen;
        QTimer answerer;
        connect(&answerer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen << box->objectName() + ": " + box->text();
                box->accept();
            }
        });
        answerer.start(5);
        main.findChild<QAction*>(QStringLiteral("A_RenameFiles"))->trigger();
        QCOMPARE(seen.size(), 1);
        QVERIFY2(seen[0].startsWith("JournalMessage: Nothing was renamed"), qPrintable(seen[0]));
        QCOMPARE(OnDisk(), QStringLiteral("a1"));
    }
};

} // namespace qm::test

QTEST_MAIN(qm::test::JournalStartTest)
#include "journalstart_test.moc"
