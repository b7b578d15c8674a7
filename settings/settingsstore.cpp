#include "settings/settingsstore.h"

#include "settings/esettings.h"

namespace qm {
namespace {

constexpr char kNotOpen[] = "The registry has not been opend";
constexpr char kNotOpenDeleteAll[] = "The registry has not has been opend";

} // namespace

TSettingsStore::TSettingsStore(std::string filePath, bool quiet)
    : filePath_(std::move(filePath)), quiet_(quiet) {}

TSettingsStore::~TSettingsStore() {
    Close();
}

void TSettingsStore::Open(Access access) {
    if (file_)
        return;
    auto file = TRegistryFile::Open(filePath_, access, quiet_);
    if (!file || !file->Begin(access == Access::Write))
        return;
    file_ = std::move(file);
    writeFailed_ = false;
    openKey_.reset();
    openKeyPath_.clear();
}

bool TSettingsStore::Close() {
    if (!file_)
        return true;
    bool committed = false;
    if (writeFailed_)
        file_->Rollback();
    else
        committed = file_->Commit();
    file_.reset();
    openKey_.reset();
    openKeyPath_.clear();
    return committed;
}

void TSettingsStore::RequireOpen(const char* message) const {
    if (!file_)
        throw ESettings(message);
}

bool TSettingsStore::Reach(bool create) {
    if (openKey_ && openKeyPath_ == KeyPath)
        return true;
    openKey_ = file_->FindKey(KeyPath);
    if (!openKey_ && create)
        openKey_ = file_->CreateKey(KeyPath);
    if (!openKey_) {
        if (create)
            writeFailed_ = true;
        openKeyPath_.clear();
        return false;
    }
    openKeyPath_ = KeyPath;
    return true;
}

bool TSettingsStore::KeyExists(const std::string& name) {
    RequireOpen(kNotOpen);
    return file_->FindKey(KeyPath + "\\" + name).has_value();
}

ValueLookup TSettingsStore::Lookup(const std::string& name) {
    if (!Reach(false))
        return {};
    return file_->GetValue(*openKey_, name);
}

bool TSettingsStore::ValueExists(const std::string& name) {
    RequireOpen(kNotOpen);
    return Lookup(name).result == LookupResult::Found;
}

std::vector<std::string> TSettingsStore::GetValueNames() {
    RequireOpen(kNotOpen);
    if (!Reach(false))
        return {};
    return file_->ValueNames(*openKey_).value_or(std::vector<std::string>{});
}

std::string TSettingsStore::ReadString(const std::string& name, const std::string& defaultValue) {
    RequireOpen(kNotOpen);
    const ValueLookup lookup = Lookup(name);
    if (lookup.result == LookupResult::Absent)
        return defaultValue;
    if (lookup.result == LookupResult::Found && lookup.value.kind == ValueKind::String)
        return lookup.value.bytes;
    return {};
}

std::int32_t TSettingsStore::ReadInteger(const std::string& name, std::int32_t defaultValue) {
    RequireOpen(kNotOpen);
    const ValueLookup lookup = Lookup(name);
    if (lookup.result == LookupResult::Absent)
        return defaultValue;
    if (lookup.result == LookupResult::Found && lookup.value.kind == ValueKind::Integer)
        return lookup.value.number;
    return 0;
}

bool TSettingsStore::ReadBool(const std::string& name, bool defaultValue) {
    RequireOpen(kNotOpen);
    const ValueLookup lookup = Lookup(name);
    if (lookup.result == LookupResult::Absent)
        return defaultValue;
    return lookup.result == LookupResult::Found && lookup.value.kind == ValueKind::Integer &&
           lookup.value.number != 0;
}

std::string TSettingsStore::ReadTextBytes(const std::string& name,
                                          const std::string& defaultValue) {
    RequireOpen(kNotOpen);
    const ValueLookup lookup = Lookup(name);
    if (lookup.result == LookupResult::Absent)
        return defaultValue;
    if (lookup.result != LookupResult::Found || lookup.value.kind != ValueKind::Binary)
        return {};
    return lookup.value.bytes.empty() ? defaultValue : lookup.value.bytes;
}

void TSettingsStore::ReadData(const std::string& name, std::string& data) {
    RequireOpen(kNotOpen);
    const ValueLookup lookup = Lookup(name);
    if (lookup.result == LookupResult::Found && lookup.value.kind == ValueKind::Binary)
        data = lookup.value.bytes;
}

bool TSettingsStore::ShouldWrite(const std::string& name, bool differs) {
    if (differs)
        return true;
    const ValueLookup lookup = Lookup(name);
    if (lookup.result == LookupResult::Failed)
        writeFailed_ = true;
    return lookup.result == LookupResult::Found;
}

void TSettingsStore::Put(const std::string& name, const StoredValue& value) {
    if (!Reach(true))
        return;
    if (!file_->SetValue(*openKey_, name, value))
        writeFailed_ = true;
}

void TSettingsStore::WriteString(const std::string& name, const std::string& value,
                                 const std::string& defaultValue) {
    RequireOpen(kNotOpen);
    if (ShouldWrite(name, value != defaultValue))
        Put(name, {ValueKind::String, value, 0});
}

void TSettingsStore::WriteInteger(const std::string& name, std::int32_t value,
                                  std::int32_t defaultValue) {
    RequireOpen(kNotOpen);
    if (ShouldWrite(name, value != defaultValue))
        Put(name, {ValueKind::Integer, {}, value});
}

void TSettingsStore::WriteBool(const std::string& name, bool value, bool defaultValue) {
    RequireOpen(kNotOpen);
    if (ShouldWrite(name, value != defaultValue))
        Put(name, {ValueKind::Integer, {}, value ? 1 : 0});
}

void TSettingsStore::WriteTextBytes(const std::string& name, const std::string& value,
                                    const std::string& defaultValue) {
    RequireOpen(kNotOpen);
    if (ShouldWrite(name, value != defaultValue))
        Put(name, {ValueKind::Binary, value, 0});
}

void TSettingsStore::WriteData(const std::string& name, std::string_view bytes) {
    RequireOpen(kNotOpen);
    Put(name, {ValueKind::Binary, std::string(bytes), 0});
}

void TSettingsStore::PutString(const std::string& name, const std::string& value) {
    RequireOpen(kNotOpen);
    Put(name, {ValueKind::String, value, 0});
}

void TSettingsStore::DeleteValue(const std::string& name) {
    RequireOpen(kNotOpen);
    if (Reach(false) && !file_->DeleteValue(*openKey_, name))
        writeFailed_ = true;
}

void TSettingsStore::DeleteAllValues() {
    RequireOpen(kNotOpenDeleteAll);
    if (Reach(false) && !file_->DeleteAllValues(*openKey_))
        writeFailed_ = true;
}

} // namespace qm
