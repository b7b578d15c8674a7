// Entry properties read from disk, the documents folder and the icon-name list.

#include "filelist/datetimevalue.h"
#include "filelist/file.h"
#include "filelist/filesystem.h"
#include "filelist/folder.h"
#include "filelist/iconnames.h"

#include <QLocale>
#include <QTemporaryDir>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {
namespace {

class Entries : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        root_ = dir_.path().toStdString() + "/";
    }

    std::string MakeFile(const std::string& name, const std::string& content, mode_t mode = 0644) {
        const std::string path = root_ + name;
        std::ofstream(path, std::ios::binary) << content;
        ::chmod(path.c_str(), mode);
        return path;
    }

    QTemporaryDir dir_;
    std::string root_;
    TIconNames icons_;
    TFileSystem fs_{icons_};
};

TEST_F(Entries, PropertiesByKindOfEntry) {
    MakeFile("photo.png", "abc");
    MakeFile("notes.TXT", std::string(5000, 'x'));
    MakeFile(".profile", "");
    MakeFile("locked.txt", "ro", 0444);
    ::mkdir((root_ + "sub").c_str(), 0755);
    ::mkdir((root_ + ".cache").c_str(), 0755);
    ::mkfifo((root_ + "pipe").c_str(), 0644);
    ASSERT_EQ(::symlink("photo.png", (root_ + "link.png").c_str()), 0);
    ASSERT_EQ(::symlink("gone.png", (root_ + "dangling").c_str()), 0);

    using A = FileAttribute;
    struct Row {
        std::string name;
        std::string typeName;
        IconName icon;
        std::uint64_t size; // only a regular file has a size of its own
        FileAttributes attributes;
    } rows[] = {
        {"photo.png", "PNG image", {"image-png", "image-x-generic"}, 3, A::Archive},
        {"notes.TXT", "plain text document", {"text-plain", "text-x-generic"}, 5000, A::Archive},
        {".profile",
         "unknown",
         {"application-octet-stream", "application-x-generic"},
         0,
         A::Hidden | A::Archive},
        {"locked.txt",
         "plain text document",
         {"text-plain", "text-x-generic"},
         2,
         A::ReadOnly | A::Archive},
        {"sub", "folder", {"inode-directory", "folder"}, 0, A::Directory},
        {".cache", "folder", {"inode-directory", "folder"}, 0, A::Hidden | A::Directory},
        {"pipe", "pipe", {"inode-fifo", "inode-x-generic"}, 0, A::System},
        {"link.png", "PNG image", {"image-png", "image-x-generic"}, 3, A::Archive},
        {"dangling", "symbolic link", {"inode-symlink", "inode-x-generic"}, 0, A::System},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto file = fs_.GetFile(root_ + row.name);
        ASSERT_TRUE(file->Valid());
        EXPECT_EQ(file->GetTypeName(), row.typeName);
        EXPECT_EQ(icons_.At(file->GetIconIndex(false, false)), row.icon);
        EXPECT_EQ(file->GetIconIndex(true, false), file->GetIconIndex(false, false));
        EXPECT_EQ(file->GetSize(), row.size);
        EXPECT_EQ(file->GetAttributes(), row.attributes);
        EXPECT_NE(file->GetModified(), 0.0);
    }
    // Types share one icon entry; a folder asked open gets the open folder.
    EXPECT_EQ(fs_.GetFile(root_ + "photo.png")->GetIconIndex(false, false),
              fs_.GetFile(root_ + "link.png")->GetIconIndex(false, false));
    EXPECT_EQ(icons_.At(fs_.GetFile(root_ + "sub")->GetIconIndex(false, true)),
              (IconName{"folder-open", "folder"}));
}

