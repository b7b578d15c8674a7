#include "engine/optionfields.h"
#include "settings/settings.h"
#include "storefixture.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace qm {
namespace {

using test::StoreFixture;

const std::string kRoot = TSettings::NormalRoot;
const std::string kOptions = kRoot + "\\Renameing Options";
const std::string kPairs = kOptions + "\\Replace";
const std::string kSchemes = kRoot + "\\Schemas";

class SettingsTest : public StoreFixture {
protected:
    std::vector<std::string> ValueNames(const std::string& key) const {
        std::vector<std::string> names;
        TSettingsStore store(UserFile());
        store.Open(TSettingsStore::Access::Read);
        store.KeyPath = key;
        names = store.GetValueNames();
        return names;
    }

    bool KeyExists(const std::string& parent, const std::string& name) const {
        TSettingsStore store(UserFile());
        store.Open(TSettingsStore::Access::Read);
        store.KeyPath = parent;
        return store.KeyExists(name);
    }

    // Every option field changed away from its default.
    static RenameOptionSet ChangedOptions() {
        RenameOptionSet options;
        int n = 0;
        for (const OptionField& field : OptionFields()) {
            ++n;
            if (auto flag = std::get_if<OptionFlag>(&field.member))
                options.*(*flag) = true;
            else if (auto number = std::get_if<OptionInt>(&field.member))
                options.*(*number) = 100 + n;
            else
                options.*std::get<OptionText>(field.member) = "text " + std::to_string(n);
        }
        options.ReplaceCount = 3;
        options.ReplacePairs[0] = {"a", "b"};
        options.ReplacePairs[1] = {"c", "d:e"};
        options.ReplacePairs[2] = {"f", ""};
        return options;
    }
};

TEST_F(SettingsTest, AnEmptyStoreLoadsDefaultsAndASaveStoresOnlyWhatDiffers) {
    TSettings settings;
    settings.Load();
    EXPECT_FALSE(std::filesystem::exists(UserFile())) << "loading must not create the store";
    EXPECT_EQ(settings.Language, "English");
    EXPECT_EQ(settings.Width, 400);
    EXPECT_EQ(settings.Columns, "Name,Newname");
    EXPECT_EQ(settings.ColumnsWidth, "237,237");
    EXPECT_TRUE(settings.ColumnSortDeclining);
    EXPECT_FALSE(settings.ShowSchemeOptions);
    EXPECT_FALSE(settings.SortNumbersByValue);
    EXPECT_EQ(settings.LastUsedFilePath, "%DOCUMENTPATH%");
    EXPECT_EQ(settings.Options, RenameOptionSet{});
    EXPECT_EQ(settings.Schemas.Count(), 0);

    settings.Width = 812;
    settings.ShowStatusLine = false;
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(ValueNames(kRoot), (std::vector<std::string>{"Width", "ShowStatusLine"}));
    EXPECT_FALSE(KeyExists(kRoot, "Renameing Options"));
    EXPECT_FALSE(KeyExists(kRoot, "Schemas"));

    // The next start finds the root key but no option key: its values are missing, not
    // unreadable, and load as their defaults rather than as 0, false or empty.
    TSettings next;
    next.Load();
    EXPECT_EQ(next.Width, 812);
    EXPECT_EQ(next.Height, 400);
    EXPECT_EQ(next.Options, RenameOptionSet{});
}

TEST_F(SettingsTest, SavedValuesLoadBack) {
    {
        TSettings settings;
        settings.Language = "Deutsch";
        settings.Top = -20;
        settings.State = 2;
        settings.Columns = "Name,Size";
        settings.ColumnsWidth = "10,20";
        settings.ColumnSortDeclining = false;
        settings.LastUsedFolderPath = "/data/photos/";
        settings.IncludeDirectorySubFolders = true;
        settings.SortNumbersByValue = true;
        settings.Options = ChangedOptions();
        settings.Schemas.Add({"Holiday", "Version=1\rRemoveFront=true"});
        settings.Schemas.Add({"Archive", "Version=1"});
        ASSERT_TRUE(settings.Save());
    }
    TSettings loaded;
    loaded.Load();
    EXPECT_EQ(loaded.Language, "Deutsch");
    EXPECT_EQ(loaded.Top, -20);
    EXPECT_EQ(loaded.State, 2);
    EXPECT_EQ(loaded.Columns, "Name,Size");
    EXPECT_EQ(loaded.ColumnsWidth, "10,20");
    EXPECT_FALSE(loaded.ColumnSortDeclining);
    EXPECT_EQ(loaded.LastUsedFolderPath, "/data/photos/");
    EXPECT_TRUE(loaded.IncludeDirectorySubFolders);
    EXPECT_TRUE(loaded.SortNumbersByValue);
    EXPECT_EQ(loaded.Options, ChangedOptions());
    ASSERT_EQ(loaded.Schemas.Count(), 2);
    EXPECT_EQ(loaded.Schemas.Names(0), "Holiday");
    EXPECT_EQ(loaded.Schemas.Items(0).Text, "Version=1\rRemoveFront=true");
    EXPECT_EQ(loaded.Schemas.Names(1), "Archive");
}

TEST_F(SettingsTest, StoredValuesAreRewrittenEvenAtTheirDefaults) {
    WithUserStore([](TSettingsStore& store) {
        store.KeyPath = kRoot;
        store.WriteInteger("Width", 900, 400);
        store.KeyPath = kOptions;
        store.WriteInteger("RemoveFrontCount", 5, 1);
        store.PutString("AlterLogicFilenameSep", "+");
    });
    TSettings settings;
    settings.Load();
    EXPECT_EQ(settings.Width, 900);
    settings.Width = 400;
    settings.Options.RemoveFrontCount = 1;
    settings.Options.AlterLogicFilenameSep = " - ";
    ASSERT_TRUE(settings.Save());
    WithUserStore([](TSettingsStore& store) {
        store.KeyPath = kRoot;
        EXPECT_EQ(store.ReadInteger("Width", -1), 400);
        EXPECT_FALSE(store.ValueExists("Height"));
        store.KeyPath = kOptions;
        EXPECT_EQ(store.ReadInteger("RemoveFrontCount", -1), 1);
        EXPECT_EQ(store.ReadString("AlterLogicFilenameSep", "?"), " - ");
        EXPECT_EQ(store.GetValueNames(),
                  (std::vector<std::string>{"RemoveFrontCount", "AlterLogicFilenameSep"}));
    });
}

TEST_F(SettingsTest, ValuesOfAnotherKindLoadAsZeroFalseOrEmpty) {
    WithUserStore([](TSettingsStore& store) {
        store.KeyPath = kRoot;
        store.PutString("Top", "12");
        store.PutString("ShowQuickButtons", "true");
        store.WriteInteger("Language", 3, 0);
        store.PutString("Columns", "Size");
        store.WriteData("ColumnsWidth", "");
        store.KeyPath = kOptions;
        store.PutString("RemoveFrontCount", "4");
        store.WriteData("InsertFrontText", "x");
    });
    TSettings settings;
    settings.Load();
    EXPECT_EQ(settings.Top, 0);
    EXPECT_FALSE(settings.ShowQuickButtons);
    EXPECT_EQ(settings.Language, "");
    EXPECT_EQ(settings.Columns, "Name,"); // read as empty, then repaired
    EXPECT_EQ(settings.ColumnsWidth, "237,237");
    EXPECT_EQ(settings.Options.RemoveFrontCount, 0);
    EXPECT_EQ(settings.Options.InsertFrontText, "");
}

TEST_F(SettingsTest, ColumnsWidthFallsBackToTheOldColumnValues) {
    struct Case {
        const char* name;
        std::function<void(TSettingsStore&)> seed;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"both old values",
         [](TSettingsStore& s) {
             s.WriteInteger("FileCol1", 120, 0);
             s.WriteInteger("FileCol2", 300, 0);
         },
         "120,300"},
        {"one old value", [](TSettingsStore& s) { s.WriteInteger("FileCol2", 90, 0); }, "237,90"},
        {"new value wins",
         [](TSettingsStore& s) {
             s.WriteInteger("FileCol1", 120, 0);
             s.WriteData("ColumnsWidth", "50,60,70");
         },
         "50,60,70"},
        {"old value of another kind", [](TSettingsStore& s) { s.PutString("FileCol1", "9"); },
         "0,237"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(UserFile());
        WithUserStore([&](TSettingsStore& store) {
            store.KeyPath = kRoot;
            c.seed(store);
        });
        TSettings settings;
        settings.Load();
        EXPECT_EQ(settings.ColumnsWidth, c.expected);
        settings.ColumnsWidth = "237,237";
        ASSERT_TRUE(settings.Save());
        WithUserStore([&](TSettingsStore& store) {
            store.KeyPath = kRoot;
            EXPECT_EQ(store.ValueExists("ColumnsWidth"), c.expected == "50,60,70");
        });
    }
}

TEST_F(SettingsTest, ValidateRepairsColumnsAndNegativeNumbers) {
    const std::vector<std::pair<std::string, std::string>> columns = {
        {"Size,ModDate", "Name,Size,ModDate"},
        {"Path", "Path"},
        {"TypeName,Size", "TypeName,Size"}, // "NAME" is found inside "TYPENAME"
        {"prevname", "prevname"},
        {"", "Name,"},
    };
    for (const auto& [stored, expected] : columns) {
        SCOPED_TRACE(stored);
        TSettings settings;
        settings.Columns = stored;
        settings.Validate();
        EXPECT_EQ(settings.Columns, expected);
    }

    WithUserStore([](TSettingsStore& store) {
        store.KeyPath = kRoot;
        store.WriteInteger("ColumnSortFieldIndex", -1, 0);
        store.KeyPath = kOptions;
        for (const char* name :
             {"RemoveFrontCount", "RemoveAtPositionCount", "RemoveAtPositionIndex",
              "RemoveBackCount", "InsertAtPositionIndex", "NumberIncValue", "NumberIncMinLength"})
            store.WriteInteger(name, -5, 0);
        store.WriteInteger("NumberFormatSelect", -5, 0); // not one of the repaired values
    });
    TSettings settings;
    settings.Load();
    const RenameOptionSet& o = settings.Options;
    EXPECT_EQ(settings.ColumnSortFieldIndex, 0);
    EXPECT_EQ(std::vector<int>({o.RemoveFrontCount, o.RemoveAtPositionCount,
                                o.RemoveAtPositionIndex, o.RemoveBackCount, o.InsertAtPositionIndex,
                                o.NumberIncValue, o.NumberIncMinLength}),
              std::vector<int>(7, 0));
    EXPECT_EQ(o.NumberFormatSelect, -5);
}

TEST_F(SettingsTest, PairsEndAtTheFirstGapAndSaveDeletesOnlyUpToIt) {
    WithUserStore([](TSettingsStore& store) {
        store.KeyPath = kPairs;
        store.PutString("1", "a:b");
        store.PutString("2", "no colon");
        store.PutString("4", "x:y");
    });
    TSettings settings;
    settings.Load();
    ASSERT_EQ(settings.Options.ReplaceCount, 2);
    EXPECT_EQ(settings.Options.ReplacePairs[0], (ReplacePair{"a", "b"}));
    EXPECT_EQ(settings.Options.ReplacePairs[1], (ReplacePair{"", "no colon"}));
    settings.Options.ReplaceCount = 1;
    settings.Options.ReplacePairs[1] = {};
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(ValueNames(kPairs), (std::vector<std::string>{"1", "4"}));

    // Without a gap, the surplus of a shorter list goes.
    std::filesystem::remove(UserFile());
    settings.Options.ReplaceCount = 5;
    for (int i = 0; i < 5; ++i)
        settings.Options.ReplacePairs[static_cast<std::size_t>(i)] = {std::to_string(i), "w:z"};
    ASSERT_TRUE(settings.Save());
    settings.Options.ReplaceCount = 2;
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(ValueNames(kPairs), (std::vector<std::string>{"1", "2"}));
    TSettings loaded;
    loaded.Load();
    ASSERT_EQ(loaded.Options.ReplaceCount, 2);
    EXPECT_EQ(loaded.Options.ReplacePairs[1], (ReplacePair{"1", "w:z"}));
}

TEST_F(SettingsTest, PairsWhoseFindTextHoldsAColonLoadBackExactly) {
    TSettings settings;
    settings.Options.ReplaceCount = 3;
    settings.Options.ReplacePairs[0] = {":", "-"};
    settings.Options.ReplacePairs[1] = {"a", "b:c"};
    settings.Options.ReplacePairs[2] = {"x:y:", "z"};
    ASSERT_TRUE(settings.Save());
    // The pair values read as before; the find text beside them says where it ends.
    EXPECT_EQ(ValueNames(kPairs), (std::vector<std::string>{"1", "Find1", "2", "3", "Find3"}));
    WithUserStore([](TSettingsStore& store) {
        store.KeyPath = kPairs;
        EXPECT_EQ(store.ReadString("1", ""), "::-");
        EXPECT_EQ(store.ReadString("2", ""), "a:b:c");
    });
    TSettings loaded;
    loaded.Load();
    EXPECT_EQ(loaded.Options, settings.Options);

    // A find text no longer needed goes, and one the pair does not begin with is not used.
    settings.Options.ReplaceCount = 2;
    settings.Options.ReplacePairs[0] = {"q", "r"};
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(ValueNames(kPairs), (std::vector<std::string>{"1", "2"}));
    WithUserStore([](TSettingsStore& store) {
        store.KeyPath = kPairs;
        store.PutString("Find2", "a:b");
        store.PutString("2", "k:v:w");
    });
    loaded.Load();
    EXPECT_EQ(loaded.Options.ReplacePairs[1], (ReplacePair{"k", "v:w"}));
}

TEST_F(SettingsTest, AtMost99PairsAreLoaded) {
    WithUserStore([](TSettingsStore& store) {
        store.KeyPath = kPairs;
        for (int i = 1; i <= 120; ++i)
            store.PutString(std::to_string(i), "f" + std::to_string(i) + ":r");
    });
    TSettings settings;
    settings.Load();
    ASSERT_EQ(settings.Options.ReplaceCount, 99);
    EXPECT_EQ(settings.Options.ReplacePairs[98].Replace, "f99");
    ASSERT_TRUE(settings.Save());
    // Saving 99 pairs deletes the numbers after them up to the first gap.
    EXPECT_EQ(ValueNames(kPairs).size(), 99u);
}

TEST_F(SettingsTest, TheOldSinglePairIsReadAndReplacedByTheNumberedList) {
    WithUserStore([](TSettingsStore& store) {
        store.KeyPath = kOptions;
        store.PutString("Replace", "old");
        store.PutString("ReplaceWith", "new");
    });
    TSettings settings;
    settings.Load();
    ASSERT_EQ(settings.Options.ReplaceCount, 1);
    EXPECT_EQ(settings.Options.ReplacePairs[0], (ReplacePair{"old", "new"}));
    ASSERT_TRUE(settings.Save());
    EXPECT_TRUE(ValueNames(kOptions).empty());
    EXPECT_EQ(ValueNames(kPairs), (std::vector<std::string>{"1"}));

    // The numbered list, when its key exists, wins over the old pair (even when empty).
    WithUserStore([](TSettingsStore& store) {
        store.KeyPath = kOptions;
        store.PutString("Replace", "old");
        store.KeyPath = kPairs;
        store.DeleteAllValues();
    });
    settings.Load();
    EXPECT_EQ(settings.Options.ReplaceCount, 0);
}

TEST_F(SettingsTest, ResetRenamingOptionsLeavesTheOptionKeysAloneButSavesSchemes) {
    WithUserStore([](TSettingsStore& store) {
        store.KeyPath = kOptions;
        store.WriteBool("RemoveGroup", true, false);
        store.PutString("Replace", "old");
        store.KeyPath = kPairs;
        store.PutString("1", "a:b");
        store.PutString("2", "c:d");
        store.KeyPath = kSchemes;
        store.WriteData("Gone", "Version=1");
    });
    TSettings settings;
    settings.Load();
    settings.ResetRenamingOptions = true;
    settings.Options = RenameOptionSet{};
    settings.Schemas.Delete("Gone");
    settings.Schemas.Add({"New", "Version=1\rRemoveGroup=true"});
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(ValueNames(kOptions), (std::vector<std::string>{"RemoveGroup", "Replace"}));
    EXPECT_EQ(ValueNames(kPairs), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(ValueNames(kSchemes), (std::vector<std::string>{"New"}));
    TSettings loaded;
    loaded.Load();
    EXPECT_TRUE(loaded.ResetRenamingOptions);
    EXPECT_TRUE(loaded.Options.RemoveGroup);
    EXPECT_EQ(loaded.Options.ReplaceCount, 2);
}

TEST_F(SettingsTest, SchemesAreStoredInListOrderAndDeletedOnesDisappear) {
    TSettings settings;
    RenameOptionSet options;
    for (const char* name : {"Zeta", "Alpha", "Mid"}) {
        options.InsertFrontText = name;
        settings.Schemas.SaveOptions(name, options);
    }
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(ValueNames(kSchemes), (std::vector<std::string>{"Zeta", "Alpha", "Mid"}));

    TSettings loaded;
    loaded.Load();
    ASSERT_EQ(loaded.Schemas.Count(), 3);
    RenameOptionSet read;
    loaded.Schemas.LoadOptions("Alpha", read);
    EXPECT_EQ(read.InsertFrontText, "Alpha");
    loaded.Schemas.Delete("Alpha");
    ASSERT_TRUE(loaded.Save());
    EXPECT_EQ(ValueNames(kSchemes), (std::vector<std::string>{"Zeta", "Mid"}));

    loaded.Schemas.Delete("Zeta");
    loaded.Schemas.Delete("Mid");
    ASSERT_TRUE(loaded.Save());
    EXPECT_TRUE(ValueNames(kSchemes).empty());
}

TEST_F(SettingsTest, SchemeNamesThatDifferOnlyInCaseShareOneStoredValue) {
    TSettings settings;
    settings.Schemas.Add({"Night", "Version=1\rInsertFrontText=first"});
    settings.Schemas.Add({"NIGHT", "Version=1\rInsertFrontText=second"});
    settings.Schemas.Add({"Ärger", "Version=1\rInsertFrontText=x"});
    settings.Schemas.Add({"äRGER", "Version=1\rInsertFrontText=y"});
    ASSERT_TRUE(settings.Save());
    TSettings loaded;
    loaded.Load();
    ASSERT_EQ(loaded.Schemas.Count(), 2);
    EXPECT_EQ(loaded.Schemas.Items(0).Text, "Version=1\rInsertFrontText=second");
    EXPECT_EQ(loaded.Schemas.Items(1).Text, "Version=1\rInsertFrontText=y");
}

TEST_F(SettingsTest, ExpandPathReplacesPlaceholdersAndEndsInASlash) {
    const std::filesystem::path documents = Root() / "Documents";
    std::filesystem::create_directories(documents);
    ::setenv("XDG_DOCUMENTS_DIR", documents.c_str(), 1);
    ::setenv("HOME", Root().c_str(), 1); // Qt reads user-dirs.dirs from XDG_CONFIG_HOME
    std::filesystem::create_directories(Root() / "home");
    std::ofstream(Root() / "home" / "user-dirs.dirs")
        << "XDG_DOCUMENTS_DIR=\"" << documents.string() << "\"\n";

    TSettings settings;
    settings.AppPath = "/opt/quillmark/";
    const std::string docs = documents.string();
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"%APPPATH%", "/opt/quillmark/"},
        {"%apppath%/lang", "/opt/quillmark/lang/"},
        {"%documentpath%", docs + "/"},
        {"%DOCUMENTPATH%/Scans", docs + "/Scans/"},
        {"C:\\Data", "C:\\Data/"},
        {"/home/u/", "/home/u/"},
        {"%FOO%x", "x/"},
        {"50%", "50/"},
        {"a%b", "ab/"},
        {"100%%x", "100x/"},
        {"", "/"},
    };
    for (const auto& [input, expected] : cases) {
        SCOPED_TRACE(input);
        EXPECT_EQ(settings.ExpandPath(input), expected);
    }
}

