// Names typed by hand in the window, on real files: typed in the cell's editor (F2) or in
// the names-as-text dialog, predicted, run in the planned order and undone through the
// window's own commands; kept over an option change, a sort and a language switch; and
// what the editor and the dialog refuse.

#include "app/commandline.h"
#include "app/list/predictionrunner.h"
#include "app/mainwindow.h"
#include "app/options/optionmapping.h"
#include "app/options/optiontabs.h"
#include "filelist/fileitem.h"
#include "filelist/fileitems.h"
#include "filelist/filelist.h"
#include "settings/settings.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>
#include <functional>
#include <memory>

namespace qm::test {

namespace {

QAction* Action(const TMain& main, const char* name) {
    return main.findChild<QAction*>(QString::fromLatin1(name));
}

QTreeView* View(const TMain& main) {
    return main.findChild<QTreeView*>(QStringLiteral("FileList"));
}

QString Cell(const TMain& main, int row, int column, int role = Qt::DisplayRole) {
    return View(main)->model()->index(row, column).data(role).toString();
}

QString Status(const TMain& main) {
    return main.findChild<QLabel*>(QStringLiteral("FileExample"))->text();
}

QString Summary(const TMain& main) {
    return main.findChild<QLabel*>(QStringLiteral("RenameSummary"))->text();
}

int HandNamed(const TMain& main) {
    const TFileItems& items = main.FileItems()->Items();
    int count = 0;
    for (int slot = 0; slot < items.Count(); ++slot) {
        count += items.Items(slot)->HandName() != nullptr ? 1 : 0;
    }
    return count;
}

// Waits until the marks of the list and the options as they are now have been shown.
bool WaitForMarks(const TMain& main) {
    auto* runner = main.findChild<TPredictionRunner*>(QStringLiteral("Prediction"));
    quint64 shown = 0;
    const QMetaObject::Connection connection =
        QObject::connect(runner, &TPredictionRunner::delivered,
                         [&shown](quint64 generation) { shown = generation; });
    const bool arrived = QTest::qWaitFor([&] { return shown == runner->Generation(); }, 10000);
    QObject::disconnect(connection);
    return arrived;
}

// Opens the editor of `row`'s new name with F2 on the list, or with a double click on the
// cell; null when none opened.
QLineEdit* OpenEditor(TMain& main, int row, bool doubleClick = false) {
    QTreeView* view = View(main);
    view->setFocus();
    view->setCurrentIndex(view->model()->index(row, 0));
    if (doubleClick) {
        const QPoint cell = view->visualRect(view->model()->index(row, 1)).center();
        // As a user's: the first click of the two presses the cell, the second opens it.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell);
    } else {
        QTest::keyClick(view, Qt::Key_F2);
    }
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    return editor != nullptr && editor->objectName() == QLatin1String("NewNameEditor") ? editor
                                                                                       : nullptr;
}

// Types `name` over the editor's text and presses Enter.
void TypeName(TMain& main, int row, const QString& name) {
    QLineEdit* editor = OpenEditor(main, row);
    QVERIFY(editor != nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, name);
    QTest::keyClick(editor, Qt::Key_Return);
    // The editor hands its text over and closes on the next turn of the event loop.
    QTRY_VERIFY(QApplication::focusWidget() != editor);
}

// Triggers "Edit new names as text...", puts `text` in the dialog and clicks OK; the
// dialog's text as it opened, its note and the line of its cursor are kept, and a dialog
// that stays open is cancelled. A refusal to open is kept and answered.
struct TextDialogRun {
    QString opened;
    QString note;
    int line = -1;
    bool stayedOpen = false;
    QString refused;
};

TextDialogRun EditAsText(TMain& main, const QString& text) {
    TextDialogRun run;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal);
            box != nullptr && box->objectName() == QLatin1String("NamesTextRefused")) {
            run.refused = box->text();
            box->accept();
            return;
        }
        auto* dialog = qobject_cast<QDialog*>(modal);
        if (dialog == nullptr || dialog->objectName() != QLatin1String("NameText")) {
            return;
        }
        auto* names = dialog->findChild<QPlainTextEdit*>(QStringLiteral("Names"));
        run.opened = names->toPlainText();
        names->setPlainText(text);
        dialog->findChild<QPushButton*>(QStringLiteral("OkBtn"))->click();
        run.note = dialog->findChild<QLabel*>(QStringLiteral("NamesNote"))->text();
        run.line = names->textCursor().blockNumber();
        run.stayedOpen = dialog->isVisible();
        if (run.stayedOpen) {
            dialog->reject();
        }
    });
    Action(main, "A_EditNamesAsText")->trigger();
    return run;
}

