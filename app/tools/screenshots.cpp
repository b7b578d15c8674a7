// quillmark-shots: renders the real main window, as the program builds it, once per option
// tab and once with every tab's group switch on, plus the dialogs, and then each window in
// Danish, German and English, chosen from the Languages menu, into PNG files.
// Used by scripts/screenshots.sh under a virtual display; not installed.
//
// Usage: quillmark-shots OUTPUT_FOLDER [FILE...]

#include "app/commandline.h"
#include "app/history/historywindow.h"
#include "app/list/filelistmodel.h"
#include "app/list/predictionrunner.h"
#include "app/mainwindow.h"
#include "app/options/optionmapping.h"
#include "app/options/optiontabs.h"
#include "app/run/renameprocess.h"
#include "app/splash.h"
#include "filelist/versioninfo.h"
#include "language/dynlang.h"
#include "language/textkeys.h"
#include "settings/settings.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyleFactory>
#include <QTextStream>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QTreeView>
#include <cstdio>

namespace {

void Settle() {
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
    }
}

void ShootTabs(qm::TMain& main, const QString& folder, const QString& prefix) {
    qm::TOptionTabs& tabs = main.Options();
    for (int i = 0; i < tabs.count(); ++i) {
        tabs.setCurrentIndex(i);
        Settle();
        const QString file = QStringLiteral("%1/%2-%3-%4.png")
                                 .arg(folder, prefix)
                                 .arg(i + 1)
                                 .arg(tabs.widget(i)->objectName());
        main.grab().save(file);
        std::printf("%s\n", qPrintable(file));
    }
}

// Writes the keyboard focus order of each tab page, for reviewing the tab order.
void WriteFocusOrder(qm::TMain& main, const QString& file) {
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Text)) {
        return;
    }
    QTextStream text(&out);
    qm::TOptionTabs& tabs = main.Options();
    for (int i = 0; i < tabs.count(); ++i) {
        QWidget* page = tabs.widget(i);
        text << page->objectName() << ":";
        // The chain is a ring through the whole window: one round from the page is enough.
        for (QWidget* w = page->nextInFocusChain(); w != page; w = w->nextInFocusChain()) {
            if (page->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) &&
                !w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_"))) {
                text << " " << w->objectName();
            }
        }
        text << "\n";
    }
}

// Triggers `action`, grabs the modal dialog it opens and closes it without effect.
void ShootDialog(qm::TMain& main, const char* action, const QString& file) {
    QTimer::singleShot(700, [file] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            Settle();
            dialog->grab().save(file);
            static_cast<QDialog*>(dialog)->reject();
        }
    });
    main.findChild<QAction*>(QString::fromLatin1(action))->trigger();
    std::printf("%s\n", qPrintable(file));
}

// Renames every listed file through the window: the progress window once the run is
// under way, then the closing message.
void ShootRename(qm::TMain& main, const QString& folder) {
    qm::RenameOptionSet options;
    options.InsertGroup = options.InsertFront = true;
    options.InsertFrontText = "renamed ";
    qm::ApplyOptionsToControls(main.Options(), options);
    main.RefreshOptionControls();
    main.Settings()->ShowRenameSuccess = true;
    bool runShot = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* process = qobject_cast<qm::TRenameProcess*>(modal)) {
            if (!runShot && process->Progress->value() >= 100) {
                runShot = true;
                const QString file = folder + QStringLiteral("/dialog-renameprocess.png");
                process->grab().save(file);
                std::printf("%s\n", qPrintable(file));
            }
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            const QString file = folder + QStringLiteral("/dialog-renamedone.png");
            box->grab().save(file);
            std::printf("%s\n", qPrintable(file));
            box->accept();
        }
    });
    watch.start(10);
    main.findChild<QAction*>(QStringLiteral("A_RenameFiles"))->trigger();
}

// The progress window as it stands after eleven seconds of a long run, with the estimate.
void ShootEstimate(qm::TMain& main, const QString& folder) {
    const qm::TDynLang* lang = main.ProgramLang();
    qm::TRenameProcess process(
        &main, [lang](const std::string& key) { return lang->GetLine(key); }, "&Cancel");
    process.show();
    process.BeginRun(150000);
    process.EndRun();
    process.StepProgress(41000);
    for (int tick = 0; tick < 11; ++tick) {
        process.FilesSinceTick = 3700;
        process.EstimatedTimerTimer();
    }
    process.ShowNames("file_041000.txt", "renamed file_041000.txt");
    Settle();
    const QString file = folder + QStringLiteral("/dialog-renameprocess-estimate.png");
    process.grab().save(file);
    std::printf("%s\n", qPrintable(file));
}