TEST_F(SettingsTest, AppPathIsTheFolderOfTheRunningProgram) {
    TSettings settings;
    settings.Load();
    ASSERT_FALSE(settings.AppPath.empty());
    EXPECT_EQ(settings.AppPath.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(settings.AppPath + "settings_tests"));
}

TEST_F(SettingsTest, AStartWithoutARegularExitCountsAsACrash) {
    struct Run {
        bool exitsRegularly;
        int starts, crashes;
    };
    const std::vector<Run> runs = {
        {true, 1, 0}, {false, 2, 0}, {false, 3, 1}, {true, 4, 2}, {true, 5, 2},
    };
    for (std::size_t i = 0; i < runs.size(); ++i) {
        SCOPED_TRACE("run " + std::to_string(i + 1));
        TSettings settings;
        settings.Load();
        settings.RegisterStart();
        EXPECT_EQ(settings.ApplicationStarts, runs[i].starts);
        EXPECT_EQ(settings.ApplicationCrashes, runs[i].crashes);
        EXPECT_TRUE(settings.ApplicationStarted);
        if (runs[i].exitsRegularly) {
            ASSERT_TRUE(settings.Save());
            settings.RegisterExit();
        }
    }
    WithUserStore([](TSettingsStore& store) {
        store.KeyPath = kRoot;
        EXPECT_FALSE(store.ReadBool("ApplicationStarted", true));
        EXPECT_TRUE(store.ValueExists("ApplicationStarted"));
        EXPECT_EQ(store.ReadInteger("ApplicationStarts", 0), 5);
    });
}

