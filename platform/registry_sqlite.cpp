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
    Statement(sqlite3* db, const char* sql)
        : prepared_(sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr)) {
        if (prepared_ != SQLITE_OK) {
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
    // SQLITE_ROW, SQLITE_DONE or an error code, the prepare's among them.
    int Step() { return stmt_ != nullptr ? sqlite3_step(stmt_) : prepared_; }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int prepared_;
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

// Why SQLite's `result` on `db` failed the call.
RegistryError ErrorOf(int result, sqlite3* db) {
    switch (result & 0xff) {
        case SQLITE_DONE:  // no row: no such key
        // Only a store without the registry's tables fails the prepare of
        // this file's statements: it holds no key.
        case SQLITE_ERROR:
            return RegistryError::NotFound;
        case SQLITE_CANTOPEN:
            switch (db != nullptr ? sqlite3_system_errno(db) : 0) {
                case ENOENT:
                case ENOTDIR:
                    return RegistryError::NotFound;
                case EACCES:
                case EPERM:
                case EROFS:
                    return RegistryError::AccessDenied;
                default:
                    return RegistryError::Failed;
            }
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return RegistryError::AccessDenied;
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
            return RegistryError::BadStore;
        default:
            return RegistryError::Failed;
    }
}

// The connection, or none with `error` set.
SqliteConnection OpenDatabase(const std::string& path, int flags, RegistryError& error) {
    if (!StoreIsRegularFile(path)) {
        error = RegistryError::BadStore;
        return nullptr;
    }
    sqlite3* opened = nullptr;
    const int result = sqlite3_open_v2(WithFolderResolved(path).c_str(), &opened,
                                       flags | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW, nullptr);
    // SQLite hands back a connection to close even when the open fails.
    SqliteConnection db(opened);
    if (result != SQLITE_OK) {
        error = ErrorOf(result, db.get());
        return nullptr;
    }
    sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
    return db;
}

// Root passes every permission check, so for root a file or folder with no
// write bit at all counts as read-only: what was made read-only stays so for
// everyone.
// None when writable, else why not.
RegistryError Writable(const std::string& path, int access) {
    if (::faccessat(AT_FDCWD, path.c_str(), access, AT_EACCESS) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? RegistryError::NotFound
                                                   : RegistryError::AccessDenied;
    }
    struct stat status {};
    const bool writeBit = ::stat(path.c_str(), &status) == 0 && (status.st_mode & 0222) != 0;
    return ::geteuid() != 0 || writeBit ? RegistryError::None : RegistryError::AccessDenied;
}

// SQLite quietly falls back to reading when the file cannot be written, and
// it writes its journal next to the file, so a change needs the file (when it
// exists) and its folder to be writable. None when they are, else why not.
RegistryError WriteRefusal(const std::string& path) {
    std::error_code error;
    const std::filesystem::path file = std::filesystem::weakly_canonical(path, error);
    if (error) {
        return RegistryError::Failed;
    }
    const std::string folder = file.has_parent_path() ? file.parent_path().string() : ".";
    const bool exists = ::faccessat(AT_FDCWD, path.c_str(), F_OK, AT_EACCESS) == 0;
    const RegistryError fileRefusal = exists ? Writable(path, W_OK) : RegistryError::None;
    return fileRefusal != RegistryError::None ? fileRefusal : Writable(folder, W_OK | X_OK);
}

// The id of the child key `name` of `parent`; -1 when there is none
// (`result` SQLITE_DONE) or SQLite failed (`result` its error).
std::int64_t FindChild(sqlite3* db, std::int64_t parent, const std::string& name, int& result) {
    Statement find(db, "SELECT id FROM reg_keys WHERE parent = ?1 AND name = ?2");
    find.Bind(1, parent);
    find.Bind(2, name);
    result = find.Step();
    return result == SQLITE_ROW ? sqlite3_column_int64(find.get(), 0) : -1;
}

std::int64_t FindKey(sqlite3* db, const std::vector<std::string>& parts, int& result) {
    std::int64_t id = kRootKeyId;
    result = SQLITE_ROW;
    for (const std::string& part : parts) {
        id = FindChild(db, id, part, result);
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
    error_ = RegistryError::None;
    auto found = open_.find(key);
    return found == open_.end() ? nullptr : &found->second;
}

bool SqliteRegistry::Fail(RegistryError error) {
    error_ = error;
    return false;
}

bool SqliteRegistry::Fail(int result, sqlite3* db) {
    return Fail(ErrorOf(result, db));
}

SqliteConnection SqliteRegistry::Open(int flags) {
    error_ = RegistryError::None;
    if (!ValidName(path_)) {
        error_ = RegistryError::NotFound;
        return nullptr;
    }
    const bool writing = (flags & SQLITE_OPEN_READWRITE) != 0;
    error_ = writing ? WriteRefusal(path_) : RegistryError::None;
    if (error_ != RegistryError::None) {
        return nullptr;
    }
    SqliteConnection db = OpenDatabase(path_, flags, error_);
    if (db && writing && sqlite3_db_readonly(db.get(), "main") != 0) {
        error_ = RegistryError::AccessDenied;
        return nullptr;
    }
    return db;
}

bool SqliteRegistry::OpenKey(const std::string& path, RegistryAccess access, RegistryKey& key) {
    if (!ValidName(path)) {
        return Fail(RegistryError::NotFound);
    }
    const bool writing = access == RegistryAccess::Write;
    SqliteConnection db = Open(writing ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY);
    if (!db) {
        return false;
    }
    int result = SQLITE_OK;
    const std::int64_t id = FindKey(db.get(), SplitKeyPath(path), result);
    if (id < 0) {
        return Fail(result, db.get());
    }
    key = next_++;
    open_[key] = OpenedKey{std::move(db), id, access};
    return true;
}

bool SqliteRegistry::QueryValue(RegistryKey key, const std::string& valueName, std::uint32_t& type,
                                std::uint8_t* data, std::uint32_t& size) {
    OpenedKey* opened = Find(key);
    if (opened == nullptr || !ValidName(valueName)) {
        return Fail(RegistryError::NotFound);
    }
    Statement query(opened->db.get(),
                    "SELECT type, data FROM reg_values WHERE key = ?1 AND name = ?2");
    query.Bind(1, opened->id);
    query.Bind(2, valueName);
    const int result = query.Step();
    if (result != SQLITE_ROW) {
        return Fail(result, opened->db.get());
    }
    const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(query.get(), 1));
    const int length = sqlite3_column_bytes(query.get(), 1);
    if (length < 0 || static_cast<std::uint32_t>(length) > size) {
        return Fail(RegistryError::Failed);
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
    if (opened == nullptr || !ValidName(valueName) || (data == nullptr && size != 0)) {
        return Fail(RegistryError::Failed);
    }
    if (opened->access != RegistryAccess::Write) {
        return Fail(RegistryError::AccessDenied);
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
    const int result = set.Step();
    return result == SQLITE_DONE || Fail(result, opened->db.get());
}

void SqliteRegistry::CloseKey(RegistryKey key) {
    open_.erase(key);
}

bool SqliteRegistry::CreateKey(const std::string& path) {
    if (!ValidName(path)) {
        return Fail(RegistryError::NotFound);
    }
    const SqliteConnection db = Open(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (!db) {
        return false;
    }
    Transaction change(db.get());
    if (!change.Begun() || !Execute(db.get(), kSchema)) {
        return Fail(sqlite3_errcode(db.get()), db.get());
    }
    std::int64_t id = kRootKeyId;
    for (const std::string& part : SplitKeyPath(path)) {
        int result = SQLITE_OK;
        std::int64_t child = FindChild(db.get(), id, part, result);
        if (child < 0 && result != SQLITE_DONE) {
            return Fail(result, db.get());
        }
        if (child < 0) {
            Statement insert(db.get(), "INSERT INTO reg_keys(parent, name) VALUES(?1, ?2)");
            insert.Bind(1, id);
            insert.Bind(2, part);
            result = insert.Step();
            if (result != SQLITE_DONE) {
                return Fail(result, db.get());
            }
            child = sqlite3_last_insert_rowid(db.get());
        }
        id = child;
    }
    return change.Commit() || Fail(sqlite3_errcode(db.get()), db.get());
}

bool SqliteRegistry::DeleteKey(const std::string& path) {
    const std::vector<std::string> parts = SplitKeyPath(path);
    if (!ValidName(path) || parts.empty()) {
        return Fail(RegistryError::AccessDenied);  // HKEY_LOCAL_MACHINE itself is never deleted
    }
    const SqliteConnection db = Open(SQLITE_OPEN_READWRITE);
    if (!db) {
        return false;
    }
    Transaction change(db.get());
    if (!change.Begun()) {
        return Fail(sqlite3_errcode(db.get()), db.get());
    }
    int result = SQLITE_OK;
    const std::int64_t id = FindKey(db.get(), parts, result);
    if (id < 0) {
        return Fail(result, db.get());
    }
    if (id == kRootKeyId) {
        return Fail(RegistryError::BadStore);  // a key that is the root: a loop
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
    result = tree.Step();
    if (result != SQLITE_ROW) {
        return Fail(result, db.get());
    }
    if (sqlite3_column_int(tree.get(), 0) != 1) {
        return Fail(RegistryError::BadStore);
    }
    sqlite3_reset(tree.get());
    if ((result = values.Step()) != SQLITE_DONE || (result = keys.Step()) != SQLITE_DONE) {
        return Fail(result, db.get());
    }
    return change.Commit() || Fail(sqlite3_errcode(db.get()), db.get());
}

bool SqliteRegistry::DeleteValue(RegistryKey key, const std::string& valueName) {
    OpenedKey* opened = Find(key);
    if (opened == nullptr || !ValidName(valueName)) {
        return Fail(RegistryError::NotFound);
    }
    if (opened->access != RegistryAccess::Write) {
        return Fail(RegistryError::AccessDenied);
    }
    Statement remove(opened->db.get(), "DELETE FROM reg_values WHERE key = ?1 AND name = ?2");
    remove.Bind(1, opened->id);
    remove.Bind(2, valueName);
    const int result = remove.Step();
    if (result != SQLITE_DONE) {
        return Fail(result, opened->db.get());
    }
    return sqlite3_changes(opened->db.get()) == 1 || Fail(RegistryError::NotFound);
}

bool SqliteRegistry::EnumValues(RegistryKey key, std::vector<RegistryValueData>& values) {
    OpenedKey* opened = Find(key);
    if (opened == nullptr) {
        return Fail(RegistryError::NotFound);
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
    return step == SQLITE_DONE || Fail(step, opened->db.get());
}

bool SqliteRegistry::EnumSubkeys(RegistryKey key, std::vector<std::string>& names) {
    OpenedKey* opened = Find(key);
    if (opened == nullptr) {
        return Fail(RegistryError::NotFound);
    }
    Statement list(opened->db.get(), "SELECT name FROM reg_keys WHERE parent = ?1 ORDER BY name");
    list.Bind(1, opened->id);
    names.clear();
    int step = SQLITE_ROW;
    while ((step = list.Step()) == SQLITE_ROW) {
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(list.get(), 0));
        names.emplace_back(name, static_cast<std::size_t>(sqlite3_column_bytes(list.get(), 0)));
    }
    return step == SQLITE_DONE || Fail(step, opened->db.get());
}

}  // namespace quillet
