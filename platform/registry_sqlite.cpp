#include "platform/registry_sqlite.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>

#include "platform/regular_file.h"

namespace quillet {

namespace {

constexpr int kBusyTimeoutMs = 5000;
constexpr std::int64_t kRootKeyId = 0;  // HKEY_LOCAL_MACHINE itself

// NOCASE folds ASCII letters only, which is all the registry's own names need.
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS reg_keys("
    "  id INTEGER PRIMARY KEY,"
    "  parent INTEGER NOT NULL,"
    "  name TEXT NOT NULL COLLATE NOCASE,"
    "  UNIQUE(parent, name));"
    "CREATE TABLE IF NOT EXISTS reg_values("
    "  key INTEGER NOT NULL,"
    "  name TEXT NOT NULL COLLATE NOCASE,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"
    "  PRIMARY KEY(key, name));";

// A prepared statement, finalized on every path.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
            stmt_ = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return stmt_ != nullptr; }
    sqlite3_stmt* get() const { return stmt_; }

    void Bind(int index, std::int64_t value) { sqlite3_bind_int64(stmt_, index, value); }
    void Bind(int index, const std::string& text) {
        sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    }
    void BindBlob(int index, const std::uint8_t* data, std::uint32_t size) {
        // A zero-length blob must still be a blob, not NULL.
        static const std::uint8_t kNothing = 0;
        sqlite3_bind_blob(stmt_, index, size != 0 ? data : &kNothing, static_cast<int>(size),
                          SQLITE_TRANSIENT);
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step() { return stmt_ != nullptr ? sqlite3_step(stmt_) : SQLITE_ERROR; }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

bool Execute(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Rolls back unless committed, so that a change is all or nothing.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : db_(db), open_(Execute(db, "BEGIN IMMEDIATE")) {}
    ~Transaction() {
        if (open_) {
            Execute(db_, "ROLLBACK");
        }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool Begun() const { return open_; }
    bool Commit() {
        open_ = !Execute(db_, "COMMIT");
        return !open_;
    }

private:
    sqlite3* db_;
    bool open_;
};

bool ValidName(const std::string& name) {
    return name.find('\0') == std::string::npos;
}

std::vector<std::string> SplitKeyPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\') {
            if (!part.empty()) {
                parts.push_back(std::move(part));
                part.clear();
            }
        } else {
            part += c;
        }
    }
    if (!part.empty()) {
        parts.push_back(std::move(part));
    }
    return parts;
}

// Looked at without waiting and without following a link.
bool IsRegularFileOrMissing(const std::string& path) {
    // Other failures (a missing file, no right to read) SQLite meets in turn,
    // and fails on without waiting.
    return OpenRegularFile(path, Links::NotFollowed) ||
           (errno != ELOOP && errno != ENXIO && errno != EINVAL);
}

// SQLite refuses a symbolic link anywhere in a path it opens with NOFOLLOW.
// Only the file's own name matters here: a printer administrator may replace
// it with a link, which must never be followed, while the folders above it
// are root's. So the folder is resolved first and the name kept as it is.
std::string WithFolderResolved(const std::string& path) {
    const std::filesystem::path file(path);
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::canonical(
        file.has_parent_path() ? file.parent_path() : std::filesystem::path("."), error);
    return error ? path : (folder / file.filename()).string();
}

SqliteConnection OpenDatabase(const std::string& path, int flags) {
    if (!StoreIsRegularFile(path)) {
        return nullptr;
    }
    sqlite3* opened = nullptr;
    const int result = sqlite3_open_v2(WithFolderResolved(path).c_str(), &opened,
                                       flags | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW, nullptr);
    // SQLite hands back a connection to close even when the open fails.
    SqliteConnection db(opened);
    if (result != SQLITE_OK) {
        return nullptr;
    }
    sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
    return db;
}

// Root passes every permission check, so for root a file or folder with no
// write bit at all counts as read-only: what was made read-only stays so for
// everyone.
bool Writable(const std::string& path, int access) {
    if (::faccessat(AT_FDCWD, path.c_str(), access, AT_EACCESS) != 0) {
        return false;
    }
    struct stat status {};
    return ::geteuid() != 0 || (::stat(path.c_str(), &status) == 0 && (status.st_mode & 0222) != 0);
}

// SQLite quietly falls back to reading when the file cannot be written, and
// it writes its journal next to the file, so a change needs the file (when it
// exists) and its folder to be writable.
bool MayWrite(const std::string& path) {
    std::error_code error;
    const std::filesystem::path file = std::filesystem::weakly_canonical(path, error);
    if (error) {
        return false;
    }
    const std::string folder = file.has_parent_path() ? file.parent_path().string() : ".";
    const bool exists = ::faccessat(AT_FDCWD, path.c_str(), F_OK, AT_EACCESS) == 0;
    return (!exists || Writable(path, W_OK)) && Writable(folder, W_OK | X_OK);
}

// The id of the child key `name` of `parent`, or -1 when there is none.
std::int64_t FindChild(sqlite3* db, std::int64_t parent, const std::string& name) {
    Statement find(db, "SELECT id FROM reg_keys WHERE parent = ?1 AND name = ?2");
    find.Bind(1, parent);
    find.Bind(2, name);
    return find.Step() == SQLITE_ROW ? sqlite3_column_int64(find.get(), 0) : -1;
}

std::int64_t FindKey(sqlite3* db, const std::vector<std::string>& parts) {
    std::int64_t id = kRootKeyId;
    for (const std::string& part : parts) {
        id = FindChild(db, id, part);
        if (id < 0) {
            return -1;
        }
    }
    return id;
}

}  // namespace

