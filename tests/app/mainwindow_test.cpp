// The main window, driven through its object names as a user or a screen reader reaches it.

#include "app/commandline.h"
#include "app/mainwindow.h"
#include "app/options/enablingrules.h"
#include "app/options/optionmapping.h"
#include "app/options/optiontabs.h"
#include "app/options/replacelist.h"
#include "app/options/tagmenu.h"
#include "app/widgets/comboaccessible.h"
#include "app/widgets/quickbutton.h"
#include "engine/newname.h"
#include "engine/optionfields.h"
#include "filelist/filelist.h"
#include "optionprobe.h"
#include "settings/settings.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <memory>

namespace qm::test {

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> store_;

    // A window on a private store; shown, so it has run its start-up.
    std::unique_ptr<TMain> Open(const std::vector<std::string>& paths = {}) {
        CommandLine commandLine;
        commandLine.paths = paths;
        auto main = std::make_unique<TMain>(commandLine);
        main->show();
        return main;
    }

    template <class T> static T* Child(const QObject& parent, const char* name) {
        T* child = parent.findChild<T*>(QString::fromLatin1(name));
        if (child == nullptr) {
            qFatal("no child %s", name);
        }
        return child;
    }

    static QAction* Action(const TMain& main, const char* name) {
        return Child<QAction>(main, name);
    }

    // Saves the controls as a scheme through the real dialog, typing `name` into it.
    static void SaveSchemeAs(TMain& main, const QString& name) {
        QTimer::singleShot(0, [name] {
            QWidget* dialog = QApplication::activeModalWidget();
            QVERIFY(dialog != nullptr);
            Child<QComboBox>(*dialog, "Schemes")->setEditText(name);
            Child<QPushButton>(*dialog, "OkBtn")->click();
        });
        Action(main, "A_SaveSchemeAs")->trigger();
    }

    static void ChooseScheme(TMain& main, const QString& name) {
        auto* sets = Child<QComboBox>(main, "Sets");
        const int index = sets->findText(name);
        QVERIFY(index >= 0);
        sets->setCurrentIndex(index);
        emit sets->activated(index);
    }

private slots:
    void init() {
        store_ = std::make_unique<QTemporaryDir>();
        QVERIFY(store_->isValid());
        qputenv("XDG_CONFIG_HOME", (store_->path() + "/home").toUtf8());
        qputenv("XDG_CONFIG_DIRS", (store_->path() + "/etc").toUtf8());
    }

    // This test program's folder holds no language files.
    void withoutLanguageFilesOnlySuffixesShow() {
        const auto main = Open();
        auto* languages = Child<QMenu>(*main, "M_Language");
        QVERIFY(languages->actions().isEmpty());
        QVERIFY(!languages->isEnabled());
        QCOMPARE(Action(*main, "A_Exit")->text(), QString());
        QCOMPARE(Action(*main, "A_AddFiles")->text(), QStringLiteral("..."));
        QCOMPARE(Child<QLabel>(*main, "SetsInfo")->text(), QStringLiteral(":"));
        QCOMPARE(Child<QAbstractButton>(*main, "ResetBtn")->text(), QString());
    }

    void windowShape() {
        auto main = Open();
        QCOMPARE(main->windowTitle(), QStringLiteral("Marlowick Quillmark"));
        QCOMPARE(main->minimumSize(), QSize(489, 350));
        QVERIFY(!(main->windowFlags() & Qt::WindowMaximizeButtonHint));
        for (const char* name : {"A_AddFiles",
                                 "A_AddDirectory",
                                 "A_RemoveFiles",
                                 "A_RemoveAllFiles",
                                 "A_RenameFiles",
                                 "A_Exit",
                                 "A_Undo",
                                 "A_SelectAll",
                                 "A_QuickButtons",
                                 "A_SettingsBar",
                                 "A_StatusBar",
                                 "A_CustomizeColumns",
                                 "A_SaveRenameSettings",
                                 "A_SaveDirectorySettings",
                                 "A_ShowSuccessMessage",
                                 "A_Reset",
                                 "A_WebMKHP",
                                 "A_WebQMHP",
                                 "A_About",
                                 "A_SaveSchemeAs",
                                 "A_DeleteScheme"}) {
            QVERIFY2(main->findChild<QAction*>(name) != nullptr, name);
        }
        QVERIFY(!Action(*main, "A_Undo")->isEnabled());
        QVERIFY(!Child<QTreeView>(*main, "FileList")->accessibleName().isEmpty());
        QVERIFY(!Child<QWidget>(*main, "ReplaceList")->accessibleName().isEmpty());
        // Every field has a name or a caption a screen reader can say.
        for (QWidget* field : main->Options().findChildren<QWidget*>()) {
            if (qobject_cast<QLineEdit*>(field) || qobject_cast<QSpinBox*>(field) ||
                qobject_cast<QComboBox*>(field)) {
                if (field->objectName().isEmpty() ||
                    qobject_cast<QAbstractSpinBox*>(field->parentWidget()) ||
                    qobject_cast<QComboBox*>(field->parentWidget())) {
                    continue; // the editor inside a spin box or drop-down
                }
                // Its own name, or a caption through the "labelled by" relation (a drop-down
                // is named by what it shows).
                const bool labelled = !field->accessibleName().isEmpty() ||
                                      !QAccessible::queryAccessibleInterface(field)
                                           ->relations(QAccessible::Label)
                                           .isEmpty();
                QVERIFY2(labelled, qPrintable(field->objectName()));
            }
        }
    }

