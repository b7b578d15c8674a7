// Tags read behind the window: names that arrive after a placeholder, the read stopped
// and waited for before the list changes, the marks of tags without a value, and the run
// reading again a file changed since its tags were read.

#include "app/list/filelistmodel.h"
#include "app/list/predictionmarks.h"
#include "app/list/tagloader.h"
#include "app/run/renamethread.h"
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
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>

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
        WriteJpeg(root_ + "b.jpg", {});
        TFileList list;
        list.Items().Add("a.jpg", root_);
        list.Items().Add("b.jpg", root_);
        TFileListModel model(list, {}, {});
        model.SetColumns({{ColumnId::NewName, "NewName"}});
        const RenameOptionSet options = TagsInFront("<taken:yyyy-MM-dd>_");
        model.SetOptions(options, 0);
        TTagLoader loader(list.Items());
        std::promise<void> go;
        const std::shared_future<void> gate = go.get_future().share();
        std::vector<TFileItem*> asked;
        loader.SetRead([&](const TTagReadRequest& request, const std::atomic<bool>& cancel,
                           const std::function<void(std::size_t)>& done) {
            asked.insert(asked.end(), request.Entries.begin(), request.Entries.end());
            gate.wait();
            return ReadTags(request, cancel, done);
        });
        QSignalSpy finished(&loader, &TTagLoader::finished);
        loader.Need(TagSourcesNeeded(options), 1);
        QCOMPARE(model.index(0, 0).data().toString(), PendingNameText());
        QVERIFY(model.index(0, 0).data(Qt::ForegroundRole).isValid());
        go.set_value();
        QVERIFY(finished.wait(10000));
        QCOMPARE(asked, (std::vector<TFileItem*>{list.Items().Items(1), list.Items().Items(0)}));
        QCOMPARE(model.index(0, 0).data().toString(), QString("2024-05-06_a.jpg"));
        QCOMPARE(model.index(1, 0).data().toString(), QString("_b.jpg"));
        QVERIFY(!model.index(0, 0).data(Qt::ForegroundRole).isValid());
        loader.Need(TagSourcesNeeded(options), 0);
        QVERIFY(!loader.Reading());
        QCOMPARE(asked.size(), std::size_t{2});
    }

    // Nothing starts while held; a file removed and added again is read again. (Under
    // the address sanitizer: a read that outlived Hold would touch what Clear destroyed.)
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
        loader.Need(sources);
        QVERIFY(loader.Reading());
        loader.Hold();
        items.Clear();
        items.Add("f7", root_);
        loader.Need(sources);
        QVERIFY(!loader.Reading());
        loader.Release();
        QVERIFY(finished.wait(10000));
        const std::shared_ptr<const TEntryTags> tags = items.Items(0)->Tags();
        QVERIFY(tags != nullptr);
        QCOMPARE(tags->Values.Size, std::optional<std::uint64_t>(7));
        QCOMPARE(finished.count(), 1);
    }

    void tagMarks_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("fails");
        QTest::addColumn<QString>("tip"); // empty: no mark
        QTest::addRow("no date taken") << "<taken:yyyy> " << false << "No date taken";
        QTest::addRow("fallback has a value") << "<taken|modified> " << false << "";
        QTest::addRow("another tag")
            << "<title> " << false << "No value for the tag \u201ctitle\u201d";
        QTest::addRow("not understood goes first")
            << "<taken><nonsense> " << false << "A tag is not understood and stays as typed";
        QTest::addRow("a failure keeps its mark")
            << "<taken> " << true << "Would not be renamed: A file of this name already exists";
    }

    // Row 1 lacks the date and the title; row 0 before it has every tag, so that the
    // marks merge by slot.
    void tagMarks() {
        QFETCH(QString, text);
        QFETCH(bool, fails);
        auto full = std::make_shared<TEntryTags>();
        full->Values.Taken = full->Values.Modified = TagDate{2020, 1, 2, 3, 4, 5};
        full->Values.Title = "t";
        auto some = std::make_shared<TEntryTags>();
        some->Values.Modified = full->Values.Modified;
        const std::vector<TRunEntry> entries{{0, false, root_, "first.jpg", {}, full, {}},
                                             {1, false, root_, "photo.jpg", {}, some, {}}};
        TPrediction prediction;
        prediction.Entries.resize(2);
        prediction.Entries[0] = {RenameOutcome::Renamed, "x", 0, 0};
        prediction.Entries[1] = {fails ? RenameOutcome::Failed : RenameOutcome::Renamed, "y",
                                 fails ? EEXIST : 0, 0};
        const std::vector<TRowMark> marks =
            MarkRows(entries, prediction, TagsInFront(text.toStdString()));
        // One mark a row at most, in slot order: the model looks them up by halving.
        for (std::size_t m = 1; m < marks.size(); ++m)
            QVERIFY(marks[m - 1].Slot < marks[m].Slot);
        QVERIFY(marks.empty() || marks.back().Slot == 1);
        QTEST(marks.empty() ? QString() : MarkTip(marks.back(), English), "tip");
        const TMarkCounts counts = CountMarks(marks);
        QCOMPARE(counts.Run, fails ? 1 : 0);
        QCOMPARE(counts.MissingOther, text == "<title> " ? 1 : 0);
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

    // Sources widened between two reads: the read under way stops (it sees the cancel)
    // and one of both sources takes its place; a narrower need lets it go on. Each entry
    // ends with every source asked for.
    void sourcesWidenedBetweenTwoReads() {
        TFileList list;
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
            WriteJpeg(root_ + name, {"", "Cam", "", 8, 8});
            list.Items().Add(name, root_);
        }
        constexpr auto File = static_cast<unsigned>(TagSource::File);
        constexpr auto Photo = static_cast<unsigned>(TagSource::Photo);
        TTagLoader loader(list.Items());
        std::promise<void> go;
        const std::shared_future<void> gate = go.get_future().share();
        std::mutex lock;
        std::vector<unsigned> asked;
        std::atomic<int> cancelled{0};
        loader.SetRead([&](const TTagReadRequest& request, const std::atomic<bool>& cancel,
                           const std::function<void(std::size_t)>& done) {
            {
                std::lock_guard hold(lock);
                asked.push_back(request.Sources);
            }
            // Held until the test lets it go or it is cancelled; a cancel that never
            // comes fails the test below instead of hanging it.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (gate.wait_for(std::chrono::milliseconds(2)) != std::future_status::ready &&
                   std::chrono::steady_clock::now() < deadline)
                if (cancel) {
                    ++cancelled;
                    return std::size_t{0};
                }
            return ReadTags(request, cancel, done);
        });
        QSignalSpy finished(&loader, &TTagLoader::finished);
        loader.Need(File);
        loader.Need(File | Photo);
        QCOMPARE(cancelled.load(), 1);
        QVERIFY(loader.Reading());
        QCOMPARE(loader.Total(), std::size_t{3});
        loader.Need(Photo);
        loader.Need(File);
        go.set_value();
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(cancelled.load(), 1);
        {
            std::lock_guard hold(lock);
            QCOMPARE(asked, (std::vector<unsigned>{File, File | Photo}));
        }
        for (int i = 0; i < 3; ++i) {
            const auto tags = list.Items().Items(i)->Tags();
            QVERIFY(tags != nullptr);
            QCOMPARE(tags->Sources, File | Photo);
            QCOMPARE(tags->Values.Make, std::optional<std::string>("Cam"));
        }
        loader.Need(File | Photo);
        QVERIFY(!loader.Reading()); // nothing left to read
    }

    // Holds nest; what was needed last while held is read once the last hold ends, and a
    // Release without its Hold holds nothing back.
    void needsWhileHeldAreTakenUpOnRelease() {
        WriteBytes(root_ + "f", 4);
        TFileList list;
        list.Items().Add("f", root_);
        constexpr auto File = static_cast<unsigned>(TagSource::File);
        constexpr auto Music = static_cast<unsigned>(TagSource::Music);
        TTagLoader loader(list.Items());
        QSignalSpy finished(&loader, &TTagLoader::finished);
        loader.Release();
        loader.Hold();
        loader.Hold();
        loader.Need(Music);
        loader.Need(File, 0);
        QVERIFY(!loader.Reading());
        loader.Release();
        QVERIFY(!loader.Reading());
        loader.Release();
        QVERIFY(loader.Reading());
        QVERIFY(finished.wait(10000));
        const auto tags = list.Items().Items(0)->Tags();
        QVERIFY(tags != nullptr);
        QCOMPARE(tags->Sources, File);
        QCOMPARE(tags->Values.Size, std::optional<std::uint64_t>(4));
    }
};

} // namespace qm::test

QTEST_MAIN(qm::test::TagLoadingTest)
#include "tagloading_test.moc"
