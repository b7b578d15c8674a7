#include "settings/settings.h"

#include "buildversion.h"
#include "engine/optionfields.h"
#include "filelist/filesystem.h"
#include "filelist/folder.h"
#include "filelist/versioninfo.h"
#include "settings/lettercase.h"
#include "settings/pairtext.h"
#include "settings/settingsstore.h"
#include "settings/storepaths.h"

#include <algorithm>
#include <array>
#include <climits>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <unistd.h>
#include <variant>

namespace qm {
namespace {

constexpr char kOptionsKey[] = "\\Renameing Options";
constexpr char kPairsKey[] = "\\Renameing Options\\Replace";
// Beside pair "N", value "FindN" holds the pair's Replace text when that holds ":".
const std::string kExactReplacePrefix = "Find";
constexpr char kSchemesKey[] = "\\Schemas";

using TextMember = std::string TSettings::*;
using IntMember = std::int32_t TSettings::*;
using FlagMember = bool TSettings::*;

// One value of the root key with its kind and default. Text values marked `binary`
// are stored as binary values holding the text's bytes.
struct GeneralField {
    std::string_view name;
    std::variant<TextMember, IntMember, FlagMember> member;
    std::string_view textDefault;
    std::int32_t numberDefault; // integers; flags as 0 or 1
    bool binary;
};

using T = TSettings;

constexpr GeneralField Text(std::string_view name, TextMember m, std::string_view d) {
    return {name, m, d, 0, false};
}
constexpr GeneralField Bytes(std::string_view name, TextMember m, std::string_view d) {
    return {name, m, d, 0, true};
}
constexpr GeneralField Int(std::string_view name, IntMember m, std::int32_t d) {
    return {name, m, {}, d, false};
}
constexpr GeneralField Flag(std::string_view name, FlagMember m, bool d) {
    return {name, m, {}, d ? 1 : 0, false};
}

// The stored values of the root key in their order, but for the start counters (kept
// by RegisterStart and RegisterExit) and the two old column widths (read only as a
// fallback for "ColumnsWidth").
const std::array kGeneralFields = {
    Text("Language", &T::Language, "English"),
    Int("Top", &T::Top, 0),
    Int("Left", &T::Left, 0),
    Int("Width", &T::Width, 400),
    Int("Height", &T::Height, 400),
    Int("State", &T::State, 0),
    Bytes("Columns", &T::Columns, "Name,Newname"),
    Bytes("ColumnsWidth", &T::ColumnsWidth, "237,237"),
    Int("ColumnSortFieldIndex", &T::ColumnSortFieldIndex, 0),
    Flag("ColumnSortDeclining", &T::ColumnSortDeclining, true),
    Flag("ShowQuickButtons", &T::ShowQuickButtons, true),
    Flag("ShowSchemeOptions", &T::ShowSchemeOptions, false),
    Flag("ShowStatusLine", &T::ShowStatusLine, true),
    Flag("ShowRenameSuccess", &T::ShowRenameSuccess, true),
    Flag("ResetRenamingOptions", &T::ResetRenamingOptions, false),
    Flag("DisableInitialFolderSelection", &T::DisableInitialFolderSelection, false),
    Flag("PlanRenameOrder", &T::PlanRenameOrder, false),
    Flag("SortNumbersByValue", &T::SortNumbersByValue, false),
    Text("CurrentSchema", &T::CurrentSchema, ""),
    Text("LastUsedFilePath", &T::LastUsedFilePath, "%DOCUMENTPATH%"),
    Text("LastUsedFolderPath", &T::LastUsedFolderPath, ""),
    Flag("IncludeDirectorySubFolders", &T::IncludeDirectorySubFolders, false),
    Int("JournalKeepDays", &T::JournalKeepDays, 30),
    Int("HistoryWidth", &T::HistoryWidth, 0),
    Int("HistoryHeight", &T::HistoryHeight, 0),
    Text("HistoryColumnsWidth", &T::HistoryColumnsWidth, ""),
    Text("HistoryMovesColumnsWidth", &T::HistoryMovesColumnsWidth, ""),
};

constexpr std::int32_t kOldColumnWidth = 237;

std::int32_t Raised(std::int32_t count) {
    return count < INT32_MAX ? count + 1 : count;
}

std::string DocumentsFolder() {
    TFileSystem fileSystem;
    return fileSystem.GetPersonalFolder()->GetFolderPath();
}

} // namespace

TSettings::TSettings() {
    for (const GeneralField& field : kGeneralFields) {
        if (auto text = std::get_if<TextMember>(&field.member))
            this->*(*text) = field.textDefault;
        else if (auto number = std::get_if<IntMember>(&field.member))
            this->*(*number) = field.numberDefault;
        else
            this->*std::get<FlagMember>(field.member) = field.numberDefault != 0;
    }
    AppPath = ExecutableFolder();
}

TSettings::~TSettings() {
    // Like the end of the process: the lock goes, and a start after this one that finds
    // no RegisterExit counts a crash.
    if (instanceLock_ >= 0)
        ::close(instanceLock_);
}

bool TSettings::AloneRunning() {
    if (instanceLock_ < 0)
        return true; // no lock to tell by: as if this were the only instance
    // Every running instance holds the lock shared; only one alone gets it exclusively.
    // Called inside the store's write transaction, so no other instance is probing now.
    const bool alone = ::flock(instanceLock_, LOCK_EX | LOCK_NB) == 0;
    ::flock(instanceLock_, LOCK_SH | LOCK_NB);
    return alone;
}

std::string TSettings::RootKeyPath() const {
    return UseDevelopmentKey ? DevelopmentRoot : NormalRoot;
}

void TSettings::Load() {
    AppPath = ExecutableFolder();
    TSettingsStore store(UserStorePath());
    store.Open(TSettingsStore::Access::Read);
    // The store cannot be used at all (an unusable folder, say): the fields keep their
    // values, which at start-up are the defaults.
    storeUnread_ = !store.IsOpen();
    if (store.IsOpen()) {
        LoadGeneral(store);
        LoadOptions(store);
        LoadSchemes(store);
        store.Close();
    }
    Validate();
}

void TSettings::LoadGeneral(TSettingsStore& store) {
    const std::string root = RootKeyPath();
    store.KeyPath = root;
    for (const GeneralField& field : kGeneralFields) {
        const std::string name(field.name);
        if (auto text = std::get_if<TextMember>(&field.member)) {
            const std::string fallback(field.textDefault);
            this->*(*text) = field.binary ? store.ReadTextBytes(name, fallback)
                                          : store.ReadString(name, fallback);
        } else if (auto number = std::get_if<IntMember>(&field.member)) {
            this->*(*number) = store.ReadInteger(name, field.numberDefault);
        } else {
            this->*std::get<FlagMember>(field.member) =
                store.ReadBool(name, field.numberDefault != 0);
        }
        if (field.name == "ColumnsWidth" && !store.ValueExists(name)) {
            ColumnsWidth = std::to_string(store.ReadInteger("FileCol1", kOldColumnWidth)) + "," +
                           std::to_string(store.ReadInteger("FileCol2", kOldColumnWidth));
        }
    }
}

void TSettings::LoadOptions(TSettingsStore& store) {
    const std::string root = RootKeyPath();
    const RenameOptionSet defaults;
    store.KeyPath = root + kOptionsKey;
    for (const OptionField& field : OptionFields()) {
        const std::string name(field.name);
        if (auto flag = std::get_if<OptionFlag>(&field.member))
            Options.*(*flag) = store.ReadBool(name, defaults.*(*flag));
        else if (auto number = std::get_if<OptionInt>(&field.member))
            Options.*(*number) = store.ReadInteger(name, defaults.*(*number));
        else {
            const OptionText member = std::get<OptionText>(field.member);
            Options.*member = store.ReadString(name, defaults.*member);
        }
    }

    Options.ReplaceCount = 0;
    Options.ReplacePairs.fill({});
    // An older version kept a single pair as two values of the options key.
    if (store.ValueExists("Replace")) {
        Options.ReplaceCount = 1;
        Options.ReplacePairs[0] = {store.ReadString("Replace", ""),
                                   store.ReadString("ReplaceWith", "")};
    }
    if (!store.KeyExists("Replace"))
        return;
    store.KeyPath = root + kPairsKey;
    Options.ReplaceCount = 0;
    Options.ReplacePairs.fill({});
    while (Options.ReplaceCount < MaxReplacePairs) {
        const std::string name = std::to_string(Options.ReplaceCount + 1);
        if (!store.ValueExists(name))
            break;
        const std::string pair = store.ReadString(name, "");
        const std::string exact = store.ReadString(kExactReplacePrefix + name, "");
        Options.ReplacePairs[static_cast<std::size_t>(Options.ReplaceCount)] =
            SplitPairText(pair, &exact, LonePairText::IsReplaceWith);
        ++Options.ReplaceCount;
    }
}

void TSettings::LoadSchemes(TSettingsStore& store) {
    store.KeyPath = RootKeyPath() + kSchemesKey;
    Schemas.Clear();
    for (const std::string& name : store.GetValueNames()) {
        SchemeEntry entry{name, {}};
        store.ReadData(name, entry.Text);
        Schemas.Add(std::move(entry));
    }
}

bool TSettings::Save() {
    if (storeUnread_)
        return false;
    TSettingsStore store(UserStorePath());
    store.Open(TSettingsStore::Access::Write);
    if (!store.IsOpen())
        return false;
    SaveGeneral(store);
    if (!ResetRenamingOptions)
        SaveOptions(store);
    SaveSchemes(store);
    return store.Close();
}

void TSettings::SaveGeneral(TSettingsStore& store) const {
    store.KeyPath = RootKeyPath();
    for (const GeneralField& field : kGeneralFields) {
        const std::string name(field.name);
        if (auto text = std::get_if<TextMember>(&field.member)) {
            const std::string fallback(field.textDefault);
            if (field.binary)
                store.WriteTextBytes(name, this->*(*text), fallback);
            else
                store.WriteString(name, this->*(*text), fallback);
        } else if (auto number = std::get_if<IntMember>(&field.member)) {
            store.WriteInteger(name, this->*(*number), field.numberDefault);
        } else {
            store.WriteBool(name, this->*std::get<FlagMember>(field.member),
                            field.numberDefault != 0);
        }
    }
}

void TSettings::SaveOptions(TSettingsStore& store) const {
    const std::string root = RootKeyPath();
    const RenameOptionSet defaults;
    store.KeyPath = root + kOptionsKey;
    for (const OptionField& field : OptionFields()) {
        const std::string name(field.name);
        if (auto flag = std::get_if<OptionFlag>(&field.member))
            store.WriteBool(name, Options.*(*flag), defaults.*(*flag));
        else if (auto number = std::get_if<OptionInt>(&field.member))
            store.WriteInteger(name, Options.*(*number), defaults.*(*number));
        else {
            const OptionText member = std::get<OptionText>(field.member);
            store.WriteString(name, Options.*member, defaults.*member);
        }
    }
    store.DeleteValue("Replace");
    store.DeleteValue("ReplaceWith");

    store.KeyPath = root + kPairsKey;
    const int count = std::clamp(Options.ReplaceCount, 0, MaxReplacePairs);
    for (int i = 0; i < count; ++i) {
        const ReplacePair& pair = Options.ReplacePairs[static_cast<std::size_t>(i)];
        const std::string name = std::to_string(i + 1);
        store.WriteString(name, JoinPairText(pair), "");
        if (NeedsExactReplace(pair))
            store.WriteString(kExactReplacePrefix + name, pair.Replace, "");
        else
            store.DeleteValue(kExactReplacePrefix + name);
    }
    // Values left from a longer list go, up to the first gap: what lies beyond a gap
    // was never read and is left alone.
    for (int i = count + 1; store.ValueExists(std::to_string(i)); ++i) {
        store.DeleteValue(std::to_string(i));
        store.DeleteValue(kExactReplacePrefix + std::to_string(i));
    }
}

void TSettings::SaveSchemes(TSettingsStore& store) const {
    store.KeyPath = RootKeyPath() + kSchemesKey;
    store.DeleteAllValues();
    for (int i = 0; i < Schemas.Count(); ++i) {
        const SchemeEntry& entry = Schemas.Items(i);
        store.WriteData(entry.Name, entry.Text);
    }
}

void TSettings::RegisterStart() {
    TSettingsStore store(UserStorePath());
    store.Open(TSettingsStore::Access::Write);
    countsUnread_ = !store.IsOpen();
    if (!store.IsOpen())
        return;
    store.KeyPath = RootKeyPath();
    ApplicationStarts = store.ReadInteger("ApplicationStarts", 0);
    ApplicationStarted = store.ReadBool("ApplicationStarted", false);
    ApplicationCrashes = store.ReadInteger("ApplicationCrashes", 0);
    // The program started twice: the mark of the instance still running is no crash.
    if (instanceLock_ < 0)
        instanceLock_ = ::open(InstanceLockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // Taken (shared) here in any case: that is what tells the next instance this one runs.
    const bool alone = AloneRunning();
    if (ApplicationStarted && alone) {
        ApplicationCrashes = Raised(ApplicationCrashes);
        store.WriteInteger("ApplicationCrashes", ApplicationCrashes, 0);
    }
    ApplicationStarted = true;
    store.WriteBool("ApplicationStarted", ApplicationStarted, false);
    ApplicationStarts = Raised(ApplicationStarts);
    store.WriteInteger("ApplicationStarts", ApplicationStarts, 0);
    store.Close();
}

void TSettings::RegisterExit() {
    // The stored mark and counts stay as they are; a crash mark left by an earlier run
    // is then counted at the next start, as it should be.
    if (countsUnread_)
        return;
    TSettingsStore store(UserStorePath());
    store.Open(TSettingsStore::Access::Write);
    if (!store.IsOpen())
        return;
    store.KeyPath = RootKeyPath();
    // Another instance may have counted its start since; counts only rise, so the larger
    // one keeps both (and a store emptied meanwhile gets ours back).
    ApplicationStarts = std::max(ApplicationStarts, store.ReadInteger("ApplicationStarts", 0));
    ApplicationCrashes = std::max(ApplicationCrashes, store.ReadInteger("ApplicationCrashes", 0));
    store.WriteInteger("ApplicationStarts", ApplicationStarts, 0);
    store.WriteInteger("ApplicationCrashes", ApplicationCrashes, 0);
    // The mark stays while another instance runs: it is that one's to clear, and should
    // it crash, the next start counts it.
    if (AloneRunning()) {
        ApplicationStarted = false;
        store.WriteBool("ApplicationStarted", ApplicationStarted, false);
    }
    store.Close();
    if (instanceLock_ >= 0)
        ::close(instanceLock_);
    instanceLock_ = -1;
}

std::string TSettings::InstanceLockPath() const {
    return UserStorePath() + (UseDevelopmentKey ? ".development-running" : ".running");
}

void TSettings::RegisterApplication() {
    TSettingsStore store(MachineStorePath(), /*quiet=*/true);
    store.Open(TSettingsStore::Access::Write);
    if (!store.IsOpen())
        return;
    store.KeyPath = RegistrationKey;
    store.PutString("Product", "Quillmark");
    store.PutString("Company", "Marlowick");
    store.PutString("Version",
                    LongVersionText(buildversion::Major, buildversion::Minor, buildversion::Build));
    store.PutString("Path", AppPath);
    store.PutString("ExeFile", ExecutableName());
    store.PutString("ClassName", "TApplication");
    store.PutString("WindowName", "Marlowick Quillmark");
    store.Close();
}

std::string TSettings::ExpandPath(const std::string& text) const {
    std::string result;
    std::string_view rest(text);
    for (std::size_t open = rest.find('%'); open != std::string_view::npos; open = rest.find('%')) {
        result.append(rest.substr(0, open));
        rest.remove_prefix(open + 1);
        const std::size_t close = rest.find('%');
        if (close == std::string_view::npos)
            break;
        const std::string name = UpperUtf8(rest.substr(0, close));
        rest.remove_prefix(close + 1);
        // Both folders go in without their final "/", so that "%APPPATH%/x" and
        // "%DOCUMENTPATH%/x" name the same kind of path.
        std::string folder;
        if (name == "APPPATH")
            folder = AppPath;
        else if (name == "DOCUMENTPATH")
            folder = DocumentsFolder();
        if (!folder.empty() && folder.back() == '/')
            folder.pop_back();
        result += folder;
    }
    result.append(rest);
    if (result.empty() || result.back() != '/')
        result += '/';
    return result;
}

void TSettings::Validate() {
    const std::string columns = UpperUtf8(Columns);
    const bool hasNameColumn = std::ranges::any_of(
        std::array<std::string_view, 4>{"NAME", "PATH", "NEWNAME", "PREVNAME"},
        [&](std::string_view column) { return columns.find(column) != std::string::npos; });
    if (!hasNameColumn)
        Columns = "Name," + Columns;

    for (std::int32_t* value :
         {&ColumnSortFieldIndex, &JournalKeepDays, &HistoryWidth, &HistoryHeight, &Options.RemoveFrontCount, &Options.RemoveAtPositionCount,
          &Options.RemoveAtPositionIndex, &Options.RemoveBackCount, &Options.InsertAtPositionIndex,
          &Options.NumberIncValue, &Options.NumberIncMinLength})
        *value = std::max(*value, 0);
}

} // namespace qm
