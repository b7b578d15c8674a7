// The main window as a Wayland client: shown by the compositor, a drop taken, closed with
// its settings stored. Run by under_weston.sh against a headless weston.
#include "app/commandline.h"
#include "app/mainwindow.h"
#include "settings/settings.h"

#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QUrl>
#include <memory>

namespace qm::test {

class WaylandSessionTest : public QObject {
    Q_OBJECT
private slots:
    void windowShowsTakesADropAndStoresItsSettings() {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("wayland"));
        QTemporaryDir store;
        QVERIFY(store.isValid());
        qputenv("XDG_CONFIG_HOME", (store.path() + "/home").toUtf8());
        qputenv("XDG_CONFIG_DIRS", (store.path() + "/etc").toUtf8());
        {
            // A placement stored under another window system.
            TSettings earlier;
            earlier.Load();
            earlier.Left = 123;
            earlier.Top = 45;
            QVERIFY(earlier.Save());
        }
        const QString file = store.path() + "/dropped.txt";
        QFile created(file);
        QVERIFY(created.open(QIODevice::WriteOnly));
        created.close();

        auto main = std::make_unique<TMain>(CommandLine{});
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main.get()));

        // A client cannot start a drag on another client's surface without a pointer
        // press the compositor saw, so the drop comes through Qt's event path, as the
        // Wayland plug-in delivers it.
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(file)});
        auto* list = main->findChild<QTreeView*>(QStringLiteral("FileList"));
        QVERIFY(list != nullptr);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list->viewport(), &drop);
        QVERIFY(drop.isAccepted());
        QCOMPARE(list->model()->rowCount(), 1);
        QCOMPARE(list->model()->index(0, 0).data().toString(), QStringLiteral("dropped.txt"));

        const int width = main->width() + 40;
        main->resize(width, main->height());
        QCOMPARE(main->width(), width);
        QVERIFY(main->close());
        main.reset();

        TSettings stored;
        stored.Load();
        QCOMPARE(stored.Width, width);
        QCOMPARE(stored.Left, 123);
        QCOMPARE(stored.Top, 45);
    }
};

} // namespace qm::test

QTEST_MAIN(qm::test::WaylandSessionTest)
#include "waylandsession_test.moc"
