// quillet-reg: reads and changes the registry database the way Windows'
// reg.exe does, for administrators, tests and demonstrations.
//
//   quillet-reg add    KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f] [/db FILE]
//   quillet-reg query  KEY [/v NAME | /ve] [/db FILE]
//   quillet-reg delete KEY [/v NAME | /ve] [/f] [/db FILE]
//
// KEY starts with HKLM\ or HKEY_LOCAL_MACHINE\. TYPE is REG_SZ (the default),
// REG_DWORD (decimal or 0x hex) or REG_BINARY (hex digits). The database is
// /db FILE, else $QUILLET_REGISTRY_DB, else the one the wizard uses. Without
// /f, overwriting a value or deleting asks for confirmation on the terminal.
// Exit status 0 on success, 1 on any error.

#include <strings.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry_sqlite.h"
#include "platform/tools/reg_arguments.h"

namespace {

using quillet::OpenRegistryKey;
using quillet::RegCommand;
using quillet::RegistryAccess;
using quillet::RegistryError;
using quillet::RegistryKey;
using quillet::RegistryValueData;
using quillet::SqliteRegistry;

constexpr const char* kSuccess = "The operation completed successfully.";
constexpr const char* kNotFound =
    "ERROR: The system was unable to find the specified registry key or value.";
constexpr const char* kDenied = "ERROR: Access is denied.";
constexpr const char* kRootName = "HKEY_LOCAL_MACHINE";

constexpr const char* kUsage =
    "QUILLET-REG <Operation> KEY [Parameters]\n"
    "\n"
    "  Operation  [ ADD | QUERY | DELETE ]\n"
    "  KEY        HKLM\\SubKey or HKEY_LOCAL_MACHINE\\SubKey\n"
    "\n"
    "  /v NAME    the value under KEY\n"
    "  /ve        the default (unnamed) value\n"
    "  /t TYPE    ADD only: REG_SZ (default), REG_DWORD or REG_BINARY\n"
    "  /d DATA    ADD only: the data; decimal or 0x hex for REG_DWORD, hex\n"
    "             digits for REG_BINARY\n"
    "  /f         overwrite or delete without asking\n"
    "  /db FILE   the registry database (default: $QUILLET_REGISTRY_DB, else\n"
    "             the wizard's own database)\n";

bool EqualsNoCase(const std::string& a, const char* b) {
    return ::strcasecmp(a.c_str(), b) == 0;
}

int Fail(const std::string& message) {
    std::cerr << message << '\n';
    return 1;
}

// Why the registry refused, in reg.exe's words where it has them.
int Fail(RegistryError error) {
    switch (error) {
        case RegistryError::NotFound:
            return Fail(kNotFound);
        case RegistryError::AccessDenied:
            return Fail(kDenied);
        case RegistryError::BadStore:
            return Fail("ERROR: The configuration registry database is corrupt.");
        default:
            return Fail("ERROR: An I/O operation initiated by the registry failed unrecoverably.");
    }
}

int InvalidSyntax() {
    return Fail("ERROR: Invalid syntax.\nType \"quillet-reg /?\" for usage.");
}

std::string FullKeyName(const std::string& subkey) {
    return subkey.empty() ? kRootName : std::string(kRootName) + "\\" + subkey;
}

bool Confirm(const std::string& question) {
    std::cout << question << " (Yes/No)? " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        std::cout << '\n';
        return false;
    }
    return EqualsNoCase(answer, "y") || EqualsNoCase(answer, "yes");
}

std::string TypeName(std::uint32_t type) {
    switch (type) {
        case quillet::REG_SZ:
            return "REG_SZ";
        case quillet::REG_BINARY:
            return "REG_BINARY";
        case quillet::REG_DWORD:
            return "REG_DWORD";
        default: {
            char name[32];
            std::snprintf(name, sizeof name, "REG_0x%X", static_cast<unsigned>(type));
            return name;
        }
    }
}

std::string FormatData(const RegistryValueData& value) {
    if (value.type == quillet::REG_SZ) {
        std::string text(value.bytes.begin(), value.bytes.end());
        return text.substr(0, text.find('\0'));
    }
    if (value.type == quillet::REG_DWORD && value.bytes.size() == 4) {
        const std::uint32_t dword = value.bytes[0] | (value.bytes[1] << 8) |
                                    (value.bytes[2] << 16) |
                                    (static_cast<std::uint32_t>(value.bytes[3]) << 24);
        char text[16];
        std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(dword));
        return text;
    }
    std::string hex;
    for (std::uint8_t byte : value.bytes) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned>(byte));
        hex += digits;
    }
    return hex;
}

std::string DisplayName(const std::string& name) {
    return name.empty() ? "(Default)" : name;
}

bool HasValue(SqliteRegistry& registry, RegistryKey key, const std::string& name) {
    std::vector<RegistryValueData> values;
    registry.EnumValues(key, values);
    for (const RegistryValueData& value : values) {
        if (::strcasecmp(value.name.c_str(), name.c_str()) == 0) {
            return true;
        }
    }
    return false;
}

// Makes the folder that holds a database file about to be created.
void MakeParentFolder(const std::string& database) {
    const std::size_t slash = database.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        ::mkdir(database.substr(0, slash).c_str(), 0755);
    }
}

