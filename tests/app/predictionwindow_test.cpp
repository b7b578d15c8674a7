// The prediction of the run in the window: the marks of the new-name column and the count
// in the status line on real files, and typing while a prediction of 100,000 entries runs.

#include "app/commandline.h"
#include "app/list/filelistmodel.h"
#include "app/list/predictionrunner.h"
#include "app/list/tagloader.h"
#include "app/mainwindow.h"
#include "app/options/optionmapping.h"
#include "app/options/optiontabs.h"
#include "engine/newname.h"
#include "filelist/fileitems.h"
#include "filelist/filelist.h"
#include "filetags/tagpool.h"
#include "tests/support/exfatmount.h"
#include "tests/support/mediafiles.h"

#include <QAction>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

Q_DECLARE_METATYPE(qm::RenameOptionSet)

namespace qm::test {

namespace {

RenameOptionSet Inserting(const std::string& front, const std::string& back, int number = -1) {
    RenameOptionSet o;
    o.InsertGroup = true;
    o.InsertFront = !front.empty();
    o.InsertFrontText = front;
    o.InsertBack = !back.empty();
    o.InsertBackText = back;
    o.NumberIncEnabled = number >= 0;
    o.NumberIncValue = std::max(number, 0);
    return o;
}

RenameOptionSet Replacing(std::vector<ReplacePair> pairs) {
    RenameOptionSet o;
    o.ReplaceGroup = o.ReplaceEnabled = true;
    o.ReplaceCount = static_cast<std::int32_t>(pairs.size());
    std::copy(pairs.begin(), pairs.end(), o.ReplacePairs.begin());
    return o;
}

TPredictionRunner* Runner(const TMain& main) {
    return main.findChild<TPredictionRunner*>(QStringLiteral("Prediction"));
}

QAbstractItemModel* ListModel(const TMain& main) {
    return main.findChild<QTreeView*>(QStringLiteral("FileList"))->model();
}

// Waits until the marks of the list and the options as they are now have been shown.
bool WaitForMarks(const TMain& main) {
    TPredictionRunner* runner = Runner(main);
    quint64 shown = 0;
    const QMetaObject::Connection connection =
        QObject::connect(runner, &TPredictionRunner::delivered,
                         [&shown](quint64 generation) { shown = generation; });
    const bool arrived = QTest::qWaitFor([&] { return shown == runner->Generation(); }, 10000);
    QObject::disconnect(connection);
    return arrived;
}

} // namespace

class PredictionWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString root_;