// The Replace tab with regular expressions on and a find text refused, the reason shown
// under the field; then the tab as it was.
void ShootPatternNote(qm::TMain& main, const QString& file) {
    qm::TOptionTabs& tabs = main.Options();
    const qm::RenameOptionSet before = qm::ReadOptionsFromControls(tabs);
    tabs.setCurrentWidget(tabs.ReplaceTab);
    tabs.ReplaceGroup->setChecked(true);
    tabs.ReplaceInfo->setChecked(true);
    tabs.ReplaceRegExp->setChecked(true);
    tabs.Replace->setText(QStringLiteral("(\\d+)-(\\d+"));
    tabs.ReplaceWith->setText(QStringLiteral("$2-$1"));
    tabs.ReplaceAddBtn->click();
    Settle();
    main.grab().save(file);
    std::printf("%s\n", qPrintable(file));
    tabs.Replace->clear();
    tabs.ReplaceWith->clear();
    qm::ApplyOptionsToControls(tabs, before);
    main.RefreshOptionControls();
}

// The Insert tab with tags in the front text and its tag menu open on the photo tags,
// drawn over the window where the menus stand on screen; then the tab as it was.
void ShootTagMenu(qm::TMain& main, const QString& file) {
    qm::TOptionTabs& tabs = main.Options();
    const qm::RenameOptionSet before = qm::ReadOptionsFromControls(tabs);
    tabs.setCurrentWidget(tabs.InsertTab);
    tabs.InsertGroup->setChecked(true);
    tabs.InsertFrontInfo->setChecked(true);
    tabs.InsertPosInfo->setChecked(true);
    tabs.InsertTags->setChecked(true);
    tabs.InsertFront->setText(QStringLiteral("<taken:yyyy-MM-dd> "));
    main.RefreshOptionControls();
    Settle();
    QMenu* menu = tabs.InsertFrontTags->menu();
    menu->popup(tabs.InsertFrontTags->mapToGlobal(QPoint(0, tabs.InsertFrontTags->height())));
    Settle();
    auto* photo = menu->findChild<QMenu*>(QStringLiteral("PhotoTagsMenu"));
    menu->setActiveAction(photo->menuAction());
    photo->popup(menu->mapToGlobal(menu->actionGeometry(photo->menuAction()).topRight()));
    Settle();
    // The menus may stand past the window's edge: the picture holds them whole.
    const QRect window(main.mapToGlobal(QPoint(0, 0)), main.size());
    const QRect all = window.united(menu->geometry()).united(photo->geometry());
    QPixmap shot(all.size());
    shot.fill(Qt::darkGray);
    {
        QPainter painter(&shot);
        painter.drawPixmap(window.topLeft() - all.topLeft(), main.grab());
        painter.drawPixmap(menu->pos() - all.topLeft(), menu->grab());
        painter.drawPixmap(photo->pos() - all.topLeft(), photo->grab());
    }
    photo->hide();
    menu->hide();
    shot.save(file);
    std::printf("%s\n", qPrintable(file));
    qm::ApplyOptionsToControls(tabs, before);
    main.RefreshOptionControls();
}

// The windows in the language whose own name is `native`, picked from the Languages menu
// as a user does: every tab, the menus, the dialogs, About and the splash.
// The history of renames with the runs made so far, the newest selected and its renames
// shown, once both have been read.
void ShootHistory(qm::TMain& main, const QString& file) {
    // As first opened in this language: the widths the last language left are forgotten.
    main.Settings()->HistoryColumnsWidth.clear();
    main.Settings()->HistoryMovesColumnsWidth.clear();
    main.findChild<QAction*>(QStringLiteral("A_History"))->trigger();
    auto* history = main.findChild<qm::THistoryWindow*>(QStringLiteral("HistoryWindow"));
    bool shown = false;
    const QMetaObject::Connection connection =
        QObject::connect(history, &qm::THistoryWindow::movesShown, [&shown] { shown = true; });
    QElapsedTimer waited;
    waited.start();
    while (!shown && waited.elapsed() < 10000) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    QObject::disconnect(connection);
    Settle();
    history->grab().save(file);
    std::printf("%s\n", qPrintable(file));
    history->close();
}