TEST_F(SettingsTest, TheProgramStartedTwiceCountsEveryStartAndNoCrash) {
    // Steps on instances 0..2: 's' start, 'e' regular exit, 'k' killed (no exit).
    struct Case {
        const char* steps;
        int starts, crashes;
        bool startedMark;
    };
    const std::vector<Case> cases = {
        {"s0 s1 e0 e1", 2, 0, false},
        {"s0 s1 e1 e0", 2, 0, false},
        {"s0 s1 e0 k1 s2", 3, 1, true},
        {"s0 k0 s1 e1", 2, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.steps);
        std::filesystem::remove_all(Root() / "home");
        std::array<std::unique_ptr<TSettings>, 3> runs;
        for (const char* step = c.steps; *step != '\0'; step += step[2] == ' ' ? 3 : 2) {
            auto& run = runs[static_cast<std::size_t>(step[1] - '0')];
            if (step[0] == 's') {
                run = std::make_unique<TSettings>();
                run->Load();
                run->RegisterStart();
            } else {
                if (step[0] == 'e')
                    run->RegisterExit();
                run.reset();
            }
        }
        WithUserStore([&](TSettingsStore& store) {
            store.KeyPath = kRoot;
            EXPECT_EQ(store.ReadInteger("ApplicationStarts", 0), c.starts);
            EXPECT_EQ(store.ReadInteger("ApplicationCrashes", 0), c.crashes);
            EXPECT_EQ(store.ReadBool("ApplicationStarted", false), c.startedMark);
        });
    }
}

