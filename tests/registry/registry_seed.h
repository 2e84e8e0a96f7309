// Preparing and inspecting registry database files through SqliteRegistry.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry_sqlite.h"

namespace quillet::testing {

// The driver-data key as a driver installer would have written it: the case
// differs from the path the wizard formats.
inline std::string StoredDriverDataKey(const std::string& printer) {
    return "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" + printer +
           "\\PrinterDriverData";
}

inline void SeedValue(const std::string& database, const std::string& keyPath,
                      const std::string& name, std::uint32_t type,
                      const std::vector<std::uint8_t>& bytes) {
    SqliteRegistry registry(database);
    ASSERT_TRUE(registry.CreateKey(keyPath));
    RegistryKey key = 0;
    ASSERT_TRUE(registry.OpenKey(keyPath, RegistryAccess::Write, key));
    EXPECT_TRUE(
        registry.SetValue(key, name, type, bytes.data(), static_cast<std::uint32_t>(bytes.size())));
    registry.CloseKey(key);
}

inline std::vector<std::uint8_t> DwordBytes(std::uint32_t value) {
    std::vector<std::uint8_t> bytes(4);
    std::memcpy(bytes.data(), &value, 4);
    return bytes;
}

inline std::vector<std::uint8_t> StringBytes(const std::string& text) {
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

// The value as stored, read with a fresh connection; nullopt when the key or
// the value is missing.
inline std::optional<RegistryValueData> StoredValue(const std::string& database,
                                                    const std::string& keyPath,
                                                    const std::string& name) {
    SqliteRegistry registry(database);
    RegistryKey key = 0;
    if (!registry.OpenKey(keyPath, RegistryAccess::QueryValue, key)) {
        return std::nullopt;
    }
    std::vector<RegistryValueData> values;
    registry.EnumValues(key, values);
    registry.CloseKey(key);
    for (const RegistryValueData& value : values) {
        if (::strcasecmp(value.name.c_str(), name.c_str()) == 0) {
            return value;
        }
    }
    return std::nullopt;
}

}  // namespace quillet::testing
