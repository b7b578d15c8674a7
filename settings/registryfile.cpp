#include "settings/registryfile.h"

#include "settings/lettercase.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {
namespace {

// Long enough for another instance to finish a save, short enough that a stuck lock
// does not hold up start-up or shutdown for long.
constexpr int kBusyTimeoutMs = 8000;

constexpr const char* kCompanions[] = {"-journal", "-wal", "-shm"};

bool PathExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

void MakeFolders(const std::string& path) {
    // Every folder above the file; failures show up when the file is opened.
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), 0700);
}

// Renames without ever replacing an existing file.
bool MoveNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return false;
    // The file system lacks the flag; a small race with another process creating `to`
    // between the check and the rename remains.
    if (PathExists(to))
        return false;
    return std::rename(from.c_str(), to.c_str()) == 0;
}

std::string UtcStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
    return text;
}

// Moves a damaged store file aside together with its companions, so that no journal
// is ever left behind to be played back into the new, empty store. Returns the new
// name, or empty when the file could not be moved.
std::string MoveAside(const std::string& path) {
    const std::string base = path + ".broken-" + UtcStamp();
    std::string target;
    for (int n = 1; n <= 100 && target.empty(); ++n) {
        const std::string candidate = n == 1 ? base : base + "-" + std::to_string(n);
        if (MoveNoReplace(path, candidate))
            target = candidate;
        else if (errno != EEXIST && !PathExists(candidate))
            return {};
    }
    if (target.empty())
        return {};
    for (const char* suffix : kCompanions)
        if (PathExists(path + suffix))
            MoveNoReplace(path + suffix, target + suffix);
    return target;
}

bool CompanionsLeft(const std::string& path) {
    for (const char* suffix : kCompanions)
        if (PathExists(path + suffix))
            return true;
    return false;
}

enum class Health { Good, Broken, Unusable };

// A file that does not even begin like a database is judged before SQLite opens it:
// SQLite would otherwise look at (and delete) a journal beside it first, and a journal
// of a damaged file is moved aside with it, never lost.
bool LooksLikeDatabase(const std::string& path) {
    static constexpr char kMagic[] = "SQLite format 3";
    char header[sizeof kMagic] = {};
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return true; // missing or unreadable: SQLite decides
    const std::size_t got = std::fread(header, 1, sizeof header, file);
    std::fclose(file);
    return got == 0 || (got == sizeof header && std::memcmp(header, kMagic, sizeof kMagic) == 0);
}

Health CheckIntegrity(sqlite3* db) {
    sqlite3_stmt* stmt = nullptr;
    // The whole check, not the quick one: the quick one does not compare the indexes with
    // their tables, and a value missing from its index is then not found by name, so that
    // a load and a save of the store changed what it holds. A settings store is a few
    // pages; the whole check costs no more than the quick one there.
    int rc = sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr);
    bool allOk = true;
    int rows = 0;
    while (stmt && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        ++rows;
        const auto* text = sqlite3_column_text(stmt, 0);
        if (!text || std::strcmp(reinterpret_cast<const char*>(text), "ok") != 0)
            allOk = false;
    }
    sqlite3_finalize(stmt);
    const int primary = rc & 0xff;
    if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT)
        return Health::Broken;
    if (rc != SQLITE_DONE)
        return Health::Unusable;
    return allOk && rows > 0 ? Health::Good : Health::Broken;
}

std::optional<std::int64_t> QueryInt(sqlite3* db, const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    std::optional<std::int64_t> result;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        result = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return result;
}

