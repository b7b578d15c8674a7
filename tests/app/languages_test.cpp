// The interface texts in the chosen language: the main window's binding, the Languages
// menu, and the splash and About windows. Runs beside the shipped language files.

#include "app/about.h"
#include "app/commandline.h"
#include "app/maintexts.h"
#include "app/mainwindow.h"
#include "app/options/optiontabs.h"
#include "app/options/renamesummary.h"
#include "app/options/replacelist.h"
#include "app/splash.h"
#include "app/widgets/jpegimage.h"
#include "app/widgets/qttext.h"
#include "engine/organize.h"
#include "engine/tagtext.h"
#include "filelist/versioninfo.h"
#include "language/dynlang.h"
#include "language/placeholders.h"
#include "language/textkeys.h"
#include "settings/settings.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <memory>

namespace qm::test {

namespace {

// What the window shows for `control`: caption, or with `hint` the status tip.
QString Shown(TMain& main, const QString& control, bool hint) {
    if (auto* action = main.findChild<QAction*>(control)) {
        return hint ? action->statusTip() : action->text();
    }
    if (auto* menu = main.findChild<QMenu*>(control)) {
        return hint ? menu->menuAction()->statusTip() : menu->title();
    }
    QWidget* widget = main.findChild<QWidget*>(control);
    if (widget == nullptr) {
        return QStringLiteral("<no %1>").arg(control);
    }
    if (hint) {
        return widget->toolTip(); // an option control's hint is its tool tip
    }
    if (const int tab = main.Options().indexOf(widget); tab >= 0) {
        // The mark of a tab in use is not part of the language's text.
        return QString::fromStdString(
            MarkTabCaption(main.Options().tabText(tab).toStdString(), false));
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        return button->text();
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return label->text();
    }
    return QStringLiteral("<unknown %1>").arg(control);
}

QAction* LanguageItem(const QMenu& menu, const QString& native) {
    for (QAction* item : menu.actions()) {
        if (item->text() == native) {
            return item;
        }
    }
    return nullptr;
}

// A language folder of its own, for texts the shipped files do not have.
void WriteLanguageFile(const QString& folder, const QByteArray& programTexts) {
    QFile file(folder + QStringLiteral("/testish.lan"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<IDENTIFICATION TYPE=\"Language\">\r\n"
               "<PACKAGE NAME=\"Marlowick Quillmark\">\r\n"
               "<LANGUAGE NAME=\"Testish\" NATIVE=\"Te%1st\">\r\n" +
               programTexts + "</LANGUAGE>\r\n</PACKAGE>\r\n");
}

} // namespace

class LanguagesTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> store_;

    std::unique_ptr<TMain> Open() {
        auto main = std::make_unique<TMain>(CommandLine{});
        main->show();
        return main;
    }

private slots:
    void init() {
        store_ = std::make_unique<QTemporaryDir>();
        QVERIFY(store_->isValid());
        qputenv("XDG_CONFIG_HOME", (store_->path() + "/home").toUtf8());
        qputenv("XDG_CONFIG_DIRS", (store_->path() + "/system").toUtf8());
    }

    // English keeps the window's smallest size, the pattern note shown or not, also after
    // a longer language; every language's pages fit whole into its own smallest window.
    void smallestWindowFitsEveryPage() {
        const auto main = Open();
        auto* menu = main->findChild<QMenu*>(QStringLiteral("M_Language"));
        TOptionTabs& tabs = main->Options();
        const auto showNote = [&](bool shown) {
            tabs.ReplaceGroup->setChecked(true);
            tabs.ReplaceInfo->setChecked(true);
            tabs.ReplaceRegExp->setChecked(shown);
            if (shown) {
                tabs.Replace->setText(QStringLiteral("(\\d+)-(\\d+"));
                tabs.ReplaceAddBtn->click(); // refused, with the reason under the field
            }
            QCOMPARE(!tabs.ReplacePatternInfo->isHidden(), shown);
        };
        for (const char* native : {"Deutsch", "English", "Dansk", "English"}) {
            const bool english = QLatin1String(native) == QLatin1String("English");
            LanguageItem(*menu, QString::fromLatin1(native))->trigger();
            for (const bool note : {true, false, true}) {
                // At once, with the former language's note (and then without one).
                if (english) {
                    QCOMPARE(main->minimumSize(), QSize(489, 350));
                }
                main->resize(main->minimumSize());
                showNote(note);
                for (int i = 0; i < tabs.count(); ++i) {
                    tabs.setCurrentIndex(i);
                    QCoreApplication::processEvents();
                    const QSize room = tabs.currentWidget()->size();
                    const QSize needed = tabs.currentWidget()->minimumSizeHint();
                    QVERIFY2(room.width() >= needed.width() && room.height() >= needed.height(),
                             qPrintable(QStringLiteral("%1 %2: %3x%4 for %5x%6")
                                            .arg(native, tabs.tabText(i))
                                            .arg(room.width())
                                            .arg(room.height())
                                            .arg(needed.width())
                                            .arg(needed.height())));
                }
            }
        }
    }

