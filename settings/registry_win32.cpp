// The registry store on Windows. Only Windows registry code belongs here; the
// rules of reading and writing are in registry.cpp.
#include "global/windows_support.h"

#include "settings/registry_backend.h"

namespace {

// Owns one open HKEY.
class UniqueHKey {
public:
    explicit UniqueHKey(HKEY key) : key_(key) {}
    ~UniqueHKey() { RegCloseKey(key_); }
    UniqueHKey(const UniqueHKey&) = delete;
    UniqueHKey& operator=(const UniqueHKey&) = delete;
    HKEY get() const { return key_; }

private:
    HKEY key_;
};

class Win32Key final : public RegistryKey {
public:
    explicit Win32Key(HKEY key) : key_(key) {}

    bool QueryInfo(const std::string& name, std::uint32_t& type, std::uint32_t& size) const override
    {
        DWORD t = 0, s = 0;
        if (RegQueryValueExA(key_.get(), name.c_str(), nullptr, &t, nullptr, &s) != ERROR_SUCCESS)
            return false;
        type = t;
        size = s;
        return true;
    }

    bool QueryData(const std::string& name, std::uint32_t& type, std::string& data) const override
    {
        DWORD t = 0, s = static_cast<DWORD>(data.size());
        if (RegQueryValueExA(key_.get(), name.c_str(), nullptr, &t, reinterpret_cast<BYTE*>(data.data()), &s)
            != ERROR_SUCCESS)
            return false;
        type = t;
        // The size given for a string may exceed what the read delivers.
        if (s < data.size())
            data.resize(s);
        return true;
    }

    bool SetValue(const std::string& name, std::uint32_t type, const std::string& data) override
    {
        return RegSetValueExA(key_.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                              static_cast<DWORD>(data.size()))
            == ERROR_SUCCESS;
    }

private:
    UniqueHKey key_;
};

HKEY RootHandle(RegRoot root)
{
    return root == RegRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

}  // namespace

std::unique_ptr<RegistryKey> OpenRegistryKey(RegRoot root, const std::string& path)
{
    // The path goes to the registry as given: it accepts a trailing backslash
    // (the settings path has one), on Windows and under Wine alike.
    HKEY key = nullptr;
    if (RegOpenKeyExA(RootHandle(root), path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return nullptr;
    return std::make_unique<Win32Key>(key);
}
