// Quillmark: program entry.

#include "app/commandline.h"
#include "app/mainwindow.h"
#include "filelist/versioninfo.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
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
        std::printf("Marlowick Quillmark %s\n",
                    version.GetInfo(qm::TVersionInfo::InfoLongVersion).c_str());
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Marlowick Quillmark"));
    // File type icons come from the desktop's theme; a bare session names none.
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    // Qt has taken its own options (-platform, -display, ...) out of argv by now; the
    // rest is parsed again from the bytes as given, so no file name is re-encoded.
    const qm::CommandLine commandLine = qm::ParseCommandLine(Arguments(argc, argv));
    qm::TMain main(commandLine);
    main.show();
    return QApplication::exec();
}
