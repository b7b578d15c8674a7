// quillmark-shots: renders the real main window, as the program builds it, once per option
// tab and once with every tab's group switch on, plus the dialogs, and then each window in
// Danish, German and English, chosen from the Languages menu, into PNG files.
// Used by scripts/screenshots.sh under a virtual display; not installed.
//
// Usage: quillmark-shots OUTPUT_FOLDER [FILE...]

#include "app/commandline.h"
#include "app/mainwindow.h"
#include "app/optionmapping.h"
#include "app/optiontabs.h"
#include "app/renameprocess.h"
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
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QTextStream>
#include <QTimer>
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

// The windows in the language whose own name is `native`, picked from the Languages menu
// as a user does: every tab, the menus, the dialogs, About and the splash.
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
    main.resize(size);
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
    main.close();
    return 0;
}
