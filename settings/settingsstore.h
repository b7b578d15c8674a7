#pragma once

// The store operations the settings object works with: one store file, one open key
// at a time (`KeyPath`), typed reads that fall back to defaults and writes that keep
// the file small.
//
// Reads give the stored value when it exists and the default otherwise; a value of
// another kind, or a failed read, gives 0, false or an empty text. A rule-bound write
// writes only when the value already exists or differs from its default, and creates
// its key only then. Failed writes are swallowed; the transaction they belong to is
// then rolled back at Close, so the file never holds half of what one Open..Close
// wrote.
//
// Every operation but Open and Close throws ESettings while the store is not open.
// Owned by its user; one thread; the connection lives from Open to Close only.

#include "settings/registryfile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

class TSettingsStore {
public:
    // Read: one consistent view, and a missing file reads as empty and is not created.
    // Write: other writers wait until Close; the file is created when missing.
    using Access = TRegistryFile::Access;

    // `filePath` is the store file; `quiet` keeps failures to open it off stderr.
    explicit TSettingsStore(std::string filePath, bool quiet = false);
    ~TSettingsStore(); // a store still open is closed (and its changes kept)
    TSettingsStore(const TSettingsStore&) = delete;
    TSettingsStore& operator=(const TSettingsStore&) = delete;

    // The key the next operation works in: names joined by "\".
    std::string KeyPath;

    bool IsOpen() const { return file_ != nullptr; }
    const std::string& FilePath() const { return filePath_; }

    // Connects to the store and starts one transaction; nothing when already open. On
    // failure IsOpen stays false.
    void Open(Access access = Access::Read);
    // Ends the transaction and drops the connection. Returns true when everything
    // written since Open reached the file (true as well when nothing was written or
    // the store was not open).
    bool Close();

    bool KeyExists(const std::string& name);
    bool ValueExists(const std::string& name);
    // In the order the values were created; empty when the key does not exist.
    std::vector<std::string> GetValueNames();

    std::string ReadString(const std::string& name, const std::string& defaultValue);
    std::int32_t ReadInteger(const std::string& name, std::int32_t defaultValue);
    bool ReadBool(const std::string& name, bool defaultValue);
    // A binary value as text; an empty binary value counts as absent.
    std::string ReadTextBytes(const std::string& name, const std::string& defaultValue);
    // Sets `data` to the bytes of the binary value when it exists; leaves it otherwise.
    void ReadData(const std::string& name, std::string& data);

    void WriteString(const std::string& name, const std::string& value,
                     const std::string& defaultValue);
    void WriteInteger(const std::string& name, std::int32_t value, std::int32_t defaultValue);
    void WriteBool(const std::string& name, bool value, bool defaultValue);
    void WriteTextBytes(const std::string& name, const std::string& value,
                        const std::string& defaultValue);
    // Always writes, creating the key when needed.
    void WriteData(const std::string& name, std::string_view bytes);
    // Always writes a string value, creating the key when needed.
    void PutString(const std::string& name, const std::string& value);

    void DeleteValue(const std::string& name);
    void DeleteAllValues();

private:
    void RequireOpen(const char* message) const;
    // Makes KeyPath the open key. Returns false (and leaves no key open) when the key
    // does not exist and `create` is false, or when it cannot be made.
    bool Reach(bool create);
    ValueLookup Lookup(const std::string& name);
    void Put(const std::string& name, const StoredValue& value);
    // The write rule: only an existing value or one that differs from its default.
    bool ShouldWrite(const std::string& name, bool differs);

    std::string filePath_;
    bool quiet_;
    std::unique_ptr<TRegistryFile> file_;
    bool writeFailed_ = false;
    std::optional<std::int64_t> openKey_;
    std::string openKeyPath_;
};

} // namespace qm
