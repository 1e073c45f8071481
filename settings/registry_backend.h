// The store behind TRegistry: opening an existing key and the three value calls
// on it. One implementation per platform is linked in: the Windows registry
// (registry_win32.cpp) or an in-memory store (registry_memory.cpp).
#pragma once
#include <cstdint>
#include <memory>
#include <string>

enum class RegRoot { CurrentUser, LocalMachine };

// Value type codes, numbered as the Windows registry numbers them.
namespace RegType {
constexpr std::uint32_t None = 0;
constexpr std::uint32_t String = 1;
constexpr std::uint32_t ExpandString = 2;
constexpr std::uint32_t Binary = 3;
constexpr std::uint32_t Dword = 4;
constexpr std::uint32_t MultiString = 7;
}

// One open key of the store. Destroying it closes the key.
class RegistryKey {
public:
    RegistryKey() = default;
    virtual ~RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Type and size in bytes of a value; false when they cannot be queried.
    virtual bool QueryInfo(const std::string& name, std::uint32_t& type, std::uint32_t& size) const = 0;
    // Reads a value into a buffer of data.size() bytes; on success data is cut
    // to the bytes read. False when the read fails (also when the buffer is too
    // small); data is then unspecified.
    virtual bool QueryData(const std::string& name, std::uint32_t& type, std::string& data) const = 0;
    // Stores raw bytes with the given type; false on failure.
    virtual bool SetValue(const std::string& name, std::uint32_t type, const std::string& data) = 0;
};

// Opens an existing key below a root with full access; null when the key does
// not exist or cannot be opened so. It never creates a key.
std::unique_ptr<RegistryKey> OpenRegistryKey(RegRoot root, const std::string& path);
