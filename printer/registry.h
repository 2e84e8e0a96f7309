// The registry below HKEY_LOCAL_MACHINE, as the autorun setting uses it.
// Back ends: platform/registry_sqlite.cpp (SQLite file); tests/doubles.
#pragma once

#include <cstdint>
#include <string>

namespace quillet {

using RegistryKey = std::uintptr_t;  // 0 is never a valid key

enum class RegistryAccess {
    QueryValue,  // KEY_QUERY_VALUE
    Write,       // KEY_WRITE
};

enum RegistryType : std::uint32_t {
    REG_SZ = 1,
    REG_BINARY = 3,
    REG_DWORD = 4,
};

class Registry {
public:
    virtual ~Registry() = default;

    // Opens an existing key; keys are never created here. Paths and value
    // names compare without regard to case. True and a key on success.
    virtual bool OpenKey(const std::string& path, RegistryAccess access, RegistryKey& key) = 0;

    // Reads a value into `data`, whose capacity is `size` bytes on entry. True
    // when the value exists and fits; `size` then holds the bytes read and
    // `type` its type. False for a missing value, a value larger than the
    // buffer or any other error; the buffer may then hold anything.
    virtual bool QueryValue(RegistryKey key, const std::string& valueName, std::uint32_t& type,
                            std::uint8_t* data, std::uint32_t& size) = 0;

    // Creates the value or replaces it, whatever its earlier type.
    virtual bool SetValue(RegistryKey key, const std::string& valueName, std::uint32_t type,
                          const std::uint8_t* data, std::uint32_t size) = 0;

    virtual void CloseKey(RegistryKey key) = 0;
};

// A key held open for a scope: closed once, on every path out of it.
class OpenRegistryKey {
public:
    OpenRegistryKey(Registry& registry, const std::string& path, RegistryAccess access)
        : registry_(registry), open_(registry.OpenKey(path, access, key_)) {}
    ~OpenRegistryKey() {
        if (open_) {
            registry_.CloseKey(key_);
        }
    }
    OpenRegistryKey(const OpenRegistryKey&) = delete;
    OpenRegistryKey& operator=(const OpenRegistryKey&) = delete;

    explicit operator bool() const { return open_; }
    RegistryKey get() const { return key_; }

private:
    Registry& registry_;
    RegistryKey key_ = 0;
    bool open_;
};

}  // namespace quillet