    void Touch(const QString& name) {
        QFile file(root_ + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        root_ = dir_->path() + QLatin1String("/files/");
        QVERIFY(QDir().mkpath(root_));
        qputenv("XDG_CONFIG_HOME", (dir_->path() + "/home").toUtf8());
        qputenv("XDG_CONFIG_DIRS", (dir_->path() + "/etc").toUtf8());
    }

    void marksAndCount_data() {
        QTest::addColumn<QStringList>("files");    // listed, in the order the list sorts them
        QTest::addColumn<QStringList>("blockers"); // on disk, not listed
        QTest::addColumn<RenameOptionSet>("options");
        QTest::addColumn<QStringList>("marks"); // "row: tool tip"
        QTest::addColumn<QString>("count");

        QTest::addRow("duplicate target")
            << QStringList{"a1.txt", "a2.txt"} << QStringList{} << Replacing({{"1", ""}, {"2", ""}})
            << QStringList{"1: Would not be renamed: \u201ca1.txt\u201d gets this name earlier in "
                           "the run"}
            << "1 file would not get the name shown";
        QTest::addRow("existing target")
            << QStringList{"a.txt", "b.txt"} << QStringList{"x_b.txt"} << Inserting("x_", "")
            << QStringList{"1: Would not be renamed: A file of this name already exists"}
            << "1 file would not get the name shown";
        // a.txt would become ab.txt, which only the next rename frees.
        QTest::addRow("chain in list order")
            << QStringList{"a.txt", "ab.txt"} << QStringList{} << Inserting("", "b")
            << QStringList{"0: Would not be renamed: A file of this name already exists"}
            << "1 file would not get the name shown";
        QTest::addRow("case-only change")
            << QStringList{"readme.txt"} << QStringList{} << Replacing({{"readme", "README"}})
            << QStringList{} << "";
        // The failure keeps the number at 2: the last file gets 2, not 3.
        QTest::addRow("numbering shift")
            << QStringList{"a.txt", "b.txt", "c.txt"} << QStringList{"n_b2.txt"}
            << Inserting("n_", "", 1)
            << QStringList{"1: Would not be renamed: A file of this name already exists",
                           "2: Would be renamed to \u201cn_c2.txt\u201d: the number rises only "
                           "for files that are renamed"}
            << "2 files would not get the name shown";
        // The run tries n_c2.txt, which is there; the column shows n_c3.txt, which is not.
        QTest::addRow("failure after the shift")
            << QStringList{"a.txt", "b.txt", "c.txt"} << QStringList{"n_a1.txt", "n_c2.txt"}
            << Inserting("n_", "", 1)
            << QStringList{"0: Would not be renamed: A file of this name already exists",
                           "1: Would be renamed to \u201cn_b1.txt\u201d: the number rises only "
                           "for files that are renamed",
                           "2: Would not be renamed to \u201cn_c2.txt\u201d: A file of this name "
                           "already exists"}
            << "3 files would not get the name shown";
        RenameOptionSet pattern = Replacing({{"a(", "b"}});
        pattern.ReplaceRegularExpressions = true;
        QTest::addRow("pattern that does not compile")
            << QStringList{"a(.txt"} << QStringList{} << pattern
            << QStringList{"0: Would not be renamed: A find text is not a valid regular "
                           "expression"}
            << "1 file would not get the name shown";
        // b1.txt would be b2.txt by the column, but the run's number is still 1 there.
        RenameOptionSet renumber = Inserting("", "", 1);
        renumber.RemoveGroup = renumber.RemoveBack = true;
        QTest::addRow("kept by the shift")
            << QStringList{"a0.txt", "b1.txt"} << QStringList{"a1.txt"} << renumber
            << QStringList{"0: Would not be renamed: A file of this name already exists",
                           "1: Would keep its name: the number rises only for files that are "
                           "renamed"}
            << "2 files would not get the name shown";
    }

    void marksAndCount() {
        QFETCH(QStringList, files);
        QFETCH(QStringList, blockers);
        QFETCH(RenameOptionSet, options);
        CommandLine commandLine;
        for (const QString& name : files + blockers) {
            Touch(name);
        }
        for (const QString& name : files) {
            commandLine.paths.push_back((root_ + name).toStdString());
        }
        TMain main(commandLine);
        main.show();
        ApplyOptionsToControls(main.Options(), options);
        main.RefreshOptionControls();
        QVERIFY(WaitForMarks(main));

        const QAbstractItemModel* model = ListModel(main);
        QCOMPARE(model->rowCount(), files.size());
        QStringList marks;
        for (int row = 0; row < model->rowCount(); ++row) {
            QCOMPARE(model->index(row, 0).data().toString(), files[row]);
            const QModelIndex newName = model->index(row, 1);
            const QString tip = newName.data(Qt::ToolTipRole).toString();
            QCOMPARE(newName.data(Qt::DecorationRole).isValid(), !tip.isEmpty());
            QCOMPARE(newName.data(Qt::ForegroundRole).isValid(), !tip.isEmpty());
            QCOMPARE(newName.data(Qt::AccessibleDescriptionRole).toString(), tip);
            if (!tip.isEmpty()) {
                marks << QStringLiteral("%1: %2").arg(row).arg(tip);
            }
        }
        QTEST(marks, "marks");
        const QString status = main.findChild<QLabel*>(QStringLiteral("FileExample"))->text();
        QTEST(status.section(QStringLiteral(" \u2014 "), 1), "count");
    }

    // With the number per folder the column counts each folder's rows from the start on
    // their own, as the run does: rows of two folders in turn show the run's names and no
    // mark, and a row moved ahead of its folder's others renumbers them.
    void numberPerFolderInTheColumn() {
        CommandLine commandLine;
        for (const QString name : {"d1/a.txt", "d2/b.txt", "d1/c.txt", "d2/d.txt"}) {
            QVERIFY(QDir().mkpath(root_ + name.section(QLatin1Char('/'), 0, 0)));
            Touch(name);
            commandLine.paths.push_back((root_ + name).toStdString());
        }
        TMain main(commandLine);
        main.show();
        RenameOptionSet options = Inserting("", "_", 1);
        options.NumberPerFolder = true;
        ApplyOptionsToControls(main.Options(), options);
        main.RefreshOptionControls();
        QVERIFY(WaitForMarks(main));
        auto* model = qobject_cast<TFileListModel*>(ListModel(main));
        const auto rows = [model] {
            QStringList shown;
            for (int row = 0; row < model->rowCount(); ++row) {
                const QModelIndex newName = model->index(row, 1);
                shown << model->index(row, 0).data().toString() + QLatin1Char(' ') +
                             newName.data().toString() + newName.data(Qt::ToolTipRole).toString();
            }
            return shown;
        };
        QCOMPARE(rows(),
                 (QStringList{"a.txt a_1.txt", "b.txt b_1.txt", "c.txt c_2.txt", "d.txt d_2.txt"}));
        model->MoveRows({2}, [](TFileItems& items, const std::vector<int>& moving) {
            return items.MoveTo(moving, 0);
        });
        QCOMPARE(rows(),
                 (QStringList{"c.txt c_1.txt", "a.txt a_2.txt", "b.txt b_1.txt", "d.txt d_2.txt"}));
    }

    // With the order planned, a chain is no failure; the marks follow the check mark.
    void plannedOrderMarksWhatThePlannedRunDoes() {
        Touch(QStringLiteral("a.txt"));
        Touch(QStringLiteral("ab.txt"));
        CommandLine commandLine;
        commandLine.paths = {(root_ + "a.txt").toStdString(), (root_ + "ab.txt").toStdString()};
        TMain main(commandLine);
        main.show();
        ApplyOptionsToControls(main.Options(), Inserting("", "b"));
        main.RefreshOptionControls();
        QAction* plan = main.findChild<QAction*>(QStringLiteral("A_PlanRenameOrder"));
        for (const bool planned : {false, true, false}) {
            if (plan->isChecked() != planned) {
                plan->trigger();
            }
            QVERIFY(WaitForMarks(main));
            QCOMPARE(Runner(main)->Order(), planned ? RunOrder::Planned : RunOrder::ListOrder);
            QCOMPARE(ListModel(main)->index(0, 1).data(Qt::ToolTipRole).isValid(), !planned);
        }
    }

    // A name the folder's drive refuses is marked with the character it refuses (a real
    // exFAT through FUSE, which needs root).
    void refusedByTheDrive() {
        test::ExfatMount card;
        if (!card.Error().empty()) {
            QSKIP(qPrintable(QString::fromStdString("no exFAT mount: " + card.Error())));
        }
        QFile file(QString::fromStdString(card.Folder() + "a.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        CommandLine commandLine;
        commandLine.paths = {card.Folder() + "a.txt"};
        TMain main(commandLine);
        main.show();
        ApplyOptionsToControls(main.Options(), Inserting("", ":1"));
        main.RefreshOptionControls();
        QVERIFY(WaitForMarks(main));
        QCOMPARE(ListModel(main)->index(0, 1).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("Would not be renamed: The new name holds \u201c:\u201d, which "
                                "this drive does not allow in a name"));
    }

    // The marks belong to the rows of their snapshot: removing a row drops them until the
    // prediction of the new list is there.
    void listChangeDropsMarks() {
        Touch(QStringLiteral("a.txt"));
        Touch(QStringLiteral("x_a.txt"));
        CommandLine commandLine;
        commandLine.paths.push_back((root_ + "a.txt").toStdString());
        TMain main(commandLine);
        main.show();
        ApplyOptionsToControls(main.Options(), Inserting("x_", ""));
        main.RefreshOptionControls();
        QVERIFY(WaitForMarks(main));
        QVERIFY(ListModel(main)->index(0, 1).data(Qt::ToolTipRole).isValid());
        main.AddFile((root_ + "b.txt").toStdString());
        QVERIFY(!ListModel(main)->index(0, 1).data(Qt::ToolTipRole).isValid());
        QVERIFY(WaitForMarks(main));
        QVERIFY(ListModel(main)->index(0, 1).data(Qt::ToolTipRole).isValid());
    }

    // A failure at the top shifts the number of every later row: thousands of names to
    // compare, on two threads.
    void failureAtTheTopMarksEveryLaterRow() {
        RenameOptionSet options = Inserting("", "", 0);
        std::vector<TRunEntry> entries;
        TPrediction prediction;
        for (int i = 0; i < 5000; ++i) {
            entries.push_back({i, false, "/x/", "f" + std::to_string(i) + ".txt", {}, {}, {}});
            TPredictedEntry entry;
            entry.Outcome = i == 0 ? RenameOutcome::Failed : RenameOutcome::Renamed;
            entry.Error = i == 0 ? EEXIST : 0;
            entry.Candidate = ComputeNewName(options, entries.back().Name, std::max(i - 1, 0));
            prediction.Entries.push_back(entry);
        }
        prediction.Tally.NumberIncValue = 4999;
        const std::vector<TRowMark> marks = MarkRows(entries, prediction, options);
        QCOMPARE(marks.size(), entries.size());
        for (std::size_t i = 1; i < marks.size(); ++i) {
            QCOMPARE(marks[i].Slot, static_cast<int>(i));
            QCOMPARE(marks[i].Kind, MarkKind::Shifted);
            QCOMPARE(marks[i].Name, prediction.Entries[i].Candidate);
        }
    }

    // The column's names made ahead stand for the entries, not for the marks: a renumbered
    // row that still gets the name shown (row 1) is dropped, the next one (row 2) is not.
    void shownNamesMadeAheadMarkAsThoseMadeLater() {
        const RenameOptionSet options = Inserting("", "", 0);
        std::vector<TRunEntry> entries;
        TPrediction prediction;
        for (int i = 0; i < 3; ++i) {
            entries.push_back({i, false, "/x/", "f" + std::to_string(i) + ".txt", {}, {}, {}});
            TPredictedEntry entry;
            entry.Outcome = RenameOutcome::Renamed;
            entry.Number = i == 0 ? 0 : 7;
            entry.Candidate = ComputeNewName(options, entries.back().Name, i == 2 ? 7 : i);
            prediction.Entries.push_back(entry);
        }
        const std::vector<std::string> shown = ShownNames(entries, options);
        const std::vector<std::string>* none = nullptr;
        for (const std::vector<std::string>* ahead : {&shown, none}) {
            const std::vector<TRowMark> marks =
                MarkRows(entries, prediction, options, nullptr, ahead);
            QCOMPARE(marks.size(), std::size_t{1});
            QCOMPARE(marks[0].Slot, 2);
            QCOMPARE(marks[0].Kind, MarkKind::Shifted);
        }
    }

    // A row the run renames otherwise than the column shows, as its name is taken or it
    // goes with the files that share its name, is marked with the name it gets: numbered
    // only where it is the name shown with a number of any digits, else for its group.
    void organizedNamesAreMarked_data() {
        QTest::addColumn<bool>("taken");
        QTest::addColumn<bool>("companions");
        QTest::addColumn<QStringList>("marks"); // "row kind name"
        QTest::addRow("taken names")
            << true << false << QStringList{"1 numbered x_b (2).txt", "2 numbered x_c (12).txt"};
        QTest::addRow("companions") << false << true
                                    << QStringList{"1 group x_b (2).txt", "2 group x_c (12).txt",
                                                   "3 group x_d ().txt", "4 group x_e (2a).txt"};
        QTest::addRow("both") << true << true
                              << QStringList{"1 numbered x_b (2).txt", "2 numbered x_c (12).txt",
                                             "3 group x_d ().txt", "4 group x_e (2a).txt"};
    }
    void organizedNamesAreMarked() {
        QFETCH(bool, taken);
        QFETCH(bool, companions);
        RenameOptionSet options = Inserting("x_", "");
        options.NumberTakenNames = taken;
        options.RenameCompanions = companions;
        std::vector<TRunEntry> entries;
        TPrediction prediction;
        for (const char* candidate :
             {"x_a.txt", "x_b (2).txt", "x_c (12).txt", "x_d ().txt", "x_e (2a).txt"}) {
            const int slot = static_cast<int>(entries.size());
            entries.push_back(
                {slot, false, "/x/", std::string(1, char('a' + slot)) + ".txt", {}, {}, {}});
            TPredictedEntry entry;
            entry.Outcome = RenameOutcome::Renamed;
            entry.Candidate = candidate;
            prediction.Entries.push_back(entry);
        }
        const std::vector<std::string> shown = ShownNames(entries, options);
        const std::vector<std::string>* none = nullptr;
        for (const std::vector<std::string>* ahead : {&shown, none}) {
            QStringList marks;
            for (const TRowMark& mark : MarkRows(entries, prediction, options, nullptr, ahead)) {
                const char* kind = mark.Kind == MarkKind::Numbered    ? "numbered"
                                   : mark.Kind == MarkKind::Companion ? "group"
                                                                      : "other";
                marks << QStringLiteral("%1 %2 %3")
                             .arg(mark.Slot)
                             .arg(kind)
                             .arg(QString::fromStdString(mark.Name));
            }
            QTEST(marks, "marks");
        }
    }

    // The column shows what organizing gives a row, as the prediction finds it, without
    // a warning: the sidecar takes its photo's name, a taken name its number.
    void organizedNamesAreShownInTheColumn() {
        CommandLine commandLine;
        test::WriteJpeg((root_ + "IMG_1.JPG").toStdString(), {"2024:05:06 07:08:09", "", "", 8, 8});
        // a.txt is named by the month it was written, this one, which a file holds.
        const QString month = QLocale(QLocale::English).monthName(QDate::currentDate().month());
        for (const QString& name : {QStringLiteral("IMG_1.xmp"), QStringLiteral("a.txt"),
                                    month + QStringLiteral(" a.txt")}) {
            QFile file(root_ + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        for (const char* name : {"IMG_1.JPG", "IMG_1.xmp", "a.txt"})
            commandLine.paths.push_back((root_ + name).toStdString());
        TMain main(commandLine);
        main.show();
        RenameOptionSet options = Inserting("<taken:MMMM|modified:MMMM> ", "");
        options.InsertTags = true;
        options.RenameCompanions = true;
        options.NumberTakenNames = true;
        ApplyOptionsToControls(main.Options(), options);
        main.RefreshOptionControls();
        QVERIFY(WaitForMarks(main));
        const QAbstractItemModel* model = ListModel(main);
        auto newName = [model](const QString& name) {
            for (int row = 0; row < model->rowCount(); ++row)
                if (model->index(row, 0).data().toString() == name)
                    return model->index(row, 1);
            return QModelIndex();
        };
        QTRY_COMPARE(newName("IMG_1.xmp").data().toString(), QString("May IMG_1.xmp"));
        QVERIFY(!newName("IMG_1.xmp").data(Qt::DecorationRole).isValid());
        QVERIFY(newName("IMG_1.xmp").data(Qt::ToolTipRole).isValid());
        QTRY_COMPARE(newName("a.txt").data().toString(), month + QStringLiteral(" a (2).txt"));
        QVERIFY(!newName("a.txt").data(Qt::DecorationRole).isValid());
        // Nor does the status line count them among the files that would not get their names.
        const QString status = main.findChild<QLabel*>(QStringLiteral("FileExample"))->text();
        QVERIFY2(!status.contains(QStringLiteral("would not")), qPrintable(status));
    }

    // Tags through the window: the names, their order and marks once the tags are in,
    // month names following the language, and a list change that waits for the read.
    void tagsInTheWindow() {
        CommandLine commandLine;
        for (const char* name : {"a.jpg", "b.jpg"}) {
            test::WriteJpeg((root_ + name).toStdString(),
                            {name[0] == 'a' ? "2024:05:06 07:08:09" : "", "", "", 8, 8});
            commandLine.paths.push_back((root_ + name).toStdString());
        }
        TMain main(commandLine);
        main.show();
        // Sorted by the new names: once the tags are in, " b.jpg" goes before "May a.jpg".
        main.FileListColumnClick(1);
        RenameOptionSet options = Inserting("<taken:MMMM> ", "");
        options.InsertTags = true;
        ApplyOptionsToControls(main.Options(), options);
        main.RefreshOptionControls();
        QVERIFY(WaitForMarks(main));
        const QAbstractItemModel* model = ListModel(main);
        QCOMPARE(model->index(0, 1).data().toString(), QString(" b.jpg"));
        QCOMPARE(model->index(1, 1).data().toString(), QString("May a.jpg"));
        QVERIFY(!model->index(1, 1).data(Qt::ToolTipRole).isValid());
        QCOMPARE(model->index(0, 1).data(Qt::ToolTipRole).toString(), QString("No date taken"));
        const QString status = main.findChild<QLabel*>(QStringLiteral("FileExample"))->text();
        QCOMPARE(status.section(QStringLiteral(" \u2014 "), 1),
                 QString("1 file has no date taken"));

        QSignalSpy shown(model, &QAbstractItemModel::dataChanged);
        auto* languages = main.findChild<QMenu*>(QStringLiteral("M_Language"));
        for (QAction* item : languages->actions()) {
            if (item->text() == QLatin1String("Deutsch"))
                item->trigger();
        }
        QVERIFY(!shown.isEmpty()); // the view asks for the names again
        QCOMPARE(model->index(1, 1).data().toString(), QString("Mai a.jpg"));

        // A read that holds on until it is cancelled: removing the files must wait for it.
        auto* loader = main.findChild<TTagLoader*>(QStringLiteral("TagLoader"));
        std::promise<void> started;
        std::atomic<bool> returned{false};
        loader->SetRead([&](const TTagReadRequest&, const std::atomic<bool>& cancel,
                            const std::function<void(std::size_t)>&) {
            started.set_value();
            while (!cancel)
                std::this_thread::yield();
            returned = true;
            return std::size_t{0};
        });
        main.AddFile((root_ + "a.jpg").toStdString());
        main.RefreshOptionControls();
        QVERIFY(loader->Reading());
        started.get_future().wait();
        main.findChild<QAction*>(QStringLiteral("A_RemoveAllFiles"))->trigger();
        QVERIFY(returned);
        QCOMPARE(model->rowCount(), 0);
        QVERIFY(!loader->Reading());
    }

    void typingCancelsTheRunningPrediction() {
        TMain main{CommandLine{}};
        main.show();
        auto* model = qobject_cast<TFileListModel*>(ListModel(main));
        QVERIFY(model != nullptr);
        std::vector<TFileItems::NewEntry> entries;
        for (int i = 0; i < 100000; ++i) {
            entries.push_back({"f" + std::to_string(i) + ".txt", root_.toStdString()});
        }
        {
            const TFileListModel::Change change(*model);
            main.FileItems()->Items().AddNamesOnly(std::move(entries));
        }

        // The first prediction holds on until the test lets it go, and then answers that
        // every file fails: an answer the window must not take, as the options changed.
        std::atomic<int> calls{0};
        std::atomic<bool> sawCancel{false};
        std::atomic<bool> released{false};
        std::atomic<bool> firstReturned{false};
        auto guard = qScopeGuard([&] { released = true; });
        TPredictionRunner* runner = Runner(main);
        runner->SetPredict([&](const std::vector<TRunEntry>& snapshot, const RenameOptionSet&,
                               RunOrder, const std::atomic<bool>& cancel) {
            TPrediction prediction;
            TPredictedEntry entry;
            if (++calls == 1) {
                const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
                while (!released && std::chrono::steady_clock::now() < until) {
                    sawCancel = sawCancel || cancel;
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
                entry.Outcome = RenameOutcome::Failed;
                entry.Error = EROFS;
                firstReturned = true;
            }
            prediction.Entries.assign(snapshot.size(), entry);
            return prediction;
        });
        QList<quint64> delivered;
        connect(runner, &TPredictionRunner::delivered,
                [&delivered](quint64 generation) { delivered << generation; });
        ApplyOptionsToControls(main.Options(), Inserting("x", ""));
        main.RefreshOptionControls();
        QTRY_COMPARE(calls.load(), 1);
        const quint64 first = runner->Generation();

        QTest::keyClicks(main.findChild<QLineEdit*>(QStringLiteral("InsertFront")),
                         QStringLiteral("_new"));
        // Typing came back while the first prediction still held on: nobody waited for it.
        QVERIFY(!firstReturned);
        QVERIFY(runner->Generation() > first);
        QTRY_VERIFY(sawCancel);
        released = true;
        QVERIFY(WaitForMarks(main));
        QVERIFY(!delivered.contains(first));
        QCOMPARE(model->MarkCount(), 0);
    }
};

} // namespace qm::test

QTEST_MAIN(qm::test::PredictionWindowTest)
#include "predictionwindow_test.moc"