void ShootLanguage(qm::TMain& main, const QString& folder, const QString& native,
                   const QString& tag) {
    auto* languages = main.findChild<QMenu*>(QStringLiteral("M_Language"));
    for (QAction* item : languages->actions()) {
        if (item->text() == native) {
            item->trigger();
        }
    }
    Settle();
    const QString prefix = QStringLiteral("lang-%1").arg(tag);
    ShootTabs(main, folder, prefix);
    // Longer captions must still fit the smallest window.
    const QSize size = main.size();
    main.resize(main.minimumSize());
    ShootTabs(main, folder, prefix + QStringLiteral("-minimum"));
    ShootPatternNote(main, QStringLiteral("%1/%2-minimum-pattern-note.png").arg(folder, prefix));
    main.resize(size);
    ShootTagMenu(main, QStringLiteral("%1/%2-insert-tag-menu.png").arg(folder, prefix));
    for (QMenu* menu : main.menuBar()->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) {
        if (menu->objectName().isEmpty()) {
            continue; // Qt's own overflow menu
        }
        menu->popup(main.mapToGlobal(QPoint(0, 0)));
        Settle();
        const QString file =
            QStringLiteral("%1/%2-menu-%3.png").arg(folder, prefix, menu->objectName());
        menu->grab().save(file);
        std::printf("%s\n", qPrintable(file));
        menu->hide();
    }
    QMenu* options = main.findChild<QMenu*>(QStringLiteral("M_Options"));
    options->popup(main.mapToGlobal(QPoint(0, 0)));
    languages->popup(main.mapToGlobal(QPoint(200, 0)));
    Settle();
    languages->grab().save(QStringLiteral("%1/%2-menu-M_Language.png").arg(folder, prefix));
    languages->hide();
    options->hide();
    for (const char* action :
         {"A_SaveSchemeAs", "A_CustomizeColumns", "A_AddDirectory", "A_About"}) {
        ShootDialog(main, action,
                    QStringLiteral("%1/%2-dialog-%3.png")
                        .arg(folder, prefix, QString::fromLatin1(action + 2)));
    }
    ShootHistory(main, QStringLiteral("%1/%2-window-history.png").arg(folder, prefix));
    const qm::TVersionInfo version;
    qm::TDynLang common(main.ProgramLang()->Location(), std::string(qm::CommonPackageName));
    common.SelectLanguage(main.ProgramLang()->LanguageName());
    qm::TSplash splash(version, common);
    splash.Present();
    Settle();
    const QString file = QStringLiteral("%1/%2-splash.png").arg(folder, prefix);
    splash.grab().save(file);
    std::printf("%s\n", qPrintable(file));
    splash.CloseAfter(0);
}

void PickLanguage(qm::TMain& main, const QString& native) {
    for (QAction* item : main.findChild<QMenu*>(QStringLiteral("M_Language"))->actions()) {
        if (item->text() == native) {
            item->trigger();
        }
    }
}

// Waits until the marks of the list and options as they are now are shown.
void WaitForMarks(qm::TMain& main) {
    auto* runner = main.findChild<qm::TPredictionRunner*>(QStringLiteral("Prediction"));
    quint64 shown = 0;
    const QMetaObject::Connection connection =
        QObject::connect(runner, &qm::TPredictionRunner::delivered,
                         [&shown](quint64 generation) { shown = generation; });
    for (int i = 0; i < 500 && shown != runner->Generation(); ++i) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    QObject::disconnect(connection);
    Settle();
}

// The whole screen with the main window and the tool tip of a marked row of the new-name
// column, as a user sees it when pointing at the row.
void ShootMarkTip(qm::TMain& main, int row, const QString& file) {
    auto* list = main.findChild<QTreeView*>(QStringLiteral("FileList"));
    const auto* model = qobject_cast<const qm::TFileListModel*>(list->model());
    int column = 0;
    while (column < model->columnCount() &&
           model->Columns()[static_cast<std::size_t>(column)].Id != qm::ColumnId::NewName) {
        ++column;
    }
    const QModelIndex index = model->index(row, column);
    const QRect cell = list->visualRect(index);
    const QPoint at = list->viewport()->mapToGlobal(cell.center());
    // The window's own events (its move, its activation) would hide a tip shown before
    // them. The screen is the X server's picture: it needs time to map the tip and take
    // the window's latest paint.
    const auto pause = [] {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 400) {
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        }
    };
    pause();
    QToolTip::showText(at, index.data(Qt::ToolTipRole).toString(), list->viewport(), cell);
    pause();
    QGuiApplication::primaryScreen()->grabWindow(0).save(file);
    std::printf("%s\n", qPrintable(file));
    QToolTip::hideText();
}