    void switchingRebindsEveryControl_data() {
        QTest::addColumn<QString>("native");
        QTest::addColumn<QString>("exit"); // one caption written out, so no row passes empty
        QTest::addColumn<QString>("may");  // the month name the tags' MMM gives
        // The spoken name of a tag button, which holds its field's name in this language.
        QTest::addColumn<QString>("frontTags");
        QTest::addRow("Danish") << "Dansk"
                                << "Afsl&ut"
                                << "maj"
                                << "Tags til Indsæt tekst forrest";
        QTest::addRow("German") << "Deutsch"
                                << "&Beenden"
                                << "Mai"
                                << "Tags für Am Anfang einfügen";
        QTest::addRow("English") << "English"
                                 << "E&xit"
                                 << "May"
                                 << "Tags for Insert text at the front";
    }
    void switchingRebindsEveryControl() {
        QFETCH(QString, native);
        QFETCH(QString, exit);
        QFETCH(QString, may);
        QFETCH(QString, frontTags);
        const auto main = Open();
        auto* menu = main->findChild<QMenu*>(QStringLiteral("M_Language"));
        QVERIFY(menu->isEnabled());
        // Away from the language first, so the switch has something to change.
        LanguageItem(*menu, native == "Dansk" ? "Deutsch" : "Dansk")->trigger();
        QAction* item = LanguageItem(*menu, native);
        QVERIFY(item != nullptr);
        item->trigger();

        const TDynLang& program = *main->ProgramLang();
        TDynLang common(program.Location(), std::string(CommonPackageName));
        common.SelectLanguage(program.LanguageName());
        QCOMPARE(main->Settings()->Language, program.LanguageName());
        QCOMPARE(main->findChild<QAction*>("A_Exit")->text(), exit);
        QCOMPARE(QString::fromStdString(InterfaceMonthNames()->Short[4]), may);
        QCOMPARE(main->Options().InsertFrontTags->accessibleName(), frontTags);
        int bound = 0;
        for (const TextKey& key : TextKeys()) {
            if (key.window != TextWindow::Main || key.control.empty() ||
                (key.role != TextRole::Caption && key.role != TextRole::Hint) ||
                (key.role == TextRole::Hint && key.placeholders > 0)) {
                continue;
            }
            const TDynLang& client = key.client == TextClient::Common ? common : program;
            const std::string name(key.name);
            const std::string text =
                key.form == TextForm::Keyed ? client.GetKeyedLine(name) : client.GetLine(name);
            const QString control = QString::fromUtf8(key.control.data(), key.control.size());
            // A caption's placeholder holds what the program supplies (an example tag).
            const std::string filled =
                key.placeholders > 0 ? FillPlaceholders(text, {TagCaptionExample}) : text;
            const QString expected = ScreenText(filled + std::string(key.suffix));
            QVERIFY2(!text.empty(), key.name.data());
            QCOMPARE(Shown(*main, control, key.role == TextRole::Hint), expected);
            ++bound;
        }
        QVERIFY(bound > 80);
        // The checked item follows the switch; the others are cleared.
        for (QAction* other : menu->actions()) {
            QCOMPARE(other->isChecked(), other->text() == native);
        }
        QCOMPARE(main->Options().ReplaceList->headerItem()->text(0),
                 QString::fromStdString(program.GetLine("REPLACETEXT_COLUMN")));
        QCOMPARE(main->findChild<QAction*>("A_WebMKHP")->statusTip().count("%1"), 0);
    }