TEST_F(SettingsTest, TheDevelopmentKeyKeepsItsOwnSettings) {
    TSettings development;
    development.UseDevelopmentKey = true;
    development.Language = "Debug";
    development.Schemas.Add({"dev", "Version=1"});
    ASSERT_TRUE(development.Save());
    development.RegisterStart();

    TSettings normal;
    normal.Load();
    normal.RegisterStart();
    EXPECT_EQ(normal.Language, "English");
    EXPECT_EQ(normal.Schemas.Count(), 0);
    EXPECT_EQ(normal.ApplicationStarts, 1);
    EXPECT_EQ(ValueNames(TSettings::DevelopmentRoot),
              (std::vector<std::string>{"Language", "ApplicationStarted", "ApplicationStarts"}));
}

TEST_F(SettingsTest, RegistrationGoesToTheMachineStore) {
    TSettings settings;
    settings.Load();
    settings.RegisterApplication();
    TSettingsStore machine(MachineStorePath());
    ASSERT_EQ(MachineStorePath(), (Root() / "machine/Marlowick/registry.db").string());
    machine.Open(TSettingsStore::Access::Read);
    machine.KeyPath = "\\Software\\Marlowick\\Trellis\\Applications\\000001-0004";
    EXPECT_EQ(machine.GetValueNames(),
              (std::vector<std::string>{"Product", "Company", "Version", "Path", "ExeFile",
                                        "ClassName", "WindowName"}));
    EXPECT_EQ(machine.ReadString("Version", ""), "2.01.43");
    EXPECT_EQ(machine.ReadString("Path", ""), settings.AppPath);
    EXPECT_EQ(machine.ReadString("ExeFile", ""), "settings_tests");
    EXPECT_EQ(machine.ReadString("WindowName", ""), "Marlowick Quillmark");
}

} // namespace
} // namespace qm