// Photos that the run would not all give the names the list shows: the new name of the
// third is taken on disk (by a file not listed), so the later ones get lower numbers than
// the list shows.
void ShootMarks(qm::TMain& main, const QString& folder, const QString& files) {
    main.findChild<QAction*>(QStringLiteral("A_RemoveAllFiles"))->trigger();
    for (const QString& name : QDir(files).entryList(QDir::Files)) {
        if (!name.startsWith(QLatin1String("2024"))) {
            main.AddFile((files + QLatin1Char('/') + name).toStdString());
        }
    }
    qm::RenameOptionSet options;
    options.InsertGroup = options.InsertFront = true;
    options.InsertFrontText = "2024 ";
    options.NumberIncEnabled = options.NumberIncAddFrontSep = true;
    options.NumberIncValue = 1;
    qm::ApplyOptionsToControls(main.Options(), options);
    main.RefreshOptionControls();
    main.resize(900, 640);
    main.move(0, 0);
    main.Options().setCurrentIndex(3);
    // A tip that fades in would be caught half shown.
    QApplication::setEffectEnabled(Qt::UI_AnimateTooltip, false);
    QApplication::setEffectEnabled(Qt::UI_FadeTooltip, false);
    const QPalette light = QApplication::palette();
    for (const auto& [native, tag] : {std::pair{"Dansk", "danish"}, std::pair{"Deutsch", "german"},
                                      std::pair{"English", "english"}}) {
        PickLanguage(main, QString::fromUtf8(native));
        // The language's captions come with the stored columns: the folder goes in after.
        main.ApplyColumnSet("Name,Path,NewName");
        main.ApplyColumnWidths("150,280,220");
        WaitForMarks(main);
        const QString prefix = QStringLiteral("%1/marks-%2").arg(folder, QLatin1String(tag));
        main.grab().save(prefix + QStringLiteral(".png"));
        std::printf("%s.png\n", qPrintable(prefix));
        ShootMarkTip(main, 2, prefix + QStringLiteral("-tip-fails.png"));
        ShootMarkTip(main, 5, prefix + QStringLiteral("-tip-shifted.png"));
    }
    // A dark palette: the mark colour must read on it too.
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Button, QColor(55, 55, 58));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    dark.setColor(QPalette::ToolTipBase, QColor(60, 60, 64));
    dark.setColor(QPalette::ToolTipText, QColor(230, 230, 230));
    dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(dark);
    Settle();
    main.grab().save(folder + QStringLiteral("/marks-english-dark.png"));
    std::printf("%s/marks-english-dark.png\n", qPrintable(folder));
    ShootMarkTip(main, 2, folder + QStringLiteral("/marks-english-dark-tip.png"));
    QApplication::setPalette(light);
}