    void pickingTheCurrentLanguageRereads() {
        const auto main = Open();
        auto* menu = main->findChild<QMenu*>(QStringLiteral("M_Language"));
        QAction* exitAction = main->findChild<QAction*>(QStringLiteral("A_Exit"));
        const QString bound = exitAction->text();
        exitAction->setText(QStringLiteral("stale"));
        LanguageItem(*menu, QStringLiteral("English"))->trigger();
        QCOMPARE(exitAction->text(), bound);
        QAction* again = LanguageItem(*menu, QStringLiteral("English"));
        QVERIFY(again->isChecked());
    }

    void resetButtonFallsBack_data() {
        QTest::addColumn<QByteArray>("texts");
        QTest::addColumn<QString>("button");
        QTest::addRow("own text") << QByteArray(
                                         "<TEXT NAME=\"RESET\" KEY=\"c\" TEXT=\"Clear all\">\r\n"
                                         "<TEXT NAME=\"RESET_QUICKBUTTON\" KEY=\"l\" "
                                         "TEXT=\"Clear\">\r\n")
                                  << "C&lear";
        QTest::addRow("missing") << QByteArray(
                                        "<TEXT NAME=\"RESET\" KEY=\"c\" TEXT=\"Clear all\">\r\n")
                                 << "&Clear all";
        QTest::addRow("empty") << QByteArray(
                                      "<TEXT NAME=\"RESET\" KEY=\"c\" TEXT=\"Clear all\">\r\n"
                                      "<TEXT NAME=\"RESET_QUICKBUTTON\" TEXT=\"\">\r\n")
                               << "&Clear all";
    }
    void resetButtonFallsBack() {
        QFETCH(QByteArray, texts);
        QFETCH(QString, button);
        QTemporaryDir folder;
        WriteLanguageFile(folder.path(), texts);
        const std::string location = folder.path().toStdString() + "/";
        TDynLang common(location, std::string(CommonPackageName));
        TDynLang program(location, std::string(ProgramPackageName));
        program.SelectLanguage("Testish");
        common.SelectLanguage("Testish");
        const auto main = Open();
        BindMainWindowTexts(*main, main->Options(), common, program, "Testish");
        QCOMPARE(main->findChild<QAbstractButton*>("ResetBtn")->text(), button);
        QCOMPARE(main->findChild<QAction*>("A_Reset")->text(), QStringLiteral("&Clear all"));
        // A missing label keeps its suffix; a missing caption is empty, not the old one.
        QCOMPARE(main->findChild<QLabel*>("SetsInfo")->text(), QStringLiteral(":"));
        QCOMPARE(main->findChild<QAction*>("A_Exit")->text(), QString());
    }

    // The form a taken name is numbered in follows each language bound; one without it
    // (or with a form lacking the number) leaves the default.
    void takenNameFormFollowsTheLanguage() {
        QTemporaryDir folder;
        WriteLanguageFile(folder.path(),
                          QByteArray("<TEXT NAME=\"TAKENNAMEFORM\" TEXT=\"%1_%2\">\r\n"));
        const std::string location = folder.path().toStdString() + "/";
        TDynLang common(location, std::string(CommonPackageName));
        TDynLang program(location, std::string(ProgramPackageName));
        program.SelectLanguage("Testish");
        const auto main = Open();
        BindMainWindowTexts(*main, main->Options(), common, program, "Testish");
        QCOMPARE(TakenNameForm(), std::string("%1_%2"));
        BindMainWindowTexts(*main, main->Options(), common, *main->ProgramLang(), "English");
        QCOMPARE(TakenNameForm(), std::string(kDefaultTakenNameForm));
    }

    void danishInAnyCasePicksDanishPages_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("danish");
        QTest::addRow("Danish") << "Danish" << true;
        QTest::addRow("upper case") << "DANISH" << true;
        QTest::addRow("mixed case") << "dAnIsH" << true;
        QTest::addRow("trailing space") << "Danish " << false;
        QTest::addRow("German") << "German" << false;
    }
    void danishInAnyCasePicksDanishPages() {
        QFETCH(QString, language);
        QFETCH(bool, danish);
        const auto main = Open();
        TDynLang common(main->ProgramLang()->Location(), std::string(CommonPackageName));
        BindMainWindowTexts(*main, main->Options(), common, *main->ProgramLang(),
                            language.toStdString());
        for (const char* web : {"A_WebMKHP", "A_WebQMHP"}) {
            const QString hint = main->findChild<QAction*>(web)->statusTip();
            QVERIFY2(hint.contains(danish ? "marlowick.dk" : "marlowick.com"), qPrintable(hint));
        }
    }

