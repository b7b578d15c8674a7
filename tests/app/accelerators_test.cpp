// Every Alt+letter the windows offer reaches one control, in every shipped language: the
// main window on each tab page (with its menu bar, quick buttons, scheme bar and tab
// captions), each menu, and the dialogs. The controls are found by walking the real
// windows, so a control added later is checked too.

#include "app/mainwindow.h"
#include "app/options/optiontabs.h"
#include "app/run/journalmessages.h"
#include "app/run/renameprocess.h"
#include "language/dynlang.h"
#include "language/textkeys.h"
#include "rename/journal.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <map>
#include <memory>

namespace qm::test {

namespace {

struct Caption {
    QString text; // as the control holds it, "&" included
    QString control;
};

// The letter Alt+ reaches in a caption; null when it has none ("&&" is a plain "&").
QChar Letter(const QString& text) {
    const QKeySequence mnemonic = QKeySequence::mnemonic(text);
    return mnemonic.isEmpty() ? QChar() : QChar(mnemonic[0].key());
}

QString Describe(const QWidget& widget) {
    return QStringLiteral("%1 %2").arg(QString::fromLatin1(widget.metaObject()->className()),
                                       widget.objectName());
}

// The captions a key press can reach in `root` as it is shown now: visible buttons, labels
// with a buddy, group boxes, tabs and the menu bar's menus. A label that shows an
// accelerator without a buddy is a fault of its own: its key does nothing.
std::vector<Caption> Reachable(QWidget& root, QStringList& faults, const QString& where) {
    std::vector<Caption> found;
    QList<QWidget*> widgets = root.findChildren<QWidget*>();
    widgets.prepend(&root);
    for (QWidget* widget : widgets) {
        if (widget != &root && !widget->isVisibleTo(&root)) {
            continue;
        }
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            found.push_back({button->text(), Describe(*button)});
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            if (label->buddy() != nullptr) {
                found.push_back({label->text(), Describe(*label)});
            } else if (!Letter(label->text()).isNull()) {
                faults << QStringLiteral("%1: label \"%2\" (%3) has an accelerator but no buddy")
                              .arg(where, label->text(), label->objectName());
            }
        } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
            found.push_back({group->title(), Describe(*group)});
        } else if (auto* tabs = qobject_cast<QTabBar*>(widget)) {
            for (int i = 0; i < tabs->count(); ++i) {
                if (tabs->isTabVisible(i)) {
                    found.push_back({tabs->tabText(i), QStringLiteral("tab")});
                }
            }
        } else if (auto* bar = qobject_cast<QMenuBar*>(widget)) {
            for (QAction* menu : bar->actions()) {
                if (menu->isVisible()) {
                    found.push_back({menu->text(), QStringLiteral("menu bar")});
                }
            }
        }
    }
    return found;
}

// One fault per letter that more than one caption carries.
void AddClashes(const std::vector<Caption>& captions, const QString& where, QStringList& faults) {
    std::map<QChar, QStringList> byLetter;
    for (const Caption& caption : captions) {
        if (const QChar letter = Letter(caption.text); !letter.isNull()) {
            byLetter[letter] << QStringLiteral("\"%1\" (%2)").arg(caption.text, caption.control);
        }
    }
    for (const auto& [letter, holders] : byLetter) {
        if (holders.size() > 1) {
            faults
                << QStringLiteral("%1: %2 is given to %3").arg(where, letter, holders.join(", "));
        }
    }
}

QString Plain(QString caption) {
    return caption.remove(QRegularExpression(QStringLiteral("&(?!&)")));
}

// The shipped files that hold `language` for the program, for the messages.
QString FilesOf(const std::string& language) {
    const QDir folder(QString::fromLocal8Bit(qgetenv("QUILLMARK_BIN_DIR")));
    const QByteArray marker = "<LANGUAGE NAME=\"" + QByteArray::fromStdString(language) + "\"";
    QStringList files;
    for (const QString& name : folder.entryList({QStringLiteral("*.lan")}, QDir::Files)) {
        QFile file(folder.filePath(name));
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(marker)) {
            files << name;
        }
    }
    return files.join(QLatin1Char('+'));
}

} // namespace

class AcceleratorsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> store_;

    // Opens the dialog `open` shows modally, walks it and closes it again.
    void CheckModal(const std::function<void()>& open, const QString& where, QStringList& faults) {
        bool seen = false;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (dialog == nullptr || seen) {
                return;
            }
            seen = true;
            const QString title =
                QStringLiteral("%1, dialog \"%2\"").arg(where, dialog->windowTitle());
            AddClashes(Reachable(*dialog, faults, title), title, faults);
            if (auto* box = qobject_cast<QMessageBox*>(dialog);
                box != nullptr && box->escapeButton()) {
                box->escapeButton()->click();
            } else if (auto* modal = qobject_cast<QDialog*>(dialog)) {
                modal->reject();
            }
        });
        closer.start(5);
        open();
        QVERIFY2(seen, qPrintable(where));
    }