bool StoreIsRegularFile(const std::string& path) {
    for (const char* companion : {"", "-journal", "-wal", "-shm"}) {
        if (!IsRegularFileOrMissing(path + companion)) {
            return false;
        }
    }
    return true;
}

std::string DefaultRegistryPath() {
    return QUILLET_REGISTRY_DB;
}

std::string RegistryPath(const std::string& buildDefault) {
    const char* fromEnvironment = std::getenv("QUILLET_REGISTRY_DB");
    return fromEnvironment != nullptr && *fromEnvironment != '\0' ? fromEnvironment : buildDefault;
}

void SqliteCloser::operator()(sqlite3* db) const {
    sqlite3_close(db);
}

SqliteRegistry::SqliteRegistry(std::string databasePath) : path_(std::move(databasePath)) {}

SqliteRegistry::~SqliteRegistry() = default;

SqliteRegistry::OpenedKey* SqliteRegistry::Find(RegistryKey key) {
    auto found = open_.find(key);
    return found == open_.end() ? nullptr : &found->second;
}

bool SqliteRegistry::OpenKey(const std::string& path, RegistryAccess access, RegistryKey& key) {
    if (!ValidName(path) || !ValidName(path_)) {
        return false;
    }
    const bool writing = access == RegistryAccess::Write;
    if (writing && !MayWrite(path_)) {
        return false;
    }
    SqliteConnection db =
        OpenDatabase(path_, writing ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY);
    if (!db || (writing && sqlite3_db_readonly(db.get(), "main") != 0)) {
        return false;
    }
    const std::int64_t id = FindKey(db.get(), SplitKeyPath(path));
    if (id < 0) {
        return false;
    }
    key = next_++;
    open_[key] = OpenedKey{std::move(db), id, access};
    return true;
}

bool SqliteRegistry::QueryValue(RegistryKey key, const std::string& valueName, std::uint32_t& type,
                                std::uint8_t* data, std::uint32_t& size) {
    OpenedKey* opened = Find(key);
    if (opened == nullptr || !ValidName(valueName)) {
        return false;
    }
    Statement query(opened->db.get(),
                    "SELECT type, data FROM reg_values WHERE key = ?1 AND name = ?2");
    query.Bind(1, opened->id);
    query.Bind(2, valueName);
    if (query.Step() != SQLITE_ROW) {
        return false;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(query.get(), 1));
    const int length = sqlite3_column_bytes(query.get(), 1);
    if (length < 0 || static_cast<std::uint32_t>(length) > size) {
        return false;
    }
    if (length > 0) {
        std::memcpy(data, bytes, static_cast<std::size_t>(length));
    }
    type = static_cast<std::uint32_t>(sqlite3_column_int64(query.get(), 0));
    size = static_cast<std::uint32_t>(length);
    return true;
}

bool SqliteRegistry::SetValue(RegistryKey key, const std::string& valueName, std::uint32_t type,
                              const std::uint8_t* data, std::uint32_t size) {
    OpenedKey* opened = Find(key);
    if (opened == nullptr || opened->access != RegistryAccess::Write || !ValidName(valueName) ||
        (data == nullptr && size != 0)) {
        return false;
    }
    // An update in place keeps the value's place among the key's values.
    Statement set(
        opened->db.get(),
        "INSERT INTO reg_values(key, name, type, data) VALUES(?1, ?2, ?3, ?4) "
        "ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, data = excluded.data");
    set.Bind(1, opened->id);
    set.Bind(2, valueName);
    set.Bind(3, static_cast<std::int64_t>(type));
    set.BindBlob(4, data, size);
    return set.Step() == SQLITE_DONE;
}

void SqliteRegistry::CloseKey(RegistryKey key) {
    open_.erase(key);
}

