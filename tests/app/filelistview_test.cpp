// The file list in the main window: adding by every route, removing, the model's cells,
// columns, sorting by header, the column dialog and the folder dialog.

#include "app/commandline.h"
#include "app/list/addprogress.h"
#include "app/list/columnchecklist.h"
#include "app/list/customizecols.h"
#include "app/list/directoryselector.h"
#include "app/list/filelistdelegate.h"
#include "app/list/filelistmodel.h"
#include "app/list/filelistview.h"
#include "app/list/foldertreemodel.h"
#include "app/list/listcolumns.h"
#include "app/list/rowdrag.h"
#include "app/mainwindow.h"
#include "app/options/optiontabs.h"
#include "filelist/fileitem.h"
#include "filelist/filelist.h"
#include "settings/settings.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QListWidget>
#include <QMimeData>
#include <QPaintEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <algorithm>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace qm::test {

class FileListViewTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString root_;

    std::unique_ptr<TMain> Open(const std::vector<std::string>& paths = {}) {
        CommandLine commandLine;
        commandLine.paths = paths;
        auto main = std::make_unique<TMain>(commandLine);
        main->show();
        return main;
    }

    void File(const QString& relative, qint64 size = 0) {
        const QString path = root_ + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(size, 'x'));
    }

    static QTreeView* List(const TMain& main) {
        return main.findChild<QTreeView*>(QStringLiteral("FileList"));
    }
    static QAction* Action(const TMain& main, const char* name) {
        return main.findChild<QAction*>(QString::fromLatin1(name));
    }

    // Column `column` of every row, joined by "|".
    static QString Column(const TMain& main, int column = 0) {
        QStringList cells;
        const QAbstractItemModel* model = List(main)->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            cells << model->index(row, column).data().toString();
        }
        return cells.join(QLatin1Char('|'));
    }

    void Drop(TMain& main, const QStringList& relativePaths, const QList<QUrl>& extra = {}) {
        auto* mime = new QMimeData;
        QList<QUrl> urls;
        for (const QString& path : relativePaths) {
            urls << QUrl::fromLocalFile(root_ + path);
        }
        urls << extra;
        mime->setUrls(urls);
        QWidget* viewport = List(main)->viewport();
        // A drop reaches the widget that took the drag when it entered.
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
        QVERIFY(drop.isAccepted());
        delete mime;
    }

    void SelectRows(TMain& main, std::initializer_list<int> rows) {
        QTreeView* list = List(main);
        list->clearSelection();
        for (int row : rows) {
            list->selectionModel()->select(list->model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    static constexpr int kFirst = -1000000;
    static constexpr int kLast = -1000001;
    static constexpr int kBelow = -1000002;

    // Gathers the regions the watched widget paints.
    class PaintRegion : public QObject {
    public:
        explicit PaintRegion(QRegion& region) : region_(region) {}

    protected:
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint)
                region_ += static_cast<QPaintEvent*>(event)->region();
            return false;
        }

    private:
        QRegion& region_;
    };

private slots:
    // A change of a long range repaints the rows of it in sight and no other; a marker
    // row (top + 10) is dirtied with each change so that every case ends in one paint.
    void longChangeRepaintsTheRowsInSight_data() {
        QTest::addColumn<int>("from");        // rows relative to the top row in sight, or:
        QTest::addColumn<int>("to");          // kFirst, kLast: the model's; kBelow: below the sight
        QTest::addColumn<QString>("painted"); // rows relative to the top, "bottom" the last
        QTest::addRow("every row") << kFirst << kLast << "0-bottom";
        QTest::addRow("ends in sight") << kFirst << 3 << "0-3,10";
        QTest::addRow("starts in sight") << 12 << kLast << "10,12-bottom";
        QTest::addRow("below the sight") << kBelow << kLast << "10";
        QTest::addRow("above the sight") << kFirst << -1 << "10";
    }
    void longChangeRepaintsTheRowsInSight() {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, painted);
        constexpr int rows = 5000;
        QStandardItemModel model(rows, 2);
        TFileListView view;
        view.setUniformRowHeights(true);
        view.setRootIsDecorated(false);
        view.setModel(&model);
        view.resize(300, 20 * view.sizeHintForRow(0) + view.header()->height());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.scrollTo(model.index(2500, 0), QAbstractItemView::PositionAtTop);
        const int top = view.indexAt(QPoint(1, 1)).row();
        const int bottom = view.indexAt(QPoint(1, view.viewport()->height() - 1)).row();
        QVERIFY(top > 100 && bottom > top + 12);
        QRegion region;
        PaintRegion spy(region);
        view.viewport()->installEventFilter(&spy);
        QTRY_VERIFY(!region.isEmpty()); // the first paint after showing
        region = QRegion();
        const auto row = [&](int at) {
            return at == kFirst ? 0 : at == kLast ? rows - 1 : at == kBelow ? bottom + 1 : top + at;
        };
        emit model.dataChanged(model.index(row(from), 1), model.index(row(to), 1));
        const QRect marker = view.visualRect(model.index(top + 10, 0));
        view.viewport()->update(marker.center().x(), marker.center().y(), 1, 1);
        QTRY_VERIFY(!region.isEmpty());
        QStringList seen;
        for (int r = top; r <= bottom; ++r) {
            const QRect cell = view.visualRect(model.index(r, 0));
            if (region.intersects(QRect(0, cell.center().y(), view.viewport()->width(), 1)))
                seen << (r == bottom ? QStringLiteral("bottom") : QString::number(r - top));
        }
        QStringList expected;
        for (const QString& part : painted.split(QLatin1Char(','))) {
            const QStringList ends = part.split(QLatin1Char('-'));
            const int end =
                ends.back() == QLatin1String("bottom") ? bottom - top : ends.back().toInt();
            for (int r = ends.front().toInt(); r <= end; ++r)
                expected << (r == bottom - top ? QStringLiteral("bottom") : QString::number(r));
        }
        QCOMPARE(seen, expected);
    }

    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        root_ = dir_->path() + QLatin1Char('/');
        qputenv("XDG_CONFIG_HOME", (root_ + "home").toUtf8());
        qputenv("XDG_CONFIG_DIRS", (root_ + "etc").toUtf8());
    }

    void dropAddsFilesAndAFoldersOwnFiles() {
        File("in/b.txt");
        File("in/a.txt");
        File("in/folder/.hidden");
        File("in/folder/c.txt");
        File("in/folder/sub/deep.txt");
        auto main = Open();
        main->Settings()->IncludeDirectorySubFolders = true;
        main->ApplyColumnSet("Name,Path");
        // Unsorted, the list shows the order of the drop.
        main->FileListColumnClick(5);
        // A name that is not UTF-8 arrives percent-encoded byte by byte.
        const QByteArray odd = QFile::encodeName(root_) + "in/caf\xE9.txt";
        QVERIFY(::close(::open(odd.constData(), O_WRONLY | O_CREAT, 0644)) == 0);
        const QUrl oddUrl = QUrl::fromEncoded("file://" + odd.toPercentEncoding("/"));
        Drop(*main, {"in/b.txt", "in/folder", "in/a.txt", "in/missing.txt"}, {oddUrl});
        const TFileItems& items = main->FileItems()->Items();
        QCOMPARE(items.Count(), 5);
        QCOMPARE(items.Items(4)->Name(), std::string("caf\xE9.txt"));
        ::unlink(odd.constData()); // a name QTemporaryDir could not remove
        QStringList names = Column(*main).split(QLatin1Char('|'));
        names.removeLast();
        QCOMPARE(names.front(), QStringLiteral("b.txt"));
        QCOMPARE(names.back(), QStringLiteral("a.txt"));
        names.sort();
        QCOMPARE(names.join(QLatin1Char('|')), QStringLiteral(".hidden|a.txt|b.txt|c.txt"));
        QVERIFY(Action(*main, "A_RemoveAllFiles")->isEnabled());
    }

    void addFolderWithSubfoldersAndALoop() {
        File("tree/one.txt");
        File("tree/.two");
        File("tree/sub/three.txt");
        QVERIFY(QFile::link(root_ + "tree", root_ + "tree/sub/back"));
        auto main = Open();
        QVERIFY(main->AddFolder((root_ + "tree").toStdString(), true));
        QCOMPARE(Column(*main), QStringLiteral(".two|one.txt|three.txt"));
        QVERIFY(main->AddFolder((root_ + "tree/").toStdString(), false));
        QCOMPARE(Column(*main), QStringLiteral(".two|.two|one.txt|one.txt|three.txt"));
    }

    void commandLineBareNameTakesTheCurrentFolder() {
        File("cwd/a.txt", 1);
        const QString before = QDir::currentPath();
        QDir::setCurrent(root_ + "cwd");
        auto main = Open({"a.txt", "./a.txt"});
        QDir::setCurrent(before);
        main->ApplyColumnSet("Path,Size");
        const QString folder = QFileInfo(root_ + "cwd").canonicalFilePath() + "/";
        QCOMPARE(Column(*main, 0), folder + "|" + folder);
        QCOMPARE(Column(*main, 1), QStringLiteral("1 KB|1 KB"));
    }

    void removeRowsAndUndoState() {
        for (const char* name : {"a", "b", "c", "d", "e", "f"}) {
            File(QString::fromLatin1(name));
        }
        auto main = Open();
        main->AddFolder(root_.toStdString(), false);
        QCOMPARE(Column(*main), QStringLiteral("a|b|c|d|e|f"));
        TFileItems& items = main->FileItems()->Items();
        items.BeginUpdate(); // a rename that leaves the order alone
        items.Items(0)->SetNewName("a");
        items.EndUpdate();
        QAction* undo = Action(*main, "A_Undo");
        undo->setEnabled(true);

        SelectRows(*main, {1, 3}); // rows 2 and 4
        QVERIFY(Action(*main, "A_RemoveFiles")->isEnabled());
        QTest::keyClick(List(*main), Qt::Key_Delete);
        QCOMPARE(Column(*main), QStringLiteral("a|c|e|f"));
        QVERIFY(undo->isEnabled()); // the renamed entry is still listed

        SelectRows(*main, {0});
        Action(*main, "A_RemoveFiles")->trigger();
        QCOMPARE(Column(*main), QStringLiteral("c|e|f"));
        QVERIFY(!undo->isEnabled());

        undo->setEnabled(true);
        Action(*main, "A_RemoveAllFiles")->trigger();
        QCOMPARE(List(*main)->model()->rowCount(), 0);
        QVERIFY(!undo->isEnabled());
        QVERIFY(!Action(*main, "A_RemoveAllFiles")->isEnabled());
    }

    void cellsOfEveryColumn() {
        File("cells/data.bin", 1025);
        File("cells/empty.png", 0);
        QVERIFY(QFile::setPermissions(root_ + "cells/data.bin", QFileDevice::ReadOwner));
        QIcon::setThemeSearchPaths({QStringLiteral("/usr/share/icons")});
        QIcon::setThemeName(QStringLiteral("Adwaita"));
        auto main = Open();
        main->AddFolder((root_ + "cells").toStdString(), false);
        main->ApplyColumnSet("NAME,Path,NEWNAME,PREVNAME,TYPENAME,SIZE,ATTRIBUTE,MODDATE,");
        QAbstractItemModelTester tester(List(*main)->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(Column(*main, 0), QStringLiteral("data.bin|empty.png"));
        QCOMPARE(Column(*main, 1), root_ + "cells/|" + root_ + "cells/");
        QCOMPARE(Column(*main, 5), QStringLiteral("2 KB|0 KB"));
        QCOMPARE(Column(*main, 6), QStringLiteral("RA|A"));
        QVERIFY(!Column(*main, 7).split('|').front().isEmpty());
        const QAbstractItemModel* model = List(*main)->model();
        QCOMPARE(model->headerData(5, Qt::Horizontal).toString(), QStringLiteral("Size"));
        QCOMPARE(model->headerData(5, Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
                 int(Qt::AlignRight | Qt::AlignVCenter));
        QVERIFY(!model->index(1, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
        // Types are cut at their end, sizes and dates between words.
        QCOMPARE(model->index(0, 4).data(CellFitRole).value<CellFit>(), CellFit::End);
        QCOMPARE(model->index(0, 5).data(CellFitRole).value<CellFit>(), CellFit::WholeWords);
        QVERIFY(qobject_cast<TFileListDelegate*>(List(*main)->itemDelegate()) != nullptr);

        // The new name numbers rows from the typed start value.
        TOptionTabs& tabs = main->Options();
        tabs.InsertGroup->setChecked(true);
        tabs.IncValueInfo->setChecked(true);
        tabs.IncValue->setValue(7);
        QCOMPARE(Column(*main, 2), QStringLiteral("data7.bin|empty8.png"));

        // A file that has gone shows 0 KB and keeps its other cells.
        QFile::remove(root_ + "cells/data.bin");
        QCOMPARE(Column(*main, 5), QStringLiteral("0 KB|0 KB"));
        QCOMPARE(Column(*main, 6), QStringLiteral("RA|A"));

        main->ApplyColumnSet("size,Bogus,NAME");
        QCOMPARE(model->columnCount(), 2);
        QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Name"));
        main->ApplyColumnSet(",NAME");
        QCOMPARE(model->columnCount(), 0);
    }

    // Each text gets the width of what it should show: one pixel less breaks a row.
    void wholeWordsKeepNumbersWhole() {
        const QFontMetrics metrics(QApplication::font());
        for (const auto& [text, shown] : {std::pair{"1.024.000 KB", "1.024.000 KB"},
                                          {"1.024.000 KB", "1.024.000\u2026"},
                                          {"08.12.2026 15:07:14", "08.12.2026\u2026"},
                                          {"1 2 3 4", "1 2\u2026"}}) {
            const int width = metrics.horizontalAdvance(QString::fromUtf8(shown));
            QCOMPARE(WholeWords(metrics, QString::fromUtf8(text), width), QString::fromUtf8(shown));
        }
        // Not even the number fits: no digit is cut.
        const int narrow = metrics.horizontalAdvance(QStringLiteral("1.024.00\u2026"));
        QCOMPARE(WholeWords(metrics, QStringLiteral("1.024.000 KB"), narrow),
                 QStringLiteral("\u2026"));
    }

    // The delegate cuts a cell as the cell asks, here between words.
    void narrowCellsAsTheyAsk() {
        QStandardItemModel model(1, 1);
        model.setData(model.index(0, 0), QStringLiteral("1.024.000 kilobytes"));
        model.setData(model.index(0, 0), QVariant::fromValue(CellFit::WholeWords), CellFitRole);
        QStyleOptionViewItem option;
        option.textElideMode = Qt::ElideRight;
        option.rect.setWidth(QFontMetrics(option.font).horizontalAdvance("1.024.000 kilo"));
        QCOMPARE(TFileListDelegate().ShownText(option, model.index(0, 0)),
                 QStringLiteral("1.024.000\u2026"));
    }

    void headerClicksSort() {
        for (const char* name : {"b.txt", "C.txt", "a.txt"}) {
            File(QString::fromLatin1("s/") + name, name[0] == 'a' ? 3000 : 10);
        }
        auto main = Open();
        main->AddFolder((root_ + "s").toStdString(), false);
        main->ApplyColumnSet("Name,Size");
        QCOMPARE(main->SortColumn(), 0);
        QVERIFY(main->SortDeclining());
        QCOMPARE(Column(*main), QStringLiteral("a.txt|b.txt|C.txt"));
        QHeaderView* header = List(*main)->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(0) + 5, 5));
        QVERIFY(!main->SortDeclining());
        QCOMPARE(Column(*main), QStringLiteral("C.txt|b.txt|a.txt"));
        QCOMPARE(header->sortIndicatorSection(), 0);
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        // Another header sorts by its column in the direction in force.
        main->FileListColumnClick(1);
        QCOMPARE(main->SortColumn(), 1);
        QVERIFY(!main->SortDeclining());
        QCOMPARE(Column(*main), QStringLiteral("a.txt|C.txt|b.txt"));
    }

    // A long list sorts in steps: the click returns before the rows move, and a change of
    // the list in between (a name typed, a row removed, a file added) sorts the list as it
    // then is.
    void longListsSortInSteps() {
        struct Steps {
            int before = std::exchange(TListColumns::SortInStepsFrom, 3);
            ~Steps() { TListColumns::SortInStepsFrom = before; }
        } steps;
        for (const char* name : {"a", "b", "c", "d", "e"})
            File(QString::fromLatin1(name));
        auto main = Open();
        main->AddFolder(root_.toStdString(), false);
        const auto sorted = [&] {
            QTRY_VERIFY(!main->SortingInSteps());
        };
        main->FileListColumnClick(0);
        QCOMPARE(Column(*main), QStringLiteral("a|b|c|d|e"));
        QVERIFY(main->SortingInSteps());
        sorted();
        QCOMPARE(Column(*main), QStringLiteral("e|d|c|b|a"));

        // A name typed by hand meanwhile: the order made before it is not put in place.
        main->FileListColumnClick(0);
        main->FileItems()->Items().Items(0)->SetHandName("x");
        sorted();
        QCOMPARE(Column(*main), QStringLiteral("a|b|c|d|e"));

        main->FileListColumnClick(0);
        SelectRows(*main, {4}); // "e", still last while the order is made
        Action(*main, "A_RemoveFiles")->trigger();
        sorted();
        QCOMPARE(Column(*main), QStringLiteral("d|c|b|a"));

        main->FileListColumnClick(0);
        File(QStringLiteral("bb"));
        main->AddFile((root_ + "bb").toStdString());
        sorted();
        QCOMPARE(Column(*main), QStringLiteral("a|b|bb|c|d"));
    }

    // Ctrl+Down and a drag put the list in the user's order, with the running number and
    // the selection following the rows; a header click sorts again as it sorted before.
    void rowsMoveInTheUsersOwnOrder() {
        // Unlisted files that take "b3" and "d4": the marks follow the numbers.
        for (const char* name : {"a", "b", "c", "d", "e", "f", "b3", "d4"}) {
            File(QString::fromLatin1("own/") + name);
        }
        auto main = Open();
        for (const char* name : {"a", "b", "c", "d", "e", "f"}) {
            main->AddFile((root_ + "own/" + name).toStdString());
        }
        main->ApplyColumnSet("Name,NewName");
        main->Options().InsertGroup->setChecked(true);
        main->Options().IncValueInfo->setChecked(true);
        main->Options().IncValue->setValue(1);
        QTreeView* list = List(*main);
        QAbstractItemModelTester tester(list->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QHeaderView* header = list->header();
        QCOMPARE(header->sortIndicatorSection(), 0);
        const auto* model = qobject_cast<const TFileListModel*>(list->model());
        QTRY_VERIFY(model->MarkOf(3) != nullptr); // "d4"

        SelectRows(*main, {1, 3});
        list->selectionModel()->setCurrentIndex(list->model()->index(3, 0),
                                                QItemSelectionModel::NoUpdate);
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main.get()));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(Column(*main), QStringLiteral("a|c|b|e|d|f"));
        QCOMPARE(Column(*main, 1), QStringLiteral("a1|c2|b3|e4|d5|f6"));
        // They belonged to the rows as they were, until the next prediction.
        QVERIFY(model->MarkOf(3) == nullptr && model->MarkCount() == 0);
        QTRY_VERIFY(model->MarkOf(2) != nullptr);
        QCOMPARE(model->MarkOf(2)->Kind, MarkKind::Fails); // "b3", the rows below it shifted
        const auto selectedRows = [list] {
            QList<int> rows;
            for (const QModelIndex& index : list->selectionModel()->selectedRows()) {
                rows << index.row();
            }
            std::sort(rows.begin(), rows.end());
            return rows;
        };
        QCOMPARE(selectedRows(), (QList<int>{2, 4}));
        QCOMPARE(list->currentIndex().row(), 4);
        QCOMPARE(header->sortIndicatorSection(), -1);
        QCOMPARE(main->SortColumn(), 0); // what is stored keeps its meaning

        // A rename run has the list: nothing moves.
        main->FileItems()->Items().BeginUpdate();
        Action(*main, "A_MoveUp")->trigger();
        main->FileItems()->Items().EndUpdate();
        QCOMPARE(Column(*main), QStringLiteral("a|c|b|e|d|f"));

        // "a" dragged onto the lower half of "e" lands after it.
        SelectRows(*main, {0});
        const auto* drag = list->findChild<TRowDrag*>();
        QVERIFY(drag != nullptr);
        const std::unique_ptr<QMimeData> rows(drag->MimeData());
        const QRect target = list->visualRect(list->model()->index(3, 0));
        const QPoint below(target.center().x(), target.bottom() - 1);
        QDragEnterEvent enter(below, Qt::MoveAction, rows.get(), Qt::LeftButton, {});
        QApplication::sendEvent(list->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(below, Qt::MoveAction, rows.get(), Qt::LeftButton, {});
        QApplication::sendEvent(list->viewport(), &drop);
        QVERIFY(drop.isAccepted());
        QCOMPARE(Column(*main), QStringLiteral("c|b|e|a|d|f"));
        QCOMPARE(selectedRows(), (QList<int>{3}));
        // Rows of another list or another copy of the program are not taken for its own.
        QMimeData foreign;
        foreign.setData(rows->formats().front(), "1:2");
        QDragEnterEvent stranger(below, Qt::MoveAction, &foreign, Qt::LeftButton, {});
        QApplication::sendEvent(list->viewport(), &stranger);
        QVERIFY(!stranger.isAccepted());

        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(0) + 5, 5));
        QCOMPARE(Column(*main), QStringLiteral("a|b|c|d|e|f"));
        QVERIFY(main->SortDeclining());
        QCOMPARE(header->sortIndicatorSection(), 0);
    }

    void columnsSurviveARestart() {
        {
            auto main = Open();
            main->Settings()->Columns = "Size,Name,";
            main->ApplyColumnSet(main->Settings()->Columns);
            List(*main)->header()->resizeSection(0, 77);
            List(*main)->header()->resizeSection(1, 155);
            main->FileListColumnClick(1);
            main->FileListColumnClick(1);
            main->close();
            // The list and its order are gone with the window: late calls do nothing.
            main->ApplyColumnSet("Name");
            main->AddFile("late.txt");
            main->FileListColumnClick(0);
        }
        auto main = Open();
        QCOMPARE(main->Settings()->ColumnsWidth, std::string("77,155,"));
        QCOMPARE(main->SortColumn(), 1);
        QVERIFY(!main->SortDeclining());
        QCOMPARE(List(*main)->header()->sectionSize(0), 77);
        QCOMPARE(List(*main)->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Size"));
    }

    void columnDialogRules() {
        TSettings settings;
        const std::vector<std::string> captions = {"Name", "Folder", "New name",   "Previous name",
                                                   "Type", "Size",   "Attributes", "Modified"};
        TCustomizeCols dialog(
            TColumnChecklist(captions, {{"Size", 50}, {"name", 90}, {"Size", 60}}), settings);
        auto* list = dialog.findChild<QListWidget*>(QStringLiteral("ColList"));
        auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("OkBtn"));
        auto* up = dialog.findChild<QPushButton*>(QStringLiteral("MoveUpBtn"));
        auto* down = dialog.findChild<QPushButton*>(QStringLiteral("MoveDownBtn"));
        const auto rows = [&] {
            QStringList texts;
            for (int i = 0; i < list->count(); ++i) {
                texts << (list->item(i)->checkState() == Qt::Checked ? "+" : "") +
                             list->item(i)->text();
            }
            return texts.join(QLatin1Char('|'));
        };
        QCOMPARE(rows(), QStringLiteral("+Size|+Name|Folder|New name|Previous name|Type|"
                                        "Attributes|Modified"));
        // Checking a row lifts it right under the last checked row.
        list->item(6)->setCheckState(Qt::Checked);
        // (The one pass that lets it rise also swaps unchecked neighbours out of caption
        // order.)
        QCOMPARE(rows(), QStringLiteral("+Size|+Name|+Attributes|Folder|New name|Previous name|"
                                        "Modified|Type"));
        list->setCurrentRow(2);
        QVERIFY(up->isEnabled());
        QVERIFY(!down->isEnabled());
        up->click();
        QCOMPARE(list->currentRow(), 1);
        QVERIFY(down->isEnabled());
        list->setCurrentRow(3);
        QVERIFY(!up->isEnabled());
        // Unchecking sinks a row back into the fixed order; with none checked, no OK.
        list->item(0)->setCheckState(Qt::Unchecked);
        QCOMPARE(rows(), QStringLiteral("+Attributes|+Name|Folder|New name|Previous name|"
                                        "Modified|Size|Type"));
        list->item(0)->setCheckState(Qt::Unchecked);
        list->item(0)->setCheckState(Qt::Unchecked);
        QVERIFY(!ok->isEnabled());
        QCOMPARE(rows(), QStringLiteral("Attributes|Folder|Name|Modified|New name|Previous name|"
                                        "Size|Type"));
        list->item(3)->setCheckState(Qt::Checked);
        QVERIFY(ok->isEnabled());
        ok->click();
        QCOMPARE(settings.Columns, std::string("MODDATE,"));
        QCOMPARE(settings.ColumnsWidth, std::string("200,"));
    }

    void columnDialogStoresADoubledColumnOnce() {
        auto main = Open();
        main->Settings()->Columns = "Name,NAME,Size";
        main->ApplyColumnSet(main->Settings()->Columns);
        QCOMPARE(List(*main)->model()->columnCount(), 3);
        QTimer::singleShot(0, [] {
            QWidget* dialog = QApplication::activeModalWidget();
            QVERIFY(dialog != nullptr);
            dialog->findChild<QPushButton*>(QStringLiteral("OkBtn"))->click();
        });
        Action(*main, "A_CustomizeColumns")->trigger();
        QCOMPARE(main->Settings()->Columns, std::string("NAME,SIZE,"));
        QCOMPARE(List(*main)->model()->columnCount(), 2);
    }

    void progressShowsLateAndCancelStops() {
        QWidget window;
        TAddProgress quick(&window);
        QVERIFY(quick.Update(10, 0));
        QVERIFY(!quick.Shown()); // work that ends within half a second shows nothing

        TAddProgress slow(&window, 0);
        QVERIFY(slow.Update(300, 0));
        QVERIFY(slow.Shown());
        auto* dialog = window.findChild<QProgressDialog*>(QStringLiteral("AddProgress"));
        QVERIFY(dialog != nullptr);
        QVERIFY(dialog->labelText().contains(QStringLiteral("300")));
        dialog->cancel();
        QVERIFY(!slow.Update(600, 1000));
        QVERIFY(slow.Cancelled());
        QVERIFY(!slow.Update(900, 1000));
    }

    void folderTreeShowsFoldersOnlyUnderEachTop() {
        QDir().mkpath(root_ + "tree/b/x");
        QDir().mkpath(root_ + "tree/bx/y");
        QDir().mkpath(root_ + "tree/a");
        QDir().mkpath(root_ + "tree/.hidden");
        File("tree/file.txt");
        TFolderTreeModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.AddRoot(root_ + "tree/b", QStringLiteral("B"), QIcon());
        model.AddRoot(root_ + "tree", QStringLiteral("Tree"), QIcon());
        QCOMPARE(model.rowCount(), 2);
        const QModelIndex top = model.index(1, 0);
        QCOMPARE(top.data().toString(), QStringLiteral("Tree"));
        if (model.canFetchMore(top)) {
            model.fetchMore(top);
        }
        const auto children = [&](const QModelIndex& parent) {
            QStringList names;
            for (int row = 0; row < model.rowCount(parent); ++row) {
                names << model.index(row, 0, parent).data().toString();
            }
            return names.join(QLatin1Char('|'));
        };
        QTRY_COMPARE(children(top), QStringLiteral("a|b|bx"));
        // A folder under two tops is found under the first that holds it as a whole
        // folder name, with the rows along its path made.
        const QModelIndex x = model.IndexOfPath(root_ + "tree/b/x/");
        QCOMPARE(model.FilePath(x), root_ + "tree/b/x");
        QCOMPARE(x.parent(), model.index(0, 0));
        const QModelIndex y = model.IndexOfPath(root_ + "tree/bx/y");
        QCOMPARE(model.FilePath(y), root_ + "tree/bx/y");
        QCOMPARE(y.parent().parent(), top);
        QVERIFY(!model.IndexOfPath(QStringLiteral("/nonexistent-qm-elsewhere")).isValid());
        // A folder that is a top-level row itself is that row, wherever else it is.
        model.AddRoot(root_ + "tree/a", QStringLiteral("A"), QIcon());
        QCOMPARE(model.IndexOfPath(root_ + "tree/a"), model.index(2, 0));
    }

    void folderDialogInitialSelection_data() {
        QTest::addColumn<bool>("disabled");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("selected");
        QTest::addRow("last folder") << false << "pick/Data/"
                                     << "pick/Data";
        QTest::addRow("no trailing slash") << false << "pick/Data"
                                           << "pick/Data";
        QTest::addRow("selection turned off") << true << "pick/Data/"
                                              << "";
        QTest::addRow("folder gone") << false << "pick/Gone/"
                                     << "";
    }

    void folderDialogInitialSelection() {
        QFETCH(bool, disabled);
        QFETCH(QString, folder);
        QFETCH(QString, selected);
        QDir().mkpath(root_ + "pick/Data");
        QDir().mkpath(root_ + "pick/Database/inner");
        TSettings settings;
        settings.DisableInitialFolderSelection = disabled;
        settings.IncludeDirectorySubFolders = true;
        TDirectorySelector dialog(settings);
        dialog.SetPath((root_ + folder).toStdString());
        const std::string expected = selected.isEmpty() ? "" : (root_ + selected).toStdString();
        QCOMPARE(dialog.GetPath(), expected);
        auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("OkBtn"));
        QCOMPARE(ok->isEnabled(), !selected.isEmpty());
        auto* sub = dialog.findChild<QCheckBox*>(QStringLiteral("SelectSubFolders"));
        QVERIFY(sub->isChecked());
        sub->setChecked(false);
        if (ok->isEnabled()) {
            ok->click();
            QVERIFY(!settings.IncludeDirectorySubFolders);
            // OK follows the selection, and only an existing folder enables it.
            auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("Folders"));
            const QModelIndex data = tree->currentIndex();
            QVERIFY(QDir(root_ + "pick/Data").removeRecursively());
            tree->setCurrentIndex(data.parent());
            QVERIFY(ok->isEnabled());
            tree->setCurrentIndex(data);
            QVERIFY(!ok->isEnabled());
        } else {
            dialog.reject();
            QVERIFY(settings.IncludeDirectorySubFolders);
        }
    }
};

} // namespace qm::test

QTEST_MAIN(qm::test::FileListViewTest)
#include "filelistview_test.moc"