    void enablingRules_data() {
        QTest::addColumn<QStringList>("checked");
        QTest::addColumn<QString>("replaceText");
        QTest::addColumn<QString>("control");
        QTest::addColumn<bool>("enabled");
        const QString none;
        QTest::addRow("ChangeExt follows its check box")
            << QStringList{"ChangeExtInfo"} << none << "ChangeExt" << true;
        QTest::addRow("RemoveFront needs the group")
            << QStringList{"RemoveFrontInfo"} << none << "RemoveFront" << false;
        QTest::addRow("RemoveFront with the group")
            << QStringList{"TrimGroup", "RemoveFrontInfo"} << none << "RemoveFront" << true;
        QTest::addRow("position follows RemovePos")
            << QStringList{"TrimGroup", "RemovePosInfo"} << none << "RemoveAtPos" << true;
        QTest::addRow("RemoveBack without its box")
            << QStringList{"TrimGroup"} << none << "RemoveBack" << false;
        QTest::addRow("all spaces disables TrimSpaces")
            << QStringList{"TrimGroup", "TrimSpaces", "RemoveDoubleSpace", "RemoveAllSpaces"}
            << none << "TrimSpaces" << false;
        QTest::addRow("all spaces disables RemoveDoubleSpace")
            << QStringList{"TrimGroup", "TrimSpaces", "RemoveDoubleSpace", "RemoveAllSpaces"}
            << none << "RemoveDoubleSpace" << false;
        QTest::addRow("TrimSpaces with the group")
            << QStringList{"TrimGroup"} << none << "TrimSpaces" << true;
        QTest::addRow("Add needs a text")
            << QStringList{"ReplaceGroup", "ReplaceInfo"} << none << "ReplaceAddBtn" << false;
        QTest::addRow("Add with a text") << QStringList{"ReplaceGroup", "ReplaceInfo"} << "a"
                                         << "ReplaceAddBtn" << true;
        QTest::addRow("Add takes a colon") << QStringList{"ReplaceGroup", "ReplaceInfo"} << ":"
                                           << "ReplaceAddBtn" << true;
        QTest::addRow("Add needs the group") << QStringList{"ReplaceInfo"} << "a"
                                             << "ReplaceAddBtn" << false;
        QTest::addRow("ReplaceWith follows Replace")
            << QStringList{"ReplaceGroup", "ReplaceInfo"} << none << "ReplaceWith" << true;
        QTest::addRow("RegExp needs ReplaceInfo")
            << QStringList{"ReplaceGroup"} << none << "ReplaceRegExp" << false;
        QTest::addRow("IgnoreCase with ReplaceInfo")
            << QStringList{"ReplaceGroup", "ReplaceInfo"} << none << "ReplaceIgnoreCase" << true;
        QTest::addRow("IgnoreCase needs the group")
            << QStringList{"ReplaceInfo"} << none << "ReplaceIgnoreCase" << false;
        QTest::addRow("Remove needs a selected row")
            << QStringList{"ReplaceGroup", "ReplaceInfo"} << none << "ReplaceRemoveBtn" << false;
        QTest::addRow("InsertAtPos follows InsertPos")
            << QStringList{"InsertGroup", "InsertPosInfo"} << none << "InsertAtPos" << true;
        QTest::addRow("IncSepInfo follows IncValue")
            << QStringList{"InsertGroup", "IncValueInfo"} << none << "IncSepInfo" << true;
        QTest::addRow("fixed length chosen")
            << QStringList{"InsertGroup", "IncValueInfo"} << none << "IncLength" << true;
        QTest::addRow("format not chosen")
            << QStringList{"InsertGroup", "IncValueInfo"} << none << "IncFormat" << false;
        QTest::addRow("format chosen")
            << QStringList{"InsertGroup", "IncValueInfo", "IncFormatInfo"} << none << "IncFormat"
            << true;
        QTest::addRow("length not chosen")
            << QStringList{"InsertGroup", "IncValueInfo", "IncFormatInfo"} << none << "IncLength"
            << false;
        QTest::addRow("number needs its box")
            << QStringList{"InsertGroup"} << none << "IncValue" << false;
        QTest::addRow("per folder needs the number")
            << QStringList{"InsertGroup", "NumberPerFolder"} << none << "NumberPerFolder" << false;
        QTest::addRow("per folder with the number")
            << QStringList{"InsertGroup", "IncValueInfo"} << none << "NumberPerFolder" << true;
        QTest::addRow("InsertTags needs the group")
            << QStringList{} << none << "InsertTags" << false;
        QTest::addRow("InsertTags with the group")
            << QStringList{"InsertGroup"} << none << "InsertTags" << true;
        QTest::addRow("front tags follow their field")
            << QStringList{"InsertGroup", "InsertFrontInfo"} << none << "InsertFrontTags" << true;
        QTest::addRow("position tags need their box")
            << QStringList{"InsertGroup", "InsertFrontInfo"} << none << "InsertPosTags" << false;
        QTest::addRow("FormatWords disables blocks")
            << QStringList{"FormatGroup", "FormatInfo", "FormatLogicBlocks", "FormatWords"} << none
            << "FormatLogicBlocks" << false;
        QTest::addRow("blocks without FormatWords")
            << QStringList{"FormatGroup", "FormatInfo"} << none << "FormatLogicBlocks" << true;
        QTest::addRow("normal letters follow FormatWords' state")
            << QStringList{"FormatGroup", "FormatInfo"} << none << "FormatFirstLetterUp" << true;
        QTest::addRow("special words need FormatWords checked")
            << QStringList{"FormatGroup", "FormatInfo"} << none << "FormatSpecialWords" << false;
        QTest::addRow("special words with FormatWords")
            << QStringList{"FormatGroup", "FormatInfo", "FormatWords"} << none
            << "FormatSpecialWords" << true;
        QTest::addRow("MoveSep off by default") << QStringList{} << none << "MoveSep" << false;
        QTest::addRow("MoveSep with blocks, groups off")
            << QStringList{"FormatLogicBlocks"} << none << "MoveSep" << true;
        QTest::addRow("MoveSep with the pattern")
            << QStringList{"ShuffleGroup", "MoveInfo"} << none << "MoveSepInfo" << true;
        QTest::addRow("Move needs the group") << QStringList{"MoveInfo"} << none << "Move" << false;
    }