bool SqliteRegistry::CreateKey(const std::string& path) {
    if (!ValidName(path) || !ValidName(path_) || !MayWrite(path_)) {
        return false;
    }
    const SqliteConnection db = OpenDatabase(path_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (!db) {
        return false;
    }
    Transaction change(db.get());
    if (!change.Begun() || !Execute(db.get(), kSchema)) {
        return false;
    }
    std::int64_t id = kRootKeyId;
    for (const std::string& part : SplitKeyPath(path)) {
        std::int64_t child = FindChild(db.get(), id, part);
        if (child < 0) {
            Statement insert(db.get(), "INSERT INTO reg_keys(parent, name) VALUES(?1, ?2)");
            insert.Bind(1, id);
            insert.Bind(2, part);
            if (insert.Step() != SQLITE_DONE) {
                return false;
            }
            child = sqlite3_last_insert_rowid(db.get());
        }
        id = child;
    }
    return change.Commit();
}

bool SqliteRegistry::DeleteKey(const std::string& path) {
    const std::vector<std::string> parts = SplitKeyPath(path);
    if (!ValidName(path) || parts.empty() || !MayWrite(path_)) {
        return false;  // HKEY_LOCAL_MACHINE itself is never deleted
    }
    const SqliteConnection db = OpenDatabase(path_, SQLITE_OPEN_READWRITE);
    if (!db) {
        return false;
    }
    Transaction change(db.get());
    const std::int64_t id = change.Begun() ? FindKey(db.get(), parts) : -1;
    if (id <= kRootKeyId) {
        return false;
    }
    // UNION, not UNION ALL: the walk ends on any file, even one whose keys
    // form a loop; such a file is then refused, not changed.
    const std::string below =
        "WITH RECURSIVE below(id) AS (SELECT ?1 UNION "
        "SELECT k.id FROM reg_keys k JOIN below ON k.parent = below.id) ";
    Statement tree(db.get(), (below + "SELECT (SELECT count(*) FROM reg_keys WHERE id IN below "
                                      "AND parent IN below) = (SELECT count(*) FROM below) - 1")
                                 .c_str());
    tree.Bind(1, id);
    Statement values(db.get(), (below + "DELETE FROM reg_values WHERE key IN below").c_str());
    values.Bind(1, id);
    Statement keys(db.get(), (below + "DELETE FROM reg_keys WHERE id IN below").c_str());
    keys.Bind(1, id);
    const bool isTree = tree.Step() == SQLITE_ROW && sqlite3_column_int(tree.get(), 0) == 1;
    sqlite3_reset(tree.get());
    return isTree && values.Step() == SQLITE_DONE && keys.Step() == SQLITE_DONE && change.Commit();
}

bool SqliteRegistry::DeleteValue(RegistryKey key, const std::string& valueName) {
    OpenedKey* opened = Find(key);
    if (opened == nullptr || opened->access != RegistryAccess::Write || !ValidName(valueName)) {
        return false;
    }
    Statement remove(opened->db.get(), "DELETE FROM reg_values WHERE key = ?1 AND name = ?2");
    remove.Bind(1, opened->id);
    remove.Bind(2, valueName);
    return remove.Step() == SQLITE_DONE && sqlite3_changes(opened->db.get()) == 1;
}

bool SqliteRegistry::EnumValues(RegistryKey key, std::vector<RegistryValueData>& values) {
    OpenedKey* opened = Find(key);
    if (opened == nullptr) {
        return false;
    }
    Statement list(opened->db.get(),
                   "SELECT name, type, data FROM reg_values WHERE key = ?1 ORDER BY rowid");
    list.Bind(1, opened->id);
    values.clear();
    int step = SQLITE_ROW;
    while ((step = list.Step()) == SQLITE_ROW) {
        RegistryValueData value;
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(list.get(), 0));
        value.name.assign(name, static_cast<std::size_t>(sqlite3_column_bytes(list.get(), 0)));
        value.type = static_cast<std::uint32_t>(sqlite3_column_int64(list.get(), 1));
        const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(list.get(), 2));
        if (bytes != nullptr) {
            value.bytes.assign(bytes, bytes + sqlite3_column_bytes(list.get(), 2));
        }
        values.push_back(std::move(value));
    }
    return step == SQLITE_DONE;
}

bool SqliteRegistry::EnumSubkeys(RegistryKey key, std::vector<std::string>& names) {
    OpenedKey* opened = Find(key);
    if (opened == nullptr) {
        return false;
    }
    Statement list(opened->db.get(), "SELECT name FROM reg_keys WHERE parent = ?1 ORDER BY name");
    list.Bind(1, opened->id);
    names.clear();
    int step = SQLITE_ROW;
    while ((step = list.Step()) == SQLITE_ROW) {
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(list.get(), 0));
        names.emplace_back(name, static_cast<std::size_t>(sqlite3_column_bytes(list.get(), 0)));
    }
    return step == SQLITE_DONE;
}

}  // namespace quillet