bool ExecSql(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool Compiles(sqlite3* db, const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    const bool ok = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK;
    sqlite3_finalize(stmt);
    return ok;
}

// `fold` holds the upper-cased name, so that case twins meet in the unique index;
// `path` and `name` keep the spelling of the first write.
constexpr const char* kCreateLayout =
    "CREATE TABLE keys(id INTEGER PRIMARY KEY, path TEXT NOT NULL, fold TEXT NOT NULL UNIQUE);"
    "CREATE TABLE vals(id INTEGER PRIMARY KEY, key INTEGER NOT NULL REFERENCES keys(id),"
    " name TEXT NOT NULL, fold TEXT NOT NULL, kind INTEGER NOT NULL, data,"
    " UNIQUE(key, fold));"
    "PRAGMA user_version = 1;";

enum class Layout { Ready, Foreign, Newer, Failed };

// Brings the file to LayoutVersion. An empty file gets the layout; a file of an older
// layout would be migrated step by step here; a file from a newer program is left
// alone.
Layout PrepareLayout(sqlite3* db) {
    auto version = QueryInt(db, "PRAGMA user_version");
    if (!version)
        return Layout::Failed;
    if (*version > TRegistryFile::LayoutVersion)
        return Layout::Newer;
    if (*version == 0) {
        if (!ExecSql(db, "BEGIN IMMEDIATE"))
            return Layout::Failed;
        // Another instance may have laid the file out while this one waited.
        version = QueryInt(db, "PRAGMA user_version");
        auto tables = QueryInt(db, "SELECT count(*) FROM sqlite_master");
        if (!version || !tables) {
            ExecSql(db, "ROLLBACK");
            return Layout::Failed;
        }
        if (*version == 0 && *tables > 0) {
            ExecSql(db, "ROLLBACK");
            return Layout::Foreign;
        }
        if (*version == 0 && !ExecSql(db, kCreateLayout)) {
            ExecSql(db, "ROLLBACK");
            return Layout::Failed;
        }
        if (!ExecSql(db, "COMMIT")) {
            ExecSql(db, "ROLLBACK");
            return Layout::Failed;
        }
    }
    if (!Compiles(db, "SELECT id, path, fold FROM keys") ||
        !Compiles(db, "SELECT id, key, name, fold, kind, data FROM vals"))
        return Layout::Foreign;
    return Layout::Ready;
}

void Say(bool quiet, const std::string& line) {
    if (!quiet)
        std::fprintf(stderr, "quillmark: %s\n", line.c_str());
}

// "\\A\\\\B\\" and "A\\B" name the same key.
std::string NormalizeKeyPath(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (char c : path)
        if (c != '\\' || (!out.empty() && out.back() != '\\'))
            out += c;
    if (!out.empty() && out.back() == '\\')
        out.pop_back();
    return out;
}

} // namespace

std::unique_ptr<TRegistryFile> TRegistryFile::Open(const std::string& path, Access access,
                                                   bool quiet) {
    const bool exists = PathExists(path);
    if (!exists && access == Access::Read) {
        // Reading a store that was never written: an empty store in memory, so that
        // reading creates nothing on disk.
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
            !ExecSql(db, kCreateLayout)) {
            sqlite3_close(db);
            return nullptr;
        }
        return std::unique_ptr<TRegistryFile>(new TRegistryFile(db));
    }
    if (!exists)
        MakeFolders(path);

    for (int attempt = 0; attempt < 2; ++attempt) {
        if (CompanionsLeft(path) && !PathExists(path)) {
            // A journal whose database is gone must not meet the new file (SQLite would
            // delete it, or worse, play it back); it is kept aside like a damaged store.
            const std::string orphan = path + ".orphan-" + UtcStamp();
            for (const char* suffix : kCompanions)
                if (PathExists(path + suffix))
                    MoveNoReplace(path + suffix, orphan + suffix);
            if (CompanionsLeft(path)) {
                Say(quiet, "the settings store " + path +
                               " has a journal but no database, and the journal could not "
                               "be moved aside; using default settings");
                return nullptr;
            }
            std::fprintf(stderr,
                         "quillmark: the settings store %s was missing but its journal was "
                         "left; moved the journal aside as %s-*\n",
                         path.c_str(), orphan.c_str());
        }
        sqlite3* db = nullptr;
        const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
        if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
            sqlite3_close(db);
            return nullptr;
        }
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_timeout(db, kBusyTimeoutMs);

        Health health = LooksLikeDatabase(path) ? CheckIntegrity(db) : Health::Broken;
        Layout layout = Layout::Failed;
        if (health == Health::Good) {
            // Rollback journal: safe on network home folders, unlike write-ahead logs.
            ExecSql(db, "PRAGMA journal_mode=DELETE");
            ExecSql(db, "PRAGMA synchronous=FULL");
            layout = PrepareLayout(db);
            if (layout == Layout::Foreign)
                health = Health::Broken;
        }
        if (health == Health::Good && layout == Layout::Ready)
            return std::unique_ptr<TRegistryFile>(new TRegistryFile(db));
        sqlite3_close(db);

        if (layout == Layout::Newer) {
            // Once per run is enough: every later open finds the same file.
            static bool said = false;
            Say(quiet || said, "the settings store " + path +
                                   " was written by a newer version; settings are neither "
                                   "loaded nor saved");
            said = true;
            return nullptr;
        }
        if (health != Health::Broken)
            return nullptr; // locked or unreadable: try again at the next operation
        const std::string movedTo = MoveAside(path);
        if (movedTo.empty() || CompanionsLeft(path)) {
            Say(quiet, "the settings store " + path +
                           " is damaged and could not be moved aside; using default settings");
            return nullptr;
        }
        // Said even for the machine-wide store: a file was moved, the user should know.
        std::fprintf(stderr,
                     "quillmark: the settings store %s was damaged; moved it to %s and "
                     "started with default settings\n",
                     path.c_str(), movedTo.c_str());
    }
    return nullptr;
}