// Accepts every closing message of a run.
class MessageAnswerer {
public:
    MessageAnswerer() {
        QObject::connect(&timer_, &QTimer::timeout, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                box->accept();
            }
        });
        timer_.start(5);
    }

private:
    QTimer timer_;
};

// Calls `seen` once the run's progress window shows: the run has started, and has not
// finished, whatever its worker has done by then.
class RunWatcher : public QObject {
public:
    explicit RunWatcher(std::function<void()> seen) : seen_(std::move(seen)) {
        qApp->installEventFilter(this);
    }
    bool Seen() const { return called_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!called_ && event->type() == QEvent::Show &&
            watched->objectName() == QLatin1String("RenameProcess")) {
            called_ = true;
            seen_();
        }
        return false;
    }

private:
    std::function<void()> seen_;
    bool called_ = false;
};

} // namespace

class HandNamesTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString root_;

    // Each file holds its own first name, so that a swap shows on disk.
    std::unique_ptr<TMain> Open(const QStringList& files) {
        CommandLine commandLine;
        for (const QString& name : files) {
            QFile file(root_ + name);
            if (file.open(QIODevice::WriteOnly)) {
                file.write(name.toUtf8());
            }
            commandLine.paths.push_back((root_ + name).toStdString());
        }
        auto main = std::make_unique<TMain>(commandLine);
        main->show();
        main->activateWindow();
        if (!QTest::qWaitForWindowActive(main.get())) {
            qWarning("the window did not become active");
        }
        main->Settings()->ShowRenameSuccess = false;
        if (!Action(*main, "A_PlanRenameOrder")->isChecked()) {
            Action(*main, "A_PlanRenameOrder")->trigger();
        }
        return main;
    }

    // "name=first name" for every file on disk, by name.
    QString OnDisk() const {
        QStringList files;
        for (const QString& name : QDir(root_).entryList(QDir::Files, QDir::Name)) {
            QFile file(root_ + name);
            file.open(QIODevice::ReadOnly);
            files << name + QLatin1Char('=') + QString::fromUtf8(file.readAll());
        }
        return files.join(QLatin1Char('|'));
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

    void runAndUndo_data() {
        QTest::addColumn<bool>("asText"); // typed in the dialog, else in each row's editor
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("names"); // the new names, in list order
        QTest::addColumn<QString>("renamed");

        const QStringList abc{"a.txt", "b.txt", "c.txt"};
        const QStringList numbers{"1.txt", "2.txt", "3.txt"};
        for (const bool asText : {false, true}) {
            const char* how = asText ? "as text" : "in the editor";
            QTest::addRow("swap, %s", how)
                << asText << abc << QStringList{"b.txt", "a.txt", "c.txt"}
                << "a.txt=b.txt|b.txt=a.txt|c.txt=c.txt";
            QTest::addRow("rotation, %s", how)
                << asText << abc << QStringList{"b.txt", "c.txt", "a.txt"}
                << "a.txt=c.txt|b.txt=a.txt|c.txt=b.txt";
            QTest::addRow("renumbering chain, %s", how)
                << asText << numbers << QStringList{"2.txt", "3.txt", "4.txt"}
                << "2.txt=1.txt|3.txt=2.txt|4.txt=3.txt";
        }
    }

    void runAndUndo() {
        QFETCH(bool, asText);
        QFETCH(QStringList, files);
        QFETCH(QStringList, names);
        auto main = Open(files);
        const QString before = OnDisk();
        // No option is on: the names typed are all the run has to do.
        QVERIFY(!Action(*main, "A_RenameFiles")->isEnabled());
        if (asText) {
            const TextDialogRun run = EditAsText(*main, names.join(QLatin1Char('\n')));
            QVERIFY2(!run.stayedOpen, qPrintable(run.note));
        } else {
            for (int row = 0; row < names.size(); ++row) {
                TypeName(*main, row, names[row]);
            }
        }
        int changed = 0;
        for (int row = 0; row < names.size(); ++row) {
            changed += names[row] != files[row] ? 1 : 0;
        }
        QCOMPARE(HandNamed(*main), changed);
        for (int row = 0; row < names.size(); ++row) {
            QCOMPARE(Cell(*main, row, 1), names[row]);
        }
        QVERIFY(WaitForMarks(*main));
        // Named by hand, and no mark: the planned order makes every move.
        QCOMPARE(Status(*main).section(QStringLiteral(" \u2014 "), 1),
                 QStringLiteral("%1 named by hand").arg(changed));
        QVERIFY2(Summary(*main).endsWith(
                     QStringLiteral("\n%1 files keep the names typed by hand, whatever the "
                                    "options say")
                         .arg(changed)),
                 qPrintable(Summary(*main)));
        QVERIFY(Action(*main, "A_RenameFiles")->isEnabled());

        MessageAnswerer answers;
        Action(*main, "A_RenameFiles")->trigger();
        QTEST(OnDisk(), "renamed");
        // A renamed entry is back with the options, which name it as it is now.
        QCOMPARE(HandNamed(*main), 0);
        QVERIFY(!Status(*main).contains(QLatin1String("by hand")));
        QVERIFY(!Summary(*main).contains(QLatin1String("by hand")));
        QVERIFY(Action(*main, "A_Undo")->isEnabled());
        Action(*main, "A_Undo")->trigger();
        QCOMPARE(OnDisk(), before);
    }

    // A name typed by hand that another file has: marked as any name, and the run fails
    // on it as the mark said, leaving both files as they were.
    void collisionMarkedAndFails() {
        auto main = Open({"a.txt", "b.txt"});
        const QString before = OnDisk();
        TypeName(*main, 0, QStringLiteral("b.txt"));
        QVERIFY(WaitForMarks(*main));
        const QString tip = Cell(*main, 0, 1, Qt::ToolTipRole);
        QVERIFY2(tip.startsWith(QLatin1String("Would not be renamed: A file of this name "
                                              "already exists\n")),
                 qPrintable(tip));
        QVERIFY2(tip.endsWith(QStringLiteral("Typed by hand; the options give \u201ca.txt\u201d")),
                 qPrintable(tip));
        QCOMPARE(Cell(*main, 0, 1, Qt::AccessibleDescriptionRole), tip);
        QVERIFY(Status(*main).contains(QLatin1String("1 file would not get the name shown")));

        MessageAnswerer answers;
        Action(*main, "A_RenameFiles")->trigger();
        QCOMPARE(OnDisk(), before);
        QCOMPARE(HandNamed(*main), 1); // not renamed: the name typed stays
    }

    void keptOverOptionsSortAndLanguage() {
        auto main = Open({"a.txt", "b.txt", "c.txt"});
        TypeName(*main, 0, QStringLiteral("zz.txt"));
        RenameOptionSet prefix;
        prefix.InsertGroup = prefix.InsertFront = true;
        prefix.InsertFrontText = "x_";
        ApplyOptionsToControls(main->Options(), prefix);
        main->RefreshOptionControls();
        QCOMPARE(Cell(*main, 0, 1), QStringLiteral("zz.txt"));
        QVERIFY(View(*main)->model()->index(0, 1).data(Qt::FontRole).value<QFont>().italic());
        QCOMPARE(Cell(*main, 0, 1, Qt::ToolTipRole),
                 QStringLiteral("Typed by hand; the options give \u201cx_a.txt\u201d"));
        QCOMPARE(Cell(*main, 1, 1), QStringLiteral("x_b.txt"));
        QVERIFY(!View(*main)->model()->index(1, 1).data(Qt::FontRole).isValid());

        main->FileListColumnClick(0); // by name, now declining: a.txt is last
        QCOMPARE(Cell(*main, 2, 0), QStringLiteral("a.txt"));
        QCOMPARE(Cell(*main, 2, 1), QStringLiteral("zz.txt"));
        QCOMPARE(Cell(*main, 0, 1), QStringLiteral("x_c.txt"));

        for (QAction* language : main->findChild<QMenu*>(QStringLiteral("M_Language"))->actions()) {
            if (language->text() == QLatin1String("Dansk")) {
                language->trigger();
            }
        }
        QCOMPARE(Cell(*main, 2, 1), QStringLiteral("zz.txt"));
        View(*main)->setCurrentIndex(View(*main)->model()->index(2, 0));
        QCOMPARE(
            Status(*main).section(QStringLiteral(" \u2014 "), 0, 1),
            QStringLiteral("Nyt navn for den markerede fil: zz.txt \u2014 1 navngivet manuelt"));

        QVERIFY(Action(*main, "A_ForgetHandNames")->isEnabled());
        Action(*main, "A_ForgetHandNames")->trigger();
        QCOMPARE(Cell(*main, 2, 1), QStringLiteral("x_a.txt"));
        QCOMPARE(HandNamed(*main), 0);
        QVERIFY(!Action(*main, "A_ForgetHandNames")->isEnabled());
    }

    // Enter on the name shown keeps the row with the options; Enter on an empty name keeps
    // the editor open with a word why; Escape gives a named row back to the options.
    void editorEnterAndEscape() {
        auto main = Open({"a.txt", "b.txt"});
        QLineEdit* editor = OpenEditor(*main, 1);
        QVERIFY(editor != nullptr);
        QCOMPARE(editor->text(), QStringLiteral("b.txt"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(QApplication::focusWidget() != editor);
        QCOMPARE(HandNamed(*main), 0);

        TypeName(*main, 1, QStringLiteral("c.txt"));
        editor = OpenEditor(*main, 1, true);
        QVERIFY(editor != nullptr);
        QCOMPARE(editor->text(), QStringLiteral("c.txt"));
        editor->clear();
        QTest::keyClick(editor, Qt::Key_Return);
        const QPointer<QLineEdit> stays(editor);
        QTest::qWait(20); // what a queued close would take
        QVERIFY(stays != nullptr && QApplication::focusWidget() == stays);
        QCOMPARE(QToolTip::text(), QStringLiteral("A file needs a name: type one, or press "
                                                  "Escape to use the options' name"));
        QCOMPARE(HandNamed(*main), 1);
        QTest::keyClick(editor, Qt::Key_Escape);
        QVERIFY(QApplication::focusWidget() != editor);
        QCOMPARE(HandNamed(*main), 0);
        QCOMPARE(Cell(*main, 1, 1), QStringLiteral("b.txt"));
    }

    void textRefused_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("note"); // empty: taken
        QTest::addColumn<int>("line");     // where the cursor waits, from 0; -1: taken
        QTest::addColumn<int>("named");

        // A wrong count puts the cursor on the last line both have.
        QTest::addRow("a line too few")
            << "x.txt\nb.txt"
            << "The text has 2 lines, but 3 files are listed: each file "
               "needs its line"
            << 1 << 0;
        QTest::addRow("a line too many")
            << "x.txt\nb.txt\nc.txt\nd.txt"
            << "The text has 4 lines, but 3 files are listed: each file needs its line" << 2 << 0;
        QTest::addRow("an empty line") << "x.txt\n\nc.txt"
                                       << "Line 2 is empty: each file needs a name" << 1 << 0;
        QTest::addRow("an empty last line") << "x.txt\nb.txt\n\n"
                                            << "Line 3 is empty: each file needs a name" << 2 << 0;
        QTest::addRow("a NUL") << QStringLiteral("x.txt\nb%1.txt\nc.txt").arg(QChar(0))
                               << "Line 2 holds a NUL character, which no name can hold" << 1 << 0;
        // Only the changed line names its row; one line break at the end is no line.
        QTest::addRow("one line changed, a break at the end") << "x.txt\nb.txt\nc.txt\n"
                                                              << "" << -1 << 1;
    }

    void textRefused() {
        QFETCH(QString, text);
        auto main = Open({"a.txt", "b.txt", "c.txt"});
        const TextDialogRun run = EditAsText(*main, text);
        QCOMPARE(run.opened, QStringLiteral("a.txt\nb.txt\nc.txt"));
        QTEST(run.note, "note");
        QCOMPARE(run.stayedOpen, !run.note.isEmpty());
        QTEST(run.stayedOpen ? run.line : -1, "line");
        QTEST(HandNamed(*main), "named");
    }

    // A new name no line can hold keeps the dialog shut, naming its file, in the first row
    // as in any other.
    void textRefusedForALineBreak_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("file");
        QTest::addRow("first row") << 0 << "a.txt";
        QTest::addRow("last row") << 2 << "c.txt";
    }

    void textRefusedForALineBreak() {
        QFETCH(int, row);
        auto main = Open({"a.txt", "b.txt", "c.txt"});
        QAbstractItemModel* model = View(*main)->model();
        QVERIFY(model->setData(model->index(row, 1), QStringLiteral("x\ny.txt")));
        const TextDialogRun run = EditAsText(*main, QStringLiteral("a.txt\nb.txt\nc.txt"));
        QVERIFY2(run.opened.isEmpty(), qPrintable(run.opened));
        QFETCH(QString, file);
        QVERIFY2(run.refused.startsWith(QStringLiteral("The new name of \u201c%1\u201d holds a "
                                                       "line break")
                                            .arg(file)),
                 qPrintable(run.refused));
        QCOMPARE(HandNamed(*main), 1);
    }

    // No name can be typed while a run works, by any of the ways to type one; afterwards
    // every way is open again.
    void noNameTypedWhileARunWorks() {
        auto main = Open({"a.txt", "b.txt"});
        TypeName(*main, 0, QStringLiteral("c.txt"));
        const char* const ways[] = {"A_EditNewName", "A_UseOptionsName", "A_EditNamesAsText",
                                    "A_ForgetHandNames"};
        QAbstractItemModel* model = View(*main)->model();
        QStringList open; // what a user could do while the progress window shows
        RunWatcher watcher([&] {
            for (const char* way : ways) {
                if (Action(*main, way)->isEnabled()) {
                    open << QString::fromLatin1(way);
                }
            }
            if (model->flags(model->index(1, 1)) & Qt::ItemIsEditable) {
                open << QStringLiteral("editable cell");
            }
            if (model->setData(model->index(1, 1), QStringLiteral("d.txt"))) {
                open << QStringLiteral("setData");
            }
        });
        MessageAnswerer answers;
        Action(*main, "A_RenameFiles")->trigger();
        QVERIFY(watcher.Seen());
        QCOMPARE(open, QStringList());
        QCOMPARE(OnDisk(), QStringLiteral("b.txt=b.txt|c.txt=a.txt"));

        QVERIFY(model->flags(model->index(1, 1)) & Qt::ItemIsEditable);
        QVERIFY(Action(*main, "A_EditNewName")->isEnabled());
        QVERIFY(Action(*main, "A_EditNamesAsText")->isEnabled());
        // As a window manager would when the run's windows close.
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main.get()));
        TypeName(*main, 1, QStringLiteral("d.txt"));
        QCOMPARE(HandNamed(*main), 1);
    }
};

} // namespace qm::test

QTEST_MAIN(qm::test::HandNamesTest)
#include "handnames_test.moc"
