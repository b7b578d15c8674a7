#pragma once

// One store file of typed values under backslash-separated key paths, kept in SQLite.
//
// Key paths and value names compare without regard to letter case; the spelling of
// the first write is kept. Values enumerate in the order they were created. Every
// change happens inside a transaction that Commit makes durable as a whole, so a
// process killed at any moment leaves the file as it was before the transaction or
// as it is after it.
//
// A TRegistryFile owns one SQLite connection. Use it from one thread; several
// processes (or several objects in one process) may use the same file at once:
// BeginWrite waits a few seconds for another writer to finish.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace qm {

enum class ValueKind : int {
    Other = 0,   // a kind this program does not write; reads as another kind
    String = 1,  // text bytes
    Binary = 3,  // raw bytes
    Integer = 4, // a signed 32-bit number
};

struct StoredValue {
    ValueKind kind = ValueKind::String;
    std::string bytes;       // String and Binary
    std::int32_t number = 0; // Integer
};

enum class LookupResult { Absent, Found, Failed };

struct ValueLookup {
    LookupResult result = LookupResult::Absent;
    StoredValue value; // meaningful when Found
};

class TRegistryFile {
public:
    enum class Access {
        Read,  // a missing file reads as an empty store and is not created
        Write, // the folder and the file are created when missing
    };

    // The version of the layout this program writes (kept in PRAGMA user_version).
    static constexpr int LayoutVersion = 1;

    // Opens the store file at `path`. A file that is not a store or is damaged is moved
    // aside (with its journal) as "<path>.broken-<UTC time>", one line on stderr says
    // so, and an empty store takes its place. Returns nullptr when the store cannot be
    // used (unusable folder, a file from a newer program version, a lock that does not
    // end); `quiet` suppresses the line about such failures.
    static std::unique_ptr<TRegistryFile> Open(const std::string& path, Access access,
                                               bool quiet = false);

    ~TRegistryFile(); // rolls back an uncommitted transaction
    TRegistryFile(const TRegistryFile&) = delete;
    TRegistryFile& operator=(const TRegistryFile&) = delete;

    // Starts a transaction: a reading one sees one consistent state of the file; a
    // writing one holds off other writers until Commit or Rollback.
    bool Begin(bool forWriting);
    bool Commit(); // false (and rolled back) when the changes did not reach the file
    void Rollback();

    // Key paths: names joined by "\"; a leading or trailing "\" is ignored.
    std::optional<std::int64_t> FindKey(std::string_view path);
    // Finds or creates the key and every key above it.
    std::optional<std::int64_t> CreateKey(std::string_view path);

    ValueLookup GetValue(std::int64_t key, std::string_view name);
    bool SetValue(std::int64_t key, std::string_view name, const StoredValue& value);
    // True when the value is gone (also when it was never there).
    bool DeleteValue(std::int64_t key, std::string_view name);
    bool DeleteAllValues(std::int64_t key);
    // The names in creation order; nullopt when the query failed.
    std::optional<std::vector<std::string>> ValueNames(std::int64_t key);

private:
    explicit TRegistryFile(sqlite3* db);
    sqlite3_stmt* Prepare(const char* sql);
    bool Exec(const char* sql);

    sqlite3* db_;
    std::vector<std::pair<const char*, sqlite3_stmt*>> statements_;
};

} // namespace qm