TRegistryFile::TRegistryFile(sqlite3* db) : db_(db) {}

TRegistryFile::~TRegistryFile() {
    for (auto& [sql, stmt] : statements_)
        sqlite3_finalize(stmt);
    if (!sqlite3_get_autocommit(db_))
        ExecSql(db_, "ROLLBACK");
    sqlite3_close(db_);
}

sqlite3_stmt* TRegistryFile::Prepare(const char* sql) {
    for (auto& [text, stmt] : statements_)
        if (text == sql) {
            sqlite3_reset(stmt);
            sqlite3_clear_bindings(stmt);
            return stmt;
        }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return nullptr;
    }
    statements_.emplace_back(sql, stmt);
    return stmt;
}

bool TRegistryFile::Exec(const char* sql) {
    return ExecSql(db_, sql);
}

bool TRegistryFile::Begin(bool forWriting) {
    return Exec(forWriting ? "BEGIN IMMEDIATE" : "BEGIN");
}

bool TRegistryFile::Commit() {
    if (sqlite3_get_autocommit(db_))
        return true;
    if (Exec("COMMIT"))
        return true;
    Rollback();
    return false;
}

void TRegistryFile::Rollback() {
    if (!sqlite3_get_autocommit(db_))
        Exec("ROLLBACK");
}

std::optional<std::int64_t> TRegistryFile::FindKey(std::string_view path) {
    static constexpr const char kSql[] = "SELECT id FROM keys WHERE fold = ?1";
    sqlite3_stmt* stmt = Prepare(kSql);
    if (!stmt)
        return std::nullopt;
    const std::string fold = UpperUtf8(NormalizeKeyPath(path));
    sqlite3_bind_text(stmt, 1, fold.data(), static_cast<int>(fold.size()), SQLITE_TRANSIENT);
    std::optional<std::int64_t> id;
    if (sqlite3_step(stmt) == SQLITE_ROW)
        id = sqlite3_column_int64(stmt, 0);
    sqlite3_reset(stmt);
    return id;
}

std::optional<std::int64_t> TRegistryFile::CreateKey(std::string_view path) {
    static constexpr const char kSql[] =
        "INSERT INTO keys(path, fold) VALUES(?1, ?2) ON CONFLICT(fold) DO NOTHING";
    const std::string full = NormalizeKeyPath(path);
    std::size_t end = 0;
    do {
        end = full.find('\\', end == 0 ? 0 : end + 1);
        const std::string prefix = full.substr(0, end);
        sqlite3_stmt* stmt = Prepare(kSql);
        if (!stmt)
            return std::nullopt;
        const std::string fold = UpperUtf8(prefix);
        sqlite3_bind_text(stmt, 1, prefix.data(), static_cast<int>(prefix.size()),
                          SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 2, fold.data(), static_cast<int>(fold.size()), SQLITE_TRANSIENT);
        const int rc = sqlite3_step(stmt);
        sqlite3_reset(stmt);
        if (rc != SQLITE_DONE)
            return std::nullopt;
    } while (end != std::string::npos);
    return FindKey(full);
}