TEST_F(Entries, UnresolvedPathsGiveZeroAnswers) {
    MakeFile("plain", "x");
    for (const std::string& path : {root_ + "absent.png", root_ + "plain/below", std::string(),
                                    root_ + std::string("nul\0x", 5)}) {
        SCOPED_TRACE(path);
        const auto file = fs_.GetFile(path);
        EXPECT_FALSE(file->Valid());
        EXPECT_EQ(file->GetTypeName(), "");
        EXPECT_EQ(file->GetIconIndex(false, false), 0);
        EXPECT_EQ(file->GetSize(), 0u);
        EXPECT_EQ(file->GetAttributes(), FileAttributes());
        EXPECT_EQ(file->GetModified(), 0.0);
    }
}

TEST_F(Entries, LastWriteTimeIsLocalTime) {
    const std::string path = MakeFile("dated.txt", "x");
    struct Row {
        std::time_t seconds;
        long nanoseconds;
    } rows[] = {{1700000000, 500000000}, {946684800, 0}, {1, 0}};
    for (const Row& row : rows) {
        const timespec times[2] = {{row.seconds, row.nanoseconds}, {row.seconds, row.nanoseconds}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        std::tm local{};
        ASSERT_NE(localtime_r(&row.seconds, &local), nullptr);
        const double expected = *EncodeDateTime(
            {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
             local.tm_sec, static_cast<int>(row.nanoseconds / 1000000)});
        EXPECT_DOUBLE_EQ(fs_.GetFile(path)->GetModified(), expected) << row.seconds;
    }
    // The zero time stamp stands for "no time", like an empty time on other systems.
    const timespec zero[2] = {{0, 0}, {0, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), zero, 0), 0);
    EXPECT_EQ(fs_.GetFile(path)->GetModified(), 0.0);
}

// Points HOME and XDG_CONFIG_HOME at a temporary folder for one test.
class PersonalFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        home_ = dir_.path().toStdString() + "/home";
        ::mkdir(home_.c_str(), 0700);
        ::mkdir((home_ + "/.config").c_str(), 0700);
        Save("HOME", home_);
        Save("XDG_CONFIG_HOME", home_ + "/.config");
    }
    void TearDown() override {
        for (auto& [name, value] : saved_) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }
    void Save(const std::string& name, const std::string& value) {
        const char* old = std::getenv(name.c_str());
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name.c_str(), value.c_str(), 1);
    }

    QTemporaryDir dir_;
    std::string home_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(PersonalFolder, DocumentsFolderEndsInSlashWhenItExists) {
    TFileSystem fs;
    auto missing = fs.GetPersonalFolder();
    EXPECT_FALSE(missing->Valid());
    EXPECT_EQ(missing->GetFolderPath(), "");

    ::mkdir((home_ + "/Documents").c_str(), 0700);
    auto folder = fs.GetPersonalFolder();
    EXPECT_TRUE(folder->Valid());
    EXPECT_EQ(folder->GetFolderPath(), home_ + "/Documents/");
}

TEST_F(PersonalFolder, FollowsTheUsersFolderSettings) {
    ::mkdir((home_ + "/Papiere").c_str(), 0700);
    std::ofstream(home_ + "/.config/user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"$HOME/Papiere\"\n";
    EXPECT_EQ(TFileSystem().GetPersonalFolder()->GetFolderPath(), home_ + "/Papiere/");
}

TEST(IconNames, IndexesAreStableAndZeroIsTheGenericFile) {
    TIconNames icons;
    EXPECT_EQ(icons.At(0), (IconName{"application-octet-stream", "application-x-generic"}));
    const int png = icons.IndexOf({"image-png", "image-x-generic"});
    const int text = icons.IndexOf({"text-plain", "text-x-generic"});
    EXPECT_NE(png, text);
    EXPECT_NE(png, 0);
    EXPECT_EQ(icons.IndexOf({"image-png", "image-x-generic"}), png);
    EXPECT_NE(icons.IndexOf({"image-png", "other-fallback"}), png);
    EXPECT_EQ(icons.Count(), 4);
    EXPECT_EQ(icons.At(-1), IconName());
    EXPECT_EQ(icons.At(icons.Count()), IconName());
}

} // namespace
} // namespace qm
