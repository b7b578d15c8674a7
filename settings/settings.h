#pragma once

// The program's settings: window placement, panels, columns, folders, the current
// rename options and the saved schemes, read from the user's store in one pass at
// start-up and written back in one pass at shutdown. Between those passes the fields
// are the only copy and every part of the program reads and changes them freely.
//
// The store is touched only inside Load, Save, RegisterStart, RegisterExit and
// RegisterApplication; each opens it (as a file found through XDG_CONFIG_HOME and
// XDG_CONFIG_DIRS at that moment), does its work in one transaction and closes it.
// None of them throws or reports: an unusable store leaves the fields as they are and
// drops the writes.
//
// One object for the program, created at start-up and used on the window thread only.

#include "engine/renameoptionset.h"
#include "settings/optionschemas.h"

#include <cstdint>
#include <string>

namespace qm {

class TSettingsStore;

class TSettings {
public:
    static constexpr char NormalRoot[] = "Software\\Marlowick\\Quillmark";
    static constexpr char DevelopmentRoot[] = "Software\\Marlowick\\Development\\Quillmark";
    static constexpr char RegistrationKey[] =
        "Software\\Marlowick\\Trellis\\Applications\\000001-0004";

    TSettings(); // every field at its default
    ~TSettings();
    TSettings(const TSettings&) = delete;
    TSettings& operator=(const TSettings&) = delete;

    // Stored under the root key; defaults in brackets.
    std::string Language;                // interface language ["English"]
    std::int32_t Top;                    // normal placement of the main window [0]
    std::int32_t Left;                   // [0]
    std::int32_t Width;                  // [400]
    std::int32_t Height;                 // [400]
    std::int32_t State;                  // 0 normal, 1 minimised, 2 maximised [0]
    std::string Columns;                 // shown columns, comma-separated ["Name,Newname"]
    std::string ColumnsWidth;            // their widths in pixels ["237,237"]
    std::int32_t ColumnSortFieldIndex;   // [0]
    bool ColumnSortDeclining;            // true sorts ascending [true]
    bool ShowQuickButtons;               // [true]
    bool ShowSchemeOptions;              // [false]
    bool ShowStatusLine;                 // [true]
    bool ShowRenameSuccess;              // [true]
    bool ResetRenamingOptions;           // options neither restored nor saved [false]
    bool DisableInitialFolderSelection;  // [false]
    bool PlanRenameOrder;                // renames put in an order that lets chains pass [false]
    bool SortNumbersByValue;             // the list compares digit runs by value [false]
    std::string CurrentSchema;           // scheme selected at shutdown [""]
    std::string LastUsedFilePath;        // may hold placeholders ["%DOCUMENTPATH%"]
    std::string LastUsedFolderPath;      // [""]
    bool IncludeDirectorySubFolders;     // [false]
    std::int32_t JournalKeepDays;        // days each run's journal is kept, 0 for ever [30]
    std::int32_t HistoryWidth;           // the history window's size; 0: its own [0]
    std::int32_t HistoryHeight;          // [0]
    std::string HistoryColumnsWidth;     // its runs' column widths, comma-separated [""]
    std::string HistoryMovesColumnsWidth; // its renames' column widths [""]
    std::int32_t ApplicationStarts = 0;  // kept by RegisterStart/RegisterExit only
    bool ApplicationStarted = false;     // true from start-up until a regular exit
    std::int32_t ApplicationCrashes = 0; // starts that found the last run unfinished

    RenameOptionSet Options; // the current rename options
    TOptionSchemas Schemas;  // the saved schemes, in store order then order of adding

    std::string AppPath;            // the program's folder, ending in "/"; set by Load
    bool UseDevelopmentKey = false; // use DevelopmentRoot instead of NormalRoot

    // The root key chosen by UseDevelopmentKey.
    std::string RootKeyPath() const;

    // Reads every stored value (absent ones take their defaults), the replace pairs and
    // the schemes, then runs Validate.
    void Load();
    // Writes everything back in one transaction: the store afterwards holds either all
    // of it or, when the save fails, exactly what it held before. Returns whether the
    // save reached the store (callers may ignore it: a failed save is dropped). Writes
    // nothing after a Load that could not read the store.
    bool Save();
    // Counts the start, and a crash when the previous run never reached RegisterExit and
    // no other instance is running (a lock beside the store, "<store>.running", held
    // shared from RegisterStart to RegisterExit or destruction, tells).
    void RegisterStart();
    // Marks the run as ended regularly, unless another instance still runs (the mark is
    // then that one's); keeps the larger of its counts and the stored ones, so that
    // another instance's start is never lost. Nothing after a RegisterStart that could
    // not reach the store.
    void RegisterExit();
    // Writes the program's entry in the machine-wide product-family store; skipped in
    // silence when that store cannot be written.
    void RegisterApplication();

    // Replaces "%APPPATH%" and "%DOCUMENTPATH%" (any letter case) by those folders,
    // drops other %NAME% placeholders, and ends the result in "/".
    std::string ExpandPath(const std::string& text) const;
    // Repairs loaded values: a column list without a name-like column gets "Name"
    // in front; negative counts and positions become 0.
    void Validate();

private:
    void LoadGeneral(TSettingsStore& store);
    void LoadOptions(TSettingsStore& store);
    void LoadSchemes(TSettingsStore& store);
    void SaveGeneral(TSettingsStore& store) const;
    void SaveOptions(TSettingsStore& store) const;
    void SaveSchemes(TSettingsStore& store) const;
    std::string InstanceLockPath() const;
    // Whether no other instance holds the lock; inside the store's write transaction.
    bool AloneRunning();

    // Load could not reach the store: the fields hold defaults, not the user's
    // settings, so Save must not write them over what the store still holds (the
    // write rule would bring every stored value back to its default and the scheme
    // key would be emptied).
    bool storeUnread_ = false;
    // Likewise for the counts when RegisterStart could not reach the store.
    bool countsUnread_ = false;
    int instanceLock_ = -1; // held shared while this instance runs
};

} // namespace qm