ValueLookup TRegistryFile::GetValue(std::int64_t key, std::string_view name) {
    static constexpr const char kSql[] = "SELECT kind, data FROM vals WHERE key = ?1 AND fold = ?2";
    ValueLookup lookup;
    sqlite3_stmt* stmt = Prepare(kSql);
    if (!stmt) {
        lookup.result = LookupResult::Failed;
        return lookup;
    }
    const std::string fold = UpperUtf8(name);
    sqlite3_bind_int64(stmt, 1, key);
    sqlite3_bind_text(stmt, 2, fold.data(), static_cast<int>(fold.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        lookup.result = LookupResult::Found;
        const auto kind = sqlite3_column_int(stmt, 0);
        StoredValue& value = lookup.value;
        if (kind == static_cast<int>(ValueKind::Integer)) {
            const std::int64_t number = sqlite3_column_int64(stmt, 1);
            value.kind =
                number >= INT32_MIN && number <= INT32_MAX ? ValueKind::Integer : ValueKind::Other;
            value.number = static_cast<std::int32_t>(number);
        } else if (kind == static_cast<int>(ValueKind::String) ||
                   kind == static_cast<int>(ValueKind::Binary)) {
            value.kind = static_cast<ValueKind>(kind);
            const void* data = sqlite3_column_blob(stmt, 1);
            const int size = sqlite3_column_bytes(stmt, 1);
            if (data && size > 0)
                value.bytes.assign(static_cast<const char*>(data), static_cast<std::size_t>(size));
        } else {
            value.kind = ValueKind::Other;
        }
    } else if (rc != SQLITE_DONE) {
        lookup.result = LookupResult::Failed;
    }
    sqlite3_reset(stmt);
    return lookup;
}

bool TRegistryFile::SetValue(std::int64_t key, std::string_view name, const StoredValue& value) {
    static constexpr const char kSql[] =
        "INSERT INTO vals(key, name, fold, kind, data) VALUES(?1, ?2, ?3, ?4, ?5)"
        " ON CONFLICT(key, fold) DO UPDATE SET kind = excluded.kind, data = excluded.data";
    sqlite3_stmt* stmt = Prepare(kSql);
    if (!stmt)
        return false;
    const std::string fold = UpperUtf8(name);
    sqlite3_bind_int64(stmt, 1, key);
    sqlite3_bind_text(stmt, 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 3, fold.data(), static_cast<int>(fold.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(stmt, 4, static_cast<int>(value.kind));
    if (value.kind == ValueKind::Integer)
        sqlite3_bind_int(stmt, 5, value.number);
    else if (value.bytes.empty())
        sqlite3_bind_zeroblob(stmt, 5, 0);
    else
        sqlite3_bind_blob64(stmt, 5, value.bytes.data(), value.bytes.size(), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    return rc == SQLITE_DONE;
}

bool TRegistryFile::DeleteValue(std::int64_t key, std::string_view name) {
    static constexpr const char kSql[] = "DELETE FROM vals WHERE key = ?1 AND fold = ?2";
    sqlite3_stmt* stmt = Prepare(kSql);
    if (!stmt)
        return false;
    const std::string fold = UpperUtf8(name);
    sqlite3_bind_int64(stmt, 1, key);
    sqlite3_bind_text(stmt, 2, fold.data(), static_cast<int>(fold.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    return rc == SQLITE_DONE;
}

bool TRegistryFile::DeleteAllValues(std::int64_t key) {
    static constexpr const char kSql[] = "DELETE FROM vals WHERE key = ?1";
    sqlite3_stmt* stmt = Prepare(kSql);
    if (!stmt)
        return false;
    sqlite3_bind_int64(stmt, 1, key);
    const int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    return rc == SQLITE_DONE;
}

std::optional<std::vector<std::string>> TRegistryFile::ValueNames(std::int64_t key) {
    static constexpr const char kSql[] = "SELECT name FROM vals WHERE key = ?1 ORDER BY id";
    sqlite3_stmt* stmt = Prepare(kSql);
    if (!stmt)
        return std::nullopt;
    sqlite3_bind_int64(stmt, 1, key);
    std::vector<std::string> names;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const auto* text = sqlite3_column_text(stmt, 0);
        names.emplace_back(text ? reinterpret_cast<const char*>(text) : "",
                           static_cast<std::size_t>(sqlite3_column_bytes(stmt, 0)));
    }
    sqlite3_reset(stmt);
    if (rc != SQLITE_DONE)
        return std::nullopt;
    return names;
}

} // namespace qm
