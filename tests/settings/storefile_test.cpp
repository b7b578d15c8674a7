// The store file under damage, crashes and competition: damaged files are moved aside,
// an unusable folder gives defaults, a save killed at any moment leaves the store as
// before or after, and concurrent saves never mix.

#include "settings/settings.h"
#include "storefixture.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sqlite3.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace qm {
namespace {

using test::StoreFixture;
namespace fs = std::filesystem;

// What a load gives back, for comparing whole stored states.
struct Snapshot {
    std::int32_t Width = 0;
    std::string Language;
    RenameOptionSet Options;
    std::vector<std::pair<std::string, std::string>> Schemes;

    bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const TSettings& settings) {
    Snapshot s{settings.Width, settings.Language, settings.Options, {}};
    for (int i = 0; i < settings.Schemas.Count(); ++i)
        s.Schemes.emplace_back(settings.Schemas.Items(i).Name, settings.Schemas.Items(i).Text);
    return s;
}

Snapshot Loaded() {
    TSettings settings;
    settings.Load();
    return Take(settings);
}

// A large state, distinct for every tag in every part, so that a mix of two states
// cannot pass for either.
void Fill(TSettings& settings, int tag) {
    const char letter = static_cast<char>('a' + tag % 26);
    settings.Width = 1000 + tag;
    settings.Language = "state " + std::to_string(tag);
    settings.Options = RenameOptionSet{};
    settings.Options.RemoveFrontCount = tag;
    settings.Options.InsertFrontText.assign(4000, letter);
    settings.Options.ReplaceCount = MaxReplacePairs;
    for (int i = 0; i < MaxReplacePairs; ++i)
        settings.Options.ReplacePairs[static_cast<std::size_t>(i)] = {
            "find " + std::to_string(i) + "/" + std::to_string(tag), std::string(150, letter)};
    settings.Schemas.Clear();
    const int count = 120 + 10 * tag;
    for (int k = 0; k < count; ++k)
        settings.Schemas.Add(
            {"scheme " + std::to_string(k), std::string(3000, letter) + std::to_string(tag)});
}

std::vector<fs::path> BrokenFiles(const fs::path& folder) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().starts_with("registry.db.broken-"))
            found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    return found;
}

std::string Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