int Add(SqliteRegistry& registry, const RegCommand& command, const std::string& subkey) {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
    if (command.valueName && !quillet::EncodeRegData(command.type, command.data, type, bytes)) {
        return InvalidSyntax();
    }
    if (!command.valueName && (command.data || !EqualsNoCase(command.type, "REG_SZ"))) {
        return InvalidSyntax();
    }
    MakeParentFolder(registry.DatabasePath());
    if (!registry.CreateKey(subkey)) {
        return Fail(registry.LastError());
    }
    if (!command.valueName) {
        std::cout << kSuccess << '\n';
        return 0;
    }
    const OpenRegistryKey key(registry, subkey, RegistryAccess::Write);
    if (!key) {
        return Fail(registry.LastError());
    }
    const bool exists = HasValue(registry, key.get(), *command.valueName);
    if (exists && !command.force &&
        !Confirm("Value " + DisplayName(*command.valueName) + " exists, overwrite")) {
        return Fail("The operation was canceled by the user.");
    }
    if (!registry.SetValue(key.get(), *command.valueName, type, bytes.data(),
                           static_cast<std::uint32_t>(bytes.size()))) {
        return Fail(registry.LastError());
    }
    std::cout << kSuccess << '\n';
    return 0;
}

int Query(SqliteRegistry& registry, const RegCommand& command, const std::string& subkey) {
    const OpenRegistryKey key(registry, subkey, RegistryAccess::QueryValue);
    std::vector<RegistryValueData> values;
    std::vector<std::string> subkeys;
    if (!key || !registry.EnumValues(key.get(), values) ||
        !registry.EnumSubkeys(key.get(), subkeys)) {
        return Fail(registry.LastError());
    }
    const std::string name = FullKeyName(subkey);
    std::string lines;
    bool found = !command.valueName;
    for (const RegistryValueData& value : values) {
        if (command.valueName &&
            ::strcasecmp(value.name.c_str(), command.valueName->c_str()) != 0) {
            continue;
        }
        found = true;
        lines += "    " + DisplayName(value.name) + "    " + TypeName(value.type) + "    " +
                 FormatData(value) + '\n';
    }
    if (!found) {
        return Fail(kNotFound);
    }
    std::cout << '\n' << name << '\n' << lines;
    std::cout << '\n';
    if (!command.valueName) {
        for (const std::string& child : subkeys) {
            std::cout << name << '\\' << child << '\n';
        }
    }
    return 0;
}

int Delete(SqliteRegistry& registry, const RegCommand& command, const std::string& subkey) {
    if (!command.valueName) {
        {
            const OpenRegistryKey key(registry, subkey, RegistryAccess::QueryValue);
            if (!key) {
                return Fail(registry.LastError());
            }
            if (subkey.empty()) {
                return Fail(kNotFound);
            }
        }
        if (!command.force &&
            !Confirm("Permanently delete the registry key " + FullKeyName(subkey))) {
            return Fail("The operation was canceled by the user.");
        }
        if (!registry.DeleteKey(subkey)) {
            return Fail(registry.LastError());
        }
        std::cout << kSuccess << '\n';
        return 0;
    }
    const OpenRegistryKey key(registry, subkey, RegistryAccess::Write);
    if (!key) {
        // A key that cannot be read is missing or denied as such; one that
        // can, denied because it may not be changed.
        const RegistryError writeError = registry.LastError();
        const OpenRegistryKey readable(registry, subkey, RegistryAccess::QueryValue);
        return Fail(readable ? writeError : registry.LastError());
    }
    const bool exists = HasValue(registry, key.get(), *command.valueName);
    if (!exists) {
        return Fail(kNotFound);
    }
    if (!command.force &&
        !Confirm("Delete the registry value " + DisplayName(*command.valueName))) {
        return Fail("The operation was canceled by the user.");
    }
    if (!registry.DeleteValue(key.get(), *command.valueName)) {
        return Fail(registry.LastError());
    }
    std::cout << kSuccess << '\n';
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "/?") == 0 || std::strcmp(argv[1], "-h") == 0 ||
                      std::strcmp(argv[1], "--help") == 0)) {
        std::cout << kUsage;
        return 0;
    }
    RegCommand command;
    if (!quillet::ParseRegArguments(std::vector<std::string>(argv + 1, argv + argc), command)) {
        return InvalidSyntax();
    }
    const std::optional<std::string> subkey = quillet::RegSubkey(command.key);
    if (!subkey) {
        return Fail("ERROR: Invalid key name.\nType \"quillet-reg /?\" for usage.");
    }
    if (command.database.empty()) {
        command.database = quillet::RegistryPath();
    }
    if (!quillet::StoreIsRegularFile(command.database)) {
        return Fail(
            "ERROR: The registry database or its journal is not a regular file.\n"
            "Database: " +
            command.database);
    }
    SqliteRegistry registry(command.database);

    if (EqualsNoCase(command.operation, "add")) {
        return Add(registry, command, *subkey);
    }
    if (EqualsNoCase(command.operation, "query")) {
        return Query(registry, command, *subkey);
    }
    if (EqualsNoCase(command.operation, "delete")) {
        return Delete(registry, command, *subkey);
    }
    return InvalidSyntax();
}
