// Quillmark: program entry.

#include "app/commandline.h"
#include "app/mainwindow.h"
#include "filelist/versioninfo.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <QTreeView>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

QIcon ProgramIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/quillmark-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

// For the installation tests only, which cannot reach into a running window: with
// QUILLMARK_PROBE_FILE_LIST set, the program prints the hint of its Add files command (a
// text only the language files give), then the file list's names one a line, once the
// window is up, and quits.
void ProbeFileListWhenAsked(const QMainWindow& window) {
    if (std::getenv("QUILLMARK_PROBE_FILE_LIST") == nullptr) {
        return;
    }
    QTimer::singleShot(0, &window, [&window] {
        const auto* addFiles = window.findChild<QAction*>(QStringLiteral("A_AddFiles"));
        std::printf("%s\n", addFiles != nullptr ? qUtf8Printable(addFiles->statusTip()) : "");
        const auto* list = window.findChild<QTreeView*>(QStringLiteral("FileList"));
        const QAbstractItemModel* model = list != nullptr ? list->model() : nullptr;
        for (int row = 0; model != nullptr && row < model->rowCount(); ++row) {
            std::printf("%s\n", qUtf8Printable(model->index(row, 0).data().toString()));
        }
        std::fflush(stdout);
        QApplication::quit();
    });
}

} // namespace

int main(int argc, char** argv) {
    // --help and --version answer without a display, before Qt is started.
    const qm::CommandLine early = qm::ParseCommandLine(Arguments(argc, argv));
    if (early.action == qm::CommandLine::Action::Help) {
        std::fputs(qm::CommandLineHelp("quillmark").c_str(), stdout);
        return 0;
    }
    if (early.action == qm::CommandLine::Action::Version) {
        const qm::TVersionInfo version;
        std::printf("Quillmark %s\n", version.DottedVersion().c_str());
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Marlowick Quillmark"));
    // Ties the windows to the installed desktop entry (its name and icon in task bars,
    // the application id on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("com.marlowick.Quillmark"));
    QApplication::setWindowIcon(ProgramIcon());
    // File type icons come from the desktop's theme; a bare session names none.
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    // Qt has taken its own options (-platform, -display, ...) out of argv by now; the
    // rest is parsed again from the bytes as given, so no file name is re-encoded.
    const qm::CommandLine commandLine = qm::ParseCommandLine(Arguments(argc, argv));
    qm::TMain main(commandLine);
    main.show();
    ProbeFileListWhenAsked(main);
    return QApplication::exec();
}
