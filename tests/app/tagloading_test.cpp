// Tags read behind the window: names that arrive after a placeholder, the read stopped
// and waited for before the list changes, the marks of tags without a value, and the run
// reading again a file changed since its tags were read.

#include "app/filelistmodel.h"
#include "app/predictionmarks.h"
#include "app/renamethread.h"
#include "app/tagloader.h"
#include "engine/newname.h"
#include "filelist/fileitem.h"
#include "filelist/fileitems.h"
#include "filelist/filelist.h"
#include "filetags/filetagreader.h"
#include "filetags/tagpool.h"
#include "tests/support/mediafiles.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <thread>

namespace qm::test {

namespace {

RenameOptionSet TagsInFront(const std::string& text) {
    RenameOptionSet o;
    o.InsertGroup = o.InsertFront = o.InsertTags = true;
    o.InsertFrontText = text;
    return o;
}

void WriteBytes(const std::string& path, std::size_t count) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(count, 'x');
}

std::shared_ptr<const TEntryTags> Tags(TagValues values) {
    auto tags = std::make_shared<TEntryTags>();
    tags->Sources = 7;
    tags->Values = std::move(values);
    return tags;
}

const MarkTextSource English = [](const std::string&) {
    return std::string();
};

} // namespace

class TagLoadingTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    std::string root_;

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        root_ = dir_->path().toStdString() + "/";
        qputenv("XDG_CONFIG_HOME", (dir_->path() + "/home").toUtf8());
        qputenv("XDG_CONFIG_DIRS", (dir_->path() + "/etc").toUtf8());
        qputenv("XDG_STATE_HOME", (dir_->path() + "/state").toUtf8());
    }

    // The column shows a placeholder until the row's tags are in, then the name made with
    // them; the rows from the first one on screen are read first, and each file once.
    void namesArriveAfterThePlaceholder() {
        WriteJpeg(root_ + "a.jpg", {"2024:05:06 07:08:09", "", "", 8, 8});
        WriteJpeg(root_ + "b.jpg", {"2023:01:02 03:04:05", "", "", 8, 8});
        WriteJpeg(root_ + "c.jpg", {});
        TFileList list;
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
            list.Items().Add(name, root_);
        TFileListModel model(list, {}, {});
        model.SetColumns({{ColumnId::Name, "Name"}, {ColumnId::NewName, "NewName"}});
        const RenameOptionSet options = TagsInFront("<taken:yyyy-MM-dd>_");
        model.SetOptions(options, 0);

        TTagLoader loader(list.Items());
        std::promise<void> go;
        const std::shared_future<void> gate = go.get_future().share();
        std::vector<TFileItem*> asked;
        std::atomic<int> reads{0};
        loader.SetRead([&](const TTagReadRequest& request, const std::atomic<bool>& cancel,
                           const std::function<void(std::size_t)>& done) {
            asked = request.Entries;
            ++reads;
            gate.wait();
            return ReadTags(request, cancel, done);
        });
        QSignalSpy finished(&loader, &TTagLoader::finished);
        loader.Need(TagSourcesNeeded(options), 2);
        QVERIFY(loader.Reading());
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(model.index(row, 1).data().toString(), PendingNameText());
            QVERIFY(model.index(row, 1).data(Qt::ForegroundRole).isValid());
        }
        go.set_value();
        QVERIFY(finished.wait(10000));
        QVERIFY(!loader.Reading());
        QCOMPARE(asked.size(), std::size_t{3});
        QCOMPARE(asked.front(), list.Items().Items(2));
        QCOMPARE(asked.back(), list.Items().Items(1));
        const QStringList expected{"2024-05-06_a.jpg", "2023-01-02_b.jpg", "_c.jpg"};
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(model.index(row, 0).data().toString() + model.index(row, 1).data().toString(),
                     QString::fromStdString(list.Items().Items(row)->Name()) + expected[row]);
            QVERIFY(!model.index(row, 1).data(Qt::ForegroundRole).isValid());
        }
        loader.Need(TagSourcesNeeded(options), 0);
        QVERIFY(!loader.Reading());
        QCOMPARE(reads.load(), 1);
    }

    // Hold returns only once the read has let go of the entries; nothing starts while
    // held; a file removed and added again is read again. (Run it under the address
    // sanitizer: a read that outlived Hold would touch the entries Clear destroyed.)
    void listChangeWaitsForTheRead() {
        TFileList list;
        TFileItems& items = list.Items();
        for (int i = 0; i < 300; ++i) {
            WriteBytes(root_ + "f" + std::to_string(i), static_cast<std::size_t>(i));
            items.Add("f" + std::to_string(i), root_);
        }
        const unsigned sources = TagSourcesNeeded(TagsInFront("<size>"));
        TTagLoader loader(items);
        QSignalSpy finished(&loader, &TTagLoader::finished);

        std::promise<void> started;
        std::atomic<bool> returned{false};
        loader.SetRead([&](const TTagReadRequest&, const std::atomic<bool>& cancel,
                           const std::function<void(std::size_t)>&) {
            started.set_value();
            while (!cancel)
                std::this_thread::yield();
            returned = true;
            return std::size_t{0};
        });
        loader.Need(sources);
        started.get_future().wait();
        loader.Hold();
        QVERIFY(returned);
        QVERIFY(!loader.Reading());

        // The real reader from here on, cut short by a change of the list.
        loader.SetRead(ReadTags);
        loader.Release();
        QVERIFY(loader.Reading());
        loader.Hold();
        items.Clear();
        items.Add("f7", root_);
        loader.Need(sources);
        QVERIFY(!loader.Reading());
        loader.Release();
        QVERIFY(loader.Reading());
        QVERIFY(finished.wait(10000));
        const std::shared_ptr<const TEntryTags> tags = items.Items(0)->Tags();
        QVERIFY(tags != nullptr);
        QCOMPARE(tags->Values.Size, std::optional<std::uint64_t>(7));
        QCOMPARE(finished.count(), 1);
    }

    void tagMarks_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("tagsOn");
        QTest::addColumn<bool>("fails");
        QTest::addColumn<QString>("tip"); // empty: no mark

        QTest::addRow("no date taken") << "<taken:yyyy> " << true << false << "No date taken";
        QTest::addRow("fallback has a value") << "<taken|modified> " << true << false << "";
        QTest::addRow("value there") << "<year> " << true << false << "";
        QTest::addRow("another tag")
            << "<title> " << true << false << "No value for the tag \u201ctitle\u201d";
        QTest::addRow("not understood goes first") << "<taken><nonsense> " << true << false
                                                   << "A tag is not understood and stays as typed";
        QTest::addRow("a failure keeps its mark")
            << "<taken> " << true << true
            << "Would not be renamed: A file of this name already exists";
        QTest::addRow("tags off") << "<taken> " << false << false << "";
    }

    void tagMarks() {
        QFETCH(QString, text);
        QFETCH(bool, tagsOn);
        QFETCH(bool, fails);
        RenameOptionSet options = TagsInFront(text.toStdString());
        options.InsertTags = tagsOn;
        TagValues values;
        values.Modified = TagDate{2020, 1, 2, 3, 4, 5};
        values.Year = 1999;
        // A row before it without any mark, so that the marks merge by slot.
        std::vector<TRunEntry> entries{{0, root_, "first.jpg", {}, false, nullptr},
                                       {1, root_, "photo.jpg", {}, false, Tags(values)}};
        values.Taken = values.Modified;
        values.Title = "t";
        entries[0].Tags = Tags(values);
        TPrediction prediction;
        prediction.Entries.resize(2);
        prediction.Entries[0].Outcome = prediction.Entries[1].Outcome = RenameOutcome::Renamed;
        if (fails) {
            prediction.Entries[1].Outcome = RenameOutcome::Failed;
            prediction.Entries[1].Error = EEXIST;
        }
        prediction.Entries[0].Candidate = "x";
        prediction.Entries[1].Candidate = "y";
        const std::vector<TRowMark> marks = MarkRows(entries, prediction, options);
        // One mark a row at most, in slot order: the model looks them up by halving.
        for (std::size_t m = 1; m < marks.size(); ++m)
            QVERIFY(marks[m - 1].Slot < marks[m].Slot);
        QVERIFY(marks.empty() || marks.back().Slot == 1);
        QTEST(marks.empty() ? QString() : MarkTip(marks.back(), English), "tip");
    }

    // Run marks and tag marks are counted apart; the status line names each.
    void tagMarkCounts() {
        const std::vector<TRowMark> marks{{0, MarkKind::Fails, EEXIST, {}, {}},
                                          {1, MarkKind::TagMissing, 0, "taken", {}},
                                          {2, MarkKind::TagMissing, 0, "taken", {}},
                                          {3, MarkKind::TagMissing, 0, "title", {}}};
        const TMarkCounts counts = CountMarks(marks);
        QCOMPARE(counts.Run, 1);
        QCOMPARE(TagMarkCountText(counts, " / ", English),
                 QString("2 files have no date taken / 1 file lacks the value of a tag"));
        QCOMPARE(
            TagMarkCountText(CountMarks({{0, MarkKind::TagUnknown, 0, {}, {}}}), " / ", English),
            QString("1 file has a tag that is not understood"));
        QCOMPARE(ReadingTagsText(4200, 10000, English), QString("Reading tags: 4.200 of 10.000"));
    }

    // The run reads the tags the window has not read, and again those of a file written
    // since they were read.
    void runReadsAChangedFileAgain() {
        WriteBytes(root_ + "s.txt", 3);
        WriteBytes(root_ + "t.txt", 2);
        TFileList list;
        TFileItems& items = list.Items();
        items.Add("s.txt", root_).SetTags(ReadFileTags(root_ + "s.txt", 1));
        items.Add("t.txt", root_);
        WriteBytes(root_ + "s.txt", 5);
        std::atomic<std::int32_t> ticks{0};
        std::filesystem::create_directories(dir_->path().toStdString() + "/journal");
        items.BeginUpdate();
        {
            TRenameThread run(items, TagsInFront("<size>_"), false, ticks);
            run.SetJournal({dir_->path().toStdString() + "/journal", "test"});
            run.start();
            run.wait();
            QCOMPARE(run.Tally().Renamed, 2);
        }
        items.EndUpdate();
        namespace fs = std::filesystem;
        QVERIFY(fs::exists(root_ + "5_s.txt"));
        QVERIFY(fs::exists(root_ + "2_t.txt"));
    }
};

} // namespace qm::test

QTEST_MAIN(qm::test::TagLoadingTest)
#include "tagloading_test.moc"
