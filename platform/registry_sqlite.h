// Registry on Linux: HKEY_LOCAL_MACHINE kept in one SQLite database file.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "printer/registry.h"

struct sqlite3;

namespace quillet {

struct SqliteCloser {
    void operator()(sqlite3* db) const;
};
// A connection to an SQLite database, closed once, on every path.
using SqliteConnection = std::unique_ptr<sqlite3, SqliteCloser>;

// The database fixed when the program is built: the CMake cache variable
// QUILLET_REGISTRY_DB of platform/CMakeLists.txt, the one place it is set.
std::string DefaultRegistryPath();

// The database the wizard and quillet-reg use: $QUILLET_REGISTRY_DB when it
// is set and not empty, otherwise `buildDefault`. Both tools find the store
// by this one rule, so an administrator prepares the file the wizard reads.
std::string RegistryPath(const std::string& buildDefault = DefaultRegistryPath());

// False when the database at `path`, or a journal SQLite keeps beside it, is
// something other than a regular file: a FIFO, a folder, a device, a socket
// or a symbolic link. Such a store is refused before SQLite opens it, since
// SQLite's open waits on a FIFO for a writer, perhaps for ever, and follows a
// link wherever it points. The check itself never waits. Missing files pass:
// CreateKey makes the database.
bool StoreIsRegularFile(const std::string& path);

// Why a call of SqliteRegistry failed.
enum class RegistryError {
    None,
    NotFound,      // the key, the value, the file or its folder does not exist
    AccessDenied,  // this process may not read, or may not change, the file
    BadStore,      // not a regular file, not a database, or keys in a loop
    Failed,        // anything else, such as a lock held past the wait
};

struct RegistryValueData {
    std::string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
};

// Key paths are relative to HKEY_LOCAL_MACHINE, their parts separated by '\'
// ("System\CurrentControlSet\control\Print"); a leading or trailing '\' and
// empty parts are ignored. Key and value names compare without regard to
// ASCII case, and keep the case they were created with.
//
// Every open key holds its own connection to the file, so nothing stays open
// between the wizard's operations. A key opened for reading never creates or
// changes the file. Opening for writing, and every change below, fails when
// the file is missing or this process may not write both the file and its
// folder (where SQLite keeps its journal); for root, a file or folder with no
// write bit counts as read-only. Everything fails at once on a store that is
// not a regular file (StoreIsRegularFile). Each change is one
// transaction; a file that another process holds locked is waited for up to
// five seconds.
class SqliteRegistry : public Registry {
public:
    explicit SqliteRegistry(std::string databasePath);
    ~SqliteRegistry() override;
    SqliteRegistry(const SqliteRegistry&) = delete;
    SqliteRegistry& operator=(const SqliteRegistry&) = delete;

    const std::string& DatabasePath() const { return path_; }
    // Why the last call failed; None after one that succeeded.
    RegistryError LastError() const { return error_; }

    bool OpenKey(const std::string& path, RegistryAccess access, RegistryKey& key) override;
    bool QueryValue(RegistryKey key, const std::string& valueName, std::uint32_t& type,
                    std::uint8_t* data, std::uint32_t& size) override;
    bool SetValue(RegistryKey key, const std::string& valueName, std::uint32_t type,
                  const std::uint8_t* data, std::uint32_t size) override;
    void CloseKey(RegistryKey key) override;

    // Administration, for quillet-reg and the tests; the wizard uses none of
    // these. CreateKey makes the file, the key and every key above it as
    // needed (the folder must exist); the others need the key to exist
    // already.
    bool CreateKey(const std::string& path);
    // Removes the key with its values and every key below it; refuses a file
    // whose keys below it do not form a tree.
    bool DeleteKey(const std::string& path);
    bool DeleteValue(RegistryKey key, const std::string& valueName);
    // The key's values in the order they were first set, and its subkeys'
    // names sorted without regard to case.
    bool EnumValues(RegistryKey key, std::vector<RegistryValueData>& values);
    bool EnumSubkeys(RegistryKey key, std::vector<std::string>& names);

private:
    struct OpenedKey {
        SqliteConnection db;
        std::int64_t id = 0;
        RegistryAccess access = RegistryAccess::QueryValue;
    };
    OpenedKey* Find(RegistryKey key);
    // The database for reading, or with SQLITE_OPEN_READWRITE for a change
    // (which this process must be allowed to make); none when it cannot be.
    SqliteConnection Open(int flags);
    // False, with the reason recorded.
    bool Fail(RegistryError error);
    bool Fail(int sqliteResult, sqlite3* db);

    std::string path_;
    std::map<RegistryKey, OpenedKey> open_;
    RegistryKey next_ = 1;
    RegistryError error_ = RegistryError::None;
};

}  // namespace quillet
