#include "settings/esettings.h"
#include "settings/settingsstore.h"
#include "storefixture.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace qm {
namespace {

using test::StoreFixture;
using Access = TSettingsStore::Access;

constexpr char kKey[] = "Software\\Test\\Values";

class SettingsStoreTest : public StoreFixture {};

TEST_F(SettingsStoreTest, EveryOperationOnAClosedStoreRaisesESettings) {
    TSettingsStore store(UserFile());
    std::string data;
    const std::vector<std::pair<std::string, std::function<void()>>> calls = {
        {"KeyExists",
         [&] {
             store.KeyExists("a");
         }},
        {"ValueExists",
         [&] {
             store.ValueExists("a");
         }},
        {"GetValueNames",
         [&] {
             store.GetValueNames();
         }},
        {"ReadString",
         [&] {
             store.ReadString("a", "");
         }},
        {"ReadInteger",
         [&] {
             store.ReadInteger("a", 0);
         }},
        {"ReadBool",
         [&] {
             store.ReadBool("a", false);
         }},
        {"ReadTextBytes",
         [&] {
             store.ReadTextBytes("a", "");
         }},
        {"ReadData",
         [&] {
             store.ReadData("a", data);
         }},
        {"WriteString",
         [&] {
             store.WriteString("a", "x", "");
         }},
        {"WriteInteger",
         [&] {
             store.WriteInteger("a", 1, 0);
         }},
        {"WriteBool",
         [&] {
             store.WriteBool("a", true, false);
         }},
        {"WriteTextBytes",
         [&] {
             store.WriteTextBytes("a", "x", "");
         }},
        {"WriteData",
         [&] {
             store.WriteData("a", "x");
         }},
        {"DeleteValue",
         [&] {
             store.DeleteValue("a");
         }},
    };
    for (const auto& [name, call] : calls) {
        SCOPED_TRACE(name);
        try {
            call();
            ADD_FAILURE() << "no exception";
        } catch (const ESettings& error) {
            EXPECT_STREQ(error.what(), "The registry has not been opend");
        }
    }
    try {
        store.DeleteAllValues();
        ADD_FAILURE() << "no exception";
    } catch (const ESettings& error) {
        EXPECT_STREQ(error.what(), "The registry has not has been opend");
    }
    EXPECT_TRUE(store.Close()); // closing a closed store is nothing
}

TEST_F(SettingsStoreTest, ReadingAMissingStoreCreatesNothing) {
    TSettingsStore store(UserFile());
    store.Open(Access::Read);
    ASSERT_TRUE(store.IsOpen());
    store.KeyPath = kKey;
    EXPECT_EQ(store.ReadString("Name", "fallback"), "fallback");
    EXPECT_EQ(store.ReadInteger("Number", 7), 7);
    EXPECT_TRUE(store.ReadBool("Flag", true));
    EXPECT_TRUE(store.GetValueNames().empty());
    store.DeleteAllValues();
    store.Close();
    EXPECT_FALSE(std::filesystem::exists(UserFile()));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(UserFile()).parent_path()));
}

TEST_F(SettingsStoreTest, WritesCreateTheirKeyOnlyWhenTheyWrite) {
    WithUserStore([](TSettingsStore& store) {
        store.KeyPath = "Software\\Test\\AtDefault";
        store.WriteString("s", "same", "same");
        store.WriteInteger("i", 5, 5);
        store.WriteBool("b", true, true);
        store.WriteTextBytes("t", "x", "x");
        store.DeleteValue("s");
        store.KeyPath = "Software\\Test\\Data";
        store.WriteData("empty", "");
        store.KeyPath = "Software\\Test\\Changed";
        store.WriteInteger("i", 6, 5);
    });
    WithUserStore([](TSettingsStore& store) {
        store.KeyPath = "Software\\Test";
        EXPECT_FALSE(store.KeyExists("AtDefault"));
        EXPECT_TRUE(store.KeyExists("Data"));
        EXPECT_TRUE(store.KeyExists("Changed"));
        store.KeyPath = "Software\\Test\\Data";
        EXPECT_TRUE(store.ValueExists("empty"));
    });
}

