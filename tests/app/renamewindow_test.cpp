// Renaming and undoing from the main window on real files: the counts of the closing
// message, the undo action's state, cancelling, and the progress window's figures.

#include "app/commandline.h"
#include "app/list/predictionrunner.h"
#include "app/mainwindow.h"
#include "app/options/optionmapping.h"
#include "app/options/optiontabs.h"
#include "app/run/renameprocess.h"
#include "filelist/fileitem.h"
#include "filelist/filelist.h"
#include "rename/movefile.h"
#include "settings/settings.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <functional>
#include <future>
#include <memory>

Q_DECLARE_METATYPE(qm::RenameOptionSet)

namespace qm::test {

namespace {

// Holds the window's next run at its second move, the first file renamed, until Release()
// or the end of its scope, so that a failing check never leaves the worker waiting. The
// move stays installed in `main`; it lets every later move through.
class SecondMoveHeld {
public:
    explicit SecondMoveHeld(TMain& main) {
        main.SetRenameMove([state = state_](const std::string& folder, const std::string& from,
                                            const std::string& to) {
            if (++state->calls == 2) {
                state->reached.set_value();
                state->released.wait();
            }
            return MoveFileNoReplace(folder, from, to);
        });
    }
    ~SecondMoveHeld() { Release(); }
    SecondMoveHeld(const SecondMoveHeld&) = delete;
    SecondMoveHeld& operator=(const SecondMoveHeld&) = delete;

    // Whether the run came to its second move within 20 s.
    bool Reached() {
        return reached_.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    }
    void Release() {
        if (!state_->releasedYet) {
            state_->releasedYet = true;
            state_->release.set_value();
        }
    }

private:
    struct State {
        int calls = 0; // the worker's alone
        std::promise<void> reached, release;
        std::shared_future<void> released = release.get_future().share();
        bool releasedYet = false; // the window thread's alone
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
    std::future<void> reached_ = state_->reached.get_future();
};

// Answers every closing message as it appears, keeping its text and what the progress
// window showed at that moment.
class MessageAnswerer {
public:
    MessageAnswerer() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || box->objectName() != QLatin1String("RenameMessage")) {
                return;
            }
            texts << box->text();
            if (auto* bar = box->parentWidget()->findChild<QProgressBar*>("Progress")) {
                bars << bar->value();
            }
            box->accept();
        });
        timer_.start();
    }
    QStringList texts;
    QList<int> bars;

private:
    QTimer timer_;
};

// Calls `seen` with every widget as it is shown, before it paints.
class OnShow : public QObject {
public:
    explicit OnShow(std::function<void(QWidget*)> seen) : seen_(std::move(seen)) {
        QApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Show && object->isWidgetType()) {
            seen_(static_cast<QWidget*>(object));
        }
        return false;
    }

private:
    std::function<void(QWidget*)> seen_;
};

RenameOptionSet Prefix(const std::string& text) {
    RenameOptionSet o;
    o.InsertGroup = o.InsertFront = true;
    o.InsertFrontText = text;
    return o;
}

RenameOptionSet Replacing(std::vector<ReplacePair> pairs) {
    RenameOptionSet o;
    o.ReplaceGroup = o.ReplaceEnabled = true;
    o.ReplaceCount = static_cast<std::int32_t>(pairs.size());
    std::copy(pairs.begin(), pairs.end(), o.ReplacePairs.begin());
    return o;
}

std::string EnglishLine(const std::string& key) {
    if (key == "RENAMESECONDSLEFT") {
        return "seconds left";
    }
    return key == "RENAMEMINUTESLEFT" ? "min. left" : key;
}

} // namespace

class RenameWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString root_;

    std::unique_ptr<TMain> Open(const QStringList& files, const RenameOptionSet& options,
                                bool showSuccess) {
        CommandLine commandLine;
        for (const QString& name : files) {
            QFile file(root_ + name);
            file.open(QIODevice::WriteOnly);
            commandLine.paths.push_back((root_ + name).toStdString());
        }
        auto main = std::make_unique<TMain>(commandLine);
        main->show();
        main->Settings()->ShowRenameSuccess = showSuccess;
        Use(*main, options);
        return main;
    }

    static void Use(TMain& main, const RenameOptionSet& options) {
        ApplyOptionsToControls(main.Options(), options);
        main.RefreshOptionControls();
    }

    QString OnDisk() const {
        return QDir(root_).entryList(QDir::Files, QDir::Name).join(QLatin1Char('|'));
    }

    static QAction* Action(const TMain& main, const char* name) {
        return main.findChild<QAction*>(QString::fromLatin1(name));
    }

    // Saves the controls as a scheme, which selects it.
    static void SaveScheme(TMain& main) {
        QTimer::singleShot(0, [] {
            QWidget* dialog = QApplication::activeModalWidget();
            QVERIFY(dialog != nullptr);
            dialog->findChild<QComboBox*>("Schemes")->setEditText(QStringLiteral("mine"));
            dialog->findChild<QPushButton*>("OkBtn")->click();
        });
        Action(main, "A_SaveSchemeAs")->trigger();
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

    void renameThenUndo_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<RenameOptionSet>("options");
        QTest::addColumn<bool>("showSuccess");
        QTest::addColumn<QString>("renamed");
        QTest::addColumn<QString>("renameMessage");
        QTest::addColumn<int>("counter");     // IncValue after the run; -1 when not in use
        QTest::addColumn<QString>("blocker"); // made between the run and the undo
        QTest::addColumn<QString>("restored");
        QTest::addColumn<QString>("undoMessage");
        QTest::addColumn<bool>("undoAfterUndo");

        const QStringList ab{"a.txt", "b.txt"};
        QTest::addRow("success shown when asked")
            << ab << Prefix("x_") << true << "x_a.txt|x_b.txt"
            << "Files renamed: 2\nFiles not renamed: 0" << -1 << ""
            << "a.txt|b.txt"
            << "Names restored: 2\nNames not restored: 0" << true;
        QTest::addRow("no message when all went well")
            << ab << Prefix("x_") << false << "x_a.txt|x_b.txt"
            << "" << -1 << ""
            << "a.txt|b.txt"
            << "" << true;
        QTest::addRow("collision: one renamed, one not")
            << QStringList{"a1.txt", "a2.txt"} << Replacing({{"1", ""}, {"2", ""}}) << false
            << "a.txt|a2.txt"
            << "Files renamed: 1\nFiles not renamed: 1" << -1 << ""
            << "a1.txt|a2.txt"
            << "Names restored: 1\nNames not restored: 0" << true;
        QTest::addRow("nothing to rename, nothing to undo")
            << QStringList{"a.txt"} << Replacing({{"zz", "y"}}) << false << "a.txt"
            << "Files renamed: 0\nFiles not renamed: 1" << -1 << ""
            << "a.txt"
            << "Names restored: 0\nNames not restored: 0" << true;
        RenameOptionSet counter;
        counter.RemoveGroup = counter.RemoveBack = true;
        counter.RemoveBackCount = 1;
        counter.InsertGroup = counter.NumberIncEnabled = true;
        counter.NumberIncValue = 5;
        QTest::addRow("counter: a name already right is skipped")
            << QStringList{"a0.txt", "b6.txt", "c0.txt"} << counter << false
            << "a5.txt|b6.txt|c6.txt"
            << "Files renamed: 2\nFiles not renamed: 1" << 7 << ""
            << "a0.txt|b6.txt|c0.txt"
            << "Names restored: 2\nNames not restored: 0" << true;
        QTest::addRow("undo refused by a new file")
            << QStringList{"a.txt"} << Prefix("x_") << false << "x_a.txt"
            << "" << -1 << "a.txt"
            << "a.txt|x_a.txt"
            << "Names restored: 0\nNames not restored: 1" << false;
    }

    void renameThenUndo() {
        QFETCH(QStringList, files);
        QFETCH(RenameOptionSet, options);
        QFETCH(bool, showSuccess);
        QFETCH(int, counter);
        QFETCH(QString, blocker);
        auto main = Open(files, options, showSuccess);
        auto* sets = main->findChild<QComboBox*>("Sets");
        SaveScheme(*main);
        QCOMPARE(sets->currentText(), QStringLiteral("mine"));

        MessageAnswerer answers;
        QVERIFY(Action(*main, "A_RenameFiles")->isEnabled());
        Action(*main, "A_RenameFiles")->trigger();
        QTEST(OnDisk(), "renamed");
        QTEST(answers.texts.join(QString()), "renameMessage");
        // The window showed the end of the run, not the last notice before it.
        for (int bar : answers.bars) {
            QCOMPARE(bar, 1000);
        }
        QVERIFY(Action(*main, "A_Undo")->isEnabled());
        if (counter >= 0) {
            QCOMPARE(main->Options().IncValue->value(), counter);
            QCOMPARE(sets->currentIndex(), -1);
        } else {
            QCOMPARE(sets->currentText(), QStringLiteral("mine"));
        }

        if (!blocker.isEmpty()) {
            QFile file(root_ + blocker);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        answers.texts.clear();
        Action(*main, "A_Undo")->trigger();
        QTEST(OnDisk(), "restored");
        QTEST(answers.texts.join(QString()), "undoMessage");
        QTEST(Action(*main, "A_Undo")->isEnabled(), "undoAfterUndo");
    }

    // A name the list shows numbered, as it is taken, and taken by another program before
    // the run gets there: the run takes the next number, and the closing message says so,
    // even with success messages off. With marks out of date the list's names are not held
    // against the run's.
    void anotherNumberThanShownIsTold_data() {
        QTest::addColumn<bool>("marksCurrent");
        QTest::addRow("marks of the list as it is") << true;
        QTest::addRow("marks out of date") << false;
    }
    void anotherNumberThanShownIsTold() {
        QFETCH(bool, marksCurrent);
        QFile blocker(root_ + "x_a.txt");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        RenameOptionSet options = Prefix("x_");
        options.NumberTakenNames = true;
        auto main = Open({"a.txt"}, options, false);
        auto* prediction = main->findChild<TPredictionRunner*>(QStringLiteral("Prediction"));
        QTRY_VERIFY(prediction->Delivered());
        const QAbstractItemModel* model =
            main->findChild<QTreeView*>(QStringLiteral("FileList"))->model();
        QCOMPARE(model->index(0, 1).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("Would be renamed to \u201cx_a (2).txt\u201d, as the name shown "
                                "is taken"));
        if (!marksCurrent) {
            prediction->Restart();
        }
        const QString meanwhile = root_ + "x_a (2).txt";
        main->SetRenameMove(
            [meanwhile](const std::string& folder, const std::string& from, const std::string& to) {
                QFile taken(meanwhile);
                if (!taken.exists() && !taken.open(QIODevice::WriteOnly)) {
                    return RunError(EIO);
                }
                return MoveFileNoReplace(folder, from, to);
            });
        MessageAnswerer answers;
        Action(*main, "A_RenameFiles")->trigger();
        QCOMPARE(OnDisk(), QStringLiteral("x_a (2).txt|x_a (3).txt|x_a.txt"));
        QCOMPARE(answers.texts.join(QString()),
                 marksCurrent
                     ? QStringLiteral("Files renamed: 1\nFiles not renamed: 0\n1 file took "
                                      "another number than shown, as its name was "
                                      "taken meanwhile")
                     : QString());
    }

    void plannedOrder_data() {
        QTest::addColumn<bool>("planned");
        QTest::addRow("off: a swap fails in list order") << false;
        QTest::addRow("on: a swap succeeds, and so does its undo") << true;
    }

    void plannedOrder() {
        QFETCH(bool, planned);
        // a -> c -> b and b -> a, in the order the window sorts the pairs.
        auto main =
            Open({"a.txt", "b.txt"}, Replacing({{"a", "c"}, {"b", "a"}, {"c", "b"}}), false);
        const auto content = [this](const char* name) {
            QFile file(root_ + name);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
        };
        for (const char* name : {"a.txt", "b.txt"}) {
            QFile file(root_ + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(name);
        }
        QAction* plan = Action(*main, "A_PlanRenameOrder");
        QVERIFY(plan->isCheckable() && !plan->isChecked());
        QSignalSpy changed(main.get(), &TMain::planRenameOrderChanged);
        if (planned) {
            plan->trigger();
        }
        QCOMPARE(changed.count(), planned ? 1 : 0);
        QCOMPARE(main->PlanRenameOrder(), planned);

        MessageAnswerer answers;
        Action(*main, "A_RenameFiles")->trigger();
        QCOMPARE(content("a.txt"), QByteArray(planned ? "b.txt" : "a.txt"));
        QCOMPARE(content("b.txt"), QByteArray(planned ? "a.txt" : "b.txt"));
        QCOMPARE(answers.texts.join(QString()),
                 planned ? QString() : QStringLiteral("Files renamed: 0\nFiles not renamed: 2"));
        Action(*main, "A_Undo")->trigger();
        QCOMPARE(content("a.txt"), QByteArray("a.txt"));
        QCOMPARE(content("b.txt"), QByteArray("b.txt"));

        // Stored with the other check marks of the menu.
        main->close();
        main.reset();
        TMain again{CommandLine{}};
        again.show();
        QCOMPARE(Action(again, "A_PlanRenameOrder")->isChecked(), planned);
    }

    void secondRunReplacesUndoOnlyWhereItRenamed() {
        auto main = Open({"a.txt", "b.txt"}, Prefix("x_"), false);
        Action(*main, "A_RenameFiles")->trigger();
        Use(*main, Replacing({{"x_a", "z_a"}}));
        MessageAnswerer answers;
        Action(*main, "A_RenameFiles")->trigger();
        QCOMPARE(OnDisk(), QStringLiteral("x_b.txt|z_a.txt"));
        Action(*main, "A_Undo")->trigger();
        QCOMPARE(OnDisk(), QStringLiteral("b.txt|x_a.txt"));
    }

    // The window looks for an interrupted run once it is up; a run started before that
    // look, and under way while it comes, is not one. Held here: the look comes with the
    // run's first file renamed and its second waiting.
    void startUpLookLeavesTheRunningRunAlone() {
        auto main = Open({"a.txt", "b.txt"}, Prefix("x_"), false);
        SecondMoveHeld held(*main);
        // Before the progress window's loop, which is the first to run the look: the
        // release is queued behind it.
        bool holding = true;
        OnShow shown([&](QWidget* window) {
            if (qobject_cast<TRenameProcess*>(window) == nullptr || !holding) {
                return;
            }
            holding = false;
            const bool reached = held.Reached();
            QTimer::singleShot(0, [&] { held.Release(); });
            QVERIFY(reached);
        });
        QStringList asked;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box != nullptr && box->objectName() == QLatin1String("InterruptedRunMessage")) {
                asked << box->text();
                box->reject();
            }
        });
        answer.start(5);
        Action(*main, "A_RenameFiles")->trigger();
        QCOMPARE(asked, QStringList());
        QCOMPARE(OnDisk(), QStringLiteral("x_a.txt|x_b.txt"));
    }

    void cancelKeepsUnreachedFiles_data() {
        QTest::addColumn<int>("how");
        QTest::addRow("Cancel button") << 0;
        QTest::addRow("Escape") << 1;
        QTest::addRow("Enter") << 2;
        QTest::addRow("close box") << 3;
    }

    void cancelKeepsUnreachedFiles() {
        QFETCH(int, how);
        auto main = Open({"f0.txt", "f1.txt", "f2.txt", "f3.txt"}, Prefix("x_"), false);
        Action(*main, "A_RenameFiles")->trigger();
        QCOMPARE(OnDisk(), QStringLiteral("x_f0.txt|x_f1.txt|x_f2.txt|x_f3.txt"));

        // The second file's move waits until the window has asked the run to stop.
        SecondMoveHeld held(*main);
        bool stayedOpen = false;
        QTimer::singleShot(0, [&] {
            auto* process = qobject_cast<TRenameProcess*>(QApplication::activeModalWidget());
            QVERIFY(process != nullptr);
            QVERIFY(held.Reached());
            if (how == 0) {
                process->CancelBtn->click();
            } else if (how == 1 || how == 2) {
                QTest::keyClick(process, how == 1 ? Qt::Key_Escape : Qt::Key_Return);
            } else {
                process->close();
            }
            stayedOpen = process->isVisible();
            held.Release();
        });
        Use(*main, Prefix("y_"));
        MessageAnswerer answers;
        Action(*main, "A_RenameFiles")->trigger();
        QVERIFY(stayedOpen);
        QCOMPARE(OnDisk(), QStringLiteral("x_f2.txt|x_f3.txt|y_x_f0.txt|y_x_f1.txt"));
        QCOMPARE(answers.texts, QStringList{"Files renamed: 2\nFiles not renamed: 2"});
        // The files the run never reached keep the undo of the first run.
        main->SetRenameMove({});
        Action(*main, "A_Undo")->trigger();
        QCOMPARE(OnDisk(), QStringLiteral("f2.txt|f3.txt|x_f0.txt|x_f1.txt"));
    }

    void progressInThousandths_data() {
        QTest::addColumn<qint64>("total");
        QTest::addColumn<QList<qint64>>("steps");
        QTest::addColumn<QList<int>>("bar");
        QTest::addRow("three files")
            << qint64{3} << QList<qint64>{1, 1, 1} << QList<int>{333, 666, 1000};
        QTest::addRow("beyond 32 bits")
            << qint64{3000000} << QList<qint64>{2999999, 1} << QList<int>{999, 1000};
        QTest::addRow("no step back") << qint64{10} << QList<qint64>{5, -1} << QList<int>{500, 500};
    }

    void progressInThousandths() {
        QFETCH(qint64, total);
        QFETCH(QList<qint64>, steps);
        QFETCH(QList<int>, bar);
        TRenameProcess process(nullptr, EnglishLine, "");
        process.BeginRun(total);
        process.EndRun();
        QList<int> seen;
        for (qint64 n : steps) {
            process.StepProgress(n);
            seen << process.Progress->value();
        }
        QCOMPARE(seen, bar);
    }

    void estimate_data() {
        QTest::addColumn<qint64>("left");
        QTest::addColumn<QList<int>>("ticks"); // files per tick, oldest first
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("visible");
        const QList<int> threes(10, 3);
        QTest::addRow("3 per second, 100 left")
            << qint64{100} << threes << "35 seconds left" << false;
        QTest::addRow("under 10 in ten ticks counts as 1")
            << qint64{45} << QList<int>{9} << "50 seconds left" << false;
        QTest::addRow("5 left gives 10") << qint64{5} << QList<int>{} << "10 seconds left" << false;
        QTest::addRow("57 left gives 60")
            << qint64{57} << QList<int>{} << "60 seconds left" << false;
        QTest::addRow("60 left is a minute")
            << qint64{60} << QList<int>{} << "1 min. left" << false;
        QTest::addRow("119 left is still a minute")
            << qint64{119} << QList<int>{} << "1 min. left" << false;
        QTest::addRow("2400 left at 10 per second, eleventh tick")
            << qint64{2400} << QList<int>(11, 10) << "4 min. left" << true;
        QTest::addRow("a tick after the last file")
            << qint64{0} << QList<int>(11, 0) << "5 seconds left" << true;
        QTest::addRow("tenth tick still hidden")
            << qint64{0} << QList<int>(10, 0) << "5 seconds left" << false;
        QTest::addRow("only the last ten ticks count")
            << qint64{100} << (QList<int>(1, 1000) + threes) << "35 seconds left" << true;
    }

    void estimate() {
        QFETCH(qint64, left);
        QFETCH(QList<int>, ticks);
        TRenameProcess process(nullptr, EnglishLine, "");
        process.BeginRun(left + 10000);
        process.EndRun();
        process.StepProgress(10000);
        if (ticks.isEmpty()) {
            ticks << 0; // one tick at the slowest rate
        }
        for (int count : ticks) {
            process.FilesSinceTick += count;
            process.EstimatedTimerTimer();
            QCOMPARE(process.FilesSinceTick.load(), 0);
        }
        QTEST(process.EstimatedInfo->text(), "text");
        QTEST(!process.EstimatedInfo->isHidden(), "visible");
    }
};

} // namespace qm::test

QTEST_MAIN(qm::test::RenameWindowTest)
#include "renamewindow_test.moc"