// Rows named by hand: one typed name and one that another row's new name has (marked),
// the status line's count, the tool tip of the named row, and the names as text, in each
// language.
void ShootHandNames(qm::TMain& main, const QString& folder) {
    auto* list = main.findChild<QTreeView*>(QStringLiteral("FileList"));
    auto* model = qobject_cast<qm::TFileListModel*>(list->model());
    if (model == nullptr || model->rowCount() < 4) {
        return;
    }
    main.ApplyColumnSet("Name,Path,NewName");
    main.ApplyColumnWidths("150,280,220");
    const QString taken = model->index(1, 2).data().toString();
    model->SetHandNames({{0, "cover.jpg"}, {3, taken.toStdString()}});
    for (const auto& [native, tag] : {std::pair{"Dansk", "danish"}, std::pair{"Deutsch", "german"},
                                      std::pair{"English", "english"}}) {
        PickLanguage(main, QString::fromUtf8(native));
        main.ApplyColumnSet("Name,Path,NewName");
        main.ApplyColumnWidths("150,280,220");
        // After the columns, which reset the list and its selection: the status line shows
        // the name typed for the selected row.
        list->setCurrentIndex(model->index(0, 0));
        WaitForMarks(main);
        const QString prefix = QStringLiteral("%1/hand-names-%2").arg(folder, QLatin1String(tag));
        main.grab().save(prefix + QStringLiteral(".png"));
        std::printf("%s.png\n", qPrintable(prefix));
        ShootMarkTip(main, 0, prefix + QStringLiteral("-tip.png"));
        ShootMarkTip(main, 3, prefix + QStringLiteral("-tip-taken.png"));
        ShootDialog(main, "A_EditNamesAsText",
                    QStringLiteral("%1/dialog-nametext-%2.png").arg(folder, QLatin1String(tag)));
    }
    main.findChild<QAction*>(QStringLiteral("A_ForgetHandNames"))->trigger();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: quillmark-shots OUTPUT_FOLDER [FILE...]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    qm::CommandLine commandLine;
    for (int i = 2; i < argc; ++i) {
        commandLine.paths.emplace_back(argv[i]);
    }
    qm::TMain main(commandLine);
    main.show();
    Settle();
    main.findChild<QAction*>(QStringLiteral("A_SettingsBar"))->trigger();
    ShootTabs(main, folder, QStringLiteral("main-defaults"));

    qm::TOptionTabs& tabs = main.Options();
    for (QCheckBox* group : {tabs.TrimGroup, tabs.ReplaceGroup, tabs.InsertGroup, tabs.ShuffleGroup,
                             tabs.FormatGroup, tabs.AppendExt}) {
        group->setChecked(true);
    }
    ShootTabs(main, folder, QStringLiteral("main-groups-on"));
    WriteFocusOrder(main, folder + QStringLiteral("/focus-order.txt"));

    main.resize(main.minimumSize());
    tabs.setCurrentIndex(0);
    Settle();
    main.grab().save(folder + QStringLiteral("/main-minimum-size.png"));

    ShootDialog(main, "A_SaveSchemeAs", folder + QStringLiteral("/dialog-schemesave.png"));

    // The list with every column, wide enough to show them, and one row selected.
    main.resize(1180, 760);
    main.ApplyColumnSet("Name,Path,NewName,PrevName,TypeName,Size,Attribute,ModDate");
    main.ApplyColumnWidths("190,170,190,110,150,80,80,150");
    tabs.setCurrentIndex(0);
    if (auto* list = main.findChild<QTreeView*>(QStringLiteral("FileList"))) {
        list->setCurrentIndex(list->model()->index(2, 0));
    }
    Settle();
    main.grab().save(folder + QStringLiteral("/main-files-all-columns.png"));
    std::printf("%s/main-files-all-columns.png\n", qPrintable(folder));
    // Columns too narrow for their cells: names cut in the middle, types at their end,
    // sizes and dates only between words.
    main.ApplyColumnWidths("120,100,120,60,70,50,40,90");
    Settle();
    main.grab().save(folder + QStringLiteral("/main-files-narrow-columns.png"));

    ShootDialog(main, "A_CustomizeColumns", folder + QStringLiteral("/dialog-customizecols.png"));
    // The folder dialog opens on the last used folder: the sample files' folder.
    main.Settings()->LastUsedFolderPath = QDir::currentPath().toStdString() + "/";
    ShootDialog(main, "A_AddDirectory", folder + QStringLiteral("/dialog-directoryselector.png"));
    // Adding a big folder: the progress dialog, once it has shown.
    const QByteArray big = qgetenv("QUILLMARK_SHOTS_BIG_FOLDER");
    if (!big.isEmpty()) {
        const QString file = folder + QStringLiteral("/dialog-addprogress.png");
        QTimer::singleShot(1200, [file, &main] {
            if (auto* progress = main.findChild<QWidget*>(QStringLiteral("AddProgress"))) {
                progress->grab().save(file);
                std::printf("%s\n", qPrintable(file));
            }
        });
        main.AddFolder(big.toStdString(), true);
        ShootRename(main, folder);
    }
    ShootEstimate(main, folder);

    main.resize(900, 640);
    main.ApplyColumnSet("Name,Path,NewName");
    ShootLanguage(main, folder, QStringLiteral("Dansk"), QStringLiteral("danish"));
    ShootLanguage(main, folder, QStringLiteral("Deutsch"), QStringLiteral("german"));
    ShootLanguage(main, folder, QStringLiteral("English"), QStringLiteral("english"));
    const QByteArray marks = qgetenv("QUILLMARK_SHOTS_MARKS_FOLDER");
    if (!marks.isEmpty()) {
        ShootMarks(main, folder, QString::fromLocal8Bit(marks));
    }
    ShootHandNames(main, folder);
    main.close();
    return 0;
}