    void enablingRules() {
        QFETCH(QStringList, checked);
        QFETCH(QString, replaceText);
        QFETCH(QString, control);
        QFETCH(bool, enabled);
        TOptionTabs tabs;
        for (const QString& name : checked) {
            Child<QAbstractButton>(tabs, qPrintable(name))->setChecked(true);
        }
        tabs.Replace->setText(replaceText);
        ApplyEnablingRules(tabs);
        QCOMPARE(Child<QWidget>(tabs, qPrintable(control))->isEnabled(), enabled);
        for (const QString& name : checked) {
            QVERIFY2(Child<QAbstractButton>(tabs, qPrintable(name))->isChecked(),
                     "disabling kept the check mark");
        }
    }

    void optionChangeClearsScheme_data() {
        QTest::addColumn<QString>("change");
        QTest::addRow("typing into Replace") << "Replace";
        QTest::addRow("a check box") << "TrimGroup";
        QTest::addRow("a number field") << "RemoveFront";
        QTest::addRow("a radio button") << "IncFormatInfo";
        QTest::addRow("the format drop-down") << "IncFormat";
        QTest::addRow("clear options") << "A_Reset";
    }

    void optionChangeClearsScheme() {
        QFETCH(QString, change);
        auto main = Open();
        TOptionTabs& tabs = main->Options();
        tabs.ReplaceGroup->setChecked(true);
        tabs.ReplaceInfo->setChecked(true);
        SaveSchemeAs(*main, "Pairs");
        auto* sets = Child<QComboBox>(*main, "Sets");
        QCOMPARE(sets->currentText(), QStringLiteral("Pairs"));
        QVERIFY(Action(*main, "A_DeleteScheme")->isEnabled());

        if (change == "Replace") {
            QTest::keyClick(tabs.Replace, Qt::Key_X);
            QVERIFY(tabs.ReplaceAddBtn->isEnabled());
        } else if (change == "TrimGroup") {
            QTest::mouseClick(tabs.TrimGroup, Qt::LeftButton, {},
                              QPoint(8, tabs.TrimGroup->height() / 2));
        } else if (change == "RemoveFront") {
            tabs.RemoveFront->setValue(7);
        } else if (change == "IncFormatInfo") {
            tabs.IncFormatInfo->setChecked(true);
        } else if (change == "IncFormat") {
            tabs.IncFormat->setCurrentText("#.###");
        } else {
            Action(*main, "A_Reset")->trigger();
        }
        QCOMPARE(sets->currentIndex(), -1);
        QVERIFY(!Action(*main, "A_DeleteScheme")->isEnabled());
    }