void Sql(const std::string& file, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

class StoreFileTest : public StoreFixture {};

TEST_F(StoreFileTest, ADamagedStoreIsMovedAsideAndTheDefaultsLoad) {
    struct Case {
        const char* name;
        std::function<void(const std::string& file)> damage;
    };
    const std::vector<Case> cases = {
        {"not a database",
         [](const std::string& file) {
             WriteFile(file, "Language=English\nthis is not a database\n");
             WriteFile(file + "-journal", "a journal that belongs to the damaged file");
         }},
        {"a damaged page",
         [](const std::string& file) {
             TSettings settings;
             Fill(settings, 1);
             ASSERT_TRUE(settings.Save());
             std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(4096 * 3);
             const std::string junk(4096 * 4, '\xA5');
             f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
         }},
        {"a database of something else",
         [](const std::string& file) {
             fs::create_directories(fs::path(file).parent_path());
             Sql(file, "CREATE TABLE photos(id INTEGER PRIMARY KEY, name TEXT)");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path folder = fs::path(UserFile()).parent_path();
        fs::remove_all(folder);
        c.damage(UserFile());
        const std::string before = Contents(UserFile());

        testing::internal::CaptureStderr();
        const Snapshot snapshot = Loaded();
        const std::string said = testing::internal::GetCapturedStderr();

        TSettings defaults;
        EXPECT_EQ(snapshot, Take(defaults));
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_NE(said.find("moved it to"), std::string::npos) << said;
        const std::vector<fs::path> broken = BrokenFiles(folder);
        ASSERT_GE(broken.size(), 1u);
        EXPECT_EQ(Contents(broken[0]), before);
        if (std::string(c.name) == "not a database") {
            ASSERT_EQ(broken.size(), 2u);
            EXPECT_EQ(broken[1].string(), broken[0].string() + "-journal");
        }
        EXPECT_FALSE(fs::exists(UserFile() + "-journal"));

        // The program goes on with a fresh store.
        TSettings settings;
        settings.Language = "Nederlands";
        EXPECT_TRUE(settings.Save());
        EXPECT_EQ(Loaded().Language, "Nederlands");
        EXPECT_EQ(BrokenFiles(folder).size(), broken.size());
    }
}

TEST_F(StoreFileTest, AnEmptyFileIsAnEmptyStoreNotADamagedOne) {
    WriteFile(UserFile(), "");
    TSettings settings;
    settings.Width = 640;
    EXPECT_TRUE(settings.Save());
    EXPECT_EQ(Loaded().Width, 640);
    EXPECT_TRUE(BrokenFiles(fs::path(UserFile()).parent_path()).empty());
}

TEST_F(StoreFileTest, AJournalWithoutItsDatabaseIsKeptAsideNotPlayedBack) {
    WriteFile(UserFile() + "-journal", "left over from a store that was deleted");
    testing::internal::CaptureStderr();
    TSettings settings;
    settings.Width = 700;
    EXPECT_TRUE(settings.Save());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_EQ(Loaded().Width, 700);
    std::vector<fs::path> kept;
    for (const auto& entry : fs::directory_iterator(fs::path(UserFile()).parent_path()))
        if (entry.path().filename().string().starts_with("registry.db.orphan-"))
            kept.push_back(entry.path());
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_TRUE(kept[0].string().ends_with("-journal"));
    EXPECT_EQ(Contents(kept[0]), "left over from a store that was deleted");
}

TEST_F(StoreFileTest, AStoreFromANewerVersionIsNeitherReadNorWrittenNorMoved) {
    {
        TSettings settings;
        settings.Language = "Français";
        ASSERT_TRUE(settings.Save());
    }
    Sql(UserFile(), "PRAGMA user_version = 7");
    const std::string before = Contents(UserFile());
    testing::internal::CaptureStderr();
    TSettings settings;
    settings.Load();
    EXPECT_EQ(settings.Language, "English");
    settings.Language = "Dansk";
    EXPECT_FALSE(settings.Save());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("newer version"), std::string::npos) << said;
    EXPECT_EQ(Contents(UserFile()), before);
    EXPECT_TRUE(BrokenFiles(fs::path(UserFile()).parent_path()).empty());
}

TEST_F(StoreFileTest, AnUnusableFolderGivesDefaultsAndDropsEveryWrite) {
    // A regular file where a folder should be: no one, root included, can make the
    // store's folder under it.
    const fs::path blocker = Root() / "blocker";
    WriteFile(blocker, "in the way");
    ::setenv("XDG_CONFIG_HOME", (blocker / "config").c_str(), 1);
    ::setenv("XDG_CONFIG_DIRS", (blocker / "machine").c_str(), 1);

    TSettings settings;
    settings.Load();
    EXPECT_EQ(Take(settings), Take(TSettings{}));
    Fill(settings, 3);
    EXPECT_FALSE(settings.Save());
    settings.RegisterStart();
    settings.RegisterExit();
    settings.RegisterApplication();
    EXPECT_EQ(Contents(blocker), "in the way");
    EXPECT_EQ(Take(TSettings{}), Loaded());
}

TEST_F(StoreFileTest, AStoreUnreadableAtStartUpIsNotOverwrittenWithDefaultsAtShutdown) {
    {
        TSettings earlier;
        earlier.Width = 900;
        earlier.Schemas.Add({"Keep", "Version=1\rRemoveFront=true"});
        ASSERT_TRUE(earlier.Save());
        earlier.RegisterStart();
        earlier.RegisterExit();
    }
    // The store cannot be used while this run starts (here: a newer version's file
    // stands in for it; in life, say, a lock that outlasts the wait) but can when it
    // ends.
    const std::string away = UserFile() + ".away";
    fs::copy_file(UserFile(), away);
    Sql(UserFile(), "PRAGMA user_version = 7");
    testing::internal::CaptureStderr();
    TSettings settings;
    settings.Load();
    settings.RegisterStart();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(settings.Width, 400);
    EXPECT_EQ(settings.Schemas.Count(), 0);
    fs::rename(away, UserFile());

    settings.Language = "Dansk";
    EXPECT_FALSE(settings.Save());
    settings.RegisterExit();

    TSettings loaded;
    loaded.Load();
    loaded.RegisterStart();
    EXPECT_EQ(loaded.Width, 900);
    EXPECT_EQ(loaded.Language, "English");
    ASSERT_EQ(loaded.Schemas.Count(), 1);
    EXPECT_EQ(loaded.Schemas.Names(0), "Keep");
    EXPECT_EQ(loaded.ApplicationStarts, 2);
    EXPECT_EQ(loaded.ApplicationCrashes, 0);
}

// Runs `work` in a child process that ends with _exit(work()).
pid_t Spawn(const std::function<int()>& work) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(work());
    return pid;
}

TEST_F(StoreFileTest, ASaveKilledAtAnyMomentLeavesTheStoreBeforeOrAfter) {
    TSettings a;
    TSettings b;
    Fill(a, 1);
    Fill(b, 2);
    const Snapshot stateA = Take(a);
    const Snapshot stateB = Take(b);
    ASSERT_NE(stateA, stateB);

    // The length of one save sets the range of kill moments; it is measured, not
    // asserted.
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(a.Save());
    const auto saveTime = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - t0);
    const long maxDelayUs = std::max<long>(2000, 3 * saveTime.count());

    std::mt19937 random(20261207);
    std::uniform_int_distribution<long> delay(0, maxDelayUs);
    int rounds = 0, midTransaction = 0, sawA = 0, sawB = 0;
    const auto start = std::chrono::steady_clock::now();
    while (rounds < 150 && std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = Spawn([&] {
            ::close(ready[0]);
            if (::write(ready[1], "r", 1) != 1)
                return 3;
            for (;;)
                if (!b.Save() || !a.Save())
                    return 3;
        });
        ASSERT_GT(child, 0);
        ::close(ready[1]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        // The kill lands at a random moment; this pause is that moment, not a wait.
        ::usleep(static_cast<useconds_t>(delay(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child stopped by itself: a save failed";
        ++rounds;
        // A rollback journal exists only while a write transaction is under way.
        if (fs::exists(UserFile() + "-journal"))
            ++midTransaction;

        const Snapshot now = Loaded();
        ASSERT_TRUE(now == stateA || now == stateB) << "round " << rounds << ": a mixed state";
        (now == stateA ? sawA : sawB)++;
    }
    EXPECT_TRUE(BrokenFiles(fs::path(UserFile()).parent_path()).empty());
    EXPECT_GT(midTransaction, 0) << "no kill landed inside a save";
    RecordProperty("rounds", rounds);
    RecordProperty("killed_mid_transaction", midTransaction);
    std::printf("kill test: %d rounds, %d killed inside a write transaction (hot journal left), "
                "store held state A %d times and B %d times; one save took %lld us\n",
                rounds, midTransaction, sawA, sawB, static_cast<long long>(saveTime.count()));
}

TEST_F(StoreFileTest, ConcurrentSavesNeverFailNorMix) {
    constexpr int kWriters = 4;
    constexpr int kSavesEach = 12;
    std::vector<Snapshot> states;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        TSettings settings;
        Fill(settings, 10 + w);
        states.push_back(Take(settings));
        children.push_back(Spawn([&settings] {
            for (int i = 0; i < kSavesEach; ++i)
                if (!settings.Save())
                    return 1;
            return 0;
        }));
        ASSERT_GT(children.back(), 0);
    }
    const Snapshot empty = Take(TSettings{});
    // Read along while the writers work: every load sees one whole state.
    int loads = 0;
    std::size_t running = children.size();
    std::vector<int> exitCodes;
    while (running > 0) {
        const Snapshot now = Loaded();
        ++loads;
        EXPECT_TRUE(now == empty || std::find(states.begin(), states.end(), now) != states.end())
            << "load " << loads << " saw a mixed state";
        for (pid_t& child : children) {
            int status = 0;
            if (child > 0 && ::waitpid(child, &status, WNOHANG) == child) {
                exitCodes.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
                child = -1;
                --running;
            }
        }
    }
    EXPECT_EQ(exitCodes, std::vector<int>(kWriters, 0)) << "a save failed";
    const Snapshot last = Loaded();
    EXPECT_NE(std::find(states.begin(), states.end(), last), states.end());
    std::printf("concurrent saves: %d writers x %d saves, %d loads alongside\n", kWriters,
                kSavesEach, loads);
}

} // namespace
} // namespace qm