TEST_F(SettingsStoreTest, AValueOfAnotherKindReadsAsZeroFalseOrEmpty) {
    WithUserStore([](TSettingsStore& store) {
        store.KeyPath = kKey;
        store.PutString("string", "12");
        store.WriteInteger("integer", 12, 0);
        store.WriteData("binary", "12");
        store.WriteData("emptyBinary", "");
        store.WriteInteger("wide", 7, 0);
    });
    // An integer beyond 32 bits (written by hand or by another program) is no integer:
    // 2^32 + 1 must not wrap to 1.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(UserFile().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE vals SET data = 4294967297 WHERE name = 'wide'", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    WithUserStore([](TSettingsStore& store) {
        store.KeyPath = kKey;
        EXPECT_EQ(store.ReadInteger("wide", 5), 0);
        EXPECT_FALSE(store.ReadBool("wide", true));
        EXPECT_EQ(store.ReadInteger("string", 5), 0);
        EXPECT_FALSE(store.ReadBool("string", true));
        EXPECT_EQ(store.ReadTextBytes("string", "d"), "");
        EXPECT_EQ(store.ReadString("integer", "d"), "");
        EXPECT_EQ(store.ReadString("binary", "d"), "");
        EXPECT_EQ(store.ReadInteger("binary", 5), 0);
        EXPECT_TRUE(store.ReadBool("integer", false));
        EXPECT_EQ(store.ReadTextBytes("binary", "d"), "12");
        // An empty binary value counts as absent for text bytes, but not for ReadData.
        EXPECT_EQ(store.ReadTextBytes("emptyBinary", "d"), "d");
        std::string data = "unchanged";
        store.ReadData("string", data);
        EXPECT_EQ(data, "unchanged");
        store.ReadData("missing", data);
        EXPECT_EQ(data, "unchanged");
        store.ReadData("emptyBinary", data);
        EXPECT_EQ(data, "");
    });
}

TEST_F(SettingsStoreTest, NamesCompareWithoutLetterCaseAndKeepTheirFirstSpelling) {
    WithUserStore([](TSettingsStore& store) {
        store.KeyPath = "Software\\Test\\Überblick";
        store.PutString("Straße", "1");
        store.PutString("STRASSE", "other value: ß has no one-letter upper case");
        store.PutString("straße", "2");
        store.PutString("Ärger", "a");
        store.PutString("äRGER", "b");
    });
    WithUserStore([](TSettingsStore& store) {
        store.KeyPath = "SOFTWARE\\test\\ÜBERBLICK";
        EXPECT_EQ(store.GetValueNames(), (std::vector<std::string>{"Straße", "STRASSE", "Ärger"}));
        EXPECT_EQ(store.ReadString("STRAßE", ""), "2");
        EXPECT_EQ(store.ReadString("ärger", ""), "b");
        store.KeyPath = "software";
        EXPECT_TRUE(store.KeyExists("TEST"));
        // Leading, doubled and trailing separators name the same key.
        store.KeyPath = "\\software\\\\test\\";
        EXPECT_TRUE(store.KeyExists("überblick"));
        EXPECT_EQ(store.GetValueNames().size(), 0u);
        store.KeyPath = "\\software\\\\test\\überblick\\";
        EXPECT_EQ(store.ReadString("straße", ""), "2");
    });
}

TEST_F(SettingsStoreTest, ValueNamesKeepCreationOrderThroughUpdatesAndDeletes) {
    WithUserStore([](TSettingsStore& store) {
        store.KeyPath = kKey;
        for (const char* name : {"c", "a", "b", "d"})
            store.WriteData(name, name);
        store.WriteData("a", "updated");
        store.DeleteValue("b");
        store.DeleteValue("never there");
        store.WriteData("b", "again");
    });
    WithUserStore([](TSettingsStore& store) {
        store.KeyPath = kKey;
        EXPECT_EQ(store.GetValueNames(), (std::vector<std::string>{"c", "a", "d", "b"}));
        store.DeleteAllValues();
        EXPECT_TRUE(store.GetValueNames().empty());
        store.KeyPath = "Software";
        EXPECT_TRUE(store.KeyExists("Test\\Values"));
    });
}

TEST_F(SettingsStoreTest, AWriteThatFailsRollsTheWholeTransactionBack) {
    WithUserStore([](TSettingsStore& store) {
        store.KeyPath = kKey;
        store.WriteInteger("kept", 1, 0);
    });
    // Make particular writes fail inside the file itself: a value, and the creation of a key.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(UserFile().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TRIGGER poison BEFORE INSERT ON vals WHEN NEW.name = 'poison'"
                           " BEGIN SELECT RAISE(ABORT, 'refused'); END;"
                           "CREATE TRIGGER poisonkey BEFORE INSERT ON keys"
                           " WHEN NEW.path LIKE '%\\Poisoned'"
                           " BEGIN SELECT RAISE(ABORT, 'refused'); END",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    const std::string poisonedKey = std::string(kKey) + "\\Poisoned";
    const std::vector<std::pair<std::string, std::string>> failingWrites = {
        {kKey, "poison"},         // the value is refused
        {poisonedKey, "anything"} // its key cannot be created
    };
    for (const auto& [key, name] : failingWrites) {
        TSettingsStore store(UserFile());
        store.Open(Access::Write);
        ASSERT_TRUE(store.IsOpen());
        store.KeyPath = kKey;
        store.WriteInteger("kept", 2, 0);
        store.KeyPath = key;
        store.WriteString(name, "x", "");
        store.KeyPath = kKey;
        store.WriteInteger("later", 3, 0);
        EXPECT_FALSE(store.Close()) << name;

        store.Open(Access::Read);
        store.KeyPath = kKey;
        EXPECT_EQ(store.ReadInteger("kept", 0), 1) << name;
        EXPECT_FALSE(store.ValueExists(name)) << name;
        EXPECT_FALSE(store.ValueExists("later")) << name;
        store.Close();
    }
}

} // namespace
} // namespace qm