    void replaceListEditing_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("selected");
        QTest::addColumn<bool>("byDeleteKey");
        QTest::addColumn<int>("selectedAfter");
        QTest::addRow("first of three") << 3 << 0 << false << 0;
        QTest::addRow("middle of three") << 3 << 1 << false << 1;
        QTest::addRow("last of three") << 3 << 2 << false << 1;
        QTest::addRow("the only one") << 1 << 0 << false << -1;
        QTest::addRow("Delete key") << 3 << 2 << true << 1;
        QTest::addRow("nothing selected") << 3 << -1 << false << -1;
    }

    void replaceListEditing() {
        QFETCH(int, rows);
        QFETCH(int, selected);
        QFETCH(bool, byDeleteKey);
        QFETCH(int, selectedAfter);
        auto main = Open();
        TOptionTabs& tabs = main->Options();
        tabs.ReplaceGroup->setChecked(true);
        tabs.ReplaceInfo->setChecked(true);
        // Added out of order; "a" twice, so equal texts must keep the order of adding.
        const std::vector<ReplacePair> added = {{"c", "3"}, {"a", "1"}, {"a", "2"}};
        for (int i = 0; i < rows; ++i) {
            QTest::keyClicks(tabs.Replace, QString::fromStdString(added[i].Replace));
            QTest::keyClicks(tabs.ReplaceWith, QString::fromStdString(added[i].ReplaceWith));
            QTest::keyClick(tabs.ReplaceWith, Qt::Key_Return); // Enter adds the pair
            QVERIFY(tabs.Replace->text().isEmpty());
            QVERIFY(tabs.ReplaceWith->text().isEmpty());
        }
        std::vector<ReplacePair> sorted(added.begin(), added.begin() + rows);
        std::stable_sort(sorted.begin(), sorted.end(), [](const auto& x, const auto& y) {
            return CompareReplaceText(x.Replace, y.Replace) < 0;
        });
        QCOMPARE(tabs.ReplaceList->Pairs(), sorted);

        if (selected >= 0) {
            tabs.ReplaceList->topLevelItem(selected)->setSelected(true);
        }
        QCOMPARE(tabs.ReplaceRemoveBtn->isEnabled(), selected >= 0);
        if (byDeleteKey) {
            QTest::keyClick(tabs.ReplaceList, Qt::Key_Delete);
        } else {
            tabs.ReplaceRemoveBtn->click();
        }
        if (selected < 0) {
            QCOMPARE(tabs.ReplaceList->Count(), rows);
            return;
        }
        QCOMPARE(tabs.ReplaceList->Count(), rows - 1);
        // The removed pair is back in the entry fields, to be corrected and added again.
        QCOMPARE(tabs.Replace->text().toStdString(), sorted[selected].Replace);
        QCOMPARE(tabs.ReplaceWith->text().toStdString(), sorted[selected].ReplaceWith);
        QCOMPARE(tabs.ReplaceList->SelectedIndex(), selectedAfter);
        QCOMPARE(tabs.ReplaceRemoveBtn->isEnabled(), selectedAfter >= 0);
    }

    void replaceListHolds99Pairs_data() {
        QTest::addColumn<int>("pairs");
        QTest::addColumn<bool>("addEnabled");
        QTest::addRow("room for one more") << MaxReplacePairs - 1 << true;
        QTest::addRow("full") << MaxReplacePairs << false;
    }

    void replaceListHolds99Pairs() {
        QFETCH(int, pairs);
        QFETCH(bool, addEnabled);
        TOptionTabs tabs;
        tabs.ReplaceGroup->setChecked(true);
        tabs.ReplaceInfo->setChecked(true);
        tabs.ReplaceList->SetPairs(std::vector<ReplacePair>(pairs, ReplacePair{"x", "y"}));
        tabs.Replace->setText("z");
        ApplyEnablingRules(tabs);
        QCOMPARE(tabs.ReplaceAddBtn->isEnabled(), addEnabled);
    }

    // Every field of the table through the controls and back: all changed at once, then
    // each alone, so that a direction missing for any field, or two fields crossed, fails
    // with the field's name. The window shows every field of the table.
    void optionsRoundTrip() {
        TOptionTabs tabs;
        std::vector<RenameOptionSet> sets = {EveryFieldChanged()};
        for (const OptionField& field : OptionFields()) {
            ChangeField(sets.emplace_back(), field);
        }
        for (const RenameOptionSet& set : sets) {
            ApplyOptionsToControls(tabs, set);
            const std::string differing = DifferingFields(ReadOptionsFromControls(tabs), set);
            QVERIFY2(differing.empty(), differing.c_str());
        }

        // The pairs, which are not in the table, come back sorted; a format from the
        // list and texts that hold a scheme's "=" come back as they were.
        RenameOptionSet stored;
        stored.ReplaceGroup = true;
        stored.ReplaceCount = 3;
        stored.ReplacePairs[0] = {"b", "2"};
        stored.ReplacePairs[1] = {"a", "1"};
        stored.ReplacePairs[2] = {"B", "3"};
        stored.ReplaceRegularExpressions = true;
        stored.NumberFormatSelect = 1;
        stored.NumberIncAdvFormat = "#.##0";
        stored.RemoveAtPositionIndex = 9;
        stored.InsertAtPositionText = "x=y";
        stored.InsertTags = true;
        stored.AlterLogicFilenameSep = "_";
        ApplyOptionsToControls(tabs, stored);
        RenameOptionSet expected = stored;
        SortReplacePairs(expected);
        QVERIFY(ReadOptionsFromControls(tabs) == expected);
        QVERIFY(tabs.IncFormatInfo->isChecked());
        QVERIFY(tabs.ReplaceRegExp->isChecked() && !tabs.ReplaceIgnoreCase->isChecked());
    }

    // A tag chosen from a field's menu goes in at the cursor, over the selection, and turns
    // on what it needs to be filled in, as one option change.
    void tagMenuInsertsAtTheCursor_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("fieldSwitch");
        QTest::addColumn<bool>("switchesOn");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("text");
        QTest::addRow("at the cursor, both switches off")
            << "InsertFront"
            << "InsertFrontInfo" << false << 3 << 0 << "<taken:yyyy-MM-dd>"
            << "abc<taken:yyyy-MM-dd>def";
        QTest::addRow("over the selection, switches stay on")
            << "InsertPos"
            << "InsertPosInfo" << true << 1 << 4 << "<track:2>"
            << "a<track:2>f";
        QTest::addRow("from a group's submenu, at the start")
            << "InsertBack"
            << "InsertBackInfo" << false << 0 << 0 << "<albumartist>"
            << "<albumartist>abcdef";
    }

    void tagMenuInsertsAtTheCursor() {
        QFETCH(QString, field);
        QFETCH(QString, fieldSwitch);
        QFETCH(bool, switchesOn);
        QFETCH(int, cursor);
        QFETCH(int, selected);
        QFETCH(QString, tag);
        QFETCH(QString, text);
        TOptionTabs tabs;
        tabs.show();
        tabs.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&tabs));
        tabs.setCurrentWidget(tabs.InsertTab);
        auto* edit = Child<QLineEdit>(tabs, qPrintable(field));
        auto* box = Child<QCheckBox>(tabs, qPrintable(fieldSwitch));
        auto* tags = Child<QPushButton>(tabs, qPrintable(field + QStringLiteral("Tags")));
        box->setChecked(switchesOn);
        tabs.InsertTags->setChecked(switchesOn);
        edit->setText(QStringLiteral("abcdef"));
        edit->setSelection(cursor, selected);
        tags->setFocus();
        QSignalSpy changes(&tabs, &TOptionTabs::optionChanged);
        QAction* item = static_cast<TTagMenu*>(tags->menu())->ItemOf(tag);
        QVERIFY(item != nullptr);
        item->trigger();
        QCOMPARE(edit->text(), text);
        QCOMPARE(edit->cursorPosition(), cursor + tag.size());
        QVERIFY(box->isChecked() && tabs.InsertTags->isChecked());
        QCOMPARE(QApplication::focusWidget(), edit);
        QCOMPARE(changes.count(), 1);
    }

    // From the keyboard alone: Space on the button opens its menu, and the field has the
    // focus once the menu has closed over the chosen item.
    void tagMenuByKeyboard() {
        TOptionTabs tabs;
        tabs.show();
        tabs.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&tabs));
        tabs.setCurrentWidget(tabs.InsertTab);
        tabs.InsertGroup->setChecked(true);
        tabs.InsertBackInfo->setChecked(true);
        ApplyEnablingRules(tabs);
        tabs.InsertBackTags->setFocus();
        bool opened = false;
        QTimer::singleShot(0, &tabs, [&opened] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            opened = menu != nullptr;
            if (opened) {
                QTest::keyClick(menu, Qt::Key_Down);
                QTest::keyClick(menu, Qt::Key_Return);
            }
        });
        QTest::keyClick(tabs.InsertBackTags, Qt::Key_Space);
        QVERIFY(opened);
        QCOMPARE(tabs.InsertBack->text(), QStringLiteral("<taken:yyyy-MM-dd>"));
        // The window's own focus widget: the offscreen platform leaves the closed menu
        // the active window, where a desktop gives the activation back to the window.
        QCOMPARE(tabs.focusWidget(), tabs.InsertBack);
    }

    // With regular expressions on, Enter keeps a find text that does not compile out of
    // the list and says why beside the field, until the text changes (the note's own
    // rules are TPatternNote's test).
    void badPatternRefusedBesideTheField() {
        auto main = Open();
        TOptionTabs& tabs = main->Options();
        tabs.setCurrentWidget(tabs.ReplaceTab);
        for (QAbstractButton* box : {tabs.ReplaceGroup, tabs.ReplaceInfo, tabs.ReplaceRegExp}) {
            box->setChecked(true);
        }
        QLabel* note = tabs.ReplacePatternInfo;
        QTest::keyClicks(tabs.Replace, "a(b");
        QTest::keyClick(tabs.Replace, Qt::Key_Return);
        QCOMPARE(tabs.ReplaceList->Count(), 0);
        QCOMPARE(tabs.Replace->text(), QStringLiteral("a(b"));
        QVERIFY(note->isVisibleTo(main.get()));
        QVERIFY2(note->text().contains("character 4, missing closing parenthesis"),
                 qPrintable(note->text()));
        QCOMPARE(tabs.Replace->accessibleDescription(), note->text());
        QTest::keyClick(tabs.Replace, Qt::Key_C);
        QVERIFY(!note->isVisibleTo(main.get()));
        QCOMPARE(tabs.Replace->accessibleDescription(), QString());
    }

    void numbersReadFromTypedText_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("option");
        QTest::addColumn<int>("value");
        QTest::addRow("abc is the minimum 1") << "RemoveFront"
                                              << "abc"
                                              << "RemoveFrontCount" << 1;
        QTest::addRow("abc is the minimum 0") << "RemoveAtPos"
                                              << "abc"
                                              << "RemoveAtPositionIndex" << 0;
        QTest::addRow("not clamped to the range") << "RemoveBack"
                                                  << "300"
                                                  << "RemoveBackCount" << 300;
        QTest::addRow("typed digits") << "IncLength"
                                      << "12"
                                      << "NumberIncMinLength" << 12;
    }

    void numbersReadFromTypedText() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, option);
        QFETCH(int, value);
        TOptionTabs tabs;
        Child<QSpinBox>(tabs, qPrintable(field))->findChild<QLineEdit*>()->setText(typed);
        const RenameOptionSet options = ReadOptionsFromControls(tabs);
        for (const OptionField& f : OptionFields()) {
            if (QString::fromLatin1(f.name.data(), f.name.size()) == option) {
                QCOMPARE(options.*std::get<OptionInt>(f.member), value);
                return;
            }
        }
        QFAIL("no such option");
    }

    // What the options read and how often the tabs report, as the user types in a field:
    // "<" is Backspace, "^" the Up arrow, "|" leaving the field, "=" a scheme's 3 put in.
    void numbersFollowTheFieldAtOnce() {
        // The keys, then the number read and the reports: an emptied field is the minimum at
        // once, "0" is read unclamped, a typed change is reported once.
        const std::tuple<QString, int, int> rows[] = {
            {"<", 1, 1}, {"0", 0, 1},  {"007", 7, 3}, {"9", 9, 1},  {"9<", 1, 2},
            {"^", 8, 1}, {"<|", 7, 2}, {"9|", 9, 1},  {"=|", 3, 0},
        };
        RenameOptionSet scheme;
        scheme.RemoveFrontCount = 3;
        for (const auto& [keys, count, reports] : rows) {
            TOptionTabs tabs;
            tabs.RemoveFront->setValue(7); // of 1..255
            tabs.RemoveFront->selectAll();
            QSignalSpy spy(&tabs, &TOptionTabs::optionChanged);
            QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
            for (const QChar key : keys) {
                key == '='   ? ApplyOptionsToControls(tabs, scheme)
                : key == '|' ? void(QApplication::sendEvent(tabs.RemoveFront, &out))
                : key == '<' ? QTest::keyClick(tabs.RemoveFront, Qt::Key_Backspace)
                : key == '^' ? QTest::keyClick(tabs.RemoveFront, Qt::Key_Up)
                             : QTest::keyClicks(tabs.RemoveFront, QString(key));
            }
            QVERIFY2(ReadOptionsFromControls(tabs).RemoveFrontCount == count, qPrintable(keys));
            QVERIFY2(spy.count() == reports, qPrintable(keys));
        }
    }

    // A quick button shows its action's caption whole, accelerator mark included.
    void quickButtonShowsItsAction() {
        QAction action(QStringLiteral("&Add files..."));
        TQuickButton button(&action);
        QCOMPARE(button.text(), QStringLiteral("&Add files..."));
        action.setText(QStringLiteral("&Tilf\u00f8j filer..."));
        QCOMPARE(button.text(), action.text());
    }

    // The profile has no documents folder; its home folder holds "used".
    void addFilesOpensAnExistingFolder() {
        const QString home = store_->path() + "/user";
        QVERIFY(QDir().mkpath(home + "/used"));
        const QByteArray oldHome = qgetenv("HOME");
        const auto restore = qScopeGuard([&] { qputenv("HOME", oldHome); });
        qputenv("HOME", home.toUtf8());
        auto main = Open();
        // Stored, then where the dialog opens: at first, the folder used last, a gone one.
        for (const auto& [stored, opened] :
             {std::pair{"%DOCUMENTPATH%", ""}, {"/used/", "/used"}, {"/gone/", ""}}) {
            main->Settings()->LastUsedFilePath =
                (stored[0] == '%' ? QString(stored) : home + stored).toStdString();
            QString shown;
            QTimer::singleShot(0, [&shown] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog != nullptr);
                shown = dialog->directory().absolutePath();
                dialog->reject();
            });
            Action(*main, "A_AddFiles")->trigger();
            QCOMPARE(shown, home + opened);
        }
    }

    // A drop-down is named by what it shows and labelled by its caption, as screen
    // readers expect (screenreader_test reads the window's own over the bus).
    void dropDownsNameWhatTheyShow() {
        TComboAccessible::Install();
        QWidget window;
        auto* sets = new QComboBox(&window);
        sets->addItems({QStringLiteral("Photos"), QStringLiteral("Music")});
        auto* caption = new QLabel(QStringLiteral("S&cheme:"), &window);
        caption->setBuddy(sets);
        TOptionTabs tabs(&window);
        QComboBox* format = tabs.IncFormat;
        QAccessibleInterface* box = QAccessible::queryAccessibleInterface(sets);
        QAccessibleInterface* edit = QAccessible::queryAccessibleInterface(format);
        sets->setCurrentIndex(1);
        format->setCurrentText(QStringLiteral("#.##0"));
        QCOMPARE(box->text(QAccessible::Name), QStringLiteral("Music"));
        QCOMPARE(edit->text(QAccessible::Name), QStringLiteral("#.##0"));
        const auto labels = [](QAccessibleInterface* of) {
            QList<QObject*> found;
            for (const auto& [label, relation] : of->relations(QAccessible::Label)) {
                found << label->object();
            }
            return found;
        };
        QCOMPARE(labels(box), QList<QObject*>{caption});
        QCOMPARE(labels(edit), QList<QObject*>{tabs.IncFormatInfo});
        QCOMPARE(box->child(0)->tableInterface()->selectedRows(), QList<int>{1});
        QCOMPARE(edit->child(1)->text(QAccessible::Name), QStringLiteral("Advanced format"));
    }

    void schemes() {
        auto main = Open();
        TOptionTabs& tabs = main->Options();
        auto* sets = Child<QComboBox>(*main, "Sets");
        tabs.TrimGroup->setChecked(true);
        SaveSchemeAs(*main, "b");
        tabs.InsertGroup->setChecked(true);
        SaveSchemeAs(*main, "A");
        SaveSchemeAs(*main, "c");
        QCOMPARE(sets->count(), 3);
        QCOMPARE(sets->itemText(0), QStringLiteral("A"));
        QCOMPARE(sets->itemText(1), QStringLiteral("b"));
        QCOMPARE(sets->itemText(2), QStringLiteral("c"));
        QCOMPARE(sets->currentText(), QStringLiteral("c"));

        // A name that differs only in letter case overwrites that scheme in place.
        tabs.InsertGroup->setChecked(false);
        tabs.FormatGroup->setChecked(true);
        SaveSchemeAs(*main, "B");
        QCOMPARE(main->Settings()->Schemas.Count(), 3);
        QCOMPARE(main->Settings()->Schemas.Names(0), std::string("b"));
        QCOMPARE(sets->currentText(), QStringLiteral("b"));

        // Choosing a scheme brings its options back and keeps it selected.
        ChooseScheme(*main, "A");
        QVERIFY(tabs.InsertGroup->isChecked());
        QVERIFY(!tabs.FormatGroup->isChecked());
        QCOMPARE(sets->currentText(), QStringLiteral("A"));
        ChooseScheme(*main, "b");
        QVERIFY(tabs.FormatGroup->isChecked());
        QVERIFY(!tabs.InsertGroup->isChecked());

        Action(*main, "A_DeleteScheme")->trigger();
        QCOMPARE(sets->count(), 2);
        QCOMPARE(sets->findText("b"), -1);
        QCOMPARE(sets->currentIndex(), -1);
        QVERIFY(!Action(*main, "A_DeleteScheme")->isEnabled());
    }

    void actionStatesAndExample() {
        auto main = Open({"a.txt", "b.txt", "c.txt"});
        QCOMPARE(main->FileItems()->Items().Count(), 3);
        TOptionTabs& tabs = main->Options();
        QVERIFY(Action(*main, "A_RemoveAllFiles")->isEnabled());
        QVERIFY(!Action(*main, "A_RenameFiles")->isEnabled());
        tabs.IncValueInfo->setChecked(true);
        QVERIFY(!Action(*main, "A_RenameFiles")->isEnabled());
        tabs.InsertGroup->setChecked(true);
        QVERIFY(Action(*main, "A_RenameFiles")->isEnabled());
        tabs.IncValue->setValue(5);

        QStandardItemModel model(3, 1);
        main->SetFileListModel(&model);
        auto* view = Child<QTreeView>(*main, "FileList");
        auto* example = Child<QLabel>(*main, "FileExample");
        QVERIFY(!Action(*main, "A_RemoveFiles")->isEnabled());
        view->selectionModel()->select(model.index(2, 0), QItemSelectionModel::Select);
        view->selectionModel()->select(model.index(1, 0), QItemSelectionModel::Select);
        QVERIFY(Action(*main, "A_RemoveFiles")->isEnabled());
        // The first selected file in list order, numbered by its own position.
        const RenameOptionSet options = ReadOptionsFromControls(tabs);
        const QString b = QString::fromStdString(ComputeNewName(options, "b.txt", 6));
        QVERIFY2(example->text().endsWith(": " + b), qPrintable(example->text()));

        QStatusTipEvent hint("a hint");
        QApplication::sendEvent(main.get(), &hint);
        QCOMPARE(example->text(), QStringLiteral("a hint"));
        QStatusTipEvent end{QString()};
        QApplication::sendEvent(main.get(), &end);
        QVERIFY(example->text().endsWith(": " + b));
        main->SetFileListModel(nullptr);
    }

    void barsKeepTheirOrder() {
        auto main = Open();
        Action(*main, "A_SettingsBar")->trigger(); // shown (hidden by default)
        Action(*main, "A_SettingsBar")->trigger();
        Action(*main, "A_SettingsBar")->trigger();
        QVERIFY(Child<QWidget>(*main, "PanelSets")->isVisible());
        QApplication::processEvents();
        const auto top = [&](const char* name) {
            return Child<QWidget>(*main, name)->y();
        };
        QVERIFY(top("FileList") < top("PanelButtons"));
        QVERIFY(top("PanelButtons") < top("PanelSets"));
        QVERIFY(top("PanelSets") < top("PanelOptions"));
        QVERIFY(top("PanelOptions") < top("PanelStatus"));
    }

    void startCloseStart() {
        RenameOptionSet options;
        {
            auto main = Open();
            main->setGeometry(40, 50, 600, 420);
            Action(*main, "A_QuickButtons")->trigger();
            Action(*main, "A_SettingsBar")->trigger();
            Action(*main, "A_SaveDirectorySettings")->trigger();
            main->Options().TrimGroup->setChecked(true);
            main->Options().RemoveFront->setValue(4);
            // A pair whose find text holds ':' comes back as it was.
            main->Options().ReplaceGroup->setChecked(true);
            main->Options().ReplaceInfo->setChecked(true);
            main->Options().Replace->setText(":");
            main->Options().ReplaceWith->setText("-");
            main->Options().ReplaceAddBtn->click();
            QCOMPARE(main->Options().ReplaceList->Count(), 1);
            SaveSchemeAs(*main, "Kept");
            options = ReadOptionsFromControls(main->Options());
            main->close();
            QVERIFY(main->Settings() == nullptr);
        }
        auto main = Open();
        QCOMPARE(main->geometry(), QRect(40, 50, 600, 420));
        QVERIFY(!Action(*main, "A_QuickButtons")->isChecked());
        QVERIFY(Child<QWidget>(*main, "PanelButtons")->isHidden());
        QVERIFY(Action(*main, "A_SettingsBar")->isChecked());
        QVERIFY(!Child<QWidget>(*main, "PanelSets")->isHidden());
        QVERIFY(!Action(*main, "A_SaveDirectorySettings")->isChecked());
        QVERIFY(ReadOptionsFromControls(main->Options()) == options);
        QCOMPARE(Child<QComboBox>(*main, "Sets")->currentText(), QStringLiteral("Kept"));
        QCOMPARE(main->Settings()->ApplicationStarts, 2);
    }

    void sortNumbersByValue() {
        const std::vector<std::string> files = {"/nonexistent-qm/IMG_10", "/nonexistent-qm/IMG_2",
                                                "/nonexistent-qm/IMG_1"};
        const auto rows = [](const TMain& main) {
            const QAbstractItemModel* model = Child<QTreeView>(main, "FileList")->model();
            QStringList names;
            for (int row = 0; row < model->rowCount(); ++row)
                names << model->index(row, 0).data().toString();
            return names.join(QLatin1Char('|'));
        };
        {
            auto main = Open(files);
            QCOMPARE(rows(*main), QStringLiteral("IMG_1|IMG_10|IMG_2"));
            QAction* byValue = Action(*main, "A_SortNumbersByValue");
            QVERIFY(byValue->isCheckable() && !byValue->isChecked());
            byValue->trigger();
            QCOMPARE(rows(*main), QStringLiteral("IMG_1|IMG_2|IMG_10"));
            main->close();
        }
        auto main = Open(files);
        QVERIFY(Action(*main, "A_SortNumbersByValue")->isChecked());
        QCOMPARE(rows(*main), QStringLiteral("IMG_1|IMG_2|IMG_10"));
    }

    void closingState_data() {
        QTest::addColumn<bool>("minimise");
        QTest::addColumn<bool>("rememberOptions");
        QTest::addRow("minimised, options remembered") << true << true;
        QTest::addRow("normal, options not remembered") << false << false;
    }

    void closingState() {
        QFETCH(bool, minimise);
        QFETCH(bool, rememberOptions);
        {
            auto main = Open();
            main->setGeometry(30, 40, 520, 410);
            if (!rememberOptions) {
                Action(*main, "A_SaveRenameSettings")->trigger();
            }
            main->Options().TrimGroup->setChecked(true);
            if (minimise) {
                main->showMinimized();
            }
            main->close();
        }
        auto main = Open();
        QCOMPARE(main->Settings()->State, minimise ? 1 : 0);
        QCOMPARE(main->isMinimized(), minimise);
        // The normal placement, also when it closed minimised.
        QCOMPARE(main->normalGeometry(), QRect(30, 40, 520, 410));
        QCOMPARE(Action(*main, "A_SaveRenameSettings")->isChecked(), rememberOptions);
        QCOMPARE(main->Options().TrimGroup->isChecked(), rememberOptions);
    }
};

} // namespace qm::test

QTEST_MAIN(qm::test::MainWindowTest)
#include "mainwindow_test.moc"