    void languageMenuItems() {
        QMenu menu;
        int clicked = -1;
        // A native name holding "%1" goes into the hint once, not expanded again.
        BuildLanguageMenu(menu, {"English", "Testish"}, {"English", "Te%1st"}, "Testish",
                          "Show in %1, %1", [&clicked](int i) { clicked = i; });
        QCOMPARE(menu.actions().size(), 2);
        QCOMPARE(menu.actions()[1]->statusTip(), QStringLiteral("Show in Te%1st, Te%1st"));
        QVERIFY(!menu.actions()[0]->isChecked());
        QVERIFY(menu.actions()[1]->isChecked());
        // The language files' line break (LF CR) is one line break on the screen.
        QCOMPARE(ScreenText("one\n\rtwo\n\rthree"), QStringLiteral("one\ntwo\nthree"));
        menu.actions()[1]->trigger();
        QCOMPARE(clicked, 1);
        // Rebuilt with no languages: empty and disabled; the current name is compared exactly.
        BuildLanguageMenu(menu, {}, {}, "English", "", [](int) {});
        QVERIFY(menu.actions().isEmpty());
        QVERIFY(!menu.isEnabled());
        BuildLanguageMenu(menu, {"English"}, {"English"}, "english", "", [](int) {});
        QVERIFY(menu.isEnabled());
        QVERIFY(!menu.actions()[0]->isChecked());
    }

    void splashRefusesToCloseUntilAllowed() {
        const TVersionInfo version;
        const TDynLang common(qgetenv("QUILLMARK_BIN_DIR").toStdString() + "/",
                              std::string(CommonPackageName));
        TSplash splash(version, common);
        splash.Present();
        QCOMPARE(splash.size(), QSize(450, 350));
        QVERIFY(!splash.close());
        QVERIFY(splash.isVisible());
        splash.CloseAfter(0);
        QVERIFY(!splash.isVisible());
    }

    void damagedLogoGivesNoPicture() {
        QFile file(QStringLiteral(":/art/logo.jpg"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray whole = file.readAll();
        QCOMPARE(DecodeJpeg(whole).size(), QSize(420, 78));
        for (const QByteArray& bad : {QByteArray(), QByteArray("not a picture"),
                                      whole.left(whole.size() / 2), whole.left(200)}) {
            QVERIFY(DecodeJpeg(bad).isNull());
        }
    }

    void aboutShowsTheVersionData_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("ver");
        QTest::addColumn<QString>("build");
        QTest::addColumn<QString>("company");
        QTest::addRow("the program") << "quillmark"
                                     << "2.1.0.43"
                                     << "43"
                                     << "Marlowick";
        QTest::addRow("no version data") << "english.lan"
                                         << "0.0.0.0"
                                         << "0"
                                         << "";
    }
    void aboutShowsTheVersionData() {
        QFETCH(QString, file);
        QFETCH(QString, ver);
        QFETCH(QString, build);
        QFETCH(QString, company);
        TVersionInfo version;
        version.LoadFromFile(qgetenv("QUILLMARK_BIN_DIR").toStdString() + "/" + file.toStdString());
        const std::string folder = qgetenv("QUILLMARK_BIN_DIR").toStdString() + "/";
        TDynLang common(folder, std::string(CommonPackageName));
        TDynLang program(folder, std::string(ProgramPackageName));
        TAbout about(version, common, program);
        about.show();
        QCOMPARE(about.findChild<QLabel*>("Ver")->text(), ver);
        QCOMPARE(about.findChild<QLabel*>("Build")->text(), build);
        QCOMPARE(about.findChild<QLabel*>("Company")->text(), company);
        QCOMPARE(about.findChild<QLabel*>("Product")->text(), QStringLiteral("Quillmark"));
        QCOMPARE(about.windowTitle(), QStringLiteral("About Quillmark"));
        QCOMPARE(about.findChild<QLabel*>("VerInfo")->text(), QStringLiteral("Version:"));
        QVERIFY(!about.findChild<QLabel*>("Logo")->pixmap().isNull());
    }
};

} // namespace qm::test

QTEST_MAIN(qm::test::LanguagesTest)
#include "languages_test.moc"
