// The in-memory settings store used where there is no registry. It lives for
// the run only. Tests set it up and look into it through MemoryRegistry.
#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "settings/registry_backend.h"

struct MemoryValue {
    std::uint32_t type = RegType::None;
    std::string data;  // raw bytes
};

// Switches that make store calls fail as a real registry can.
struct MemoryFaults {
    bool openFails = false;       // keys exist but cannot be opened with full access
    bool queryInfoFails = false;  // type and size cannot be queried
    bool queryDataFails = false;  // the data cannot be read once the size is known
    bool setValueFails = false;   // values cannot be stored
};

// Value names compare as the registry compares them: without regard to case.
struct RegNameLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

class MemoryRegistry {
public:
    struct Key {
        std::map<std::string, MemoryValue, RegNameLess> values;
    };

    static MemoryRegistry& Instance();

    // Removes every key and value, clears the faults.
    void Reset();

    // Makes a key (and nothing else: parents are not needed to open it).
    void AddKey(RegRoot root, const std::string& path);
    bool KeyExists(RegRoot root, const std::string& path) const;
    // Stores a value, making its key when needed.
    void Put(RegRoot root, const std::string& path, const std::string& name, std::uint32_t type,
             const std::string& data);
    // The value, or null when the key or the value is missing.
    const MemoryValue* Find(RegRoot root, const std::string& path, const std::string& name) const;
    std::size_t ValueCount(RegRoot root, const std::string& path) const;

    // Keys opened and not closed yet.
    int OpenKeys() const { return openKeys_; }

    MemoryFaults faults;

    // For the store's own keys: lookup by a path already normalised, and the
    // count of open keys.
    Key* FindKey(RegRoot root, const std::string& normalisedPath);
    void KeyOpened() { ++openKeys_; }
    void KeyClosed() { --openKeys_; }

private:
    std::map<std::pair<RegRoot, std::string>, Key> keys_;  // by root and normalised path
    int openKeys_ = 0;
};