private slots:
    void init() {
        store_ = std::make_unique<QTemporaryDir>();
        QVERIFY(store_->isValid());
        qputenv("XDG_CONFIG_HOME", (store_->path() + "/home").toUtf8());
        qputenv("XDG_CONFIG_DIRS", (store_->path() + "/system").toUtf8());
        qputenv("XDG_STATE_HOME", (store_->path() + "/state").toUtf8());
    }

    void eachKeyReachesOneControl() {
        TMain main{CommandLine{}};
        main.show();
        // After the window's own look for an interrupted run: one for the question below.
        QCoreApplication::processEvents();
        const std::string folder = store_->path().toStdString() + "/";
        QFile moved(store_->filePath(QStringLiteral("a")));
        QVERIFY(moved.open(QIODevice::WriteOnly));
        {
            TJournalWriter writer;
            TJournal header;
            header.EntryCount = 1;
            QCOMPARE(writer.Begin(JournalFolder(), header, {{0, false, folder, "a", "b"}}),
                     std::string());
            QCOMPARE(std::rename((folder + "a").c_str(), (folder + "b").c_str()), 0);
            writer.SetResult(0, MoveResult::Done);
        }
        // A file listed, so that the commands on the list's names open their dialog.
        main.AddFile(folder + "b");
        // Every bar the View menu can show, so their captions count too.
        for (const char* bar : {"A_QuickButtons", "A_SettingsBar", "A_StatusBar"}) {
            QAction* toggle = main.findChild<QAction*>(QLatin1String(bar));
            if (!toggle->isChecked()) {
                toggle->trigger();
            }
        }
        auto* languages = main.findChild<QMenu*>(QStringLiteral("M_Language"));
        const std::vector<std::string> names = main.ProgramLang()->LanguageNames();
        QVERIFY(names.size() >= 3);
        QStringList faults;
        for (std::size_t i = 0; i < names.size(); ++i) {
            // The menu is rebuilt at each switch: its items are fetched anew.
            languages->actions().at(static_cast<int>(i))->trigger();
            const QString file = FilesOf(names[i]);
            QCOMPARE(main.ProgramLang()->LanguageName(), names[i]);

            TOptionTabs& tabs = main.Options();
            for (int tab = 0; tab < tabs.count(); ++tab) {
                tabs.setCurrentIndex(tab);
                const QString where = QStringLiteral("%1: main window, tab \"%2\"")
                                          .arg(file, Plain(tabs.tabText(tab)));
                const std::vector<Caption> captions = Reachable(main, faults, where);
                // Menu bar, tab captions and the page's switch at the least.
                QVERIFY2(captions.size() >= 12, qPrintable(where));
                AddClashes(captions, where, faults);
            }
            for (QMenu* menu : main.findChildren<QMenu*>()) {
                std::vector<Caption> items;
                for (QAction* item : menu->actions()) {
                    if (item->isVisible() && !item->isSeparator()) {
                        items.push_back({item->text(), item->objectName()});
                    }
                }
                AddClashes(items, QStringLiteral("%1: menu \"%2\"").arg(file, Plain(menu->title())),
                           faults);
            }

            for (const char* action : {"A_SaveSchemeAs", "A_CustomizeColumns", "A_AddDirectory",
                                       "A_About", "A_EditNamesAsText"}) {
                CheckModal([&] { main.findChild<QAction*>(QLatin1String(action))->trigger(); },
                           file, faults);
            }
            CheckModal([&] { OfferUndoOfInterruptedRun(&main, main.ProgramLang(), {}); }, file,
                       faults);
            // The history window is not modal: opened, walked and closed again.
            main.findChild<QAction*>(QStringLiteral("A_History"))->trigger();
            auto* history = main.findChild<QWidget*>(QStringLiteral("HistoryWindow"));
            QVERIFY(history != nullptr && history->isVisible());
            const QString inHistory =
                QStringLiteral("%1, window \"%2\"").arg(file, history->windowTitle());
            const std::vector<Caption> historyCaptions = Reachable(*history, faults, inHistory);
            QVERIFY2(historyCaptions.size() >= 4, qPrintable(inHistory));
            AddClashes(historyCaptions, inHistory, faults);
            history->close();
            TDynLang common(main.ProgramLang()->Location(), std::string(CommonPackageName));
            common.SelectLanguage(names[i]);
            TRenameProcess progress(
                &main, [&main](const std::string& key) { return main.ProgramLang()->GetLine(key); },
                common.GetKeyedLine("CANCEL"));
            progress.show();
            const QString where = QStringLiteral("%1, rename progress window").arg(file);
            AddClashes(Reachable(progress, faults, where), where, faults);
            progress.hide();
        }
        // Every fault on a line of its own: a failure message is cut after some length.
        for (const QString& fault : faults) {
            qWarning("%s", qPrintable(fault));
        }
        QVERIFY2(
            faults.isEmpty(),
            qPrintable(QStringLiteral("%1 accelerator faults, listed above").arg(faults.size())));
    }
};

} // namespace qm::test

QTEST_MAIN(qm::test::AcceleratorsTest)
#include "accelerators_test.moc"
