// A small registry interface: one selected root, at most one open key, and the
// string operations the converter settings need. Platform-free: the store behind
// it is chosen at link time (registry_win32.cpp on Windows, registry_memory.cpp
// elsewhere) through the backend interface in registry_backend.h.
#pragma once
#include <memory>
#include <string>

#include "settings/registry_backend.h"

class TRegistry {
public:
    // Root: the per-user root; no key open.
    TRegistry();
    virtual ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    RegRoot RootKey() const { return root_; }
    // Selecting another root closes the open key first; selecting the root that
    // is already selected does nothing.
    void SetRootKey(RegRoot root);

    // Opens the existing key at Path below the root with full access and makes it
    // the open key. False, with no key open, when the key does not exist or cannot
    // be opened with full access. An open key is closed first. The store offers no
    // way to create a key, so canCreate must stay false; true is a programming
    // error (std::logic_error).
    bool OpenKey(const std::string& path, bool canCreate = false);

    // True when type and size of the value can be queried in the open key.
    bool ValueExists(const std::string& name) const;

    // The value as text up to its first zero byte. Empty when its size is 0 or
    // cannot be queried. Errors: "Failed to get data for '<name>'" when the data
    // cannot be read, "Invalid data type for '<name>'" when the value is neither a
    // string nor an expandable string (which is taken as it is, not expanded).
    std::string ReadString(const std::string& name) const;

    // Stores Text as a string value with its terminating zero byte (length + 1
    // bytes). Any failure, no open key included: "Failed to set data for '<name>'".
    void WriteString(const std::string& name, const std::string& text);

    // Releases the open key, if any, and forgets its path. The store is not asked
    // to write the key out at once.
    void CloseKey();

    bool HasCurrentKey() const { return key_ != nullptr; }
    const std::string& CurrentPath() const { return currentPath_; }

private:
    RegRoot root_;
    std::unique_ptr<RegistryKey> key_;
    std::string currentPath_;
};
